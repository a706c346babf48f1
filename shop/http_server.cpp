#include "http_server.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kestrin::shop {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {
// Headers beyond this are refused (431) before any body is read.
constexpr size_t kHeaderLimit = 64 * 1024;
constexpr std::chrono::seconds kWriteTimeout{60};
}  // namespace

class Connection;

class HttpServer::Impl {
 public:
  Impl(const ServerOptions& options, Handler handler, AccessLog& log)
      : options_(options),
        handler_(std::move(handler)),
        log_(log),
        acceptor_(net::make_strand(ioc_)),
        signals_(ioc_, SIGINT, SIGTERM),
        graceTimer_(net::make_strand(ioc_)) {
    beast::error_code ec;
    auto address = net::ip::make_address(options.address, ec);
    if (ec) throw std::runtime_error("cannot listen on '" + options.address + "': " + ec.message());
    tcp::endpoint endpoint(address, options.port);
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec) acceptor_.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec) acceptor_.bind(endpoint, ec);
    if (!ec) acceptor_.listen(net::socket_base::max_listen_connections, ec);
    if (ec) {
      throw std::runtime_error("cannot listen on " + options.address + ":" +
                               std::to_string(options.port) + ": " + ec.message());
    }
  }

  unsigned short port() const { return acceptor_.local_endpoint().port(); }

  void run() {
    signals_.async_wait([this](beast::error_code ec, int) {
      if (!ec) beginStop();
    });
    accept();
    std::vector<std::thread> threads;
    for (int i = 1; i < options_.threads; ++i) threads.emplace_back([this] { ioc_.run(); });
    ioc_.run();
    for (auto& t : threads) t.join();
  }

  void stop() {
    net::post(ioc_, [this] { beginStop(); });
  }

  const ServerOptions& options() const { return options_; }
  bool stopping() const { return stopping_.load(); }
  AccessLog& log() { return log_; }

  HttpResponse handle(const HttpRequest& request) {
    try {
      return handler_(request);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kestrin-shop: %s %s failed: %s\n", request.method.c_str(),
                   request.target.c_str(), e.what());
      return HttpResponse::text(500, "The page could not be made. The error has been logged.\n");
    }
  }

  uint64_t enrol(const std::shared_ptr<Connection>& c) {
    std::lock_guard<std::mutex> lock(mutex_);
    uint64_t id = ++lastId_;
    live_[id] = c;
    return id;
  }
  void leave(uint64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    live_.erase(id);
    if (stopping_ && live_.empty())
      net::post(graceTimer_.get_executor(), [this] { graceTimer_.cancel(); });
  }

 private:
  void accept() {
    acceptor_.async_accept(net::make_strand(ioc_), [this](beast::error_code ec, tcp::socket s) {
      if (!acceptor_.is_open()) return;
      if (!ec) startConnection(std::move(s));
      accept();
    });
  }
  void startConnection(tcp::socket socket);
  void beginStop();

  ServerOptions options_;
  Handler handler_;
  AccessLog& log_;
  net::io_context ioc_;
  tcp::acceptor acceptor_;
  net::signal_set signals_;
  net::steady_timer graceTimer_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  uint64_t lastId_ = 0;
  std::map<uint64_t, std::weak_ptr<Connection>> live_;
};

// One client connection: read a request, answer it, and again while the client keeps it alive.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket&& socket, HttpServer::Impl& server)
      : stream_(std::move(socket)), server_(server) {
    beast::error_code ec;
    auto remote = stream_.socket().remote_endpoint(ec);
    if (!ec) remote_ = remote.address().to_string();
    stream_.socket().set_option(tcp::no_delay(true), ec);
  }
  ~Connection() { server_.leave(id_); }

  void start() {
    id_ = server_.enrol(shared_from_this());
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->readHeader(); });
  }

  // On stop: a connection waiting for its next request is closed now; one in the middle of a
  // request finishes it and closes afterwards.
  void stopIfIdle() {
    net::post(stream_.get_executor(), [self = shared_from_this()] {
      if (self->idle_ && self->buffer_.size() == 0) self->stream_.cancel();
    });
  }

 private:
  void readHeader() {
    idle_ = true;
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(kHeaderLimit));
    parser_->body_limit(server_.options().maxRequestBytes);
    stream_.expires_after(server_.options().idleTimeout);
    http::async_read_header(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code ec, size_t) { self->onHeader(ec); });
  }

  void onHeader(beast::error_code ec) {
    idle_ = false;
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
      return refuse(431, "The request's headers are too large.\n");
    }
    if (ec == http::error::body_limit) {
      return refuse(413, "The request is larger than 1 MB and was refused.\n");
    }
    if (ec) {
      // A request that does not parse gets an answer; a connection that ended, timed out or
      // was closed for the stop just closes.
      bool parseError =
          ec.category() == http::make_error_code(http::error::end_of_stream).category() &&
          ec != http::error::end_of_stream && ec != http::error::partial_message;
      return parseError ? refuse(400, "The request could not be read.\n") : close();
    }
    auto length = parser_->content_length();
    if (length && *length > server_.options().maxRequestBytes) {
      return refuse(413, "The request is larger than 1 MB and was refused.\n");
    }
    if (beast::iequals(parser_->get()[http::field::expect], "100-continue")) {
      auto cont = std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
      stream_.expires_after(kWriteTimeout);
      http::async_write(stream_, *cont,
                        [self = shared_from_this(), cont](beast::error_code wec, size_t) {
                          if (wec) return self->close();
                          self->readBody();
                        });
      return;
    }
    readBody();
  }

  void readBody() {
    stream_.expires_after(server_.options().idleTimeout);
    http::async_read(
        stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code ec, size_t) {
          if (ec == http::error::body_limit) {
            return self->refuse(413, "The request is larger than 1 MB and was refused.\n");
          }
          if (ec) return self->close();
          self->handle();
        });
  }

  HttpRequest takeRequest() {
    http::request<http::string_body> req = parser_->release();
    HttpRequest r;
    r.method = std::string(req.method_string());
    r.target = std::string(req.target());
    r.version = req.version() == 10 ? "HTTP/1.0" : "HTTP/1.1";
    for (const auto& field : req) {
      std::string name(field.name_string());
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      r.headers.emplace_back(std::move(name), std::string(field.value()));
    }
    r.body = std::move(req.body());
    r.remoteAddress = remote_;
    keepAlive_ = req.keep_alive();
    return r;
  }

  void handle() {
    HttpRequest request = takeRequest();
    HttpResponse response = server_.handle(request);
    send(request, std::move(response), keepAlive_ && !server_.stopping());
  }

  // Answers a request that could not be read whole, and closes the connection.
  void refuse(int status, const std::string& message) {
    HttpRequest request;
    if (parser_ && parser_->is_header_done()) {
      request.method = std::string(parser_->get().method_string());
      request.target = std::string(parser_->get().target());
      request.version = parser_->get().version() == 10 ? "HTTP/1.0" : "HTTP/1.1";
    }
    request.remoteAddress = remote_;
    send(request, HttpResponse::text(status, message), false);
  }

  void send(const HttpRequest& request, HttpResponse response, bool keepAlive) {
    auto res = std::make_shared<http::response<http::string_body>>();
    res->version(request.version == "HTTP/1.0" ? 10 : 11);
    res->result(static_cast<unsigned>(response.status));
    res->set(http::field::server, "kestrin-shop");
    for (const auto& [name, value] : response.headers) res->insert(name, value);
    size_t bytes = response.body.size();
    res->body() = std::move(response.body);
    res->keep_alive(keepAlive);
    res->prepare_payload();
    if (request.method == "HEAD") res->body().clear();
    server_.log().write(request, response.status, request.method == "HEAD" ? 0 : bytes);
    stream_.expires_after(kWriteTimeout);
    http::async_write(stream_, *res,
                      [self = shared_from_this(), res, keepAlive](beast::error_code ec, size_t) {
                        if (ec || !keepAlive) return self->close();
                        self->readHeader();
                      });
  }

  void close() {
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    stream_.socket().close(ec);
  }

  beast::tcp_stream stream_;
  HttpServer::Impl& server_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::string remote_;
  uint64_t id_ = 0;
  bool idle_ = false;
  bool keepAlive_ = false;
};

void HttpServer::Impl::startConnection(tcp::socket socket) {
  std::make_shared<Connection>(std::move(socket), *this)->start();
}

void HttpServer::Impl::beginStop() {
  if (stopping_.exchange(true)) return;
  signals_.cancel();
  net::post(acceptor_.get_executor(), [this] {
    beast::error_code ec;
    acceptor_.close(ec);
  });
  std::vector<std::shared_ptr<Connection>> open;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, weak] : live_) {
      if (auto c = weak.lock()) open.push_back(std::move(c));
    }
  }
  for (auto& c : open) c->stopIfIdle();
  // Requests still running after the grace period are cut off.
  net::post(graceTimer_.get_executor(), [this] {
    graceTimer_.expires_after(options_.stopGrace);
    graceTimer_.async_wait([this](beast::error_code ec) {
      if (!ec) ioc_.stop();
    });
    std::lock_guard<std::mutex> lock(mutex_);
    if (live_.empty()) graceTimer_.cancel();
  });
}

HttpServer::HttpServer(const ServerOptions& options, Handler handler, AccessLog& log)
    : impl_(std::make_unique<Impl>(options, std::move(handler), log)) {}
HttpServer::~HttpServer() = default;
unsigned short HttpServer::port() const { return impl_->port(); }
void HttpServer::run() { impl_->run(); }
void HttpServer::stop() { impl_->stop(); }

}  // namespace kestrin::shop

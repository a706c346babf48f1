// The shop's HTTP/1.1 server: Boost.Beast over Asio. Every connection is read and written
// asynchronously, so a slow or idle client holds a socket, not a thread; the pool of `threads`
// threads runs the page handlers, each request on one thread from start to end.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "access_log.h"
#include "http_types.h"

namespace kestrin::shop {

struct ServerOptions {
  std::string address = "127.0.0.1";
  unsigned short port = 8080;  // 0: any free port (see HttpServer::port)
  int threads = 4;
  size_t maxRequestBytes = 1 << 20;  // request line, headers and body together
  std::chrono::seconds idleTimeout{30};
  std::chrono::seconds stopGrace{10};  // how long a stop waits for requests in progress
};

using Handler = std::function<HttpResponse(const HttpRequest&)>;

class HttpServer {
 public:
  // Binds and listens at once; throws std::runtime_error naming the address when it cannot.
  HttpServer(const ServerOptions& options, Handler handler, AccessLog& log);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // The port the server listens on (the one the system chose when the options said 0).
  unsigned short port() const;

  // Serves until stop() or SIGTERM / SIGINT, then stops accepting, closes idle connections,
  // lets the requests in progress finish (at most stopGrace) and returns.
  void run();
  // Thread-safe.
  void stop();

  class Impl;  // the server's state, shared with its connections (in http_server.cpp)

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrin::shop

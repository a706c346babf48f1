#include "web_connector.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <pugixml.hpp>
#include <random>
#include <sstream>

#include "kestrin/error.h"
#include "text.h"

namespace kestrin::linkserver {

namespace {

const char* const kSource = "fenwix";
const char* const kIntuitNs = "http://developer.intuit.com/";
constexpr size_t kMaxBody = 16 * 1024 * 1024;
constexpr size_t kMaxHeader = 64 * 1024;

std::string randomTicket() {
  std::random_device rd;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08x%08x%08x%08x", rd(), rd(), rd(), rd());
  return buf;
}

// The name of an element without its namespace prefix.
std::string_view localName(const pugi::xml_node& n) {
  std::string_view name = n.name();
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node childByLocalName(const pugi::xml_node& parent, std::string_view name) {
  for (pugi::xml_node c : parent.children()) {
    if (c.type() == pugi::node_element && localName(c) == name) return c;
  }
  return {};
}

std::string param(const pugi::xml_node& op, std::string_view name) {
  return childByLocalName(op, name).child_value();
}

struct Envelope {
  pugi::xml_document doc;
  pugi::xml_node body;
  Envelope() {
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "utf-8";
    pugi::xml_node env = doc.append_child("soap:Envelope");
    env.append_attribute("xmlns:soap") = "http://schemas.xmlsoap.org/soap/envelope/";
    env.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    env.append_attribute("xmlns:xsd") = "http://www.w3.org/2001/XMLSchema";
    body = env.append_child("soap:Body");
  }
  pugi::xml_node result(const std::string& operation) {
    pugi::xml_node rs = body.append_child((operation + "Response").c_str());
    rs.append_attribute("xmlns") = kIntuitNs;
    return rs.append_child((operation + "Result").c_str());
  }
  std::string text() const {
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
  }
};

std::string simpleResult(const std::string& operation, const std::string& value) {
  Envelope e;
  e.result(operation).text().set(value.c_str());
  return e.text();
}

std::string fault(const std::string& message) {
  Envelope e;
  pugi::xml_node f = e.body.append_child("soap:Fault");
  f.append_child("faultcode").text().set("soap:Client");
  f.append_child("faultstring").text().set(message.c_str());
  return e.text();
}

bool sendAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

uint64_t fnv1a(std::string_view text, uint64_t seed) {
  uint64_t h = 1469598103934665603ULL ^ seed;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  return h;
}

// A GUID that stays the same for the same site, so a .qwc made again replaces
// the old one.
std::string stableGuid(std::string_view site, uint64_t salt) {
  uint64_t a = fnv1a(site, salt), b = fnv1a(site, salt * 31 + 7);
  char buf[48];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%04X-%012llX}", static_cast<unsigned>(a >> 32),
                static_cast<unsigned>((a >> 16) & 0xFFFF),
                static_cast<unsigned>((a & 0x0FFF) | 0x4000),
                static_cast<unsigned>(((b >> 48) & 0x3FFF) | 0x8000),
                static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
  return buf;
}

}  // namespace

// ---- The queue ----

WebConnectorQueue::Pending* WebConnectorQueue::current() {
  for (Pending& p : pending_) {
    if (!p.answer && !p.error) return &p;
  }
  return nullptr;
}

void WebConnectorQueue::exportStarted() {
  std::lock_guard lock(mutex_);
  ++exports_;
  changed_.notify_all();
}

void WebConnectorQueue::exportEnded() {
  std::lock_guard lock(mutex_);
  if (exports_ > 0) --exports_;
  changed_.notify_all();
}

std::string WebConnectorQueue::exchange(const std::string& request) {
  std::unique_lock lock(mutex_);
  const uint64_t id = nextId_++;
  Pending entry;
  entry.id = id;
  entry.request = request;
  pending_.push_back(std::move(entry));
  changed_.notify_all();
  auto mine = [&]() -> Pending& {
    for (Pending& p : pending_) {
      if (p.id == id) return p;
    }
    return pending_.front();  // not reached: only this function removes its entry
  };
  const bool answered =
      changed_.wait_for(lock, answerTimeout_, [&] { return mine().answer || mine().error; });
  Pending done = std::move(mine());
  std::erase_if(pending_, [&](const Pending& p) { return p.id == id; });
  changed_.notify_all();
  if (!answered) {
    raise(qbxml::kErrQbNotRunning,
          "The Web Connector did not answer within " +
              std::to_string(answerTimeout_.count() / 1000) + " seconds" +
              (done.handedOut ? " (the request was handed out; QuickBooks may hold it)" : ""),
          kSource);
  }
  if (done.error)
    raise(qbxml::kErrQbNotRunning, "The Web Connector reported: " + *done.error, kSource);
  return *done.answer;
}

bool WebConnectorQueue::hasWork() {
  std::lock_guard lock(mutex_);
  return exports_ > 0 || current();
}

std::string WebConnectorQueue::takeRequest(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, wait, [&] { return current() != nullptr; });
  Pending* p = current();
  if (!p) return {};
  p->handedOut = true;
  return p->request;
}

int WebConnectorQueue::deliver(const std::string& response, std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  if (Pending* p = current(); p && p->handedOut) p->answer = response;
  changed_.notify_all();
  changed_.wait_for(lock, wait, [&] { return current() != nullptr || exports_ == 0; });
  return current() == nullptr && exports_ == 0 ? 100 : 50;
}

void WebConnectorQueue::fail(const std::string& message) {
  std::lock_guard lock(mutex_);
  if (Pending* p = current()) p->error = message;
  changed_.notify_all();
}

// ---- The transport ----

WebConnectorTransport::~WebConnectorTransport() = default;

void WebConnectorTransport::openConnection(const std::string&, const std::string&) { open_ = true; }

std::string WebConnectorTransport::beginSession(const std::string&, qbxml::ENOpenMode) {
  if (!open_) raise(qbxml::kErrQbSequence, "No connection to QuickBooks is open.", kSource);
  return randomTicket();
}

std::string WebConnectorTransport::processRequest(const std::string&, const std::string& request) {
  return queue_.exchange(request);
}

void WebConnectorTransport::endSession(const std::string&) {}

void WebConnectorTransport::closeConnection() { open_ = false; }

// ---- The service ----

WebConnectorService::WebConnectorService(WebConnectorQueue& queue, WebConnectorAccount account)
    : queue_(queue), account_(std::move(account)) {}

WebConnectorService::~WebConnectorService() { stop(); }

void WebConnectorService::start(uint16_t port) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) raise(kErrPathAccess, std::string("socket: ") + std::strerror(errno), kSource);
  int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listenFd_, 8) != 0) {
    std::string why = std::strerror(errno);
    ::close(listenFd_);
    listenFd_ = -1;
    raise(kErrPathAccess, "Cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + why,
          kSource);
  }
  socklen_t len = sizeof addr;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  if (::pipe2(stopPipe_, O_CLOEXEC) != 0) {
    raise(kErrPathAccess, std::string("pipe: ") + std::strerror(errno), kSource);
  }
  thread_ = std::thread([this] { serve(); });
}

void WebConnectorService::stop() {
  if (thread_.joinable()) {
    char c = 'x';
    [[maybe_unused]] ssize_t n = ::write(stopPipe_[1], &c, 1);
    thread_.join();
  }
  for (int* fd : {&listenFd_, &stopPipe_[0], &stopPipe_[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void WebConnectorService::serve() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    serveConnection(fd);
    ::close(fd);
  }
}

void WebConnectorService::serveConnection(int fd) {
  std::string in;
  char buf[16384];
  size_t headerEnd = std::string::npos;
  while (headerEnd == std::string::npos) {
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    in.append(buf, static_cast<size_t>(n));
    headerEnd = in.find("\r\n\r\n");
    if (headerEnd == std::string::npos && in.size() > kMaxHeader) return;
  }
  const std::string head = lower(in.substr(0, headerEnd));
  size_t length = 0;
  if (size_t at = head.find("\r\ncontent-length:"); at != std::string::npos) {
    length = static_cast<size_t>(std::strtoull(head.c_str() + at + 17, nullptr, 10));
  }
  auto reply = [&](const char* status, const char* type, const std::string& body) {
    sendAll(fd, std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + type +
                    "\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\nConnection: close\r\n\r\n" + body);
  };
  if (!head.starts_with("post ")) {
    reply("200 OK", "text/plain; charset=utf-8",
          "FENWIX: the QuickBooks Web Connector service of this shop (SOAP "
          "over POST).\n");
    return;
  }
  if (length > kMaxBody) {
    reply("413 Payload Too Large", "text/plain; charset=utf-8", "Request too large\n");
    return;
  }
  std::string body = in.substr(headerEnd + 4);
  while (body.size() < length) {
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    body.append(buf, static_cast<size_t>(n));
  }
  body.resize(length);
  std::string answer = handle(body);
  bool isFault = answer.find("<soap:Fault>") != std::string::npos;
  reply(isFault ? "500 Internal Server Error" : "200 OK", "text/xml; charset=utf-8", answer);
}

std::string WebConnectorService::handle(const std::string& body) {
  pugi::xml_document doc;
  if (!doc.load_buffer(body.data(), body.size())) return fault("The request is not XML");
  pugi::xml_node env = doc.document_element();
  pugi::xml_node soapBody = childByLocalName(env, "Body");
  pugi::xml_node op;
  for (pugi::xml_node c : soapBody.children()) {
    if (c.type() == pugi::node_element) {
      op = c;
      break;
    }
  }
  if (localName(env) != "Envelope" || !op) return fault("The request is no SOAP call");
  const std::string name(localName(op));

  std::unique_lock lock(mutex_);
  auto ticketOk = [&] { return !ticket_.empty() && param(op, "ticket") == ticket_; };
  if (name == "serverVersion") return simpleResult(name, "FENWIX 1.0");
  if (name == "clientVersion") return simpleResult(name, "");  // every version is welcome
  if (name == "authenticate") {
    Envelope e;
    pugi::xml_node result = e.result(name);
    const bool valid = param(op, "strUserName") == account_.userName &&
                       param(op, "strPassword") == account_.password && !account_.userName.empty();
    std::string ticket = randomTicket();
    std::string status;
    if (!valid) {
      status = "nvu";
    } else {
      ticket_ = ticket;
      lastError_.clear();
      status = queue_.hasWork() ? "" : "none";  // "": the company file QuickBooks has open
    }
    result.append_child("string").text().set(ticket.c_str());
    result.append_child("string").text().set(status.c_str());
    return e.text();
  }
  if (name == "sendRequestXML") {
    if (!ticketOk()) return simpleResult(name, "");
    lock.unlock();
    std::string request = queue_.takeRequest(requestWait);
    lock.lock();
    // Nothing yet: "NoOp" from getLastError makes the Web Connector ask again
    // shortly.
    lastError_ = request.empty() ? "NoOp" : "";
    return simpleResult(name, request);
  }
  if (name == "receiveResponseXML") {
    if (!ticketOk()) return simpleResult(name, "-1");
    const std::string hresult = param(op, "hresult");
    if (!hresult.empty()) {
      lastError_ = "QuickBooks error " + hresult + ": " + param(op, "message");
      queue_.fail(lastError_);
      return simpleResult(name, "-1");
    }
    lock.unlock();
    int progress = queue_.deliver(param(op, "response"), followWait);
    return simpleResult(name, std::to_string(progress));
  }
  if (name == "getLastError") {
    return simpleResult(name, ticketOk() ? lastError_ : std::string("Unknown ticket"));
  }
  if (name == "connectionError") {
    if (ticketOk()) {
      lastError_ = "The Web Connector cannot reach QuickBooks: " + param(op, "hresult") + " " +
                   param(op, "message");
      queue_.fail(lastError_);
    }
    return simpleResult(name, "done");
  }
  if (name == "closeConnection") {
    if (ticketOk()) ticket_.clear();
    return simpleResult(name, "OK");
  }
  return fault("Unknown operation " + name);
}

std::string qwcFile(const std::string& siteID, const std::string& url) {
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  pugi::xml_node root = doc.append_child("QBWCXML");
  auto add = [&](pugi::xml_node parent, const char* name, const std::string& value) {
    parent.append_child(name).text().set(value.c_str());
  };
  add(root, "AppName", "FENWIX " + siteID);
  add(root, "AppID", "");
  add(root, "AppURL", url);
  add(root, "AppDescription",
      "Exports the customers, products, vendors and orders of the shop " + siteID +
          " into QuickBooks");
  add(root, "AppSupport", url);
  add(root, "UserName", siteID);
  add(root, "OwnerID", stableGuid(siteID, 1));
  add(root, "FileID", stableGuid(siteID, 2));
  add(root, "QBType", "QBFS");
  add(root.append_child("Scheduler"), "RunEveryNMinutes", "1");
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
  return out.str();
}

}  // namespace kestrin::linkserver

#include "imdsi.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "kestrin/panda.h"

namespace kestrin::imdsi {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<long long> gConnectMs{Timeouts{}.connect.count()};
std::atomic<long long> gCallMs{Timeouts{}.call.count()};

// An open socket, closed when the last user lets go of it.
class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { ::close(fd_); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

struct Session {
  explicit Session(int fd, uint8_t regionCode) : socket(fd), region(regionCode) {}
  Socket socket;
  uint8_t region;
  std::mutex call;      // one exchange at a time on a session
  bool broken = false;  // a failed exchange left the stream out of step
};

class Registry {
 public:
  int32_t add(std::shared_ptr<Session> session) {
    std::lock_guard lock(mutex_);
    if (next_ <= 0) return 0;  // handles are used up; never hand out one twice
    const int32_t handle = next_++;
    sessions_[handle] = std::move(session);
    return handle;
  }
  std::shared_ptr<Session> find(int32_t handle) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(handle);
    return it == sessions_.end() ? nullptr : it->second;
  }
  std::shared_ptr<Session> remove(int32_t handle) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(handle);
    if (it == sessions_.end()) return nullptr;
    std::shared_ptr<Session> session = std::move(it->second);
    sessions_.erase(it);
    return session;
  }

 private:
  std::mutex mutex_;
  std::map<int32_t, std::shared_ptr<Session>> sessions_;
  int32_t next_ = 1;
};

Registry& registry() {
  static Registry r;
  return r;
}

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1 << 30));
}

// Waits until fd is ready for `events`; false at the deadline or on a poll failure.
bool waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, remainingMs(deadline));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return false;
  }
}

int connectTo(const addrinfo& ai, Clock::time_point deadline) {
  int fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai.ai_protocol);
  if (fd < 0) return -1;
  if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
    int err = 0;
    socklen_t len = sizeof err;
    if (errno != EINPROGRESS || !waitFor(fd, POLLOUT, deadline) ||
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

// Sends all of buf; false when the peer is gone or the deadline passes.
bool sendAll(int fd, const char* buf, size_t n, Clock::time_point deadline) {
  while (n > 0) {
    ssize_t sent = ::send(fd, buf, n, MSG_NOSIGNAL);
    if (sent > 0) {
      buf += sent;
      n -= static_cast<size_t>(sent);
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      if (!waitFor(fd, POLLOUT, deadline)) return false;
    } else {
      return false;
    }
  }
  return true;
}

// Reads exactly n bytes into buf.
int16_t receiveAll(int fd, char* buf, size_t n, Clock::time_point deadline) {
  while (n > 0) {
    ssize_t got = ::recv(fd, buf, n, 0);
    if (got > 0) {
      buf += got;
      n -= static_cast<size_t>(got);
    } else if (got == 0) {
      return kStatusClosedEarly;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
      if (!waitFor(fd, POLLIN, deadline)) return kStatusTimedOut;
    } else {
      return kStatusClosedEarly;
    }
  }
  return kStatusOk;
}

}  // namespace

Timeouts timeouts() {
  return {std::chrono::milliseconds(gConnectMs.load()), std::chrono::milliseconds(gCallMs.load())};
}

void setTimeouts(const Timeouts& t) {
  gConnectMs = t.connect.count();
  gCallMs = t.call.count();
}

bool splitServer(std::string_view server, std::string& host, std::string& port) {
  std::string_view portText;
  if (!server.empty() && server.front() == '[') {
    size_t close = server.find(']');
    if (close == std::string_view::npos) return false;
    host = server.substr(1, close - 1);
    std::string_view rest = server.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      portText = rest.substr(1);
      if (portText.empty()) return false;
    }
  } else {
    size_t colon = server.find(':');
    if (colon != server.rfind(':')) return false;  // a bare IPv6 address needs its brackets
    host = server.substr(0, colon);
    if (colon != std::string_view::npos) {
      portText = server.substr(colon + 1);
      if (portText.empty()) return false;
    }
  }
  if (host.empty()) return false;
  if (portText.empty()) {
    port = kDefaultPort;
    return true;
  }
  if (portText.size() > 5) return false;
  long value = 0;
  for (char c : portText) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  port = std::string(portText);
  return true;
}

int32_t Open_Client(const char* server, uint8_t region) {
  std::string host, port;
  if (!server || !splitServer(server, host, port)) return 0;

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return 0;
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);

  const auto connectTimeout = timeouts().connect;
  for (const addrinfo* ai = list.get(); ai; ai = ai->ai_next) {
    int fd = connectTo(*ai, Clock::now() + connectTimeout);
    if (fd < 0) continue;
    int32_t handle = registry().add(std::make_shared<Session>(fd, region));
    return handle;  // 0 when no handle is left; the session is closed with it
  }
  return 0;
}

int16_t Call_Server(int32_t client, char* message) {
  std::shared_ptr<Session> session = registry().find(client);
  if (!session) return kStatusUnknownClient;
  if (!message || std::strlen(message) + 1 != kPandAMessageLength) return kStatusBadMessage;

  std::lock_guard lock(session->call);
  if (session->broken) return kStatusSendFailed;
  const int fd = session->socket.fd();
  const auto deadline = Clock::now() + timeouts().call;
  if (!sendAll(fd, message, kPandAMessageLength, deadline)) {
    session->broken = true;
    return kStatusSendFailed;
  }
  // The answer lands in a buffer of our own first: a broken-off answer leaves the message as it
  // was.
  std::string answer(kPandAMessageLength, '\0');
  int16_t status = receiveAll(fd, answer.data(), answer.size(), deadline);
  if (status != kStatusOk) {
    session->broken = true;
    ::shutdown(fd, SHUT_RDWR);
    return status;
  }
  std::memcpy(message, answer.data(), answer.size());
  return kStatusOk;
}

void Close_Client(int32_t client) {
  std::shared_ptr<Session> session = registry().remove(client);
  if (session) ::shutdown(session->socket.fd(), SHUT_RDWR);
}

}  // namespace kestrin::imdsi

// A kestrin-shop process on a test site, bound to a free port of 127.0.0.1, and a small HTTP
// client that speaks to it as a browser would (one request per connection).
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace kestrin::testing {

struct HttpReply {
  int status = 0;
  std::multimap<std::string, std::string> headers;  // lower-case names
  std::string body;

  std::string header(const std::string& lowerName) const;
};

// Sends `raw` (a whole request) to 127.0.0.1:port and reads the reply until the server closes.
HttpReply sendRaw(int port, const std::string& raw);

class ShopProcess {
 public:
  // Starts kestrin-shop on the site folder `appPath` and waits until it listens.
  ShopProcess(const std::string& appPath, const std::vector<std::string>& extraArgs = {});
  // Stops it with SIGTERM and waits for it.
  ~ShopProcess();
  ShopProcess(const ShopProcess&) = delete;
  ShopProcess& operator=(const ShopProcess&) = delete;

  int port() const { return port_; }
  std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
  // Sends SIGTERM and returns the exit status (or -1 when it did not end within 20 s).
  int terminate();
  // What the process wrote to its standard error and its access log so far.
  std::string errors() const;
  std::string accessLog() const;

  HttpReply get(const std::string& target, const std::string& cookie = "");
  HttpReply post(const std::string& target, const std::string& form,
                 const std::string& cookie = "");

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string dir_;
};

// The value of the session cookie that a reply sets, or empty text.
std::string sessionCookie(const HttpReply& reply);
// The value of the hidden token field in a page, or empty text.
std::string tokenOf(const std::string& html);

}  // namespace kestrin::testing

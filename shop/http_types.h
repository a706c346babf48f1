// Requests and responses as the page host sees them, independent of the server library.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrin::shop {

struct HttpRequest {
  std::string method;                                        // "GET", "POST", ...
  std::string target;                                        // as sent: path and query
  std::string version;                                       // "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;
  std::string remoteAddress;

  // The first header of that (lower-case) name, or empty text.
  std::string header(std::string_view lowerName) const;
  // The target before "?" and the text after it.
  std::string path() const;
  std::string query() const;
};

struct HttpResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  void setHeader(const std::string& name, const std::string& value);
  void addHeader(const std::string& name, const std::string& value) {
    headers.emplace_back(name, value);
  }

  static HttpResponse html(int status, std::string body);
  static HttpResponse text(int status, std::string body);
  static HttpResponse redirect(const std::string& location);
};

// The reason phrase of a status code ("Not Found").
const char* reasonPhrase(int status);

}  // namespace kestrin::shop

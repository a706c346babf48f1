#include "http_types.h"

namespace kestrin::shop {

std::string HttpRequest::header(std::string_view lowerName) const {
  for (const auto& [name, value] : headers) {
    if (name == lowerName) return value;
  }
  return {};
}

std::string HttpRequest::path() const { return target.substr(0, target.find('?')); }

std::string HttpRequest::query() const {
  size_t q = target.find('?');
  return q == std::string::npos ? std::string() : target.substr(q + 1);
}

void HttpResponse::setHeader(const std::string& name, const std::string& value) {
  for (auto& [n, v] : headers) {
    if (n == name) {
      v = value;
      return;
    }
  }
  headers.emplace_back(name, value);
}

HttpResponse HttpResponse::html(int status, std::string body) {
  HttpResponse r;
  r.status = status;
  r.setHeader("Content-Type", "text/html; charset=utf-8");
  r.body = std::move(body);
  return r;
}

HttpResponse HttpResponse::text(int status, std::string body) {
  HttpResponse r;
  r.status = status;
  r.setHeader("Content-Type", "text/plain; charset=utf-8");
  r.body = std::move(body);
  return r;
}

HttpResponse HttpResponse::redirect(const std::string& location) {
  HttpResponse r;
  r.status = 303;
  r.setHeader("Location", location);
  r.setHeader("Content-Type", "text/plain; charset=utf-8");
  r.body = "See " + location + "\n";
  return r;
}

const char* reasonPhrase(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Payload Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Unknown";
  }
}

}  // namespace kestrin::shop

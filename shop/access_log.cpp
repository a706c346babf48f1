#include "access_log.h"

namespace kestrin::shop {

namespace {

// Request lines are logged as sent, except for bytes that could break the line apart or
// confuse a terminal; those are written as \xNN.
std::string printable(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string AccessLog::line(const HttpRequest& request, int status, size_t bytes,
                            std::time_t when) {
  std::tm tm{};
  gmtime_r(&when, &tm);
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "[%d/%b/%Y:%H:%M:%S +0000]", &tm);
  std::string host = request.remoteAddress.empty() ? "-" : request.remoteAddress;
  std::string requestLine =
      request.method.empty()
          ? std::string("-")
          : printable(request.method + " " + request.target + " " + request.version);
  return host + " - - " + stamp + " \"" + requestLine + "\" " + std::to_string(status) + " " +
         (bytes ? std::to_string(bytes) : std::string("-")) + "\n";
}

void AccessLog::write(const HttpRequest& request, int status, size_t bytes) {
  if (!out_) return;
  std::string text = line(request, status, bytes, std::time(nullptr));
  std::lock_guard<std::mutex> lock(mutex_);
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

}  // namespace kestrin::shop

// The access log: one line per answered request in the common log format
//   127.0.0.1 - - [09/Dec/2026:10:20:00 +0000] "GET /c_4b.asp?group=B1 HTTP/1.1" 200 5120
// Lines are written whole (one write per line) so that threads never interleave them.
#pragma once

#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

#include "http_types.h"

namespace kestrin::shop {

class AccessLog {
 public:
  // Writes to `out` (not owned); nullptr turns the log off.
  explicit AccessLog(std::FILE* out) : out_(out) {}

  void write(const HttpRequest& request, int status, size_t bytes);

  // The line for one request, at time `when` (UTC).
  static std::string line(const HttpRequest& request, int status, size_t bytes, std::time_t when);

 private:
  std::FILE* out_;
  std::mutex mutex_;
};

}  // namespace kestrin::shop

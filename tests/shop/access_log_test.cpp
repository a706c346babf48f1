#include "access_log.h"

#include <gtest/gtest.h>

namespace kestrin::shop {
namespace {

TEST(AccessLog, CommonLogFormat) {
  HttpRequest r;
  r.method = "GET";
  r.target = "/c_4b.asp?group=B1&category=010";
  r.version = "HTTP/1.1";
  r.remoteAddress = "127.0.0.1";
  // 2026-12-09 10:20:00 UTC
  EXPECT_EQ(AccessLog::line(r, 200, 5120, 1796811600),
            "127.0.0.1 - - [09/Dec/2026:10:20:00 +0000] \"GET /c_4b.asp?group=B1&category=010 "
            "HTTP/1.1\" 200 5120\n");
}

TEST(AccessLog, UnreadableRequestsAndHostileBytes) {
  HttpRequest none;
  EXPECT_EQ(AccessLog::line(none, 413, 0, 1796811600),
            "- - - [09/Dec/2026:10:20:00 +0000] \"-\" 413 -\n");
  HttpRequest r;
  r.method = "GET";
  r.target = "/x\"\n\x1b[2J";
  r.version = "HTTP/1.1";
  r.remoteAddress = "::1";
  EXPECT_EQ(AccessLog::line(r, 404, 10, 1796811600),
            "::1 - - [09/Dec/2026:10:20:00 +0000] \"GET /x\\x22\\x0A\\x1B[2J HTTP/1.1\" 404 10\n");
}

}  // namespace
}  // namespace kestrin::shop

// GetURL against HTTP servers on loopback: Python's file server for whole bodies, and a small
// server of our own for what a file server does not do (break off, show the request).
#include "kestrin/url.h"

#include <gtest/gtest.h>

#include "kestrin/error.h"
#include "peers.h"

namespace kestrin::testing {
namespace {

std::string bytes(size_t n) {
  std::string body(n, '\0');
  for (size_t i = 0; i < n; ++i) body[i] = static_cast<char>(i % 251);  // every byte value
  return body;
}

TEST(URLTest, BodiesComeBackWhole) {
  TempFolder files;
  const size_t sizes[] = {0, 1, 4095, 4096, 4097, 10000, 300000};
  for (size_t n : sizes) writeFile(files.path() + "/" + std::to_string(n) + ".bin", bytes(n));
  ChildProcess server("/usr/bin/python3", {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                                           "--directory", files.path()});
  const int port = portIn(server.readLine());
  ASSERT_NE(port, 0);
  URL url;
  for (size_t n : sizes) {
    SCOPED_TRACE(n);
    const std::string body =
        url.GetURL("http://127.0.0.1:" + std::to_string(port) + "/" + std::to_string(n) + ".bin");
    EXPECT_EQ(body.size(), n);
    EXPECT_TRUE(body == bytes(n));
    EXPECT_FALSE(currentError().isSet());
  }
}

TEST(URLTest, FailuresAreReturnedAsText) {
  int freePort;
  {
    freePort = LoopbackServer([](int) {}).port();
  }
  struct Case {
    const char* name;
    std::string address;
    int32_t number;
    const char* text;
  };
  const Case cases[] = {
      {"empty address", "", 5, "Invalid procedure call or argument"},
      {"nothing listens", "http://127.0.0.1:" + std::to_string(freePort) + "/",
       static_cast<int32_t>(0x800403E8), "An error occurred calling InternetOpenUrl function"},
      {"not an address", "not a url at all", static_cast<int32_t>(0x800403E8),
       "An error occurred calling InternetOpenUrl function"},
      {"local files are not fetched", "file:///etc/hostname", static_cast<int32_t>(0x800403E8),
       "An error occurred calling InternetOpenUrl function"},
  };
  URL url;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(url.GetURL(c.address), c.text);
    EXPECT_EQ(currentError().number, c.number);
  }
}

TEST(URLTest, BrokenOffTransferKeepsWhatCameAndSaysSo) {
  std::string seen;
  LoopbackServer server([&](int fd) {
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
      std::string one;
      if (!LoopbackServer::readExactly(fd, one, 1)) return;
      request += one;
    }
    seen = request;
    LoopbackServer::writeAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" + bytes(5000));
  });
  URL url;
  const std::string result = url.GetURL("http://" + server.address() + "/page");
  EXPECT_EQ(result, bytes(5000) + "An error occurred calling InternetReadFile function");
  EXPECT_NE(seen.find("GET /page HTTP/1.1\r\n"), std::string::npos);
  EXPECT_NE(seen.find("\r\nUser-Agent: kestrin\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kestrin::testing

#include "dist_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "setup_test_support.h"

namespace pelmoray::testing {

namespace fs = std::filesystem;

namespace {

std::string httpGet(int port, const std::string& path) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return "";
  }
  std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  (void)!::write(fd, request.data(), request.size());
  std::string response;
  char buf[4096];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
    response.append(buf, static_cast<size_t>(n));
  ::close(fd);
  return response;
}

}  // namespace

const char* const kStandIn =
    "#!/bin/sh\n"
    "echo \"$0\" \"$@\" >> \"$(dirname \"$0\")/started-$(basename \"$0\").txt\"\n";

const char* const kStartOutput =
    "Type the name of the new folder\n"
    "Creating Directories...\n"
    "Copying Files...\n"
    "Registering Kestrin.DLL\n"
    "Done\n"
    "Done. Please proceed to STEP TWO\n";
const char* const kInstallerLine =
    "Pelmoray will now invoke QBFC installer for QuickBooks Intgeration Component.\n";

void copyDelivery(const std::string& to) {
  fs::copy(KESTRIN_DIST_DIR, to, fs::copy_options::recursive);
  for (const char* program : {"kestrin-regsvr", "qbfc2_1Installer.exe"}) {
    writeFile(to + "/" + program, kStandIn);
    fs::permissions(to + "/" + program, fs::perms::owner_all);
  }
}

Output runPelmoray(const std::string& delivery, const std::vector<std::string>& args,
                   const std::string& scratch) {
  std::string command = shellQuote(delivery + "/pelmoray");
  for (const auto& a : args) command += " " + shellQuote(a);
  command += " > " + shellQuote(scratch) + " 2>&1";
  int status = run(command);
  return {status, readFile(scratch)};
}

std::string awaitFile(const std::string& path) {
  for (int i = 0; i < 200 && !exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return readFile(path);
}

int registerEngine(const std::string& delivery, const std::string& registry) {
  return run("KESTRIN_REGISTRY=" + shellQuote(registry) + " " + KESTRIN_REGSVR_PATH + " " +
             shellQuote(delivery + "/dll/libkestrin.so") + " > /dev/null");
}

std::vector<std::string> shopResponses(const std::string& registry, const std::string& www,
                                       const std::vector<std::string>& paths, std::string* banner) {
  int fds[2];
  if (::pipe(fds) != 0) return std::vector<std::string>(paths.size());
  pid_t shop = ::fork();
  if (shop == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    ::close(fds[0]);
    ::setenv("KESTRIN_REGISTRY", registry.c_str(), 1);
    ::unsetenv("KESTRIN_APP_PATH");
    ::execl(KESTRIN_SHOP_PATH, "kestrin-shop", "--password", "tolvaro27", "--www", www.c_str(),
            "--port", "0", "--access-log", "/dev/null", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string line;
  char c;
  while (::read(fds[0], &c, 1) == 1 && c != '\n') line += c;
  if (banner) *banner = line;
  size_t colon = line.rfind(':');
  int port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
  std::vector<std::string> responses;
  for (const std::string& path : paths) responses.push_back(port > 0 ? httpGet(port, path) : "");
  ::kill(shop, SIGTERM);
  ::waitpid(shop, nullptr, 0);
  ::close(fds[0]);
  return responses;
}

}  // namespace pelmoray::testing

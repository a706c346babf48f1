#include "shop_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kestrin::testing {

namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string HttpReply::header(const std::string& lowerName) const {
  auto it = headers.find(lowerName);
  return it == headers.end() ? std::string() : it->second;
}

HttpReply sendRaw(int port, const std::string& raw) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    throw std::runtime_error("cannot connect to port " + std::to_string(port));
  }
  timeval tv{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  size_t sent = 0;
  while (sent < raw.size()) {
    ssize_t n = send(fd, raw.data() + sent, raw.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // the server may refuse and close before all is sent
    sent += static_cast<size_t>(n);
  }
  std::string in;
  char buf[65536];
  for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) in.append(buf, static_cast<size_t>(n));
  close(fd);

  HttpReply reply;
  size_t end = in.find("\r\n\r\n");
  if (end == std::string::npos) return reply;
  std::istringstream head(in.substr(0, end));
  std::string line;
  std::getline(head, line);
  if (line.size() > 12) reply.status = std::stoi(line.substr(9, 3));
  while (std::getline(head, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    reply.headers.emplace(lower(line.substr(0, colon)), value);
  }
  reply.body = in.substr(end + 4);
  return reply;
}

ShopProcess::ShopProcess(const std::string& appPath, const std::vector<std::string>& extraArgs) {
  std::string tmpl = (fs::temp_directory_path() / "kestrin-shop-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  std::vector<std::string> args = {
      KESTRIN_SHOP_PATH,   "--app-path", appPath, "--site",    "kestrin", "--password",
      "tolvaro27",         "--port",     "0",     "--threads", "4",       "--access-log",
      dir_ + "/access.log"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    std::string out = dir_ + "/stdout", err = dir_ + "/stderr";
    if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // The first line of standard output names the address once the server listens.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string out = slurp(dir_ + "/stdout");
    size_t at = out.find("http://127.0.0.1:");
    if (at != std::string::npos && out.find('\n', at) != std::string::npos) {
      port_ = std::stoi(out.substr(at + 17));
      return;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("kestrin-shop ended at start: " + slurp(dir_ + "/stderr"));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  terminate();
  throw std::runtime_error("kestrin-shop did not start listening");
}

int ShopProcess::terminate() {
  if (pid_ < 0) return -1;
  kill(pid_, SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return -1;
}

ShopProcess::~ShopProcess() {
  terminate();
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

std::string ShopProcess::errors() const { return slurp(dir_ + "/stderr"); }
std::string ShopProcess::accessLog() const { return slurp(dir_ + "/access.log"); }

HttpReply ShopProcess::get(const std::string& target, const std::string& cookie) {
  std::string raw = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  if (!cookie.empty()) raw += "Cookie: KESTRIN_SESSION=" + cookie + "\r\n";
  return sendRaw(port_, raw + "\r\n");
}

HttpReply ShopProcess::post(const std::string& target, const std::string& form,
                            const std::string& cookie) {
  std::string raw = "POST " + target +
                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                    "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                    std::to_string(form.size()) + "\r\n";
  if (!cookie.empty()) raw += "Cookie: KESTRIN_SESSION=" + cookie + "\r\n";
  return sendRaw(port_, raw + "\r\n" + form);
}

std::string sessionCookie(const HttpReply& reply) {
  auto range = reply.headers.equal_range("set-cookie");
  std::string value;
  for (auto it = range.first; it != range.second; ++it) {
    const std::string& c = it->second;
    if (c.rfind("KESTRIN_SESSION=", 0) == 0) value = c.substr(16, c.find(';') - 16);
  }
  return value;
}

std::string tokenOf(const std::string& html) {
  const std::string mark = "name=\"token\" value=\"";
  size_t at = html.find(mark);
  if (at == std::string::npos) return {};
  at += mark.size();
  return html.substr(at, html.find('"', at) - at);
}

}  // namespace kestrin::testing

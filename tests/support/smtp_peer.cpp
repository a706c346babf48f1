#include "smtp_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace kestrin::testing {

namespace fs = std::filesystem;

namespace {

constexpr int kStartTimeoutMs = 30000;

// Reads the first line the peer prints (its port), or "" when it ends or takes too long.
std::string readLine(int fd) {
  std::string line;
  char c;
  while (true) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kStartTimeoutMs) <= 0) return {};
    if (read(fd, &c, 1) != 1) return {};
    if (c == '\n') return line;
    line += c;
  }
}

}  // namespace

SmtpPeer::SmtpPeer(const std::string& user, const std::string& password) {
  std::string tmpl = (fs::temp_directory_path() / "kestrin-smtp-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;

  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);

  std::string python = KESTRIN_PEER_PYTHON;
  std::string script = std::string(KESTRIN_TEST_DIR) + "/support/smtp_peer.py";
  std::vector<char*> argv = {python.data(),
                             script.data(),
                             dir_.data(),
                             const_cast<char*>(user.c_str()),
                             const_cast<char*>(password.c_str()),
                             nullptr};
  int rc = posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  toPeer_ = in[1];
  if (rc != 0) {
    pid_ = -1;
    close(out[0]);
    stop();
    throw std::runtime_error("cannot start " + python);
  }

  std::string line = readLine(out[0]);
  close(out[0]);
  port_ = std::atoi(line.c_str());
  if (port_ <= 0) {
    stop();
    throw std::runtime_error("the SMTP peer did not start (" + python +
                             " with python3-aiosmtpd, see scripts/bootstrap)");
  }
}

SmtpPeer::~SmtpPeer() { stop(); }

void SmtpPeer::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (toPeer_ >= 0) close(toPeer_);
  toPeer_ = -1;
  std::error_code ec;
  if (!dir_.empty()) fs::remove_all(dir_, ec);
}

std::vector<std::string> SmtpPeer::messages() const {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> out;
  for (const fs::path& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    out.push_back(text.str());
  }
  return out;
}

}  // namespace kestrin::testing

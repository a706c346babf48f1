// Outside peers for tests: programs started as child processes (simulators, servers) and small
// TCP servers on loopback whose behaviour a test writes. Every server binds 127.0.0.1 on a port
// the system picks; every child is stopped when its object goes.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kestrin::testing {

class ChildProcess {
 public:
  // Starts `program` with `args`; its standard output is read by readLine().
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  // Stops the program (SIGTERM, then SIGKILL when it does not end) and waits for it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of its standard output; empty text when none comes within ten seconds.
  std::string readLine();
  // Waits up to ten seconds for the program to end by itself, then stops it; its exit status,
  // or -1 when a signal ended it.
  int wait();
  // Stops the program; its exit status, or -1 when a signal ended it.
  int stop();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffered_;
};

// The port of a "... listening on HOST:PORT ..." or "... port PORT ..." line; 0 when none.
int portIn(const std::string& line);

// A TCP server on 127.0.0.1 that runs `handler` on each accepted connection, one connection at a
// time. The handler owns nothing: the server closes the connection after it returns.
class LoopbackServer {
 public:
  using Handler = std::function<void(int fd)>;
  explicit LoopbackServer(Handler handler);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  int connections() const { return connections_; }

  // Helpers for handlers: read exactly n bytes (false at end of stream), write all of data.
  static bool readExactly(int fd, std::string& data, size_t n);
  static bool writeAll(int fd, const std::string& data);
  // Blocks until the peer closes the connection or the server is stopped.
  static void waitForClose(int fd);

 private:
  void run();
  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  int wake_[2] = {-1, -1};
  std::atomic<int> connections_{0};
  std::atomic<int> active_{-1};  // the connection being handled
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// A fresh empty folder (mkdtemp), removed with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Writes `text` into the file `path`, making its folders.
void writeFile(const std::string& path, const std::string& text);

}  // namespace kestrin::testing

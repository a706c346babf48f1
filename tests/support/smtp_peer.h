// A real SMTP server for a test: aiosmtpd on 127.0.0.1 on a port the system picks, requiring a
// login with the given account, recording each accepted message as a text summary (the format
// is described in smtp_peer.py). Started by the constructor, stopped by the destructor.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrin::testing {

class SmtpPeer {
 public:
  SmtpPeer(const std::string& user, const std::string& password);
  ~SmtpPeer();
  SmtpPeer(const SmtpPeer&) = delete;
  SmtpPeer& operator=(const SmtpPeer&) = delete;

  int port() const { return port_; }
  // The value for the "smtpserver" preference: "127.0.0.1:PORT".
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }
  // Summaries of the messages accepted so far, in arrival order.
  std::vector<std::string> messages() const;

 private:
  void stop();

  std::string dir_;
  pid_t pid_ = -1;
  int toPeer_ = -1;  // the peer's standard input: closing it also stops the peer
  int port_ = 0;
};

}  // namespace kestrin::testing

// Handing a composed message to an SMTP server (libcurl's SMTP client).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mail_message.h"

namespace kestrin::mail {

// A message the server did not take: refused or timed-out connection, rejected login, rejected
// address. The description is curl's, with the server's reply where there was one.
inline constexpr int32_t kErrMailNotSent = -2147220975;
inline constexpr int kDefaultSmtpPort = 25;
inline constexpr long kConnectTimeoutSeconds = 10;
// How long one reply of a connected server may take (a stalled server must not hold a page).
inline constexpr long kReplyTimeoutSeconds = 30;

struct SmtpServer {
  std::string host;  // a name, an IPv4 address or a bare IPv6 address
  int port = kDefaultSmtpPort;
};

// "host", "host:port", "[v6]" or "[v6]:port"; blanks around are ignored. Anything else (the
// "n/a" of a missing preference among them) raises Error 5 without touching the network.
SmtpServer parseSmtpServer(std::string_view value);

struct SmtpAccount {
  std::string user;  // empty with an empty password: send without logging in
  std::string password;
};

// Sends over plain SMTP, upgrading with STARTTLS when the server offers it, and logs in with the
// account. Raises Error kErrMailNotSent on any failure.
void sendOverSmtp(const SmtpServer& server, const SmtpAccount& account, const OutgoingMail& mail);

}  // namespace kestrin::mail

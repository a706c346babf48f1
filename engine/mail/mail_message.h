// Composing one outgoing message: the envelope (sender and recipients) and the message text with
// its headers, ready to hand to an SMTP server.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin::mail {

// What a page asks to send. Address fields may list several addresses separated by commas or
// semicolons, each a bare address or "Name <address>".
struct MailRequest {
  std::string to;
  std::string from;
  std::string cc;  // empty: no Cc header
  std::string subject;
  std::string body;
  bool html = false;
};

struct OutgoingMail {
  std::string sender;                   // the address of From, for MAIL FROM
  std::vector<std::string> recipients;  // To then Cc addresses, for RCPT TO
  std::string text;                     // headers and body, CRLF line ends, 7-bit
};

// Builds the message, dated `now`, with the Message-ID "<uniqueId@domain of the sender>". A field
// that holds a line break (a second header smuggled in), a missing From, an item that is no
// address or no recipient at all raises Error 5, and nothing is composed.
OutgoingMail composeMail(const MailRequest& request, std::time_t now, std::string_view uniqueId);

// The items of an address list as written (blank-trimmed, empty items dropped). Commas and
// semicolons inside double quotes or angle brackets do not separate.
std::vector<std::string> splitAddressList(std::string_view list);
// The address of one item: the text between < and > when there is one, else the item itself.
std::string addressOf(std::string_view item);

// A header value as RFC 2047 encoded words when it is not plain printable ASCII or is too long
// for one line; otherwise unchanged.
std::string encodeHeaderText(std::string_view text);
// The body with its line ends made CRLF, in quoted-printable (no line starts with ".").
std::string quotedPrintable(std::string_view body);
// "Tue, 9 Dec 2025 10:17:39 +0100" in local time.
std::string rfc5322Date(std::time_t when);

}  // namespace kestrin::mail

#include "mail_message.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "kestrin/error.h"

namespace kestrin::mail {

namespace {

const char* const kSource = "kestrin.EMAIL";

// Encoded words may be 75 characters; "=?UTF-8?B?" and "?=" take 12, leaving 63 for base64,
// which 45 bytes fill to 60.
constexpr size_t kEncodedWordBytes = 45;
// Plain header values longer than this are encoded too, so that folding keeps lines short.
constexpr size_t kLongHeaderValue = 900;
constexpr size_t kQpLineLength = 75;  // plus the "=" of a soft break

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimBlanks(std::string_view s) {
  size_t a = 0, b = s.size();
  while (a < b && isBlank(s[a])) ++a;
  while (b > a && isBlank(s[b - 1])) --b;
  return std::string(s.substr(a, b - a));
}

bool isControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7f; }

void refuseControlCharacters(const char* field, std::string_view value) {
  for (unsigned char c : value) {
    if (isControl(c)) {
      raise(kErrInvalidCall,
            std::string("The ") + field +
                " field holds a line break or another control character; the message was not sent",
            kSource);
    }
  }
}

std::string checkedAddress(const char* field, const std::string& item) {
  std::string address = addressOf(item);
  // local@domain, nothing that could end the address in an SMTP command early
  const size_t at = address.rfind('@');
  bool usable = at != std::string::npos && at > 0 && at + 1 < address.size();
  for (char c : address) usable = usable && !isBlank(c) && c != '<' && c != '>';
  if (!usable) {
    raise(kErrInvalidCall,
          "The address \"" + item + "\" in the " + field + " field is not a mail address", kSource);
  }
  return address;
}

std::string base64(std::string_view bytes) {
  static const char* const kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
  }
  return out;
}

// "Name: a, b, c" folded before an item that would take the line past 78 characters.
std::string addressHeader(const char* name, const std::vector<std::string>& items) {
  std::string header = std::string(name) + ": ";
  size_t lineStart = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) {
      header += ',';
      if (header.size() - lineStart + 1 + items[i].size() > 78) {
        header += "\r\n";
        lineStart = header.size();
      }
      header += ' ';
    }
    header += items[i];
  }
  return header + "\r\n";
}

// The right side of a Message-ID: the sender's domain when it is a plain host name.
std::string messageIdDomain(const std::string& sender) {
  size_t at = sender.rfind('@');
  std::string domain = at == std::string::npos ? "" : sender.substr(at + 1);
  bool plain = !domain.empty();
  for (char c : domain) {
    plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.');
  }
  return plain ? domain : "localhost";
}

std::string hexByte(unsigned char c) {
  static const char* const kHex = "0123456789ABCDEF";
  return {'=', kHex[c >> 4], kHex[c & 15]};
}

}  // namespace

std::vector<std::string> splitAddressList(std::string_view list) {
  std::vector<std::string> items;
  std::string current;
  bool quoted = false;
  int angle = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    char c = list[i];
    if (quoted && c == '\\' && i + 1 < list.size()) {
      current += c;
      current += list[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '<') ++angle;
    if (!quoted && c == '>' && angle > 0) --angle;
    if (!quoted && angle == 0 && (c == ',' || c == ';')) {
      if (std::string item = trimBlanks(current); !item.empty()) items.push_back(item);
      current.clear();
      continue;
    }
    current += c;
  }
  if (std::string item = trimBlanks(current); !item.empty()) items.push_back(item);
  return items;
}

std::string addressOf(std::string_view item) {
  bool quoted = false;
  for (size_t i = 0; i < item.size(); ++i) {
    if (item[i] == '"') quoted = !quoted;
    if (!quoted && item[i] == '<') {
      size_t close = item.find('>', i + 1);
      if (close != std::string_view::npos) return trimBlanks(item.substr(i + 1, close - i - 1));
    }
  }
  return trimBlanks(item);
}

std::string encodeHeaderText(std::string_view text) {
  bool plain = text.size() <= kLongHeaderValue && text.find("=?") == std::string_view::npos;
  for (unsigned char c : text) plain = plain && c >= 0x20 && c < 0x7f;
  if (plain) return std::string(text);

  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = std::min(text.size(), at + kEncodedWordBytes);
    // Never cut a UTF-8 sequence: back off over continuation bytes.
    while (end < text.size() && end > at + 1 &&
           (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
      --end;
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + base64(text.substr(at, end - at)) + "?=";
    at = end;
  }
  return out;
}

std::string quotedPrintable(std::string_view body) {
  std::string out;
  size_t column = 0;
  for (size_t i = 0; i < body.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(body[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
      out += "\r\n";
      column = 0;
      continue;
    }
    const bool endOfLine = i + 1 == body.size() || body[i + 1] == '\r' || body[i + 1] == '\n';
    std::string token;
    if (isBlank(static_cast<char>(c))) {
      token = endOfLine ? hexByte(c) : std::string(1, static_cast<char>(c));
    } else if (c >= 33 && c <= 126 && c != '=') {
      token = std::string(1, static_cast<char>(c));
    } else {
      token = hexByte(c);
    }
    if (column + token.size() > kQpLineLength) {
      out += "=\r\n";
      column = 0;
    }
    // A line that starts with "." would need dot-stuffing on the wire; encode it instead.
    if (column == 0 && token == ".") token = hexByte('.');
    out += token;
    column += token.size();
  }
  if (!out.ends_with("\r\n")) out += "\r\n";
  return out;
}

std::string rfc5322Date(std::time_t when) {
  static const std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm t{};
  localtime_r(&when, &t);
  long offset = t.tm_gmtoff / 60;
  const char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %d %s %d %02d:%02d:%02d %c%02ld%02ld", kDays[t.tm_wday % 7],
                t.tm_mday, kMonths[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec,
                sign, offset / 60, offset % 60);
  return buf;
}

OutgoingMail composeMail(const MailRequest& request, std::time_t now, std::string_view uniqueId) {
  refuseControlCharacters("To", request.to);
  refuseControlCharacters("From", request.from);
  refuseControlCharacters("CC", request.cc);
  refuseControlCharacters("Subject", request.subject);

  const std::vector<std::string> from = splitAddressList(request.from);
  const std::vector<std::string> to = splitAddressList(request.to);
  const std::vector<std::string> cc = splitAddressList(request.cc);
  if (from.empty()) {
    raise(kErrInvalidCall,
          "At least one of the From or Sender fields is required, and neither was found.", kSource);
  }

  OutgoingMail mail;
  mail.sender = checkedAddress("From", from.front());
  for (const std::string& item : to) mail.recipients.push_back(checkedAddress("To", item));
  for (const std::string& item : cc) mail.recipients.push_back(checkedAddress("CC", item));
  if (mail.recipients.empty()) {
    raise(kErrInvalidCall, "At least one recipient is required, but none were found.", kSource);
  }

  std::string& m = mail.text;
  m += "Date: " + rfc5322Date(now) + "\r\n";
  m += addressHeader("From", from);
  if (!to.empty()) m += addressHeader("To", to);
  if (!cc.empty()) m += addressHeader("Cc", cc);
  m += "Subject: " + encodeHeaderText(request.subject) + "\r\n";
  m += "Message-ID: <" + std::string(uniqueId) + "@" + messageIdDomain(mail.sender) + ">\r\n";
  m += "MIME-Version: 1.0\r\n";
  m += std::string("Content-Type: ") + (request.html ? "text/html" : "text/plain") +
       "; charset=UTF-8\r\n";
  m += "Content-Transfer-Encoding: quoted-printable\r\n";
  m += "\r\n";
  m += quotedPrintable(request.body);
  return mail;
}

}  // namespace kestrin::mail

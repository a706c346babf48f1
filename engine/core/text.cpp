#include "text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "kestrin/error.h"

namespace kestrin {

std::string trim(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string sqlEscape(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string htmlTextEscape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '&' || c == '<' || c == '>') {
      out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string htmlEscape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string urlEncode(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (plain || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
  }
  return out;
}

std::string textBefore(std::string_view s, std::string_view sep) {
  size_t at = s.find(sep);
  return std::string(at == std::string_view::npos ? s : s.substr(0, at));
}

std::string replaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  size_t pos = 0;
  for (size_t at; (at = s.find(from, pos)) != std::string_view::npos; pos = at + from.size()) {
    out.append(s.substr(pos, at - pos));
    out.append(to);
  }
  out.append(s.substr(pos));
  return out;
}

std::vector<std::string> split(std::string_view s, std::string_view sep) {
  std::vector<std::string> parts;
  size_t pos = 0;
  for (size_t at; !sep.empty() && (at = s.find(sep, pos)) != std::string_view::npos;
       pos = at + sep.size()) {
    parts.emplace_back(s.substr(pos, at - pos));
  }
  parts.emplace_back(s.substr(pos));
  return parts;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isRadixLiteral(std::string_view s) {
  if (s.size() < 3 || s[0] != '&') return false;
  char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
  if (kind != 'H' && kind != 'O') return false;
  for (char c : s.substr(2)) {
    bool ok =
        kind == 'H' ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : (c >= '0' && c <= '7');
    if (!ok) return false;
  }
  return true;
}

}  // namespace

size_t utf8Length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

std::string utf8Prefix(std::string_view s, size_t count) {
  size_t at = 0;
  for (size_t seen = 0; at < s.size(); ++at) {
    if ((static_cast<unsigned char>(s[at]) & 0xC0) != 0x80 && seen++ == count) break;
  }
  return std::string(s.substr(0, at));
}

bool isNumeric(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  s = s.substr(b, e - b);
  if (s.empty()) return false;
  if (isRadixLiteral(s)) return true;

  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  if (i < s.size() && s[i] == '$') ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-') && i > 0 && s[i - 1] == '$') ++i;
  bool digits = false;
  while (i < s.size() && (isDigit(s[i]) || (s[i] == ',' && digits))) {
    digits = digits || isDigit(s[i]);
    ++i;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) {
      digits = true;
      ++i;
    }
  }
  if (!digits) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool expDigits = false;
    while (i < s.size() && isDigit(s[i])) {
      expDigits = true;
      ++i;
    }
    if (!expDigits) return false;
  }
  // A trailing sign is accepted by the classic test ("12-").
  if (i < s.size() && (s[i] == '+' || s[i] == '-') && i + 1 == s.size()) ++i;
  return i == s.size();
}

double val(std::string_view s) {
  std::string compact;
  for (char c : s) {
    if (!isBlank(c)) compact += c;
  }
  if (compact.size() >= 2 && compact[0] == '&') {
    char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(compact[1])));
    int base = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
    if (base == 0) return 0;
    // At most 32 bits, whatever the number of digits (leading zeros are free).
    constexpr uint64_t kLargest = 0xFFFFFFFFu;
    uint64_t v = 0;
    for (size_t i = 2; i < compact.size(); ++i) {
      int d = std::isxdigit(static_cast<unsigned char>(compact[i]))
                  ? (isDigit(compact[i])
                         ? compact[i] - '0'
                         : std::toupper(static_cast<unsigned char>(compact[i])) - 'A' + 10)
                  : 99;
      if (d >= base) break;
      v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
      if (v > kLargest) raise(kErrOverflow, "Overflow", "kestrin");
    }
    return static_cast<double>(v);
  }
  size_t i = 0;
  std::string number;
  if (i < compact.size() && (compact[i] == '+' || compact[i] == '-')) number += compact[i++];
  bool seenDot = false;
  bool digits = false;
  while (i < compact.size()) {
    char c = compact[i];
    if (isDigit(c)) {
      digits = true;
      number += c;
    } else if (c == '.' && !seenDot) {
      seenDot = true;
      number += c;
    } else {
      break;
    }
    ++i;
  }
  if (!digits) return 0;
  if (i < compact.size() &&
      (compact[i] == 'e' || compact[i] == 'E' || compact[i] == 'd' || compact[i] == 'D')) {
    std::string exp = "e";
    size_t j = i + 1;
    if (j < compact.size() && (compact[j] == '+' || compact[j] == '-')) exp += compact[j++];
    bool expDigits = false;
    while (j < compact.size() && isDigit(compact[j])) {
      exp += compact[j++];
      expDigits = true;
    }
    if (expDigits) number += exp;
  }
  return std::strtod(number.c_str(), nullptr);
}

double roundHalfEven(double value, int digits) {
  // Work on the exact decimal expansion printf gives, which rounds ties to even.
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", digits, value);
  return std::strtod(buf, nullptr);
}

namespace {

std::string fixed2(double value) {
  // What printf's "%.2f" writes (both round the exact binary value), at a fraction of its cost:
  // every price of a page passes here.
  char buf[512];
  std::string s(buf, std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2).ptr);
  // No negative zero: "-0.00" is "0.00".
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

std::string groupDigits(const std::string& fixed) {
  size_t start = fixed[0] == '-' ? 1 : 0;
  size_t dot = fixed.find('.');
  size_t intEnd = dot == std::string::npos ? fixed.size() : dot;
  std::string out = fixed.substr(0, start);
  for (size_t i = start; i < intEnd; ++i) {
    out += fixed[i];
    size_t left = intEnd - i - 1;
    if (left > 0 && left % 3 == 0) out += ',';
  }
  out += fixed.substr(intEnd);
  return out;
}

}  // namespace

std::string plainMoney(double value) {
  std::string s = fixed2(value);
  size_t start = s[0] == '-' ? 1 : 0;
  if (s.compare(start, 2, "0.") == 0) s.erase(start, 1);
  return s;
}

std::string displayMoney(double value) { return groupDigits(fixed2(value)); }

std::string fixedTwo(double value) { return fixed2(value); }

double finiteNumber(double value) {
  if (!std::isfinite(value)) raise(kErrOverflow, "Overflow", "kestrin");
  return value;
}

std::string countText(double value) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.0f", value);
  std::string s = buf;
  if (s == "-0") s = "0";
  return groupDigits(s);
}

std::string numberText(double value) {
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  std::string s = buf;
  size_t e = s.find('e');
  if (e != std::string::npos) s[e] = 'E';
  return s;
}

std::string singleText(float value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  std::string s(buf, res.ptr);
  size_t e = s.find('e');
  if (e != std::string::npos) s[e] = 'E';
  return s;
}

std::string shortDate(const std::tm& t) {
  return std::to_string(t.tm_mon + 1) + "/" + std::to_string(t.tm_mday) + "/" +
         std::to_string(t.tm_year + 1900);
}

std::string generalDate(const std::tm& t) {
  std::string s = shortDate(t);
  if (t.tm_hour == 0 && t.tm_min == 0 && t.tm_sec == 0) return s;
  int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
  char buf[32];
  std::snprintf(buf, sizeof buf, " %d:%02d:%02d %s", hour12, t.tm_min, t.tm_sec,
                t.tm_hour < 12 ? "AM" : "PM");
  return s + buf;
}

std::tm localNow() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

}  // namespace kestrin

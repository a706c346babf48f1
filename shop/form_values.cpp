#include "form_values.h"

#include <strings.h>

namespace kestrin::shop {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::string urlDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::string urlEncode(std::string_view s) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size() * 3);
  for (unsigned char c : s) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> parseUrlEncoded(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(start, end - start);
    if (!item.empty()) {
      size_t eq = item.find('=');
      std::string name = urlDecode(item.substr(0, eq));
      std::string value =
          eq == std::string_view::npos ? std::string() : urlDecode(item.substr(eq + 1));
      if (name.size() > 4 && sameName(std::string_view(name).substr(0, 4), "amp;")) {
        name.erase(0, 4);
      }
      pairs.emplace_back(std::move(name), std::move(value));
    }
    start = end + 1;
  }
  return pairs;
}

FormValues::FormValues(std::string_view query, std::string_view formBody)
    : query_(parseUrlEncoded(query)), form_(parseUrlEncoded(formBody)) {}

std::string FormValues::get(std::string_view name) const {
  for (const auto* list : {&query_, &form_}) {
    for (const auto& [n, v] : *list) {
      if (sameName(n, name)) return v;
    }
  }
  return {};
}

bool FormValues::has(std::string_view name) const {
  for (const auto* list : {&query_, &form_}) {
    for (const auto& [n, v] : *list) {
      if (sameName(n, name)) return true;
    }
  }
  return false;
}

std::vector<std::string> FormValues::all(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto* list : {&query_, &form_}) {
    for (const auto& [n, v] : *list) {
      if (sameName(n, name)) values.push_back(v);
    }
  }
  return values;
}

std::vector<std::string> FormValues::formAll(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [n, v] : form_) {
    if (sameName(n, name)) values.push_back(v);
  }
  return values;
}

std::vector<std::string> FormValues::formNames() const {
  std::vector<std::string> names;
  for (const auto& pair : form_) names.push_back(pair.first);
  return names;
}

std::string cookieValue(std::string_view header, std::string_view name) {
  size_t start = 0;
  while (start < header.size()) {
    size_t end = header.find(';', start);
    if (end == std::string_view::npos) end = header.size();
    std::string_view item = trimBlanks(header.substr(start, end - start));
    size_t eq = item.find('=');
    if (eq != std::string_view::npos && item.substr(0, eq) == name) {
      return std::string(item.substr(eq + 1));
    }
    start = end + 1;
  }
  return {};
}

}  // namespace kestrin::shop

#include "page_helpers.h"

#include <cstdio>

#include "kestrin/error.h"
#include "text.h"

namespace kestrin::shop {

std::string catalogCode(PageContext& ctx, const std::string& name) {
  std::string v = ctx.value(name);
  bool ok = v.size() <= 40;
  for (char c : v) {
    ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '-' || c == '_' ||
                c == '.');
  }
  if (!ok) throw BadValue(name, v, "no catalog code looks like this");
  return v;
}

std::string partNumber(PageContext& ctx, const std::string& name) {
  std::string v = ctx.value(name);
  bool ok = v.size() <= 60;
  for (unsigned char c : v) {
    ok = ok && c >= 0x20 && c < 0x7f && c != '"' && c != '\'' && c != '<' && c != '>' && c != '&' &&
         c != '\\' && c != '`';
  }
  if (!ok) throw BadValue(name, v, "no part number looks like this");
  return v;
}

std::string linkValue(PageContext& ctx, const std::string& name) {
  return urlEncode(ctx.value(name));
}

std::string fragment(PageContext& ctx, std::string text) {
  const ErrorRecord& e = currentError();
  if (!e.isSet()) return text;
  std::fprintf(stderr, "kestrin-shop: %s %s: a step failed: error %d: %s (%s)\n",
               ctx.request.method.c_str(), ctx.request.target.c_str(), e.number,
               e.description.c_str(), e.source.c_str());
  size_t at = text.find("::ERROR:");
  if (at != std::string::npos) text.erase(at);
  clearCurrentError();
  return text;
}

std::string heading(const std::string& text) { return "<h1>" + htmlEscape(text) + "</h1>"; }

}  // namespace kestrin::shop

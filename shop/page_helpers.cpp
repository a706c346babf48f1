#include "page_helpers.h"

#include <cstdio>

#include "form_values.h"
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

bool isPartNumber(const std::string& v) {
  bool ok = v.size() <= 60;
  for (unsigned char c : v) {
    ok = ok && c >= 0x20 && c < 0x7f && c != '"' && c != '\'' && c != '<' && c != '>' && c != '&' &&
         c != '\\' && c != '`';
  }
  return ok;
}

std::string partNumber(PageContext& ctx, const std::string& name) {
  std::string v = ctx.value(name);
  if (!isPartNumber(v)) throw BadValue(name, v, "no part number looks like this");
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

std::string safeNext(const std::string& next, const std::string& fallback) {
  size_t dot = next.find(".asp");
  if (dot == std::string::npos || dot == 0) return fallback;
  for (size_t i = 0; i < dot; ++i) {
    char c = next[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return fallback;
  }
  if (dot + 4 < next.size() && next[dot + 4] != '?') return fallback;
  return next;
}

bool plausibleAddress(const std::string& a) {
  size_t at = a.find('@');
  if (a.empty() || a.size() > 200 || at == 0 || at == std::string::npos || at + 1 >= a.size() ||
      a.find('@', at + 1) != std::string::npos) {
    return false;
  }
  for (char c : a) {
    if (c == ' ' || c == ',' || c == ';' || c == '<' || c == '>' || c == '"' ||
        static_cast<unsigned char>(c) < 0x20) {
      return false;
    }
  }
  return true;
}

std::string featuredWord(PageContext& ctx) {
  std::string v = lower(trim(ctx.value("featured")));
  if (v.empty()) return {};
  if (v == "true") return "True";
  if (v == "false") return "False";
  throw BadValue("featured", ctx.value("featured"), "it is True or False");
}

std::string inputField(const std::string& label, const std::string& name, const std::string& value,
                       bool required, const std::string& type) {
  return "<label class=\"text\">" + htmlEscape(label) + (required ? " *" : "") +
         "<br><input type=\"" + type + "\" name=\"" + name + "\" size=\"32\" maxlength=\"100\" " +
         "class=\"field\" value=\"" + htmlEscape(value) + "\"></label>";
}

std::string hiddenField(const std::string& name, const std::string& value) {
  return "<input type=\"hidden\" name=\"" + name + "\" value=\"" + htmlEscape(value) + "\">";
}

HttpResponse logOnFirst(PageContext& ctx) {
  return ctx.redirect("logon.asp?next=" + urlEncode(ctx.request.target.substr(1)));
}

}  // namespace kestrin::shop

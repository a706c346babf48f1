// Small helpers of the page tests: the page's own part of a reply, and a session that is
// logged on as a customer.
#pragma once

#include <string>

#include "shop_process.h"
#include "site_fixture.h"

namespace kestrin::testing {

// The page's content, without the layout around it (header, columns and footer).
inline std::string contentOf(const std::string& body) {
  const std::string open = "<div class=\"content\">";
  size_t from = body.find(open);
  size_t to = body.find("</div></div>\n<div class=\"footer\">");
  if (from == std::string::npos || to == std::string::npos || to < from) return body;
  return body.substr(from + open.size(), to - from - open.size()) + "\n";
}

// `html` with the session's token in its forms written as TOKEN (it differs from run to run).
inline std::string withoutTokens(std::string html) {
  const std::string mark = "name=\"token\" value=\"";
  for (size_t at = html.find(mark); at != std::string::npos; at = html.find(mark, at)) {
    at += mark.size();
    html.replace(at, html.find('"', at) - at, "TOKEN");
  }
  return html;
}

struct LoggedOn {
  std::string cookie;
  std::string token;
};

// A fresh session of `shop` whose customer is `customerid` (as the log-on page leaves it).
inline LoggedOn customerSession(ShopProcess& shop, const SiteFixture& site,
                                const std::string& customerid) {
  HttpReply form = shop.get("/admin.asp");
  LoggedOn s{sessionCookie(form), tokenOf(form.body)};
  site.exec(Database::Main, "update shop_sessions set customerid='" + customerid + "', username='" +
                                customerid + "' where sessionid='" + s.cookie + "'");
  return s;
}

// A session logged on to the admin area.
inline LoggedOn adminSession(ShopProcess& shop) {
  HttpReply form = shop.get("/admin.asp");
  HttpReply on =
      shop.post("/admin.asp", "action=logon&password=tolvaro27&token=" + tokenOf(form.body),
                sessionCookie(form));
  LoggedOn s{sessionCookie(on), ""};
  s.token = tokenOf(shop.get("/admin.asp", s.cookie).body);
  return s;
}

}  // namespace kestrin::testing

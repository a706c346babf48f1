// The admin area: log-on with the site password (a session flag afterwards) and the menu of
// the admin pages that the engine's features offer.
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

std::string logonForm(const std::string& next, const std::string& message) {
  return heading("Administration") +
         (message.empty() ? "" : "<div class=\"error\">" + htmlEscape(message) + "</div>") +
         "<form action=\"admin.asp\" method=\"post\" class=\"panel\">"
         "<input type=\"hidden\" name=\"action\" value=\"logon\">"
         "<input type=\"hidden\" name=\"next\" value=\"" +
         htmlEscape(next) +
         "\"><p class=\"text\">Enter the site password to manage the shop.</p>"
         "<label class=\"text\">Site password: <input type=\"password\" name=\"password\" "
         "class=\"field\" autocomplete=\"current-password\"></label> "
         "<input type=\"submit\" class=\"button_orange\" value=\"Log on\"></form>";
}

std::string adminMenu() {
  std::string html = heading("Administration") + "<ul class=\"adminmenu\">";
  if (EngineCaller::has("setPrefMenu")) {
    html += "<li><a href=\"setPref.asp\">Site preferences</a></li>";
  }
  if (EngineCaller::has("OrderUpdateStatus")) {
    html += "<li><a href=\"admin_orders.asp\">Orders</a></li>";
  }
  html +=
      "</ul><form action=\"admin.asp\" method=\"post\">"
      "<input type=\"hidden\" name=\"action\" value=\"logoff\">"
      "<input type=\"submit\" class=\"ButtonG\" value=\"Log off the admin area\"></form>";
  return html;
}

HttpResponse adminPage(PageContext& ctx) {
  if (ctx.isPost() && ctx.value("action") == "logon") {
    if (!sameSecret(ctx.value("password"), ctx.shop.config().password)) {
      return ctx.page("Administration",
                      logonForm(ctx.value("next"), "That is not the site password."), 403);
    }
    ctx.ensureSession().admin = true;
    ctx.saveSession(true);
    return ctx.redirect(safeNext(ctx.value("next"), "admin.asp"));
  }
  if (ctx.isPost() && ctx.value("action") == "logoff") {
    if (ctx.isAdmin()) {
      ctx.ensureSession().admin = false;
      ctx.saveSession(true);
    }
    return ctx.redirect("admin.asp");
  }
  if (!ctx.isAdmin()) return ctx.page("Administration", logonForm(ctx.value("next"), ""));
  return ctx.page("Administration", adminMenu());
}

}  // namespace

void addAdminPages(Shop& shop) { shop.addPage("admin.asp", adminPage); }

}  // namespace kestrin::shop

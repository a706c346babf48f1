#include "layout.h"

#include "engine_call.h"
#include "text.h"

namespace kestrin::shop {

namespace {

const MainCategory kMainCategories[kMainCategoryCount] = {
    {"Systems", "7", "Systems"},         {"Storage", "6", "Storage"},
    {"Components", "5", "Components"},   {"Networking", "4", "Networking"},
    {"Peripherals", "3", "Peripherals"}, {"Software", "2", "Software"},
    {"Training", "1", "Training"},
};

// A colour from the preferences goes into a style sheet: only colour names and #hex pass.
std::string cssColor(const std::string& value, const char* fallback) {
  if (value.empty() || value.size() > 30) return fallback;
  for (char c : value) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '#') return fallback;
  }
  return value;
}

std::string cssFont(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == ',' || c == ' ' || c == '-') out += c;
  }
  return out.empty() ? std::string("verdana,arial") : out;
}

void appendIf(std::string& out, const std::string& value, const std::string& before) {
  if (!value.empty()) out += before + htmlEscape(value);
}

std::string searchBox(const LayoutInfo& info) {
  if (!EngineCaller::has("search")) return {};
  struct Choice {
    const char* value;
    const char* label;
  };
  const Choice choices[] = {{"keyword", "Keyword"}, {"manuf", "Part number"}, {"all", "All"}};
  std::string html =
      "<form class=\"searchbox\" action=\"search.asp\" method=\"get\">"
      "<input type=\"text\" name=\"keyword\" class=\"field\" size=\"24\" "
      "aria-label=\"Search text\" placeholder=\"Search the catalog\" value=\"" +
      htmlEscape(info.searchKeyword) + "\"> <select name=\"sType\" class=\"droplist\" " +
      "aria-label=\"Search by\">";
  for (const Choice& c : choices) {
    html += std::string("<option value=\"") + c.value + "\"" +
            (info.searchType == c.value ? " selected" : "") + ">" + c.label + "</option>";
  }
  html += "</select> <input type=\"submit\" class=\"button_orange\" value=\"Search\"></form>";
  return html;
}

std::string navigation(const LayoutInfo& info) {
  std::string nav = "<a href=\"default.asp\">Home</a>";
  if (EngineCaller::has("cartADD")) nav += " | <a href=\"cart.asp?action=display\">Cart</a>";
  if (EngineCaller::has("logon")) {
    if (info.customerName.empty()) {
      nav += " | <a href=\"logon.asp\">Log on</a> | <a href=\"register.asp\">Register</a>";
    } else {
      nav += " | <a href=\"account.asp\">" + htmlEscape(info.customerName) +
             "</a> | <a href=\"logoff.asp\">Log off</a>";
    }
  }
  nav += info.admin ? " | <a href=\"admin.asp\">Admin</a>" : "";
  return nav;
}

}  // namespace

const MainCategory* mainCategories() { return kMainCategories; }

const MainCategory* findMainCategory(const std::string& name) {
  for (const MainCategory& m : kMainCategories) {
    if (name == m.name) return &m;
  }
  return nullptr;
}

std::string renderLayout(const SiteLook& look, const LayoutInfo& info, const std::string& content) {
  std::string title = look.title.empty() ? look.company : look.title;
  if (title.empty()) title = "Shop";
  if (!info.pageTitle.empty()) title += " - " + info.pageTitle;

  std::string html;
  html.reserve(content.size() + look.manufacturerMenu.size() + 4096);
  html +=
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<title>" +
      htmlEscape(title) +
      "</title><link rel=\"stylesheet\" href=\"style.css\">"
      "<style>:root{--dark:" +
      cssColor(look.dark, "#3F658B") + ";--grp:" + cssColor(look.group, "#A9C2DA") +
      ";--cat:" + cssColor(look.category, "#E6EDF4") +
      ";--border:" + cssColor(look.border, "#666666") + ";--font:" + cssFont(look.font) +
      "}</style></head>\n<body>\n<div class=\"header\"><div class=\"brand\"><a "
      "href=\"default.asp\">" +
      htmlEscape(look.company.empty() ? title : look.company) + "</a>";
  appendIf(html, look.title, "<span class=\"tagline\">");
  if (!look.title.empty()) html += "</span>";
  html += "</div><div class=\"nav\">" + navigation(info) + "</div>" + searchBox(info) +
          "</div>\n<div class=\"main\"><div class=\"leftcol\">"
          "<table cellpadding=1 cellspacing=1 border=0 class=\"maincats\">"
          "<tr><td colspan=2 class=\"grp\">CATEGORIES</td></tr>";
  for (const MainCategory& m : kMainCategories) {
    html += std::string("<tr><td width=18><img src=\"images/bullet.gif\" border=0></td>") +
            "<td><a class=\"link\" href=\"c_1.asp?group=" + m.name + "\">" + m.title +
            "</a></td></tr>";
  }
  // The fragment and the menu are the bulk of the page: appended where they go, not copied
  // through a temporary first.
  html += "</table>";
  html += look.manufacturerMenu;
  html += "</div>\n<div class=\"content\">";
  html += content;
  html += "</div></div>\n<div class=\"footer\">";
  std::string company = htmlEscape(look.company);
  appendIf(company, look.address, company.empty() ? "" : " &middot; ");
  std::string place;
  appendIf(place, look.city, "");
  appendIf(place, look.state, place.empty() ? "" : ", ");
  appendIf(place, look.zip, place.empty() ? "" : " ");
  appendIf(place, look.country, place.empty() ? "" : ", ");
  if (!place.empty()) company += (company.empty() ? "" : " &middot; ") + place;
  html += "<div>" + company + "</div><div>";
  std::string contact;
  appendIf(contact, look.phone1, "Phone ");
  appendIf(contact, look.phone2, contact.empty() ? "Phone " : " / ");
  appendIf(contact, look.fax, contact.empty() ? "Fax " : " &middot; Fax ");
  if (!look.email.empty()) {
    contact += std::string(contact.empty() ? "" : " &middot; ") +
               "<a href=\"mailto:" + htmlEscape(look.email) + "\">" + htmlEscape(look.email) +
               "</a>";
  }
  if (EngineCaller::has("sendEmail")) {
    contact += std::string(contact.empty() ? "" : " &middot; ") +
               "<a href=\"contactus.asp\">Contact us</a>";
  }
  html += contact + "</div></div>\n</body></html>\n";
  return html;
}

std::string plainErrorPage(const std::string& heading, const std::string& message) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
         htmlEscape(heading) +
         "</title><link rel=\"stylesheet\" href=\"style.css\"></head><body class=\"plain\"><h1>" +
         htmlEscape(heading) + "</h1><p>" + htmlEscape(message) +
         "</p><p><a href=\"default.asp\">Back to the shop</a></p></body></html>\n";
}

}  // namespace kestrin::shop

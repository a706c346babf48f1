// pView.asp: the shop's content pages (table pages, with their categories and groups), reached
// from the keyword search's links (action=viewPDetails&pageId=N). Without a page id it lists
// every content page by category. A page's text is the shop owner's HTML and is written as
// stored; titles, descriptions and names are escaped.
#include <algorithm>
#include <map>

#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

struct ContentPage {
  std::string id, title, descr, details, category, group;
};

ContentPage readPage(const db::Recordset& rs) {
  return {trim(rs.field("pageId").text()), trim(rs.field("pTitle").text()),
          trim(rs.field("pDescr").text()), rs.field("pDetails").text(),
          trim(rs.field("pCat").text()),   trim(rs.field("pGrp").text())};
}

std::string nameOf(db::Connection& conn, const std::string& sql, const char* column) {
  db::Recordset rs = conn.execute(sql);
  return rs.eof() ? std::string() : trim(rs.field(column).text());
}

std::string pageLink(const ContentPage& p) {
  return "<a href=\"pView.asp?action=viewPDetails&amp;pageId=" + urlEncode(p.id) + "\">" +
         htmlEscape(p.title) + "</a>";
}

// Every content page, by category name (pages without a category last).
HttpResponse pageIndex(PageContext& ctx, db::Connection& conn) {
  std::map<std::string, std::vector<ContentPage>> byCategory;
  std::map<std::string, std::string> names;
  db::Recordset rs = conn.execute("select * from pages order by pTitle");
  for (; !rs.eof(); rs.moveNext()) {
    ContentPage p = readPage(rs);
    byCategory[p.category].push_back(std::move(p));
  }
  rs.close();
  std::string html = heading("Information");
  if (byCategory.empty()) {
    return ctx.page("Information", html + "<p class=\"text\">There are no pages yet.</p>");
  }
  std::vector<std::pair<std::string, std::string>> order;  // name, code
  for (const auto& [code, pages] : byCategory) {
    std::string name =
        code.empty()
            ? std::string()
            : nameOf(conn, "SELECT pCatName FROM pagesCat WHERE pCat='" + sqlEscape(code) + "'",
                     "pCatName");
    order.emplace_back(name.empty() ? "\x7fOther" : name, code);
  }
  std::sort(order.begin(), order.end());
  for (const auto& [name, code] : order) {
    html += "<h2>" + htmlEscape(name.starts_with('\x7f') ? name.substr(1) : name) +
            "</h2><ul class=\"pages\">";
    for (const ContentPage& p : byCategory[code]) {
      html += "<li>" + pageLink(p) +
              (p.descr.empty() ? "" : " <span class=\"stext\">" + htmlEscape(p.descr) + "</span>") +
              "</li>";
    }
    html += "</ul>";
  }
  return ctx.page("Information", html);
}

HttpResponse contentPage(PageContext& ctx) {
  std::string id = ctx.value("pageId");
  bool digits = !id.empty() && id.size() <= 9;
  for (char c : id) digits = digits && std::isdigit(static_cast<unsigned char>(c));
  if (!id.empty() && !digits) throw BadValue("pageId", id, "a page id is a number");

  db::Connection conn;
  conn.open(ctx.shop.mainConnection());
  if (id.empty()) return pageIndex(ctx, conn);

  db::Recordset rs = conn.execute("select * from pages where pageId=" + id);
  if (rs.eof()) {
    return ctx.page("Page not found",
                    heading("Page not found") +
                        "<div class=\"error\">This page does not exist (any more).</div>"
                        "<p><a href=\"pView.asp\">All information pages</a></p>",
                    404);
  }
  ContentPage page = readPage(rs);
  rs.close();
  // The names come from the tables; the link's own pCatName and pGrpName are not trusted.
  std::string category =
      page.category.empty()
          ? std::string()
          : nameOf(conn,
                   "SELECT pCatName FROM pagesCat WHERE pCat='" + sqlEscape(page.category) + "'",
                   "pCatName");
  std::string group =
      page.group.empty()
          ? std::string()
          : nameOf(conn, "SELECT pgrpname FROM pagesGrp WHERE pGrp='" + sqlEscape(page.group) + "'",
                   "pgrpname");
  std::string trail = "<a href=\"pView.asp\">Information</a>";
  if (!category.empty()) trail += " &rsaquo; " + htmlEscape(category);
  if (!group.empty()) trail += " &rsaquo; " + htmlEscape(group);

  std::string related;
  if (!page.category.empty()) {
    db::Recordset others = conn.execute("select * from pages where pCat='" +
                                        sqlEscape(page.category) + "' order by pTitle");
    for (; !others.eof(); others.moveNext()) {
      ContentPage p = readPage(others);
      if (p.id != page.id) related += "<li>" + pageLink(p) + "</li>";
    }
  }
  std::string html =
      "<p class=\"stext trail\">" + trail + "</p>" + heading(page.title) +
      (page.descr.empty() ? "" : "<p class=\"stext\">" + htmlEscape(page.descr) + "</p>") +
      "<div class=\"pagetext\">" + page.details + "</div>";
  if (!related.empty()) {
    html += "<h2>More " + htmlEscape(category.empty() ? "pages" : "in " + category) +
            "</h2><ul class=\"pages\">" + related + "</ul>";
  }
  return ctx.page(page.title, html);
}

}  // namespace

void addContentPages(Shop& shop) { shop.addPage("pView.asp", contentPage); }

}  // namespace kestrin::shop

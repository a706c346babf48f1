// The catalog's pages: home, main categories, groups, categories, listings, manufacturers.
#include "kestrin/error.h"
#include "layout.h"
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

HttpResponse home(PageContext& ctx) {
  const SiteLook& look = ctx.look();
  std::string html =
      "<div class=\"welcome\">" +
      heading("Welcome to " + (look.company.empty() ? std::string("our shop") : look.company)) +
      "<p class=\"text\">Browse the catalog by category or by manufacturer, "
      "or search it by keyword or part number.</p></div><div class=\"maingrid\">";
  for (int i = 0; i < kMainCategoryCount; ++i) {
    const MainCategory& m = mainCategories()[i];
    html += "<div class=\"maincell\">" +
            fragment(ctx, ctx.keptText("displayGRP", {{"group", m.name}})) + "</div>";
  }
  html += "</div>";
  return ctx.page("", html);
}

HttpResponse mainCategory(PageContext& ctx) {
  std::string group = ctx.value("group");
  const MainCategory* m = findMainCategory(group);
  if (!m) {
    return ctx.page(
        "Not found",
        "<div class=\"error\">There is no main category \"" + htmlEscape(group) + "\".</div>", 404);
  }
  return ctx.page(m->title, fragment(ctx, ctx.keptText("displayGRP", {{"group", m->name}})));
}

HttpResponse groupPage(PageContext& ctx) {
  std::string html = ctx.keptText("displayCat", {{"strGRP", catalogCode(ctx, "group")},
                                                 {"strImage", linkValue(ctx, "image")},
                                                 {"strCustDb", ctx.value("featured")}});
  return ctx.page("Categories", fragment(ctx, html));
}

HttpResponse categoryPage(PageContext& ctx) {
  std::string html = ctx.keptText("displaySub", {{"grp", catalogCode(ctx, "group")},
                                                 {"cat", catalogCode(ctx, "category")},
                                                 {"strImage", linkValue(ctx, "image")},
                                                 {"strCustDb", ctx.value("featured")}});
  return ctx.page("Subcategories", fragment(ctx, html));
}

HttpResponse listingPage(PageContext& ctx) {
  std::string html = ctx.keptText("displayItems", {{"grp", catalogCode(ctx, "group")},
                                                   {"cat", catalogCode(ctx, "category")},
                                                   {"subcat", catalogCode(ctx, "subcategory")},
                                                   {"strImage", linkValue(ctx, "image")},
                                                   {"page", ctx.value("page")},
                                                   {"strKey", ctx.value("key")},
                                                   {"strFilter", ctx.value("filter")},
                                                   {"strStype", ctx.value("stype")},
                                                   {"customerid", ctx.customerId()},
                                                   {"strCustDb", ctx.value("featured")},
                                                   {"FeaturedPage", ctx.value("featuredpage")}});
  return ctx.page("Products", fragment(ctx, html));
}

HttpResponse manufacturerPage(PageContext& ctx) {
  std::string html;
  try {
    html = ctx.keptText("displayManuf", {{"vendcode", catalogCode(ctx, "manufacturer")},
                                         {"page", ctx.value("page")},
                                         {"grp", catalogCode(ctx, "group")},
                                         {"cat", catalogCode(ctx, "category")},
                                         {"subcat", catalogCode(ctx, "subcategory")},
                                         {"customerid", ctx.customerId()},
                                         {"strCustDb", ctx.value("featured")},
                                         {"FeaturedPage", ctx.value("featuredpage")}});
  } catch (const Error& e) {
    // The engine reads the manufacturer's name first; no row means no such manufacturer.
    if (e.number() != kErrNoCurrentRecord) throw;
    return ctx.page("Not found",
                    "<div class=\"error\">There is no manufacturer \"" +
                        htmlEscape(ctx.value("manufacturer")) + "\".</div>",
                    404);
  }
  return ctx.page("Manufacturer", fragment(ctx, html));
}

// The picture window the listings open: the picture alone, large.
HttpResponse picturePage(PageContext& ctx) {
  std::string name = ctx.value("picture");
  bool ok = !name.empty() && name.size() <= 100 && name.find("..") == std::string::npos;
  for (char c : name) {
    ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.');
  }
  if (!ok) throw BadValue("picture", name, "no picture has a name like this");
  HttpResponse r = HttpResponse::html(
      200, "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + name +
               "</title><link rel=\"stylesheet\" href=\"style.css\"></head>"
               "<body class=\"picture\"><img src=\"images/special/" +
               name + "\" alt=\"" + name +
               "\"><p><a href=\"#\" onclick=\"window.close(); return false\">Close</a></p>"
               "</body></html>\n");
  return r;
}

}  // namespace

void addCatalogPages(Shop& shop) {
  shop.addPage("viewpicture.asp", picturePage);
  shop.addPage("default.asp", home);
  shop.addPage("c_1.asp", mainCategory);
  shop.addPage("c_2.asp", groupPage);
  shop.addPage("c_3.asp", categoryPage);
  shop.addPage("c_4b.asp", listingPage);
  shop.addPage("c_4manu.asp", manufacturerPage);
}

}  // namespace kestrin::shop

// The search pages: search.asp (the keyword search's groups, one group's matches, the one-step
// legacy listing and its page links) and newsearch.asp (the guided search with its filter form).
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

// The select lists of the guided search's filter form, by the handler each calls on change.
constexpr const char* kFilterScript =
    "<script>\n"
    "function kestrinGo(list) {\n"
    "  var s = document.forms['form'].elements[list];\n"
    "  if (s && s.selectedIndex >= 0) window.location = s.options[s.selectedIndex].value;\n"
    "}\n"
    "function formHandler() { kestrinGo('site1'); }\n"
    "function formHandlerIII() { kestrinGo('site3'); }\n"
    "function formHandlerIV() { kestrinGo('site4'); }\n"
    "function formHandlerV() { kestrinGo('site5'); }\n"
    "function formHandlerVI() { kestrinGo('site6'); }\n"
    "function formHandlerVII() { kestrinGo('site7'); }\n"
    "</script>\n";

// The search type: one of the three the engine knows, else a keyword search.
std::string searchType(PageContext& ctx) {
  std::string t = ctx.value("sType");
  return t == "manuf" || t == "all" || t == "keyword" ? t : std::string("keyword");
}

std::string searchHeading(const std::string& keyword, const std::string& type) {
  const char* by = type == "manuf" ? "part number"
                   : type == "all" ? "part number or words"
                                   : "words";
  return "<h1>Search results for \"" + htmlEscape(keyword) +
         "\"</h1><p class=\"stext\">Searched by " + by + ".</p>";
}

HttpResponse searchPage(PageContext& ctx) {
  std::string keyword = ctx.value("keyword");
  std::string type = searchType(ctx);
  std::string action = ctx.value("action");
  if (trim(keyword).empty() && action != "viewitems") {
    return ctx.page("Search",
                    "<h1>Search</h1><p class=\"text\">Type a word or a part number into "
                    "the search box above.</p>");
  }
  eCat cat;
  std::string html;
  if (action == "viewitems") {
    // One group's matching products, and its page links.
    html = ctx.shop.engine().text(cat, "searchII",
                                  {{"keyword", keyword},
                                   {"sType", type},
                                   {"grp", catalogCode(ctx, "grp")},
                                   {"page", ctx.value("page")},
                                   {"strIP", ctx.request.remoteAddress},
                                   {"customerid", ctx.customerId()},
                                   {"FeaturedPage", ctx.value("featuredpage")}});
  } else if (action == "list" || (action.empty() && !ctx.value("page").empty())) {
    // The one-step listing, and the page links it writes.
    html = ctx.shop.engine().text(cat, "search_old",
                                  {{"keyword", keyword},
                                   {"sType", type},
                                   {"page", ctx.value("page")},
                                   {"strIP", ctx.request.remoteAddress},
                                   {"customerid", ctx.customerId()}});
  } else {
    html = ctx.shop.engine().text(cat, "search",
                                  {{"keyword", keyword},
                                   {"sType", type},
                                   {"strIP", ctx.request.remoteAddress},
                                   {"customerid", ctx.customerId()}}) +
           "<p class=\"stext\"><a href=\"search.asp?action=list&amp;keyword=" + urlEncode(keyword) +
           "&amp;sType=" + type + "\">All matching products in one list</a></p>";
  }
  return ctx.page("Search", searchHeading(keyword, type) + fragment(ctx, html));
}

HttpResponse guidedSearchPage(PageContext& ctx) {
  eCat cat;
  std::string action = ctx.value("action");
  if (action == "searchII") {
    std::string orderby = ctx.value("orderby");
    if (orderby != "descr" && orderby != "vend_code" && orderby != "cost") orderby.clear();
    std::string html = ctx.shop.engine().text(cat, "SmartSearch",
                                              {{"action", "search"},
                                               {"grp", catalogCode(ctx, "grp")},
                                               {"cat", catalogCode(ctx, "cat")},
                                               {"subcat", catalogCode(ctx, "sub")},
                                               {"manuf", catalogCode(ctx, "manuf")},
                                               {"prodline", ctx.value("prodline")},
                                               {"orderby", orderby},
                                               {"page", ctx.value("page")},
                                               {"customerid", ctx.customerId()},
                                               {"strCustDb", ctx.value("featured")},
                                               {"FeaturedPage", ctx.value("featuredpage")}});
    return ctx.page("Product finder", kFilterScript + fragment(ctx, html));
  }
  // "display": the groups of one main category, in the table the fragment expects.
  std::string main = ctx.value("pGroup");
  if (main.empty()) main = "Computers";
  std::string rows =
      ctx.shop.engine().text(cat, "SmartSearch", {{"action", "display"}, {"pGroup", main}});
  return ctx.page("Product finder", heading("Product finder: " + main) +
                                        "<table cellpadding=1 cellspacing=1 border=0>" +
                                        fragment(ctx, rows) + "</table>");
}

}  // namespace

void addSearchPages(Shop& shop) {
  if (EngineCaller::has("search")) shop.addPage("search.asp", searchPage);
  if (EngineCaller::has("SmartSearch")) shop.addPage("newsearch.asp", guidedSearchPage);
}

}  // namespace kestrin::shop

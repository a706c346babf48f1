// The item listing of a category or subcategory, and the manufacturer menu and listing.
#include "error_modes.h"
#include "filters.h"
#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

namespace {

const char* const kItemListingHead =
    "SELECT products.grp as grp,products.descr as p_descr, products.manu_part as p_manu_part, "
    "products.part_num as p_part_num, products.qty as p_qty, products.cost as p_cost, "
    "products.status as "
    "p_status, manuf.vend_name as m_name FROM products,manuf WHERE (products.cat='";

// Page links of a listing: P + page + tail + featured page + "\">", with the 16-bit sums that
// overflow at the ends of the range.
struct PageLinks {
  std::string next, prev, featuredNext, featuredPrev;
};

PageLinks pageLinks(const std::string& head, const std::string& middle, I2 page, I2 featuredPage) {
  auto link = [&](I2 p, I2 f) { return head + p.text() + middle + f.text() + "\">"; };
  PageLinks links;
  links.next = link(page + 1, featuredPage);
  links.prev = link(page - 1, featuredPage);
  links.featuredNext = link(page, featuredPage + 1);
  links.featuredPrev = link(page, featuredPage - 1);
  return links;
}

}  // namespace

std::string eCat::displayItems(const std::string& grp, const std::string& cat,
                               const std::string& subcat, const std::string& strImage, I2 page,
                               const std::string& strKey, const std::string& strFilter,
                               const std::string& strStype, const std::string& customerid,
                               bool strCustDb, I2 FeaturedPage, const std::string& siteID,
                               const std::string& sitePassword) {
  const std::string group = grp, category = cat, subcategory = subcat, image = strImage,
                    key = strKey;
  const std::string filter = strFilter, stype = strStype, customer = customerid;
  const char* flag = flagText(strCustDb);
  opendb(true, siteID, sitePassword);

  const std::string clause = fullFilterClause(conn, rsfilters, sql);
  // The condition closes with ") ORDER BY" directly only in a subcategory listing without filter
  // rows; the search key narrows that statement alone, inserted before its closing parenthesis.
  std::string condition = std::string(kItemListingHead) + sqlEscape(category) +
                          "' and products.grp='" + sqlEscape(group) + "'";
  if (!subcategory.empty()) condition += " and products.sub='" + sqlEscape(subcategory) + "'";
  condition += " and products.vend_code=manuf.vend_code";
  if (filter == "yes" && !subcategory.empty() && clause.empty()) {
    condition += (stype == "psearch" ? " and products.manu_part like '%' + '"
                                     : " and products.descr like '%' + '") +
                 sqlEscape(key) + "' + '%' ";
  }
  const std::string listing = condition + (subcategory.empty() ? ") " : ")") + clause +
                              " ORDER BY products.vend_code,products.cost";

  sql = "kx_grpdescr '" + sqlEscape(group) + "'";
  rstemp = conn.executeCached(sql);
  const std::string groupName = rstemp.eof() ? "" : rstemp.field("descr").text();
  strR = "<b><a href=\"c_2.asp?image=" + htmlEscape(image) + "&group=" + htmlEscape(group) + "\">" +
         trim(groupName) + "</a>: ";
  sql = "kx_catdescr '" + sqlEscape(group) + "','" + sqlEscape(category) + "'";
  rstemp = conn.executeCached(sql);
  const std::string categoryName = rstemp.eof() ? groupName : trim(rstemp.field("descr").text());
  strR += "<a href=\"c_3.asp?image=" + htmlEscape(image) + "&group=" + htmlEscape(group) +
          "&category=" + htmlEscape(category) + "\">" + categoryName + "</a>: ";
  sql = "kx_subdescr '" + sqlEscape(group) + "','" + sqlEscape(category) + "','" +
        sqlEscape(subcategory) + "'";
  rstemp = conn.executeCached(sql);
  if (!rstemp.eof()) strR += trim(rstemp.field("descr").text());
  strR += "</b><br>";

  iPageSize = 15;
  iPageCurrent = page.value() == 0 ? I2(1) : page;
  const I2 featuredPage = FeaturedPage.value() == 0 ? I2(1) : FeaturedPage;
  const std::string head =
      "<a href=\"c_4b.asp?group=" + htmlEscape(group) + "&category=" + htmlEscape(category) +
      "&subcategory=" + htmlEscape(subcategory) + "&image=" + htmlEscape(image) +
      "&stype=" + htmlEscape(stype) + "&filter=" + htmlEscape(filter) + "&page=";
  const PageLinks links = pageLinks(
      head, "&key=" + htmlEscape(key) + "&featured=" + flag + "&featuredpage=", iPageCurrent,
      featuredPage);

  if (optTDdata == "yes") {
    displayFeatured("category", categoryName, "displayItems", customer, FeaturedPage,
                    links.featuredPrev, links.featuredNext);
  }
  sql = listing;
  displayResults(links.next, links.prev, "", customer, optTDdata != "yes" ? strCustDb : false);
  closedb();
  return endCheck(EndCheckForm::Listing, strR);
}

std::string eCat::displayManufList(const std::string& strFrom, const std::string& strVendcode,
                                   const std::string& siteID, const std::string& sitePassword) {
  const std::string from = strFrom, prefix = strVendcode;
  opendb(true, siteID, sitePassword);
  const std::string clause =
      filterClause(conn, rsfilters, sql, FilterKind::MANUF, menuFilterTerm(FilterKind::MANUF));
  rsfilters = db::Recordset();

  const bool custom = from == "customVendor";
  const std::string menu =
      custom ? "select distinct vend_name,vend_code from manuf where vend_code like '" +
                   sqlEscape(prefix) + "%'" + clause
             : "SELECT distinct manuf.vend_name as vend_name,manuf.vend_code as vend_code FROM "
               "manuf,products where "
               "(products.vend_code=manuf.vend_code and products.status <> '4' and products.status "
               "<> '5' and "
               "products.status <> '9' and descr not like 'AE %' and descr not like '% AE' and "
               "descr not like "
               "'NFR %' and descr not like '% NFR')" +
                   clause + " order by manuf.vend_name";

  strR += "<table cellpadding=1 cellspacing=1 border=0>";
  if (optTDdata == "yes" && !custom) {
    sql = menu;
    rs = conn.executeCached(sql);
    if (!rs.eof()) strR += "<tr><td class=\"grp\" colspan=2>Specials</td></tr>";
    for (; !rs.eof(); rs.moveNext()) {
      const std::string code = rs.field("vend_code").text();
      sql = "select vend_code from manuf where vend_code='" + sqlEscape(code) + "'";
      if (!connTD.executeCached(sql).eof()) continue;
      strR +=
          "<tr><td width=18><img src=\"images/bullet.gif\"></td><td><a class=\"link\" "
          "href=\"c_4manu.asp?featured=true&manufacturer=" +
          code + "\"> " + trim(rs.field("vend_name").text()) + "</a></td></tr>";
    }
  }
  sql = menu;
  rs = (optTDdata != "yes" ? conn : connTD).executeCached(sql);
  strR += "<tr><td colspan=2 class=\"grp\" width=18 nowrap>All&nbsp;MANUFACTURERS</td></tr>";
  for (; !rs.eof(); rs.moveNext()) {
    strR +=
        "<tr><td><img src=\"images/bullet.gif\" width=18></td><td><a class=\"link\" "
        "href=\"c_4manu.asp?manufacturer=" +
        rs.field("vend_code").text() + "\"> " + trim(rs.field("vend_name").text()) +
        "</a></td></tr>";
  }
  strR += "</table>";
  closedb();
  return strR;
}

Variant eCat::displayManuf(const std::string& vendcode, I2 page, const std::string& grp,
                           const std::string& cat, const std::string& subcat,
                           const std::string& customerid, bool strCustDb, I2 FeaturedPage,
                           const std::string& siteID, const std::string& sitePassword) {
  const std::string vendor = vendcode, group = grp, category = cat, subcategory = subcat,
                    customer = customerid;
  const char* flag = flagText(strCustDb);
  opendb(true, siteID, sitePassword);

  sql = "select vend_name from manuf where vend_code='" + sqlEscape(vendor) + "'";
  rstemp = catalogConn(strCustDb).executeCached(sql);
  const std::string name = trim(rstemp.field("vend_name").text());  // no row: the call fails
  strR = "<font class=\"text\" ><b>" + name + "</b><br>";

  const std::string clause = fullFilterClause(conn, rsfilters, sql);
  std::string listing =
      "SELECT products.grp as grp,products.descr as p_descr, products.part_num as p_part_num, "
      "products.manu_part "
      "as p_manu_part, products.qty as p_qty, products.cost as p_cost, products.status as p_status "
      "FROM products "
      "WHERE (products.vend_code ='" +
      sqlEscape(vendor) + "'";
  if (!group.empty()) listing += " and grp='" + sqlEscape(group) + "'";
  if (!category.empty()) listing += " and cat='" + sqlEscape(category) + "'";
  if (!subcategory.empty()) listing += " and sub='" + sqlEscape(subcategory) + "'";
  listing += " )" + clause + " ORDER BY cost";

  iPageSize = 15;
  iPageCurrent = page.value() == 0 ? I2(1) : page;
  const I2 featuredPage = FeaturedPage.value() == 0 ? I2(1) : FeaturedPage;
  const PageLinks links =
      pageLinks("<a href=\"c_4manu.asp?manufacturer=" + htmlEscape(vendor) + "&page=",
                std::string("&steps=display&featured=") + flag + "&featuredpage=", iPageCurrent,
                featuredPage);

  if (optTDdata == "yes") {
    displayFeatured("manuf", name, "manuf", customer, FeaturedPage, links.featuredPrev,
                    links.featuredNext);
  }
  sql = listing;
  displayResults(links.next, links.prev, "manuf", customer, optTDdata != "yes");
  closedb();
  return Variant(strR);
}

}  // namespace kestrin

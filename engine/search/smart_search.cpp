// The guided search: the groups of a main category, and a listing narrowed by the filter form's
// choices (group, vendor, category, subcategory, item line) in the chosen order.
#include <array>

#include "catalog/filters.h"
#include "error_modes.h"
#include "kestrin/ecat.h"
#include "search_statements.h"
#include "text.h"

namespace kestrin {

namespace {

struct MainCategory {
  const char* name;
  const char* code;
};

constexpr std::array<MainCategory, 7> kMainCategories = {{
    {"Computers", "c"},
    {"Components", "m"},
    {"Networking", "n"},
    {"Peripherals", "p"},
    {"Drives/Storage", "d"},
    {"Software", "s"},
    {"Training", "t"},
}};

std::string mainCategoryCode(const std::string& name) {
  for (const MainCategory& m : kMainCategories) {
    if (name == m.name) return m.code;
  }
  return "";
}

const char* const kSmartListingHead =
    "SELECT products.grp as grp,products.descr as p_descr, products.manu_part as p_manu_part, "
    "products.part_num as p_part_num, products.qty as p_qty, products.cost as p_cost, "
    "products.status as p_status, manuf.vend_name as m_name FROM products,manuf WHERE "
    "(products.vend_code=manuf.vend_code and products.descr <> '' ";

}  // namespace

std::string eCat::SmartSearch(const std::string& action, const std::string& pGroup,
                              const std::string& grp, const std::string& cat,
                              const std::string& subcat, const std::string& manuf,
                              const std::string& prodline, const std::string& orderby, I2 page,
                              const std::string& customerid, bool strCustDb, I2 FeaturedPage,
                              const std::string& siteID, const std::string& sitePassword) {
  const std::string act = action, mainName = pGroup, group = grp, category = cat,
                    subcategory = subcat, vendor = manuf, line = prodline, order = orderby,
                    customer = customerid;
  opendb(true, siteID, sitePassword);
  db::Connection& catalog = catalogConn(strCustDb);

  if (act == "display") {
    const std::string clause =
        filterClause(conn, rsfilters, sql, FilterKind::GRP,
                     [](const auto& p) { return " and comgrp.grp <> '" + p[0] + "'"; });
    sql = "select item,descr from maincat,comgrp where maincat='" +
          sqlEscape(mainCategoryCode(mainName)) + "' and maincat.item=comgrp.grp" + clause;
    for (rs = catalog.execute(sql); !rs.eof(); rs.moveNext()) {
      strR +=
          "<tr><td><img src=\"images/bullet.gif\"></td><td><a class=\"link\" "
          "href=\"newsearch.asp?action=searchII&amp;grp=" +
          rs.field("item").text() + "\">" + trim(rs.field("descr").text()) + "</a></td></tr>";
    }
  } else if (act == "search") {
    sql = "kx_grpdescr '" + sqlEscape(group) + "'";
    rstemp = catalog.execute(sql);
    if (!rstemp.eof())
      strR += "<font color=\"navy\"><b>" + trim(rstemp.field("descr").text()) + "</b></font><br>";

    ViewFilters(group, category, subcategory, vendor, line, order, strCustDb);
    if (rs.isOpen()) rs.close();

    const std::string clause = fullFilterClause(conn, rsfilters, sql);
    std::string listing = kSmartListingHead;
    if (!group.empty()) listing += "and products.grp='" + sqlEscape(group) + "' ";
    if (!vendor.empty()) listing += "and products.vend_code='" + sqlEscape(vendor) + "' ";
    if (!category.empty()) listing += "and products.cat='" + sqlEscape(category) + "' ";
    if (!subcategory.empty()) listing += "and products.sub='" + sqlEscape(subcategory) + "' ";
    if (!line.empty()) listing += "and products.descr like '" + sqlEscape(line) + "%' ";
    // The sort column is placed without quotes: only the columns the form offers are used.
    listing += ")" + clause + " ORDER BY " + search::sortColumn(order);
    sql = listing;

    iPageSize = 15;
    iPageCurrent = page.value() == 0 ? I2(1) : page;
    const I2 featuredPage = FeaturedPage.value() == 0 ? I2(1) : FeaturedPage;
    const std::string head = "<a href=\"newsearch.asp?manuf=" + htmlEscape(vendor) +
                             "&amp;sub=" + htmlEscape(subcategory) +
                             "&amp;cat=" + htmlEscape(category) + "&amp;page=";
    const std::string middle = "&amp;action=searchII&amp;grp=" + htmlEscape(group) +
                               "&amp;orderby=" + htmlEscape(search::sortLinkValue(order)) +
                               "&amp;prodline=" + htmlEscape(line) +
                               "&featured=" + flagText(strCustDb) + "&featuredpage=";
    auto link = [&](I2 p, I2 f) { return head + p.text() + middle + f.text() + "\">"; };
    const std::string prevLink = link(iPageCurrent - 1, featuredPage);
    const std::string nextLink = link(iPageCurrent + 1, featuredPage);
    const std::string featuredPrev = link(iPageCurrent, featuredPage - 1);
    const std::string featuredNext = link(iPageCurrent, featuredPage + 1);

    // The featured table reads the same selection from the shop's own catalog.
    if (optTDdata == "yes") {
      displayFeaturedTable(featuredNext, featuredPrev, FeaturedPage, "", customer, true, listing);
    }
    sql = listing;
    displayResults(nextLink, prevLink, "smartsearch", customer,
                   optTDdata != "yes" ? strCustDb : false);
  }
  closedb();
  EndCheckParts parts;
  parts.sql = sql;
  return endCheck(EndCheckForm::SmartSearch, strR, parts);
}

}  // namespace kestrin

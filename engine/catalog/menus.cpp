// The navigation menus: groups of a main category, categories of a group, subcategories of a
// category, each with the site's filters applied.
#include <array>

#include "filters.h"
#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

namespace {

struct MainCategory {
  const char* name;
  const char* letter;
  const char* image;
  const char* heading;
};

constexpr std::array<MainCategory, 7> kMainCategories = {{
    {"Systems", "c", "7", "SYSTEMS"},
    {"Storage", "d", "6", "STORAGE"},
    {"Components", "m", "5", "COMPONENTS"},
    {"Networking", "n", "4", "NETWORKING"},
    {"Peripherals", "p", "3", "PERIPHERALS"},
    {"Software", "s", "2", "SOFTWARE"},
    {"Training", "t", "1", "TRAINING"},
}};

const char* const kTrainingGroup = "E1";

}  // namespace

std::string eCat::displayGRP(const std::string& group, const std::string& siteID,
                             const std::string& sitePassword) {
  const MainCategory* main = nullptr;
  for (const MainCategory& m : kMainCategories) {
    if (group == m.name) main = &m;
  }
  if (main && std::string(main->letter) == "t")
    return displayCat(kTrainingGroup, main->image, false, siteID, sitePassword);
  const std::string letter = main ? main->letter : "";
  const std::string image = main ? main->image : "";

  opendb(true, siteID, sitePassword);
  const std::string clause =
      filterClause(conn, rsfilters, sql, FilterKind::GRP, menuFilterTerm(FilterKind::GRP));

  db::Connection& catalog = optTDdata != "yes" ? conn : connTD;
  sql = "select item from maincat where maincat='" + sqlEscape(letter) + "'";
  rstemp = catalog.executeCached(sql);
  std::string condition;
  for (; !rstemp.eof(); rstemp.moveNext()) {
    condition +=
        (condition.empty() ? "grp='" : " or grp='") + sqlEscape(rstemp.field("item").text()) + "'";
  }

  // A main category without groups gives the condition "()", which the database rejects.
  sql = "SELECT descr,grp FROM comgrp WHERE (" + condition + ")" + clause + " order by descr";
  rs = catalog.executeCached(sql);
  strR = "<table cellpadding=1 cellspacing=1 border=0><tr><td colspan=2 class=\"grp\">";
  if (main) strR += main->heading;
  strR += "</td></tr>";
  for (; !rs.eof(); rs.moveNext()) {
    strR += "<tr><td width=18><img src=\"images/bullet.gif\" border=0></td>";
    strR += "<td><a class=\"link\" href=\"c_2.asp?image=" + image +
            "&amp;group=" + rs.field("grp").text() + "\">" + rs.field("descr").text() + "</a></td>";
    strR += "</tr>";
  }
  strR += "</table>";
  closedb();
  return strR;
}

std::string eCat::displayCat(const std::string& strGRP, const std::string& strImage, bool strCustDb,
                             const std::string& siteID, const std::string& sitePassword) {
  const std::string group = strGRP;
  const std::string image = htmlEscape(strImage);
  const std::string flag = flagText(strCustDb);
  opendb(true, siteID, sitePassword);
  const std::string clause =
      filterClause(conn, rsfilters, sql, FilterKind::GRPCAT, menuFilterTerm(FilterKind::GRPCAT));

  db::Connection& catalog = catalogConn(strCustDb);
  sql = "select * from comcat where grp='" + sqlEscape(group) + "' " + clause;
  rs = catalog.executeCached(sql);
  if (rs.eof()) return "There's no item available in the item group.";

  sql = "kx_grpdescr '" + sqlEscape(group) + "'";
  rstemp = catalog.executeCached(sql);
  strR += "<table cellpadding=1 cellspacing=1 border=0><tr>";
  strR += "<td colspan=2 class=\"grp\">&nbsp;" + trim(rstemp.field("descr").text());
  strR += "</td></tr>";
  for (; !rs.eof(); rs.moveNext()) {
    const std::string cat = trim(rs.field("cat").text());
    const std::string descr = trim(rs.field("descr").text());
    sql = "select sub from comsub where grp='" + sqlEscape(group) + "' and cat='" + sqlEscape(cat) +
          "'";
    db::Recordset subs = catalog.executeCached(sql);
    const char* page = subs.eof() ? "c_4b.asp" : "c_3.asp";
    strR +=
        "<tr><td width=18><img src=\"images/bullet.gif\" border=0></td><td><a class=\"link\" "
        "href=\"" +
        std::string(page) + "?image=" + image + "&category=" + cat + "&group=" + htmlEscape(group) +
        "&featured=" + flag + "\">" + descr + "</a></td></tr>";
  }
  strR += "</table>";
  closedb();
  return strR;
}

std::string eCat::displaySub(const std::string& grp, const std::string& cat,
                             const std::string& strImage, bool strCustDb, const std::string& siteID,
                             const std::string& sitePassword) {
  const std::string group = grp;
  const std::string category = cat;
  const std::string image = htmlEscape(strImage);
  const std::string flag = flagText(strCustDb);
  opendb(true, siteID, sitePassword);
  const std::string clause = filterClause(conn, rsfilters, sql, FilterKind::GRPCATSUB,
                                          menuFilterTerm(FilterKind::GRPCATSUB));

  db::Connection& catalog = catalogConn(strCustDb);
  sql = "select * from comsub where grp='" + sqlEscape(group) + "' and cat='" +
        sqlEscape(category) + "' " + clause;
  rs = catalog.executeCached(sql);
  if (rs.eof()) {
    return "<div align=\"center\" class=\"error\">There's no item available in this item "
           "category.</div>";
  }

  sql = "kx_grpdescr '" + sqlEscape(group) + "'";
  rstemp = catalog.executeCached(sql);
  const std::string groupName = trim(rstemp.field("descr").text());
  sql = "kx_catdescr '" + sqlEscape(group) + "','" + sqlEscape(category) + "'";
  rstemp = catalog.executeCached(sql);
  const std::string categoryName = trim(rstemp.field("descr").text());

  strR += "<table cellpadding=1 cellspacing=1 border=0>";
  strR += "<tr><td class=\"grp\" colspan=\"2\"><a class=\"grp\" href=\"c_2.asp?featured=" + flag +
          "&group=" + htmlEscape(group) + "&image=" + image + "\">" + groupName +
          "</a>&nbsp;>&nbsp;";
  strR += categoryName;
  strR += "</td></tr>";
  for (; !rs.eof(); rs.moveNext()) {
    strR +=
        "<tr><td><img src=\"images/bullet.gif\"></td><td width=\"95%\"><a class=\"link\" "
        "href=\"c_4b.asp?featured=" +
        flag + "&image=" + image + "&category=" + htmlEscape(category) +
        "&group=" + htmlEscape(group) + "&subcategory=" + trim(rs.field("sub").text()) + "\">" +
        trim(rs.field("descr").text()) + "</a></td></tr>";
  }
  strR += "</table>";
  closedb();
  return strR;
}

}  // namespace kestrin

// The smart search's filter form: six drop-down lists whose options are complete addresses of
// the search page, offering only values found among the products that match the other choices,
// and a picture grid of the chosen group's categories or the chosen category's subcategories.
#include "catalog/filters.h"
#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

namespace {

std::string option(bool selected, const std::string& address, const std::string& text) {
  return std::string("<option ") + (selected ? "selected" : "") + " value=\"" + address + "\">" +
         text + "</option>";
}

// The item line of a description: the first word of the trimmed text.
std::string itemLine(const std::string& descr) { return textBefore(trim(descr), " "); }

bool startsWithDigit(const std::string& s) { return !s.empty() && s[0] >= '0' && s[0] <= '9'; }

}  // namespace

std::string eCat::ViewFilters(const std::string& grp, const std::string& cat,
                              const std::string& subcat, const std::string& manuf,
                              const std::string& prodline, const std::string& orderby,
                              bool strCustDb) {
  // Request values in SQL (quote-escaped) and in the option addresses (HTML-escaped).
  const std::string g = sqlEscape(grp), c = sqlEscape(cat), s = sqlEscape(subcat),
                    m = sqlEscape(manuf), p = sqlEscape(prodline);
  const std::string hg = htmlEscape(grp), hc = htmlEscape(cat), hs = htmlEscape(subcat),
                    hm = htmlEscape(manuf), hp = htmlEscape(prodline), ho = htmlEscape(orderby);
  const std::string base = std::string("newsearch.asp?featured=") + flagText(strCustDb);
  const std::string font = "<font face=\"" + gfontName + "\" size=\"-1\">";
  db::Connection& catalog = catalogConn(strCustDb);

  strR += "<table cellpadding=\"2\" class=\"text\"><tr class=\"text\"><td valign=\"top\">";
  strR += "<table cellpadding=\"2\" class=\"text\"><tr><td>" + font + "<form name=\"form\">";

  // Vendors.
  strR +=
      "Vendor:<br><select name=\"site1\" class=\"droplist\" size=\"1\" "
      "onChange=\"javascript:formHandler()\">";
  std::string clause = filterClause(conn, rsfilters, sql, FilterKind::MANUF, [](const auto& v) {
    return " and products.vend_code <> '" + v[0] + "' ";
  });
  sql = "SELECT distinct vend_code FROM products WHERE products.descr <> '' " + clause;
  if (!grp.empty()) sql += "and products.grp='" + g + "' ";
  if (!cat.empty()) sql += "and products.cat='" + c + "' ";
  if (!subcat.empty()) sql += "and products.sub='" + s + "' ";
  if (!prodline.empty()) sql += "and products.descr like '" + p + "%' ";
  sql += "order by products.vend_code";
  strR += "<option value=\"" + base + "&action=searchII&amp;grp=" + hg + "&amp;cat=" + hc +
          "&amp;sub=" + hs + "&amp;orderby=" + ho + "&amp;prodline=" + hp + "\">Any</option>";
  for (rs = catalog.execute(sql); !rs.eof(); rs.moveNext()) {
    const std::string code = trim(rs.field("vend_code").text());
    sql = "select vend_name from manuf where vend_code = '" + sqlEscape(code) + "'";
    rstemp = catalog.execute(sql);
    if (rstemp.eof()) continue;  // a vendor without a name is not offered
    strR +=
        option(code == trim(manuf),
               base + "&manuf=" + code + "&amp;action=searchII&amp;grp=" + hg + "&amp;cat=" + hc +
                   "&amp;sub=" + hs + "&amp;orderby=" + ho + "&amp;prodline=" + hp,
               rstemp.field("vend_name").text());
  }

  // Groups.
  strR += "</select><br>" + font + "Group:<br>";
  strR +=
      "<select name=\"site3\" class=\"droplist\" size=\"1\" "
      "onChange=\"javascript:formHandlerIII()\">";
  clause = filterClause(conn, rsfilters, sql, FilterKind::GRP,
                        [](const auto& v) { return " and grp <> '" + v[0] + "'"; });
  sql = "select distinct grp,descr from comgrp where grp <> 'dummy' " + clause;
  for (rs = catalog.execute(sql); !rs.eof(); rs.moveNext()) {
    const std::string rowGrp = rs.field("grp").text();
    strR += option(
        trim(rowGrp) == grp,
        base + "&action=searchII&amp;grp=" + rowGrp + "&amp;manuf=" + hm + "&amp;orderby=" + ho,
        trim(rs.field("descr").text()));
  }

  // Categories.
  strR += "</select><br>Category:<br>";
  strR +=
      "<select name=\"site4\" class=\"droplist\" size=\"1\" "
      "onChange=\"javascript:formHandlerIV()\">";
  strR += "<option selected value=\"" + base + "&action=searchII&amp;grp=" + hg +
          "&amp;manuf=" + hm + "&amp;prodline=" + hp + "\">Any</option>";
  clause = filterClause(conn, rsfilters, sql, FilterKind::GRPCAT, [](const auto& v) {
    return " and products.grp <> '" + v[0] + "' and products.cat <> '" + v[1] + "'";
  });
  sql =
      "select distinct comcat.cat as cat,comcat.descr as descr from comcat,products where "
      "products.grp=comcat.grp and products.cat=comcat.cat ";
  if (!grp.empty()) sql += "and comcat.grp='" + g + "' ";
  if (!manuf.empty()) sql += "and products.vend_code='" + m + "'";
  if (!subcat.empty()) sql += "and products.sub='" + s + "' ";
  if (!prodline.empty()) sql += "and products.descr like '" + p + "%' ";
  sql += clause;
  for (rs = catalog.execute(sql); !rs.eof(); rs.moveNext()) {
    const std::string rowCat = rs.field("cat").text();
    strR +=
        option(rowCat == cat,
               base + "&action=searchII&amp;grp=" + hg + "&amp;cat=" + rowCat + "&amp;sub=" + hs +
                   "&amp;manuf=" + hm + "&amp;orderby=" + ho + "&amp;prodline=" + hp,
               trim(rs.field("descr").text()));
  }

  // Subcategories.
  strR += "</select><br>Sub Category:<br>";
  strR +=
      "<select name=\"site5\" class=\"droplist\" size=\"1\" "
      "onChange=\"javascript:formHandlerV()\">";
  strR += "<option selected value=\"" + base + "&action=searchII&amp;grp=" + hg +
          "&amp;manuf=" + hm + "&amp;cat=" + hc + "&amp;prodline=" + hp + "\">Any</option>";
  clause = filterClause(conn, rsfilters, sql, FilterKind::GRPCATSUB, [](const auto& v) {
    return " and products.grp <> '" + v[0] + "' and products.cat <> '" + v[1] +
           "' and products.sub <> '" + v[2] + "'";
  });
  sql =
      "select distinct comsub.sub,comsub.descr from comsub,products where "
      "products.grp=comsub.grp and products.cat=comsub.cat and products.sub=comsub.sub ";
  if (!grp.empty()) sql += "and comsub.grp='" + g + "' ";
  if (!manuf.empty()) sql += "and products.vend_code='" + m + "'";
  if (!cat.empty()) sql += "and products.cat='" + c + "' ";
  if (!prodline.empty()) sql += "and products.descr like '" + p + "%' ";
  sql += clause + "order by comsub.descr";
  for (rs = catalog.execute(sql); !rs.eof(); rs.moveNext()) {
    const std::string rowSub = rs.field("sub").text();
    strR +=
        option(rowSub == subcat,
               base + "&action=searchII&amp;grp=" + hg + "&amp;sub=" + rowSub + "&amp;manuf=" + hm +
                   "&amp;cat=" + hc + "&amp;orderby=" + ho + "&amp;prodline=" + hp,
               trim(rs.field("descr").text()));
  }

  // Item lines: the distinct first words of the descriptions, in description order.
  strR += "</select><br>" + font + "Item Line:<br>";
  strR +=
      "<select name=\"site7\" class=\"droplist\" size=\"1\" "
      "onChange=\"javascript:formHandlerVII()\">";
  strR += "<option selected value=\"" + base + "&action=searchII&amp;grp=" + hg +
          "&amp;manuf=" + hm + "&amp;cat=" + hc + "&amp;sub=" + hs + "\">Any</option>";
  clause = filterClause(conn, rsfilters, sql, FilterKind::GRP,
                        [](const auto& v) { return " and products.grp <> '" + v[0] + "'"; });
  clause += filterClause(conn, rsfilters, sql, FilterKind::GRPCAT, [](const auto& v) {
    return " and grp <> '" + v[0] + "' and cat <> '" + v[1] + "'";
  });
  clause += filterClause(conn, rsfilters, sql, FilterKind::GRPCATSUB, [](const auto& v) {
    return " and grp <> '" + v[0] + "' and cat <> '" + v[1] + "' and sub <> '" + v[2] + "'";
  });
  clause +=
      filterClause(conn, rsfilters, sql, FilterKind::MANUF, fullFilterTerm(FilterKind::MANUF));
  clause +=
      filterClause(conn, rsfilters, sql, FilterKind::PRODUCT, fullFilterTerm(FilterKind::PRODUCT));
  sql = "select descr from products where grp='" + g + "' ";
  if (!manuf.empty()) sql += "and products.vend_code='" + m + "'";
  if (!subcat.empty()) sql += "and products.sub='" + s + "' ";
  if (!cat.empty()) sql += "and products.cat='" + c + "' ";
  sql += clause + " order by descr";
  std::string previous = "none";
  for (rs = catalog.execute(sql); !rs.eof(); rs.moveNext()) {
    // A product without a description has no item line; it is passed over.
    const std::string line = itemLine(rs.field("descr").text());
    if (line.empty()) continue;
    if (!startsWithDigit(line) && line != previous) {
      strR += option(line == prodline,
                     base + "&action=searchII&amp;prodline=" + line + "&amp;grp=" + hg +
                         "&amp;cat=" + hc + "&amp;sub=" + hs + "&amp;manuf=" + hm +
                         "&amp;orderby=" + ho,
                     line);
    }
    previous = line;
  }

  // Sort order.
  strR += "</select><br><b>Sort by:</b><br>";
  strR +=
      "<select name=\"site6\"  class=\"droplist\" size=\"1\" "
      "onChange=\"javascript:formHandlerVI()\">";
  const std::string sortBase = base + "&action=searchII&amp;grp=" + hg + "&amp;cat=" + hc +
                               "&amp;sub=" + hs + "&amp;manuf=" + hm + "&amp;orderby=";
  if (orderby.empty())
    strR += "<option selected value=\"" + sortBase + "descr&amp;prodline=" + hp +
            "\">Description</option>";
  strR += option(orderby == "vend_code", sortBase + "vend_code&amp;prodline=" + hp, "Vendor");
  strR += option(orderby == "cost", sortBase + "cost&amp;prodline=" + hp, "Price");
  strR += option(orderby == "descr", sortBase + "descr&amp;prodline=" + hp, "Description");

  strR += "</select></td></tr><tr><td>" + font + "<a href=\"" + base +
          "&action=searchII&amp;grp=" + hg + "\">Clear Filter(s)</a></td></tr></table></form>";
  strR +=
      "</td><td valign=\"top\" class=\"stext\" align=\"center\">"
      "<table class=\"text\" bgcolor=\"white\" border=\"0\" cellpadding=\"3\">";

  // Picture grid, three to a row: a row without a picture keeps its place but shows nothing.
  if (!grp.empty()) {
    const bool subcategories = !cat.empty();
    sql = subcategories ? "select * from comsub where grp='" + g + "' and cat='" + c + "'"
                        : "select * from comcat where grp='" + g + "'";
    db::Command grid;
    grid.setActiveConnection(conn);
    grid.commandText = sql;
    rs = db::Recordset();
    rs.open(grid, db::CursorType::Keyset, db::LockType::ReadOnly);
    int column = 0;
    for (; !rs.eof(); rs.moveNext()) {
      if (++column == 1) strR += "<tr class=\"stext\">";
      const std::string picture = trim(rs.field("picture").text());
      if (!picture.empty()) {
        std::string address = "newsearch.asp?action=searchII&featured=true&grp=" + hg +
                              "&cat=" + trim(rs.field("cat").text());
        if (subcategories) address += "&sub=" + trim(rs.field("sub").text());
        strR += "<td valign=\"bottom\" align=\"center\" class=\"stext\"><a href=\"" + address +
                "\" class=\"slink\"><img src=\"images/special/" + picture +
                (subcategories ? "\" border=\"0\"><br> " : "\" border = \"0\"><br>") +
                trim(rs.field("descr").text()) + "</a></td>";
      }
      if (column == 3) {
        strR += "</tr>";
        column = 0;
      }
    }
  }
  strR += "</table></td></tr></table>";
  return "";
}

}  // namespace kestrin

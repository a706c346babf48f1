// The legacy one-step search: each matching group under a heading row with all its matching
// products, priced, one group a page; or, for the shop's own catalog, the featured list of up to
// twenty groups.
#include <optional>

#include "catalog/filters.h"
#include "error_modes.h"
#include "kestrin/ecat.h"
#include "search_statements.h"
#include "search_words.h"
#include "text.h"

namespace kestrin {

namespace search {

// Searches from the shop's own networks (its office and its web servers) are not counted in the
// search-word log. Each prefix is the first eleven characters of a visitor's address.
const char* const kUncountedRefererPrefixes[] = {"192.168.10.", "172.16.100."};

}  // namespace search

namespace {

constexpr int kGroupsPerPage = 1;
constexpr int kFeaturedGroupsPerPage = 20;

bool countedReferer(const std::string& referer) {
  const std::string start = referer.substr(0, 11);
  for (const char* prefix : search::kUncountedRefererPrefixes) {
    if (start == prefix) return false;
  }
  return true;
}

// The legacy log codes: a part-number search "m", a keyword search "w", anything else none.
std::string legacyLogCode(const std::string& sType) {
  if (sType == "manuf") return "m";
  if (sType == "keyword") return "w";
  return "";
}

}  // namespace

std::string eCat::search_old(const std::string& keyword, const std::string& sType, I2 page,
                             const std::string& strIP, const std::string& customerid,
                             bool strCustDb, const std::string& siteID,
                             const std::string& sitePassword) {
  std::string text = keyword;
  const std::string type = sType, visitor = strIP;
  (void)customerid;  // legacy prices carry no customer discount
  const bool partNumber = type == "manuf";
  const char* flag = flagText(strCustDb);
  opendb(true, siteID, sitePassword);

  if (page.value() == 0) {
    // The visitor's address stands for the referer.
    const std::string& referer = visitor;
    if (countedReferer(referer)) logSearchWord(text, legacyLogCode(type), referer, false);
  }

  const std::string stockNote = readStockNote();

  const std::string clause =
      strCustDb ? "" : fullFilterClause(conn, rsfilters, sql, FilterSource::Table);

  iPageSize = strCustDb ? kFeaturedGroupsPerPage : kGroupsPerPage;
  iPageCurrent = page.value() == 0 ? I2(1) : page;
  db::Connection& catalog = catalogConn(strCustDb);
  // A description search without words finds no group.
  auto findGroups = [&] {
    rs = db::Recordset();
    const std::optional<std::string> groups =
        search::legacyGroupStatement(partNumber, text, clause);
    if (!groups) return;
    sql = *groups;
    db::Command command;
    command.setActiveConnection(catalog);
    command.commandText = sql;
    rs.open(command, db::CursorType::Keyset, db::LockType::ReadOnly);
  };
  findGroups();
  // A part number that finds nothing is tried again with its first half.
  if (partNumber && rs.eof()) {
    rs.close();
    text = search::firstCharacters(text, search::characterCount(text) / 2);
    findGroups();
  }

  long long pageCount = 0;
  if (rs.isOpen()) {
    rs.setPageSize(iPageSize.value());
    pageCount = rs.pageCount();
  }
  if (iPageCurrent.value() > pageCount) iPageCurrent = I2(pageCount);
  if (iPageCurrent.value() < 1) iPageCurrent = 1;

  const std::string font = "<font face=\"" + gfontName + "\" size=\"-2\">";
  if (pageCount == 0) {
    if (!strCustDb) {
      strR +=
          "<font color=\"green\">There is no item matching your search criteria. Please try "
          "again.</font><br>";
    }
  } else {
    rs.setAbsolutePage(iPageCurrent.value());
    strR += "<font face=\"" + gfontName + "\">";
    if (strCustDb) {
      strR += "<font color=\"navy\"><b>Featured Items:</b></font><br>";
    } else {
      strR += "<font color=\"navy\">Displaying page <b>" + iPageCurrent.text() + "</b> of <b>" +
              std::to_string(pageCount) + "</b></font><br>";
      strR +=
          "<b>Click on In Stock Quantity for <font color=\"red\">REAL-TIME STOCK "
          "INFORMATION</font></b></font>";
    }
    strR += "<TABLE BORDER=1 CELLSPACING=0 CELLPADDING=0 width=\"100%\"><TR><TD>";
    strR += "<TABLE BORDER=0 CELLPADDING=5 CELLSPACING=0><TR BGCOLOR=\"" + sHeadingColor + "\">";
    for (const char* title : {"Item #", "Vendor", "Products", "Price"}) {
      strR += "<TD nowrap valign=\"top\"><font face=\"" + gfontName + "\" size=-1><B>" + title +
              "</B></TD>";
    }
    strR += "<TD nowrap align=\"center\" valign=\"top\"><font face=\"" + gfontName +
            "\" size=-1><B>In Stock</B><br><font size=-2>" + stockNote + "</font></font></TD>";
    strR +=
        "<TD nowrap valign=\"top\"><font face=\"" + gfontName + "\"  size=-1><B>Cart</B></TD></TR>";

    for (int written = 0; written < iPageSize.value() && !rs.eof(); ++written, rs.moveNext()) {
      const std::string grp = rs.field("grp").text();
      sql = "select descr from comgrp where grp='" + sqlEscape(grp) + "'";
      rstemp = catalog.execute(sql);
      const std::string heading = rstemp.eof() ? "" : trim(rstemp.field("descr").text());
      strR += "<tr bgcolor=\"" + sCatHeadingColor +
              "\"><td colspan=6><font color=\"white\" face=\"" + gfontName + "\" size=-1><b>" +
              heading + "</b></td></tr>";

      // The group statement found this group, so the text has words when it is not a part number.
      sql = search::legacyProductStatement(partNumber, text, grp, clause).value_or("");
      std::optional<float> rate;  // every product of the group has the group's markup
      int row = 0;
      for (rstemp = catalog.execute(sql); !rstemp.eof(); rstemp.moveNext(), ++row) {
        const std::string partNum = rstemp.field("part_num").text();
        const Variant& cost = rstemp.field("cost");
        const Variant& qty = rstemp.field("qty");
        if (!rate) rate = getRates(rstemp.field("grp").text());
        double price = (cost.isNumeric() ? cost.number() : 0) * *rate;
        if (price < 8) price *= 2;  // small items carry a minimum margin
        const std::string priceText = plainMoney(price);
        const bool inStock = qty.isNumeric() && qty.number() > 0;
        const std::string cartLink =
            "<a href=\"cart.asp?action=add&amp;steps=1&amp;part_num=" + partNum +
            "&featured=" + flag + "\">";

        strR += "<tr bgcolor=\"" + (row % 2 == 0 ? sList1Color : sList2Color) + "\"><td>" + font +
                rstemp.field("manu_part").text() + "</font></td>";
        strR += "<td>" + font + textBefore(trim(rstemp.field("vend_name").text()), "-") +
                "</font></td>";
        strR += "<td>" + font + "<a href=\"c_final.asp?featured=" + flag + "&price=" + priceText +
                "&amp;partno=" + partNum + "\">" + rstemp.field("descr").text() + "</font></a>";
        if (trim(rstemp.field("status").text()) == "1") {
          strR +=
              "<img src=\"images/spacer.gif\" width=\"5\"><img src=\"images/newred.gif\" "
              "border=\"0\" align=\"center\" WIDTH=\"30\" HEIGHT=\"12\">";
        }
        strR += "</td>";
        strR += "<td align=\"right\">" + font + (inStock ? "<b>" : "") + "$" +
                displayMoney(val(priceText)) + (inStock ? "</b>" : "") +
                "<br><a href=\"compare.asp?partno=" + partNum + "&featured=" + flag +
                "\"><b>compare</b></a></font></td>";
        strR += "<td align=\"center\">" + font + cartLink + (inStock ? qty.text() : "Inquire") +
                "</a></font></td>";
        strR += "<td align=\"center\"><font size=\"-2\" face=\"" + gfontName + "\">" + cartLink +
                "Buy</a></font></td></tr>";
      }
    }
  }

  if (pageCount != 0) strR += "</table></td></tr></table>";
  strR += "<br><center>";
  if (!strCustDb) {
    const std::string link = "<a HREF=\"search.asp?page=";
    const std::string rest = "&amp;keyword=" + htmlEscape(search::linkText(text)) +
                             "&amp;stype=" + htmlEscape(type) + "\">";
    if (iPageCurrent.value() != 1)
      strR += link + (iPageCurrent - 1).text() + rest + "Previous Page</a>&nbsp;&nbsp;";
    if (iPageCurrent.value() < pageCount)
      strR += link + (iPageCurrent + 1).text() + rest + "Next Page</a>";
  }
  strR += "</center>";
  closedb();
  return endCheck(EndCheckForm::Listing, strR);
}

}  // namespace kestrin

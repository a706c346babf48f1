// The product results table with which every listing ends: one page of the listing statement
// in `sql`, with count and page lines, priced rows and page links.
#include <optional>
#include <unordered_map>

#include "kestrin/ecat.h"
#include "product_row.h"
#include "text.h"

namespace kestrin {

std::string eCat::readStockNote() {
  // Only that row's changes are counted, by these triggers; a database without them is asked on
  // every listing.
  static const std::vector<std::string> countedBy = {
      "cart_note_counted_ins", "cart_note_counted_upd", "cart_note_counted_del"};
  sql = "select upsize from cart where sessionid='upsize'";
  rsdate = conn.executeCached(sql, countedBy);
  return rsdate.eof() ? "" : rsdate.field("upsize").text();
}

void eCat::displayResults(const std::string& nextLink, const std::string& prevLink,
                          const std::string& strFrom, const std::string& customerid,
                          bool strCustDb) {
  const char* flag = flagText(strCustDb);
  const bool vendorColumn = strFrom != "manuf";

  // The listing is paged in the database: only the count and the rows of the shown page are read.
  db::Command listing;
  listing.setActiveConnection(optTDdata != "yes" || strCustDb ? conn : connTD);
  listing.commandText = sql;
  listing.countFromCache = true;  // products, manufacturers and groups only
  rs = db::Recordset();
  rs.open(listing, db::CursorType::Keyset, db::LockType::ReadOnly);

  if (rs.eof()) {
    if (noRecords && (!strCustDb || strFrom == "search2nd")) {
      strR +=
          "<br><br>We are sorry, there is no item available matching your search criteria.<br><br>";
    }
    return;
  }

  const std::string stockNote = readStockNote();

  rs.setPageSize(iPageSize.value());
  const long long pageCount = rs.pageCount();
  const long long recordCount = rs.recordCount();
  if (iPageCurrent.value() > pageCount) iPageCurrent = I2(pageCount);
  if (iPageCurrent.value() < 1) iPageCurrent = 1;
  rs.setAbsolutePage(iPageCurrent.value());

  strR += "</center>Found: <b>" + countText(static_cast<double>(recordCount)) + "</b> items. ";
  strR += "<font class=\"text\">Displaying page <b>" + iPageCurrent.text() + "</b> of <b>" +
          std::to_string(pageCount) + "</b></font><br>";
  strR +=
      "<b>Click on In Stock Quantity for <font color=\"red\">REAL-TIME STOCK "
      "INFORMATION</font></b></font>";
  strR += "<table cellpadding=1 cellspacing=1 border=0 class=\"stext\" width=\"100%\"><tr><td>";
  strR += "<table bgcolor=\"" + borderColor +
          "\" cellpadding=2 cellspacing=1 border=0 class=\"stext\" width=\"100%\">";
  strR += "<TR class=\"sWhiteLink\" bgcolor=\"" + darkColor + "\" align=\"center\">";
  strR += "<TD><b>Item #</b></TD>";
  if (vendorColumn) strR += "<TD><b>Vendor</b></TD>";
  strR += "<TD><b>Items</b></TD><TD><b>Picture</b></td><TD><b>Price</b></TD>";
  strR += "<TD><b>Stock</b><br><font class=\"stext\">" + stockNote + "</font></TD>";
  strR += "<TD><b>Cart</b></TD></TR>";

  // What the main database says of the page's shop products, read for all its rows at once.
  catalog::PageDetails details;
  if (strCustDb || optTDdata != "yes") {
    details = catalog::PageDetails::read(conn, catalog::partNumbersAhead(rs, iPageSize.value()),
                                         "priceOPtions", strCustDb);
    rs.setAbsolutePage(iPageCurrent.value());
  }

  // The factors cannot change within one page: each group's markup and the customer's discount
  // are looked up once.
  std::unordered_map<std::string, float> rates;
  std::optional<float> discount;
  for (int written = 0; written < iPageSize.value() && !rs.eof(); ++written, rs.moveNext()) {
    const std::string partNum = rs.field("p_part_num").text();

    std::string priceText;
    const Variant& cost = rs.field("p_cost");
    if (cost.isNumeric()) {
      const std::string group = rs.field("grp").text();
      auto rate = rates.find(group);
      if (rate == rates.end()) rate = rates.emplace(group, getRates(group)).first;
      if (!discount) discount = getDiscount(customerid);
      priceText = plainMoney(cost.number() * rate->second * *discount);
    }
    const Variant& qty = rs.field("p_qty");
    const bool inStock = catalog::inStock(qty);
    strR += catalog::rowHead(rs, written, catColor, vendorColumn, flag, priceText);
    if (strCustDb && catalog::hasOptions(conn, sql, partNum, &details))
      strR += catalog::optionsLink(priceText, partNum);
    if (trim(rs.field("p_status").text()) == "1")
      strR += "<img src=\"images/spacer.gif\" width=\"5\">";
    strR += "</td><td align=\"center\">";

    catalog::CartChoice cart = catalog::buyButton(partNum, flag);
    if (optTDdata != "yes") {
      catalog::ShopDetails shop =
          catalog::lookUpShopDetails(conn, sql, partNum, flag, "priceOPtions", &details);
      strR += shop.picture;
      cart = shop.cart;
    }
    strR += "</td>";

    strR +=
        "<td align=\"right\">" + catalog::priceCell(inStock, cart.showPrice, priceText) + "<br>";
    strR += "<a class=\"slink2\" href=\"compare.asp?partno=" + partNum + "&featured=" + flag +
            "\"><b>compare</b></a></td>";
    strR += catalog::stockCell(partNum, flag, inStock, qty.text());
    strR += "<td align=\"center\">" + cart.button + "</a></td></tr>";
  }

  strR += "</table></td></tr><tr><td align=\"right\">";
  if (iPageCurrent.value() != 1)
    strR += prevLink + "<img src=\"images/Previouse.gif\" border=0></a>";
  if (iPageCurrent.value() < pageCount)
    strR += nextLink + "<img src=\"images/Next.gif\" border=0></a>";
  strR += "</td></tr></table><br><br>";
}

}  // namespace kestrin

// Featured items: the shop's own products that match a request, shown above a listing of
// distributor products, paged on their own.
#include "featured.h"

#include <algorithm>
#include <optional>

#include "kestrin/ecat.h"
#include "kestrin/error.h"
#include "product_row.h"
#include "text.h"

namespace kestrin {

namespace {

constexpr int kFeaturedPageSize = 15;
// The most bytes the copies of the keyword in one featured statement may take.
constexpr size_t kMostRepeatedKeywordBytes = 4 * 1024 * 1024;

const char* const kWithVendorHead =
    "SELECT distinct products.grp as grp,products.descr as p_descr, products.manu_part as "
    "p_manu_part, "
    "products.part_num as p_part_num, products.qty as p_qty, products.cost as p_cost, "
    "products.status as "
    "p_status, manuf.vend_name as m_name from ";

}  // namespace

namespace catalog {

std::optional<std::string> featuredStatement(const std::string& stype, const std::string& keyword,
                                             const std::string& strFrom) {
  if (stype == "manuf") {
    const std::string name = trim(textBefore(trim(keyword), "-"));
    if (name.empty()) return std::nullopt;
    return "select distinct products.grp as grp,products.descr as p_descr, products.part_num as "
           "p_part_num, "
           "products.manu_part as p_manu_part, products.qty as p_qty, products.cost as p_cost, "
           "products.status as "
           "p_status from products,manuf where products.vend_code=manuf.vend_code and "
           "manuf.vend_name like '%" +
           sqlEscape(name) + "%'";
  }
  if (stype == "all" || stype == "category") {
    const std::string text = trim(keyword);
    if (text.empty()) return std::nullopt;
    std::string statement =
        std::string(kWithVendorHead) +
        "comgrp,comcat,comsub,products,manuf where products.vend_code = manuf.vend_code "
        "and products.grp=comsub.grp and products.cat=comsub.cat and products.sub=comsub.sub "
        "and comsub.grp=comcat.grp and comsub.cat=comcat.cat and products.grp=comcat.grp and "
        "products.grp=comgrp.grp and products.cat=comcat.cat ";
    const bool descriptionOnly = stype == "category" && strFrom == "searchII";
    // Words are split at each single blank, so two blanks in a row make an empty word.
    const std::vector<std::string> words = split(replaceAll(text, "-", ""), " ");
    const std::string wholeKeyword = sqlEscape(keyword);
    // Each word's term repeats the whole keyword: a long text of many words would need words x
    // length bytes (gigabytes for 100 KB of short words). Such a request fails as running out of
    // memory would, at once.
    if (!descriptionOnly && words.size() > 1 &&
        words.size() > kMostRepeatedKeywordBytes / std::max<size_t>(wholeKeyword.size(), 1)) {
      raise(kErrOutOfMemory, "Out of memory: the request needs more memory than the engine can get",
            "kestrin");
    }
    for (const std::string& raw : words) {
      const std::string word = sqlEscape(raw);
      if (descriptionOnly) {
        statement += "and products.descr like '%" + word + "%' ";
      } else {
        statement += "and (comgrp.descr like '%" + word + "%' or comcat.descr like '%" + word +
                     "%' or comsub.descr like '%" + word + "%' or products.descr like '%" + word +
                     "%' or products.manu_part like '%" + wholeKeyword + "%') ";
      }
    }
    return statement;
  }
  if (stype == "manupart") {
    return std::string(kWithVendorHead) +
           "products,manuf where products.vend_code = manuf.vend_code " +
           "and products.manu_part like '%" + sqlEscape(keyword) + "%'";
  }
  return std::nullopt;
}

}  // namespace catalog

void eCat::displayFeatured(const std::string& stype, const std::string& keyword,
                           const std::string& strFrom, const std::string& customerid,
                           I2 FeaturedPage, const std::string& prevLink,
                           const std::string& nextLink) {
  // The filters of the listings do not apply to featured items.
  if (auto statement = catalog::featuredStatement(stype, keyword, strFrom)) {
    displayFeaturedTable(nextLink, prevLink, FeaturedPage, stype, customerid, true, *statement);
  }
}

void eCat::displayFeaturedTable(const std::string& nextLink, const std::string& prevLink,
                                I2 FeaturedPage, const std::string& strFrom,
                                const std::string& customerid, bool strCustDb,
                                const std::string& sqlText) {
  const char* flag = flagText(strCustDb);
  const bool vendorColumn = strFrom != "manuf";
  long long page = FeaturedPage.value() == 0 ? 1 : FeaturedPage.value();

  db::Command featured;
  featured.setActiveConnection(conn);
  featured.commandText = sqlText;
  featured.countFromCache = true;  // products, manufacturers and groups only
  rs = db::Recordset();
  rs.open(featured, db::CursorType::Keyset, db::LockType::ReadOnly);
  if (rs.eof()) {
    noRecords = true;
    rs.close();
    return;
  }
  noRecords = false;
  rs.setPageSize(kFeaturedPageSize);
  const long long pageCount = rs.pageCount();
  if (page > pageCount) page = pageCount;
  if (page < 1) page = 1;

  strR += "<br><font color=\"navy\"><b>Featured Items:</b></font>";
  if (pageCount > 1) {
    strR += "<br><font color=\"navy\" size=\"-2\">Displaying page <b>" + std::to_string(page) +
            "</b> of <b>" + std::to_string(pageCount) + "</b></font><br>";
  } else {
    strR += "<br>";
  }
  strR += "<table cellpadding=1 cellspacing=1 border=0 class=\"stext\" width=\"600\"><tr><td>";
  strR += "<table bgcolor=\"" + borderColor +
          "\" cellpadding=3 cellspacing=0 border=0 class=\"stext\" width=\"100%\">";
  strR += "<TR class=\"sWhiteLink\" bgcolor=\"" + darkColor + "\" align=\"center\">";
  strR += "<TD height=\"23\"><b>Item #</b></TD>";
  if (vendorColumn) strR += "<TD><b>Vendor</b></TD>";
  strR += "<TD width=\"40%\"><b>Items</b></TD><TD><b>Picture</b></td><TD><b>Price</b></td>";
  strR += "<TD><b>Stock</b></TD><TD><b>Cart</b></td></TR>";

  rs.setAbsolutePage(page);
  // What the main database says of the page's products, read for all its rows at once.
  const catalog::PageDetails details = catalog::PageDetails::read(
      conn, catalog::partNumbersAhead(rs, kFeaturedPageSize), "priceOptions", strCustDb);
  rs.setAbsolutePage(page);
  std::optional<float> discount;
  for (int written = 0; written < kFeaturedPageSize && !rs.eof(); ++written, rs.moveNext()) {
    const std::string partNum = rs.field("p_part_num").text();
    std::string priceText;
    const Variant& cost = rs.field("p_cost");
    if (cost.isNumeric()) {
      if (!discount) discount = getDiscount(customerid);  // once per page
      priceText = plainMoney(cost.number() * *discount);
    }
    const Variant& qty = rs.field("p_qty");
    const bool inStock = catalog::inStock(qty);
    strR += catalog::rowHead(rs, written, catColor, vendorColumn, flag, priceText);
    if (strCustDb && catalog::hasOptions(conn, sql, partNum, &details))
      strR += catalog::optionsLink(priceText, partNum);
    strR += "</td><td align=\"center\">";

    catalog::ShopDetails shop =
        catalog::lookUpShopDetails(conn, sql, partNum, flag, "priceOptions", &details);
    strR += shop.picture;
    strR += "</td><td align=\"right\">";
    if (shop.cart.showPrice) {
      strR += catalog::priceCell(inStock, true, priceText) + "<br>";
      strR +=
          "<a href=\"compare.asp?partno=" + partNum + "&featured=" + flag + "\"><b>compare</b></a>";
    }
    strR += "</td>";
    strR += catalog::stockCell(partNum, flag, inStock, qty.text());
    strR += "<td align=\"center\">" + shop.cart.button + "</td></tr>";
    strR += "<tr><td height=1 bgcolor=\"#999999\" colspan=8></td></tr>";
  }

  strR += "</table></td></tr><tr><td align=\"right\">";
  rs.close();
  if (page != 1) strR += prevLink + "<img src=\"images/Previouse.gif\" border=0></a>";
  if (page < pageCount) strR += nextLink + "<img src=\"images/next.gif\" border=0></a>&nbsp;&nbsp;";
  strR += "</td></tr></table><br><br>";
}

}  // namespace kestrin

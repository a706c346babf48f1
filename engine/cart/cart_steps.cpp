// The cart steps: interest in a product with its stock check ("1"), the quantity form ("1a"),
// adding a line ("2"), and changing or removing a line ("2a"). Every value written bare into a
// cart procedure call is a number made here (prices, quantities, weights, option ids).
#include <array>

#include "error_modes.h"
#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

namespace {

const char* const kQuantityMessage = "Item's quatity must be either 1 or more.<br><br>";

// The shop-product argument of the cart procedures.
const char* shopFlagArgument(bool strCustDb) { return strCustDb ? ",'1'" : ",'0'"; }

}  // namespace

double eCat::lineWeight(db::Connection& catalog, const std::string& partno, I2 qty) {
  sql = "kx_getShipWeigth '" + sqlEscape(partno) + "'";
  db::Recordset found = catalog.execute(sql);
  if (found.eof()) return 1;
  // The first word is the unit weight ("2.5 lbs"); one that is not a number fails the call.
  const std::string unit = textBefore(found.field("shipwgth").text(), " ");
  return finiteNumber(Variant(unit).number() * static_cast<int>(qty));
}

std::string eCat::cartADD(const std::string& steps, const std::string& partno, I2 qty,
                          const std::string& sessionid, const std::string& aPath,
                          const std::string& action, const std::string& customerid, bool strCustDb,
                          const std::string& siteID, const std::string& sitePassword, bool strPci,
                          I2 prSizes, I2 prColors, I2 prStyles, I2 prTextures, I2 prFlavors,
                          I2 prPackaging, I2 prSingle, I2 prGender, I2 prPicture) {
  const std::string step = steps, part = partno, session = sessionid, sitePath = aPath,
                    pageAction = action, customer = customerid;
  const std::array<I2, 9> options = {prSizes,     prColors, prStyles, prTextures, prFlavors,
                                     prPackaging, prSingle, prGender, prPicture};
  opendb(true, siteID, sitePassword);

  const std::string quotedPart = sqlEscape(part);
  const std::string quotedSession = sqlEscape(session);
  const char* shopFlag = shopFlagArgument(strCustDb);
  auto lineExists = [&] {
    sql = "kx_cartExist '" + quotedPart + "','" + quotedSession + "'" + shopFlag;
    return !conn.execute(sql).eof();
  };
  // The quantity messages are the whole answer: no listing, no end-check.
  auto quantityMessage = [&] {
    closedb();
    return std::string(kQuantityMessage);
  };

  if (step == "1") {
    if (!lineExists()) {
      strR +=
          "<br><font class=\"pageTitle\">Thank you for your interest in this item.</font>"
          "<br><br>";
      RealInventory(part, sitePath, customer, strCustDb);
    } else {
      strR +=
          "<br><font color=\"red\" size=\"3\">Warning:</font> This item is already in your "
          "shopping cart..please change ";
      strR +=
          "the quantity instead of adding this item again..<a "
          "href=\"cart.asp?action=display\">Click here</a><br><br>";
    }
  } else if (step == "1a") {
    strR +=
        "<div align=\"center\" class=\"text\"><b>Please specify a new quantity..</b><br>"
        "<form action=\"cart.asp\" method=\"post\">"
        "<input type=\"hidden\" name=\"action\" value=\"add\">"
        "<input type=\"hidden\" name=\"steps\" value=\"2a\">"
        "<input type=\"hidden\" name=\"featured\" value=\"" +
        std::string(flagText(strCustDb)) + "\"><input type=\"hidden\" name=\"part_num\" value=\"" +
        htmlEscape(part) +
        "\"><input type=\"text\" name=\"qty\" size=\"5\" class=\"field\" value=\"" + qty.text() +
        "\">&nbsp;<input type=\"submit\" value=\"Change\" class=\"ButtonG\"></form><br></div>";
  } else if (step == "2") {
    if (qty < 1) return quantityMessage();
    if (lineExists()) {
      strR +=
          "<div class=\"error\">Item is already in your shopping cart. Please change the "
          "quantity.</div><br><br>";
    } else {
      db::Connection& catalog = catalogConn(strCustDb);
      sql = "kx_getProdInfo '" + quotedPart + "'";
      rs = catalog.execute(sql);
      const double cost = rs.field("cost").number();
      const std::string descr = rs.field("descr").text();
      // A shop product's cart price carries no group markup.
      double price = cost;
      if (!strCustDb) price *= getRates(rs.field("grp").text());
      price = finiteNumber(price * getDiscount(customer));

      double weight = lineWeight(catalog, part, qty);
      if (weight == 0) weight = 1;

      std::string call = "kx_cartAdd '" + quotedSession + "','" + quotedPart + "','" +
                         sqlEscape(descr) + "'," + plainMoney(price) + "," + qty.text() +
                         ",'Zelo'," + fixedTwo(weight) + shopFlag;
      for (I2 option : options) call += "," + option.text();
      sql = call;
      conn.execute(sql);
      strR += "<br><font class=\"done\">Item(s) List</font><br><br>";
    }
    CartDisplay(session, step, "", pageAction, strPci, false);
  } else if (step == "2a") {
    if (qty < 0) return quantityMessage();
    const double weight = lineWeight(catalogConn(strCustDb), part, qty);
    if (qty != 0) {
      sql = "kx_cartUpdate '" + quotedPart + "','" + quotedSession + "'," + qty.text() + "," +
            fixedTwo(weight) + shopFlag;
      conn.execute(sql);
      strR += "<font color=green>Quantity Changed</font><br>";
    } else {
      sql = "kx_cartDelete '" + quotedPart + "','" + quotedSession + "'" + shopFlag;
      conn.execute(sql);
      strR += "<font color=\"green\">Item has been removed from cart</font><br>";
    }
    CartDisplay(session, "", "", pageAction, strPci, false);
  }

  closedb();
  return endCheck(EndCheckForm::Listing, strR);
}

}  // namespace kestrin

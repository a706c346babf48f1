// The cart of a web session: the cart table that the cart steps and the cart page show, its
// totals for the checkout pages, and the listing of its lines for order confirmations.
#include "cart_lines.h"
#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

namespace {

// Steps and description codes of the checkout pages that show the cart without changing it.
bool isReadOnlyView(const std::string& steps, const std::string& xDescription) {
  return steps == "3b" || steps == "4" || xDescription == "CC";
}

bool showsContinue(const std::string& action) {
  return action == "calculate" || action == "display" || action == "add";
}

std::string cartLink(const char* step, const std::string& qty, const std::string& partno,
                     const char* featured) {
  return std::string("<a class=\"slink2\" href=\"cart.asp?action=add&amp;steps=") + step +
         "&amp;qty=" + qty + "&amp;part_num=" + partno + "&featured=" + featured + "\">";
}

}  // namespace

std::string eCat::CartDisplay(const std::string& sessionid, const std::string& strSteps,
                              const std::string& strXDescription, const std::string& action,
                              bool strPci, bool strNoShip) {
  const std::string session = sessionid, steps = strSteps, xDescription = strXDescription,
                    pageAction = action;
  const std::string quotedSession = sqlEscape(session);
  sql = strPci ? "select * from cart where sessionid='" + quotedSession + "' order by catid"
               : "kx_cartdisplay '" + quotedSession + "'";
  db::Recordset line = conn.execute(sql);
  if (line.eof()) {
    strR += "<font class=\"error\">Your shopping cart is empty.</font><br><br>";
    return {};
  }

  const bool readOnly = isReadOnlyView(steps, xDescription);
  std::string html = "<table bgcolor=\"" + borderColor +
                     "\" cellpadding=\"2\" cellspacing=\"0\" border=\"0\" class=\"stext\" "
                     "width=\"100%\"><tr class=\"sWhitelink\" bgcolor=\"" +
                     darkColor +
                     "\" align=\"center\"><td nowrap height=\"23\"><b>Item #</b></td>"
                     "<td><b>Organization</b></td><td><b>Description</b></td>"
                     "<td align=\"right\"><b>Price</b></td><td align=\"center\"><b>Qty</b></td>"
                     "<td><b>Subtotal</b></td></tr>";
  double total = 0;
  double weight = 0;
  int row = 0;
  for (; !line.eof(); line.moveNext()) {
    const bool shopLine = cart::isShopLine(line);
    const bool onMain = optTDdata != "yes" || shopLine;
    const char* featured = flagText(onMain);
    const cart::LineProduct product = cart::lineProduct(onMain ? conn : connTD, sql, line);
    const std::string options = shopLine ? cart::optionsText(conn, sql, line, false) : "";

    const double price = line.field("price").number();
    const double amount = roundHalfEven(line.field("qty").number() * price, 2);
    total += amount;
    weight += roundHalfEven(line.field("tweight").number(), 0);

    const std::string qty = line.field("qty").text();
    const std::string partno = line.field("partno").text();
    html += std::string("<tr bgcolor=\"") + (++row % 2 == 1 ? catColor : "#ffffff") + "\"><td>" +
            product.manuPart + "</td><td>" + product.maker +
            "</td><td><a class=\"slink2\" href=\"c_final.asp?featured=" + featured +
            "&price=" + displayMoney(price) + "&amp;partno=" + product.partNum + "\">" +
            trim(product.descr) + options + "</a></td><td align=\"right\"> $" +
            displayMoney(price) + "</td><td align=\"center\">" + qty;
    if (!readOnly) {
      html += "<br>" + cartLink("1a", qty, partno, featured) + "Change</a><br>" +
              cartLink("2a", "0", partno, featured) + "Remove</a>";
    }
    html += "</td><td align=\"right\"><b>$" + displayMoney(amount) +
            "</b></td></tr><tr><td height=\"1\" bgcolor=\"#999999\" colspan=\"8\"></td></tr>";
  }
  html += "</table><table width=\"100%\" border=\"0\"><tr>";

  if (showsContinue(pageAction)) {
    html +=
        "<td align=\"left\" valign=\"top\"><input type=\"button\" class=\"button_orange\" "
        "value=\" Continue \" onClick=\"javascript:window.location='"
        "cart_ship2.asp?action=checkout&steps=3';\"></td>";
  }
  if (!readOnly) {
    html += "<td align=\"right\" valign=\"top\"><font size=\"-1\" face=\"" + gfontName +
            "\"><b>Total : <font color=\"red\">US$ " + displayMoney(total) + "  </b></font>";
    if (!strNoShip) {
      sql =
          "select * from cart,products where products.part_num=cart.partno and "
          "products.noshipping = '1' and cart.sessionid='" +
          quotedSession + "'";
      for (db::Recordset exempt = conn.execute(sql); !exempt.eof(); exempt.moveNext())
        weight -= exempt.field("tweight").number();
      if (weight < 1) weight = 0;
      if (weight != 0) html += "<br><font size=\"-2\">Ship Weigth: " + numberText(weight) + " lbs.";
    }
    html += "</font></td>";
  }
  strR += html + "</tr></table>";
  return {};
}

Variant eCat::cartDisplayOnly(const std::string& sessionid, const std::string& action,
                              const std::string& steps, const std::string& xDescr,
                              const std::string& siteID, const std::string& sitePassword,
                              bool strPci, bool strNoShip) {
  const std::string session = sessionid, pageAction = action, step = steps, descrCode = xDescr;
  opendb(true, siteID, sitePassword);
  CartDisplay(session, step, descrCode, pageAction, strPci, strNoShip);
  closedb();
  return Variant(strR);
}

std::string eCat::cartTotal(const std::string& sessionid, const std::string& siteID,
                            const std::string& sitePassword) {
  const std::string session = sessionid;
  opendb(false, siteID, sitePassword);
  sql = "kx_cartTotal '" + sqlEscape(session) + "'";
  std::string result = "Failed";
  {
    db::Recordset totals = conn.execute(sql);
    if (!totals.eof())
      result = totals.field("subtotal").text() + "|" + totals.field("shipweight").text();
  }
  closedb();
  const ErrorRecord& err = currentError();
  if (err.isSet()) return result + err.description + " : " + err.source;
  return result;
}

std::string eCat::CartListItems(const std::string& sessionid, bool isHTML,
                                const std::string& siteID, const std::string& sitePassword) {
  const std::string session = sessionid;
  opendb(false, siteID, sitePassword);
  strR.clear();
  const char* separator = isHTML ? "<br>" : "\r\n";
  sql = "kx_cartDisplay '" + sqlEscape(session) + "'";
  for (db::Recordset line = conn.execute(sql); !line.eof(); line.moveNext()) {
    const bool shopLine = cart::isShopLine(line);
    const cart::LineProduct product = cart::lineProduct(shopLine ? conn : connTD, sql, line);
    const std::string options = shopLine ? cart::optionsText(conn, sql, line, true) : "";
    strR += "Item #: " + product.manuPart + separator + "Organization: " + product.maker +
            separator + "Description: " + line.field("descr").text() + options + separator +
            "Amount:  $" + line.field("price").text() + separator +
            "Quantity: " + line.field("qty").text() + separator + separator;
  }
  closedb();
  return currentError().isSet() ? "Error" : strR;
}

}  // namespace kestrin

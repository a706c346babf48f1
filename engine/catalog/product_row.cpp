#include "product_row.h"

#include <array>

#include "text.h"

namespace kestrin::catalog {

std::string statusIcon(const std::string& status) {
  struct Icon {
    const char* code;
    const char* html;
  };
  static constexpr std::array<Icon, 7> kIcons = {{
      {"u", "<img src=\"images\\used.gif\">"},
      {"p", "<img src=\"images\\promo.gif\">"},
      {"o", "<img src=\"images\\openbox.GIF\">"},
      {"r", "<img src=\"images\\refurbish.gif\">"},
      {"l", "<img src=\"images\\pulls.gif\">"},
      {"1", "<img src=\"images\\new.gif\">"},
      {"v", "<img src=\"images\\valuepack.gif\">"},
  }};
  for (const Icon& icon : kIcons) {
    if (status == icon.code) return icon.html;
  }
  return {};
}

namespace {
std::string cartLink(const std::string& partNum, const char* flag) {
  return "<a href=\"cart.asp?action=add&amp;steps=1&amp;part_num=" + partNum +
         "&qty=1&featured=" + flag + "\">";
}
}  // namespace

CartChoice buyButton(const std::string& partNum, const char* flag) {
  return {cartLink(partNum, flag) + "<img src=\"images/buy.gif\" border=0></a>", true};
}

CartChoice cartChoice(const std::string& priceOptions, const std::string& partNum,
                      const char* flag) {
  const std::string option = lower(priceOptions);
  if (option.empty() || isNumeric(option)) return buyButton(partNum, flag);
  if (option == "call")
    return {"<a href=\"contactus.asp\"><img src=\"images/callSmall.gif\" border=\"0\"></a>", false};
  if (option == "d")
    return {cartLink(partNum, flag) + "<img src=\"images/donate.gif\" border=0></a>", true};
  if (option == "n") {
    return {"<a href=\"c_final.asp?featured=true&price=n&partno=" + partNum +
                "\"><img src=\"images/moreinfoSmall.gif\" border=\"0\"></a>",
            false};
  }
  return {"<a target=\"_blank\" href=\"" + priceOptions +
              "\"><img src=\"images/moreinfoSmall.gif\" border=\"0\"></a>",
          false};
}

ShopDetails lookUpShopDetails(db::Connection& conn, std::string& sql, const std::string& partNum,
                              const char* flag, const char* priceOptionsColumn) {
  ShopDetails details;
  sql = std::string("select picture,") + priceOptionsColumn + " from products where part_num='" +
        sqlEscape(partNum) + "'";
  db::Recordset product = conn.executeCached(sql);
  if (product.eof()) {
    details.cart = buyButton(partNum, flag);
    return details;
  }
  details.found = true;
  sql = "select * from pictures where part_num='" + sqlEscape(partNum) + "' order by positions";
  db::Recordset pictures = conn.executeCached(sql);
  if (!pictures.eof()) {
    const std::string picture = pictures.field("picture").text();
    details.picture =
        "<a href=\"#\" onclick=\"javascript:window.open('viewpicture.asp?picture=" + trim(picture) +
        "','ViewPicture','width=500,height=500,scrollbars,resizable'); return false\">" +
        "<br><img src=\"images/special/" + picture + "\" width=60 border=0>" + "</a>";
  }
  details.cart = cartChoice(trim(product.field("priceOptions").text()), partNum, flag);
  return details;
}

bool hasOptions(db::Connection& conn, std::string& sql, const std::string& partNum) {
  sql = "select * from products where part_num='" + sqlEscape(partNum) + "' and (" +
        "showSizes <> 0 or showColors <> 0 or showStyles <> 0 or showTextures <> 0 or showFlavors "
        "<> 0 or "
        "showPackaging <> 0 or showSingle <> 0 or showGender <> 0)";
  return !conn.executeCached(sql).eof();
}

bool inStock(const Variant& qty) { return qty.isNumeric() && qty.number() > 0; }

std::string rowHead(const db::Recordset& rs, int index, const std::string& catColor,
                    bool vendorColumn, const char* flag, const std::string& priceText) {
  std::string html =
      std::string("<tr valign=\"top\"bgcolor=\"") + (index % 2 == 0 ? catColor : "#ffffff") + "\">";
  html += "<td>" + trim(rs.field("p_manu_part").text()) + "</td>";
  if (vendorColumn) html += "<td>" + textBefore(trim(rs.field("m_name").text()), "-") + "</td>";
  const std::string icon = statusIcon(trim(rs.field("p_status").text()));
  html += "<td>" + icon + (icon.empty() ? "" : "<br>");
  html += "<a class=\"slink2\" href=\"c_final.asp?featured=" + std::string(flag) +
          "&price=" + priceText + "&partno=" + rs.field("p_part_num").text() + "\">" +
          rs.field("p_descr").text() + "</a>";
  return html;
}

std::string optionsLink(const std::string& priceText, const std::string& partNum) {
  return "<br><br><a class=\"slink2\" href=\"c_final.asp?featured=True&price=" + priceText +
         "&partno=" + partNum + "\">Select additional product options</a>";
}

std::string stockCell(const std::string& partNum, const char* flag, bool inStock,
                      const std::string& qty) {
  return "<td align=\"center\"><a class=\"slink2\" "
         "href=\"cart.asp?action=add&amp;steps=1&amp;part_num=" +
         partNum + "&featured=" + flag + "\">" + (inStock ? qty : "Inquire") + "</a></td>";
}

std::string priceCell(bool inStock, bool showPrice, const std::string& priceText) {
  std::string cell = inStock ? "<b>" : "";
  if (showPrice && isNumeric(priceText)) {
    cell += "$" + displayMoney(val(priceText));
  } else {
    cell += "<a class=\"slink2\" href=\"contactus.asp\"><b>CALL</b></a>";
  }
  if (inStock) cell += "</b>";
  return cell;
}

}  // namespace kestrin::catalog

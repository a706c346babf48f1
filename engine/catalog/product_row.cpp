#include "product_row.h"

#include <array>
#include <optional>

#include "kestrin/error.h"
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

namespace {

// The key of a part number in a page's answers: its ASCII letters lower-cased, as both backends
// compare part numbers; nullopt for one with other characters.
std::optional<std::string> partKey(std::string_view partNum) {
  std::string key(partNum);
  for (char& ch : key) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte >= 0x80) return std::nullopt;
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return key;
}

std::string productsStatement(const std::string& partNum, const char* priceOptionsColumn) {
  return std::string("select picture,") + priceOptionsColumn + " from products where part_num='" +
         sqlEscape(partNum) + "'";
}

std::string picturesStatement(const std::string& partNum) {
  return "select * from pictures where part_num='" + sqlEscape(partNum) + "' order by positions";
}

std::string optionsStatement(const std::string& partNum) {
  return "select * from products where part_num='" + sqlEscape(partNum) + "' and (" +
         "showSizes <> 0 or showColors <> 0 or showStyles <> 0 or showTextures <> 0 or showFlavors "
         "<> 0 or "
         "showPackaging <> 0 or showSingle <> 0 or showGender <> 0)";
}

std::string pictureLink(const std::string& picture) {
  return "<a href=\"#\" onclick=\"javascript:window.open('viewpicture.asp?picture=" +
         trim(picture) +
         "','ViewPicture','width=500,height=500,scrollbars,resizable'); return false\">" +
         "<br><img src=\"images/special/" + picture + "\" width=60 border=0>" + "</a>";
}

}  // namespace

PageDetails PageDetails::read(db::Connection& conn, const std::vector<std::string>& partNums,
                              const char* priceOptionsColumn, bool withOptions) {
  PageDetails page;
  if (partNums.empty()) return page;
  std::string list;
  for (const std::string& partNum : partNums) {
    const std::optional<std::string> key = partKey(partNum);
    if (!key) return page;
    page.parts_.try_emplace(*key);
    list += (list.empty() ? "'" : ",'") + sqlEscape(partNum) + "'";
  }
  try {
    // The option test is the per-row statement's own condition, evaluated by the database.
    std::string statement = std::string("select part_num,picture,") + priceOptionsColumn;
    if (withOptions) {
      statement +=
          ",case when (showSizes <> 0 or showColors <> 0 or showStyles <> 0 or showTextures <> 0 "
          "or showFlavors <> 0 or showPackaging <> 0 or showSingle <> 0 or showGender <> 0) then 1 "
          "else 0 end as has_options";
    }
    statement += " from products where part_num in (" + list + ")";
    for (db::Recordset rs = conn.executeCached(statement); !rs.eof(); rs.moveNext()) {
      const std::optional<std::string> key = partKey(rs.field("part_num").text());
      if (!key) return {};
      auto it = page.parts_.find(*key);
      if (it == page.parts_.end() || it->second.found) continue;
      it->second.found = true;
      it->second.priceOptions = rs.field("priceOptions").text();
      if (withOptions) it->second.hasOptions = rs.field("has_options").number() != 0;
    }
    // The first picture of each part by position, ties in the order they were added.
    statement = "select part_num,picture from pictures where part_num in (" + list +
                ") order by positions,id";
    for (db::Recordset rs = conn.executeCached(statement); !rs.eof(); rs.moveNext()) {
      const std::optional<std::string> key = partKey(rs.field("part_num").text());
      if (!key) return {};
      auto it = page.parts_.find(*key);
      if (it == page.parts_.end() || it->second.hasPicture) continue;
      it->second.hasPicture = true;
      it->second.picture = rs.field("picture").text();
    }
  } catch (const Error&) {
    return {};
  }
  page.read_ = true;
  page.withOptions_ = withOptions;
  return page;
}

const PageDetails::Part* PageDetails::find(const std::string& partNum) const {
  if (!read_) return nullptr;
  const std::optional<std::string> key = partKey(partNum);
  if (!key) return nullptr;
  auto it = parts_.find(*key);
  return it == parts_.end() ? nullptr : &it->second;
}

std::vector<std::string> partNumbersAhead(db::Recordset& rs, int rows) {
  std::vector<std::string> partNums;
  try {
    for (int n = 0; n < rows && !rs.eof(); ++n, rs.moveNext())
      partNums.push_back(rs.field("p_part_num").text());
  } catch (const Error&) {
    // The row fails again when the page writes it.
  }
  return partNums;
}

ShopDetails lookUpShopDetails(db::Connection& conn, std::string& sql, const std::string& partNum,
                              const char* flag, const char* priceOptionsColumn,
                              const PageDetails* page) {
  ShopDetails details;
  sql = productsStatement(partNum, priceOptionsColumn);
  if (const PageDetails::Part* known = page ? page->find(partNum) : nullptr) {
    if (!known->found) {
      details.cart = buyButton(partNum, flag);
      return details;
    }
    details.found = true;
    sql = picturesStatement(partNum);
    if (known->hasPicture) details.picture = pictureLink(known->picture);
    details.cart = cartChoice(trim(known->priceOptions), partNum, flag);
    return details;
  }
  db::Recordset product = conn.executeCached(sql);
  if (product.eof()) {
    details.cart = buyButton(partNum, flag);
    return details;
  }
  details.found = true;
  sql = picturesStatement(partNum);
  db::Recordset pictures = conn.executeCached(sql);
  if (!pictures.eof()) details.picture = pictureLink(pictures.field("picture").text());
  details.cart = cartChoice(trim(product.field("priceOptions").text()), partNum, flag);
  return details;
}

bool hasOptions(db::Connection& conn, std::string& sql, const std::string& partNum,
                const PageDetails* page) {
  sql = optionsStatement(partNum);
  if (page && page->withOptions()) {
    if (const PageDetails::Part* known = page->find(partNum)) return known->hasOptions;
  }
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

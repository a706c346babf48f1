// The product page: header with price and subcategory picture; for a shop product its rich
// description with the gallery, or its technical data table, then the order form with options and
// the buy button of its price option; for a distributor product its description file and data
// sheet; then the related subcategories. Every step that fails is recorded and skipped, so the
// page is built as far as it can be and ends in the error form.
#include <map>
#include <optional>

#include "description_file.h"
#include "error_modes.h"
#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

namespace {

const char* const kNoTechSheet =
    "<br>Technical Specifications is not available for this product<br><br>";

// Whether the header of a shop product shows its price, by the price option: not for NULL,
// "call" or "n".
bool showsPriceLine(const Variant& option) {
  if (option.isNull()) return false;
  const std::string value = lower(trim(option.text()));
  if (value.empty() || isNumeric(value)) return true;
  return value != "call" && value != "n";
}

std::string button(const char* type, const char* value, const std::string& target) {
  return std::string("<input type=\"") + type + "\" class=\"button_orange\" value=\"" + value +
         "\" onClick=\"javascript:window.location='" + target + "';\">";
}

std::string hiddenField(const char* name, const std::string& value) {
  return std::string("<input type=\"hidden\" name=\"") + name + "\" value=\"" + value + "\">";
}

// The button under a shop product's order form, by its price option.
std::string orderButton(const Variant& option, const std::string& cartLink) {
  const std::string stored = trim(option.text());
  const std::string head = "<br><br>&nbsp;";
  if (option.isNull() || stored.empty() || isNumeric(stored))
    return head + button("submit", " Buy Now ", cartLink);
  const std::string value = lower(stored);
  if (value == "call") return head + button("button", " Call Now ", "contactus.asp");
  if (value == "n") return head + "</td><td align=\"right\" valign=\"top\">";
  if (value == "d") return head + button("submit", " DONATE ", cartLink);
  return head + button("button", " More Info ", stored);
}

std::string richText(const std::string& descr) {
  return replaceAll(replaceAll(trim(descr), "\r\n", "<br>"), "**", "<br>");
}

std::string fontTag(const std::string& face) { return "<font size=\"-1\" face=\"" + face + "\">"; }

// The rows of a data sheet whose value is not blank; `valueFont` wraps the value when set.
std::string techSheetRows(db::Recordset& spec, const std::string& face, bool valueFont) {
  std::string html;
  for (; !spec.eof(); spec.moveNext()) {
    const std::string value = spec.field("attr_vnme").text();
    if (trim(value).empty()) continue;
    html += "<tr><td bgcolor=\"dddddd\">" + fontTag(face) + "<b>" + spec.field("attr_nme").text() +
            "</b></font></td><td bgcolor=\"f2f2f2\">" +
            (valueFont ? fontTag(face) + value + "</font>" : value) + "</td></tr>";
  }
  return html;
}

}  // namespace

std::string eCat::displayDetail(const std::string& partno, const std::string& aPath,
                                const std::string& strImage, bool strCustDb,
                                const std::string& siteID, const std::string& sitePassword,
                                const std::string& customerid, I2 strPage,
                                const std::string& strSelectPic, const std::string& strPicID) {
  const std::string part = partno, sitePath = aPath, image = strImage, customer = customerid,
                    selectPic = strSelectPic, pictureId = strPicID;
  const I2 page = strPage;
  ContinueOnError steps;
  opendb(true, siteID, sitePassword);

  const char* flag = flagText(strCustDb);
  const std::string quoted = sqlEscape(part);
  const std::string cartLink =
      "cart.asp?action=add&steps=1&part_num=" + urlEncode(part) + "&featured=" + flag;
  db::Connection& catalog = catalogConn(strCustDb);

  // The product record stays in rstemp for the whole page. Later steps that the classic page
  // sends kx_getProdInfo for again, on the same connection, read this record instead. For an
  // unknown part number every read of a field fails, and its step with it.
  steps.run([&] {
    sql = "kx_getProdInfo '" + quoted + "'";
    rstemp = catalog.executeCached(sql);
  });

  std::string priceText;
  steps.run([&] {
    const Variant& cost = rstemp.field("cost");
    if (!cost.isNumeric()) return;
    const double base = cost.number();
    const float rate = getRates(rstemp.field("grp").text());
    const float discount = getDiscount(customer);
    priceText = plainMoney(base * rate * discount);
  });

  strR = "<table class=\"text\"><tr><td valign=\"top\" class=\"text\">";
  steps.run([&] { strR += "<b>Item:</b> " + trim(rstemp.field("descr").text()) + "<br>"; });
  steps.run([&] {
    // A distributor product has no price option of its own: its price is always shown.
    if (!strCustDb || showsPriceLine(rstemp.field("priceoptions")))
      strR += "<b>Price:</b> <font size=+1>$" + priceText + "</font><br>";
  });
  strR += "</td><td valign=\"top\" class=\"text\" align=\"center\">";
  steps.run([&] {
    sql = "select grp,cat,sub from products where part_num='" + quoted + "'";
    db::Recordset placed = conn.executeCached(sql);
    if (placed.eof()) return;
    sql = "select picture from comsub where grp='" + sqlEscape(trim(placed.field("grp").text())) +
          "' and cat='" + sqlEscape(trim(placed.field("cat").text())) + "' and sub='" +
          sqlEscape(trim(placed.field("sub").text())) + "'";
    db::Recordset sub = conn.executeCached(sql);
    if (sub.eof()) return;
    const std::string picture = trim(sub.field("picture").text());
    if (!picture.empty()) strR += "<img src=\"images/special/" + picture + "\" border=\"0\">";
  });
  strR += "</td></tr></table>";

  int optionsFlag = 0;
  if (strCustDb) {
    bool rich = false;
    steps.run([&] {
      sql = "kx_getTechSpecII '" + quoted + "'";
      rs = conn.executeCached(sql);
      rich = !rs.eof();
    });
    if (!rich) {
      steps.run([&] {
        sql = "kx_getTechSpec '" + quoted + "'";
        rs = conn.executeCached(sql);
        if (rs.eof()) {
          strR += kNoTechSheet;
          return;
        }
        std::string table = "<table border=\"0\" width=\"100%\"><tr><td valign=\"top\">";
        if (!rstemp.eof()) table += "<b>Item #: </b>" + rstemp.field("manu_part").text();
        table += "<br><br>&nbsp;" + button("button", " Buy Now ", cartLink) +
                 "</td><td align=\"right\" valign=\"top\">";
        if (!rstemp.eof() && !rstemp.field("picture").text().empty())
          table += "<img src=\"images/special/" + rstemp.field("picture").text() + "\">";
        table += "</td></tr>" + techSheetRows(rs, gfontName, false) + "</table>";
        strR += table;
      });
    } else {
      strR += "<table border=\"0\" width=\"100%\" class=\"text\"><tr><td colspan=\"2\">";
      steps.run([&] { strR += richText(rs.field("descr").text()) + "<br><br>"; });
      strR += "</td></tr><tr><td valign=\"top\" colspan=\"2\" align=\"left\">";
      steps.run([&] {
        if (!rstemp.eof()) strR += "<b>Item #: </b>" + rstemp.field("manu_part").text();
      });
      steps.run([&] { displayPictures(part, page); });
      strR += "</td></tr></table><br>";
    }

    strR += "<form action=\"cart.asp\" method=\"post\" name=\"form1\">" +
            hiddenField("action", "add") + hiddenField("steps", "1") +
            hiddenField("part_num", htmlEscape(part)) + hiddenField("featured", flag) +
            hiddenField("showpotions", "no");
    steps.run([&] { optionsFlag = displayOptions(part, selectPic, pictureId); });
    steps.run([&] { strR += orderButton(rstemp.field("priceoptions"), cartLink); });
  } else {
    strR += button("button", " Buy Now ", cartLink) + "<br><br>";

    const std::string file = product::descriptionFilePath(sitePath, part);
    if (!file.empty() && product::descriptionFileExists(file)) {
      strR += "<b>Item Description</b><br><br>";
      steps.run([&] { strR += product::readDescriptionFile(file); });
      strR += "<br><br>";
    }

    steps.run([&] {
      sql = "kx_getTechSpec '" + quoted + "'";
      rs = catalog.executeCached(sql);
      std::string sheet = rs.eof() ? kNoTechSheet : "";
      sheet +=
          "<table><tr><td valign=\"top\"><table border=\"0\" cellpadding=\"5\"><tr><td "
          "bgcolor=\"dddddd\"><b>Item #:</b></font></td><td bgcolor=\"f2f2f2\">";
      if (!rstemp.eof()) {
        sheet += "<font size=\"-1\" face=\"" + gfontName + "\" color=\"red\"><b>" +
                 rstemp.field("manu_part").text() + "</b></font>";
      }
      sheet += "</td></tr>" + techSheetRows(rs, gfontName, true) + "</table></td></tr></table>";
      strR += sheet;
    });
  }

  strR += hiddenField("prOptions", strCustDb ? std::to_string(optionsFlag) : "") +
          "</form><hr width=\"100%\" align=\"left\"><b>Related Items:</b><br>";
  // Without a product record there is no first word: rather than list every subcategory of the
  // catalog, the related items are left out.
  std::optional<std::string> word;
  steps.run([&] { word = textBefore(rstemp.field("descr").text(), " "); });
  if (word) steps.run([&] { appendRelatedItems(strCustDb ? conn : connTD, *word, flag, image); });

  steps.run([&] { closedb(); });
  EndCheckParts parts;
  parts.sql = sql;  // the end-check shows it escaped
  return endCheck(EndCheckForm::Detail, strR, parts);
}

void eCat::appendRelatedItems(db::Connection& catalog, const std::string& word, const char* flag,
                              const std::string& strImage) {
  sql = "select distinct grp,cat,sub from products where descr like '" + sqlEscape(word) +
        "' + '%' order by grp,cat,sub";
  db::Recordset rows = catalog.executeCached(sql);
  if (rows.eof()) {
    strR += "<br>No related items information available for this item.<br><br>";
    return;
  }

  auto describe = [&](std::string statement) -> std::string {
    sql = std::move(statement);
    db::Recordset found = catalog.executeCached(sql);
    return found.eof() ? std::string() : found.field("descr").text();
  };
  // A code without a description row has an empty description, so a subcategory that is not in
  // the menus gets no link (rather than the name of the row before). Groups and categories
  // repeat over the rows: each is looked up once, and only when its heading is written.
  std::map<std::string, std::string> groups, categories;
  auto cached = [&](std::map<std::string, std::string>& names, const std::string& key,
                    const std::string& statement) -> const std::string& {
    auto found = names.find(key);
    if (found == names.end()) found = names.emplace(key, describe(statement)).first;
    return found->second;
  };
  std::string previousGrp, previousCat;
  const std::string imageValue = htmlEscape(strImage);
  for (; !rows.eof(); rows.moveNext()) {
    const std::string grp = rows.field("grp").text();
    const std::string cat = rows.field("cat").text();
    const std::string sub = rows.field("sub").text();
    const std::string subName = describe("kx_subdescr '" + sqlEscape(grp) + "','" + sqlEscape(cat) +
                                         "','" + sqlEscape(sub) + "'");
    if (!subName.empty()) {
      if (grp != previousGrp)
        strR += "<br><b>" + trim(cached(groups, grp, "kx_grpdescr '" + sqlEscape(grp) + "'")) +
                "</b><br>";
      if (cat != previousCat) {
        strR += trim(cached(categories, grp + '\n' + cat,
                            "kx_catdescr '" + sqlEscape(grp) + "','" + sqlEscape(cat) + "'")) +
                "<br>";
      }
      strR += "<a class=\"link\" href=\"c_4b.asp?featured=" + std::string(flag) +
              "&filter=yes&key=" + word + "&image=" + imageValue + "&amp;subcategory=" + sub +
              "&amp;category=" + cat + "&amp;group=" + grp + "\">" + subName + "</a><br>";
    }
    previousCat = cat;
    previousGrp = grp;
  }
}

}  // namespace kestrin

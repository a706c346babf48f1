// The real-time stock check of the cart's first step: the product's price, then the stock
// statement. A shop product's stock is its own products row; a distributor product is asked at
// Tech Data through the exchange files and at Ingram Micro through the price-and-availability
// client, and the answers are combined with the shop's own count.
#include <cmath>
#include <memory>
#include <thread>

#include "delimited_items.h"
#include "distributors/exchange_files.h"
#include "error_modes.h"
#include "kestrin/ecat.h"
#include "kestrin/panda.h"
#include "text.h"

namespace kestrin {

namespace {

using distributors::exchangeFileName;
using distributors::exchangeFolder;
using distributors::findExchangeFile;
using distributors::requestText;

constexpr std::chrono::seconds kStockWait{5};

// Site preferences of the reseller's Ingram Micro account.
const char* const kPrefIMServer = "imServer";
const char* const kPrefIMCustomerNumber = "imCustomerNumber";
const char* const kPrefIMBranch = "imBranch";
const char* const kPrefIMPassword = "imPassword";

const char* const kPassed = "Passed";
const char* const kFailed = "Failed";

const char* const kNextCell = "</td><td align=\"right\" valign=\"top\">";

std::string red(const std::string& text) { return "<font color=\"red\">" + text + "</font>"; }

// A request value inside a single-quoted script string inside an attribute: the script escapes
// first, then the attribute's.
std::string scriptValue(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\' || c == '\'') out += '\\';
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return htmlEscape(out);
}

std::string backorderTarget(const std::string& partno, const char* featured) {
  return "backorder.asp?part_num=" + partno + "&featured=" + featured;
}

std::string buyTarget(const std::string& partno, const char* featured) {
  return "cart.asp?action=add&amp;steps=2&amp;part_num=" + partno +
         "&amp;qty=1&featured=" + featured;
}

std::string button(const char* label, const std::string& target) {
  return std::string("<input type=\"button\" value=\"") + label +
         "\" class=\"button_orange\" onClick=\"javascript:window.location='" + target + "';\">";
}

std::string backorderButton(const std::string& partno, const char* featured) {
  return button(" Backorder ", backorderTarget(scriptValue(partno), featured));
}

std::string buyButton(const std::string& partno, const char* featured) {
  return button(" Buy Now ", buyTarget(scriptValue(partno), featured));
}

std::string link(const std::string& target, const char* text) {
  return "<a href=\"" + target + "\">" + text + "</a>";
}

// A quantity of a distributor's answer as a number: numeric text, anything else 0.
double quantityOf(const std::string& text) {
  if (!isNumeric(text)) return 0;
  const double v = Variant(text).number();
  return std::isfinite(v) ? v : 0;
}

// What the checks of a distributor product found.
struct StockAnswers {
  std::string imStatus;     // "Passed", "Failed" or unset
  std::string imQty = "0";  // unset counts as 0
  std::string tdStatus;
  double tdQty = 0;
  bool localStock = false;
};

}  // namespace

void eCat::setStockWait(StockWait wait) { stockWait_ = std::move(wait); }

std::string eCat::RealInventory(const std::string& partno, const std::string& aPath,
                                const std::string& customerid, bool strCustDb) {
  const std::string part = partno;
  const std::string root = aPath;
  const std::string customer = customerid;

  sql = "kx_getProdInfo '" + sqlEscape(part) + "'";
  rs = catalogConn(strCustDb).execute(sql);
  const double cost = rs.field("cost").number();
  const std::string group = rs.field("grp").text();
  const std::string descr = rs.field("descr").text();

  double price;
  if (strCustDb) {
    price = static_cast<double>(getDiscount(customer)) * cost;
  } else {
    price = static_cast<double>(getRates(group)) * cost;
    price *= static_cast<double>(getDiscount(customer));
  }
  strR += "<b>Item: </b>" + descr + "<br>";
  strR += "<b>Price: </b> $" + plainMoney(price) + "</br>";

  CreateThefile(part, root);
  if (stockWait_) {
    stockWait_(kStockWait);
  } else {
    std::this_thread::sleep_for(kStockWait);
  }
  ReadTheFile(part, root, strCustDb);
  DeleteTheFile(part, root);
  return {};
}

void eCat::CreateThefile(const std::string& partno, const std::string& aPath) {
  const std::string part = partno;
  const std::string folder = exchangeFolder(aPath);
  std::string path = folder;
  withHandler(
      [&] {
        const std::string name = exchangeFileName(part, ".tdn");
        path += name;
        // An earlier request of the part, whatever the case of its name, is the one replaced.
        const std::string existing = findExchangeFile(folder, name);
        distributors::writeExchangeFile(existing.empty() ? path : existing, requestText(part));
      },
      [&] {
        const ErrorRecord& e = currentError();
        strR += "Error while creating TDO file ::" + e.description + e.source + "<br>" +
                htmlEscape(path) + "<br><br>";
      });
}

void eCat::DeleteTheFile(const std::string& partno, const std::string& aPath) {
  const std::string folder = exchangeFolder(aPath);
  for (const char* extension : {".tdS", ".tdn"}) {
    const std::string found = findExchangeFile(folder, exchangeFileName(partno, extension));
    if (!found.empty()) distributors::deleteExchangeFile(found);
  }
}

std::string eCat::getQty(const std::string& part_num) {
  const std::string part = part_num;
  // The preference lookups leave their values in strR, which holds the caller's page.
  const std::string page = strR;
  return withHandler(
      [&] {
        auto setting = [&](const char* name) {
          std::string value = getPref(name, "opendb", "", "");
          return value == "n/a" ? std::string() : value;
        };
        PandA request;
        auto trans = std::make_shared<Transaction>();
        request.setTrans(trans);
        trans->Server = setting(kPrefIMServer);
        trans->Region = "P";
        trans->CustomerNumber = setting(kPrefIMCustomerNumber);
        trans->CustomerBranch = setting(kPrefIMBranch);
        trans->Password = setting(kPrefIMPassword);
        trans->Country = "MD";
        strR = page;

        Part& first = request.Parts()(1);
        first.TotalAvailable = "Y";
        first.QtyToCheck = "1";
        first.PartNumber = part;
        request.Transact();
        // A part the server could not answer for (unknown, discontinued, ...) has no quantity.
        return first.ResponseFlag == "E" ? std::string("Error") : first.Available;
      },
      [&] {
        strR = page;
        return std::string("Error");
      });
}

void eCat::ReadTheFile(const std::string& partno, const std::string& aPath, bool strCustDb) {
  ContinueOnError steps;
  const char* featured = flagText(strCustDb);
  const std::string linkPart = htmlEscape(partno);

  if (strCustDb) {
    double qty = 0;
    std::string noStock;
    steps.run([&] {
      sql = "select qty,noStock from products where part_num='" + sqlEscape(partno) + "'";
      rs = conn.execute(sql);
    });
    steps.run([&] { qty = rs.field("qty").number(); });
    steps.run([&] { noStock = rs.field("noStock").text(); });
    if (qty < 1) {
      strR += "Quantity in stock: " + countText(qty) + "<br>";
      strR += red("*Most items usually shipped in 3 to 5 days.") + "<br>";
      strR += "<br><br>&nbsp;" + backorderButton(partno, featured) + kNextCell;
    } else {
      strR +=
          noStock == "1" ? std::string("<br>") : "Quantity in stock: " + countText(qty) + "<br>";
      strR += "<br><br>&nbsp;" + buyButton(partno, featured) + kNextCell;
    }
    return;
  }

  StockAnswers found;

  // Ingram Micro: its own part number from its catalog, then its quantity from its server.
  if (varCheckIM != "yes" || connStringIM.empty()) {
    found.imQty = "0";
    found.imStatus = kFailed;
  } else {
    std::string manuPart;
    bool haveManuPart = steps.run([&] {
      sql = "select manu_part from products where part_num='" + sqlEscape(partno) + "'";
      rstemp = catalogConn(strCustDb).execute(sql);
      manuPart = trim(rstemp.field("manu_part").text());
    });
    db::Connection ingram;
    bool opened = steps.run([&] { ingram.open(connStringIM); });
    bool looked = haveManuPart && opened && steps.run([&] {
      sql = "select part_no,descript1,descript2 from catalog where vend_part = '" +
            sqlEscape(manuPart) + "'";
      rs = ingram.execute(sql);
    });
    if (looked) {
      if (rs.eof()) {
        found.imQty = "0";
        found.imStatus = kFailed;
      } else {
        std::string ingramPart;
        if (steps.run([&] { ingramPart = trim(rs.field("part_no").text()); })) {
          found.imQty = getQty(ingramPart);
          if (isNumeric(found.imQty) && quantityOf(found.imQty) > 0) found.imStatus = kPassed;
        }
      }
    }
    steps.run([&] {
      rs = db::Recordset();
      ingram.close();
    });
  }

  // Tech Data: the exchange agent's response file.
  std::string response;
  steps.run([&] {
    response = findExchangeFile(exchangeFolder(aPath), exchangeFileName(partno, ".tds"));
  });
  if (response.empty()) {
    found.tdStatus = kFailed;
  } else {
    steps.run([&] {
      for (const std::string& item : readDelimitedItems(distributors::readResponseFile(response))) {
        const std::vector<std::string> fields = split(item, "~");
        if (fields[0] == "REF") {
          if (found.imQty == "0" || found.imQty == "Error") found.tdStatus = kFailed;
        } else if (fields[0] == "QTY") {
          found.tdStatus = kPassed;
          found.tdQty = fields.size() > 1 ? quantityOf(fields[1]) : 0;
        }
      }
    });
  }

  // The shop's own count of the product.
  steps.run([&] {
    sql = "select qty from products where part_num='" + sqlEscape(partno) + "'";
    rs = catalogConn(strCustDb).execute(sql);
    found.localStock = roundHalfEven(rs.field("qty").number(), 0) > 0;
  });

  const bool imPassed = found.imStatus == kPassed;
  const bool tdPassed = found.tdStatus == kPassed;
  if (!imPassed && !tdPassed) {
    strR +=
        "<br><b><font color=\"navy\">Real Time Inventory information is not available for "
        "this item.</font></b><br><br>";
    strR += red("*Itemusually shipped in 24 to 48 hours.") + "<br>";
    strR +=
        "*You will be notified within 48 hours (Mon-Fri) about availability of this item.<br><br>";
    strR += "<br><br>&nbsp;" + backorderButton(partno, featured);
    if (found.localStock) strR += "&nbsp;" + buyButton(partno, featured);
    return;
  }

  double total = 0;
  if (tdPassed) total = found.tdQty;
  if (imPassed) total = quantityOf(found.imQty) + found.tdQty;
  if (total <= 0) {
    strR += "Quantity in stock: " + red(countText(total)) + "<br>";
    strR += red("*") + red("Most items usually shipped in 3 to 5 days.") + "<br><br>";
    strR += link(backorderTarget(linkPart, featured), "Backorder Now");
    if (found.localStock) strR += link(buyTarget(linkPart, featured), "Buy Now") + "<br><br>";
  } else {
    strR += "*Quantity in stock: " + red(countText(total)) + "<br><br>";
    strR += link(buyTarget(linkPart, featured), "Buy Now") + "<br>";
  }
}

}  // namespace kestrin

// compare.asp: products side by side. The listings' "compare" link (partno, featured) puts a
// product on the shopper's comparison list, kept in a cookie of its own (up to four products,
// nothing stored on the server); the page shows picture, item number, manufacturer, price as
// the product page computes it (cost, group markup, customer discount), stock, the cart button
// and the technical data of each.
#include <algorithm>

#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

constexpr const char* kCompareCookie = "KESTRIN_COMPARE";
constexpr size_t kMaxCompared = 4;

struct Compared {
  bool shopProduct = true;  // featured=True: the shop's own catalog
  std::string partno;
  bool operator==(const Compared&) const = default;
};

// The cookie's list: "T:" or "F:" and a part number, separated by ","; entries that could not
// have been written by this page are dropped.
std::vector<Compared> readList(PageContext& ctx) {
  std::vector<Compared> list;
  std::string raw = urlDecode(cookieValue(ctx.request.header("cookie"), kCompareCookie));
  for (const std::string& entry : split(raw, ",")) {
    if (entry.size() < 3 || entry[1] != ':' || (entry[0] != 'T' && entry[0] != 'F')) continue;
    Compared c{entry[0] == 'T', entry.substr(2)};
    if (!isPartNumber(c.partno) || trim(c.partno).empty()) continue;
    if (std::find(list.begin(), list.end(), c) != list.end()) continue;
    if (list.size() < kMaxCompared) list.push_back(std::move(c));
  }
  return list;
}

std::string cookieFor(const std::vector<Compared>& list) {
  std::string value;
  for (const Compared& c : list) {
    value += (value.empty() ? "" : ",") + std::string(c.shopProduct ? "T:" : "F:") + c.partno;
  }
  return std::string(kCompareCookie) + "=" + urlEncode(value) + "; Path=/; HttpOnly; SameSite=Lax" +
         (list.empty() ? "; Max-Age=0" : "");
}

bool featuredFlag(PageContext& ctx) {
  std::string f = lower(trim(ctx.value("featured")));
  if (f == "true" || f.empty()) return true;
  if (f == "false") return false;
  throw BadValue("featured", ctx.value("featured"), "featured is True or False");
}

struct ProductFacts {
  bool found = false;
  std::string descr, manuPart, manufacturer, picture, priceCell, stock, cartButton;
  std::vector<std::pair<std::string, std::string>> specs;  // name, value
};

std::string productLink(const Compared& c) {
  return "c_final.asp?featured=" + std::string(flagText(c.shopProduct)) +
         "&amp;partno=" + urlEncode(c.partno);
}

// What the listings show of a product, read on the engine's open session so that the catalog
// connection rule and the prices (markup and customer discount) are the engine's own.
ProductFacts readProduct(eCat& cat, const Compared& c, const std::string& customerid) {
  ProductFacts f;
  db::Connection& catalog = cat.optTDdata == "yes" && !c.shopProduct ? cat.connTD : cat.conn;
  std::string part = "'" + sqlEscape(c.partno) + "'";
  db::Recordset rs = catalog.execute(
      "select part_num, manu_part, descr, grp, vend_code, qty, cost, picture, priceOptions, "
      "noStock from products where part_num=" +
      part);
  if (rs.eof()) return f;
  f.found = true;
  f.descr = trim(rs.field("descr").text());
  f.manuPart = trim(rs.field("manu_part").text());
  f.picture = trim(rs.field("picture").text());
  std::string group = trim(rs.field("grp").text());
  std::string vendor = trim(rs.field("vend_code").text());
  const Variant& cost = rs.field("cost");
  const Variant& qtyField = rs.field("qty");
  double qty = qtyField.isNumeric() ? qtyField.number() : 0;
  // A distributor product has no price option of its own: its price is always shown.
  std::string options = c.shopProduct ? lower(trim(rs.field("priceOptions").text())) : "";
  bool noStockCount = trim(rs.field("noStock").text()) == "1";
  bool priceShown = options.empty() || isNumeric(options) || options == "d";
  std::string price;
  if (priceShown && cost.isNumeric()) {
    double value = finiteNumber(cost.number()) * cat.getRates(group) * cat.getDiscount(customerid);
    price = "$" + displayMoney(value);
  }
  rs.close();

  if (!vendor.empty()) {
    db::Recordset m =
        catalog.execute("select vend_name from manuf where vend_code='" + sqlEscape(vendor) + "'");
    f.manufacturer = m.eof() ? vendor : trim(m.field("vend_name").text());
  }
  if (options == "call") {
    f.priceCell = "<a class=\"slink2\" href=\"contactus.asp\"><b>CALL</b></a>";
  } else if (!priceShown) {
    f.priceCell = "<a class=\"slink2\" href=\"" + productLink(c) + "\">See the product page</a>";
  } else {
    f.priceCell = price.empty() ? "<a class=\"slink2\" href=\"contactus.asp\"><b>CALL</b></a>"
                                : "<b>" + price + "</b>";
  }
  if (qty > 0) {
    f.stock = noStockCount ? "In stock" : "In stock (" + countText(qty) + ")";
  } else {
    f.stock = "Out of stock";
  }
  if (priceShown && EngineCaller::has("cartADD")) {
    f.cartButton = "<a href=\"cart.asp?action=add&amp;steps=1&amp;part_num=" + urlEncode(c.partno) +
                   "&amp;qty=1&amp;featured=" + flagText(c.shopProduct) + "\"><img src=\"images/" +
                   (options == "d" ? "donate" : "buy") + ".gif\" border=0 alt=\"Buy\"></a>";
  }
  db::Recordset spec = catalog.execute("kx_getTechSpec " + part);
  for (; !spec.eof(); spec.moveNext()) {
    f.specs.emplace_back(trim(spec.field("attr_nme").text()), trim(spec.field("attr_vnme").text()));
  }
  return f;
}

std::string comparisonTable(PageContext& ctx, const std::vector<Compared>& list) {
  eCat cat;
  cat.opendb(true, ctx.shop.engine().siteId(), ctx.shop.engine().password());
  std::vector<ProductFacts> facts;
  for (const Compared& c : list) facts.push_back(readProduct(cat, c, ctx.customerId()));
  cat.closedb();

  auto row = [&](const char* label, auto cell) {
    std::string html = std::string("<tr><th>") + label + "</th>";
    for (size_t i = 0; i < list.size(); ++i) {
      html += "<td>" + (facts[i].found ? cell(list[i], facts[i]) : std::string()) + "</td>";
    }
    return html + "</tr>";
  };
  std::string html = "<table class=\"compare\"><tr><th></th>";
  for (size_t i = 0; i < list.size(); ++i) {
    const Compared& c = list[i];
    const ProductFacts& f = facts[i];
    html += "<td>";
    if (!f.found) {
      html += "<b>" + htmlEscape(c.partno) + "</b><br>This product is no longer in the catalog.";
    } else {
      if (!f.picture.empty()) {
        html += "<a href=\"" + productLink(c) + "\"><img src=\"images/special/" +
                urlEncode(f.picture) + "\" alt=\"\" class=\"comparepic\"></a><br>";
      }
      html += "<a class=\"slink2\" href=\"" + productLink(c) + "\">" + htmlEscape(f.descr) + "</a>";
    }
    html += "<br><a class=\"slink\" href=\"compare.asp?action=remove&amp;partno=" +
            urlEncode(c.partno) + "&amp;featured=" + flagText(c.shopProduct) + "\">Remove</a></td>";
  }
  html += "</tr>";
  html +=
      row("Item #", [](const Compared&, const ProductFacts& f) { return htmlEscape(f.manuPart); });
  html += row("Manufacturer",
              [](const Compared&, const ProductFacts& f) { return htmlEscape(f.manufacturer); });
  html += row("Price", [](const Compared&, const ProductFacts& f) { return f.priceCell; });
  html += row("Stock", [](const Compared&, const ProductFacts& f) { return htmlEscape(f.stock); });
  if (EngineCaller::has("cartADD")) {
    html += row("Cart", [](const Compared&, const ProductFacts& f) { return f.cartButton; });
  }
  // The technical data, one row per attribute that any of the products has.
  std::vector<std::string> names;
  for (const ProductFacts& f : facts) {
    for (const auto& spec : f.specs) {
      if (std::find(names.begin(), names.end(), spec.first) == names.end()) {
        names.push_back(spec.first);
      }
    }
  }
  for (const std::string& name : names) {
    html += "<tr><th>" + htmlEscape(name) + "</th>";
    for (size_t i = 0; i < list.size(); ++i) {
      std::string value;
      for (const auto& spec : facts[i].specs) {
        if (spec.first == name) value += (value.empty() ? "" : "; ") + spec.second;
      }
      html += "<td>" + (value.empty() ? std::string("&ndash;") : htmlEscape(value)) + "</td>";
    }
    html += "</tr>";
  }
  return html + "</table>";
}

HttpResponse comparePage(PageContext& ctx) {
  std::vector<Compared> list = readList(ctx);
  std::vector<Compared> before = list;
  std::string action = ctx.value("action");
  std::string notice;
  if (action == "clear") {
    list.clear();
  } else if (action == "remove" || action == "add" || action.empty()) {
    std::string part = trim(partNumber(ctx, "partno"));
    if (!part.empty()) {
      Compared c{featuredFlag(ctx), part};
      std::erase(list, c);
      if (action != "remove") {
        if (list.size() == kMaxCompared) {
          notice = "<div class=\"stext\">Up to " + std::to_string(kMaxCompared) +
                   " products can be compared; " + htmlEscape(list.front().partno) +
                   " has been taken off the list.</div>";
          list.erase(list.begin());
        }
        list.push_back(std::move(c));
      }
    }
  } else {
    throw BadValue("action", action, "this page adds, removes or clears");
  }

  std::string html = heading("Compare products") + notice;
  if (list.empty()) {
    html +=
        "<p class=\"text\">There is nothing to compare yet. Click <b>compare</b> beside a "
        "product's price in a listing to add it here.</p>";
  } else {
    html += comparisonTable(ctx, list);
    html +=
        "<p class=\"stext\">Add more products with the <b>compare</b> link beside a price "
        "(up to " +
        std::to_string(kMaxCompared) +
        "). <a class=\"slink\" href=\"compare.asp?action=clear\">Clear the list</a></p>";
  }
  HttpResponse r = ctx.page("Compare products", html);
  if (list != before) r.addHeader("Set-Cookie", cookieFor(list));
  return r;
}

}  // namespace

void addComparePage(Shop& shop) { shop.addPage("compare.asp", comparePage); }

}  // namespace kestrin::shop

#include "order_records.h"

#include <cmath>

#include "text.h"

namespace kestrin::shop {

namespace {

double numberOf(const Variant& v) { return v.isNumeric() ? finiteNumber(v.number()) : 0; }

std::string textOf(const db::Recordset& rs, const char* name) {
  return trim(rs.field(name).text());
}

std::string money(double value) { return "$" + displayMoney(value); }

// Lines of an address block, each escaped, the empty ones left out.
std::string addressBlock(const std::vector<std::string>& lines) {
  std::string html;
  for (const std::string& line : lines) {
    if (trim(line).empty()) continue;
    html += (html.empty() ? "" : "<br>") + htmlEscape(trim(line));
  }
  return html;
}

std::string cityLine(const std::string& city, const std::string& state, const std::string& zip) {
  std::string line = city;
  if (!state.empty()) line += (line.empty() ? "" : ", ") + state;
  if (!zip.empty()) line += (line.empty() ? "" : " ") + zip;
  return line;
}

std::string factRow(const char* label, const std::string& value) {
  if (value.empty()) return {};
  return std::string("<tr><th>") + label + "</th><td>" + htmlEscape(value) + "</td></tr>";
}

std::string payment(const OrderRecord& o) {
  std::string text = o.paymethod;
  // Only the last four digits of a card number are ever shown.
  std::string card = o.ccnumber;
  if (!card.empty()) text += " ending in " + card.substr(card.size() > 4 ? card.size() - 4 : 0);
  if (!o.cknumber.empty()) text += ", check " + o.cknumber;
  return text;
}

}  // namespace

bool isOrderId(const std::string& id) {
  if (id.empty() || id.size() > 20) return false;
  for (char c : id) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool isTrackingNumber(const std::string& value) {
  if (value.size() > 40) return false;
  for (char c : value) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != ' ' && c != '-') return false;
  }
  return true;
}

bool isStatusText(const std::string& value) {
  std::string t = trim(value);
  if (t.empty() || utf8Length(t) > 40) return false;
  for (unsigned char c : t) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

std::optional<OrderRecord> loadOrder(db::Connection& conn, const std::string& orderid) {
  db::Recordset rs =
      conn.execute("select * from orderinfo where orderid='" + sqlEscape(orderid) + "'");
  if (rs.eof()) return std::nullopt;
  OrderRecord o;
  o.orderid = textOf(rs, "orderid");
  o.customerid = textOf(rs, "customerid");
  o.date = textOf(rs, "date");
  o.status = textOf(rs, "status");
  o.paymethod = textOf(rs, "paymethod");
  o.ccnumber = textOf(rs, "ccnumber");
  o.cknumber = textOf(rs, "cknumber");
  o.ponum = textOf(rs, "ponum");
  o.smethod = textOf(rs, "smethod");
  o.shipcompan = textOf(rs, "shipcompan");
  o.shipname = textOf(rs, "shipname");
  o.shipaddres = textOf(rs, "shipaddres");
  o.shipcity = textOf(rs, "shipcity");
  o.shipstate = textOf(rs, "shipstate");
  o.shipzip = textOf(rs, "shipzip");
  o.shipcountr = textOf(rs, "shipcountr");
  o.shiptrack = textOf(rs, "shiptrack");
  o.shipdate = textOf(rs, "shipdate");
  o.total = numberOf(rs.field("total"));
  o.tax = numberOf(rs.field("tax"));
  o.shipcost = numberOf(rs.field("shipcost"));
  o.handling = numberOf(rs.field("handling"));
  rs.close();

  // The lines in the order they were written (id is the key column of orderdetail).
  db::Recordset lines =
      conn.execute("select partno, descr, price, qty, status from orderdetail " +
                   std::string("where detailid='") + sqlEscape(orderid) + "' order by id");
  for (; !lines.eof(); lines.moveNext()) {
    OrderLine line;
    line.partno = textOf(lines, "partno");
    line.descr = textOf(lines, "descr");
    line.status = textOf(lines, "status");
    line.price = numberOf(lines.field("price"));
    line.qty = static_cast<long long>(std::llround(numberOf(lines.field("qty"))));
    o.lines.push_back(std::move(line));
  }
  lines.close();

  if (!o.customerid.empty()) {
    db::Recordset c =
        conn.execute("select * from customer where customerid='" + sqlEscape(o.customerid) + "'");
    if (!c.eof()) {
      o.hasCustomer = true;
      std::string name = textOf(c, "fname");
      for (const char* part : {"mname", "lname"}) {
        std::string p = textOf(c, part);
        if (!p.empty()) name += (name.empty() ? "" : " ") + p;
      }
      o.customerName = name;
      o.company = textOf(c, "cname");
      o.address = textOf(c, "address");
      o.city = textOf(c, "city");
      o.state = textOf(c, "state");
      o.zip = textOf(c, "zip");
      o.country = textOf(c, "country");
      o.phone = textOf(c, "phone");
      o.email = textOf(c, "email");
    }
  }
  return o;
}

std::string lineStatusText(const std::string& status) {
  std::string s = trim(status);
  return s == "New-Paid" || s == "New-Unpaid" ? std::string("Processing") : s;
}

std::string invoiceSections(const OrderRecord& o, const SiteLook& look) {
  std::string html =
      "<div class=\"invoice-head\"><div class=\"invoice-from\"><b>" + htmlEscape(look.company) +
      "</b><br>" +
      addressBlock({look.address, cityLine(look.city, look.state, look.zip), look.country,
                    look.phone1.empty() ? "" : "Phone " + look.phone1, look.email}) +
      "</div><table class=\"invoice-facts\">" + factRow("Order #", o.orderid) +
      factRow("Date", o.date) + factRow("Customer #", o.customerid) + factRow("PO #", o.ponum) +
      factRow("Status", o.status) + factRow("Payment", payment(o)) + "</table></div>";

  std::string billTo =
      o.hasCustomer ? addressBlock({o.customerName, o.company, o.address,
                                    cityLine(o.city, o.state, o.zip), o.country, o.phone, o.email})
                    : htmlEscape(o.customerid);
  std::string shipTo = addressBlock({o.shipname, o.shipcompan, o.shipaddres,
                                     cityLine(o.shipcity, o.shipstate, o.shipzip), o.shipcountr});
  std::string shipping;
  if (!o.smethod.empty()) shipping += "Ship via " + htmlEscape(o.smethod);
  if (!o.shipdate.empty())
    shipping += (shipping.empty() ? "Shipped " : ", shipped ") + htmlEscape(o.shipdate);
  if (!o.shiptrack.empty()) {
    shipping += (shipping.empty() ? "" : "<br>") +
                std::string("Tracking # <a href=\"upstrack.asp?action=track&amp;id=") +
                urlEncode(o.shiptrack) + "\">" + htmlEscape(o.shiptrack) + "</a>";
  }
  html += "<div class=\"invoice-parties\"><div><h2>Bill to</h2>" + billTo +
          "</div><div><h2>Ship to</h2>" + shipTo +
          (shipping.empty() ? "" : "<p>" + shipping + "</p>") + "</div></div>";

  html +=
      "<table class=\"invoice-lines\"><tr><th>Item #</th><th>Description</th><th>Qty</th>"
      "<th>Unit price</th><th>Amount</th><th>Status</th></tr>";
  double subtotal = 0;
  for (const OrderLine& line : o.lines) {
    double amount = roundHalfEven(line.price * static_cast<double>(line.qty), 2);
    subtotal += amount;
    html += "<tr><td>" + htmlEscape(line.partno) + "</td><td>" + htmlEscape(line.descr) +
            "</td><td class=\"num\">" + std::to_string(line.qty) + "</td><td class=\"num\">" +
            money(line.price) + "</td><td class=\"num\">" + money(amount) + "</td><td>" +
            htmlEscape(lineStatusText(line.status)) + "</td></tr>";
  }
  if (o.lines.empty()) html += "<tr><td colspan=\"6\">This order has no lines.</td></tr>";
  html += "</table><table class=\"invoice-totals\"><tr><th>Subtotal</th><td>" + money(subtotal) +
          "</td></tr><tr><th>Shipping</th><td>" + money(o.shipcost) +
          "</td></tr><tr><th>Handling</th><td>" + money(o.handling) +
          "</td></tr><tr><th>Tax</th><td>" + money(o.tax) +
          "</td></tr><tr class=\"grand\"><th>Total</th><td>" + money(o.total) +
          "</td></tr></table>";
  return html;
}

std::string invoiceDocument(const OrderRecord& o, const SiteLook& look) {
  std::string shopName = look.company.empty() ? look.title : look.company;
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Invoice " +
         htmlEscape(o.orderid) + (shopName.empty() ? "" : " - " + htmlEscape(shopName)) +
         "</title><link rel=\"stylesheet\" href=\"style.css\"></head>\n<body class=\"invoice\">"
         "<h1>Invoice " +
         htmlEscape(o.orderid) + "</h1>" + invoiceSections(o, look) +
         "<p class=\"invoice-thanks\">Thank you for your order.</p>"
         "<p class=\"noprint\"><button type=\"button\" class=\"button_orange\" "
         "onclick=\"window.print()\">Print this invoice</button></p>\n</body></html>\n";
}

}  // namespace kestrin::shop

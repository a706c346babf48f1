// The order history page of a logged-on customer: the lines of their orders of the last 30 days
// with price, status and tracking, invoice links, and check boxes to return or cancel lines.
#include <chrono>
#include <optional>

#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

namespace {

// Orders younger than this many whole days are shown.
constexpr int kWindowDays = 30;

// A stored order date, month/day/year; nothing when the text is no such date.
std::optional<std::chrono::sys_days> parseOrderDate(const std::string& text) {
  const std::vector<std::string> parts = split(trim(text), "/");
  if (parts.size() != 3) return std::nullopt;
  int numbers[3];
  for (int i = 0; i < 3; ++i) {
    const std::string& part = parts[static_cast<size_t>(i)];
    if (part.empty() || part.size() > 4 ||
        part.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    numbers[i] = std::stoi(part);
  }
  const std::chrono::year_month_day date{std::chrono::year(numbers[2]),
                                         std::chrono::month(static_cast<unsigned>(numbers[0])),
                                         std::chrono::day(static_cast<unsigned>(numbers[1]))};
  if (!date.ok()) return std::nullopt;
  return std::chrono::sys_days(date);
}

std::chrono::sys_days today() {
  const std::tm now = localNow();
  return std::chrono::sys_days(
      std::chrono::year_month_day{std::chrono::year(now.tm_year + 1900),
                                  std::chrono::month(static_cast<unsigned>(now.tm_mon + 1)),
                                  std::chrono::day(static_cast<unsigned>(now.tm_mday))});
}

bool isShipped(const std::string& status) { return lower(status.substr(0, 4)) == "ship"; }

// The identity of a line in its check boxes' names: part|description|order, blanks as "+".
std::string lineKey(const std::string& partno, const std::string& descr,
                    const std::string& orderId) {
  return trim(partno) + "|" + replaceAll(trim(descr), " ", "+") + "|" + orderId;
}

}  // namespace

std::string eCat::OrderStatus(const std::string& customerid, const std::string& siteID,
                              const std::string& sitePassword) {
  const std::string customer = customerid;
  opendb(true, siteID, sitePassword);
  const std::string font = "face=\"" + gfontName + "\"";
  std::string html =
      "<h4>Summary of your order(s)</h4><i>Note: Only orders that are less than 30 days old are "
      "displayed.</i><br>";
  sql = "select * from orderinfo where customerid='" + sqlEscape(customer) + "' order by orderid";
  db::Recordset order = conn.execute(sql);

  html +=
      "<form method=\"post\" action=\"update_orders.asp\"><input type=\"hidden\" name=\"action\" "
      "value=\"confirm\"><font color=\"green\" size=-2>Click on the <b>Order #</b> for a "
      "printable invoice.<br>Click on <b>Tracking #</b> to track order shipment(if "
      "available).<br></font>";
  html +=
      "<table BORDER=\"1\" CELLSPACING=\"0\" CELLPADDING=\"0\"><tr><td>"
      "<table BORDER=\"0\" CELLPADDING=\"5\" CELLSPACING=\"0\">";
  auto heading = [&](const char* title, const char* cellAttributes = "") {
    return std::string("<td nowrap") + cellAttributes + "><font " + font + " size=\"-1\"><b>" +
           title + "</b></font></td>";
  };
  html += "<tr BGCOLOR=\"#ffce00\">" + heading("Order #") + heading("Item #") +
          heading("Description") + heading("Qty", " align=\"right\"") + heading("Cost(each)") +
          heading("Status");
  // The tracking column follows the customer's first order, shown or not.
  if (!order.eof() && isShipped(trim(order.field("status").text())))
    html +=
        "<td nowrap><font " + font + " size=\"-1\" color=\"navy\"><b>Tracking #</b></font></td>";
  html += "<td nowrap align=\"center\" width=\"80\"><font " + font +
          " size=\"-1\"><b>Action</b></font></td></tr>";

  const std::chrono::sys_days now = today();
  int shown = 0;
  for (; !order.eof(); order.moveNext()) {
    const std::optional<std::chrono::sys_days> date = parseOrderDate(order.field("date").text());
    if (!date) raise(kErrTypeMismatch, "Type mismatch", "kestrin");
    if ((now - *date).count() >= kWindowDays) continue;

    const std::string orderId = order.field("orderid").text();
    const std::string rowColor = shown++ % 2 == 0 ? "bgcolor=#ffffff" : "bgcolor=#f3ebcd";
    const std::string shipMethod = trim(order.field("smethod").text());
    const std::string tracking = trim(order.field("shiptrack").text());
    sql = "select * from orderdetail where detailid='" + sqlEscape(orderId) + "'";
    for (db::Recordset line = conn.execute(sql); !line.eof(); line.moveNext()) {
      const std::string partno = line.field("partno").text();
      const std::string descr = line.field("descr").text();
      const Variant& price = line.field("price");
      const std::string lineStatus = trim(line.field("status").text());
      const std::string statusText =
          lineStatus == "New-Paid" || lineStatus == "New-Unpaid" ? "Processing" : lineStatus;
      const std::string key = lineKey(partno, descr, orderId);

      html += "<tr " + rowColor + "><td><font size=\"-2\" " + font +
              "><a href=\"invoice.asp?id=" + orderId + "\" target=\"_new\">" + orderId +
              "</a></font></td><td><font size=\"-2\" " + font + ">" + partno +
              "</font></td><td><font size=\"-1\" " + font +
              "><a href=\"c_final.asp?featured=&price=" + price.text() + "&amp;partno=" + partno +
              "\">" + trim(descr) + "</a><br></font></td><td align=\"right\"><font size=\"-1\" " +
              font + ">" + trim(line.field("qty").text()) +
              "</font></td><td align=\"center\"><font size=\"-1\" " + font + ">$" +
              displayMoney(price.isNull() ? 0 : price.number()) +
              "</font></td><td align=\"center\"><font size=\"-1\" " + font + " color=\"green\">" +
              statusText + "</font></td>";
      if (isShipped(statusText)) {
        html += "<td align=\"center\" valign=\"center\"><font " + font + " size=-2>" + shipMethod +
                "<br><a href=\"upstrack.asp?action=track&id=" + tracking + "\">" + tracking +
                "</a></font></td>";
      }
      const char* returnOff =
          lineStatus == "Returned" || lineStatus == "Cancelled" ? " disabled" : "";
      const char* cancelOff = lineStatus == "Cancelled" ? " disabled" : "";
      html += "<td align=\"center\" width=\"80\"><font size=\"-2\" " + font +
              "><input type=\"checkbox\" name=\"return|" + key + "\"" + returnOff +
              "> Return<br><input type=\"checkbox\" name=\"cancel|" + key + "\" id=\"checkbox1\"" +
              cancelOff + "> Cancel</font></td></tr>";
    }
  }
  html +=
      "</table></td></tr></table><br><p align=\"right\"><input type=\"submit\" "
      "value=\"Return/Cancel\" style=\"BACKGROUND: #00009f; COLOR: rgb(255,255,255); "
      "FONT-STYLE: normal; FONT-VARIANT: normal; FONT-WEIGHT: bold\"></p></form><br>";
  strR = html;
  closedb();
  return strR;
}

}  // namespace kestrin

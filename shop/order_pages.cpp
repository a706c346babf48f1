// The pages that the order history links and posts to: invoice.asp (the printable invoice of an
// order), upstrack.asp (a shipment's tracking number and the carrier's tracking page) and
// update_orders.asp (the lines a customer ticked to return or cancel: confirmed, recorded on
// the lines and mailed to the shop). A customer sees only their own orders; the admin sees all.
#include <cstdio>
#include <map>

#include "db/transaction.h"
#include "order_records.h"
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

constexpr const char* kReturnRequested = "Return requested";
constexpr const char* kCancelRequested = "Cancel requested";

bool ownsOrder(PageContext& ctx, const OrderRecord& order) {
  if (ctx.isAdmin()) return true;
  std::string customer = ctx.customerId();
  return !customer.empty() && customer == order.customerid;
}

std::string logOnHint() {
  return EngineCaller::has("logon")
             ? std::string(
                   "<p><a href=\"logon.asp\">Log on</a> with the account you ordered "
                   "with.</p>")
             : std::string();
}

HttpResponse needsLogOn(PageContext& ctx, const std::string& title, const std::string& what) {
  return ctx.page(
      title,
      heading(title) + "<div class=\"error\">Please log on to " + what + ".</div>" + logOnHint(),
      403);
}

std::string orderIdValue(PageContext& ctx, const std::string& name) {
  std::string id = ctx.value(name);
  if (!isOrderId(id)) throw BadValue(name, id, "no order number looks like this");
  return id;
}

// ---- invoice.asp ----

HttpResponse invoicePage(PageContext& ctx) {
  std::string id = orderIdValue(ctx, "id");
  if (!ctx.isAdmin() && ctx.customerId().empty()) {
    return needsLogOn(ctx, "Invoice", "see your invoices");
  }
  db::Connection conn;
  conn.open(ctx.shop.mainConnection());
  std::optional<OrderRecord> order = loadOrder(conn, id);
  // Someone else's order is answered as a missing one: its existence is nobody else's business.
  if (!order || !ownsOrder(ctx, *order)) {
    return ctx.page("Invoice",
                    heading("Invoice") + "<div class=\"error\">There is no order " +
                        htmlEscape(id) + " in your account.</div>",
                    404);
  }
  HttpResponse r = HttpResponse::html(200, invoiceDocument(*order, ctx.look()));
  r.setHeader("Cache-Control", "no-store");
  return r;
}

// ---- upstrack.asp ----

std::string trackingForm(const std::string& value) {
  return "<form action=\"upstrack.asp\" method=\"get\" class=\"panel\">"
         "<input type=\"hidden\" name=\"action\" value=\"track\">"
         "<label class=\"text\">Tracking number: <input type=\"text\" name=\"id\" size=\"30\" "
         "class=\"field\" value=\"" +
         htmlEscape(value) +
         "\"></label> <input type=\"submit\" class=\"button_orange\" value=\"Track\"></form>";
}

HttpResponse trackingPage(PageContext& ctx) {
  std::string id = trim(ctx.value("id"));
  if (!isTrackingNumber(id)) throw BadValue("id", id, "no tracking number looks like this");
  if (id.empty()) {
    return ctx.page("Track a shipment",
                    heading("Track a shipment") +
                        "<p class=\"text\">Type the tracking number of your shipment.</p>" +
                        trackingForm(""));
  }
  std::string html = heading("Track a shipment") + "<p class=\"text\">Tracking number <b>" +
                     htmlEscape(id) +
                     "</b></p><p><a class=\"button_orange\" target=\"_blank\" rel=\"noopener\" "
                     "href=\"https://www.ups.com/track?loc=en_US&amp;tracknum=" +
                     urlEncode(id) + "\">Track this shipment on the UPS web site</a></p>";
  // The orders of this customer (every order for the admin) that went out under the number.
  if (ctx.isAdmin() || !ctx.customerId().empty()) {
    db::Connection conn;
    conn.open(ctx.shop.mainConnection());
    std::string rows;
    db::Recordset rs = conn.execute(
        "select orderid, customerid, smethod, shipdate from orderinfo where shiptrack='" +
        sqlEscape(id) + "' order by orderid");
    for (; !rs.eof(); rs.moveNext()) {
      std::string customer = trim(rs.field("customerid").text());
      if (!ctx.isAdmin() && customer != ctx.customerId()) continue;
      std::string order = trim(rs.field("orderid").text());
      rows += "<tr><td><a href=\"invoice.asp?id=" + urlEncode(order) + "\" target=\"_new\">" +
              htmlEscape(order) + "</a></td><td>" + htmlEscape(trim(rs.field("smethod").text())) +
              "</td><td>" + htmlEscape(trim(rs.field("shipdate").text())) + "</td></tr>";
    }
    if (!rows.empty()) {
      html +=
          "<table class=\"orders\"><tr><th>Order #</th><th>Shipped by</th><th>Ship date</th>"
          "</tr>" +
          rows + "</table>";
    }
  }
  return ctx.page("Track a shipment", html + trackingForm(id));
}

// ---- update_orders.asp ----

struct LineRequest {
  std::string kind;   // "return" or "cancel"
  std::string field;  // the check box's name, sent again with the confirmation
  std::string orderid, partno;
  OrderLine line;
};

struct RequestList {
  std::vector<LineRequest> accepted;
  std::vector<std::string> problems;  // escaped HTML, one per refused line
};

bool isShippedText(const std::string& status) {
  return lower(lineStatusText(status).substr(0, 4)) == "ship";
}

// The ticked lines of the form, each checked against the customer's orders. A box's name is
// "return|" or "cancel|", the part number, "|", the description, "|" and the order number.
RequestList readRequests(PageContext& ctx, db::Connection& conn) {
  RequestList list;
  std::map<std::string, std::optional<OrderRecord>> orders;
  std::map<std::string, std::string> kindOf;  // order|part -> the kind already asked for
  for (const std::string& name : ctx.values.formNames()) {
    std::string kind = textBefore(name, "|");
    if ((kind != "return" && kind != "cancel") || name.size() == kind.size()) continue;
    std::string rest = name.substr(kind.size() + 1);
    size_t first = rest.find('|');
    size_t last = rest.rfind('|');
    if (first == std::string::npos || first == last) {
      throw BadValue(name, ctx.values.get(name), "this is not a line of an order");
    }
    std::string partno = rest.substr(0, first);
    std::string orderid = rest.substr(last + 1);
    if (!isOrderId(orderid)) throw BadValue(name, ctx.values.get(name), "no order looks like this");
    auto found = orders.find(orderid);
    if (found == orders.end()) found = orders.emplace(orderid, loadOrder(conn, orderid)).first;
    const std::optional<OrderRecord>& order = found->second;
    const OrderLine* line = nullptr;
    if (order && ownsOrder(ctx, *order)) {
      for (const OrderLine& l : order->lines) {
        if (l.partno == partno) line = &l;
      }
    }
    std::string what = "Item " + htmlEscape(partno) + " of order " + htmlEscape(orderid);
    if (!line) {
      list.problems.push_back(what + " is not in your orders.");
      continue;
    }
    std::string key = orderid + "|" + partno;
    if (kindOf.count(key)) {
      if (kindOf[key] != kind) {
        list.problems.push_back(what + ": please choose either Return or Cancel, not both.");
        std::erase_if(list.accepted, [&](const LineRequest& r) {
          return r.orderid == orderid && r.partno == partno;
        });
      }
      continue;
    }
    kindOf[key] = kind;
    std::string status = trim(line->status);
    if (status == "Cancelled" || (kind == "return" && status == "Returned")) {
      list.problems.push_back(what + " is already " + htmlEscape(lower(status)) + ".");
    } else if (status == (kind == "return" ? kReturnRequested : kCancelRequested)) {
      list.problems.push_back(what + ": this request has already been sent.");
    } else if (kind == "cancel" && isShippedText(status)) {
      list.problems.push_back(what +
                              " has already shipped and cannot be cancelled; please ask for a "
                              "return instead.");
    } else {
      list.accepted.push_back({kind, name, orderid, partno, *line});
    }
  }
  return list;
}

std::string requestTable(const std::vector<LineRequest>& requests) {
  std::string html =
      "<table class=\"orders\"><tr><th>Order #</th><th>Item #</th><th>Description</th>"
      "<th>Qty</th><th>Request</th></tr>";
  for (const LineRequest& r : requests) {
    html += "<tr><td>" + htmlEscape(r.orderid) + "</td><td>" + htmlEscape(r.partno) + "</td><td>" +
            htmlEscape(r.line.descr) + "</td><td class=\"num\">" + std::to_string(r.line.qty) +
            "</td><td>" + (r.kind == "return" ? "Return" : "Cancel") + "</td></tr>";
  }
  return html + "</table>";
}

std::string problemList(const std::vector<std::string>& problems) {
  if (problems.empty()) return {};
  std::string html = "<div class=\"error\"><ul>";
  for (const std::string& p : problems) html += "<li>" + p + "</li>";
  return html + "</ul></div>";
}

std::string backToHistory() {
  return EngineCaller::has("logon")
             ? std::string("<p><a href=\"account.asp\">Back to your orders</a></p>")
             : std::string();
}

// Tells the shop by mail; the request is already recorded on the lines, so a failed mail is
// only logged.
void mailRequests(PageContext& ctx, const std::vector<LineRequest>& requests,
                  const std::string& reason) {
  std::string shopAddress = ctx.look().email;
  if (!EngineCaller::has("sendEmail") || shopAddress.empty()) return;
  std::string body = "Return and cancel requests from customer " + ctx.customerId() + "\n\n";
  for (const LineRequest& r : requests) {
    body += (r.kind == "return" ? "Return: order " : "Cancel: order ") + r.orderid + ", item " +
            r.partno + ", " + r.line.descr + ", quantity " + std::to_string(r.line.qty) + "\n";
  }
  if (!trim(reason).empty()) body += "\nReason:\n" + reason + "\n";
  eCat cat;
  std::string status =
      ctx.shop.engine().text(cat, "sendEmail",
                             {{"strTo", shopAddress},
                              {"strFrom", shopAddress},
                              {"strSubject", "Return/cancel request: customer " + ctx.customerId()},
                              {"strMessage", body},
                              {"strHTML", "False"}});
  if (status != "Passed") {
    std::fprintf(stderr, "kestrin-shop: %s: the mail to the shop failed: %s\n",
                 ctx.request.target.c_str(), status.c_str());
  }
}

HttpResponse updateOrdersPage(PageContext& ctx) {
  const std::string title = "Return or cancel";
  if (!ctx.isPost()) {
    return ctx.page(title, heading(title) +
                               "<p class=\"text\">Tick the lines to return or cancel in your "
                               "order history, then press Return/Cancel.</p>" +
                               backToHistory());
  }
  if (ctx.customerId().empty()) return needsLogOn(ctx, title, "return or cancel an order");
  std::string action = ctx.value("action");
  if (action != "confirm" && action != "send") {
    throw BadValue("action", action, "this page confirms or sends a request");
  }
  db::Connection conn;
  conn.open(ctx.shop.mainConnection());
  RequestList list = readRequests(ctx, conn);
  if (list.accepted.empty()) {
    return ctx.page(title, heading(title) + problemList(list.problems) +
                               "<p class=\"text\">No line was chosen that can be returned or "
                               "cancelled.</p>" +
                               backToHistory());
  }
  if (action == "confirm") {
    std::string hidden;
    for (const LineRequest& r : list.accepted) {
      hidden += "<input type=\"hidden\" name=\"" + htmlEscape(r.field) + "\" value=\"on\">";
    }
    return ctx.page(
        title, heading(title) + problemList(list.problems) +
                   "<p class=\"text\">Please check your request and send it.</p>" +
                   requestTable(list.accepted) +
                   "<form action=\"update_orders.asp\" method=\"post\" class=\"panel\">"
                   "<input type=\"hidden\" name=\"action\" value=\"send\">" +
                   hidden +
                   "<label class=\"text\">Reason (optional)<br><textarea name=\"reason\" "
                   "rows=\"4\" cols=\"50\" class=\"field\"></textarea></label>"
                   "<input type=\"submit\" class=\"button_orange\" value=\"Send request\"></form>" +
                   backToHistory());
  }
  {
    db::Transaction t(conn);
    for (const LineRequest& r : list.accepted) {
      conn.execute(std::string("update orderdetail set status='") +
                   (r.kind == "return" ? kReturnRequested : kCancelRequested) +
                   "' where detailid='" + sqlEscape(r.orderid) + "' and partno='" +
                   sqlEscape(r.partno) + "'");
    }
    t.commit();
  }
  mailRequests(ctx, list.accepted, ctx.value("reason"));
  return ctx.page(title, heading(title) + problemList(list.problems) +
                             "<div class=\"done\">Your request has been sent. We will contact "
                             "you about the next steps.</div>" +
                             requestTable(list.accepted) + backToHistory());
}

}  // namespace

void addOrderPages(Shop& shop) {
  shop.addPage("invoice.asp", invoicePage);
  shop.addPage("upstrack.asp", trackingPage);
  shop.addPage("update_orders.asp", updateOrdersPage);
}

}  // namespace kestrin::shop

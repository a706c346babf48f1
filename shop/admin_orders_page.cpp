// admin_orders.asp: the admin's list of orders (newest first, by status, 50 a page) and one
// order's page, where the admin changes the order's status (OrderUpdateStatus) and tracking
// number, the status of each line, or deletes the order with its lines (OrderDelete).
#include "db/transaction.h"
#include "order_records.h"
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

constexpr int kOrdersPerPage = 50;

const char* const kOrderStatuses[] = {"Pending",     "New-Unpaid", "New-Paid", "Processing",
                                      "Backordered", "Shipped",    "Returned", "Cancelled"};
const char* const kLineStatuses[] = {
    "New",      "New-Paid",         "Backordered", "Shipped", "Return requested",
    "Returned", "Cancel requested", "Cancelled"};

const char* const kTitle = "Orders";

std::string notice(const char* cls, const std::string& text) {
  return std::string("<div class=\"") + cls + "\">" + text + "</div>";
}

// A status list with the current value selected (added when it is not one of the usual ones).
template <size_t N>
std::string statusSelect(const std::string& name, const char* const (&choices)[N],
                         const std::string& current) {
  std::string html = "<select name=\"" + htmlEscape(name) + "\" class=\"droplist\">";
  bool listed = false;
  for (const char* c : choices) listed = listed || current == c;
  if (!listed && !current.empty()) {
    html += "<option selected>" + htmlEscape(current) + "</option>";
  }
  for (const char* c : choices) {
    html += std::string("<option") + (current == c ? " selected" : "") + ">" + c + "</option>";
  }
  return html + "</select>";
}

// ---- the list ----

HttpResponse orderList(PageContext& ctx, const std::string& message) {
  std::string status = trim(ctx.value("status"));
  if (!status.empty() && !isStatusText(status)) {
    throw BadValue("status", status, "no order status looks like this");
  }
  std::string pageText = ctx.value("page");
  long long page = 1;
  if (!pageText.empty()) {
    bool digits = pageText.size() <= 6;
    for (char c : pageText) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (!digits || std::stoll(pageText) < 1) {
      throw BadValue("page", pageText, "a page is a number from 1");
    }
    page = std::stoll(pageText);
  }

  db::Connection conn;
  conn.open(ctx.shop.mainConnection());
  std::string filter;
  std::string html = heading(kTitle) + message +
                     "<form action=\"admin_orders.asp\" method=\"get\" class=\"panel\">"
                     "<label class=\"text\">Status: <select name=\"status\" class=\"droplist\">"
                     "<option value=\"\">All orders</option>";
  db::Recordset statuses = conn.execute("select distinct status from orderinfo order by status");
  for (; !statuses.eof(); statuses.moveNext()) {
    std::string s = trim(statuses.field("status").text());
    if (s.empty()) continue;
    html += "<option value=\"" + htmlEscape(s) + "\"" + (s == status ? " selected" : "") + ">" +
            htmlEscape(s) + "</option>";
  }
  statuses.close();
  html += "</select></label> <input type=\"submit\" class=\"ButtonG\" value=\"Show\"></form>";
  if (!status.empty()) filter = " where status='" + sqlEscape(status) + "'";

  db::Recordset rs = conn.execute(
      "select orderid, customerid, date, total, status, shipname, shipcity, shiptrack from "
      "orderinfo" +
      filter + " order by orderid desc");
  std::string rows;
  long long index = 0;
  long long first = (page - 1) * kOrdersPerPage;
  for (; !rs.eof(); rs.moveNext(), ++index) {
    if (index < first || index >= first + kOrdersPerPage) continue;
    std::string id = trim(rs.field("orderid").text());
    std::string place = trim(rs.field("shipcity").text());
    std::string shipTo = trim(rs.field("shipname").text());
    if (!place.empty()) shipTo += (shipTo.empty() ? "" : ", ") + place;
    const Variant& total = rs.field("total");
    rows += "<tr><td><a href=\"admin_orders.asp?id=" + urlEncode(id) + "\">" + htmlEscape(id) +
            "</a></td><td>" + htmlEscape(trim(rs.field("date").text())) + "</td><td>" +
            htmlEscape(trim(rs.field("customerid").text())) + "</td><td>" + htmlEscape(shipTo) +
            "</td><td class=\"num\">$" +
            displayMoney(total.isNumeric() ? finiteNumber(total.number()) : 0) + "</td><td>" +
            htmlEscape(trim(rs.field("status").text())) + "</td><td>" +
            htmlEscape(trim(rs.field("shiptrack").text())) + "</td></tr>";
  }
  long long count = index;
  if (count == 0) {
    return ctx.page(kTitle, html + "<p class=\"text\">There are no orders" +
                                (status.empty() ? "" : " with the status " + htmlEscape(status)) +
                                ".</p>");
  }
  long long pages = (count + kOrdersPerPage - 1) / kOrdersPerPage;
  html += "<p class=\"text\">" + countText(static_cast<double>(count)) + " order" +
          (count == 1 ? "" : "s") + ", page " + std::to_string(page > pages ? pages : page) +
          " of " + std::to_string(pages) + ".</p>";
  html +=
      "<table class=\"orders\"><tr><th>Order #</th><th>Date</th><th>Customer #</th>"
      "<th>Ship to</th><th>Total</th><th>Status</th><th>Tracking #</th></tr>" +
      rows + "</table>";
  std::string base = "admin_orders.asp?" +
                     (status.empty() ? std::string() : "status=" + urlEncode(status) + "&amp;");
  html += "<p class=\"pages\">";
  if (page > 1 && page <= pages) {
    html += "<a href=\"" + base + "page=" + std::to_string(page - 1) + "\">Previous page</a> ";
  }
  if (page < pages) {
    html += "<a href=\"" + base + "page=" + std::to_string(page + 1) + "\">Next page</a>";
  }
  html += "</p>";
  return ctx.page(kTitle, html);
}

// ---- one order ----

HttpResponse orderPage(PageContext& ctx, const OrderRecord& order, const std::string& message,
                       int status = 200) {
  std::string id = htmlEscape(order.orderid);
  std::string html = heading("Order " + order.orderid) + message +
                     "<p><a href=\"admin_orders.asp\">All orders</a> &middot; <a "
                     "href=\"invoice.asp?id=" +
                     urlEncode(order.orderid) + "\" target=\"_new\">Printable invoice</a></p>" +
                     invoiceSections(order, ctx.look());

  html +=
      "<h2>Order status</h2><form action=\"admin_orders.asp\" method=\"post\" "
      "class=\"panel\"><input type=\"hidden\" name=\"action\" value=\"status\">"
      "<input type=\"hidden\" name=\"id\" value=\"" +
      id +
      "\"><label class=\"text\">Status: " + statusSelect("status", kOrderStatuses, order.status) +
      "</label> <label class=\"text\">Tracking #: <input type=\"text\" name=\"shiptrack\" "
      "size=\"24\" class=\"field\" value=\"" +
      htmlEscape(order.shiptrack) +
      "\"></label> <input type=\"submit\" class=\"button_orange\" value=\"Change "
      "status\"></form>";

  if (!order.lines.empty()) {
    html +=
        "<h2>Line status</h2><form action=\"admin_orders.asp\" method=\"post\" "
        "class=\"panel\"><input type=\"hidden\" name=\"action\" value=\"lines\">"
        "<input type=\"hidden\" name=\"id\" value=\"" +
        id +
        "\"><table class=\"orders\"><tr><th>Item #</th><th>Description</th>"
        "<th>Status</th></tr>";
    for (const OrderLine& line : order.lines) {
      html += "<tr><td>" + htmlEscape(line.partno) + "</td><td>" + htmlEscape(line.descr) +
              "</td><td>" + statusSelect("line|" + line.partno, kLineStatuses, line.status) +
              "</td></tr>";
    }
    html +=
        "</table><input type=\"submit\" class=\"button_orange\" value=\"Save line "
        "statuses\"></form>";
  }

  html +=
      "<h2>Delete</h2><form action=\"admin_orders.asp\" method=\"post\" class=\"panel\">"
      "<input type=\"hidden\" name=\"action\" value=\"delete\">"
      "<input type=\"hidden\" name=\"id\" value=\"" +
      id +
      "\"><label class=\"text\"><input type=\"checkbox\" name=\"confirm\" value=\"yes\"> "
      "Yes, delete order " +
      id +
      " and all its lines</label> <input type=\"submit\" class=\"ButtonG\" value=\"Delete "
      "order\"></form>";
  return ctx.page("Order " + order.orderid, html, status);
}

const char* doneText(const std::string& done) {
  if (done == "status") return "The order's status has been changed.";
  if (done == "lines") return "The line statuses have been saved.";
  return nullptr;
}

HttpResponse changeStatus(PageContext& ctx, db::Connection& conn, const OrderRecord& order) {
  std::string status = trim(ctx.value("status"));
  std::string tracking = trim(ctx.value("shiptrack"));
  if (!isStatusText(status)) {
    return orderPage(ctx, order,
                     notice("error", "Please give the new status (at most 40 characters)."), 400);
  }
  if (!isTrackingNumber(tracking)) {
    return orderPage(ctx, order,
                     notice("error",
                            "A tracking number holds letters, digits, blanks and dashes (at most "
                            "40)."),
                     400);
  }
  eCat cat;
  if (!ctx.shop.engine()
           .call(cat, "OrderUpdateStatus", {{"orderid", order.orderid}, {"Status", status}})
           .flag()) {
    fragment(ctx, "");  // logs the failed step
    return orderPage(ctx, order,
                     notice("error", "The status could not be changed. Please try again."), 500);
  }
  if (tracking != order.shiptrack) {
    // The ship date is the day the first tracking number was given.
    std::string shipDate = order.shipdate.empty() && !tracking.empty()
                               ? ", shipdate='" + sqlEscape(shortDate(localNow())) + "'"
                               : std::string();
    conn.execute("update orderinfo set shiptrack='" + sqlEscape(tracking) + "'" + shipDate +
                 " where orderid='" + sqlEscape(order.orderid) + "'");
  }
  return ctx.redirect("admin_orders.asp?id=" + urlEncode(order.orderid) + "&done=status");
}

HttpResponse changeLines(PageContext& ctx, db::Connection& conn, const OrderRecord& order) {
  std::vector<std::pair<std::string, std::string>> changes;  // part number, new status
  for (const OrderLine& line : order.lines) {
    std::string name = "line|" + line.partno;
    if (!ctx.values.has(name)) continue;
    std::string status = trim(ctx.value(name));
    if (!isStatusText(status)) {
      return orderPage(ctx, order,
                       notice("error", "Please give each line a status (at most 40 characters)."),
                       400);
    }
    if (status != line.status) changes.emplace_back(line.partno, status);
  }
  db::Transaction t(conn);
  for (const auto& [partno, status] : changes) {
    conn.execute("update orderdetail set status='" + sqlEscape(status) + "' where detailid='" +
                 sqlEscape(order.orderid) + "' and partno='" + sqlEscape(partno) + "'");
  }
  t.commit();
  return ctx.redirect("admin_orders.asp?id=" + urlEncode(order.orderid) + "&done=lines");
}

HttpResponse deleteOrder(PageContext& ctx, const OrderRecord& order) {
  if (ctx.value("confirm") != "yes") {
    return orderPage(ctx, order,
                     notice("error", "Tick the box to confirm that the order is to be deleted."),
                     400);
  }
  eCat cat;
  if (!ctx.shop.engine().call(cat, "OrderDelete", {{"orderid", order.orderid}}).flag()) {
    fragment(ctx, "");
    return orderPage(ctx, order,
                     notice("error", "The order could not be deleted. Please try again."), 500);
  }
  return ctx.redirect("admin_orders.asp?deleted=" + urlEncode(order.orderid));
}

HttpResponse adminOrdersPage(PageContext& ctx) {
  std::string id = ctx.value("id");
  if (id.empty()) {
    std::string deleted = ctx.value("deleted");
    std::string message =
        isOrderId(deleted)
            ? notice("done", "Order " + htmlEscape(deleted) + " has been deleted with its lines.")
            : std::string();
    return orderList(ctx, message);
  }
  if (!isOrderId(id)) throw BadValue("id", id, "no order number looks like this");
  db::Connection conn;
  conn.open(ctx.shop.mainConnection());
  std::optional<OrderRecord> order = loadOrder(conn, id);
  if (!order) {
    return ctx.page(kTitle,
                    heading(kTitle) + notice("error", "There is no order " + htmlEscape(id) + ".") +
                        "<p><a href=\"admin_orders.asp\">All orders</a></p>",
                    404);
  }
  if (ctx.isPost()) {
    std::string action = ctx.value("action");
    if (action == "status") return changeStatus(ctx, conn, *order);
    if (action == "lines") return changeLines(ctx, conn, *order);
    if (action == "delete") return deleteOrder(ctx, *order);
    throw BadValue("action", action, "this page changes a status, the lines or deletes");
  }
  const char* done = doneText(ctx.value("done"));
  return orderPage(ctx, *order, done ? notice("done", done) : std::string());
}

}  // namespace

void addAdminOrdersPage(Shop& shop) {
  if (!EngineCaller::has("OrderUpdateStatus") || !EngineCaller::has("OrderDelete")) return;
  shop.addPage("admin_orders.asp", adminOrdersPage, true);
}

}  // namespace kestrin::shop

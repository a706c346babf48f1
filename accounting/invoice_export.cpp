#include "kestrin/invoice_export.h"

#include <cstdio>

#include "export_fields.h"
#include "kestrin/error.h"
#include "text.h"

namespace kestrin::accounting {

namespace {

const char* const kCrLf = "\r\n";
const char* const kSource = "kestrin";

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool validDay(int y, int m, int d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return y >= 1753 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 &&
         d <= kDays[m - 1] + (m == 2 && isLeapYear(y) ? 1 : 0);
}

// A time of day after a date: "5:46:11 PM", "17:46", "17:46:11.250"; anything else is no date.
bool validTime(const std::string& rest) {
  if (rest.empty()) return true;
  int h = 0, m = 0, s = 0, used = 0;
  char ampm[3] = {};
  const char* t = rest.c_str();
  if (std::sscanf(t, "%2d:%2d%n", &h, &m, &used) != 2) return false;
  t += used;
  if (*t == ':') {
    if (std::sscanf(t, ":%2d%n", &s, &used) != 1) return false;
    t += used;
    if (*t == '.') {
      ++t;
      while (*t >= '0' && *t <= '9') ++t;
    }
  }
  if (*t == ' ' && std::sscanf(t, " %2[AaPp]%n", ampm, &used) == 1) {
    if (ampm[0] == '\0' || (t[used - 1] != 'M' && t[used - 1] != 'm')) return false;
    t += used;
    if (h < 1 || h > 12) return false;
  }
  return *t == '\0' && h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60;
}

std::string nowStamp(ExportHost& host) {
  std::tm t = host.now ? host.now() : localNow();
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

void setDate(qbxml::DateType& field, const CalendarDate& d) {
  field.SetValue(d.year, d.month, d.day);
}

// TxnDate: the order's date, which every order must have.
CalendarDate requiredDate(const db::Recordset& rs, const char* column) {
  const std::string text = required(rs, column);
  auto date = parseShopDate(text);
  if (!date) raise(kErrTypeMismatch, "Type mismatch: \"" + text + "\" is not a date", kSource);
  return *date;
}

void fillLines(qbxml::InvoiceAdd& invoice, ExportHost& host, const std::string& orderid) {
  host.sql = "select * from orderdetail where detailid='" + sqlEscape(orderid) + "'";
  for (db::Recordset line = host.conn.execute(host.sql); !line.eof(); line.moveNext()) {
    qbxml::InvoiceLineAdd& add = invoice.ORInvoiceLineAddList.Append().InvoiceLineAdd;
    const double qty = number(required(line, "qty"));
    add.Quantity.SetValue(qty);
    add.Amount.SetValue(qty * number(required(line, "price")));
    add.Desc.SetValue(required(line, "descr"));
    // Shop products are in the shop database, the others in the Tech Data catalog.
    db::Connection& products =
        line.field("custdb").text() == "1" || !host.catalogConn ? host.conn : *host.catalogConn;
    host.sql = "select manu_part from products where part_num='" +
               sqlEscape(required(line, "partno")) + "'";
    db::Recordset product = products.execute(host.sql);
    if (!product.eof()) add.ItemRef.FullName.SetValue(required(product, "manu_part"));
    add.OverrideItemAccountRef.FullName.SetValue("Sales");
  }
}

void markExported(ExportHost& host, const std::string& orderid, const std::string& txnid) {
  host.sql = std::string("update ") + kInvoiceJournalTable + " set txnid='" + sqlEscape(txnid) +
             "', status='exported', exported='" + nowStamp(host) + "' where orderid='" +
             sqlEscape(orderid) + "'";
  host.conn.execute(host.sql);
}

// An order left "sending": asks QuickBooks whether it holds the invoice. True when the order is
// settled (QuickBooks has it, now journaled; or the answer is unclear, left for the operator);
// false when QuickBooks never got it, and its row is gone so it is sent now.
bool settleInterrupted(ExportHost& host, const ExportProfile& profile, const JournalEntry& entry) {
  RecordSession lookup(host, profile);
  lookup.request().AppendInvoiceQueryRq().RefNumber.SetValue(entry.orderid);
  const qbxml::Response& r = lookup.send();
  if (r.Detail) {
    const std::string txnid = r.Detail->field("TxnID").GetValue();
    markExported(host, entry.orderid, txnid);
    host.log += "Skipped (already exported) " + entry.orderid + ", Invoice_TxnID = " + txnid +
                ", found in QuickBooks after an interrupted export" + kCrLf;
  } else if (r.StatusCode != 1) {
    host.log += "Skipped (interrupted while it was sent on " + entry.exported +
                "; QuickBooks could not tell whether it holds invoice " + entry.orderid + ": " +
                r.StatusMessage + "; run fenwix --reexport " + entry.orderid + " if it does not) " +
                entry.orderid + kCrLf;
  } else {
    forgetExportedOrder(host.conn, entry.orderid);
  }
  lookup.close();
  return r.StatusCode != 1;
}

void exportOrder(ExportHost& host, const ExportProfile& profile) {
  const std::string orderid = required(host.rs, "orderid");
  if (auto entry = findJournalEntry(host.conn, orderid)) {
    if (entry->status == "exported") {
      host.log += "Skipped (already exported) " + orderid + ", Invoice_TxnID = " + entry->txnid +
                  ", " + entry->exported + kCrLf;
      return;
    }
    if (settleInterrupted(host, profile, *entry)) return;
  }

  host.sql =
      "select fname,mname,lname,address,city,state,zip,country from customer where customerid='" +
      sqlEscape(host.rs.field("customerid").text()) + "'";
  db::Recordset customer = host.conn.execute(host.sql);
  if (customer.eof()) return;  // no customer, no invoice, no log line

  RecordSession session(host, profile);
  qbxml::InvoiceAdd& invoice = session.request().AppendInvoiceAddRq();
  const db::Recordset& order = host.rs;
  invoice.CustomerRef.FullName.SetValue(customerName(customer));
  invoice.RefNumber.SetValue(orderid);
  setDate(invoice.TxnDate, requiredDate(order, "date"));
  if (auto status = present(order, "status"); !status || *status != "Shipped") {
    invoice.IsPending.SetValue(true);
  }
  if (auto ponum = present(order, "ponum"); ponum && !ponum->empty()) {
    invoice.PONumber.SetValue(order.field("ponum").text());
  }
  if (auto shipdate = present(order, "shipdate")) {
    if (auto date = parseShopDate(*shipdate)) setDate(invoice.ShipDate, *date);
  }
  if (auto method = present(order, "shipmethod"); method && !method->empty()) {
    invoice.ShipMethodRef.FullName.SetValue(*method);
  }
  invoice.BillAddress.Addr1.SetValue(required(customer, "address"));
  invoice.BillAddress.City.SetValue(required(customer, "city"));
  invoice.BillAddress.State.SetValue(required(customer, "state"));
  invoice.BillAddress.PostalCode.SetValue(required(customer, "zip"));
  invoice.BillAddress.Country.SetValue(required(customer, "country"));
  invoice.ShipAddress.Addr1.SetValue(required(order, "shipaddres"));
  invoice.ShipAddress.City.SetValue(required(order, "shipcity"));
  invoice.ShipAddress.State.SetValue(required(order, "shipstate"));
  invoice.ShipAddress.Country.SetValue(required(order, "shipcountr"));
  invoice.ShipAddress.PostalCode.SetValue(required(order, "shipzip"));
  fillLines(invoice, host, orderid);

  // From here until the answer is journaled, QuickBooks may hold the invoice: the row says so.
  host.sql = std::string("insert into ") + kInvoiceJournalTable +
             " (orderid, txnid, status, exported) values ('" + sqlEscape(orderid) +
             "', '', 'sending', '" + nowStamp(host) + "')";
  host.conn.execute(host.sql);
  const qbxml::Response& response = session.send();
  if (response.Detail) {
    markExported(host, orderid, response.Detail->field("TxnID").GetValue());
  } else {
    forgetExportedOrder(host.conn, orderid);
  }
  logAddResponse(host.log, response, WarningStyle::MessageOnly,
                 "Successful Invoice_QBID = ", "RefNumber", "CustomerRef/FullName");
  session.close();
}

}  // namespace

std::optional<JournalEntry> findJournalEntry(db::Connection& conn, const std::string& orderid) {
  db::Recordset rs =
      conn.execute(std::string("select orderid, txnid, status, exported from ") +
                   kInvoiceJournalTable + " where orderid='" + sqlEscape(orderid) + "'");
  if (rs.eof()) return std::nullopt;
  return JournalEntry{rs.field("orderid").text(), rs.field("txnid").text(),
                      rs.field("status").text(), rs.field("exported").text()};
}

bool forgetExportedOrder(db::Connection& conn, const std::string& orderid) {
  if (!findJournalEntry(conn, orderid)) return false;
  conn.execute(std::string("delete from ") + kInvoiceJournalTable + " where orderid='" +
               sqlEscape(orderid) + "'");
  return true;
}

ExportSpec invoiceExport(const ExportProfile&) {
  ExportSpec spec;
  spec.query = "select * from orderinfo";
  spec.header = "Export All Invoices to QB :: ";
  spec.logFileName = "ExportInvoiceToQBLog.txt";
  spec.row = exportOrder;
  return spec;
}

std::optional<CalendarDate> parseShopDate(const std::string& text) {
  const std::string t = trim(text);
  CalendarDate d;
  int used = 0;
  bool read = false;
  if (std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &d.year, &d.month, &d.day, &used) == 3 && used >= 8) {
    read = true;
  } else if (std::sscanf(t.c_str(), "%2d/%2d/%4d%n", &d.month, &d.day, &d.year, &used) == 3 &&
             used >= 5) {
    read = true;
  }
  if (!read || !validDay(d.year, d.month, d.day)) return std::nullopt;
  std::string rest = t.substr(static_cast<size_t>(used));
  if (!rest.empty() && (rest[0] == ' ' || rest[0] == 'T'))
    rest = rest.substr(1);
  else if (!rest.empty())
    return std::nullopt;
  if (!validTime(rest)) return std::nullopt;
  return d;
}

}  // namespace kestrin::accounting

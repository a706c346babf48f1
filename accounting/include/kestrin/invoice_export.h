// The export of the shop's orders as QuickBooks invoices (run by the accounting link server), and
// the journal that keeps it from booking an order twice.
//
// Every order of orderinfo whose customer is found becomes one InvoiceAdd with a line per
// orderdetail row. The journal, the table qb_invoice_journal of the shop database, holds one row
// per order that reached QuickBooks:
//
//   status "sending"   written just before the invoice is sent; QuickBooks' answer is not known
//   status "exported"  QuickBooks accepted the invoice; txnid is its TxnID
//
// An order with an "exported" row is not sent again and is logged as already exported. A
// "sending" row means the server stopped between sending and hearing the answer: QuickBooks is
// asked for an invoice with the order's RefNumber; if it holds one, the row is completed with its
// TxnID, if not, the order is sent now; an unclear answer leaves the row for the operator. A
// refused invoice leaves no row, so it is tried again at the next run.
// forgetExportedOrder removes a row on purpose (fenwix --reexport).
#pragma once

#include <optional>
#include <string>

#include "kestrin/db.h"
#include "kestrin/qb_exports.h"

namespace kestrin::accounting {

// The journal's table, part of the shop schema (db/sqlite and db/postgres): the engine's login
// on a database server may not create tables.
inline constexpr const char* kInvoiceJournalTable = "qb_invoice_journal";

struct JournalEntry {
  std::string orderid;
  std::string txnid;     // empty while "sending"
  std::string status;    // "sending" or "exported"
  std::string exported;  // when the row was last written, "2026-12-09 17:46:11"
};

std::optional<JournalEntry> findJournalEntry(db::Connection& conn, const std::string& orderid);
// Removes the order's row; false when there was none.
bool forgetExportedOrder(db::Connection& conn, const std::string& orderid);

// The invoice export: "select * from orderinfo" on host.conn, products of the Tech Data catalog
// looked up on host.catalogConn; log "Export All Invoices to QB :: ...", file
// ExportInvoiceToQBLog.txt.
ExportSpec invoiceExport(const ExportProfile& profile);

// A date as the shop stores it: "12/9/2026", "12/9/2026 5:46:11 PM", "2026-12-09" or
// "2026-12-09 17:46:11"; nullopt when the text is none of these or names no day of the calendar.
struct CalendarDate {
  int year = 0, month = 0, day = 0;
};
std::optional<CalendarDate> parseShopDate(const std::string& text);

}  // namespace kestrin::accounting

// The exports of the shop's customers, products and vendors into a QuickBooks company file, and
// the version negotiation they share. The engine runs them (eCat::qbExportCustomer and its
// siblings) and so does the accounting link server: what differs between the two is an
// ExportProfile and the ExportHost each supplies, never a copy of the code.
//
// Every record gets its own QuickBooks connection and session (RecordSession), opened before its
// add request and closed after the response, so an export holds no session between records. The
// log text is built in the host's log variable and written to sPath + the export's log file at
// the end; sPath is used as given, so it ends with a path separator.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "kestrin/db.h"
#include "kestrin/qbxml.h"

namespace kestrin::accounting {

// The application QuickBooks is opened under by the engine.
inline constexpr const char* kAppName = "FENWIX";

// Appended to the log when the newest version QuickBooks reports is not one of 2.1, 2.0, 1.1.
extern const char* const kQuickBooks2002Message;

// The newest qbXML version QuickBooks reports to a host query ("2.1"), empty for an empty list.
std::string latestQbXmlVersion(qbxml::QBSessionManager& sessionManager);
// A request set of the newest version the session manager can write for that QuickBooks: 2.0 for
// "2.1" and "2.0", 1.1 for "1.1", otherwise 1.0, after appending kQuickBooks2002Message to `log`.
std::shared_ptr<qbxml::MsgSetRequest> latestMsgSetRequest(qbxml::QBSessionManager& sessionManager,
                                                          std::string& log);

using TransportFactory = std::function<std::unique_ptr<qbxml::Transport>()>;

// How an export's host differs from the engine. The engine's profile is the default.
struct ExportProfile {
  std::string appID = kAppName;
  std::string appName = kAppName;
  // Customers: TermsRef by FullName from the trimmed `terms` when it is not empty.
  bool customerTerms = false;
  // Customers: a refusal logs its status message alone instead of the "Warning: Code = " line.
  bool customerWarningsAsMessages = false;
  // Inventory items: SalesTaxCodeRef "NON" when `notax` is "1", else "TAX".
  bool itemSalesTaxCodes = false;
  // Non-inventory items: the name is this many characters of the description (0: all of it).
  size_t nonInventoryNameLength = 0;
  // Items: a failure text ends with "<br>COMPANY FILE: " and the company file.
  bool itemFailureNamesCompanyFile = true;
};

ExportProfile engineProfile();
// The link server: empty application ID, terms, tax codes, names cut to 31 characters, customer
// refusals as messages, failure texts without the company file.
ExportProfile linkServerProfile();

// What an export runs on. The references are the host's own state (for the engine: conn, rs,
// sql, strR and CompanyFile of the eCat object), so the host sees them afterwards as the export
// left them.
struct ExportHost {
  db::Connection& conn;
  db::Recordset& rs;
  std::string& sql;
  std::string& log;
  const std::string& companyFile;  // read after openDatabase; empty: the file QuickBooks has open
  // Open and close the database session; empty functions leave it to the caller (an export that
  // runs on a database its caller opened).
  std::function<void()> openDatabase;
  std::function<void()> closeDatabase;
  TransportFactory transport;
  std::function<std::tm()> now;  // the clock of the log header; empty: local time
  // The Tech Data catalog, where the invoice export looks up distributor products; null: conn.
  db::Connection* catalogConn = nullptr;
};

// One record's QuickBooks round trip: OpenConnection, BeginSession on the host's company file,
// the newest request set with OnError continue, then the caller appends its request and calls
// send(). close() ends the session and closes the connection; the destructor does so quietly
// when an error came first.
class RecordSession {
 public:
  RecordSession(ExportHost& host, const ExportProfile& profile);
  qbxml::MsgSetRequest& request() { return *request_; }
  // DoRequests; the response to the record's request.
  const qbxml::Response& send();
  void close();

 private:
  qbxml::QBSessionManager manager_;
  std::shared_ptr<qbxml::MsgSetRequest> request_;
  std::shared_ptr<qbxml::MsgSetResponse> response_;
};

// How a refusal is logged.
enum class WarningStyle {
  CodeAndMessage,  // "Warning: Code = 3100, Severity = Error, Message = ..."
  MessageOnly,     // the status message alone
};

// Appends the log lines of an add's response: the warning line when the status code is not 0,
// then `successPrefix` + the record's `idField` + ", " + its `nameField` when the response
// carries the record.
void logAddResponse(std::string& log, const qbxml::Response& response, WarningStyle style,
                    std::string_view successPrefix, std::string_view idField = "ListID",
                    std::string_view nameField = "Name");

// An export: its query, log header and file, and what it does with each row (the row is the
// host's rs).
struct ExportSpec {
  std::string query;        // "select * from customer order by customerid"
  std::string header;       // "Export All Customers to QB :: "
  std::string logFileName;  // "ExportCustomerToQBLog.txt"
  bool failureNamesCompanyFile = false;
  std::function<void(ExportHost&, const ExportProfile&)> row;
};

ExportSpec customerExport(const ExportProfile& profile);
ExportSpec itemExport(const ExportProfile& profile);
ExportSpec vendorExport(const ExportProfile& profile);

// Runs an export and returns "Passed", or "Failed ::" + the log so far + the error's description
// (+ "<br>COMPANY FILE: " + the company file when failureNamesCompanyFile is set). A refused record
// is logged and the export goes on; any other error ends it at once: the QuickBooks session is
// ended, the database closed, no log file written, and the error stays the current error.
std::string runExport(const ExportSpec& spec, ExportHost& host, const ExportProfile& profile,
                      const std::string& sPath);

}  // namespace kestrin::accounting

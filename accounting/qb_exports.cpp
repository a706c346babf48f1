#include "kestrin/qb_exports.h"

#include <optional>

#include "error_modes.h"
#include "export_fields.h"
#include "file_replace.h"
#include "kestrin/error.h"
#include "text.h"

namespace kestrin::accounting {

namespace {

const char* const kCrLf = "\r\n";
const char* const kSource = "kestrin";

using qbxml::Response;

void setWhenPresent(qbxml::StringType& field, const db::Recordset& rs, const char* column) {
  if (auto v = present(rs, column)) field.SetValue(*v);
}

void fillCustomer(qbxml::CustomerAdd& c, const db::Recordset& rs, const ExportProfile& profile) {
  c.Name.SetValue(customerName(rs));
  setWhenPresent(c.BillAddress.Addr1, rs, "address");
  setWhenPresent(c.BillAddress.City, rs, "city");
  setWhenPresent(c.BillAddress.State, rs, "state");
  setWhenPresent(c.BillAddress.PostalCode, rs, "zip");
  setWhenPresent(c.BillAddress.Country, rs, "country");
  setWhenPresent(c.Phone, rs, "phone");
  setWhenPresent(c.Fax, rs, "fax");
  setWhenPresent(c.Email, rs, "email");
  setWhenPresent(c.FirstName, rs, "fname");
  setWhenPresent(c.MiddleName, rs, "mname");
  setWhenPresent(c.LastName, rs, "lname");
  setWhenPresent(c.CompanyName, rs, "cname");
  if (profile.customerTerms) {
    // A reference to an empty name names nothing and would cost the customer: no terms, no ref.
    if (auto terms = present(rs, "terms"); terms && !terms->empty()) {
      c.TermsRef.FullName.SetValue(*terms);
    }
  }
}

void fillInventoryItem(qbxml::ItemInventoryAdd& it, const db::Recordset& rs,
                       const ExportProfile& profile) {
  if (auto descr = present(rs, "descr")) {
    it.SalesDesc.SetValue(*descr);
    it.PurchaseDesc.SetValue(*descr);
    it.Name.SetValue(required(rs, "manu_part"));
  }
  if (auto qty = present(rs, "qty")) it.QuantityOnHand.SetValue(number(*qty));
  if (auto cost = present(rs, "cost")) {
    it.SalesPrice.SetValue(number(*cost));
    it.PurchaseCost.SetValue(number(*cost));
  }
  it.IsActive.SetValue(true);
  if (profile.itemSalesTaxCodes) {
    it.SalesTaxCodeRef.FullName.SetValue(rs.field("notax").text() == "1" ? "NON" : "TAX");
  }
  it.IncomeAccountRef.FullName.SetValue("Sales");
  it.COGSAccountRef.FullName.SetValue("Cost of Goods Sold");
  it.AssetAccountRef.FullName.SetValue("Current Asset");
}

void fillNonInventoryItem(qbxml::ItemNonInventoryAdd& it, const db::Recordset& rs,
                          const ExportProfile& profile) {
  qbxml::SalesAndPurchase& group = it.ORSalesPurchase.SalesAndPurchase;
  if (auto descr = present(rs, "descr")) {
    group.SalesDesc.SetValue(*descr);
    it.Name.SetValue(profile.nonInventoryNameLength
                         ? utf8Prefix(*descr, profile.nonInventoryNameLength)
                         : *descr);
  }
  if (auto cost = present(rs, "cost")) {
    group.SalesPrice.SetValue(number(*cost));
    group.PurchaseCost.SetValue(number(*cost));
  }
  it.IsActive.SetValue(true);
  group.IncomeAccountRef.FullName.SetValue("Sales");
  group.ExpenseAccountRef.FullName.SetValue("Other Expenses");
}

}  // namespace

const char* const kQuickBooks2002Message =
    "You are apparently running QuickBooks 2002 Release 1, we strongly recommend that you use "
    "QuickBooks' online update feature to obtain the latest fixes and enhancements";

std::string latestQbXmlVersion(qbxml::QBSessionManager& sessionManager) {
  auto request = sessionManager.CreateMsgSetRequest(1, 0);
  request->AppendHostQueryRq();
  auto responses = sessionManager.DoRequests(*request);
  const Response& r = responses->ResponseList.GetAt(0);
  if (!r.Detail) {
    raise(qbxml::kErrQbResponse,
          "QuickBooks answered the host query without its host record (status " +
              std::to_string(r.StatusCode) + ": " + r.StatusMessage + ")",
          "kestrin.qbXML");
  }
  qbxml::RetList versions = r.Detail->list("SupportedQBXMLVersion");
  double newest = 0;
  std::string text;
  for (size_t i = 0; i < versions.Count(); ++i) {
    double v = val(versions.GetAt(i));
    if (v > newest) {
      newest = v;
      text = versions.GetAt(i);
    }
  }
  return text;
}

std::shared_ptr<qbxml::MsgSetRequest> latestMsgSetRequest(qbxml::QBSessionManager& sessionManager,
                                                          std::string& log) {
  const std::string v = latestQbXmlVersion(sessionManager);
  if (v == "2.1" || v == "2.0") return sessionManager.CreateMsgSetRequest(2, 0);
  if (v == "1.1") return sessionManager.CreateMsgSetRequest(1, 1);
  log += kQuickBooks2002Message;
  return sessionManager.CreateMsgSetRequest(1, 0);
}

ExportProfile engineProfile() { return ExportProfile{}; }

ExportProfile linkServerProfile() {
  ExportProfile p;
  p.appID = "";
  p.customerTerms = true;
  p.customerWarningsAsMessages = true;
  p.itemSalesTaxCodes = true;
  p.nonInventoryNameLength = 31;
  p.itemFailureNamesCompanyFile = false;
  return p;
}

// ---- One record ----

RecordSession::RecordSession(ExportHost& host, const ExportProfile& profile)
    : manager_(host.transport ? host.transport() : nullptr) {
  manager_.OpenConnection(profile.appID, profile.appName);
  manager_.BeginSession(host.companyFile, qbxml::omDontCare);
  request_ = latestMsgSetRequest(manager_, host.log);
  request_->Attributes.OnError = qbxml::roeContinue;
}

const Response& RecordSession::send() {
  response_ = manager_.DoRequests(*request_);
  return response_->ResponseList.GetAt(0);
}

void RecordSession::close() {
  manager_.EndSession();
  manager_.CloseConnection();
}

void logAddResponse(std::string& log, const Response& response, WarningStyle style,
                    std::string_view successPrefix, std::string_view idField,
                    std::string_view nameField) {
  if (response.StatusCode != 0) {
    if (style == WarningStyle::CodeAndMessage) {
      log += "Warning: Code = " + std::to_string(response.StatusCode) +
             ", Severity = " + response.StatusSeverity + ", Message = " + response.StatusMessage +
             kCrLf;
    } else {
      log += response.StatusMessage + kCrLf;
    }
  }
  if (response.Detail) {
    log += std::string(successPrefix) + response.Detail->field(idField).GetValue() + ", " +
           response.Detail->field(nameField).GetValue() + kCrLf;
  }
}

// ---- The three exports ----

ExportSpec customerExport(const ExportProfile& profile) {
  ExportSpec spec;
  spec.query = "select * from customer order by customerid";
  spec.header = "Export All Customers to QB :: ";
  spec.logFileName = "ExportCustomerToQBLog.txt";
  WarningStyle style =
      profile.customerWarningsAsMessages ? WarningStyle::MessageOnly : WarningStyle::CodeAndMessage;
  spec.row = [style](ExportHost& host, const ExportProfile& p) {
    RecordSession session(host, p);
    fillCustomer(session.request().AppendCustomerAddRq(), host.rs, p);
    logAddResponse(host.log, session.send(), style, "Successful Customer_QBID = ");
    session.close();
  };
  return spec;
}

ExportSpec itemExport(const ExportProfile& profile) {
  ExportSpec spec;
  spec.query = "select * from products";
  spec.header = "Export All Products to QB :: ";
  spec.logFileName = "ExportItemsToQBLog.txt";
  spec.failureNamesCompanyFile = profile.itemFailureNamesCompanyFile;
  spec.row = [](ExportHost& host, const ExportProfile& p) {
    RecordSession session(host, p);
    if (host.rs.field("inventory").text() == "1") {
      fillInventoryItem(session.request().AppendItemInventoryAddRq(), host.rs, p);
    } else {
      fillNonInventoryItem(session.request().AppendItemNonInventoryAddRq(), host.rs, p);
    }
    logAddResponse(host.log, session.send(), WarningStyle::MessageOnly, "Successful Item_QBID = ");
    session.close();
  };
  return spec;
}

ExportSpec vendorExport(const ExportProfile&) {
  ExportSpec spec;
  spec.query = "select * from vendors";
  spec.header = "Export All Vendors to QB :: ";
  spec.logFileName = "ExportVendorToQBLog.txt";
  spec.row = [](ExportHost& host, const ExportProfile& p) {
    RecordSession session(host, p);
    session.request().AppendVendorAddRq().Name.SetValue(required(host.rs, "name"));
    logAddResponse(host.log, session.send(), WarningStyle::CodeAndMessage,
                   "Successful Vendor_QBID = ");
    session.close();
  };
  return spec;
}

std::string runExport(const ExportSpec& spec, ExportHost& host, const ExportProfile& profile,
                      const std::string& sPath) {
  const std::string logFile = sPath + spec.logFileName;
  return withHandler(
      [&] {
        if (host.openDatabase) host.openDatabase();
        host.sql = spec.query;
        host.rs = host.conn.execute(host.sql);
        host.log = spec.header + generalDate(host.now ? host.now() : localNow()) + kCrLf + kCrLf;
        for (; !host.rs.eof(); host.rs.moveNext()) spec.row(host, profile);
        replaceFile(logFile, host.log + kCrLf);
        if (host.closeDatabase) host.closeDatabase();
        return std::string("Passed");
      },
      [&] {
        std::string text = "Failed ::" + host.log + currentError().description;
        if (spec.failureNamesCompanyFile) text += "<br>COMPANY FILE: " + host.companyFile;
        if (host.closeDatabase) {
          try {
            host.closeDatabase();
          } catch (...) {
            // The export's own failure is the one to report.
          }
        }
        return text;
      });
}

}  // namespace kestrin::accounting

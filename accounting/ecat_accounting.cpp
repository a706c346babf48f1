// The engine's accounting methods: the exports into QuickBooks, the version negotiation, the
// test customer and the request file for the accounting link server.
#include "engine_transport.h"
#include "error_modes.h"
#include "kestrin/ecat.h"
#include "kestrin/fenwix_drop.h"
#include "kestrin/qb_exports.h"
#include "simulator_transport.h"
#include "text.h"

namespace kestrin {

std::unique_ptr<qbxml::Transport> engineTransport() { return qbsim::makeSimulatorTransport(); }

accounting::ExportHost eCat::exportHost(bool opensDatabase, const std::string& siteID,
                                        const std::string& sitePassword) {
  accounting::ExportHost host{conn, rs, sql, strR, CompanyFile, {}, {}, engineTransport, {}};
  if (opensDatabase) {
    host.openDatabase = [this, siteID, sitePassword] { opendb(false, siteID, sitePassword); };
    host.closeDatabase = [this] { closedb(); };
  }
  return host;
}

std::string eCat::qbExportCustomer(const std::string& siteID, const std::string& sitePassword,
                                   const std::string& sPath) {
  const std::string path = sPath;
  accounting::ExportHost host = exportHost(true, siteID, sitePassword);
  const accounting::ExportProfile profile = accounting::engineProfile();
  return accounting::runExport(accounting::customerExport(profile), host, profile, path);
}

std::string eCat::qbExportItems(const std::string& siteID, const std::string& sitePassword,
                                const std::string& sPath) {
  const std::string path = sPath;
  accounting::ExportHost host = exportHost(true, siteID, sitePassword);
  const accounting::ExportProfile profile = accounting::engineProfile();
  return accounting::runExport(accounting::itemExport(profile), host, profile, path);
}

std::string eCat::qbExportVendor(const std::string& siteID, const std::string& sitePassword,
                                 const std::string& sPath, bool boOpendb) {
  const std::string path = sPath;
  accounting::ExportHost host = exportHost(boOpendb, siteID, sitePassword);
  const accounting::ExportProfile profile = accounting::engineProfile();
  return accounting::runExport(accounting::vendorExport(profile), host, profile, path);
}

Variant eCat::qbAddCustomer(const std::string& CompanyFile, const std::string&, const std::string&,
                            const std::string&, const std::string&, const std::string&,
                            const std::string&, const std::string&, const Variant&,
                            const std::string&, const std::string&, const std::string&,
                            const std::string&, const std::string&, const std::string&,
                            const std::string&) {
  const std::string companyFile = CompanyFile;
  strR.clear();
  qbxml::QBSessionManager manager(engineTransport());
  manager.OpenConnection(accounting::kAppName, accounting::kAppName);
  manager.BeginSession(companyFile, qbxml::omDontCare);
  auto request = GetLatestMsgSetRequest(manager);
  request->Attributes.OnError = qbxml::roeContinue;
  request->AppendCustomerAddRq().Name.SetValue("wabo");
  auto responses = manager.DoRequests(*request);
  const qbxml::Response& r = responses->ResponseList.GetAt(0);
  std::string text;
  if (r.StatusCode != 0) {
    text = "Status: Code = " + std::to_string(r.StatusCode) + ", Severity = " + r.StatusSeverity +
           ", Message = " + r.StatusMessage;
  }
  if (r.Detail) text += "CustomerRet ListID = " + r.Detail->field("ListID").GetValue();
  manager.EndSession();
  manager.CloseConnection();
  return Variant(text);
}

std::shared_ptr<qbxml::MsgSetRequest> eCat::GetLatestMsgSetRequest(
    qbxml::QBSessionManager& SessionManager) {
  return accounting::latestMsgSetRequest(SessionManager, strR);
}

std::string eCat::QBFCLatestVersion(qbxml::QBSessionManager& SessionManager) {
  return accounting::latestQbXmlVersion(SessionManager);
}

std::string eCat::Fenwix(const std::string& siteID, const std::string& sitePassword,
                         const std::string& sPath, const std::string& tType) {
  const accounting::DropRequest request{siteID, sitePassword, sPath, tType};
  return withHandler(
      [&] {
        accounting::writeDropRequest(accounting::fenwixDropFolder(), request);
        return std::string("Passed");
      },
      [] { return std::string("Failed"); });
}

}  // namespace kestrin

// Method rows of the accounting exports.
#include "engine_transport.h"
#include "kestrin/qb_exports.h"
#include "method_table.h"

namespace kestrin {

namespace {

// Runs `call` with a session manager whose session is open on the site's company file, as a
// page would before it asks for the newest request set.
template <class Call>
Variant withCompanySession(eCat& c, Call call) {
  qbxml::QBSessionManager manager(engineTransport());
  manager.OpenConnection(accounting::kAppName, accounting::kAppName);
  manager.BeginSession(c.CompanyFile, qbxml::omDontCare);
  Variant result = call(manager);
  manager.EndSession();
  manager.CloseConnection();
  return result;
}

}  // namespace

void addAccountingMethods(MethodTable& t) {
  auto exportRow = [&t](const char* name,
                        std::string (eCat::*method)(const std::string&, const std::string&,
                                                    const std::string&)) {
    t.push_back({name,
                 {requiredText("siteID"), requiredText("sitePassword"), textArg("sPath")},
                 ResultKind::Text,
                 true,
                 [method](eCat& c, const std::vector<Variant>& v) {
                   CallArgs a(v);
                   return Variant((c.*method)(a.text(0), a.text(1), a.text(2)));
                 }});
    t.back().writes = Store::SiteFiles;  // the export log and the company file
  };
  exportRow("qbExportCustomer", &eCat::qbExportCustomer);
  exportRow("qbExportItems", &eCat::qbExportItems);
  t.push_back({"qbExportVendor",
               {requiredText("siteID"), requiredText("sitePassword"), textArg("sPath"),
                flagArg("boOpendb", true)},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.qbExportVendor(a.text(0), a.text(1), a.text(2), a.flag(3)));
               }});
  t.back().writes = Store::SiteFiles;
  t.push_back({"qbAddCustomer",
               {textArg("CompanyFile"), textArg("customerid"), textArg("Name"), textArg("address"),
                textArg("address2"), textArg("address3"), textArg("city"), textArg("state"),
                textArg("zip"), textArg("Country"), textArg("phone"), textArg("fax"),
                textArg("EMAIL"), textArg("fname"), textArg("mname"), textArg("lname")},
               ResultKind::Variant,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return c.qbAddCustomer(a.text(0), a.text(1), a.text(2), a.text(3), a.text(4),
                                        a.text(5), a.text(6), a.text(7), v.at(8), a.text(9),
                                        a.text(10), a.text(11), a.text(12), a.text(13), a.text(14),
                                        a.text(15));
               }});
  t.back().writes = Store::SiteFiles;  // the company file
  // The two version methods take a session manager: the caller opens the site's databases (for
  // CompanyFile) and they run on a session begun on that company file.
  t.push_back({"GetLatestMsgSetRequest",
               {},
               ResultKind::Text,
               false,
               [](eCat& c, const std::vector<Variant>&) {
                 return withCompanySession(c, [&c](qbxml::QBSessionManager& m) {
                   return Variant(c.GetLatestMsgSetRequest(m)->version());
                 });
               }});
  t.back().writes = Store::SiteFiles;  // a session rewrites the company file
  t.push_back(
      {"QBFCLatestVersion", {}, ResultKind::Text, false, [](eCat& c, const std::vector<Variant>&) {
         return withCompanySession(
             c, [&c](qbxml::QBSessionManager& m) { return Variant(c.QBFCLatestVersion(m)); });
       }});
  t.back().writes = Store::SiteFiles;
  t.push_back({"Fenwix",
               {requiredText("siteID"), requiredText("sitePassword"), requiredText("sPath"),
                requiredText("tType")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.Fenwix(a.text(0), a.text(1), a.text(2), a.text(3)));
               }});
  t.back().writes = Store::SiteFiles;  // the drop request
}

}  // namespace kestrin

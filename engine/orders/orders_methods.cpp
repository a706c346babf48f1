// Method rows of customers, orders and order history.
#include "method_table.h"

namespace kestrin {

namespace {

MethodArg numberArg(std::string name, ArgKind kind, bool optional) {
  return {std::move(name), kind, optional, kind == ArgKind::Single ? Variant(0.0f) : Variant(0.0)};
}

}  // namespace

void addOrderMethods(MethodTable& t) {
  t.push_back(
      {"AddCustomer",
       {requiredText("username"), requiredText("Password"), textArg("cname"), textArg("fname"),
        textArg("mname"), textArg("lname"), textArg("address"), textArg("city"), textArg("state"),
        textArg("zip"), textArg("Country"), textArg("phone"), textArg("fax"), textArg("EMAIL"),
        textArg("mRate"), textArg("egroup"), textArg("siteID"), textArg("sitePassword")},
       ResultKind::Text,
       true,
       [](eCat& c, const std::vector<Variant>& v) {
         CallArgs a(v);
         return Variant(c.AddCustomer(a.text(0), a.text(1), a.text(2), a.text(3), a.text(4),
                                      a.text(5), a.text(6), a.text(7), a.text(8), a.text(9),
                                      a.text(10), a.text(11), a.text(12), a.text(13), a.text(14),
                                      a.text(15), a.text(16), a.text(17)));
       }});
  t.back().writes = Store::MainDb;
  t.push_back({"UpdateCustomer",
               {requiredText("customerid"),
                textArg("cname"),
                textArg("fname"),
                textArg("mname"),
                textArg("lname"),
                textArg("address"),
                textArg("city"),
                textArg("state"),
                textArg("zip"),
                textArg("Country"),
                textArg("phone"),
                textArg("fax"),
                textArg("EMAIL"),
                textArg("cctype"),
                textArg("CCNumber"),
                textArg("CCExpire"),
                textArg("cebankname"),
                textArg("ceacctno"),
                textArg("ceabarouting"),
                textArg("siteID"),
                textArg("sitePassword")},
               ResultKind::Flag,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.UpdateCustomer(
                     a.text(0), a.text(1), a.text(2), a.text(3), a.text(4), a.text(5), a.text(6),
                     a.text(7), a.text(8), a.text(9), a.text(10), a.text(11), a.text(12),
                     a.text(13), a.text(14), a.text(15), a.text(16), a.text(17), a.text(18),
                     a.text(19), a.text(20)));
               }});
  t.back().writes = Store::MainDb;
  t.push_back({"logon",
               {requiredText("username"), requiredText("strPassword"), textArg("siteID"),
                textArg("sitePassword")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.logon(a.text(0), a.text(1), a.text(2), a.text(3)));
               }});
  t.push_back({"OrderGetNextOrderID",
               {textArg("siteID"), textArg("sitePassword")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.OrderGetNextOrderID(a.text(0), a.text(1)));
               }});
  t.push_back({"OrderSave",
               {numberArg("GrandTotal", ArgKind::Double, false),
                numberArg("TotalBeforeTaxes", ArgKind::Double, false),
                numberArg("SubTotal", ArgKind::Double, false),
                requiredText("CardType"),
                requiredText("sessionid"),
                numberArg("handling", ArgKind::Single, false),
                textArg("customerid"),
                textArg("CCNumber"),
                textArg("CCExpire"),
                textArg("CKNumber"),
                textArg("CKABARouting"),
                textArg("CKBankName"),
                numberArg("ShipCost", ArgKind::Single, true),
                textArg("ShipMethod"),
                textArg("ShipCompany"),
                textArg("ShipName"),
                textArg("ShipAddress"),
                textArg("shipCity"),
                textArg("ShipState"),
                textArg("ShipZip"),
                textArg("ShipCountry"),
                textArg("CCBankName"),
                textArg("CCbankPhone"),
                textArg("PONum"),
                textArg("siteID"),
                textArg("sitePassword")},
               ResultKind::Flag,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.OrderSave(
                     a.number(0), a.number(1), a.number(2), a.text(3), a.text(4), a.single(5),
                     a.text(6), a.text(7), a.text(8), a.text(9), a.text(10), a.text(11),
                     a.single(12), a.text(13), a.text(14), a.text(15), a.text(16), a.text(17),
                     a.text(18), a.text(19), a.text(20), a.text(21), a.text(22), a.text(23),
                     a.text(24), a.text(25)));
               }});
  t.back().writes = Store::MainDb;
  t.push_back({"OrderUpdateStatus",
               {requiredText("orderid"), requiredText("Status"), textArg("siteID"),
                textArg("sitePassword")},
               ResultKind::Flag,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 std::string status = a.text(1);
                 return Variant(c.OrderUpdateStatus(a.text(0), status, a.text(2), a.text(3)));
               }});
  t.back().writes = Store::MainDb;
  t.push_back({"OrderDelete",
               {requiredText("orderid"), textArg("siteID"), textArg("sitePassword")},
               ResultKind::Flag,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.OrderDelete(a.text(0), a.text(1), a.text(2)));
               }});
  t.back().writes = Store::MainDb;
  t.push_back({"OrderStatus",
               {requiredText("customerid"), textArg("siteID"), textArg("sitePassword")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.OrderStatus(a.text(0), a.text(1), a.text(2)));
               }});
}

}  // namespace kestrin

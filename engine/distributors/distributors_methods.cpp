// Method rows of stock checks, price-and-availability client and URL fetch.
#include "method_table.h"

namespace kestrin {

namespace {
std::vector<MethodArg> exchangeArgs() { return {requiredText("partno"), requiredText("aPath")}; }
}  // namespace

void addDistributorMethods(MethodTable& t) {
  MethodInfo realInventory{
      "RealInventory",
      {requiredText("partno"), requiredText("aPath"), textArg("customerid"), flagArg("strCustDb")},
      ResultKind::Text,
      false,
      [](eCat& c, const std::vector<Variant>& v) {
        CallArgs a(v);
        return Variant(c.RealInventory(a.text(0), a.text(1), a.text(2), a.flag(3)));
      }};
  realInventory.peerPreference = "imServer";
  realInventory.outsidePeer = OutsidePeer::ExchangeAgent;
  realInventory.writes = Store::SiteFiles;
  t.push_back(std::move(realInventory));

  MethodInfo createFile{"CreateThefile", exchangeArgs(), ResultKind::None, false,
                        [](eCat& c, const std::vector<Variant>& v) {
                          CallArgs a(v);
                          c.CreateThefile(a.text(0), a.text(1));
                          return Variant();
                        }};
  createFile.outsidePeer = OutsidePeer::ExchangeFolder;
  createFile.writes = Store::SiteFiles;
  t.push_back(std::move(createFile));

  MethodInfo deleteFile{"DeleteTheFile", exchangeArgs(), ResultKind::None, false,
                        [](eCat& c, const std::vector<Variant>& v) {
                          CallArgs a(v);
                          c.DeleteTheFile(a.text(0), a.text(1));
                          return Variant();
                        }};
  deleteFile.outsidePeer = OutsidePeer::ExchangeFolder;
  deleteFile.writes = Store::SiteFiles;
  t.push_back(std::move(deleteFile));

  MethodInfo getQty{"getQty",
                    {requiredText("part_num")},
                    ResultKind::Text,
                    false,
                    [](eCat& c, const std::vector<Variant>& v) {
                      return Variant(c.getQty(CallArgs(v).text(0)));
                    }};
  getQty.peerPreference = "imServer";
  getQty.outsidePeer = OutsidePeer::PriceServer;
  t.push_back(std::move(getQty));
}

}  // namespace kestrin

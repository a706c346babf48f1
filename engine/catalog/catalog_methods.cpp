// Method rows of the catalog navigation methods.
#include "method_table.h"

namespace kestrin {

void addCatalogMethods(MethodTable& t) {
  t.push_back(
      {"displayCat", withSite({requiredText("strGRP"), textArg("strImage"), flagArg("strCustDb")}),
       ResultKind::Text, true, [](eCat& c, const std::vector<Variant>& v) {
         CallArgs a(v);
         return Variant(c.displayCat(a.text(0), a.text(1), a.flag(2), a.text(3), a.text(4)));
       }});
  t.push_back({"displaySub",
               withSite({requiredText("grp"), requiredText("cat"), textArg("strImage"),
                         flagArg("strCustDb")}),
               ResultKind::Text, true, [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.displaySub(a.text(0), a.text(1), a.text(2), a.flag(3), a.text(4),
                                             a.text(5)));
               }});
  t.push_back(
      {"displayItems",
       withSite({requiredText("grp"), requiredText("cat"), textArg("subcat"), textArg("strImage"),
                 int16Arg("page"), textArg("strKey"), textArg("strFilter"), textArg("strStype"),
                 textArg("customerid"), flagArg("strCustDb"), int16Arg("FeaturedPage")}),
       ResultKind::Text, true, [](eCat& c, const std::vector<Variant>& v) {
         CallArgs a(v);
         return Variant(c.displayItems(a.text(0), a.text(1), a.text(2), a.text(3), a.i2(4),
                                       a.text(5), a.text(6), a.text(7), a.text(8), a.flag(9),
                                       a.i2(10), a.text(11), a.text(12)));
       }});
  t.push_back({"displayGRP", withSite({requiredText("group")}), ResultKind::Text, true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.displayGRP(a.text(0), a.text(1), a.text(2)));
               }});
  t.push_back({"displayManufList", withSite({textArg("strFrom"), textArg("strVendcode")}),
               ResultKind::Text, true, [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.displayManufList(a.text(0), a.text(1), a.text(2), a.text(3)));
               }});
  t.push_back({"displayManuf",
               withSite({requiredText("vendcode"), int16Arg("page"), textArg("grp"), textArg("cat"),
                         textArg("subcat"), textArg("customerid"), flagArg("strCustDb"),
                         int16Arg("FeaturedPage")}),
               ResultKind::Variant, true, [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return c.displayManuf(a.text(0), a.i2(1), a.text(2), a.text(3), a.text(4),
                                       a.text(5), a.flag(6), a.i2(7), a.text(8), a.text(9));
               }});
}

}  // namespace kestrin

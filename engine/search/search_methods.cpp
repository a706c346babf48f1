// Method rows of searches and the filter form.
#include "method_table.h"

namespace kestrin {

void addSearchMethods(MethodTable& t) {
  t.push_back({"SmartSearch",
               withSite({requiredText("action"), textArg("pGroup"), textArg("grp"), textArg("cat"),
                         textArg("subcat"), textArg("manuf"), textArg("prodline"),
                         textArg("orderby"), int16Arg("page"), textArg("customerid"),
                         flagArg("strCustDb"), int16Arg("FeaturedPage")}),
               ResultKind::Text, true, [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.SmartSearch(a.text(0), a.text(1), a.text(2), a.text(3), a.text(4),
                                              a.text(5), a.text(6), a.text(7), a.i2(8), a.text(9),
                                              a.flag(10), a.i2(11), a.text(12), a.text(13)));
               }});
  // The form is appended to strR (kestrinctl: --show strR); the result is empty text.
  t.push_back({"ViewFilters",
               {textArg("grp"), textArg("cat"), textArg("subcat"), textArg("manuf"),
                textArg("prodline"), textArg("orderby"), flagArg("strCustDb")},
               ResultKind::Text,
               false,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.ViewFilters(a.text(0), a.text(1), a.text(2), a.text(3), a.text(4),
                                              a.text(5), a.flag(6)));
               }});
  t.push_back({"searchII",
               withSite({requiredText("keyword"), requiredText("sType"), textArg("grp"),
                         int16Arg("page"), textArg("strIP"), textArg("customerid"),
                         flagArg("strCustDb"), int16Arg("FeaturedPage"), textArg("strFrom")}),
               ResultKind::Text, true, [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.searchII(a.text(0), a.text(1), a.text(2), a.i2(3), a.text(4),
                                           a.text(5), a.flag(6), a.i2(7), a.text(8), a.text(9),
                                           a.text(10)));
               }});
  t.back().writes = Store::MainDb;  // the search-word log
  t.push_back({"search",
               withSite({requiredText("keyword"), requiredText("sType"), int16Arg("page"),
                         textArg("strIP"), textArg("customerid"), flagArg("strCustDb")}),
               ResultKind::Text, true, [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.search(a.text(0), a.text(1), a.i2(2), a.text(3), a.text(4),
                                         a.flag(5), a.text(6), a.text(7)));
               }});
  t.back().writes = Store::MainDb;  // the search-word log
  t.push_back({"search_old",
               withSite({requiredText("keyword"), requiredText("sType"), int16Arg("page"),
                         textArg("strIP"), textArg("customerid"), flagArg("strCustDb")}),
               ResultKind::Text, true, [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.search_old(a.text(0), a.text(1), a.i2(2), a.text(3), a.text(4),
                                             a.flag(5), a.text(6), a.text(7)));
               }});
  t.back().writes = Store::MainDb;  // the search-word log
}

}  // namespace kestrin

// Method rows of the product page.
#include "method_table.h"

namespace kestrin {

void addProductMethods(MethodTable& t) {
  t.push_back({"displayDetail",
               {requiredText("partno"), textArg("aPath"), textArg("strImage"), flagArg("strCustDb"),
                textArg("siteID"), textArg("sitePassword"), textArg("customerid"),
                int16Arg("strPage", 1), textArg("strSelectPic"), textArg("strPicID")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.displayDetail(a.text(0), a.text(1), a.text(2), a.flag(3),
                                                a.text(4), a.text(5), a.text(6), a.i2(7), a.text(8),
                                                a.text(9)));
               }});
}

}  // namespace kestrin

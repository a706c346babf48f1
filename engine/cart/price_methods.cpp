// Method rows of the price methods.
#include "method_table.h"

namespace kestrin {

void addPriceMethods(MethodTable& t) {
  t.push_back({"getRates",
               {textArg("group")},
               ResultKind::Single,
               false,
               [](eCat& c, const std::vector<Variant>& v) {
                 return Variant(c.getRates(CallArgs(v).text(0)));
               }});
  t.push_back({"getDiscount",
               {textArg("customerid")},
               ResultKind::Single,
               false,
               [](eCat& c, const std::vector<Variant>& v) {
                 return Variant(c.getDiscount(CallArgs(v).text(0)));
               }});
  t.push_back({"getHandlingRates",
               {requiredText("id")},
               ResultKind::Variant,
               false,
               [](eCat& c, const std::vector<Variant>& v) {
                 return c.getHandlingRates(CallArgs(v).text(0));
               }});
  t.push_back(
      {"getRatesII",
       {requiredText("group"), textArg("customerid"), textArg("siteID"), textArg("sitePassword")},
       ResultKind::Single,
       true,
       [](eCat& c, const std::vector<Variant>& v) {
         CallArgs a(v);
         return Variant(c.getRatesII(a.text(0), a.text(1), a.text(2), a.text(3)));
       }});
  t.push_back({"getHandlingRatesII",
               {requiredText("id"), textArg("siteID"), textArg("sitePassword")},
               ResultKind::Variant,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return c.getHandlingRatesII(a.text(0), a.text(1), a.text(2));
               }});
}

}  // namespace kestrin

// Method rows of the cart steps and cart display.
#include "method_table.h"

namespace kestrin {

void addCartMethods(MethodTable& t) {
  t.push_back({"cartADD",
               {requiredText("steps"),
                requiredText("partno"),
                {"qty", ArgKind::Int16, false, Variant(0)},
                requiredText("sessionid"),
                textArg("aPath"),
                textArg("action"),
                textArg("customerid"),
                flagArg("strCustDb"),
                textArg("siteID"),
                textArg("sitePassword"),
                flagArg("strPci"),
                int16Arg("prSizes"),
                int16Arg("prColors"),
                int16Arg("prStyles"),
                int16Arg("prTextures"),
                int16Arg("prFlavors"),
                int16Arg("prPackaging"),
                int16Arg("prSingle"),
                int16Arg("prGender"),
                int16Arg("prPicture")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.cartADD(a.text(0), a.text(1), a.i2(2), a.text(3), a.text(4),
                                          a.text(5), a.text(6), a.flag(7), a.text(8), a.text(9),
                                          a.flag(10), a.i2(11), a.i2(12), a.i2(13), a.i2(14),
                                          a.i2(15), a.i2(16), a.i2(17), a.i2(18), a.i2(19)));
               }});
  t.back().writes = Store::MainDb | Store::SiteFiles;  // the cart; the stock request files
  t.push_back(
      {"cartDisplayOnly",
       {requiredText("sessionid"), textArg("action"), textArg("steps"), textArg("xDescr"),
        textArg("siteID"), textArg("sitePassword"), flagArg("strPci"), flagArg("strNoShip")},
       ResultKind::Variant,
       true,
       [](eCat& c, const std::vector<Variant>& v) {
         CallArgs a(v);
         return c.cartDisplayOnly(a.text(0), a.text(1), a.text(2), a.text(3), a.text(4), a.text(5),
                                  a.flag(6), a.flag(7));
       }});
  t.push_back({"CartDisplay",
               {requiredText("sessionid"), textArg("strSteps"), textArg("strXDescription"),
                textArg("action"), flagArg("strPci"), flagArg("strNoShip")},
               ResultKind::Text,
               false,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.CartDisplay(a.text(0), a.text(1), a.text(2), a.text(3), a.flag(4),
                                              a.flag(5)));
               }});
  t.push_back({"cartTotal",
               {requiredText("sessionid"), textArg("siteID"), textArg("sitePassword")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.cartTotal(a.text(0), a.text(1), a.text(2)));
               }});
  t.push_back({"CartListItems",
               {requiredText("sessionid"),
                {"isHTML", ArgKind::Flag, false, Variant(false)},
                textArg("siteID"),
                textArg("sitePassword")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.CartListItems(a.text(0), a.flag(1), a.text(2), a.text(3)));
               }});
}

}  // namespace kestrin

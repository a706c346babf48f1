// Method rows of the session and settings methods.
#include "method_table.h"

namespace kestrin {

void addCoreMethods(MethodTable& t) {
  t.push_back({"opendb",
               {flagArg("initPref", true), textArg("siteID"), textArg("sitePassword")},
               ResultKind::None,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 c.opendb(a.flag(0), a.text(1), a.text(2));
                 return Variant();
               }});
  t.push_back({"closedb", {}, ResultKind::None, true, [](eCat& c, const std::vector<Variant>&) {
                 c.closedb();
                 return Variant();
               }});
  t.push_back({"getConnString",
               {textArg("siteID"), textArg("sitePassword")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.getConnString(a.text(0), a.text(1)));
               }});
  t.push_back(
      {"getPref",
       {requiredText("items"), textArg("strFrom"), textArg("siteID"), textArg("sitePassword")},
       ResultKind::Text,
       true,
       [](eCat& c, const std::vector<Variant>& v) {
         CallArgs a(v);
         return Variant(c.getPref(a.text(0), a.text(1), a.text(2), a.text(3)));
       }});
  t.push_back({"prefsInit", {}, ResultKind::None, false, [](eCat& c, const std::vector<Variant>&) {
                 c.prefsInit();
                 return Variant();
               }});
  t.push_back(
      {"setPref",
       {requiredText("items"), requiredText("descr"), textArg("siteID"), textArg("sitePassword")},
       ResultKind::Text,
       true,
       [](eCat& c, const std::vector<Variant>& v) {
         CallArgs a(v);
         return Variant(c.setPref(a.text(0), a.text(1), a.text(2), a.text(3)));
       }});
  t.back().writes = Store::MainDb;
  t.push_back({"setPrefMenu",
               {textArg("siteID"), textArg("sitePassword")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.setPrefMenu(a.text(0), a.text(1)));
               }});
  t.push_back({"getAppPath", {}, ResultKind::Text, true, [](eCat& c, const std::vector<Variant>&) {
                 return Variant(c.getAppPath());
               }});
}

}  // namespace kestrin

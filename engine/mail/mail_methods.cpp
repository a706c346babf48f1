// Method rows of outbound mail.
#include "method_table.h"

namespace kestrin {

void addMailMethods(MethodTable& t) {
  t.push_back({"sendEmail",
               {requiredText("strTo"), requiredText("strFrom"), requiredText("strSubject"),
                requiredText("strMessage"), flagArg("strHTML"), textArg("strCC"),
                textArg("strAttach"), textArg("siteID"), textArg("sitePassword")},
               ResultKind::Text,
               true,
               [](eCat& c, const std::vector<Variant>& v) {
                 CallArgs a(v);
                 return Variant(c.sendEmail(a.text(0), a.text(1), a.text(2), a.text(3), a.flag(4),
                                            a.text(5), a.text(6), a.text(7), a.text(8)));
               }});
  t.back().peerPreference = "smtpserver";
}

}  // namespace kestrin

// The search-word log: how often each search text was asked for, under the code of its type.
#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

void eCat::logSearchWord(const std::string& keyword, const std::string& code,
                         const std::string& referer, bool lookUpReferer) {
  const std::string word = sqlEscape(trim(keyword));
  const std::string stype = sqlEscape(code);
  sql = std::string("select word,qty") + (lookUpReferer ? ",referer" : "") +
        " from searchwords where stype='" + stype + "' and word='" + word + "'";
  rstemp = conn.execute(sql);
  if (rstemp.eof()) {
    sql = "insert into searchwords(word,referer,stype,qty) values ('" + word + "','" +
          sqlEscape(referer) + "','" + stype + "',1)";
  } else {
    // The count is written without quotes: it is taken as a whole number, whatever the row holds.
    const Variant& qty = rstemp.field("qty");
    const long long searches = qty.isNumeric() ? static_cast<long long>(qty.number()) : 0;
    sql = "update searchwords set qty=" + std::to_string(searches + 1) + ",referer='" +
          sqlEscape(referer) + "' where word='" + word + "' and stype='" + stype + "'";
  }
  conn.execute(sql);
  clearCurrentError();
}

}  // namespace kestrin

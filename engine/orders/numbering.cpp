#include "numbering.h"

#include "text.h"

namespace kestrin::orders {

std::string nextId(db::Connection& conn, std::string& sql, const IdSequence& seq) {
  sql = seq.listing;
  db::Recordset ids = conn.execute(sql);
  if (ids.eof()) return seq.first;
  std::string last;
  for (; !ids.eof(); ids.moveNext()) last = ids.field(seq.column).text();
  const double number = Variant(last.size() > 1 ? last.substr(1, 5) : std::string()).number() + 1;
  return std::string(1, seq.prefix) + numberText(finiteNumber(number));
}

bool idTaken(db::Connection& conn, std::string& sql, const IdSequence& seq, const std::string& id) {
  sql = seq.lookup + sqlEscape(id) + "'";
  return !conn.execute(sql).eof();
}

}  // namespace kestrin::orders

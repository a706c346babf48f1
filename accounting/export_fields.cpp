#include "export_fields.h"

#include "kestrin/error.h"
#include "text.h"

namespace kestrin::accounting {

std::optional<std::string> present(const db::Recordset& rs, const char* column) {
  const Variant& v = rs.field(column);
  if (v.isNull()) return std::nullopt;
  return trim(v.text());
}

std::string required(const db::Recordset& rs, const char* column) {
  const Variant& v = rs.field(column);
  if (v.isNull()) raise(kErrInvalidUseOfNull, "Invalid use of Null", "kestrin");
  return trim(v.text());
}

std::string namePart(const db::Recordset& rs, const char* column) {
  const Variant& v = rs.field(column);
  return v.isNull() ? std::string() : trim(v.text());
}

std::string customerName(const db::Recordset& rs) {
  return namePart(rs, "fname") + " " + namePart(rs, "mname") + " " + namePart(rs, "lname");
}

double number(const std::string& trimmed) { return Variant(trimmed).number(); }

}  // namespace kestrin::accounting

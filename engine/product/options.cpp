#include "options.h"

#include "kestrin/error.h"
#include "text.h"

namespace kestrin::product {

namespace {

bool isOn(const Variant& flag) { return flag.isNumeric() && flag.number() == 1; }

bool isOptionTable(std::string_view table) {
  if (table == kPictureTable) return true;
  for (const OptionKind& kind : kOptionKinds) {
    if (table == kind.table) return true;
  }
  return false;
}

}  // namespace

OfferedOptions readOfferedOptions(db::Connection& conn, std::string& sql,
                                  const std::string& partno) {
  sql = "select ";
  for (const OptionKind& kind : kOptionKinds) sql += std::string(kind.flagColumn) + ",";
  sql += std::string(kPictureFlag) + " from products where part_num='" + sqlEscape(partno) + "'";
  db::Recordset flags = conn.executeCached(sql);
  OfferedOptions offered;
  if (flags.eof()) return offered;
  for (size_t i = 0; i < kOptionKinds.size(); ++i)
    offered.lists[i] = isOn(flags.field(kOptionKinds[i].flagColumn));
  offered.picture = isOn(flags.field(kPictureFlag));
  return offered;
}

std::vector<OptionRow> readOptionRows(db::Connection& conn, std::string& sql,
                                      const std::string& partno, const OptionKind& kind) {
  sql = std::string("select * from ") + kind.table + " where part_num='" + sqlEscape(partno) +
        "' order by descr";
  std::vector<OptionRow> rows;
  for (db::Recordset rs = conn.executeCached(sql); !rs.eof(); rs.moveNext())
    rows.push_back({rs.field("id").text(), rs.field("descr").text()});
  return rows;
}

std::optional<long long> parseOptionId(std::string_view text) {
  const std::string digits = trim(text);
  // 18 digits always fit a 64-bit integer.
  if (digits.empty() || digits.size() > 18) return std::nullopt;
  long long id = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    id = id * 10 + (c - '0');
  }
  return id;
}

std::optional<std::string> optionDescr(db::Connection& conn, std::string& sql,
                                       std::string_view table, long long id) {
  if (!isOptionTable(table))
    raise(kErrInvalidCall,
          "Invalid procedure call or argument: no option table " + std::string(table), "kestrin");
  sql = "select descr from " + std::string(table) + " where id=" + std::to_string(id);
  db::Recordset row = conn.executeCached(sql);
  if (row.eof()) return std::nullopt;
  return row.field("descr").text();
}

}  // namespace kestrin::product

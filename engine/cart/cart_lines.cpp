#include "cart_lines.h"

#include "product/options.h"
#include "text.h"

namespace kestrin::cart {

LineProduct lineProduct(db::Connection& catalog, std::string& sql, const db::Recordset& line) {
  const std::string partno = line.field("partno").text();
  sql = "kx_cartProdInfo '" + sqlEscape(trim(partno)) + "'";
  db::Recordset found = catalog.executeCached(sql);
  if (found.eof()) return {partno, "", partno, line.field("descr").text()};
  return {found.field("p_manu_part").text(), found.field("m_name").text(),
          found.field("p_part_num").text(), found.field("p_descr").text()};
}

std::string optionsText(db::Connection& conn, std::string& sql, const db::Recordset& line,
                        bool labelled) {
  std::string chosen;
  auto add = [&](const char* column, const char* table, const char* label) {
    // Option ids are whole numbers; anything else stored in the column is no choice.
    const std::optional<long long> id = product::parseOptionId(line.field(column).text());
    if (!id || *id == 0) return;
    if (auto descr = product::optionDescr(conn, sql, table, *id))
      chosen += (labelled ? std::string(label) : std::string()) + trim(*descr) + ", ";
  };
  for (const product::OptionKind& kind : product::kOptionKinds)
    add(kind.table, kind.table, kind.cartLabel);
  add(product::kPictureField, product::kPictureTable, "");
  if (chosen.empty()) return {};
  std::string text = trim(chosen);
  text.pop_back();
  return " - " + text;
}

bool isShopLine(const db::Recordset& line) { return line.field("custdb").text() == "1"; }

}  // namespace kestrin::cart

// What the cart's listings show of a line besides its own columns: the product data of its part
// and the text of the options the shopper chose.
#pragma once

#include <string>

#include "kestrin/db.h"

namespace kestrin::cart {

// Product data of a line's part, from kx_cartProdInfo.
struct LineProduct {
  std::string manuPart;  // p_manu_part
  std::string maker;     // m_name
  std::string partNum;   // p_part_num
  std::string descr;     // p_descr
};

// Looks up the part of the current `line` on `catalog` (statement left in `sql`). A part that the
// catalog no longer holds keeps its line listed: its part number stands for the manufacturer's
// and the line's own description for the product's, so the shopper can still see and remove it.
LineProduct lineProduct(db::Connection& catalog, std::string& sql, const db::Recordset& line);

// The options text of the current `line`: " - " and the descriptions of its chosen options
// (sizes first, the picture last) separated by ", ", each after its label ("Size - ") when
// `labelled`; empty when nothing was chosen or no chosen row exists. Reads `conn`.
std::string optionsText(db::Connection& conn, std::string& sql, const db::Recordset& line,
                        bool labelled);

// The line is a product of the shop's own catalog.
bool isShopLine(const db::Recordset& line);

}  // namespace kestrin::cart

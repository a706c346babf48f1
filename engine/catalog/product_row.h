// Pieces of a product row shared by the results table and the featured table: status icon,
// cart button and price rule, picture link, and the lookups of a shop product's options,
// picture and price option (always on the main database).
#pragma once

#include <string>

#include "kestrin/db.h"

namespace kestrin::catalog {

// The icon of a (trimmed) status code, or empty text.
std::string statusIcon(const std::string& status);

struct CartChoice {
  std::string button;  // ends with its own "</a>"
  bool showPrice = true;
};

// The buy button of a product; `flag` is the featured flag written into the link.
CartChoice buyButton(const std::string& partNum, const char* flag);
// The button and price rule of a product's price option (empty, numeric, "call", "d", "n" or a
// web address).
CartChoice cartChoice(const std::string& priceOptions, const std::string& partNum,
                      const char* flag);

// What the main database says of a product for its row.
struct ShopDetails {
  bool found = false;   // the products table has the part
  std::string picture;  // the picture link, or empty text without pictures
  CartChoice cart;      // the buy button when the part is not found
};

// Runs "select picture,<priceOptionsColumn> from products where part_num='..'" and, for a found
// part, its first picture by position. `priceOptionsColumn` is spelled as the caller writes it.
ShopDetails lookUpShopDetails(db::Connection& conn, std::string& sql, const std::string& partNum,
                              const char* flag, const char* priceOptionsColumn);

// Whether the product offers options (sizes, colours, ...), by a lookup on the main database.
bool hasOptions(db::Connection& conn, std::string& sql, const std::string& partNum);

// Whether a row's stock count shows the product in stock (a count above zero).
bool inStock(const Variant& qty);

// The start of a row: row tag (catColor on the first, third, ... row of the page), item number,
// vendor (when shown), then the items cell with status icon and description link, left open.
std::string rowHead(const db::Recordset& rs, int index, const std::string& catColor,
                    bool vendorColumn, const char* flag, const std::string& priceText);

// The link to a shop product's options, shown under its description.
std::string optionsLink(const std::string& priceText, const std::string& partNum);

// The stock cell: the stock count (or "Inquire") linking to the stock check.
std::string stockCell(const std::string& partNum, const char* flag, bool inStock,
                      const std::string& qty);

// Price text of a row: plain money of `price`, or empty text when the cost is not numeric.
std::string priceCell(bool inStock, bool showPrice, const std::string& priceText);

}  // namespace kestrin::catalog

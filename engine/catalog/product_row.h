// Pieces of a product row shared by the results table and the featured table: status icon,
// cart button and price rule, picture link, and the lookups of a shop product's options,
// picture and price option (always on the main database).
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

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

// The answers of the per-row lookups below for all the rows of one page, read in two statements
// (the products' picture, price option and option flags; their pictures) instead of two or three
// per row. The rows still write their own statements into `sql`, so what a caller sees there is
// what the per-row lookups leave.
class PageDetails {
 public:
  PageDetails() = default;
  // Reads the details of the parts of a page, as the listing gave them (`withOptions`: also
  // whether each offers options). Answers nothing when the reading fails or a part number is
  // not plain ASCII (whose case the databases may fold otherwise): the rows then run their own
  // statements, and any failure happens in the row it happened in before.
  static PageDetails read(db::Connection& conn, const std::vector<std::string>& partNums,
                          const char* priceOptionsColumn, bool withOptions);

  struct Part {
    bool found = false;
    std::string priceOptions;
    bool hasOptions = false;
    bool hasPicture = false;
    std::string picture;  // the first by position
  };
  // The part's answers, or nullptr when the page's reading did not cover it.
  const Part* find(const std::string& partNum) const;
  bool withOptions() const { return withOptions_; }

 private:
  bool read_ = false;
  bool withOptions_ = false;
  std::unordered_map<std::string, Part> parts_;  // by lower-cased part number
};

// The part numbers of the rows from `rs`'s current row on, at most `rows` of them; fewer where
// reading a row fails (the row's own use of it fails again in its place). Leaves `rs` moved:
// the caller places it again.
std::vector<std::string> partNumbersAhead(db::Recordset& rs, int rows);

// Runs "select picture,<priceOptionsColumn> from products where part_num='..'" and, for a found
// part, its first picture by position. `priceOptionsColumn` is spelled as the caller writes it.
// With `page` covering the part, its answers come from there and only the statements' texts are
// written into `sql`.
ShopDetails lookUpShopDetails(db::Connection& conn, std::string& sql, const std::string& partNum,
                              const char* flag, const char* priceOptionsColumn,
                              const PageDetails* page = nullptr);

// Whether the product offers options (sizes, colours, ...), by a lookup on the main database
// (from `page` when it covers the part).
bool hasOptions(db::Connection& conn, std::string& sql, const std::string& partNum,
                const PageDetails* page = nullptr);

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

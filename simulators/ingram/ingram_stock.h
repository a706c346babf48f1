// The Ingram Micro price-and-availability server's side of the 7,374-byte message: a stock table
// and the answer to a request.
//
// Stock file lines: part number, warehouse, quantity, price[, description]. A part has one line
// per warehouse (up to 20); a negative quantity is a warehouse that owes stock.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin::simulators::ingram {

inline constexpr size_t kMessageLength = 7374;

struct WarehouseStock {
  std::string warehouse;
  long quantity = 0;
};

struct StockItem {
  std::string partNumber;
  std::vector<WarehouseStock> warehouses;
  double price = 0;
  std::string description;
};

class StockTable {
 public:
  // Throws std::runtime_error naming the line of a malformed record.
  static StockTable parse(const std::string& text);
  static StockTable load(const std::string& path);

  // The part by its number, without regard to case or surrounding blanks; nullptr when unknown.
  const StockItem* find(std::string_view partNumber) const;
  size_t size() const { return items_.size(); }

 private:
  std::map<std::string, StockItem> items_;
};

// The reseller account the server accepts; empty fields accept anything.
struct Account {
  std::string customerNumber;
  std::string branch;
  std::string password;
};

// The answer to one message of kMessageLength bytes: the request with the header's return code
// and error type and each asked part's answer area filled in. A message that is not a price and
// availability request gets return code "9999" and error type "E" and nothing else.
std::string answer(const StockTable& stock, const Account& account, std::string_view request);

}  // namespace kestrin::simulators::ingram

#include "ingram_stock.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "stock_file.h"
#include "text.h"

namespace kestrin::simulators::ingram {

namespace {

// Offsets counted from 0.
constexpr size_t kHeaderLength = 63;
constexpr size_t kRecordLength = 731;
constexpr size_t kAnswerArea = 144;  // within a part record
constexpr size_t kParts = 10;
constexpr size_t kWarehouseLines = 20;

std::string key(std::string_view partNumber) { return upper(trim(partNumber)); }

std::string fit(const std::string& value, size_t width) {
  std::string out = value.substr(0, width);
  out.resize(width, ' ');
  return out;
}

std::string digits(long value, size_t width) {
  std::string text = std::to_string(std::min(value, 9999999L));
  return std::string(width - std::min(width, text.size()), '0') + text;
}

bool allDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Fills the 587-character answer area of one part.
void answerPart(const StockItem* item, const char* errorCode, std::string& area) {
  if (errorCode) {
    area[0] = errorCode[0];
    area[1] = errorCode[1];
    return;
  }
  const size_t lines = std::min(item->warehouses.size(), kWarehouseLines);
  for (size_t k = 0; k < lines; ++k) {
    const WarehouseStock& w = item->warehouses[k];
    std::string line = fit(w.warehouse, 2) + (w.quantity < 0 ? "-" : " ") +
                       digits(w.quantity < 0 ? -w.quantity : w.quantity, 7);
    area.replace(2 + 10 * k, 10, line);
    area.replace(220 + 10 * k, 10, "0000      ");
  }
  char price[32];
  std::snprintf(price, sizeof price, "%17.2f", item->price);
  area.replace(202, 17, fit(price, 17));
  area[219] = ' ';
  area[437] = '1';
  area.replace(438, 20, fit(item->partNumber, 20));
  area.replace(458, 24, fit(item->description, 24));
  area[486] = 'N';
}

}  // namespace

StockTable StockTable::parse(const std::string& text) {
  StockTable table;
  for (const StockRecord& r : parseStockRecords(text)) {
    const std::string where = "line " + std::to_string(r.line) + ": ";
    if (r.fields.size() < 4 || r.fields.size() > 5) {
      throw std::runtime_error(where + "expected part,warehouse,quantity,price[,description]");
    }
    if (r.fields[0].empty()) throw std::runtime_error(where + "the part number is empty");
    if (!isNumeric(r.fields[3])) throw std::runtime_error(where + "the price is not a number");
    StockItem& item = table.items_[key(r.fields[0])];
    if (item.warehouses.size() == kWarehouseLines) {
      throw std::runtime_error(where + "a part has at most 20 warehouses");
    }
    item.partNumber = r.fields[0];
    item.warehouses.push_back({r.fields[1], stockNumber(r, 2, "quantity")});
    item.price = val(r.fields[3]);
    if (r.fields.size() == 5) item.description = r.fields[4];
  }
  return table;
}

StockTable StockTable::load(const std::string& path) { return loadStockTable<StockTable>(path); }

const StockItem* StockTable::find(std::string_view partNumber) const {
  auto it = items_.find(key(partNumber));
  return it == items_.end() ? nullptr : &it->second;
}

std::string answer(const StockTable& stock, const Account& account, std::string_view request) {
  std::string message(request);
  message.resize(kMessageLength, ' ');
  message.back() = '\0';
  const std::string header = message.substr(0, kHeaderLength);
  if (header.compare(0, 4, "7369") != 0 || header.compare(37, 4, "LUII") != 0) {
    message.replace(14, 4, "9999");
    message[44] = 'E';
    return message;
  }
  message.replace(14, 4, "0000");
  message[44] = ' ';

  const char* accountError = nullptr;
  if (!account.customerNumber.empty() && trim(header.substr(20, 6)) != account.customerNumber) {
    accountError = "EE";
  } else if (!account.branch.empty() && trim(header.substr(18, 2)) != account.branch) {
    accountError = "EE";
  } else if (!account.password.empty() && trim(header.substr(26, 10)) != account.password) {
    accountError = "EJ";
  }

  for (size_t i = 0; i < kParts; ++i) {
    const size_t record = kHeaderLength + kRecordLength * i;
    const std::string part = message.substr(record, kRecordLength);
    const std::string partNumber = trim(part.substr(3, 12));
    if (part.compare(0, 3, "INV") != 0 || partNumber.empty()) continue;
    std::string area(kRecordLength - kAnswerArea, ' ');
    const StockItem* item = stock.find(partNumber);
    const char* error = accountError;
    if (!error && !allDigits(part.substr(15, 4))) error = "EQ";
    if (!error && !item) error = "EN";
    answerPart(item, error, area);
    message.replace(record + kAnswerArea, area.size(), area);
  }
  return message;
}

}  // namespace kestrin::simulators::ingram

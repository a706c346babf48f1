// Stock tables of the simulators: CSV text, one record a line, fields separated by commas and
// trimmed of blanks. Blank lines and lines beginning with "#" are skipped.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace kestrin::simulators {

struct StockRecord {
  int line = 0;  // line number in the file, for messages
  std::vector<std::string> fields;
};

std::vector<StockRecord> parseStockRecords(const std::string& text);

// The whole file; throws std::runtime_error naming the file when it cannot be read.
std::string readStockFile(const std::string& path);

// Table::parse of the file's text; every message names the file.
template <class Table>
Table loadStockTable(const std::string& path) {
  try {
    return Table::parse(readStockFile(path));
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

// An integer field; throws std::runtime_error naming the line when it is not one.
long stockNumber(const StockRecord& record, size_t field, const char* what);

}  // namespace kestrin::simulators

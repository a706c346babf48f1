#include "stock_file.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kestrin::simulators {

namespace {

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

}  // namespace

std::vector<StockRecord> parseStockRecords(const std::string& text) {
  std::vector<StockRecord> records;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    StockRecord record{number, {}};
    size_t start = 0;
    for (;;) {
      size_t comma = line.find(',', start);
      record.fields.push_back(trimmed(line.substr(start, comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    records.push_back(std::move(record));
  }
  return records;
}

std::string readStockFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the stock file " + path);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

long stockNumber(const StockRecord& record, size_t field, const char* what) {
  const std::string& text = record.fields.at(field);
  long value = 0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  auto [ptr, ec] = std::from_chars(begin + (text.starts_with('+') ? 1 : 0), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) {
    throw std::runtime_error("line " + std::to_string(record.line) + ": the " + what + " '" + text +
                             "' is not a whole number");
  }
  return value;
}

}  // namespace kestrin::simulators

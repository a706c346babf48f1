#include "exchange_agent.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "delimited_items.h"
#include "stock_file.h"
#include "text.h"

namespace kestrin::simulators::techdata {

namespace fs = std::filesystem;

namespace {

std::string key(std::string_view partNumber) { return upper(trim(partNumber)); }

bool hasExtension(const fs::path& file, const char* extension) {
  return lower(file.extension().string()) == extension;
}

// The response file of a request, whatever the case of its name, or an empty path.
fs::path existingResponse(const fs::path& request) {
  const std::string wanted = lower(request.stem().string() + ".tds");
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(request.parent_path(), ec)) {
    if (lower(e.path().filename().string()) == wanted) return e.path();
  }
  return {};
}

bool isAnswered(const fs::path& request) {
  const fs::path response = existingResponse(request);
  if (response.empty()) return false;
  std::error_code ec1, ec2;
  const auto answered = fs::last_write_time(response, ec1);
  const auto asked = fs::last_write_time(request, ec2);
  return !ec1 && !ec2 && answered >= asked;
}

void writeAtomically(const fs::path& target, const std::string& text) {
  const fs::path temporary = target.parent_path() / ("." + target.filename().string() + ".tmp");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) throw std::runtime_error("cannot write " + temporary.string());
  }
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) {
    fs::remove(temporary, ec);
    throw std::runtime_error("cannot write " + target.string());
  }
}

}  // namespace

StockTable StockTable::parse(const std::string& text) {
  StockTable table;
  for (const StockRecord& r : parseStockRecords(text)) {
    if (r.fields.size() != 2 || r.fields[0].empty()) {
      throw std::runtime_error("line " + std::to_string(r.line) + ": expected part,quantity");
    }
    table.items_[key(r.fields[0])] = stockNumber(r, 1, "quantity");
  }
  return table;
}

StockTable StockTable::load(const std::string& path) { return loadStockTable<StockTable>(path); }

std::optional<long> StockTable::quantity(std::string_view partNumber) const {
  auto it = items_.find(key(partNumber));
  if (it == items_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> responseFor(const StockTable& stock, std::string_view request) {
  std::optional<std::string> part;
  bool complete = false;
  for (const std::string& item : readDelimitedItems(request)) {
    if (item.starts_with("LIN~VP~")) part = item.substr(7);
    if (item.starts_with("SE~")) complete = true;
  }
  if (!complete || !part || trim(*part).empty()) return std::nullopt;

  std::string response = "ST~846RESP\r\nLIN~VP~" + *part + "\r\n";
  if (std::optional<long> qty = stock.quantity(*part)) {
    response += "QTY~" + std::to_string(*qty) + "\r\n";
  } else {
    response += "REF~NF~Part not on file\r\n";
  }
  return response + "SE~4\r\n";
}

int ExchangeAgent::answerRequests(std::ostream& log) {
  std::error_code ec;
  std::map<std::string, fs::file_time_type> requests;
  for (const fs::directory_entry& e : fs::directory_iterator(folder_, ec)) {
    if (!hasExtension(e.path(), ".tdn") || !e.is_regular_file(ec)) continue;
    const auto written = fs::last_write_time(e.path(), ec);
    if (!ec) requests[e.path().filename().string()] = written;
  }
  // Requests the engine has deleted are forgotten.
  std::erase_if(answered_, [&](const auto& entry) { return !requests.count(entry.first); });

  int count = 0;
  for (const auto& [name, written] : requests) {
    const fs::path request = fs::path(folder_) / name;
    auto done = answered_.find(name);
    if ((done != answered_.end() && done->second == written) || isAnswered(request)) continue;
    std::string text;
    if (!readSmallFile(request.string(), kMaxRequestBytes, text)) {
      log << "techdata-agent: cannot read " << request.string() << " (missing or over "
          << kMaxRequestBytes << " bytes)\n";
      continue;
    }
    std::optional<std::string> response = responseFor(stock_, text);
    if (!response) continue;
    const fs::path existing = existingResponse(request);
    const fs::path target =
        existing.empty() ? request.parent_path() / (request.stem().string() + ".tds") : existing;
    try {
      writeAtomically(target, *response);
      answered_[name] = written;
      ++count;
    } catch (const std::exception& e) {
      log << "techdata-agent: " << e.what() << '\n';
    }
  }
  return count;
}

}  // namespace kestrin::simulators::techdata

// The Tech Data exchange agent's work: it answers each stock request file (PART.tdn) in a site's
// exchange folder with a response file (PART.tds) of delimited items, from a stock table.
//
// Stock file lines: part number, quantity. Request: "ST~846SEND", "LIN~VP~" + part, "SE~3".
// Response for a known part: "ST~846RESP", "LIN~VP~" + part, "QTY~" + quantity, "SE~4"; for an
// unknown one the QTY item is replaced by "REF~NF~Part not on file". Lines end with CR LF.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace kestrin::simulators::techdata {

// The largest request file the agent reads.
inline constexpr size_t kMaxRequestBytes = 64 * 1024;

class StockTable {
 public:
  // Throws std::runtime_error naming the line of a malformed record.
  static StockTable parse(const std::string& text);
  static StockTable load(const std::string& path);

  // The quantity of a part, without regard to case or surrounding blanks.
  std::optional<long> quantity(std::string_view partNumber) const;
  size_t size() const { return items_.size(); }

 private:
  std::map<std::string, long> items_;
};

// The response to a request file's text; nothing while the request is incomplete (its "SE" item
// not yet written) or names no part.
std::optional<std::string> responseFor(const StockTable& stock, std::string_view request);

// The agent of one exchange folder.
class ExchangeAgent {
 public:
  ExchangeAgent(std::string folder, StockTable stock)
      : folder_(std::move(folder)), stock_(std::move(stock)) {}

  // One pass over the folder: answers every request file that this agent has not answered yet
  // and that has no response newer than itself (answered before the agent started). Each
  // response is written under a temporary name and then renamed, so the engine never reads half
  // of one. A request is answered once: when the engine deletes the response and is about to
  // delete the request, the agent does not answer it again. Returns the number of responses
  // written; problems go to `log`.
  int answerRequests(std::ostream& log);

 private:
  std::string folder_;
  StockTable stock_;
  std::map<std::string, std::filesystem::file_time_type> answered_;  // request name: its time
};

}  // namespace kestrin::simulators::techdata

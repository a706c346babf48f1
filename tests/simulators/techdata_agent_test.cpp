// The exchange agent: its answers, and its passes over an exchange folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "exchange_agent.h"
#include "peers.h"

namespace kestrin::testing {
namespace {

namespace fs = std::filesystem;
using simulators::techdata::ExchangeAgent;
using simulators::techdata::responseFor;
using simulators::techdata::StockTable;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

const char* const kRequest = "ST~846SEND\r\nLIN~VP~D-1\r\nSE~3\r\n";

TEST(TechdataAgentTest, Responses) {
  const StockTable stock = StockTable::parse("D-1,12\nd-2, -3\n");
  struct Case {
    const char* name;
    std::string request;
    std::optional<std::string> response;
  };
  const Case cases[] = {
      {"known part", kRequest, "ST~846RESP\r\nLIN~VP~D-1\r\nQTY~12\r\nSE~4\r\n"},
      {"any case", "ST~846SEND\r\nLIN~VP~D-2\r\nSE~3\r\n",
       "ST~846RESP\r\nLIN~VP~D-2\r\nQTY~-3\r\nSE~4\r\n"},
      {"unknown part", "ST~846SEND\r\nLIN~VP~D-9\r\nSE~3\r\n",
       "ST~846RESP\r\nLIN~VP~D-9\r\nREF~NF~Part not on file\r\nSE~4\r\n"},
      {"not yet complete", "ST~846SEND\r\nLIN~VP~D-1\r\n", std::nullopt},
      {"no part", "ST~846SEND\r\nSE~3\r\n", std::nullopt},
      {"binary", std::string("\0\xff\x01", 3), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(responseFor(stock, c.request), c.response);
  }
}

TEST(TechdataAgentTest, AnswersEachRequestOnce) {
  TempFolder folder;
  ExchangeAgent agent(folder.path(), StockTable::parse("D-1,12\nD-2,0\n"));
  std::ostringstream log;
  writeFile(folder.path() + "/D-1.tdn", kRequest);
  writeFile(folder.path() + "/d-2.TDN", "ST~846SEND\r\nLIN~VP~D-2\r\nSE~3\r\n");
  writeFile(folder.path() + "/D-3.tdn", "ST~846SEND\r\n");  // still being written
  writeFile(folder.path() + "/notes.txt", "not a request");
  EXPECT_EQ(agent.answerRequests(log), 2);
  EXPECT_EQ(slurp(folder.path() + "/D-1.tds"), "ST~846RESP\r\nLIN~VP~D-1\r\nQTY~12\r\nSE~4\r\n");
  EXPECT_NE(slurp(folder.path() + "/d-2.tds").find("QTY~0"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder.path() + "/D-3.tds"));

  // The engine deletes the response before the request: no second answer meanwhile.
  fs::remove(folder.path() + "/D-1.tds");
  EXPECT_EQ(agent.answerRequests(log), 0);
  EXPECT_FALSE(fs::exists(folder.path() + "/D-1.tds"));

  // The rest of the request arrives; a new check of D-1 writes its request anew.
  writeFile(folder.path() + "/D-3.tdn", "ST~846SEND\r\nLIN~VP~D-3\r\nSE~3\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a later modification time
  writeFile(folder.path() + "/D-1.tdn", kRequest);
  EXPECT_EQ(agent.answerRequests(log), 2);
  EXPECT_NE(slurp(folder.path() + "/D-3.tds").find("REF~NF~"), std::string::npos);
  EXPECT_TRUE(fs::exists(folder.path() + "/D-1.tds"));
  EXPECT_EQ(log.str(), "");

  // A new agent over the same folder leaves answered requests alone.
  ExchangeAgent restarted(folder.path(), StockTable::parse("D-1,12\n"));
  EXPECT_EQ(restarted.answerRequests(log), 0);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder.path())) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"D-1.tdn", "D-1.tds", "D-3.tdn", "D-3.tds", "d-2.TDN",
                                             "d-2.tds", "notes.txt"}));
}

TEST(TechdataAgentTest, ProgramWatchesTheSiteFolder) {
  TempFolder site;
  writeFile(site.path() + "/stock.csv", "D-1,5\n");
  ChildProcess agent(TECHDATA_AGENT_PATH, {"--site", site.path(), "--stock",
                                           site.path() + "/stock.csv", "--interval", "10"});
  EXPECT_EQ(agent.readLine(), "techdata-agent watching " + site.path() + "/admin/tdo (1 parts)");
  writeFile(site.path() + "/admin/tdo/D-1.tdn", kRequest);
  for (int i = 0; i < 500 && !fs::exists(site.path() + "/admin/tdo/D-1.tds"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_NE(slurp(site.path() + "/admin/tdo/D-1.tds").find("QTY~5"), std::string::npos);
  EXPECT_EQ(agent.stop(), 0);

  ChildProcess bad(TECHDATA_AGENT_PATH, {"--site", site.path()});
  EXPECT_EQ(bad.wait(), 2);
}

}  // namespace
}  // namespace kestrin::testing

// The ingram simulator's answers and its program's options.
#include <gtest/gtest.h>

#include "ingram_stock.h"
#include "peers.h"

namespace kestrin::testing {
namespace {

using simulators::ingram::Account;
using simulators::ingram::answer;
using simulators::ingram::kMessageLength;
using simulators::ingram::StockTable;

// A request as the client builds it: header, ten part records, NUL.
std::string request(const std::vector<std::string>& parts, const std::string& customer = "",
                    const std::string& password = "") {
  auto pad = [](std::string s, size_t n) {
    s.resize(n, ' ');
    return s;
  };
  std::string m = "7369IMLUP777      " + pad("", 2) + pad(customer, 6) + pad(password, 10) +
                  "3LUIIMDP " + std::string(18, ' ');
  for (size_t i = 0; i < 10; ++i) {
    std::string part = i < parts.size() ? parts[i] : "";
    m += "INV" + pad(part, 12) + "0001Y" + std::string(711, ' ');
  }
  return m + '\0';
}

std::string area(const std::string& message, int part) {
  return message.substr(207 + 731 * static_cast<size_t>(part - 1), 587);
}

TEST(IngramSimulatorTest, AnswersFromTheStockTable) {
  const StockTable stock = StockTable::parse(
      "# part,warehouse,quantity,price,description\n"
      "ABC123, 01, 12, 149.5, Widget of a long name over 24\n"
      "abc123, 02, -5, 149.5\n"
      "\n"
      "XYZ, 07, 12345678, 1\n");
  const std::string asked = request({"ABC123", "nope", "", "xyz"});
  const std::string answered = answer(stock, Account{}, asked);
  ASSERT_EQ(answered.size(), kMessageLength);
  EXPECT_EQ(answered.substr(0, 14), asked.substr(0, 14));
  EXPECT_EQ(answered.substr(14, 4), "0000");
  EXPECT_EQ(answered.back(), '\0');

  const std::string first = area(answered, 1);
  EXPECT_EQ(first.substr(0, 22), "  01 000001202-0000005");
  EXPECT_EQ(first.substr(202, 17), "           149.50");
  EXPECT_EQ(first.substr(458, 24), "Widget of a long name ov");
  EXPECT_EQ(area(answered, 2).substr(0, 2), "EN");
  EXPECT_EQ(area(answered, 3), std::string(587, ' '));       // not asked
  EXPECT_EQ(area(answered, 4).substr(2, 10), "07 9999999");  // capped at the field's width
  // The request part of each record is left as it was.
  EXPECT_EQ(answered.substr(63, 144), asked.substr(63, 144));
}

TEST(IngramSimulatorTest, AccountAndMessageChecks) {
  const StockTable stock = StockTable::parse("P1,01,1,1\n");
  const Account account{"123456", "", "SECRET"};
  EXPECT_EQ(area(answer(stock, account, request({"P1"}, "123456", "SECRET")), 1).substr(0, 2),
            "  ");
  EXPECT_EQ(area(answer(stock, account, request({"P1"}, "999999", "SECRET")), 1).substr(0, 2),
            "EE");
  EXPECT_EQ(area(answer(stock, account, request({"P1"}, "123456", "other")), 1).substr(0, 2), "EJ");

  std::string notPandA = request({"P1"});
  notPandA.replace(37, 4, "XXXX");
  const std::string rejected = answer(stock, account, notPandA);
  EXPECT_EQ(rejected.substr(14, 4), "9999");
  EXPECT_EQ(rejected[44], 'E');
}

TEST(IngramSimulatorTest, MalformedStockFilesNameTheLine) {
  const char* const bad[] = {
      "P1,01,1\n",        // too few fields
      "P1,01,many,1\n",   // quantity not a number
      "P1,01,1,cheap\n",  // price not a number
      ",01,1,1\n",        // no part number
  };
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    try {
      StockTable::parse(std::string("# header\n") + text);
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, 7), "line 2:");
    }
  }
}

TEST(IngramSimulatorTest, ProgramRefusesBadOptions) {
  struct Case {
    std::vector<std::string> args;
  };
  const Case cases[] = {{{}},
                        {{"--stock"}},
                        {{"--stock", "/nonexistent/stock.csv"}},
                        {{"--port", "70000", "--stock", "x"}},
                        {{"--what", "x"}}};
  for (const Case& c : cases) {
    ChildProcess program(INGRAM_SIMULATOR_PATH, c.args);
    EXPECT_EQ(program.readLine(), "");  // nothing on standard output
    EXPECT_EQ(program.wait(), 2);
  }
}

}  // namespace
}  // namespace kestrin::testing

#include "text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "kestrin/error.h"
#include "kestrin/variant.h"

namespace kestrin {
namespace {

TEST(TextTest, TrimRemovesBlanksOnly) {
  EXPECT_EQ(trim("  a b  "), "a b");
  EXPECT_EQ(trim("\tx\t"), "\tx\t");
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(trim(""), "");
}

TEST(TextTest, SqlEscapeDoublesEverySingleQuote) {
  EXPECT_EQ(sqlEscape("O'Brien"), "O''Brien");
  EXPECT_EQ(sqlEscape("x'; delete from preferences; --"), "x''; delete from preferences; --");
  EXPECT_EQ(sqlEscape("''"), "''''");
  EXPECT_EQ(sqlEscape("plain"), "plain");
}

TEST(TextTest, NumericTestFollowsTheClassicRules) {
  struct Case {
    const char* text;
    bool numeric;
  };
  const Case cases[] = {
      {"12", true},    {" 12 ", true},  {"-1.5", true},        {".50", true},  {"1.", true},
      {"1,500", true}, {"1e5", true},   {"2.5E-3", true},      {"$12", true},  {"&H1F", true},
      {"12-", true},   {"", false},     {" ", false},          {"-", false},   {".", false},
      {"abc", false},  {"1e", false},   {"12abc", false},      {"1 2", false}, {",5", false},
      {"call", false}, {"&HZZ", false}, {"http://x/1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(isNumeric(c.text), c.numeric);
  }
}

TEST(TextTest, ValReadsTheLeadingNumber) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"2.5 lbs", 2.5}, {"  12 34abc", 1234}, {"abc", 0},   {"", 0},        {"-3.25kg", -3.25},
      {"1.5e3", 1500},  {"&H1F", 31},         {"&O17", 15}, {"1.2.3", 1.2}, {".5", 0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(val(c.text), c.value);
  }
}

TEST(TextTest, RadixLiteralsAboveThirtyTwoBitsOverflowWhateverTheirLength) {
  EXPECT_DOUBLE_EQ(val("&HFFFFFFFF"), 4294967295.0);
  EXPECT_DOUBLE_EQ(val("&O37777777777"), 4294967295.0);
  EXPECT_DOUBLE_EQ(val("&H00000000000000000000001F"), 31);  // leading zeros cost nothing
  for (const char* text : {"&H100000000", "&HFFFFFFFFFFFFFFFFFFFF", "&O40000000000",
                           "&O7777777777777777777777", "&h7fffffffffffffffffffffffffffffff"}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(isNumeric(text));
    try {
      val(text);
      ADD_FAILURE() << "no overflow";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrOverflow);
    }
  }
  // Long decimal strings are doubles, as the classic reading gives them.
  EXPECT_DOUBLE_EQ(val("99999999999999999999"), 1e20);
  EXPECT_DOUBLE_EQ(Variant("99999999999999999999").number(), 1e20);
}

TEST(TextTest, MoneyAndCountFormats) {
  struct Case {
    double value;
    const char* plain;
    const char* display;
  };
  const Case cases[] = {
      {2048.5, "2048.50", "2,048.50"},
      {0.5, ".50", "0.50"},
      {-0.5, "-.50", "-0.50"},
      {0, ".00", "0.00"},
      {-0.001, ".00", "0.00"},
      {1234567.891, "1234567.89", "1,234,567.89"},
      {100 * 1.15f, "115.00", "115.00"},  // single-precision factor: 114.999997...
      {999.999, "1000.00", "1,000.00"},
      {0.125, ".12", "0.12"},  // an exact half cent goes to the even neighbour
      {0.375, ".38", "0.38"},
      {2.675, "2.67", "2.67"},  // stored just below the half cent
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(plainMoney(c.value), c.plain);
    EXPECT_EQ(displayMoney(c.value), c.display);
  }
  EXPECT_EQ(countText(1500), "1,500");
  EXPECT_EQ(countText(23), "23");
  EXPECT_EQ(countText(1234567), "1,234,567");
  EXPECT_EQ(countText(0), "0");
}

TEST(TextTest, RoundHalfEven) {
  EXPECT_DOUBLE_EQ(roundHalfEven(2.5, 0), 2);
  EXPECT_DOUBLE_EQ(roundHalfEven(3.5, 0), 4);
  EXPECT_DOUBLE_EQ(roundHalfEven(-2.5, 0), -2);
  EXPECT_DOUBLE_EQ(roundHalfEven(0.125, 2), 0.12);
  EXPECT_DOUBLE_EQ(roundHalfEven(1.2345, 3), 1.234);  // 1.2345 is stored just below the half
}

TEST(TextTest, NumberTexts) {
  EXPECT_EQ(numberText(2048.5), "2048.5");
  EXPECT_EQ(numberText(115), "115");
  EXPECT_EQ(numberText(0.1 + 0.2), "0.3");
  EXPECT_EQ(numberText(-0.0), "0");
  EXPECT_EQ(singleText(1.15f), "1.15");
  EXPECT_EQ(singleText(0.9f), "0.9");
  EXPECT_EQ(singleText(1.0f), "1");
}

TEST(TextTest, Dates) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 9;
  EXPECT_EQ(shortDate(t), "12/9/2026");
  EXPECT_EQ(generalDate(t), "12/9/2026");
  t.tm_hour = 5;
  t.tm_min = 46;
  t.tm_sec = 11;
  EXPECT_EQ(generalDate(t), "12/9/2026 5:46:11 AM");
  t.tm_hour = 12;
  EXPECT_EQ(generalDate(t), "12/9/2026 12:46:11 PM");
  t.tm_hour = 0;
  EXPECT_EQ(generalDate(t), "12/9/2026 12:46:11 AM");
}

TEST(TextTest, SplitAndReplace) {
  EXPECT_EQ(split("a|b||c", "|"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(split("", "|"), (std::vector<std::string>{""}));
  EXPECT_EQ(replaceAll("a--b--", "--", "+"), "a+b+");
  EXPECT_EQ(textBefore("Acme - Europe", "-"), "Acme ");
  EXPECT_EQ(textBefore("Acme", "-"), "Acme");
}

}  // namespace
}  // namespace kestrin

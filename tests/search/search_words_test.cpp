// Words, part-number spellings and log codes shared by the searches.
#include <gtest/gtest.h>

#include "search_words.h"

namespace kestrin::search {
namespace {

TEST(SearchWords, SplitAtEverySingleBlank) {
  struct Case {
    const char* text;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"", {}},
      {"cable", {"cable"}},
      {"usb cable", {"usb", "cable"}},
      {"usb  cable", {"usb", "", "cable"}},
      {" cable ", {"", "cable", ""}},
      {"usb-cable adapter", {"usb-cable", "adapter"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(searchWords(c.text), c.words);
  }
}

TEST(SearchWords, PartNumberSpellingsInOrderWithoutTheTextItself) {
  struct Case {
    const char* text;
    std::vector<std::string> variants;
  };
  const Case cases[] = {
      {"ab-12/3", {"ab12/3", "ab-12-3", "ab/12/3"}},
      {"ab 12", {"ab12", "ab-12", "ab/12"}},
      {"ab-1 2/3", {"ab1 2/3", "ab-12/3", "ab-1 2-3", "ab/1 2/3", "ab-1-2/3", "ab-1/2/3"}},
      {"AB123", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(partNumberVariants(c.text), c.variants);
  }
}

TEST(SearchWords, LogCodesOfTheSearchTypes) {
  EXPECT_EQ(logCode("manuf"), "m");
  EXPECT_EQ(logCode("keyword"), "w");
  EXPECT_EQ(logCode("all"), "a");
  EXPECT_EQ(logCode("Keyword"), "");
  EXPECT_EQ(logCode("psearch"), "");
}

TEST(SearchWords, FirstCharactersNeverCutACharacter) {
  EXPECT_EQ(firstCharacters("ABCD567", characterCount("ABCD567") / 2), "ABC");
  EXPECT_EQ(firstCharacters("A", characterCount("A") / 2), "");
  EXPECT_EQ(characterCount("Größe"), 5u);
  EXPECT_EQ(firstCharacters("Größe", 2), "Gr");
  EXPECT_EQ(firstCharacters("Größe", 3), "Grö");
  EXPECT_EQ(firstCharacters("ab", 9), "ab");
}

TEST(SearchWords, LinkTextWritesBlanksAsPlus) {
  EXPECT_EQ(linkText("usb cable  2m"), "usb+cable++2m");
}

}  // namespace
}  // namespace kestrin::search

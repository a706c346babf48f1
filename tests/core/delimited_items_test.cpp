#include "delimited_items.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include <unistd.h>

namespace kestrin {
namespace {

TEST(DelimitedItemsTest, ItemsEndAtCommasAndLineEnds) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"empty text", "", {}},
      {"one item", "abc", {"abc"}},
      {"commas", "a,b,c", {"a", "b", "c"}},
      {"CR LF lines", "a\r\nb\r\n", {"a", "b"}},
      {"LF and CR lines", "a\nb\rc", {"a", "b", "c"}},
      {"blanks dropped around, kept inside", "  two words \t, x ", {"two words", "x"}},
      {"empty line is an empty item", "a\r\n\r\nb", {"a", "", "b"}},
      {"empty items between commas", "a,,b", {"a", "", "b"}},
      {"comma then line end", "a,\r\nb", {"a", "", "b"}},
      {"quotes dropped", "\"QTY~12\",\"REF~X\"", {"QTY~12", "REF~X"}},
      {"quoted comma stays", "\"a, b\",c", {"a, b", "c"}},
      {"quoted line end stays",
       "\"line one\r\nline two\"\r\nnext",
       {"line one\r\nline two", "next"}},
      {"blanks before a quote dropped", "   \"q\"  ,z", {"q", "z"}},
      {"text after the closing quote dropped", "\"q\"junk,z", {"q", "z"}},
      {"unclosed quote runs to the end", "\"open, text", {"open, text"}},
      {"quote inside an unquoted item stays", "say \"hi\",x", {"say \"hi\"", "x"}},
      {"tilde fields are one item", "QTY~5\r\nREF~ABC", {"QTY~5", "REF~ABC"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readDelimitedItems(c.text), c.items);
  }
}

TEST(DelimitedItemsTest, BinaryBytesAreReadAsText) {
  const std::string text("a\0b,\xff\xfe", 6);
  const std::vector<std::string> items = readDelimitedItems(text);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], std::string("a\0b", 3));
  EXPECT_EQ(items[1], "\xff\xfe");
}

TEST(DelimitedItemsTest, SmallFileReaderRefusesMissingAndOversizedFiles) {
  char name[] = "/tmp/kestrin-items-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  {
    std::ofstream out(name, std::ios::binary);
    out << "0123456789";
  }
  std::string content;
  EXPECT_TRUE(readSmallFile(name, 10, content));
  EXPECT_EQ(content, "0123456789");
  EXPECT_FALSE(readSmallFile(name, 9, content));
  EXPECT_EQ(content, "");
  std::remove(name);
  EXPECT_FALSE(readSmallFile(name, 10, content));
}

}  // namespace
}  // namespace kestrin

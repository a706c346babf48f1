#include "form_values.h"

#include <gtest/gtest.h>

namespace kestrin::shop {
namespace {

TEST(FormValues, DecodingAndEncoding) {
  struct Case {
    const char* encoded;
    const char* decoded;
  };
  const Case cases[] = {
      {"hard+drive", "hard drive"},
      {"a%2Bb%3Dc%26d", "a+b=c&d"},
      {"%3Cscript%3E", "<script>"},
      {"100%", "100%"},  // a lone percent sign stays
      {"%zz", "%zz"},    // so does a malformed escape
      {"%e2%82%ac", "\xe2\x82\xac"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encoded);
    EXPECT_EQ(urlDecode(c.encoded), c.decoded);
  }
  EXPECT_EQ(urlEncode("A1 b/c&d=\"<x>'"), "A1%20b%2Fc%26d%3D%22%3Cx%3E%27");
  EXPECT_EQ(urlEncode("KS-1_0.5~"), "KS-1_0.5~");
  EXPECT_EQ(urlDecode(urlEncode("any \x01 text\xff")), "any \x01 text\xff");
}

TEST(FormValues, QueryBeforeFormAndNamesWithoutCase) {
  FormValues v("group=B1&sType=keyword&amp;steps=2&empty=&flag", "group=Z9&qty=3&qty=4");
  EXPECT_EQ(v.get("group"), "B1");
  EXPECT_EQ(v.get("stype"), "keyword");
  EXPECT_EQ(v.get("STYPE"), "keyword");
  EXPECT_EQ(v.get("steps"), "2");  // a link's "&amp;" that reached us undecoded
  EXPECT_EQ(v.get("qty"), "3");
  EXPECT_EQ(v.all("qty"), (std::vector<std::string>{"3", "4"}));
  EXPECT_EQ(v.all("group"), (std::vector<std::string>{"B1", "Z9"}));
  EXPECT_TRUE(v.has("empty"));
  EXPECT_TRUE(v.has("flag"));
  EXPECT_FALSE(v.has("missing"));
  EXPECT_EQ(v.get("missing"), "");
}

TEST(FormValues, CookieValues) {
  EXPECT_EQ(cookieValue("a=1; KESTRIN_SESSION=abc; b=2", "KESTRIN_SESSION"), "abc");
  EXPECT_EQ(cookieValue("KESTRIN_SESSION=abc", "KESTRIN_SESSION"), "abc");
  EXPECT_EQ(cookieValue("XKESTRIN_SESSION=abc", "KESTRIN_SESSION"), "");
  EXPECT_EQ(cookieValue("", "KESTRIN_SESSION"), "");
}

}  // namespace
}  // namespace kestrin::shop

// The content pages that the keyword search links to (pView.asp) and the product comparison
// (compare.asp) with its list kept in a cookie.
#include <gtest/gtest.h>

#include "page_test_helpers.h"

namespace kestrin::testing {
namespace {

class ContentCompareTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    site_ = new SiteFixture(true);
    shop_ = new ShopProcess(site_->dir());
  }
  static void TearDownTestSuite() {
    delete shop_;
    delete site_;
    shop_ = nullptr;
    site_ = nullptr;
  }

  // GET with the comparison cookie (empty: none); returns the reply and the list it sets.
  static HttpReply getWithList(const std::string& target, const std::string& list) {
    std::string raw = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (!list.empty()) raw += "Cookie: KESTRIN_COMPARE=" + list + "\r\n";
    return sendRaw(shop_->port(), raw + "\r\n");
  }
  static std::string listOf(const HttpReply& r) {
    auto range = r.headers.equal_range("set-cookie");
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second.rfind("KESTRIN_COMPARE=", 0) == 0) {
        return it->second.substr(16, it->second.find(';') - 16);
      }
    }
    return "<unchanged>";
  }

  static SiteFixture* site_;
  static ShopProcess* shop_;
};
SiteFixture* ContentCompareTest::site_ = nullptr;
ShopProcess* ContentCompareTest::shop_ = nullptr;

TEST_F(ContentCompareTest, AContentPageShowsItsTextWithNamesFromTheTables) {
  // The link as the keyword search writes it; its own names are not what the page shows.
  HttpReply r = shop_->get(
      "/pView.asp?action=viewPDetails&pageId=3&pCatName=%3Cscript%3Ex&pGrpName=Policies");
  ASSERT_EQ(r.status, 200);
  expectGolden("shop/golden/content_page.html", contentOf(r.body));
  EXPECT_EQ(r.body.find("<script>"), std::string::npos);
  EXPECT_NE(r.body.find("<title>Kestrin Demo Computer Store - Shipping Policy</title>"),
            std::string::npos);
}

TEST_F(ContentCompareTest, WithoutAPageIdEveryContentPageIsListedByCategory) {
  HttpReply r = shop_->get("/pView.asp");
  ASSERT_EQ(r.status, 200);
  std::string content = contentOf(r.body);
  size_t guides = content.find("<h2>Buying Guides</h2>");
  size_t support = content.find("<h2>Customer Support</h2>");
  size_t info = content.find("<h2>Store Information</h2>");
  ASSERT_NE(guides, std::string::npos);
  EXPECT_LT(guides, support);
  EXPECT_LT(support, info);
  EXPECT_NE(content.find("<li><a href=\"pView.asp?action=viewPDetails&amp;pageId=1\">About Us</a> "
                         "<span class=\"stext\">Who we are</span></li>"),
            std::string::npos);
}

TEST_F(ContentCompareTest, PageIdsThatAreNotNumbersAreRefused) {
  struct Case {
    const char* target;
    int status;
    const char* expected;
  };
  const Case cases[] = {
      {"/pView.asp?action=viewPDetails&pageId=1%20or%201%3D1", 400, "1 or 1=1"},
      {"/pView.asp?action=viewPDetails&pageId=%3Cscript%3E", 400, "&lt;script&gt;"},
      {"/pView.asp?action=viewPDetails&pageId=1%27", 400, "1&#39;"},
      {"/pView.asp?action=viewPDetails&pageId=-1", 400, "-1"},
      {"/pView.asp?action=viewPDetails&pageId=999", 404, "This page does not exist (any more)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    HttpReply r = shop_->get(c.target);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.body.find(c.expected), std::string::npos) << r.body.substr(0, 600);
    EXPECT_EQ(r.body.find("<script>"), std::string::npos);
  }
}

TEST_F(ContentCompareTest, TheCompareLinkBuildsAListOfUpToFourProducts) {
  HttpReply empty = getWithList("/compare.asp", "");
  EXPECT_EQ(empty.status, 200);
  EXPECT_NE(empty.body.find("There is nothing to compare yet."), std::string::npos);
  EXPECT_EQ(listOf(empty), "<unchanged>");

  // The listing's link, then a second product.
  HttpReply one = getWithList("/compare.asp?partno=KS-100003&featured=True", "");
  ASSERT_EQ(one.status, 200);
  EXPECT_EQ(listOf(one), "T%3AKS-100003");
  HttpReply two = getWithList("/compare.asp?partno=KS-100010&featured=True", listOf(one));
  EXPECT_EQ(listOf(two), "T%3AKS-100003%2CT%3AKS-100010");
  expectGolden("shop/golden/compare.html", contentOf(two.body));

  // The same product again changes nothing; a fifth takes the oldest off.
  HttpReply same = getWithList("/compare.asp?partno=KS-100010&featured=True", listOf(two));
  EXPECT_EQ(listOf(same), "<unchanged>");
  std::string four = "T%3AKS-100003%2CT%3AKS-100007%2CT%3AKS-100010%2CF%3AKS-100050";
  HttpReply five = getWithList("/compare.asp?partno=KS-100013&featured=True", four);
  EXPECT_EQ(listOf(five), "T%3AKS-100007%2CT%3AKS-100010%2CF%3AKS-100050%2CT%3AKS-100013");
  EXPECT_NE(five.body.find("KS-100003 has been taken off the list."), std::string::npos);

  HttpReply removed =
      getWithList("/compare.asp?action=remove&partno=KS-100003&featured=True", listOf(two));
  EXPECT_EQ(listOf(removed), "T%3AKS-100010");
  HttpReply cleared = getWithList("/compare.asp?action=clear", listOf(two));
  EXPECT_NE(cleared.header("set-cookie")
                .find("KESTRIN_COMPARE=; Path=/; HttpOnly; "
                      "SameSite=Lax; Max-Age=0"),
            std::string::npos);
}

TEST_F(ContentCompareTest, TheComparedPriceIsTheProductPagesPrice) {
  const std::string mark = "<b>Price:</b> <font size=+1>$";
  // A distributor product: the product page always shows its price.
  HttpReply product = shop_->get("/c_final.asp?featured=False&partno=TD-5000014");
  size_t at = product.body.find(mark);
  ASSERT_NE(at, std::string::npos) << product.body.substr(0, 400);
  at += mark.size();
  std::string price = product.body.substr(at, product.body.find('<', at) - at);
  HttpReply compare = getWithList("/compare.asp?partno=TD-5000014&featured=False", "");
  const std::string cell = "<tr><th>Price</th><td><b>$";
  std::string shown = compare.body.substr(compare.body.find(cell) + cell.size());
  shown = shown.substr(0, shown.find('<'));
  std::erase(shown, ',');
  EXPECT_EQ(shown, price);
}

TEST_F(ContentCompareTest, HostileValuesAreRefusedAndForgedListsDropped) {
  struct Case {
    const char* target;
    int status;
    const char* expected;
  };
  const Case cases[] = {
      {"/compare.asp?partno=%22%3E%3Cscript%3Ealert(1)%3C%2Fscript%3E&featured=True", 400,
       "&quot;&gt;&lt;script&gt;"},
      {"/compare.asp?partno=KS%27--&featured=True", 400, "KS&#39;--"},
      {"/compare.asp?partno=KS-100003&featured=maybe", 400, "featured is True or False"},
      {"/compare.asp?action=%3Cscript%3E", 400, "&lt;script&gt;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    HttpReply r = getWithList(c.target, "");
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.body.find(c.expected), std::string::npos) << r.body.substr(0, 600);
    EXPECT_EQ(r.body.find("<script>"), std::string::npos);
  }
  // A list with entries this page never writes: only the sound entry is kept.
  HttpReply forged =
      getWithList("/compare.asp", "T%3A%3Cscript%3E%2CX%3AKS-1%2CF%3AKS%27x%2CT%3AKS-100007");
  EXPECT_EQ(forged.status, 200);
  EXPECT_EQ(forged.body.find("<script>"), std::string::npos);
  EXPECT_NE(forged.body.find("c_final.asp?featured=True&amp;partno=KS-100007"), std::string::npos);
  EXPECT_EQ(forged.body.find("KS&#39;x"), std::string::npos);
  // A part that is not (any more) in the catalog stays on the list, said so, and can be removed.
  HttpReply gone = getWithList("/compare.asp", "T%3ANO-SUCH-PART");
  EXPECT_NE(gone.body.find("This product is no longer in the catalog."), std::string::npos);
}

}  // namespace
}  // namespace kestrin::testing

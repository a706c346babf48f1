// Markup and discount factors.
#include <gtest/gtest.h>

#include "kestrin/ecat.h"
#include "site_fixture.h"

namespace kestrin::testing {
namespace {

class PricesTest : public SiteTest {
 protected:
  void markup(const std::string& code, double rate, const std::string& customer = "") {
    site.exec(Database::Main, "INSERT INTO markup (markupid, rate, customerid) VALUES ('" + code +
                                  "', " + std::to_string(rate) + ", " +
                                  (customer.empty() ? "NULL" : "'" + customer + "'") + ")");
  }
  void open() { cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword); }
  eCat cat;
};

TEST_F(PricesTest, GroupMarkupFallsBackToTheDefaultThenToOne) {
  markup("A1", 15);
  markup("", 50);  // a row for the empty code is never used for an empty group
  open();
  EXPECT_EQ(cat.getRates("A1"), 1.15f);
  EXPECT_EQ(cat.getRates(" A1 "), 1.15f);  // the group is trimmed
  EXPECT_EQ(cat.getRates("B9"), 1.0f);     // no group row, no default row
  cat.closedb();

  markup("m001", 20);
  open();
  EXPECT_EQ(cat.getRates("B9"), 1.2f);
  EXPECT_EQ(cat.getRates(""), 1.2f);
  EXPECT_EQ(cat.getRates("a1"), 1.15f);  // codes compare without regard to case in the database
  EXPECT_EQ(cat.sql, "kx_getMarkup 'a1'");
  cat.closedb();
}

TEST_F(PricesTest, FactorsAreSinglePrecision) {
  markup("A1", 15);
  open();
  const float rate = cat.getRates("A1");
  EXPECT_DOUBLE_EQ(static_cast<double>(rate), 1.149999976158142);
  EXPECT_DOUBLE_EQ(100 * static_cast<double>(rate), 114.9999976158142);
  cat.closedb();
}

TEST_F(PricesTest, DiscountWithoutCustomerTouchesNoDatabase) {
  // No session is open: a lookup would fail.
  EXPECT_EQ(cat.getDiscount(""), 1.0f);
  EXPECT_EQ(errorNumberOf([&] { cat.getDiscount("C10001"); }), kErrObjectClosed);
}

TEST_F(PricesTest, CustomerRateIsADiscountHereAndAMarkupInGetRatesII) {
  markup("cust", 10, "C10002");
  markup("cust", 0, "C10001");
  markup("A1", 25);
  open();
  EXPECT_EQ(cat.getDiscount("C10002"), 0.9f);
  EXPECT_EQ(cat.getDiscount("C10001"), 1.0f);
  EXPECT_EQ(cat.getDiscount("C99999"), 1.0f);
  cat.closedb();
  EXPECT_EQ(cat.getRatesII("A1", "C10002", SiteFixture::kSiteId, SiteFixture::kPassword), 1.1f);
  EXPECT_EQ(cat.getRatesII("A1", "C10001", SiteFixture::kSiteId, SiteFixture::kPassword), 1.0f);
  EXPECT_EQ(cat.getRatesII("A1", "C99999", SiteFixture::kSiteId, SiteFixture::kPassword), 1.25f);
  EXPECT_EQ(cat.getRatesII("A1", "", SiteFixture::kSiteId, SiteFixture::kPassword), 1.25f);
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(PricesTest, GetRatesIIFailsWithoutGroupOrDefaultRow) {
  EXPECT_EQ(errorNumberOf(
                [&] { cat.getRatesII("B9", "", SiteFixture::kSiteId, SiteFixture::kPassword); }),
            kErrNoCurrentRecord);
  markup("m001", 15);
  EXPECT_EQ(cat.getRatesII("B9", "", SiteFixture::kSiteId, SiteFixture::kPassword), 1.15f);
}

TEST_F(PricesTest, HandlingRatesHaveNoFallback) {
  markup("h002", 5.5);
  markup("m001", 15);
  open();
  EXPECT_EQ(cat.getHandlingRates("h002"), Variant(1.055));
  EXPECT_EQ(errorNumberOf([&] { cat.getHandlingRates("h999"); }), kErrNoCurrentRecord);
  EXPECT_EQ(errorNumberOf([&] { cat.getHandlingRates(" h002"); }),
            kErrNoCurrentRecord);  // not trimmed
  cat.closedb();
  EXPECT_EQ(cat.getHandlingRatesII("h002", SiteFixture::kSiteId, SiteFixture::kPassword),
            Variant(1.055));
  EXPECT_EQ(errorNumberOf(
                [&] { cat.getHandlingRatesII("x", SiteFixture::kSiteId, SiteFixture::kPassword); }),
            kErrNoCurrentRecord);
}

TEST_F(PricesTest, CodesHoldingQuotesAreOnlyValues) {
  markup("A9", 50);
  open();
  // Were the quote to end the literal, the condition would find A9's row.
  EXPECT_EQ(cat.getRates("x' or markupid<>'"), 1.0f);
  EXPECT_EQ(cat.getDiscount("x'; delete from markup; --"), 1.0f);
  cat.closedb();
  EXPECT_EQ(site.value(Database::Main, "select count(*) from markup"), "1");
}

}  // namespace
}  // namespace kestrin::testing

// The cart steps: interest in a product, the quantity form, adding, changing and removing lines.
#include <gtest/gtest.h>

#include "cart_test_base.h"

namespace kestrin::testing {
namespace {

const char* const kQuantityMessage = "Item's quatity must be either 1 or more.<br><br>";

class CartStepsTest : public CartTest {
 protected:
  void SetUp() override {
    CartTest::SetUp();
    // No real waiting for the distributor's stock answer.
    cat.setStockWait([](std::chrono::milliseconds) {});
  }

  std::string step(const std::string& steps, const std::string& part, int qty, bool shop = true,
                   const std::string& customer = "", const std::string& action = "add") {
    return cat.cartADD(steps, part, I2(qty), "sess1", site.dir(), action, customer, shop,
                       SiteFixture::kSiteId, SiteFixture::kPassword);
  }
  // The statement of the trace that begins with `start`.
  static std::string statement(const db::StatementTrace& trace, const std::string& start) {
    for (const db::TracedStatement& s : trace.statements()) {
      if (s.sql.rfind(start, 0) == 0) return s.sql;
    }
    return "<none>";
  }
};

TEST_F(CartStepsTest, AddingAShopProductStoresItsLineAndListsTheCart) {
  addProduct(Database::Main, {.part = "P1", .descr = "Cable", .shipwgth = "2.5 lbs"});
  markup("A1", 50);  // a shop product's cart price carries no group markup
  markup("cust", 10, "C10001");
  db::StatementTrace trace;
  const std::string html = cat.cartADD("2", "P1", I2(4), "sess1", "", "add", "C10001", true,
                                       SiteFixture::kSiteId, SiteFixture::kPassword, false, I2(5),
                                       I2(7), I2(0), I2(0), I2(0), I2(0), I2(0), I2(0), I2(3));
  EXPECT_EQ(statement(trace, "kx_cartAdd"),
            "kx_cartAdd 'sess1','P1','Cable',90.00,4,'Zelo',10.00,'1',5,7,0,0,0,0,0,0,3");
  const auto stored = lines();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].part, "P1");
  EXPECT_DOUBLE_EQ(stored[0].price, 90);
  EXPECT_EQ(stored[0].qty, 4);
  EXPECT_DOUBLE_EQ(stored[0].weight, 10);
  EXPECT_EQ(stored[0].custdb, "1");
  EXPECT_EQ(stored[0].options, "5,7,0,0,0,0,0,0,3");
  EXPECT_EQ(html.rfind("<br><font class=\"done\">Item(s) List</font><br><br><table", 0), 0u);
  EXPECT_NE(html.find("US$ 360.00"), std::string::npos);
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(CartStepsTest, DistributorProductCarriesItsGroupMarkupAndTheDiscount) {
  addProduct(Database::TechData, {.part = "TD1", .descr = "Switch", .grp = "N1"});
  markup("N1", 20);
  markup("cust", 10, "C10001");
  db::StatementTrace trace;
  step("2", "TD1", 1, false, "C10001");
  EXPECT_EQ(statement(trace, "kx_cartAdd"),
            "kx_cartAdd 'sess1','TD1','Switch',108.00,1,'Zelo',1.00,'0',0,0,0,0,0,0,0,0,0");
  EXPECT_EQ(lines().at(0).custdb, "0");
}

TEST_F(CartStepsTest, QuantityBelowOneIsRefusedAlone) {
  addProduct(Database::Main, {.part = "P1"});
  EXPECT_EQ(step("2", "P1", 0), kQuantityMessage);
  EXPECT_EQ(step("2", "P1", -3), kQuantityMessage);
  EXPECT_EQ(step("2a", "P1", -1), kQuantityMessage);
  EXPECT_TRUE(lines().empty());
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(CartStepsTest, AddingALineTwiceShowsTheWarningAndTheListing) {
  addProduct(Database::Main, {.part = "P1"});
  step("2", "P1", 1);
  const std::string html = step("2", "P1", 3);
  EXPECT_EQ(html.rfind("<div class=\"error\">Item is already in your shopping cart. Please change "
                       "the quantity.</div><br><br><table",
                       0),
            0u);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0].qty, 1);
  // The same part as a distributor product is another line.
  addProduct(Database::TechData, {.part = "P1"});
  step("2", "P1", 2, false);
  EXPECT_EQ(lines().size(), 2u);
}

TEST_F(CartStepsTest, ShipWeightOfTheLine) {
  const struct {
    const char* shipwgth;
    int qty;
    const char* step2;   // weight argument of step "2"
    const char* step2a;  // weight argument of step "2a"
  } cases[] = {
      {"2.5 lbs", 4, "10.00", "10.00"},
      {"0", 3, "1.00", "0.00"},
      {"1500", 1, "1500.00", "1500.00"},
      {"0.25 kg", 3, "0.75", "0.75"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shipwgth);
    const std::string part = "W" + std::to_string(++n);
    addProduct(Database::Main, {.part = part, .shipwgth = c.shipwgth});
    db::StatementTrace trace;
    step("2", part, c.qty);
    EXPECT_EQ(statement(trace, "kx_cartAdd"), "kx_cartAdd 'sess1','" + part + "','Widget',100.00," +
                                                  std::to_string(c.qty) + ",'Zelo'," + c.step2 +
                                                  ",'1',0,0,0,0,0,0,0,0,0");
    step("2a", part, c.qty);
    EXPECT_EQ(
        statement(trace, "kx_cartUpdate"),
        "kx_cartUpdate '" + part + "','sess1'," + std::to_string(c.qty) + "," + c.step2a + ",'1'");
  }
}

TEST_F(CartStepsTest, PartWithoutShipWeightRowWeighsOne) {
  // A distributor product whose catalog row is in the main database only for its price.
  addProduct(Database::Main, {.part = "P1"});
  if (site.backend() == Backend::SQLite) {
    site.exec(Database::Main,
              "UPDATE kx_procedures SET body = 'SELECT shipwgth FROM products WHERE 1 = 0 AND "
              "part_num = ?1' WHERE name = 'kx_getShipWeigth'");
  } else {
    site.exec(Database::Main,
              "CREATE OR REPLACE FUNCTION kx_getShipWeigth(p_part_num citext) RETURNS TABLE "
              "(shipwgth citext) LANGUAGE sql STABLE AS 'SELECT shipwgth FROM products WHERE 1 = "
              "0 AND part_num = p_part_num'");
  }
  db::StatementTrace trace;
  step("2", "P1", 5);
  EXPECT_EQ(statement(trace, "kx_cartAdd"),
            "kx_cartAdd 'sess1','P1','Widget',100.00,5,'Zelo',1.00,'1',0,0,0,0,0,0,0,0,0");
}

TEST_F(CartStepsTest, ShipWeightThatIsNotANumberFailsTheCall) {
  for (const char* shipwgth : {"heavy", "", "lbs 2"}) {
    SCOPED_TRACE(shipwgth);
    site.exec(Database::Main, "DELETE FROM products");
    addProduct(Database::Main, {.part = "P1", .shipwgth = shipwgth});
    EXPECT_EQ(errorNumberOf([&] { step("2", "P1", 1); }), kErrTypeMismatch);
    EXPECT_TRUE(lines().empty());
  }
  site.exec(Database::Main, "UPDATE products SET shipwgth = NULL");
  EXPECT_EQ(errorNumberOf([&] { step("2", "P1", 1); }), kErrTypeMismatch);
}

TEST_F(CartStepsTest, DescriptionWithAnApostropheIsStoredIntact) {
  addProduct(Database::Main, {.part = "P1", .descr = "Tom's 3' cable"});
  db::StatementTrace trace;
  step("2", "P1", 1);
  EXPECT_EQ(
      statement(trace, "kx_cartAdd"),
      "kx_cartAdd 'sess1','P1','Tom''s 3'' cable',100.00,1,'Zelo',1.00,'1',0,0,0,0,0,0,0,0,0");
  EXPECT_EQ(lines().at(0).descr, "Tom's 3' cable");
}

TEST_F(CartStepsTest, UnknownProductFailsTheCall) {
  EXPECT_EQ(errorNumberOf([&] { step("2", "NOPE", 1); }), kErrNoCurrentRecord);
  EXPECT_TRUE(lines().empty());
}

TEST_F(CartStepsTest, ChangingAndRemovingALine) {
  addProduct(Database::Main, {.part = "P1", .shipwgth = "2 lbs"});
  addProduct(Database::Main, {.part = "P2"});
  step("2", "P1", 1);
  step("2", "P2", 1);
  std::string html = step("2a", "P1", 3, true, "", "display");
  EXPECT_EQ(html.rfind("<font color=green>Quantity Changed</font><br><table", 0), 0u);
  EXPECT_EQ(lines()[0].qty, 3);
  EXPECT_DOUBLE_EQ(lines()[0].weight, 6);
  // Step "2a" lists the cart as its own step: links and total stay.
  EXPECT_NE(html.find("Remove</a>"), std::string::npos);

  html = step("2a", "P1", 0);
  EXPECT_EQ(html.rfind("<font color=\"green\">Item has been removed from cart</font><br><table", 0),
            0u);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0].part, "P2");
  // Removing the shop line leaves a distributor line of the same part.
  step("2a", "P2", 0, false);
  EXPECT_EQ(lines().size(), 1u);
}

TEST_F(CartStepsTest, QuantityForm) {
  EXPECT_EQ(step("1a", "P1", 3, true),
            "<div align=\"center\" class=\"text\"><b>Please specify a new quantity..</b><br>"
            "<form action=\"cart.asp\" method=\"post\"><input type=\"hidden\" name=\"action\" "
            "value=\"add\"><input type=\"hidden\" name=\"steps\" value=\"2a\"><input "
            "type=\"hidden\" name=\"featured\" value=\"True\"><input type=\"hidden\" "
            "name=\"part_num\" value=\"P1\"><input type=\"text\" name=\"qty\" size=\"5\" "
            "class=\"field\" value=\"3\">&nbsp;<input type=\"submit\" value=\"Change\" "
            "class=\"ButtonG\"></form><br></div>");
  // The part number comes from the request: it cannot leave its attribute.
  const std::string html = step("1a", "\"><script>x</script>", 1, false);
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_NE(html.find("name=\"featured\" value=\"False\""), std::string::npos);
}

TEST_F(CartStepsTest, InterestInAProductAlreadyInTheCartWarns) {
  addProduct(Database::Main, {.part = "P1"});
  step("2", "P1", 1);
  EXPECT_EQ(step("1", "P1", 1),
            "<br><font color=\"red\" size=\"3\">Warning:</font> This item is already in your "
            "shopping cart..please change the quantity instead of adding this item again..<a "
            "href=\"cart.asp?action=display\">Click here</a><br><br>");
}

TEST_F(CartStepsTest, InterestInANewProductShowsItsPriceAndStock) {
  addProduct(Database::Main, {.part = "P1", .descr = "Cable", .cost = 25});
  const std::string html = step("1", "P1", 1);
  EXPECT_EQ(html.rfind("<br><font class=\"pageTitle\">Thank you for your interest in this item."
                       "</font><br><br><b>Item: </b>Cable<br><b>Price: </b> $25.00",
                       0),
            0u)
      << html;
  EXPECT_TRUE(lines().empty());
}

TEST_F(CartStepsTest, OtherStepCodesDoNothing) {
  addProduct(Database::Main, {.part = "P1"});
  for (const char* code : {"", "3", "2A", " 2", "1b"}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(step(code, "P1", 1), "");
  }
  EXPECT_TRUE(lines().empty());
}

TEST_F(CartStepsTest, EndCheckAppendsTheErrorOfASkippedStep) {
  addProduct(Database::Main, {.part = "P1"});
  removeTechData();
  const std::string html = step("2", "P1", 1);
  EXPECT_NE(html.find("::ERROR:"), std::string::npos);
  EXPECT_EQ(lines().size(), 1u);
}

TEST_F(CartStepsTest, ValuesWithQuotesStayInsideTheirLiterals) {
  addProduct(Database::Main, {.part = "P'1"});
  db::StatementTrace trace;
  cat.cartADD("2", "P'1", I2(1), "s' or '1'='1", "", "add", "x' or '1'='1", true,
              SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(statement(trace, "kx_cartExist"), "kx_cartExist 'P''1','s'' or ''1''=''1','1'");
  EXPECT_EQ(statement(trace, "kx_getCustomerMarkup"), "kx_getCustomerMarkup 'x'' or ''1''=''1'");
  EXPECT_EQ(lines("s' or '1'='1").size(), 1u);
}

}  // namespace
}  // namespace kestrin::testing

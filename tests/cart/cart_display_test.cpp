// The cart table, the cart's totals and the listing of its lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "cart_test_base.h"

namespace kestrin::testing {
namespace {

class CartDisplayTest : public CartTest {
 protected:
  // A shop cable with a size and a colour chosen, then a distributor switch.
  void twoLineCart() {
    addProduct(Database::Main, {.part = "P1", .descr = "Cable ", .manuPart = "CB-1"});
    addMaker(Database::Main, "AC", "Acme");
    addProduct(Database::TechData,
               {.part = "TD1", .descr = "Switch", .manuPart = "SW-9", .vendCode = "NX"});
    addMaker(Database::TechData, "NX", "Nexo");
    addOption("prSizes", 5, "P1", "Large");
    addOption("prColors", 7, "P1", " Red ");
    addOption("prStyles", 9, "P1", "Never chosen");
    addLine({.part = "P1",
             .descr = "Cable",
             .price = "12.5",
             .qty = 2,
             .weight = "2.5",
             .options = "5,7,0,0,0,0,0,0,0"});
    addLine({.part = "TD1",
             .descr = "Switch",
             .price = "2345.5",
             .weight = "3.5",
             .shop = false,
             .options = "5,0,0,0,0,0,0,0,0"});
  }

  std::string display(const std::string& steps = "", const std::string& xDescr = "",
                      const std::string& action = "display", bool pci = false,
                      bool noShip = false) {
    open();
    cat.strR = "before|";
    EXPECT_EQ(cat.CartDisplay("sess1", steps, xDescr, action, pci, noShip), "");
    cat.closedb();
    return cat.strR;
  }
};

TEST_F(CartDisplayTest, CartTableWithOptionsLinksTotalAndWeight) {
  twoLineCart();
  const std::string html = display();
  // The cart table is appended to what strR held.
  EXPECT_EQ(html.rfind("before|", 0), 0u);
  expectGolden("cart/golden/cart_table.html", html);
  // Sizes before colours; the distributor line has no options text even with an id stored.
  EXPECT_NE(html.find(">Cable - Large, Red</a>"), std::string::npos);
  EXPECT_NE(html.find(">Switch</a>"), std::string::npos);
  EXPECT_NE(html.find("US$ 2,370.50  </b></font><br><font size=\"-2\">Ship Weigth: 6 lbs."),
            std::string::npos);
}

TEST_F(CartDisplayTest, ConfirmationStepHasNoLinksAndNoTotal) {
  twoLineCart();
  const std::string html = display("4");
  expectGolden("cart/golden/cart_table_step4.html", html);
  EXPECT_EQ(html.find("Change</a>"), std::string::npos);
  EXPECT_EQ(html.find("Total :"), std::string::npos);
  // The Continue button depends on the action alone.
  EXPECT_NE(html.find(" Continue "), std::string::npos);
  for (const char* readOnly : {"3b"}) {
    SCOPED_TRACE(readOnly);
    EXPECT_EQ(display(readOnly).find("Total :"), std::string::npos);
  }
  EXPECT_EQ(display("", "CC").find("Remove</a>"), std::string::npos);
}

TEST_F(CartDisplayTest, ContinueButtonOnlyForCartActions) {
  twoLineCart();
  const struct {
    const char* action;
    bool button;
  } cases[] = {{"calculate", true}, {"display", true},   {"add", true},
               {"", false},         {"checkout", false}, {"Display", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action);
    EXPECT_EQ(display("", "", c.action).find("cart_ship2.asp?action=checkout&steps=3") !=
                  std::string::npos,
              c.button);
  }
}

TEST_F(CartDisplayTest, EmptyCartIsOneLine) {
  EXPECT_EQ(display(), "before|<font class=\"error\">Your shopping cart is empty.</font><br><br>");
}

TEST_F(CartDisplayTest, LineAmountsAreRoundedBeforeTheyAreSummed) {
  addProduct(Database::Main, {.part = "R1"});
  addProduct(Database::Main, {.part = "R2"});
  addProduct(Database::Main, {.part = "R3"});
  addLine({.part = "R1", .price = "19.999", .qty = 3, .weight = "0"});
  std::string html = display();
  EXPECT_NE(html.find("<b>$60.00</b>"), std::string::npos);
  EXPECT_NE(html.find("US$ 60.00 "), std::string::npos);

  site.exec(Database::Main, "DELETE FROM cart");
  addLine({.part = "R2", .price = "0.334", .weight = "0"});
  addLine({.part = "R3", .price = "0.334", .weight = "0"});
  html = display();
  EXPECT_NE(html.find("US$ 0.66 "), std::string::npos);
  EXPECT_NE(html.find(" $0.33</td>"), std::string::npos);
}

TEST_F(CartDisplayTest, ShipWeightLeavesOutExemptProductsAndStrNoShip) {
  addProduct(Database::Main, {.part = "N1", .noShipping = true});
  addProduct(Database::Main, {.part = "W1"});
  addLine({.part = "N1", .weight = "4"});
  std::string html = display();
  EXPECT_EQ(html.find("Ship Weigth"), std::string::npos);
  EXPECT_NE(html.find("US$ 10.00  </b></font></font></td></tr></table>"), std::string::npos);

  addLine({.part = "W1", .weight = "3"});
  EXPECT_NE(display().find("Ship Weigth: 3 lbs."), std::string::npos);
  EXPECT_EQ(display("", "", "display", false, true).find("Ship Weigth"), std::string::npos);

  // A weight that rounds to less than 1 is not shown.
  site.exec(Database::Main, "UPDATE cart SET tweight = 0.4 WHERE partno = 'W1'");
  EXPECT_EQ(display().find("Ship Weigth"), std::string::npos);
}

TEST_F(CartDisplayTest, PciVariantReadsTheCartTableInOrderOfAdding) {
  twoLineCart();
  db::StatementTrace trace;
  const std::string html = display("", "", "display", true);
  EXPECT_TRUE(ran(trace, "select * from cart where sessionid='sess1' order by catid"));
  EXPECT_EQ(html, display());
}

TEST_F(CartDisplayTest, WithoutTechDataCatalogEveryLineIsReadFromTheMainDatabase) {
  site.setPreference("optTDdata", "no");
  addProduct(Database::Main, {.part = "TD1", .descr = "Switch here", .manuPart = "SW-M"});
  addLine({.part = "TD1", .shop = false});
  const std::string html = display();
  EXPECT_NE(html.find("<td>SW-M</td>"), std::string::npos);
  EXPECT_NE(html.find("c_final.asp?featured=True&price=10.00&amp;partno=TD1\">Switch here</a>"),
            std::string::npos);
}

TEST_F(CartDisplayTest, LineOfAPartNoLongerInTheCatalogStaysListed) {
  addLine({.part = "GONE", .descr = "Old cable"});
  const std::string html = display();
  EXPECT_NE(html.find("<td>GONE</td><td></td>"), std::string::npos);
  EXPECT_NE(html.find(">Old cable</a>"), std::string::npos);
  EXPECT_NE(html.find("steps=2a&amp;qty=0&amp;part_num=GONE"), std::string::npos);
}

TEST_F(CartDisplayTest, NeedsTheCallersSession) {
  twoLineCart();
  EXPECT_EQ(errorNumberOf([&] { cat.CartDisplay("sess1"); }), kErrObjectClosed);
}

TEST_F(CartDisplayTest, CartDisplayOnlyReturnsTheTableAlone) {
  twoLineCart();
  cat.strR = "left over";
  const Variant html =
      cat.cartDisplayOnly("sess1", "display", "", "", SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ("before|" + html.text(), display());
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(CartDisplayTest, SessionIdWithAQuoteStaysInsideItsLiteral) {
  addProduct(Database::Main, {.part = "P1"});
  addLine({.session = "s'1", .part = "P1"});
  addLine({.session = "other", .part = "P1", .price = "99"});
  db::StatementTrace trace;
  const Variant html =
      cat.cartDisplayOnly("s'1", "", "", "", SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_NE(html.text().find("US$ 10.00"), std::string::npos);
  EXPECT_EQ(trace.statements().back().sql,
            "select * from cart,products where products.part_num=cart.partno and "
            "products.noshipping = '1' and cart.sessionid='s''1'");
  EXPECT_EQ(cat.cartTotal("' or ''='", SiteFixture::kSiteId, SiteFixture::kPassword), "0|0");
}

TEST_F(CartDisplayTest, CartTotalIsSubtotalAndWeight) {
  twoLineCart();
  EXPECT_EQ(cat.cartTotal("sess1", SiteFixture::kSiteId, SiteFixture::kPassword), "2370.5|6");
  EXPECT_EQ(cat.cartTotal("nobody", SiteFixture::kSiteId, SiteFixture::kPassword), "0|0");
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(CartDisplayTest, CartTotalFailsWhenTheProcedureGivesNoRow) {
  // The procedure no longer sums, so an empty cart gives no row at all.
  if (site.backend() == Backend::SQLite) {
    site.exec(Database::Main,
              "UPDATE kx_procedures SET body = 'SELECT price AS subtotal, tweight AS shipweight "
              "FROM cart WHERE sessionid = ?1' WHERE name = 'kx_cartTotal'");
  } else {
    site.exec(Database::Main,
              "CREATE OR REPLACE FUNCTION kx_cartTotal(p_sessionid citext) RETURNS TABLE "
              "(subtotal double precision, shipweight double precision) LANGUAGE sql STABLE AS "
              "'SELECT price, tweight FROM cart WHERE sessionid = p_sessionid'");
  }
  EXPECT_EQ(cat.cartTotal("sess1", SiteFixture::kSiteId, SiteFixture::kPassword), "Failed");
}

TEST_F(CartDisplayTest, CartTotalEndCheckAppendsTheError) {
  twoLineCart();
  removeTechData();
  const std::string total = cat.cartTotal("sess1", SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(total.rfind("2370.5|6", 0), 0u) << total;
  EXPECT_NE(total.find(" : "), std::string::npos) << total;
  EXPECT_NE(total.find("techdata"), std::string::npos) << total;
}

TEST_F(CartDisplayTest, ListItemsAsHtmlAndText) {
  twoLineCart();
  const std::string html =
      cat.CartListItems("sess1", true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(html,
            "Item #: CB-1<br>Organization: Acme<br>Description: Cable - Size - Large, Color - "
            "Red<br>Amount:  $12.5<br>Quantity: 2<br><br>"
            "Item #: SW-9<br>Organization: Nexo<br>Description: Switch<br>Amount:  "
            "$2345.5<br>Quantity: 1<br><br>");
  const std::string text =
      cat.CartListItems("sess1", false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(text,
            "Item #: CB-1\r\nOrganization: Acme\r\nDescription: Cable - Size - Large, Color - "
            "Red\r\nAmount:  $12.5\r\nQuantity: 2\r\n\r\n"
            "Item #: SW-9\r\nOrganization: Nexo\r\nDescription: Switch\r\nAmount:  "
            "$2345.5\r\nQuantity: 1\r\n\r\n");
  EXPECT_EQ(cat.CartListItems("nobody", false, SiteFixture::kSiteId, SiteFixture::kPassword), "");
}

TEST_F(CartDisplayTest, ListItemsLabelsEveryOptionKind) {
  addProduct(Database::Main, {.part = "P1"});
  const char* tables[] = {"prSizes",   "prColors",    "prStyles", "prTextures",
                          "prFlavors", "prPackaging", "prSingle", "prGender"};
  for (int i = 0; i < 8; ++i) addOption(tables[i], i + 1, "P1", "o" + std::to_string(i + 1));
  site.exec(Database::Main,
            "INSERT INTO pictures (id, part_num, picture, descr) VALUES (9, 'P1', 'p.jpg', 'Pic')");
  addLine({.part = "P1", .options = "1,2,3,4,5,6,7,8,9"});
  EXPECT_EQ(cat.CartListItems("sess1", true, SiteFixture::kSiteId, SiteFixture::kPassword),
            "Item #: MP-1<br>Organization: <br>Description: Widget - Size - o1, Color - o2, "
            "Style - o3, Texture - o4, Flavor - o5, Packaging - o6, Single/Multiple - o7, "
            "Gender - o8, Pic<br>Amount:  $10<br>Quantity: 1<br><br>");
}

TEST_F(CartDisplayTest, ListItemsAnswersErrorWhenAnErrorIsCurrentAtTheEnd) {
  twoLineCart();
  site.setPreference("optTDdata", "no");
  removeTechData();
  EXPECT_EQ(cat.CartListItems("nobody", true, SiteFixture::kSiteId, SiteFixture::kPassword),
            "Error");
}

}  // namespace
}  // namespace kestrin::testing

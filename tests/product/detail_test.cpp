// The product page of shop and distributor products: header and price, technical data tables,
// the description file, the buy button of each price option, related items and bad input.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "kestrin/methods.h"
#include "product_test_base.h"

namespace kestrin::testing {
namespace {

namespace fs = std::filesystem;

class DetailTest : public ProductTest {
 protected:
  void addMarkup(const std::string& code, double rate, const std::string& customer = "") {
    site.exec(Database::Main, "INSERT INTO markup (markupid, rate, customerid) VALUES (" + q(code) +
                                  ", " + std::to_string(rate) + ", " +
                                  (customer.empty() ? "NULL" : q(customer)) + ")");
  }

  // The notebook of the shop with a rich description, a gallery, options and related items.
  void addRichNotebook() {
    addTree(Database::Main, "A1", "010", "01", "Business Notebooks", " sub-01.gif ");
    addTree(Database::Main, "A1", "010", "02", "Consumer Notebooks");
    addTree(Database::Main, "A1", "020", "05", "Docking Stations");
    addTree(Database::Main, "B2", "030", "01", "USB Cables");
    addMarkup("A1", 15);
    addProduct(Database::Main, {.part = "P100",
                                .manuPart = "NB-14",
                                .descr = "Corvane ProBook 14 notebook",
                                .picture = "p100.jpg",
                                .flags = {"showSizes", "showColors"}});
    addProduct(Database::Main,
               {.part = "P101", .descr = "Corvane Everyday 15", .sub = "02", .cost = 50});
    addProduct(Database::Main,
               {.part = "P102", .descr = "Corvane Dock", .cat = "020", .sub = "05", .cost = 9});
    addProduct(Database::Main,
               {.part = "P103", .descr = "Corvane cable", .grp = "B2", .cat = "030", .cost = 2});
    addProduct(Database::Main,
               {.part = "P104", .descr = "Corvane orphan", .grp = "C9", .cat = "999", .cost = 2});
    addProduct(Database::Main, {.part = "P105", .descr = "Halvard drive", .cost = 2});
    addRichDescription(Database::Main, "P100",
                       "  Fast and light.\r\nAll-day battery**Two USB-C ports  ");
    for (int i = 1; i <= 5; ++i)
      addPicture(i, "P100", "p100-" + std::to_string(i) + ".jpg", "View " + std::to_string(6 - i));
    addOption("prSizes", 1, "P100", "14 inch");
    addOption("prSizes", 2, "P100", "13 inch");
    addOption("prColors", 7, "P100", "Silver");
    addOption("prColors", 8, "P105", "Red");
  }
};

TEST_F(DetailTest, ShopProductWithRichDescriptionShowsGalleryOptionsAndRelatedItems) {
  addRichNotebook();
  const std::string html = shop("P100");
  expectGolden("product/golden/shop_rich.html", html);
  EXPECT_EQ(html.find("kx_getTechSpec '"), std::string::npos);
  EXPECT_EQ(html.find("Technical Specifications"), std::string::npos);
}

TEST_F(DetailTest, ShopProductWithoutRichDescriptionShowsItsTechSheet) {
  addTree(Database::Main, "A1", "010", "01", "Business Notebooks");
  addProduct(Database::Main, {.part = "P200",
                              .manuPart = "TB-9",
                              .descr = "Zorbix tablet",
                              .priceOptions = std::nullopt,
                              .picture = "p200.jpg"});
  addSpec(Database::Main, "P200", 1, "Processor", "Octa-core");
  addSpec(Database::Main, "P200", 2, "Weight", "   ");
  addSpec(Database::Main, "P200", 3, "Colour", "Slate");
  addPicture(1, "P200", "p200-1.jpg", "Front");
  const std::string html = shop("P200");
  expectGolden("product/golden/shop_tech_sheet.html", html);
  EXPECT_EQ(html.find("images/special/p200-1.jpg"), std::string::npos) << "no gallery";
}

TEST_F(DetailTest, ShopProductWithoutAnyTechSheetSaysSo) {
  addProduct(Database::Main, {.part = "P201", .descr = "Plain thing"});
  const std::string html = shop("P201");
  EXPECT_NE(html.find("</td></tr></table><br>Technical Specifications is not available for this "
                      "product<br><br><form action=\"cart.asp\""),
            std::string::npos)
      << html;
  EXPECT_EQ(html.find("::ERROR"), std::string::npos);
}

TEST_F(DetailTest, DistributorProductShowsDescriptionFileAndDataSheet) {
  addTree(Database::TechData, "B1", "010", "01", "SATA Drives");
  addTree(Database::TechData, "B1", "020", "02", "NAS Drives");
  addMarkup("B1", 10);
  addProduct(Database::TechData, {.part = "T300",
                                  .manuPart = "HV-4T",
                                  .descr = "Halvard 4TB drive",
                                  .grp = "B1",
                                  .cost = 80,
                                  .priceOptions = "call"});
  addProduct(
      Database::TechData,
      {.part = "T301", .descr = "Halvard 8TB NAS drive", .grp = "B1", .cat = "020", .sub = "02"});
  addSpec(Database::TechData, "T300", 1, "Capacity", "4 TB");
  addSpec(Database::TechData, "T300", 2, "Cache", "");
  addSpec(Database::TechData, "T300", 3, "Interface", "SATA 6Gb/s");
  writeDescriptionFile("T300", "Cable, 6 ft\r\n\"Quoted, with a comma\"\r\n\"Two\r\nlines\"\r\n");
  const std::string html = distributor("T300");
  expectGolden("product/golden/distributor.html", html);
}

TEST_F(DetailTest, DistributorProductWithoutDataSheetStillWritesItsTable) {
  addProduct(Database::TechData, {.part = "T400", .manuPart = "X-1", .descr = "Bare"});
  const std::string html = distributor("T400");
  EXPECT_NE(html.find("<br>Technical Specifications is not available for this product<br><br>"
                      "<table><tr><td valign=\"top\"><table border=\"0\" cellpadding=\"5\"><tr><td "
                      "bgcolor=\"dddddd\"><b>Item #:</b></font></td><td bgcolor=\"f2f2f2\"><font "
                      "size=\"-1\" face=\"verdana,arial\" color=\"red\"><b>X-1</b></font></td></tr>"
                      "</table></td></tr></table>"),
            std::string::npos)
      << html;
}

TEST_F(DetailTest, EachPriceOptionChoosesThePriceLineAndTheButton) {
  const std::string cart = "cart.asp?action=add&steps=1&part_num=P1&featured=True";
  const std::string buyNow =
      "<br><br>&nbsp;<input type=\"submit\" class=\"button_orange\" "
      "value=\" Buy Now \" onClick=\"javascript:window.location='" +
      cart + "';\">";
  struct Case {
    std::optional<std::string> option;
    bool priceLine;
    std::string button;
  };
  const Case cases[] = {
      {"", true, buyNow},
      {"1", true, buyNow},
      {" 12 ", true, buyNow},
      {std::nullopt, false, buyNow},
      {"call", false,
       "<br><br>&nbsp;<input type=\"button\" class=\"button_orange\" value=\" Call Now \" "
       "onClick=\"javascript:window.location='contactus.asp';\">"},
      {" CALL ", false,
       "<br><br>&nbsp;<input type=\"button\" class=\"button_orange\" value=\" Call Now \" "
       "onClick=\"javascript:window.location='contactus.asp';\">"},
      {"n", false, "<br><br>&nbsp;</td><td align=\"right\" valign=\"top\">"},
      {"d", true,
       "<br><br>&nbsp;<input type=\"submit\" class=\"button_orange\" value=\" DONATE \" "
       "onClick=\"javascript:window.location='" +
           cart + "';\">"},
      {" http://www.Example.com/Item?ID=7 ", true,
       "<br><br>&nbsp;<input type=\"button\" class=\"button_orange\" value=\" More Info \" "
       "onClick=\"javascript:window.location='http://www.Example.com/Item?ID=7';\">"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option ? "'" + *c.option + "'" : "NULL");
    site.exec(Database::Main, "DELETE FROM products");
    addProduct(Database::Main,
               {.part = "P1", .descr = "Item one", .cost = 20, .priceOptions = c.option});
    const std::string html = shop("P1");
    EXPECT_EQ(
        between(html, "<table class=\"text\">", "</td><td valign"),
        std::string("<table class=\"text\"><tr><td valign=\"top\" class=\"text\"><b>Item:</b> "
                    "Item one<br>") +
            (c.priceLine ? "<b>Price:</b> <font size=+1>$20.00</font><br>" : "") +
            "</td><td valign");
    EXPECT_EQ(between(html, "name=\"showpotions\" value=\"no\">", "name=\"prOptions\""),
              "name=\"showpotions\" value=\"no\"><b>Additional Product Options:</b><br><br><table "
              "class=\"text\"></table>--options not available--<br>" +
                  c.button + "<input type=\"hidden\" name=\"prOptions\"");
  }
}

TEST_F(DetailTest, PricesCarryTheGroupMarkupAndTheCustomerDiscount) {
  addMarkup("A1", 15);
  addMarkup("cust", 10, "C10002");
  struct Case {
    std::string grp;
    std::optional<double> cost;
    std::string customer;
    std::string price;
  };
  const Case cases[] = {
      {"A1", 100, "", "115.00"},       {"A1", 100, "C10002", "103.50"},    {"Z9", 0.5, "", ".50"},
      {"Z9", 2345.678, "", "2345.68"}, {"Z9", std::nullopt, "C10002", ""}, {"Z9", -0.5, "", "-.50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.price);
    site.exec(Database::Main, "DELETE FROM products");
    addProduct(Database::Main, {.part = "P1", .grp = c.grp, .cost = c.cost});
    const std::string html = shop("P1", 1, "", "", c.customer);
    EXPECT_NE(html.find("<b>Price:</b> <font size=+1>$" + c.price + "</font><br>"),
              std::string::npos)
        << html;
  }
}

TEST_F(DetailTest, DescriptionFileCases) {
  addProduct(Database::TechData, {.part = "T1", .descr = "Drive"});
  addProduct(Database::TechData, {.part = "T2", .descr = "Drive"});
  writeDescriptionFile("T1", "");
  // A part number that names a folder: the file exists but cannot be read.
  fs::create_directories(fs::path(sitePath()) / "admin" / "productDescription" / "T2.descr");
  // Files outside the description folder that a crafted request would otherwise reach.
  std::ofstream(fs::path(sitePath()) / "T1.descr") << "outside";
  fs::create_directories(fs::path(sitePath()) / "admin" / "productDescription" / "x");
  std::ofstream(fs::path(sitePath()) / "admin" / "productDescription" / "x" / "T1.descr")
      << "nested";
  // Another site's description folder, reached from this one through "..".
  fs::create_directories(fs::path(sitePath()) / "other" / "admin" / "productDescription");
  std::ofstream(fs::path(sitePath()) / "other" / "admin" / "productDescription" / "T1.descr")
      << "outside";
  const std::string climbing = sitePath() + "/admin/../other";

  struct Case {
    const char* name;
    std::string part;
    std::string aPath;
    std::string expected;  // the text between the Buy Now button and the data sheet
    bool error;
  };
  const Case cases[] = {
      {"missing", "T9", sitePath(), "", true},
      {"empty", "T1", sitePath(), "<b>Item Description</b><br><br><br><br>", false},
      // The file is named by the trimmed part number; the product lookup uses it as given.
      {"blanks around the part number", " T1 ", sitePath(),
       "<b>Item Description</b><br><br><br><br>", true},
      {"unreadable", "T2", sitePath(), "<b>Item Description</b><br><br><br><br>", true},
      {"aPath with ..", "T1", climbing, "", false},
      {"part number with /", "x/T1", sitePath(), "", true},
      {"part number climbing out", "../../T1", sitePath(), "", true},
      {"no aPath", "T1", "", "", false},
      {"a site folder too long to look up", "T1", "/" + std::string(5000, 'a'), "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    eCat page;
    const std::string html = page.displayDetail(c.part, c.aPath, "", false, SiteFixture::kSiteId,
                                                SiteFixture::kPassword);
    const std::string afterButton = "';\"><br><br>";
    const size_t from = html.find(afterButton);
    ASSERT_NE(from, std::string::npos) << html;
    const size_t to = html.find("<br>Technical Specifications", from);
    ASSERT_NE(to, std::string::npos) << html;
    EXPECT_EQ(html.substr(from + afterButton.size(), to - from - afterButton.size()), c.expected);
    // Unknown part numbers end in the error form too; the unreadable file does by itself.
    EXPECT_EQ(html.find("::ERROR::") != std::string::npos, c.error) << html;
    EXPECT_EQ(html.find("outside"), std::string::npos);
    EXPECT_EQ(html.find("nested"), std::string::npos);
  }
  eCat page;
  const std::string unreadable =
      page.displayDetail("T2", sitePath(), "", false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_NE(unreadable.find("::ERROR::Path/File access error: T2.descr cannot be read : kestrin"),
            std::string::npos)
      << unreadable;
}

TEST_F(DetailTest, DescriptionFileItemsAreJoinedByOneBlank) {
  addProduct(Database::TechData, {.part = "T1", .descr = "Cable"});
  writeDescriptionFile("T1", "Cable, 6 ft");
  const std::string html = distributor("T1");
  EXPECT_NE(html.find("<b>Item Description</b><br><br>Cable 6 ft<br><br>"), std::string::npos)
      << html;
}

TEST_F(DetailTest, RelatedItemsWriteEachGroupAndCategoryHeadingOnce) {
  for (const char* sub : {"01", "02"})
    addTree(Database::Main, "A1", "010", sub, "Sub " + std::string(sub));
  addTree(Database::Main, "A1", "020", "01", "Sub 20-01");
  addTree(Database::Main, "B2", "020", "01", "Sub B2");
  addProduct(Database::Main, {.part = "P1", .descr = "Acme one"});
  addProduct(Database::Main, {.part = "P2", .descr = "acme two", .sub = "02"});
  addProduct(Database::Main, {.part = "P3", .descr = "Acme three", .cat = "020"});
  addProduct(Database::Main, {.part = "P4", .descr = "Acme four", .grp = "B2", .cat = "020"});
  // A subcategory without a description row writes nothing.
  addProduct(Database::Main, {.part = "P5", .descr = "Acme five", .sub = "77"});
  addProduct(Database::Main, {.part = "P6", .descr = "Acmeish", .grp = "Z1"});
  addProduct(Database::Main, {.part = "P7", .descr = "Other", .grp = "Z2"});
  const std::string html =
      cat.displayDetail("P1", "", "img&3", true, SiteFixture::kSiteId, SiteFixture::kPassword);
  const std::string link =
      "<a class=\"link\" href=\"c_4b.asp?featured=True&filter=yes&key=Acme"
      "&image=img&amp;3&amp;subcategory=";
  EXPECT_EQ(html.substr(html.find("<b>Related Items:</b><br>")),
            "<b>Related Items:</b><br>"
            "<br><b>Group A1</b><br>Category 010<br>" +
                link + "01&amp;category=010&amp;group=A1\">Sub 01</a><br>" + link +
                "02&amp;category=010&amp;group=A1\">Sub 02</a><br>"
                "Category 020<br>" +
                link + "01&amp;category=020&amp;group=A1\">Sub 20-01</a><br>" +
                "<br><b>Group B2</b><br>" + link +
                "01&amp;category=020&amp;group=B2\">Sub B2</a><br>");
}

TEST_F(DetailTest, AnEmptyFirstWordMatchesEveryProduct) {
  addTree(Database::Main, "A1", "010", "01", "Sub 01");
  addTree(Database::Main, "B2", "020", "02", "Sub 02");
  addProduct(Database::Main, {.part = "P1", .descr = " Leading blank"});
  addProduct(Database::Main,
             {.part = "P2", .descr = "Unrelated", .grp = "B2", .cat = "020", .sub = "02"});
  const std::string html = shop("P1");
  EXPECT_NE(html.find("key=&image=3&amp;subcategory=01&amp;category=010&amp;group=A1\">Sub 01</a>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("key=&image=3&amp;subcategory=02&amp;category=020&amp;group=B2\">Sub 02</a>"),
            std::string::npos)
      << html;
}

TEST_F(DetailTest, NoRelatedItemsLine) {
  // With the catalog in the main database, a distributor product's related items are still
  // looked up in the Tech Data database, which does not hold it.
  site.setPreference("optTDdata", "no");
  addProduct(Database::Main, {.part = "P1", .descr = "Lonely"});
  const std::string html = distributor("P1");
  EXPECT_NE(html.find("<b>Related Items:</b><br><br>No related items information available for "
                      "this item.<br><br>"),
            std::string::npos)
      << html;
  EXPECT_EQ(html.find("::ERROR"), std::string::npos) << html;
}

TEST_F(DetailTest, StatementsFollowTheCatalogConnectionRule) {
  for (Database db : {Database::Main, Database::TechData}) {
    addTree(db, "A1", "010", "01", "Sub");
    addProduct(db, {.part = "P1", .descr = "Same part"});
  }
  const std::string main = site.tracedDatabase(Database::Main),
                    techdata = site.tracedDatabase(Database::TechData);
  struct Case {
    const char* optTDdata;
    bool custDb;
    std::string product;  // kx_getProdInfo and kx_getTechSpec
    std::string related;  // the related-items query and its lookups
  };
  const Case cases[] = {
      {"yes", true, main, main},     {"yes", false, techdata, techdata}, {"no", true, main, main},
      {"no", false, main, techdata}, {"YES", false, main, techdata},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.optTDdata) + (c.custDb ? " shop" : " distributor"));
    site.setPreference("optTDdata", c.optTDdata);
    db::StatementTrace trace;
    eCat page;
    const std::string html =
        page.displayDetail("P1", "", "", c.custDb, SiteFixture::kSiteId, SiteFixture::kPassword);
    EXPECT_EQ(html.find("::ERROR"), std::string::npos) << html;
    int checked = 0;
    for (const db::TracedStatement& s : trace.statements()) {
      SCOPED_TRACE(s.sql);
      // The database layer reads each database's change counter itself (change_cache.h).
      if (s.sql.find(" from kx_changes") != std::string::npos) continue;
      if (s.sql.starts_with("kx_getProdInfo") || s.sql.starts_with("kx_getTechSpec '")) {
        EXPECT_EQ(s.database, c.product);
        ++checked;
      } else if (s.sql.starts_with("select distinct grp,cat,sub") ||
                 s.sql.starts_with("kx_subdescr")) {
        EXPECT_EQ(s.database, c.related);
        ++checked;
      } else if (s.sql.starts_with("select grp,cat,sub from products") ||
                 s.sql.starts_with("kx_getMarkup") || s.sql.starts_with("select ")) {
        EXPECT_EQ(s.database, main);
        ++checked;
      }
    }
    EXPECT_GE(checked, 6);
  }
}

TEST_F(DetailTest, UnknownPartNumberEndsInTheErrorForm) {
  expectGolden("product/golden/unknown_part.html", shop("NOPE"));
  const std::string html = distributor("NOPE");
  EXPECT_NE(html.find("::ERROR::"), std::string::npos);
  EXPECT_NE(html.find("<br><br><h2>kx_getTechSpec &#39;NOPE&#39;</h2>"), std::string::npos) << html;
}

TEST_F(DetailTest, RequestValuesCannotLeaveTheirLinksOrFields) {
  const std::string part = "O'K\"<b>&x";
  addProduct(Database::Main, {.part = part, .descr = "Quoted part"});
  addRichDescription(Database::Main, part, "Text");
  addPicture(1, part, "q.jpg", "Front");
  addPicture(2, part, "r.jpg", "Back");
  addTree(Database::Main, "A1", "010", "01", "Sub 01");
  const std::string html = shop(part);
  EXPECT_EQ(html.find("::ERROR"), std::string::npos) << html;
  EXPECT_NE(html.find("<b>Item:</b> Quoted part<br>"), std::string::npos);
  EXPECT_NE(
      html.find("<input type=\"hidden\" name=\"part_num\" value=\"O&#39;K&quot;&lt;b&gt;&amp;x\">"),
      std::string::npos);
  EXPECT_NE(html.find("part_num=O%27K%22%3Cb%3E%26x&featured=True';"), std::string::npos);
  EXPECT_NE(html.find("images/special/q.jpg"), std::string::npos);
  EXPECT_EQ(html.find("<b>&x"), std::string::npos);
}

TEST_F(DetailTest, WrongSitePasswordEndsInTheErrorForm) {
  addProduct(Database::Main, {.part = "P1"});
  const std::string html = cat.displayDetail("P1", "", "", true, SiteFixture::kSiteId, "wrong");
  EXPECT_NE(html.find("::ERROR::Operation is not allowed when the object is closed."),
            std::string::npos)
      << html;
}

TEST_F(DetailTest, ReachableThroughTheMethodTableAndKestrinctl) {
  addProduct(Database::Main, {.part = "P1", .descr = "Table item"});
  const MethodInfo* method = findMethod("displayDetail");
  ASSERT_NE(method, nullptr);
  std::vector<Variant> values;
  for (const MethodArg& a : method->args) values.push_back(a.fallback);
  values[0] = Variant("P1");
  values[3] = Variant(true);
  values[4] = Variant(SiteFixture::kSiteId);
  values[5] = Variant(SiteFixture::kPassword);
  EXPECT_EQ(method->invoke(cat, values).text(), shop("P1"));

  const std::string command = std::string(KESTRINCTL_PATH) + " call displayDetail partno=P1 " +
                              "strCustDb=True siteID=kestrin sitePassword=tolvaro27 --app-path " +
                              site.dir();
  FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string printed;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, out)) > 0;) printed.append(buffer, n);
  EXPECT_EQ(pclose(out), 0);
  EXPECT_NE(printed.find("<b>Item:</b> Table item<br>"), std::string::npos) << printed;
}

}  // namespace
}  // namespace kestrin::testing

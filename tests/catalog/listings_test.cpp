// The item listing with its results table and featured items, and the manufacturer pages.
#include <gtest/gtest.h>

#include <filesystem>

#include "catalog_test_base.h"
#include "featured.h"

namespace kestrin::testing {
namespace {

std::string between(const std::string& html, const std::string& from, const std::string& to) {
  size_t a = html.find(from);
  if (a == std::string::npos) return "<missing " + from + ">";
  size_t b = html.find(to, a + from.size());
  return html.substr(a, b == std::string::npos ? std::string::npos : b + to.size() - a);
}

int count(const std::string& html, const std::string& what) {
  int n = 0;
  for (size_t at = html.find(what); at != std::string::npos; at = html.find(what, at + 1)) ++n;
  return n;
}

class ListingTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    site.setPreference("optTDdata", "no");
    site.setPreference("colorSchema", "blue");
    site.exec(Database::Main,
              "INSERT INTO cart (sessionid, upsize) VALUES ('upsize', 'Updated hourly')");
    for (Database db : {Database::Main, Database::TechData}) {
      addGroup(db, "A1", "Notebooks");
      addCategory(db, "A1", "010", "Ultrabooks");
      addManuf(db, "AC", "  Acme - Europe ");
      addManuf(db, "BX", "Boxwell");
    }
  }

  // 23 shop products covering each status, price option, stock and price case.
  void addShopListing() {
    struct Row {
      const char* part;
      const char* vend;
      std::optional<double> cost;
      int qty;
      const char* status;
      std::optional<std::string> priceOptions;
    };
    const Row rows[] = {
        {"P01", "AC", 0.5, 5, "", std::nullopt},
        {"P02", "AC", 1, 0, "u", ""},
        {"P03", "AC", 2, 7, "p", "1"},
        {"P04", "AC", 3, 1, "o", "call"},
        {"P05", "AC", 4, 2, "r", "CALL"},
        {"P06", "AC", 5, 3, "l", "d"},
        {"P07", "AC", 6, 4, "1", "n"},
        {"P08", "AC", 7, 0, "v", "http://www.Example.com/Item?ID=7"},
        {"P09", "AC", 2048.5, 9, "x", std::nullopt},
        {"P10", "BX", 10, 5, " 1 ", std::nullopt},
        {"P11", "BX", std::nullopt, 5, "", std::nullopt},
        {"P12", "BX", 12, -2, "", std::nullopt},
        {"P13", "BX", 13, 5, "U", std::nullopt},
        {"P14", "BX", 14, 5, "", std::nullopt},
        {"P15", "BX", 15, 5, "", std::nullopt},
        {"P16", "BX", 16, 5, "", std::nullopt},
        {"P17", "BX", 17, 5, "", std::nullopt},
        {"P18", "BX", 18, 5, "", std::nullopt},
        {"P19", "BX", 19, 5, "", std::nullopt},
        {"P20", "BX", 20, 5, "", std::nullopt},
        {"P21", "BX", 21, 5, "", std::nullopt},
        {"P22", "BX", 22, 5, "", std::nullopt},
        {"P23", "BX", 23, 5, "", std::nullopt},
    };
    for (const Row& r : rows) {
      ProductRow p;
      p.part = r.part;
      p.manuPart = std::string(" M-") + r.part + " ";
      p.descr = std::string("Product ") + r.part;
      p.vend = r.vend;
      p.cost = r.cost;
      p.qty = r.qty;
      p.status = r.status;
      p.priceOptions = r.priceOptions;
      p.showColors = std::string(r.part) == "P03";
      addProduct(Database::Main, p);
    }
    addPicture("P01", " p01-back.jpg", 2);
    addPicture("P01", "p01-front.jpg ", 1);
  }

  std::string manuf(const std::string& vendor, I2 page = 0, bool custDb = false,
                    const std::string& grp = "", const std::string& c = "") {
    return cat
        .displayManuf(vendor, page, grp, c, "", "", custDb, 0, SiteFixture::kSiteId,
                      SiteFixture::kPassword)
        .text();
  }
  std::string manufList(const std::string& from = "", const std::string& prefix = "") {
    return cat.displayManufList(from, prefix, SiteFixture::kSiteId, SiteFixture::kPassword);
  }
};

TEST_F(ListingTest, FirstPageOfTwentyThreeShopProducts) {
  addShopListing();
  expectGolden("catalog/golden/items_page1.html", items("A1", "010", "", 1, true));
  EXPECT_EQ(cat.iPageCurrent.value(), 1);
}

TEST_F(ListingTest, SecondPageHoldsTheLastEight) {
  addShopListing();
  const std::string html = items("A1", "010", "", 2, true);
  expectGolden("catalog/golden/items_page2.html", html);
  EXPECT_NE(html.find("</center>Found: <b>23</b> items. <font class=\"text\">Displaying page "
                      "<b>2</b> of <b>2</b>"),
            std::string::npos);
  EXPECT_EQ(count(html, "<tr valign=\"top\""), 8);
}

TEST_F(ListingTest, FooterArrowsOnFirstMiddleAndLastPages) {
  for (int i = 0; i < 31; ++i) {
    ProductRow p;
    p.part = "Q" + std::to_string(100 + i);
    p.descr = "Cable " + p.part;
    p.cost = 1 + i;
    addProduct(Database::Main, p);
  }
  const std::string prev = "<img src=\"images/Previouse.gif\" border=0></a>";
  const std::string next = "<img src=\"images/Next.gif\" border=0></a>";
  struct Case {
    int page;
    bool hasPrev, hasNext;
  };
  for (const Case& c : {Case{1, false, true}, Case{2, true, true}, Case{3, true, false}}) {
    SCOPED_TRACE(c.page);
    std::string html = items("A1", "010", "", c.page);
    std::string footer = html.substr(html.rfind("</table></td></tr><tr><td align=\"right\">"));
    EXPECT_EQ(footer.find(prev) != std::string::npos, c.hasPrev) << footer;
    EXPECT_EQ(footer.find(next) != std::string::npos, c.hasNext) << footer;
    if (c.hasNext) {
      EXPECT_NE(
          footer.find(
              "<a href=\"c_4b.asp?group=A1&category=010&subcategory=&image=&stype=&filter=&page=" +
              std::to_string(c.page + 1) + "&key=&featured=False&featuredpage=1\">" + next),
          std::string::npos);
    }
  }
}

TEST_F(ListingTest, PagesOutsideTheRangeAreClamped) {
  addShopListing();
  std::string first = items("A1", "010", "", 0);
  EXPECT_NE(first.find("Displaying page <b>1</b> of <b>2</b>"), std::string::npos);
  EXPECT_EQ(cat.iPageCurrent.value(), 1);
  // Page 0 shows page 1; its links carry page=2 and page=0, and only the next one is shown.
  EXPECT_NE(first.find("&page=2&key=&featured=False&featuredpage=1\"><img src=\"images/Next.gif\""),
            std::string::npos);
  EXPECT_EQ(first.find("Previouse.gif"), std::string::npos);

  std::string beyond = items("A1", "010", "", 99);
  EXPECT_NE(beyond.find("Displaying page <b>2</b> of <b>2</b>"), std::string::npos);
  EXPECT_EQ(cat.iPageCurrent.value(), 2);
  EXPECT_EQ(count(beyond, "<tr valign=\"top\""), 8);
}

TEST_F(ListingTest, PageLinksOverflowAtTheEndsOfTheSixteenBitRange) {
  addShopListing();
  EXPECT_EQ(errorNumberOf([&] { items("A1", "010", "", 32767); }), kErrOverflow);
  EXPECT_EQ(errorNumberOf([&] { items("A1", "010", "", -32768); }), kErrOverflow);
  EXPECT_NE(items("A1", "010", "", 32766).find("Displaying page <b>2</b> of <b>2</b>"),
            std::string::npos);
  EXPECT_EQ(errorNumberOf([&] { manuf("AC", 32767); }), kErrOverflow);
  EXPECT_EQ(errorNumberOf([&] { manuf("AC", 32766); }), 0);
}

TEST_F(ListingTest, PricesUseTheGroupMarkupAndTheCustomerDiscount) {
  addMarkup("A1", 15);
  addMarkup("cust", 10, "C10002");
  addProduct(Database::Main, {.part = "P1", .manuPart = "M1", .descr = "Drive", .cost = 100});
  std::string html = items("A1", "010");
  EXPECT_NE(html.find("price=115.00&partno=P1\">Drive</a>"), std::string::npos);
  EXPECT_NE(html.find("<b>$115.00</b>"), std::string::npos);
  html = cat.displayItems("A1", "010", "", "", 1, "", "", "", "C10002", false, 0,
                          SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_NE(html.find("price=103.50&partno=P1\">Drive</a>"), std::string::npos);
}

TEST_F(ListingTest, EachRowIsPricedWithItsOwnGroupsMarkup) {
  addMarkup("A1", 15);
  addMarkup("m001", 20);
  addMarkup("cust", 50, "C7");
  addProduct(Database::Main,
             {.part = "P1", .manuPart = "M1", .descr = "One", .grp = "A1", .cost = 100});
  addProduct(Database::Main,
             {.part = "P2", .manuPart = "M2", .descr = "Two", .grp = "B1", .cost = 101});
  addProduct(Database::Main,
             {.part = "P3", .manuPart = "M3", .descr = "Three", .grp = "A1", .cost = 102});
  const std::string html = cat.displayManuf("AC", 1, "", "", "", "C7", false, 0,
                                            SiteFixture::kSiteId, SiteFixture::kPassword)
                               .text();
  EXPECT_NE(html.find("price=57.50&partno=P1\">One</a>"), std::string::npos);
  EXPECT_NE(html.find("price=60.60&partno=P2\">Two</a>"), std::string::npos);
  EXPECT_NE(html.find("price=58.65&partno=P3\">Three</a>"), std::string::npos);
}

TEST_F(ListingTest, BreadcrumbShowsWhatTheDescriptionsHave) {
  addSub(Database::Main, "A1", "010", "01", " Thin ");
  addProduct(Database::Main, {.part = "P1", .manuPart = "M1", .descr = "Drive", .sub = "01"});
  const std::string crumb =
      "<b><a href=\"c_2.asp?image=&group=A1\">Notebooks</a>: <a "
      "href=\"c_3.asp?image=&group=A1&category=010\">"
      "Ultrabooks</a>: Thin</b><br></center>Found:";
  EXPECT_EQ(items("A1", "010", "01").substr(0, crumb.size()), crumb);
  // A missing category row shows the group's name, a missing group row an empty name.
  EXPECT_EQ(items("A1", "099"),
            "<b><a href=\"c_2.asp?image=&group=A1\">Notebooks</a>: <a "
            "href=\"c_3.asp?image=&group=A1&category=099\">"
            "Notebooks</a>: </b><br>");
  EXPECT_EQ(items("Z9", "099"),
            "<b><a href=\"c_2.asp?image=&group=Z9\"></a>: <a "
            "href=\"c_3.asp?image=&group=Z9&category=099\"></a>: "
            "</b><br>");
}

TEST_F(ListingTest, TheFullFilterClauseInKindOrder) {
  addFilter("PRODUCT", "KS-1::gone");
  addFilter("MANUF", "QRM");
  addFilter("GRPCATSUB", "C1|030|01");
  addFilter("GRPCAT", "B1|020");
  addFilter("GRP", "A1");
  addProduct(Database::Main, {.part = "P1", .manuPart = "M1", .descr = "Drive"});
  // The GRP row for the viewed group hides the whole listing; the statement is left in sql.
  items("A1", "010");
  EXPECT_EQ(
      cat.sql,
      "SELECT products.grp as grp,products.descr as p_descr, products.manu_part as p_manu_part, "
      "products.part_num as p_part_num, products.qty as p_qty, products.cost as p_cost, "
      "products.status as "
      "p_status, manuf.vend_name as m_name FROM products,manuf WHERE (products.cat='010' and "
      "products.grp='A1' and products.vend_code=manuf.vend_code)  and grp <> 'A1' and grp <> 'B1' "
      "and cat "
      "<> '020' and grp <> 'C1' and cat <> '030' and sub <> '01' and products.vend_code <> 'QRM' "
      "and "
      "products.part_num <> 'KS-1' ORDER BY products.vend_code,products.cost");
}

TEST_F(ListingTest, CategoryFiltersHideEveryRowOfTheirGroupAndOfTheirCategory) {
  addProduct(Database::Main,
             {.part = "P1", .manuPart = "M1", .descr = "In A1/010", .grp = "A1", .cat = "010"});
  addProduct(Database::Main,
             {.part = "P2", .manuPart = "M2", .descr = "In B1/010", .grp = "B1", .cat = "010"});
  addProduct(Database::Main,
             {.part = "P3", .manuPart = "M3", .descr = "In B1/020", .grp = "B1", .cat = "020"});
  addFilter("GRPCAT", "A1|020");  // names A1 and 020: hides all of A1 and every category 020
  EXPECT_EQ(items("A1", "010").find("In A1/010"), std::string::npos);
  EXPECT_NE(items("B1", "010").find("In B1/010"), std::string::npos);
  EXPECT_EQ(items("B1", "020").find("In B1/020"), std::string::npos);
}

TEST_F(ListingTest, SearchKeyNarrowsOnlyAnUnfilteredSubcategoryListing) {
  for (const char* d : {"Red cable", "Blue cable", "Red mouse"}) {
    addProduct(Database::Main,
               {.part = d, .manuPart = std::string("MP-") + d, .descr = d, .sub = "01"});
  }
  for (int i = 0; i < 15; ++i) {
    const std::string d = "Green cable " + std::to_string(i);
    addProduct(Database::Main, {.part = d, .manuPart = "MP-" + d, .descr = d, .sub = "01"});
  }
  auto narrowed = [&](const std::string& sub, const std::string& key, const std::string& stype) {
    return cat.displayItems("A1", "010", sub, "", 1, key, "yes", stype, "", false, 0,
                            SiteFixture::kSiteId, SiteFixture::kPassword);
  };
  EXPECT_NE(narrowed("01", "red", "").find("Found: <b>2</b>"), std::string::npos);
  // Every link repeats the key, the filter and the search type, so the next page keeps the
  // narrowing.
  std::string html = narrowed("01", "cable", "descr");
  EXPECT_NE(html.find("Found: <b>17</b>"), std::string::npos);
  EXPECT_NE(html.find("<a "
                      "href=\"c_4b.asp?group=A1&category=010&subcategory=01&image=&stype=descr&"
                      "filter=yes&page=2"
                      "&key=cable&featured=False&featuredpage=1\">"),
            std::string::npos);
  EXPECT_NE(narrowed("01", "MP-Blue", "psearch").find("Found: <b>1</b>"), std::string::npos);
  EXPECT_EQ(narrowed("01", "100%' or '1'='1", "").find("Found:"), std::string::npos);
  EXPECT_NE(narrowed("", "red", "").find("Found: <b>18</b>"),
            std::string::npos);  // no subcategory: no effect
  addFilter("PRODUCT", "nothing");
  EXPECT_NE(narrowed("01", "red", "").find("Found: <b>18</b>"),
            std::string::npos);  // a filter row: no effect
}

TEST_F(ListingTest, HostileRequestValuesOnlyFindNothing) {
  addShopListing();
  const char* hostile[] = {"A1' or '1'='1", "010') or 1=1 --", "%", "<b>A1</b>"};
  for (const char* v : hostile) {
    SCOPED_TRACE(v);
    EXPECT_EQ(items(v, "010").find("Found:"), std::string::npos);
    EXPECT_EQ(items("A1", v).find("Found:"), std::string::npos);
    EXPECT_EQ(items("A1", "010", v).find("Found:"), std::string::npos);
    EXPECT_EQ(errorNumberOf([&] { manuf(v); }), kErrNoCurrentRecord);
  }
  EXPECT_EQ(site.value(Database::Main, "select count(*) from products"), "23");
  // Echoed into the page, a value stays inside its attribute.
  EXPECT_NE(
      items("A1\"><script>", "010").find("c_2.asp?image=&group=A1&quot;&gt;&lt;script&gt;\">"),
      std::string::npos);
}

TEST_F(ListingTest, MissingTechDataDatabaseStillListsFromTheMainDatabase) {
  for (const char* name :
       {"gfontName",    "varCheckIM",    "siteTitle", "siteCname",      "siteAddress",
        "siteCity",     "siteState",     "siteZip",   "siteCountry",    "sitePhone1",
        "sitePhone2",   "siteFax",       "siteEmail", "siteEmailSales", "siteEmailSupport",
        "siteEmailSMS", "optInterOrder", "optSSL",    "optCCUsername",  "optCCPassword"}) {
    site.setPreference(name, "x");
  }
  addShopListing();
  site.removeDatabase(Database::TechData);
  std::string html = items("A1", "010");
  EXPECT_NE(html.find("Found: <b>23</b>"), std::string::npos);
  const auto missing = site.missingDatabaseError(Database::TechData);
  const std::string tail = "::ERROR:" + missing.description + " : " + missing.source;
  ASSERT_GE(html.size(), tail.size());
  EXPECT_EQ(html.substr(html.size() - tail.size()), tail);
}

// ---- Featured items (sites that read the distributor catalog) ----

class FeaturedTest : public ListingTest {
 protected:
  void SetUp() override {
    ListingTest::SetUp();
    site.setPreference("optTDdata", "yes");
  }
  void addDistributorRows(int n) {
    for (int i = 0; i < n; ++i) {
      addProduct(Database::TechData, {.part = "TD-" + std::to_string(i),
                                      .manuPart = "T" + std::to_string(i),
                                      .descr = "Distributor item",
                                      .cost = 20.0 + i,
                                      .priceOptions = "call"});
    }
  }
  void addFeaturedRows(int n, const std::string& descr = "Ultrabooks special") {
    for (int i = 0; i < n; ++i) {
      char part[16];
      std::snprintf(part, sizeof part, "F%02d", i);
      addProduct(Database::Main, {.part = part,
                                  .manuPart = std::string("FM") + part,
                                  .descr = descr,
                                  .sub = "01",
                                  .cost = 30.0 + i});
    }
  }
  std::string itemsOnFeaturedPage(int featuredPage) {
    return cat.displayItems("A1", "010", "", "", 1, "", "", "", "", false, featuredPage,
                            SiteFixture::kSiteId, SiteFixture::kPassword);
  }
};

TEST_F(FeaturedTest, DistributorListingUnderTheShopsFeaturedItems) {
  addSub(Database::Main, "A1", "010", "01", "Thin and light");
  addFeaturedRows(2);
  site.exec(Database::Main,
            "UPDATE products SET priceOptions = 'call', qty = 0 WHERE part_num = 'F01'");
  addPicture("F00", "f00.jpg", 1);
  addDistributorRows(16);
  const std::string html = items("A1", "010", "", 1, true);
  expectGolden("catalog/golden/items_distributor.html", html);
  // The request's True reaches the links, while the listing is of distributor products.
  EXPECT_NE(html.find("&page=2&key=&featured=True&featuredpage=1\"><img src=\"images/Next.gif\""),
            std::string::npos);
  EXPECT_NE(html.find("c_final.asp?featured=False&price=20.00&partno=TD-0"), std::string::npos);
}

TEST_F(FeaturedTest, SixteenFeaturedRowsMakeTwoPages) {
  addSub(Database::Main, "A1", "010", "01", "Thin");
  addFeaturedRows(16);
  addDistributorRows(1);
  std::string html = itemsOnFeaturedPage(0);
  EXPECT_NE(
      html.find("<br><font color=\"navy\"><b>Featured Items:</b></font><br><font color=\"navy\" "
                "size=\"-2\">Displaying page <b>1</b> of <b>2</b></font><br>"),
      std::string::npos);
  std::string featured = between(html, "Featured Items:", "</table><br><br>");
  EXPECT_EQ(count(featured, "<tr valign=\"top\""), 15);
  EXPECT_EQ(count(featured, "<tr><td height=1 bgcolor=\"#999999\" colspan=8></td></tr>"), 15);
  EXPECT_EQ(featured.find("Previouse.gif"), std::string::npos);
  EXPECT_NE(featured.find("&page=1&key=&featured=False&featuredpage=2\"><img "
                          "src=\"images/next.gif\" border=0></a>&nbsp;&nbsp;"),
            std::string::npos);

  // A featured page beyond the last shows the last and names it.
  html = itemsOnFeaturedPage(5);
  featured = between(html, "Featured Items:", "</table><br><br>");
  EXPECT_NE(featured.find("Displaying page <b>2</b> of <b>2</b>"), std::string::npos);
  EXPECT_EQ(count(featured, "<tr valign=\"top\""), 1);
  EXPECT_NE(featured.find("&featuredpage=4\"><img src=\"images/Previouse.gif\""),
            std::string::npos);
}

TEST_F(FeaturedTest, FifteenFeaturedRowsHaveNoPageLine) {
  addSub(Database::Main, "A1", "010", "01", "Thin");
  addFeaturedRows(15);
  std::string html = itemsOnFeaturedPage(1);
  EXPECT_NE(html.find("<b>Featured Items:</b></font><br><table cellpadding=1"), std::string::npos);
  EXPECT_EQ(html.find("size=\"-2\">Displaying page"), std::string::npos);
  EXPECT_EQ(html.find("next.gif"), std::string::npos);
}

TEST_F(FeaturedTest, EmptyListingAfterNoFeaturedItemsSaysSorry) {
  const std::string sorry =
      "<br><br>We are sorry, there is no item available matching your search criteria.<br><br>";
  std::string html = items("A1", "010", "", 1, false);
  EXPECT_EQ(html.substr(html.size() - sorry.size()), sorry);
  EXPECT_TRUE(cat.noRecords);
  // Shop products only on a site that reads its own catalog: no featured table, no message.
  site.setPreference("optTDdata", "no");
  html = items("A1", "010", "", 1, false);
  EXPECT_EQ(html.find("We are sorry"), std::string::npos);
  EXPECT_FALSE(cat.noRecords);
}

TEST(FeaturedStatementTest, WordsAndTheirTerms) {
  const std::string head =
      "SELECT distinct products.grp as grp,products.descr as p_descr, products.manu_part as "
      "p_manu_part, "
      "products.part_num as p_part_num, products.qty as p_qty, products.cost as p_cost, "
      "products.status as "
      "p_status, manuf.vend_name as m_name from comgrp,comcat,comsub,products,manuf where "
      "products.vend_code = "
      "manuf.vend_code and products.grp=comsub.grp and products.cat=comsub.cat and "
      "products.sub=comsub.sub and "
      "comsub.grp=comcat.grp and comsub.cat=comcat.cat and products.grp=comcat.grp and "
      "products.grp=comgrp.grp "
      "and products.cat=comcat.cat ";
  EXPECT_EQ(catalog::featuredStatement("category", "modem", "searchII"),
            head + "and products.descr like '%modem%' ");
  EXPECT_EQ(catalog::featuredStatement("all", "modem", "searchII"),
            head +
                "and (comgrp.descr like '%modem%' or comcat.descr like '%modem%' or comsub.descr "
                "like '%modem%' "
                "or products.descr like '%modem%' or products.manu_part like '%modem%') ");
  const std::string usb =
      *catalog::featuredStatement("category", "usb-cable adapter", "displayItems");
  EXPECT_NE(usb.find("(comgrp.descr like '%usbcable%'"), std::string::npos);
  EXPECT_NE(usb.find("(comgrp.descr like '%adapter%'"), std::string::npos);
  EXPECT_EQ(count(usb, "products.manu_part like '%usb-cable adapter%')"), 2);
  EXPECT_FALSE(catalog::featuredStatement("category", "  ", "").has_value());
  EXPECT_FALSE(catalog::featuredStatement("all", "", "").has_value());
  EXPECT_FALSE(catalog::featuredStatement("other", "modem", "").has_value());
  EXPECT_NE(catalog::featuredStatement("manuf", " Acme - Europe", "manuf")
                ->find("manuf.vend_name like '%Acme%'"),
            std::string::npos);
  EXPECT_FALSE(catalog::featuredStatement("manuf", "- Europe", "manuf").has_value());
  EXPECT_NE(catalog::featuredStatement("manupart", "O'Neil ", "")
                ->find("products.manu_part like '%O''Neil %'"),
            std::string::npos);
}

// ---- Manufacturers ----

TEST_F(ListingTest, ManufacturerMenuListsManufacturersWithListableProducts) {
  addManuf(Database::Main, "CZ", "Corvane");
  addManuf(Database::Main, "QR", "Quorum");
  addManuf(Database::Main, "ZZ", "Zenith Parts");
  addProduct(Database::Main, {.part = "1", .manuPart = "m", .descr = "Drive", .vend = "BX"});
  addProduct(Database::Main,
             {.part = "2", .manuPart = "m", .descr = "Old drive", .vend = "AC", .status = "9"});
  addProduct(Database::Main, {.part = "3", .manuPart = "m", .descr = "AE Drive", .vend = "CZ"});
  addProduct(Database::Main, {.part = "4", .manuPart = "m", .descr = "Drive NFR", .vend = "CZ"});
  addProduct(Database::Main, {.part = "5", .manuPart = "m", .descr = "Mouse", .vend = "QR"});
  addProduct(Database::Main, {.part = "6", .manuPart = "m", .descr = "Mouse", .vend = "ZZ"});
  addFilter("MANUF", "ZZ");
  EXPECT_EQ(manufList(),
            "<table cellpadding=1 cellspacing=1 border=0><tr><td colspan=2 class=\"grp\" width=18 "
            "nowrap>All&nbsp;MANUFACTURERS</td></tr>"
            "<tr><td><img src=\"images/bullet.gif\" width=18></td><td><a class=\"link\" "
            "href=\"c_4manu.asp?manufacturer=BX\"> Boxwell</a></td></tr>"
            "<tr><td><img src=\"images/bullet.gif\" width=18></td><td><a class=\"link\" "
            "href=\"c_4manu.asp?manufacturer=QR\"> Quorum</a></td></tr></table>");
}

TEST_F(ListingTest, SpecialsAreTheManufacturersTheDistributorDoesNotKnow) {
  site.setPreference("optTDdata", "yes");
  addManuf(Database::Main, "HG", "Harrowgate House Brand");
  addProduct(Database::Main, {.part = "1", .manuPart = "m", .descr = "Own PC", .vend = "HG"});
  addProduct(Database::Main, {.part = "2", .manuPart = "m", .descr = "Drive", .vend = "AC"});
  addProduct(Database::TechData, {.part = "T1", .manuPart = "m", .descr = "Drive", .vend = "AC"});
  const std::string html = manufList();
  EXPECT_EQ(
      html,
      "<table cellpadding=1 cellspacing=1 border=0><tr><td class=\"grp\" "
      "colspan=2>Specials</td></tr>"
      "<tr><td width=18><img src=\"images/bullet.gif\"></td><td><a class=\"link\" "
      "href=\"c_4manu.asp?featured=true&manufacturer=HG\"> Harrowgate House Brand</a></td></tr>"
      "<tr><td colspan=2 class=\"grp\" width=18 nowrap>All&nbsp;MANUFACTURERS</td></tr>"
      "<tr><td><img src=\"images/bullet.gif\" width=18></td><td><a class=\"link\" "
      "href=\"c_4manu.asp?manufacturer=AC\"> Acme - Europe</a></td></tr></table>");

  // Nothing listable in the main database: no Specials heading.
  site.exec(Database::Main, "DELETE FROM products");
  EXPECT_EQ(manufList().find("Specials"), std::string::npos);
}

TEST_F(ListingTest, CustomVendorListsCodesByPrefix) {
  addManuf(Database::Main, "ABX", "Abex");
  addManuf(Database::Main, "ABC", "Abacus");
  addManuf(Database::Main, "XAB", "Xab");
  std::string html = manufList("customVendor", "AB");
  EXPECT_NE(html.find("manufacturer=ABX\"> Abex"), std::string::npos);
  EXPECT_NE(html.find("manufacturer=ABC\"> Abacus"), std::string::npos);
  EXPECT_EQ(html.find("Xab"), std::string::npos);
  EXPECT_EQ(html.find("Specials"), std::string::npos);
  EXPECT_EQ(cat.sql, "select distinct vend_name,vend_code from manuf where vend_code like 'AB%'");
  site.setPreference("optTDdata",
                     "yes");  // now read from the distributor database, which has no AB codes
  EXPECT_EQ(manufList("customVendor", "AB").find("Abex"), std::string::npos);
}

TEST_F(ListingTest, ManufacturerListing) {
  addShopListing();
  const std::string html = manuf("AC", 1);
  const std::string head =
      "<font class=\"text\" ><b>Acme - Europe</b><br></center>Found: <b>9</b> items. ";
  EXPECT_EQ(html.substr(0, head.size()), head);
  EXPECT_NE(html.find("Found: <b>9</b>"), std::string::npos);
  EXPECT_EQ(html.find("<TD><b>Vendor</b></TD>"), std::string::npos);
  EXPECT_EQ(html.find("<td>Acme </td>"), std::string::npos);
  // A site that reads its own catalog lists shop products, whatever the request says.
  EXPECT_NE(html.find("c_final.asp?featured=True&price=.50&partno=P01"), std::string::npos);
  EXPECT_EQ(errorNumberOf([&] { manuf("NOPE"); }), kErrNoCurrentRecord);

  site.exec(Database::Main, "DELETE FROM products");
  manuf("AC", 1, false, "", "010");
  EXPECT_EQ(
      cat.sql,
      "SELECT products.grp as grp,products.descr as p_descr, products.part_num as p_part_num, "
      "products.manu_part as p_manu_part, products.qty as p_qty, products.cost as p_cost, "
      "products.status as "
      "p_status FROM products WHERE (products.vend_code ='AC' and cat='010' ) ORDER BY cost");
}

}  // namespace
}  // namespace kestrin::testing

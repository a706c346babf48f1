// The legacy one-step search.
#include <gtest/gtest.h>

#include "search_test_base.h"

namespace kestrin::testing {
namespace {

class LegacySearchTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    site.exec(Database::Main, "INSERT INTO cart (sessionid, upsize) VALUES ('upsize', 'Hourly')");
    addManuf(Database::Main, "AC", "Acme - Europe");
    addGroup(Database::Main, "G1", " Drives ");
    addGroup(Database::Main, "G2", "Cables");
    addGroup(Database::Main, "G3", "Hubs");
    cat.sHeadingColor = "#003366";
    cat.sCatHeadingColor = "#336699";
    cat.sList1Color = "#eeeeee";
    cat.sList2Color = "#ffffff";
  }

  // The group headings of an answer, in order.
  static std::string headings(const std::string& html) {
    return valuesAfter(html, "size=-1><b>", '<');
  }
};

TEST_F(LegacySearchTest, PartNumberThatFindsNothingIsRetriedWithItsFirstHalf) {
  addMarkup("m001", 50);
  addProduct(Database::Main, {.part = "P1",
                              .manuPart = "ABC-900",
                              .descr = "Drive 1TB",
                              .grp = "G1",
                              .cost = 3,
                              .status = "1"});
  addProduct(
      Database::Main,
      {.part = "P2", .manuPart = "XABC", .descr = "Cable 2m", .grp = "G2", .qty = 0, .cost = 6});
  addProduct(Database::Main,
             {.part = "P3", .manuPart = "ABC-1", .descr = "Hub 4 port", .grp = "G3", .cost = 10});
  addProduct(Database::Main,
             {.part = "P4", .manuPart = "ZZZ", .descr = "Cable 5m", .grp = "G2", .cost = 10});
  // Featured list: all groups on one page.
  const std::string html = legacySearch("ABCD567", "manuf", 0, true);
  expectGolden("search/golden/legacy_part_number.html", html);
  EXPECT_EQ(searchLog(), std::vector<std::string>{"ABCD567|10.0.0.1|m|1"});
  EXPECT_EQ(headings(html), "Drives,Cables,Hubs");
  // A cost of 3 or of 6 with a rate of 1.5 comes below 8 or not: both show 9.00.
  EXPECT_EQ(occurrences(html, ">$9.00"), 2);
  EXPECT_NE(html.find("<b>$15.00</b>"), std::string::npos);
  // For a visitor, one group a page; the page links carry the shortened text.
  const std::string page = legacySearch("ABCD567", "manuf", 1);
  EXPECT_NE(page.find("Displaying page <b>1</b> of <b>3</b>"), std::string::npos);
  EXPECT_NE(page.find("<a HREF=\"search.asp?page=2&amp;keyword=ABC&amp;stype=manuf\">Next "
                      "Page</a></center>"),
            std::string::npos);
  // One character finds nothing, and its empty first half matches every product.
  EXPECT_EQ(headings(legacySearch("Q", "manuf", 1, true)), "Drives,Cables,Hubs");
}

TEST_F(LegacySearchTest, PaddedTextIsLoggedTrimmedButSearchedAsTyped) {
  addProduct(Database::Main, {.part = "P1", .manuPart = "AB-1", .descr = "Drive", .grp = "G1"});
  // " AB-1 " and its first half " AB" both need a blank before AB.
  EXPECT_EQ(headings(legacySearch(" AB-1 ", "manuf", 0, true)), "");
  EXPECT_EQ(headings(legacySearch("AB-1", "manuf", 0, true)), "Drives");
  EXPECT_EQ(searchLog(), std::vector<std::string>{"AB-1|10.0.0.1|m|2"});
}

TEST_F(LegacySearchTest, ExclusionsOfTheGroupSearch) {
  struct Row {
    const char* part;
    const char* descr;
    const char* grp;
    const char* status;
    double cost;
  };
  const Row rows[] = {
      {"E1", "AE spray can", "G1", "", 5},      {"E2", "Spray can NFR", "G2", "", 5},
      {"E3", "AEROSOL spray can", "G3", "", 5}, {"E4", "Spray can", "G4", "4", 5},
      {"E5", "Spray can", "G5", "9", 5},        {"E6", "Spray can", "G6", "", 0},
      {"E7", "Spray can", "G7", "5", 5},
  };
  for (const char* g : {"G4", "G5", "G6", "G7"})
    addGroup(Database::Main, g, std::string("Group ") + g);
  for (const Row& r : rows) {
    addProduct(Database::Main, {.part = r.part,
                                .manuPart = r.part,
                                .descr = r.descr,
                                .grp = r.grp,
                                .cost = r.cost,
                                .status = r.status});
  }
  EXPECT_EQ(headings(legacySearch("spray can", "keyword", 1, true)), "Hubs,Group G7");
}

TEST_F(LegacySearchTest, OneGroupAPageWithPageLinks) {
  for (const char* g : {"G1", "G2", "G3"}) {
    addProduct(Database::Main, {.part = std::string("C") + g,
                                .manuPart = "M",
                                .descr = "Red cable",
                                .grp = g,
                                .cost = 20});
  }
  const std::string html = legacySearch("red cable", "keyword", 2);
  EXPECT_EQ(headings(html), "Cables");
  EXPECT_NE(html.find("<font color=\"navy\">Displaying page <b>2</b> of <b>3</b></font><br>"),
            std::string::npos);
  const std::string footer =
      "</table></td></tr></table><br><center><a "
      "HREF=\"search.asp?page=1&amp;keyword=red+cable&amp;stype=keyword\">Previous "
      "Page</a>&nbsp;&nbsp;<a HREF=\"search.asp?page=3&amp;keyword=red+cable&amp;stype=keyword\">"
      "Next Page</a></center>";
  ASSERT_GE(html.size(), footer.size());
  EXPECT_EQ(html.substr(html.size() - footer.size()), footer);
  EXPECT_TRUE(searchLog().empty());
  // A page beyond the last shows the last group.
  EXPECT_NE(legacySearch("red cable", "keyword", 9).find("Displaying page <b>3</b> of <b>3</b>"),
            std::string::npos);
}

TEST_F(LegacySearchTest, FeaturedListOfTwentyGroups) {
  for (int i = 0; i < 25; ++i) {
    const std::string g = "F" + std::to_string(10 + i);
    addGroup(Database::Main, g, "Featured " + g);
    addProduct(Database::Main,
               {.part = "FP" + g, .manuPart = "M", .descr = "Blue cable", .grp = g, .cost = 20});
  }
  const std::string html = legacySearch("blue cable", "keyword", 0, true);
  expectGolden("search/golden/legacy_featured.html", html);
  EXPECT_EQ(occurrences(html, "<tr bgcolor=\"#336699\">"), 20);
  EXPECT_EQ(html.find("Displaying page"), std::string::npos);
  EXPECT_EQ(html.find("Page</a>"), std::string::npos);
  // Nothing matching in the featured list: only the centring around no links.
  EXPECT_EQ(legacySearch("green cable", "keyword", 0, true), "<br><center></center>");
  EXPECT_EQ(legacySearch("green cable", "keyword", 0, false),
            "<font color=\"green\">There is no item matching your search criteria. Please try "
            "again.</font><br><br><center></center>");
}

TEST_F(LegacySearchTest, SearchesFromTheShopsOwnNetworksAreNotCounted) {
  addProduct(Database::Main, {.part = "P1", .manuPart = "M", .descr = "Cable", .grp = "G2"});
  struct Case {
    const char* address;
    bool counted;
  };
  const Case cases[] = {{"192.168.10.25", false},
                        {"172.16.100.3", false},
                        {"192.168.1.25", true},
                        {"10.0.0.1", true},
                        {"", true}};
  size_t rows = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    legacySearch("cable", "keyword", 0, false, c.address);
    if (c.counted) ++rows;
    EXPECT_EQ(site.value(Database::Main, "select count(*) from searchwords"),
              rows == 0 ? "0" : "1");
    EXPECT_EQ(site.value(Database::Main, "select coalesce(sum(qty), 0) from searchwords"),
              std::to_string(rows));
  }
  // "all" is counted with an empty code and searched as a keyword search.
  addProduct(Database::Main, {.part = "P2", .manuPart = "cable", .descr = "Hub", .grp = "G3"});
  EXPECT_EQ(headings(legacySearch("cable", "all", 0, true)), "Cables");
  EXPECT_EQ(searchLog().front(), "cable|10.0.0.1||1");  // the empty code sorts first
}

TEST_F(LegacySearchTest, MissingStockNoteIsAnEmptyNote) {
  site.exec(Database::Main, "DELETE FROM cart");
  addProduct(Database::Main, {.part = "P1", .manuPart = "M", .descr = "Cable", .grp = "G2"});
  const std::string html = legacySearch("cable", "keyword");
  EXPECT_NE(html.find("<B>In Stock</B><br><font size=-2></font></font></TD>"), std::string::npos);
  EXPECT_EQ(html.find("::ERROR"), std::string::npos);
}

TEST_F(LegacySearchTest, DistributorCatalogForVisitorsAndTheShopsOwnForFeatured) {
  site.setPreference("optTDdata", "yes");
  addManuf(Database::TechData, "AC", "Acme");
  addGroup(Database::TechData, "T1", "Distributor cables");
  addProduct(Database::TechData,
             {.part = "T1", .manuPart = "M", .descr = "Cable", .grp = "T1", .cost = 20});
  addProduct(Database::Main, {.part = "P1", .manuPart = "M", .descr = "Cable", .grp = "G2"});
  EXPECT_EQ(headings(legacySearch("cable", "keyword")), "Distributor cables");
  EXPECT_EQ(headings(legacySearch("cable", "keyword", 0, true)), "Cables");
}

TEST_F(LegacySearchTest, TenThousandCharacterTextsAreAnswered) {
  addProduct(Database::Main, {.part = "P1", .manuPart = "M", .descr = "Cable", .grp = "G2"});
  const std::string longText(10000, 'x');
  const std::string nothing =
      "<font color=\"green\">There is no item matching your search criteria. Please try "
      "again.</font><br><br><center></center>";
  EXPECT_EQ(legacySearch(longText, "keyword"), nothing);
  // Its first half finds nothing either.
  EXPECT_EQ(legacySearch(longText, "manuf"), nothing);
  EXPECT_EQ(searchLog().size(), 2u);
}

TEST_F(LegacySearchTest, HostileTextsOnlyFindNothing) {
  addProduct(Database::Main,
             {.part = "P1", .manuPart = "O'B-1", .descr = "O'Brien cable", .grp = "G2"});
  const char* hostile[] = {"' or '1'='1", "x'); delete from products; --", "%",
                           "_",           "\"><script>alert(1)</script>",  "o'brien"};
  for (const char* v : hostile) {
    for (const char* type : {"manuf", "keyword"}) {
      SCOPED_TRACE(std::string(v) + " " + type);
      const std::string html = legacySearch(v, type, 1);
      EXPECT_EQ(html.find("::ERROR"), std::string::npos);
      EXPECT_EQ(html.find("<script>"), std::string::npos);
    }
  }
  EXPECT_EQ(headings(legacySearch("o'brien", "keyword", 1)), "Cables");
  EXPECT_EQ(headings(legacySearch("O'B-1", "manuf", 1)), "Cables");
  EXPECT_EQ(site.value(Database::Main, "select count(*) from products"), "1");
}

}  // namespace
}  // namespace kestrin::testing

// The smart search and its filter form.
#include <gtest/gtest.h>

#include "search_test_base.h"

namespace kestrin::testing {
namespace {

std::string between(const std::string& html, const std::string& from, const std::string& to) {
  const size_t a = html.find(from);
  if (a == std::string::npos) return "<missing " + from + ">";
  const size_t b = html.find(to, a + from.size());
  return html.substr(a, b == std::string::npos ? std::string::npos : b + to.size() - a);
}

class SmartSearchTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    addManuf(Database::Main, "AC", "Acme - Europe");
    addManuf(Database::Main, "BX", "Boxwell");
    addGroup(Database::Main, "A1", "Notebooks", "c");
    addGroup(Database::Main, "N1", " Switches ", "n");
    addGroup(Database::Main, "N2", "Routers", "n");
    addCategory(Database::Main, "A1", "010", "Ultrabooks");
    addCategory(Database::Main, "N1", "100", " Managed ");
    addCategory(Database::Main, "N2", "200", "Wireless");
    addSub(Database::Main, "A1", "010", "01", "Thin");
    addSub(Database::Main, "N1", "100", "11", "Rackmount");
    addProduct(Database::Main, {.part = "P1",
                                .manuPart = "M1",
                                .descr = "Cable kit",
                                .grp = "A1",
                                .cat = "010",
                                .sub = "01",
                                .vend = "AC"});
    addProduct(Database::Main, {.part = "P2",
                                .manuPart = "M2",
                                .descr = "4Port switch",
                                .grp = "N1",
                                .cat = "100",
                                .sub = "11",
                                .vend = "BX"});
    // A vendor without a manuf row is never offered.
    addProduct(Database::Main, {.part = "P3",
                                .manuPart = "M3",
                                .descr = "Cable organizer",
                                .grp = "N1",
                                .cat = "100",
                                .sub = "11",
                                .vend = "QQ"});
    addProduct(Database::Main, {.part = "P4",
                                .manuPart = "M4",
                                .descr = "Cable modem",
                                .grp = "N2",
                                .cat = "200",
                                .vend = "AC"});
  }

  void addPrinters() {
    addManuf(Database::Main, "CZ", "Czerny");
    addManuf(Database::Main, "DW", "Dewpoint");
    addManuf(Database::Main, "ZZ", "Zenith");
    addGroup(Database::Main, "P1", "Printers", "p");
    addCategory(Database::Main, "P1", "300", "Inkjet");
    struct Row {
      const char* part;
      const char* descr;
      const char* vend;
      double cost;
    };
    const Row rows[] = {{"D2", "Deskjet 200", "AC", 90},
                        {"L5", "Laserjet 5", "CZ", 300},
                        {"D1", "Deskjet 100", "BX", 120},
                        {"IC", "Inkjet cartridge", "DW", 15}};
    for (const Row& r : rows) {
      addProduct(Database::Main, {.part = r.part,
                                  .manuPart = std::string("MP-") + r.part,
                                  .descr = r.descr,
                                  .grp = "P1",
                                  .cat = "300",
                                  .vend = r.vend,
                                  .cost = r.cost});
    }
  }

  // Part numbers of the listing rows, in order.
  static std::string listedParts(const std::string& html) {
    return valuesAfter(html, "&partno=", '"');
  }
};

// ---- The filter form ----

TEST_F(SmartSearchTest, FormWithoutChoices) {
  const std::string html = filterForm();
  expectGolden("search/golden/viewfilters_empty.html", html);
  EXPECT_EQ(occurrences(between(html, "name=\"site7\"", "</select>"), "<option"), 1);
  EXPECT_EQ(html.find("images/special/"), std::string::npos);
}

TEST_F(SmartSearchTest, SortListFollowsTheChosenColumn) {
  const std::string sortBase =
      "value=\"newsearch.asp?featured=False&action=searchII&amp;grp=A1&amp;cat=&amp;sub=&amp;"
      "manuf=&amp;orderby=";
  const std::string select =
      "<select name=\"site6\"  class=\"droplist\" size=\"1\" "
      "onChange=\"javascript:formHandlerVI()\">";
  EXPECT_EQ(between(filterForm("A1"), "<select name=\"site6\"", "</select>"),
            select + "<option selected " + sortBase +
                "descr&amp;prodline=\">Description</option><option  " + sortBase +
                "vend_code&amp;prodline=\">Vendor</option><option  " + sortBase +
                "cost&amp;prodline=\">Price</option><option  " + sortBase +
                "descr&amp;prodline=\">Description</option></select>");
  cat.strR.clear();
  EXPECT_EQ(
      between(filterForm("A1", "", "", "", "", "vend_code"), "<select name=\"site6\"", "</select>"),
      select + "<option selected " + sortBase +
          "vend_code&amp;prodline=\">Vendor</option><option  " + sortBase +
          "cost&amp;prodline=\">Price</option><option  " + sortBase +
          "descr&amp;prodline=\">Description</option></select>");
}

TEST_F(SmartSearchTest, SevenCategoryPicturesFillRowsOfThreeThreeAndOne) {
  // A code after the others: the group list comes in the order of the codes.
  addGroup(Database::Main, "T7", "Monitors");
  for (int i = 1; i <= 7; ++i) {
    const std::string n = std::to_string(i);
    addCategoryPicture(Database::Main, "T7", "C" + n, "Monitors " + n, " m" + n + ".jpg ");
  }
  const std::string html = filterForm("T7");
  expectGolden("search/golden/viewfilters_grid.html", html);
  const std::string grid = html.substr(html.find("cellpadding=\"3\">"));
  EXPECT_EQ(occurrences(grid, "<tr class=\"stext\">"), 3);
  // The last row is left open: the grid's table closes right after its one cell.
  const std::string end =
      "<img src=\"images/special/m7.jpg\" border = \"0\"><br>Monitors "
      "7</a></td></table></td></tr></table>";
  ASSERT_GE(grid.size(), end.size());
  EXPECT_EQ(grid.substr(grid.size() - end.size()), end);
}

TEST_F(SmartSearchTest, SubcategoryPicturesKeepTheirPlaceWithoutAPicture) {
  addSubPicture(Database::Main, "N1", "100", "12", "Desktop", "");
  addSubPicture(Database::Main, "N1", "100", "13", "Modular", "mod.jpg");
  const std::string html = filterForm("N1", "100");
  const std::string grid = html.substr(html.find("cellpadding=\"3\">") + 16);
  // Rackmount has no picture either: the row holds one cell, in the third place.
  EXPECT_EQ(grid,
            "<tr class=\"stext\"><td valign=\"bottom\" align=\"center\" class=\"stext\"><a "
            "href=\"newsearch.asp?action=searchII&featured=true&grp=N1&cat=100&sub=13\" "
            "class=\"slink\"><img src=\"images/special/mod.jpg\" border=\"0\"><br> "
            "Modular</a></td></tr></table></td></tr></table>");
}

TEST_F(SmartSearchTest, ItemLinesAreTheFirstWordsOfTheDescriptions) {
  for (const char* d : {"Cable 1m", "Cable 2m", "Cable 3m", "Cable 5m", "Cable 10m", "Hub 4"}) {
    addProduct(Database::Main,
               {.part = d, .manuPart = d, .descr = d, .grp = "N1", .cat = "100", .sub = "11"});
  }
  // Without a description a product has no item line: it is passed over.
  addProduct(Database::Main, {.part = "E1", .manuPart = "E1", .descr = "", .grp = "N1"});
  site.exec(Database::Main,
            "INSERT INTO products (part_num, descr, grp, vend_code) VALUES ('E2', NULL, 'N1', "
            "'AC')");
  const std::string lines =
      between(filterForm("N1", "", "", "", "Cable"), "name=\"site7\"", "</select>");
  const std::string option = "\"newsearch.asp?featured=False&action=searchII&amp;prodline=";
  const std::string rest = "&amp;grp=N1&amp;cat=&amp;sub=&amp;manuf=&amp;orderby=\">";
  EXPECT_EQ(lines,
            "name=\"site7\" class=\"droplist\" size=\"1\" "
            "onChange=\"javascript:formHandlerVII()\"><option selected "
            "value=\"newsearch.asp?featured=False&action=searchII&amp;grp=N1&amp;manuf=&amp;cat="
            "&amp;sub=\">Any</option><option selected value=" +
                option + "Cable" + rest + "Cable</option><option  value=" + option + "Hub" + rest +
                "Hub</option></select>");
}

TEST_F(SmartSearchTest, ListsOfferOnlyWhatMatchesTheOtherChoices) {
  addFilter("GRP", "N2");
  addFilter("GRPCAT", "A1|010");
  addProduct(Database::Main, {.part = "P9",
                              .manuPart = "M9",
                              .descr = "Patch panel",
                              .grp = "N1",
                              .cat = "100",
                              .sub = "11",
                              .vend = " BX "});
  const std::string html = filterForm("N1", "", "", " BX ");
  const std::string vendors = between(html, "name=\"site1\"", "</select>");
  // Both BX codes are offered (the list reads them as stored), each matched after trimming.
  EXPECT_EQ(occurrences(vendors, "<option selected"), 2);
  EXPECT_EQ(occurrences(vendors, ">Boxwell</option>"), 2);
  EXPECT_EQ(vendors.find("Acme"), std::string::npos);  // no Acme product in N1
  const std::string groups = between(html, "name=\"site3\"", "</select>");
  EXPECT_EQ(groups.find("Routers"), std::string::npos);
  EXPECT_NE(groups.find("<option selected value=\"newsearch.asp?featured=False&action=searchII&amp;"
                        "grp=N1&amp;manuf= BX &amp;orderby=\">Switches</option>"),
            std::string::npos);
  const std::string categories = between(html, "name=\"site4\"", "</select>");
  EXPECT_EQ(categories.find("Ultrabooks"), std::string::npos);
  EXPECT_NE(categories.find(">Managed</option>"), std::string::npos);
}

// ---- Smart search ----

TEST_F(SmartSearchTest, DisplayListsTheGroupsOfAMainCategory) {
  addFilter("GRP", "N2::discontinued");
  EXPECT_EQ(smart("display", "Networking"),
            "<tr><td><img src=\"images/bullet.gif\"></td><td><a class=\"link\" "
            "href=\"newsearch.asp?action=searchII&amp;grp=N1\">Switches</a></td></tr>");
  EXPECT_EQ(smart("display", "Computers"),
            "<tr><td><img src=\"images/bullet.gif\"></td><td><a class=\"link\" "
            "href=\"newsearch.asp?action=searchII&amp;grp=A1\">Notebooks</a></td></tr>");
  EXPECT_EQ(smart("display", "Systems"), "");
  EXPECT_EQ(smart("list", "Networking"), "");
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(SmartSearchTest, SearchWithAGroup) {
  addPrinters();
  const std::string html = smart("search", "", "P1");
  expectGolden("search/golden/smartsearch_group.html", html);
  EXPECT_EQ(html.rfind("<font color=\"navy\"><b>Printers</b></font><br><table", 0), 0u);
  EXPECT_EQ(listedParts(html.substr(html.find("Found:"))), "D1,D2,IC,L5");
}

TEST_F(SmartSearchTest, SearchWithAnItemLine) {
  addPrinters();
  const std::string html = smart("search", "", "P1", "", "", "", "Deskjet");
  expectGolden("search/golden/smartsearch_group_line.html", html);
  EXPECT_EQ(listedParts(html.substr(html.find("Found:"))), "D1,D2");
  EXPECT_NE(html.find("<option selected value=\"newsearch.asp?featured=False&action=searchII&amp;"
                      "prodline=Deskjet&amp;grp=P1&amp;cat=&amp;sub=&amp;manuf=&amp;orderby=\">"
                      "Deskjet</option>"),
            std::string::npos);
}

TEST_F(SmartSearchTest, SortColumnsAndAnythingElse) {
  addPrinters();
  struct Case {
    const char* orderby;
    const char* parts;
    const char* linked;
  };
  const Case cases[] = {
      {"", "D1,D2,IC,L5", "products.descr"},
      {"cost", "IC,D2,D1,L5", "cost"},
      {"vend_code", "D2,D1,L5,IC", "vend_code"},
      {"descr", "D1,D2,IC,L5", "descr"},
      {"cost desc", "D1,D2,IC,L5", "products.descr"},
      {"(select 1) --", "D1,D2,IC,L5", "products.descr"},
  };
  for (int i = 0; i < 24; ++i) {  // a second page, so that the page links are written
    addProduct(Database::Main, {.part = "X" + std::to_string(100 + i),
                                .manuPart = "X",
                                .descr = "Zip drive",
                                .grp = "P1",
                                .vend = "ZZ",
                                .cost = 999});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orderby);
    const std::string html = smart("search", "", "P1", "", "", "", "", c.orderby);
    EXPECT_EQ(html.find("::ERROR"), std::string::npos);
    const std::string listing = html.substr(html.find("Found:"));
    EXPECT_EQ(listedParts(listing).substr(0, 11), c.parts);
    EXPECT_NE(listing.find("&amp;orderby=" + std::string(c.linked) +
                           "&amp;prodline=&featured=False&featuredpage=1\"><img "
                           "src=\"images/Next.gif\""),
              std::string::npos);
  }
  EXPECT_EQ(site.value(Database::Main, "select count(*) from products"), "32");
}

TEST_F(SmartSearchTest, GroupWithoutDescriptionHasNoHeading) {
  addProduct(Database::Main, {.part = "Q1", .manuPart = "Q1", .descr = "Thing", .grp = "Q9"});
  EXPECT_EQ(smart("search", "", "Q9").rfind("<table cellpadding=\"2\" class=\"text\">", 0), 0u);
}

TEST_F(SmartSearchTest, DistributorSiteFeaturesTheShopsSelection) {
  site.setPreference("optTDdata", "yes");
  addPrinters();
  addManuf(Database::TechData, "AC", "Acme");
  addGroup(Database::TechData, "P1", "Printers");
  addProduct(Database::TechData, {.part = "TD1",
                                  .manuPart = "T1",
                                  .descr = "Deskjet 900",
                                  .grp = "P1",
                                  .vend = "AC",
                                  .cost = 50});
  const std::string html = smart("search", "", "P1", "", "", "", "Deskjet");
  const std::string featured = between(html, "Featured Items:", "</table><br><br>");
  EXPECT_EQ(listedParts(featured), "D1,D2");
  EXPECT_EQ(listedParts(html.substr(html.find("Found:"))), "TD1");
  // The filter form of a distributor listing reads the distributor catalog.
  EXPECT_NE(between(html, "name=\"site7\"", "</select>").find(">Deskjet</option>"),
            std::string::npos);
}

TEST_F(SmartSearchTest, TenThousandCharacterChoicesAreAnswered) {
  addPrinters();
  const std::string longText(10000, 'x');
  for (int field = 0; field < 5; ++field) {
    SCOPED_TRACE(field);
    std::string args[5] = {"P1", "", "", "", ""};
    args[field] = longText;
    const std::string html = smart("search", "", args[0], args[1], args[2], args[3], args[4]);
    EXPECT_EQ(html.find("::ERROR"), std::string::npos);
    EXPECT_NE(html.find("Clear Filter(s)</a>"), std::string::npos);
    EXPECT_EQ(html.find("Found:"), std::string::npos);  // nothing matches such a choice
  }
  EXPECT_EQ(smart("display", longText), "");
}

TEST_F(SmartSearchTest, HostileChoicesOnlyFindNothing) {
  addPrinters();
  const char* hostile[] = {"P1' or '1'='1", "x'); delete from products; --", "%", "_",
                           "\"><script>alert(1)</script>"};
  for (const char* v : hostile) {
    SCOPED_TRACE(v);
    for (int field = 0; field < 5; ++field) {
      std::string args[5] = {"P1", "", "", "", ""};
      args[field] = v;
      const std::string html = smart("search", "", args[0], args[1], args[2], args[3], args[4]);
      EXPECT_EQ(html.find("::ERROR"), std::string::npos);
      EXPECT_EQ(html.find("<script>"), std::string::npos);
    }
  }
  EXPECT_EQ(site.value(Database::Main, "select count(*) from products"), "8");
}

}  // namespace
}  // namespace kestrin::testing

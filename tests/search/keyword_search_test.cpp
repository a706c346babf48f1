// The keyword search, its search-word log, and Search II.
#include <gtest/gtest.h>

#include <algorithm>

#include "search_statements.h"
#include "search_test_base.h"

namespace kestrin::testing {
namespace {

class KeywordSearchTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    for (Database db : {Database::Main, Database::TechData}) {
      addManuf(db, "AC", "Acme - Europe");
      addManuf(db, "BX", "Boxwell");
    }
    addGroup(Database::Main, "10", " Cables ");
    addGroup(Database::Main, "20", "Adapters");
    addGroup(Database::Main, "30", "Hubs");
    addGroup(Database::Main, "40", "Docks");
    addGroup(Database::Main, "50", "Keyboards");
  }

  // Products whose part numbers are spellings of ab-12/3, and descriptions with usb and cable.
  void addSpellings() {
    addProduct(Database::Main,
               {.part = "V1", .manuPart = "AB-12/3", .descr = "Patch cable", .grp = "10"});
    addProduct(Database::Main,
               {.part = "V2", .manuPart = "AB12/3-K", .descr = "Serial adapter", .grp = "20"});
    addProduct(Database::Main,
               {.part = "V3", .manuPart = "ab/12/3", .descr = "USB cable adapter", .grp = "30"});
    addProduct(Database::Main,
               {.part = "V4", .manuPart = "AB-12-3", .descr = "USB hub", .grp = "40"});
    addProduct(Database::Main,
               {.part = "V5", .manuPart = "ZZ-99", .descr = "Keyboard", .grp = "50"});
  }

  // The group codes that a search answer links to, in order.
  static std::string linkedGroups(const std::string& html) {
    return valuesAfter(html, "search.asp?action=viewitems&grp=", '&');
  }
};

// ---- The search-word log ----

TEST_F(KeywordSearchTest, FirstSearchIsLoggedThenCountedAndLaterPagesAreNot) {
  keywordSearch("cable", "keyword", 0, "10.0.0.1");
  EXPECT_EQ(searchLog(), std::vector<std::string>{"cable|10.0.0.1|w|1"});
  keywordSearch("cable", "keyword", 0, "10.0.0.2");
  EXPECT_EQ(searchLog(), std::vector<std::string>{"cable|10.0.0.2|w|2"});
  keywordSearch("cable", "keyword", 2, "10.0.0.3");
  EXPECT_EQ(searchLog(), std::vector<std::string>{"cable|10.0.0.2|w|2"});
  // Each type is counted under its own code; any other type under an empty code.
  keywordSearch("cable", "all", 0, "10.0.0.4");
  keywordSearch("AB-1", "manuf", 0, "10.0.0.5");
  keywordSearch("cable", "psearch", 0, "10.0.0.6");
  EXPECT_EQ(searchLog(), (std::vector<std::string>{"cable|10.0.0.6||1", "cable|10.0.0.4|a|1",
                                                   "AB-1|10.0.0.5|m|1", "cable|10.0.0.2|w|2"}));
}

TEST_F(KeywordSearchTest, PaddedTextIsLoggedTrimmedButSearchedAsTyped) {
  addProduct(Database::Main, {.part = "P1", .manuPart = "AB-1", .descr = "Cable", .grp = "10"});
  keywordSearch(" AB-1 ", "manuf");
  EXPECT_EQ(searchLog(), std::vector<std::string>{"AB-1|10.0.0.1|m|1"});
  keywordSearch("AB-1", "manuf");
  EXPECT_EQ(searchLog(), std::vector<std::string>{"AB-1|10.0.0.1|m|2"});
  // The blanks take part in the patterns (and, as words, the empty words around them match
  // every part number).
  EXPECT_EQ(search::groupStatement("manuf", " AB-1 ", ""),
            "SELECT distinct grp FROM products WHERE (manu_part like '% AB-1 %' or manu_part like "
            "'% AB1 %' or manu_part like '%AB-1%' or manu_part like '% AB/1 %' or manu_part like "
            "'%-AB-1-%' or manu_part like '%/AB-1/%' or manu_part like '%%' or manu_part like "
            "'%AB-1%' or manu_part like '%%' )  ORDER by grp");
}

TEST_F(KeywordSearchTest, SearchIIFromSearchLogsNothingOpensNothingAndKeepsTheShopGroups) {
  site.setPreference("optTDdata", "yes");
  addGroup(Database::TechData, "z1", "Specials");
  addProduct(Database::TechData, {.part = "T1", .manuPart = "T-1", .descr = "Cable", .grp = "z1"});
  // Called by the page, the shop's own groups are left to the featured table, and it is logged.
  std::string html = search2("cable", "keyword");
  EXPECT_EQ(html.find("partno=T1"), std::string::npos);
  EXPECT_EQ(searchLog().size(), 1u);

  // Called by search, inside its open session.
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  html = cat.searchII("cable", "keyword", "", 0, "10.0.0.9", "", true, 0, "search");
  EXPECT_NE(html.find("partno=T1\">Cable</a>"), std::string::npos);
  EXPECT_TRUE(cat.conn.isOpen());
  EXPECT_TRUE(cat.connTD.isOpen());
  EXPECT_EQ(searchLog().size(), 1u);
  cat.closedb();
  // Without an open session it cannot run: it opens none of its own.
  eCat fresh;
  EXPECT_EQ(errorNumberOf([&] {
              fresh.searchII("cable", "keyword", "", 0, "", "", true, 0, "search",
                             SiteFixture::kSiteId, SiteFixture::kPassword);
            }),
            3709);
}

// ---- Statements ----

TEST_F(KeywordSearchTest, GroupStatementsOfTheThreeSearchTypes) {
  struct Case {
    const char* sType;
    const char* text;
    const char* statement;
    const char* groups;
  };
  const Case cases[] = {
      {"manuf", "ab-12/3",
       "SELECT distinct grp FROM products WHERE (manu_part like '%ab-12/3%' or manu_part like "
       "'%ab12/3%' or manu_part like '%ab-12-3%' or manu_part like '%ab/12/3%' or manu_part like "
       "'%ab-12/3%' )  ORDER by grp",
       "10,20,30,40"},
      {"keyword", "usb cable",
       "SELECT distinct grp FROM products WHERE (products.descr like '%usb%' and products.descr "
       "like '%cable%'  ) ORDER BY grp",
       "30"},
      {"all", "usb cable",
       "select distinct products.grp from products where (products.manu_part like '%usb cable%' "
       "or products.descr like '%usb%' or products.descr like '%cable%' or products.manu_part "
       "like '%usbcable%' or products.manu_part like '%usb-cable%' or products.manu_part like "
       "'%usb/cable%' )  ORDER BY grp",
       "10,30,40"},
  };
  addSpellings();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sType);
    EXPECT_EQ(search::groupStatement(c.sType, c.text, ""), c.statement);
    EXPECT_EQ(linkedGroups(keywordSearch(c.text, c.sType)), c.groups);
  }
  EXPECT_EQ(search::groupStatement("psearch", "usb", ""), std::nullopt);
}

TEST_F(KeywordSearchTest, ListingStatementsOfTheThreeSearchTypes) {
  const std::string head =
      "products.grp as grp,products.descr as p_descr, products.manu_part as p_manu_part, "
      "products.part_num as p_part_num, products.qty as p_qty, products.cost as p_cost, "
      "products.status as p_status, manuf.vend_name as m_name ";
  struct Case {
    const char* sType;
    const char* text;
    const char* grp;
    std::string statement;
    const char* parts;
  };
  const Case cases[] = {
      {"manuf", "ab-12/3", "10",
       "SELECT distinct " + head +
           "FROM products,manuf WHERE (manu_part like '%ab-12/3%' or manu_part like '%ab12/3%' "
           "or manu_part like '%ab-12-3%' or manu_part like '%ab/12/3%' ) and "
           "(products.vend_code=manuf.vend_code) and grp <> 'x' ORDER by grp",
       "V1,V2,V3,V4"},
      {"keyword", "usb cable", "30",
       "SELECT distinct " + head +
           "FROM products,manuf WHERE (products.descr like '%usb%' and products.descr like "
           "'%cable%' and grp='30' and products.vend_code=manuf.vend_code) and grp <> 'x' ORDER "
           "BY grp",
       "V3"},
      {"all", "usb cable", "",
       "select distinct " + head +
           "from products,manuf where (products.manu_part like '%usb cable%' or products.descr "
           "like '%usb%' or products.manu_part like '%usb%' or products.descr like '%cable%' or "
           "products.manu_part like '%cable%' or manu_part like '%usbcable%' or manu_part like "
           "'%usb-cable%' or manu_part like '%usb/cable%' ) and "
           "products.vend_code=manuf.vend_code  and grp <> 'x' ORDER BY grp",
       "V1,V3,V4"},
      {"all", "usb cable", "40",
       "select distinct " + head +
           "from products,manuf where (products.manu_part like '%usb cable%' or products.descr "
           "like '%usb%' or products.manu_part like '%usb%' or products.descr like '%cable%' or "
           "products.manu_part like '%cable%' or manu_part like '%usbcable%' or manu_part like "
           "'%usb-cable%' or manu_part like '%usb/cable%' ) and grp='40' and "
           "products.vend_code=manuf.vend_code  and grp <> 'x' ORDER BY grp",
       "V4"},
  };
  addSpellings();
  addFilter("GRP", "x");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sType) + " " + c.grp);
    EXPECT_EQ(search::listingStatement(c.sType, c.text, c.grp, " and grp <> 'x'"), c.statement);
    const std::string html = search2(c.text, c.sType, c.grp);
    std::string parts;
    for (const char* p : {"V1", "V2", "V3", "V4", "V5"}) {
      if (html.find(std::string("partno=") + p + "\"") != std::string::npos)
        parts += (parts.empty() ? "" : ",") + std::string(p);
    }
    EXPECT_EQ(parts, c.parts);
  }
}

TEST_F(KeywordSearchTest, CategoryFilterHidesItsWholeGroupAndItsCategoryEverywhere) {
  addGroup(Database::Main, "60", "Switches");
  addProduct(Database::Main,
             {.part = "F1", .manuPart = "F-1", .descr = "Cable A", .grp = "10", .cat = "100"});
  addProduct(Database::Main,
             {.part = "F2", .manuPart = "F-2", .descr = "Cable B", .grp = "60", .cat = "20"});
  addProduct(Database::Main,
             {.part = "F3", .manuPart = "F-3", .descr = "Cable C", .grp = "60", .cat = "30"});
  addFilter("GRPCAT", "10|20::winter clearance");
  EXPECT_EQ(linkedGroups(keywordSearch("cable", "keyword")), "60");
  const std::string html = search2("cable", "keyword");
  EXPECT_EQ(occurrences(html, "<tr valign=\"top\""), 1);
  EXPECT_NE(html.find("partno=F3\">Cable C</a>"), std::string::npos);
  // With strCustDb the site searches its own catalog unfiltered and reads no filter.
  EXPECT_EQ(linkedGroups(keywordSearch("cable", "keyword", 0, "", true)), "10,60");
}

// ---- What search answers ----

TEST_F(KeywordSearchTest, MatchingGroupsAndContentPages) {
  addSpellings();
  addProduct(Database::Main,
             {.part = "V6", .manuPart = "NG-1", .descr = "Cable tester", .grp = "90"});
  addPage(1, " Cable guide ", "How to choose a cable", " g1 ", "hw");
  addPage(2, "Returns", "Our returns policy for cables", "g2", "none");
  addPage(3, "Shipping", "Parcels", "g1", "hw");
  addPageNames("g1", " Guides ", "hw", "Hardware");
  const std::string html = keywordSearch("usb cable", "all");
  expectGolden("search/golden/search_groups.html", html);
  // Group 90 has no description and is left out; a blank is carried as "+".
  EXPECT_EQ(linkedGroups(html), "10,30,40");
  EXPECT_NE(html.find("&keyword=usb+cable&sType=all\">"), std::string::npos);
}

TEST_F(KeywordSearchTest, ContentPagesOnlyShowNoMessage) {
  addPage(7, "Cable guide", "How to choose", "g1", "hw");
  EXPECT_EQ(keywordSearch("cable", "keyword"),
            "</center><br>- <a "
            "href=\"pView.asp?action=viewPDetails&pageId=7&pCatName=&pGrpName=\">Cable "
            "guide</a><br>");
}

TEST_F(KeywordSearchTest, NothingFound) {
  addSpellings();
  EXPECT_EQ(keywordSearch("printer", "keyword"), "</center><i>No matching products...</i><br><br>");
  // A type other than the three finds no group (it runs no statement of its own).
  EXPECT_EQ(keywordSearch("cable", "psearch"), "</center><i>No matching products...</i><br><br>");
  // A keyword search of an empty text has no word to look for.
  EXPECT_EQ(keywordSearch("", "keyword"), "</center><i>No matching products...</i><br><br>");
}

TEST_F(KeywordSearchTest, DistributorSiteShowsTheShopsOwnGroupsFirst) {
  site.setPreference("optTDdata", "yes");
  addGroup(Database::Main, "z1", "Shop specials");
  addProduct(Database::Main,
             {.part = "S1", .manuPart = "S-1", .descr = "Cable special", .grp = "z1"});
  addGroup(Database::TechData, "10", "Cables");
  addGroup(Database::TechData, "20", "Adapters");
  addProduct(Database::TechData, {.part = "T1", .manuPart = "T-1", .descr = "Cable", .grp = "10"});
  addProduct(Database::TechData,
             {.part = "T2", .manuPart = "T-2", .descr = "Cable adapter", .grp = "20"});
  const std::string html = keywordSearch("cable", "keyword");
  expectGolden("search/golden/search_distributor_groups.html", html);
  EXPECT_EQ(linkedGroups(html), "z1,10,20");
}

TEST_F(KeywordSearchTest, DistributorSiteWithoutGroupsListsTheSearch) {
  site.setPreference("optTDdata", "yes");
  addTree(Database::Main, "z1", "Shop specials");
  addProduct(Database::Main,
             {.part = "S1", .manuPart = "S-1", .descr = "Modem special", .grp = "z1"});
  addPage(1, "Modem guide", "", "", "");
  // No distributor group holds a modem: Search II lists it, with the shop's match featured.
  const std::string html = keywordSearch("modem", "keyword");
  EXPECT_EQ(html.find("</center><br>The following"), std::string::npos);
  EXPECT_EQ(html.rfind("<br><font color=\"navy\"><b>Featured Items:</b></font><br>", 0), 0u);
  EXPECT_NE(html.find("partno=S1\">Modem special</a>"), std::string::npos);
  const std::string tail =
      "</td></tr></table><br><br><br>- <a "
      "href=\"pView.asp?action=viewPDetails&pageId=1&pCatName=&pGrpName=\">Modem guide</a><br>";
  ASSERT_GE(html.size(), tail.size());
  EXPECT_EQ(html.substr(html.size() - tail.size()), tail);
  // Nothing anywhere: the results table's message.
  EXPECT_EQ(keywordSearch("printer", "keyword"),
            "<br><br>We are sorry, there is no item available matching your search "
            "criteria.<br><br><br>");
}

TEST_F(KeywordSearchTest, FailingStepAnswersWithWhatWasBuilt) {
  addSpellings();
  site.exec(Database::Main, "DROP TABLE pages");
  EXPECT_EQ(keywordSearch("cable", "keyword"), "</center>");
  EXPECT_NE(currentError().description.find(site.backend() == Backend::SQLite
                                                ? "no such table: pages"
                                                : "relation \"pages\" does not exist"),
            std::string::npos)
      << currentError().description;
  // Called again, the object answers afresh.
  site.exec(Database::Main,
            "CREATE TABLE pages (pageId integer, pTitle text, pDescr text, pDetails text, pCat "
            "text, pGrp text)");
  EXPECT_EQ(linkedGroups(keywordSearch("cable", "keyword")), "10,30");
}

// ---- Search II ----

TEST_F(KeywordSearchTest, SearchIIPageLinks) {
  addGroup(Database::Main, "11", "Other");
  for (int i = 0; i < 50; ++i) {
    char part[16];
    std::snprintf(part, sizeof part, "U%02d", i);
    addProduct(Database::Main, {.part = part,
                                .manuPart = std::string("M-") + part,
                                .descr = std::string("USB cable ") + part,
                                .grp = "10",
                                .cost = 5.0 + i});
  }
  addProduct(Database::Main,
             {.part = "U99", .manuPart = "M-U99", .descr = "USB cable long", .grp = "11"});
  const std::string html = search2("usb cable", "keyword", "10", 3);
  EXPECT_EQ(occurrences(html, "<tr valign=\"top\""), 15);
  EXPECT_NE(html.find("Found: <b>50</b> items. <font class=\"text\">Displaying page <b>3</b> of "
                      "<b>4</b>"),
            std::string::npos);
  const std::string footer =
      "</table></td></tr><tr><td align=\"right\"><a "
      "HREF=\"search.asp?action=viewitems&grp=10&page=2&keyword=usb+cable&stype=keyword&"
      "featuredpage=0\"><img src=\"images/Previouse.gif\" border=0></a><a "
      "HREF=\"search.asp?action=viewitems&grp=10&page=4&keyword=usb+cable&stype=keyword&"
      "featuredpage=1\"><img src=\"images/Next.gif\" border=0></a></td></tr></table><br><br>";
  ASSERT_GE(html.size(), footer.size());
  EXPECT_EQ(html.substr(html.size() - footer.size()), footer);
  // A part-number search is not limited to the group.
  EXPECT_NE(search2("M-U99", "manuf", "10").find("Found: <b>1</b>"), std::string::npos);
  // The 16-bit page arithmetic has no page after 32767.
  EXPECT_EQ(errorNumberOf([&] { search2("usb cable", "keyword", "10", 32767); }), kErrOverflow);
}

TEST_F(KeywordSearchTest, SearchIIListing) {
  addSpellings();
  expectGolden("search/golden/searchII_all.html", search2("usb cable", "all"));
}

TEST_F(KeywordSearchTest, SearchIIEmptyListings) {
  addSpellings();
  // Without the distributor catalog an empty listing shows nothing at all, as does a type
  // other than the three.
  EXPECT_EQ(search2("printer", "keyword"), "");
  EXPECT_EQ(search2("cable", "psearch"), "");
  site.setPreference("optTDdata", "yes");
  addCategory(Database::Main, "10", "010", "Patch");
  addSub(Database::Main, "10", "010", "", "All patch");
  EXPECT_EQ(search2("printer", "keyword"),
            "<br><br>We are sorry, there is no item available matching your search "
            "criteria.<br><br>");
  // The featured table found the shop's cable, so the empty distributor listing is silent.
  const std::string html = search2("patch cable", "keyword");
  EXPECT_NE(html.find("Featured Items:"), std::string::npos);
  EXPECT_EQ(html.find("We are sorry"), std::string::npos);
  EXPECT_EQ(search2("cable", "psearch"), "");
}

TEST_F(KeywordSearchTest, FeaturedPagesOfSearchII) {
  site.setPreference("optTDdata", "yes");
  addTree(Database::Main, "z1", "Shop specials");
  for (int i = 0; i < 20; ++i) {
    char part[16];
    std::snprintf(part, sizeof part, "S%02d", i);
    addProduct(Database::Main, {.part = part,
                                .manuPart = std::string("SM-") + part,
                                .descr = std::string("Modem ") + part,
                                .grp = "z1"});
  }
  const std::string html = search2("modem", "keyword", "", 0, 2);
  EXPECT_NE(html.find("Displaying page <b>2</b> of <b>2</b>"), std::string::npos);
  EXPECT_NE(html.find("<a HREF=\"search.asp?action=viewitems&grp=&page=1&keyword=modem&"
                      "stype=keyword&featuredpage=1\"><img src=\"images/Previouse.gif\""),
            std::string::npos);
}

// ---- Bad input ----

TEST_F(KeywordSearchTest, QuotesPercentUnderscoreAndMarkupReachSqlOnlyAsText) {
  addProduct(Database::Main,
             {.part = "Q1", .manuPart = "O'B-1", .descr = "O'Brien cable", .grp = "10"});
  addProduct(Database::Main,
             {.part = "Q2", .manuPart = "PCT-1", .descr = "100% copper_wire", .grp = "20"});
  addProduct(Database::Main,
             {.part = "Q3", .manuPart = "HT-1", .descr = "<b>bold</b>", .grp = "30"});
  struct Case {
    const char* text;
    const char* sType;
    const char* groups;
  };
  const Case cases[] = {
      {"o'brien", "keyword", "10"},
      {"O'B-1", "manuf", "10"},
      {"o'brien cable", "all", "10"},
      {"' or '1'='1", "keyword", ""},
      {"'); drop table products; --", "all", ""},
      {"100%", "keyword", "20"},
      {"copper_wire", "keyword", "20"},
      {"<b>", "keyword", "30"},
      {"\"><script>alert(1)</script>", "all", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string html = keywordSearch(c.text, c.sType);
    EXPECT_EQ(html.find("::ERROR"), std::string::npos);
    EXPECT_FALSE(currentError().isSet()) << currentError().description;
    EXPECT_EQ(linkedGroups(html), c.groups);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    const std::string listing = search2(c.text, c.sType);
    EXPECT_EQ(listing.find("<script>"), std::string::npos);
  }
  EXPECT_EQ(site.value(Database::Main, "select count(*) from products"), "3");
  EXPECT_NE(keywordSearch("o'brien", "keyword").find("&keyword=o&#39;brien&sType=keyword\">"),
            std::string::npos);
  const std::vector<std::string> log = searchLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "o'brien|10.0.0.1|w|3"), log.end());
}

TEST_F(KeywordSearchTest, TenThousandCharacterTextsAreAnswered) {
  addSpellings();
  const std::string word(10000, 'x');
  EXPECT_EQ(keywordSearch(word, "all"), "</center><i>No matching products...</i><br><br>");
  EXPECT_EQ(search2(word, "manuf"), "");
  EXPECT_EQ(searchLog().front().size(), 10000u + std::string("|10.0.0.1|a|1").size());

  // Five thousand words make a statement that SQLite refuses (its expressions are at most 1000
  // deep); search answers with what it had built, and Search II fails with the database's
  // reason. PostgreSQL takes the statement and answers it.
  std::string words;
  while (words.size() < 10000) words += "ab ";
  if (site.backend() == Backend::SQLite) {
    EXPECT_EQ(keywordSearch(words, "keyword"), "");
    EXPECT_NE(currentError().description.find("too large"), std::string::npos)
        << currentError().description;
    EXPECT_EQ(errorNumberOf([&] { search2(words, "all"); }), kErrStatement);
  } else {
    EXPECT_EQ(linkedGroups(keywordSearch(words, "keyword")), "10,30");
    EXPECT_FALSE(currentError().isSet()) << currentError().description;
    EXPECT_EQ(errorNumberOf([&] { search2(words, "all"); }), 0);
  }
}

}  // namespace
}  // namespace kestrin::testing

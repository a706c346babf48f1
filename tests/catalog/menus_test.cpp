// Group, category and subcategory menus, the filters and the catalog connection rule.
#include <gtest/gtest.h>

#include "catalog_test_base.h"
#include "filters.h"

namespace kestrin::testing {
namespace {

const std::string kBullet = "<tr><td width=18><img src=\"images/bullet.gif\" border=0></td>";

class MenusTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    site.setPreference("optTDdata", "no");
  }
  std::string grp(const std::string& group) {
    return cat.displayGRP(group, SiteFixture::kSiteId, SiteFixture::kPassword);
  }
  std::string categories(const std::string& group, bool custDb = false,
                         const std::string& image = "3") {
    return cat.displayCat(group, image, custDb, SiteFixture::kSiteId, SiteFixture::kPassword);
  }
  std::string subs(const std::string& group, const std::string& c, bool custDb = false) {
    return cat.displaySub(group, c, "3", custDb, SiteFixture::kSiteId, SiteFixture::kPassword);
  }
};

TEST_F(MenusTest, GroupsOfAMainCategoryInNameOrderWithoutFilteredGroups) {
  addGroup(Database::Main, "B1", "Hard Drives", "d");
  addGroup(Database::Main, "B2", "Backup", "d");
  addGroup(Database::Main, "B3", "Tape", "d");
  addGroup(Database::Main, "C1", "Notebooks", "c");
  addFilter("GRP", " B3 :: no tape this season");
  EXPECT_EQ(grp("Storage"),
            "<table cellpadding=1 cellspacing=1 border=0><tr><td colspan=2 "
            "class=\"grp\">STORAGE</td></tr>" +
                kBullet +
                "<td><a class=\"link\" href=\"c_2.asp?image=6&amp;group=B2\">Backup</a></td></tr>" +
                kBullet +
                "<td><a class=\"link\" href=\"c_2.asp?image=6&amp;group=B1\">Hard "
                "Drives</a></td></tr></table>");
  // The last group term has no " or " after it.
  EXPECT_EQ(cat.sql,
            "SELECT descr,grp FROM comgrp WHERE (grp='B1' or grp='B2' or grp='B3') and grp <> 'B3' "
            "order by descr");
  EXPECT_FALSE(cat.conn.isOpen());

  // One group gives a condition of a single term.
  EXPECT_EQ(grp("Systems"),
            "<table cellpadding=1 cellspacing=1 border=0><tr><td colspan=2 "
            "class=\"grp\">SYSTEMS</td></tr>" +
                kBullet +
                "<td><a class=\"link\" "
                "href=\"c_2.asp?image=7&amp;group=C1\">Notebooks</a></td></tr></table>");
  EXPECT_EQ(cat.sql,
            "SELECT descr,grp FROM comgrp WHERE (grp='C1') and grp <> 'B3' order by descr");
}

TEST_F(MenusTest, TrainingIsTheCategoryMenuOfGroupE1) {
  addGroup(Database::Main, "E1", "Training", "t");
  // Without categories both give the message.
  EXPECT_EQ(grp("Training"), "There's no item available in the item group.");
  addCategory(Database::Main, "E1", "010", "Certification");
  eCat other;
  EXPECT_EQ(grp("Training"),
            other.displayCat("E1", "1", false, SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_NE(grp("Training").find("c_4b.asp?image=1&category=010&group=E1&featured=False"),
            std::string::npos);
}

TEST_F(MenusTest, UnknownMainCategoryFailsWithTheDatabaseError) {
  addGroup(Database::Main, "C1", "Notebooks", "c");
  for (const char* name : {"systems", "Printers", ""}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(errorNumberOf([&] { grp(name); }), kErrStatement);
    EXPECT_EQ(cat.sql, "SELECT descr,grp FROM comgrp WHERE () order by descr");
  }
}

TEST_F(MenusTest, CategoriesLinkToSubcategoryMenusOrListings) {
  addGroup(Database::Main, "A1", "  Notebooks  ");
  addCategory(Database::Main, "A1", "010", " 14-inch ");
  addCategory(Database::Main, "A1", "020", "15-inch");
  addCategory(Database::Main, "A1", "030", "Docks");
  addSub(Database::Main, "A1", "010", "01", "Business");
  addSub(Database::Main, "A1", "030", "01", "USB-C");
  addFilter("GRPCAT", "A1|020");
  addFilter("GRPCATSUB", "A1|030|01");  // hides the subcategory, not the link to the menu
  const std::string head =
      "<table cellpadding=1 cellspacing=1 border=0><tr><td colspan=2 "
      "class=\"grp\">&nbsp;Notebooks</td></tr>";
  EXPECT_EQ(
      categories("A1"),
      head + kBullet +
          "<td><a class=\"link\" "
          "href=\"c_3.asp?image=3&category=010&group=A1&featured=False\">14-inch</a></td></tr>" +
          kBullet +
          "<td><a class=\"link\" "
          "href=\"c_3.asp?image=3&category=030&group=A1&featured=False\">Docks</a></td></tr></"
          "table>");
  EXPECT_NE(categories("A1", true).find("&featured=True\">14-inch"), std::string::npos);

  addFilter("GRPCAT", "A1|010");
  addFilter("GRPCAT", "A1|030");
  EXPECT_EQ(categories("A1"), "There's no item available in the item group.");
}

TEST_F(MenusTest, CategoryMenuWithoutGroupDescriptionFails) {
  addCategory(Database::Main, "A1", "010", "14-inch");
  EXPECT_EQ(errorNumberOf([&] { categories("A1"); }), kErrNoCurrentRecord);
}

TEST_F(MenusTest, SubcategoryMenu) {
  addGroup(Database::Main, "A1", "Notebooks");
  addCategory(Database::Main, "A1", "010", "14-inch ");
  addSub(Database::Main, "A1", "010", "01", " Business ");
  addSub(Database::Main, "A1", "010", "02", "Gaming");
  addSub(Database::Main, "A1", "010", "03", "Rugged");
  addFilter("GRPCATSUB", "A1|010|03");
  EXPECT_EQ(
      subs("A1", "010", true),
      "<table cellpadding=1 cellspacing=1 border=0><tr><td class=\"grp\" colspan=\"2\"><a "
      "class=\"grp\" "
      "href=\"c_2.asp?featured=True&group=A1&image=3\">Notebooks</a>&nbsp;>&nbsp;14-inch</td></tr>"
      "<tr><td><img src=\"images/bullet.gif\"></td><td width=\"95%\"><a class=\"link\" "
      "href=\"c_4b.asp?featured=True&image=3&category=010&group=A1&subcategory=01\">Business</a></"
      "td></tr>"
      "<tr><td><img src=\"images/bullet.gif\"></td><td width=\"95%\"><a class=\"link\" "
      "href=\"c_4b.asp?featured=True&image=3&category=010&group=A1&subcategory=02\">Gaming</a></"
      "td></tr>"
      "</table>");
  EXPECT_EQ(subs("A1", "020"),
            "<div align=\"center\" class=\"error\">There's no item available in this item "
            "category.</div>");
}

TEST_F(MenusTest, MenusFollowTheCatalogConnectionRuleWhileFiltersComeFromTheMainDatabase) {
  for (Database db : {Database::Main, Database::TechData}) {
    const std::string where = db == Database::Main ? "shop" : "distributor";
    addGroup(db, "A1", "Notebooks (" + where + ")");
    addCategory(db, "A1", "010", "14-inch (" + where + ")");
    addCategory(db, "A1", "020", "15-inch (" + where + ")");
  }
  addFilter("GRPCAT", "A1|020");
  // A filter row in the distributor database is never read.
  site.exec(Database::TechData,
            "CREATE TABLE filters (cat TEXT, items TEXT); INSERT INTO filters VALUES ('GRPCAT', "
            "'A1|010')");

  struct Case {
    const char* optTDdata;
    bool custDb;
    const char* reads;
  };
  const Case cases[] = {
      {"yes", false, "distributor"},
      {"yes", true, "shop"},
      {"YES", false, "shop"},
      {"no", false, "shop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.optTDdata) + (c.custDb ? " shop" : " distributor"));
    site.setPreference("optTDdata", c.optTDdata);
    std::string html = categories("A1", c.custDb);
    EXPECT_NE(html.find(std::string("Notebooks (") + c.reads + ")"), std::string::npos) << html;
    EXPECT_NE(html.find(std::string("14-inch (") + c.reads + ")"), std::string::npos) << html;
    EXPECT_EQ(html.find("15-inch"), std::string::npos) << html;
  }
}

TEST_F(MenusTest, RequestValuesNeverChangeTheStatement) {
  addGroup(Database::Main, "A1", "Notebooks");
  addCategory(Database::Main, "A1", "010", "14-inch");
  const char* hostile[] = {"A1' or '1'='1", "A1'; delete from comcat; --", "%",
                           "<script>x</script>"};
  for (const char* value : hostile) {
    SCOPED_TRACE(value);
    EXPECT_EQ(categories(value), "There's no item available in the item group.");
    EXPECT_EQ(subs(value, value),
              "<div align=\"center\" class=\"error\">There's no item available in this item "
              "category.</div>");
  }
  EXPECT_EQ(site.value(Database::Main, "select count(*) from comcat"), "1");
  // Request values echoed into links cannot leave their attribute.
  addCategory(Database::Main, "A1\"><b", "010", "x");
  addGroup(Database::Main, "A1\"><b", "Odd");
  EXPECT_NE(categories("A1\"><b", false, "<i>")
                .find("href=\"c_4b.asp?image=&lt;i&gt;&category=010&group=A1&quot;&gt;&lt;b&"
                      "featured=False\""),
            std::string::npos);
}

// ---- The filter clause builder ----

TEST(FilterTest, KeysAndTermsOfEveryKind) {
  struct Case {
    FilterKind kind;
    const char* items;
    const char* menu;
    const char* full;
  };
  const Case cases[] = {
      {FilterKind::GRP, " B3 ::note", " and grp <> 'B3'", " and grp <> 'B3'"},
      {FilterKind::GRPCAT, "A1 | 020", " and cat <> '020'", " and grp <> 'A1' and cat <> '020'"},
      {FilterKind::GRPCATSUB, "A1|030|01::why", " and sub <> '01'",
       " and grp <> 'A1' and cat <> '030' and sub <> '01'"},
      {FilterKind::MANUF, "QRM", " and manuf.vend_code <> 'QRM'",
       " and products.vend_code <> 'QRM'"},
      {FilterKind::PRODUCT, "KS-1::discontinued", " and products.part_num <> 'KS-1'",
       " and products.part_num <> 'KS-1'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.items);
    auto parts = filterKeyParts(c.kind, c.items);
    EXPECT_EQ(menuFilterTerm(c.kind)(parts), c.menu);
    EXPECT_EQ(fullFilterTerm(c.kind)(parts), c.full);
  }
  // A row without the parts its kind needs is no filter.
  EXPECT_TRUE(filterKeyParts(FilterKind::GRPCAT, "A1").empty());
  EXPECT_TRUE(filterKeyParts(FilterKind::GRPCATSUB, "A1|010").empty());
}

}  // namespace
}  // namespace kestrin::testing

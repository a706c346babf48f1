// The preferences admin form: every field shows its variable as opendb and prefsInit left it.
#include <gtest/gtest.h>

#include <filesystem>

#include "kestrin/ecat.h"
#include "site_fixture.h"

namespace kestrin {
namespace {

using testing::Database;
using testing::SiteFixture;

bool contains(const std::string& html, const std::string& what) {
  return html.find(what) != std::string::npos;
}

class AdminFormTest : public testing::SiteTest {
 protected:
  std::string menu() { return cat.setPrefMenu(SiteFixture::kSiteId, SiteFixture::kPassword); }
  eCat cat;
};

TEST_F(AdminFormTest, SiteWithoutPreferenceRowsShowsTheDefaults) {
  const std::string html = menu();
  testing::expectGolden("core/golden/pref_menu_defaults.html", html);

  EXPECT_TRUE(contains(html, "name=\"gFontName\" value=\"verdana,arial\"><br>"));
  EXPECT_TRUE(contains(html, "name=\"siteCname\" value=\" \"></td></tr>"));
  EXPECT_TRUE(contains(html, "name=\"siteEmailSMS\" value=\" \"><br><font"));
  EXPECT_TRUE(contains(html, "name=\"dHeadingColor\" value=\"\"></td></tr>"));
  EXPECT_TRUE(contains(html, "name=\"scList2Color\" value=\"\"></td></tr>"));
  EXPECT_TRUE(contains(html,
                       "<select name=\"optInterOrder\"><option value=\"yes\" >Yes</option>"
                       "<option value=\"no\" selected>No</option></select>"));
  EXPECT_TRUE(contains(html,
                       "<select name=\"optSSL\"><option value=\"yes\" selected>Yes</option>"
                       "<option value=\"no\" >No</option></select>"));
  EXPECT_TRUE(contains(html,
                       "<select name=\"optCCProcessor\"><option value=\"intellipay\" >Intellipay"
                       "</option><option value=\"none\" >None</option></select>"));
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(AdminFormTest, StoredValuesAndPageColoursAreWrittenAsTheyStand) {
  site.setPreference("gfontName", "tahoma");
  site.setPreference("siteCname", "Bits & \"Bytes\" <Ltd>");
  site.setPreference("siteTitle", "Bits and Bytes");
  site.setPreference("siteAddress", "12 O'Connell St");
  site.setPreference("siteEmailSMS", "alerts@sms.example.com");
  site.setPreference("optInterOrder", "yes");
  site.setPreference("optSSL", "no");
  site.setPreference("optCCUsername", "merchant7");
  site.setPreference("optCCPassword", "s3cret");
  cat.dHeadingColor = "#003366";
  cat.sList2Color = "silver";
  cat.scTopColor = "navy";
  cat.optCCProcessor = "intellipay";

  const std::string html = menu();
  testing::expectGolden("core/golden/pref_menu_stored.html", html);
  // The card processor password is a plain text field showing the stored value.
  EXPECT_TRUE(contains(html,
                       "Intellipay Password: </td><td><font face=\"tahoma\" size=\"-1\"><input "
                       "type=\"text\" size=\"15\" name=\"optCCPassword\" value=\"s3cret\">"));
}

TEST_F(AdminFormTest, SelectionRowsMarkOnlyAnExactMatch) {
  struct Case {
    const char* value;
    bool firstSelected;
    bool secondSelected;
  };
  const Case cases[] = {
      {"yes", true, false}, {"no", false, true},   {"YES", false, false},
      {"", false, false},   {" no", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.value + "'");
    site.setPreference("optSSL", c.value);
    const std::string html = menu();
    EXPECT_EQ(contains(html, "<option value=\"yes\" selected>Yes</option><option value=\"no\" "),
              c.firstSelected);
    EXPECT_EQ(contains(html,
                       "<select name=\"optSSL\"><option value=\"yes\" >Yes</option>"
                       "<option value=\"no\" selected>No</option>"),
              c.secondSelected);
  }

  struct Processor {
    const char* value;
    const char* expected;
  };
  const Processor processors[] = {
      {"intellipay",
       "<option value=\"intellipay\" selected>Intellipay</option><option value=\"none\" >None"},
      {"none", "<option value=\"intellipay\" >Intellipay</option><option value=\"none\" selected>"},
      {"Intellipay", "<option value=\"intellipay\" >Intellipay</option><option value=\"none\" >"},
  };
  for (const Processor& p : processors) {
    SCOPED_TRACE(p.value);
    cat.optCCProcessor = p.value;
    EXPECT_TRUE(contains(menu(), p.expected));
  }
}

TEST_F(AdminFormTest, OnlyReads) {
  site.setPreference("siteCity", "Leeds");
  menu();
  EXPECT_EQ(site.value(Database::Main, "select count(*) from preferences"), "1");
  EXPECT_EQ(site.value(Database::Main, "select descr from preferences where items = 'siteCity'"),
            "Leeds");
}

TEST_F(AdminFormTest, WrongPasswordFailsInsteadOfShowingBlankFields) {
  cat.strR = "kept";
  EXPECT_EQ(testing::errorNumberOf([&] { cat.setPrefMenu(SiteFixture::kSiteId, "wrong"); }),
            kErrObjectClosed);
  EXPECT_EQ(cat.strR, "kept");

  site.removeDatabase(Database::Main);
  EXPECT_EQ(testing::errorNumberOf([&] { menu(); }), kErrObjectClosed);
}

}  // namespace
}  // namespace kestrin

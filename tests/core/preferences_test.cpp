// getPref, setPref, prefsInit and the colour schemes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "kestrin/ecat.h"
#include "site_fixture.h"
#include "text.h"

namespace kestrin {
namespace {

using testing::Database;
using testing::SiteFixture;

class PreferencesTest : public testing::SiteTest {
 protected:
  std::string get(const std::string& items) {
    return cat.getPref(items, "", SiteFixture::kSiteId, SiteFixture::kPassword);
  }
  std::string set(const std::string& items, const std::string& descr) {
    return cat.setPref(items, descr, SiteFixture::kSiteId, SiteFixture::kPassword);
  }
  eCat cat;
};

TEST_F(PreferencesTest, GetPrefTrimsTheNameAndLeavesTheValueInStrR) {
  site.setPreference("gfontName", "  tahoma ");
  EXPECT_EQ(get(" gfontName "), "  tahoma ");
  EXPECT_EQ(cat.strR, "  tahoma ");
  EXPECT_EQ(cat.sql, "kx_getpref 'gfontName'");
  EXPECT_EQ(get("GFONTNAME"), "  tahoma ");  // names compare without regard to case
  EXPECT_EQ(get("nothing"), "n/a");
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(PreferencesTest, SetPrefDoesNotTrimTheName) {
  site.setPreference("gfontName", "verdana");
  EXPECT_EQ(set(" gfontName ", "Tahoma"),
            "Preference : <b> gfontName :Tahoma </b> has been updated successfully!");
  EXPECT_EQ(site.value(Database::Main, "select descr from preferences where items = ' gfontName '"),
            "Tahoma");
  EXPECT_EQ(site.value(Database::Main, "select descr from preferences where items = 'gfontName'"),
            "verdana");
}

TEST_F(PreferencesTest, SetPrefInsertsThenUpdatesWithTheSameMessage) {
  const std::string message =
      "Preference : <b>siteTitle:My Shop </b> has been updated successfully!";
  EXPECT_EQ(set("siteTitle", "My Shop"), message);
  EXPECT_EQ(
      site.value(Database::Main, "select count(*) from preferences where items = 'siteTitle'"),
      "1");
  EXPECT_EQ(set("siteTitle", "My Shop"), message);
  EXPECT_EQ(set("siteTitle", "Other"),
            "Preference : <b>siteTitle:Other </b> has been updated successfully!");
  EXPECT_EQ(
      site.value(Database::Main, "select count(*) from preferences where items = 'siteTitle'"),
      "1");
  EXPECT_EQ(get("siteTitle"), "Other");
}

TEST_F(PreferencesTest, QuotesAreStoredIntactAndNeverChangeTheStatement) {
  site.setPreference("keep", "me");
  struct Case {
    const char* items;
    const char* descr;
  };
  const Case cases[] = {
      {"siteCname", "O'Brien's Computers"},
      {"x'; delete from preferences; --", "x'; delete from preferences; --"},
      {"siteTitle", "'); drop table preferences; --"},
      {"q", "''''"},
      {"pct", "100% <b>off</b> \"now\""},
      {"path", "C:\\new\\'table\\"},  // a backslash is no escape character on any backend
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.items);
    // The confirmation shows the name and value as given, escaped for the page it goes into.
    EXPECT_EQ(set(c.items, c.descr), "Preference : <b>" + htmlEscape(c.items) + ":" +
                                         htmlEscape(c.descr) +
                                         " </b> has been updated successfully!");
    EXPECT_EQ(get(c.items), c.descr);
    EXPECT_EQ(site.value(Database::Main, "select descr from preferences where items = 'keep'"),
              "me");
  }
  EXPECT_EQ(site.value(Database::Main, "select count(*) from preferences"), "7");
}

TEST_F(PreferencesTest, RequestValuesInTheConfirmationCannotAddMarkup) {
  EXPECT_EQ(
      set("<b>x", "<script>alert(1)</script>"),
      "Preference : <b>&lt;b&gt;x:&lt;script&gt;alert(1)&lt;/script&gt; </b> has been updated "
      "successfully!");
  EXPECT_EQ(get("<b>x"), "<script>alert(1)</script>");  // stored as given
}

TEST_F(PreferencesTest, GetPrefErrorFormEscapesTheRequestedName) {
  site.setPreference("<i>n", "v");
  site.setPreference("colorSchema", "blue");
  site.removeDatabase(Database::TechData);  // opendb records a failure
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  const auto missing = site.missingDatabaseError(Database::TechData);
  EXPECT_EQ(cat.getPref("<i>n", "opendb"),
            "v:: v ::: &lt;i&gt;n ::ERROR:" + missing.description + " : " + missing.source);
  cat.closedb();
}

TEST_F(PreferencesTest, EightProcessesSettingTheSameNewItemsAllSucceed) {
  // Every process sets the same new names in the same order, so most look-ups find no row
  // while another process is about to insert it.
  constexpr int kProcesses = 8;
  constexpr int kItems = 50;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(go[1]);
      char c;
      (void)!read(go[0], &c, 1);  // returns at end of file: all children start together
      int failures = 0;
      for (int i = 0; i < kItems; ++i) {
        try {
          eCat child;
          child.setPref("race" + std::to_string(i), "set by " + std::to_string(p),
                        SiteFixture::kSiteId, SiteFixture::kPassword);
        } catch (...) {
          ++failures;
        }
      }
      _exit(failures);  // no static destructors in a forked copy of the test
    }
    children.push_back(pid);
  }
  close(go[0]);
  close(go[1]);
  int failures = 0;
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    failures += WEXITSTATUS(status);
  }
  EXPECT_EQ(failures, 0) << "of " << kProcesses * kItems << " calls";
  EXPECT_EQ(site.value(Database::Main, "select count(*) from preferences where items like 'race%'"),
            std::to_string(kItems));
  for (int i = 0; i < kItems; ++i) {
    EXPECT_EQ(get("race" + std::to_string(i)).substr(0, 7), "set by ");
  }
}

TEST_F(PreferencesTest, EveryColourSchemeAndAnUnknownOne) {
  struct Case {
    const char* scheme;
    const char* dark;
    const char* grp;
    const char* cat;
    const char* border;
  };
  const Case cases[] = {
      {"blue", "#3F658B", "#A9C2DA", "#E6EDF4", "#666666"},
      {"brick", "#92430A", "#F4BB87", "#F6E8CF", "#666666"},
      {"green", "#22483F", "#B6CEC4", "#F2FEF3", "#666666"},
      {"brown", "#49382A", "#BEB2A7", "#E7E5E1", "#666666"},
      {"rust", "#652709", "#DCAC94", "#EADDD6", "#666666"},
      {"leaf", "#44594A", "#A8B5AB", "#D7DFD7", "#666666"},
      {"green-grey", "#3C5B59", "#ADB9B8", "#E2E5E5", "#666666"},
      {"purple", "#57527E", "#BDBAD1", "#E9E9F7", "#666666"},
      {"yellow-brown", "#655415", "#CDC6A0", "#F7F6E9", "#666666"},
      {"confeti", "#2F4295", "#CCCC99", "#F9F5B0", "#000000"},
      {"Blue", "", "", "", ""},  // exact match only: a fresh object keeps its empty colours
      {"blue ", "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scheme);
    site.setPreference("colorSchema", c.scheme);
    eCat fresh;
    fresh.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
    EXPECT_EQ(fresh.darkColor, c.dark);
    EXPECT_EQ(fresh.grpColor, c.grp);
    EXPECT_EQ(fresh.catColor, c.cat);
    EXPECT_EQ(fresh.borderColor, c.border);
    fresh.closedb();
  }
}

TEST_F(PreferencesTest, UnknownSchemeLeavesColoursAsTheyWere) {
  site.setPreference("colorSchema", "purple");
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  cat.closedb();
  site.exec(Database::Main, "delete from preferences where items = 'colorSchema'");
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(cat.darkColor, "#57527E");
  cat.closedb();
}

TEST_F(PreferencesTest, PrefsInitDefaultsOnAnEmptyTable) {
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(cat.gfontName, "verdana,arial");
  EXPECT_EQ(cat.varCheckIM, "no");
  for (const std::string* v :
       {&cat.siteTitle, &cat.siteCname, &cat.siteAddress, &cat.siteCity, &cat.siteState,
        &cat.siteZip, &cat.siteCountry, &cat.sitePhone1, &cat.sitePhone2, &cat.siteFax,
        &cat.siteEmail, &cat.siteEmailSales, &cat.siteEmailSupport, &cat.siteEmailSMS}) {
    EXPECT_EQ(*v, " ");
  }
  EXPECT_EQ(cat.optInterOrder, "no");
  EXPECT_EQ(cat.optSSL, "yes");
  EXPECT_EQ(cat.optCCUsername, "");
  EXPECT_EQ(cat.optCCPassword, "");
  EXPECT_EQ(cat.optTDdata, "yes");
  EXPECT_EQ(cat.darkColor, "");
  EXPECT_FALSE(cat.rstemp.isOpen());  // prefsInit closes its lookup
  cat.closedb();
}

TEST_F(PreferencesTest, PresentValuesAreUsedAsStored) {
  site.setPreference("siteTitle", "  Harrowgate  ");
  site.setPreference("optTDdata", "YES");
  site.setPreference("siteCity", "");
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(cat.siteTitle, "  Harrowgate  ");
  EXPECT_EQ(cat.optTDdata, "YES");
  EXPECT_EQ(cat.siteCity, "");
  EXPECT_EQ(cat.siteAddress, " ");  // no row: one space, like the other site details
  cat.closedb();
}

TEST_F(PreferencesTest, PrefsInitNeedsTheSessionOpen) { EXPECT_THROW(cat.prefsInit(), Error); }

}  // namespace
}  // namespace kestrin

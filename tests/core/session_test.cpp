// opendb, closedb, getConnString and the error model they follow.
#include <gtest/gtest.h>

#include <filesystem>

#include "error_modes.h"
#include "kestrin/ecat.h"
#include "site_create.h"
#include "site_fixture.h"

namespace kestrin {
namespace {

using testing::Database;
using testing::SiteFixture;

class SessionTest : public testing::SiteTest {
 protected:
  std::string line(const std::string& catalog) const {
    return site.connectionString(catalog == "kestrin"  ? Database::Main
                                 : catalog == "ingram" ? Database::Ingram
                                                       : Database::TechData);
  }
};

TEST_F(SessionTest, RightPasswordOpensBothDatabasesAndSetsTheSession) {
  site.setPreference("colorSchema", "green");
  eCat cat;
  cat.strR = "left over";
  cat.noRecords = true;
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_FALSE(currentError().isSet()) << currentError().description;
  EXPECT_TRUE(cat.conn.isOpen());
  EXPECT_TRUE(cat.connTD.isOpen());
  EXPECT_EQ(cat.connStringIM, line("ingram"));
  EXPECT_EQ(cat.connStringTD, line("techdata"));
  EXPECT_EQ(cat.CompanyFile, std::filesystem::canonical(site.dir()).string() + "/company.qbw");
  EXPECT_EQ(cat.darkColor, "#22483F");
  EXPECT_EQ(cat.strR, "");
  EXPECT_FALSE(cat.noRecords);
  cat.closedb();
}

TEST_F(SessionTest, WrongPasswordOpensNothingAndChangesNothing) {
  site.setPreference("colorSchema", "green");
  eCat cat;
  cat.strR = "kept";
  cat.darkColor = "before";
  cat.opendb(true, SiteFixture::kSiteId, "wrong");
  EXPECT_FALSE(cat.conn.isOpen());
  EXPECT_FALSE(cat.connTD.isOpen());
  EXPECT_EQ(cat.strR, "kept");
  EXPECT_EQ(cat.darkColor, "before");
  EXPECT_EQ(cat.gfontName, "");
  EXPECT_EQ(cat.connStringTD, "");

  // The next query of a strict method fails with the database layer's error.
  try {
    cat.getPref("colorSchema", "", SiteFixture::kSiteId, "wrong");
    FAIL() << "getPref answered on a closed connection";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrObjectClosed);
    EXPECT_EQ(e.description(), "Operation is not allowed when the object is closed.");
    EXPECT_EQ(e.source(), "kestrin.Connection");
  }
}

TEST_F(SessionTest, PasswordLineIsTrimmedButCaseSensitive) {
  site.writeIni("  tolvaro27  \r\n" + line("kestrin") + "\r\nsa\r\n8642\r\n" + line("ingram") +
                "\r\nsa\r\n8642\r\n" + line("techdata") +
                "\r\nsa\r\n8642\r\nqbCompanyFile=/x.qbw\r\n");
  eCat cat;
  cat.opendb(false, SiteFixture::kSiteId, "tolvaro27");
  EXPECT_TRUE(cat.conn.isOpen());
  cat.closedb();
  cat.opendb(false, SiteFixture::kSiteId, "TOLVARO27");
  EXPECT_FALSE(cat.conn.isOpen());
  cat.opendb(false, SiteFixture::kSiteId, " tolvaro27");
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(SessionTest, SchemeLookupWithoutARowFailsWhenAnErrorIsCurrent) {
  // The lookup cannot read descr for its error form, so its failure becomes the current error.
  site.removeDatabase(Database::TechData);
  eCat cat;
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(currentError().number, kErrNoCurrentRecord);
  EXPECT_TRUE(cat.conn.isOpen());
  cat.closedb();
}

TEST_F(SessionTest, MissingTechDataDatabaseIsRecordedAndSkipped) {
  site.removeDatabase(Database::TechData);
  site.setPreference("colorSchema", "green");
  site.setPreference("gfontName", "tahoma");
  eCat cat;
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_TRUE(cat.conn.isOpen());
  EXPECT_FALSE(cat.connTD.isOpen());
  ASSERT_TRUE(currentError().isSet());
  EXPECT_EQ(currentError().number, kErrProvider);
  EXPECT_EQ(currentError().description, site.missingDatabaseError(Database::TechData).description);
  EXPECT_EQ(currentError().source, site.missingDatabaseError(Database::TechData).source);
  // The scheme lookup answered in its error form, which names no scheme.
  EXPECT_EQ(cat.darkColor, "");
  EXPECT_EQ(cat.strR, "");
  cat.closedb();
}

TEST_F(SessionTest, MissingTechDataGivesEveryLoadedPreferenceItsErrorForm) {
  site.removeDatabase(Database::TechData);
  site.setPreference("colorSchema", "blue");
  site.setPreference("gfontName", "tahoma");  // varCheckIM, the next name, has no row
  eCat cat;
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(cat.gfontName, "tahoma:: tahoma ::: gfontName ::ERROR:" +
                               site.missingDatabaseError(Database::TechData).description + " : " +
                               site.missingDatabaseError(Database::TechData).source);
  // prefsInit stopped at the first name without a row: reading its descr at the end failed.
  EXPECT_EQ(currentError().number, kErrNoCurrentRecord);
  EXPECT_EQ(cat.varCheckIM, "");
  EXPECT_EQ(cat.darkColor, "");  // the scheme lookup answered in its error form
  EXPECT_TRUE(cat.conn.isOpen());
  cat.closedb();
}

TEST_F(SessionTest, TenLineFileLeavesCompanyFileEmptyAndRecordsTheRead) {
  site.setPreference("colorSchema", "blue");
  site.writeIni(std::string(SiteFixture::kPassword) + "\r\n" + line("kestrin") +
                "\r\nsa\r\n8642\r\n" + line("ingram") + "\r\nsa\r\n8642\r\n" + line("techdata") +
                "\r\nsa\r\n8642\r\n");
  eCat cat;
  cat.CompanyFile = "old";
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_TRUE(cat.conn.isOpen());
  EXPECT_TRUE(cat.connTD.isOpen());
  EXPECT_EQ(cat.CompanyFile, "");
  EXPECT_EQ(currentError().number, kErrPastEndOfFile);
  cat.closedb();
  // getConnString reads ten values only and is satisfied.
  EXPECT_EQ(cat.getConnString(SiteFixture::kSiteId, SiteFixture::kPassword),
            line("kestrin") + "|" + line("ingram") + "|disabled|" + line("techdata"));
}

TEST_F(SessionTest, CompanyFileIsTheTextBetweenTheFirstTwoEquals) {
  struct Case {
    const char* line11;
    const char* companyFile;
  };
  const Case cases[] = {
      {"qbCompanyFile=/srv/a.qbw", "/srv/a.qbw"},
      {"/srv/a.qbw", ""},
      {"qbCompanyFile=/srv/a.qbw=extra", "/srv/a.qbw"},
      {"qbCompanyFile=", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line11);
    site.writeIni(std::string(SiteFixture::kPassword) + "\r\n" + line("kestrin") +
                  "\r\nsa\r\n8642\r\n" + line("ingram") + "\r\nsa\r\n8642\r\n" + line("techdata") +
                  "\r\nsa\r\n8642\r\n" + c.line11 + "\r\n");
    eCat cat;
    cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
    EXPECT_EQ(cat.CompanyFile, c.companyFile);
    cat.closedb();
  }
}

TEST_F(SessionTest, GarbageConnectionStringIsRecorded) {
  site.writeIni(std::string(SiteFixture::kPassword) +
                "\r\nthis is not a connection string\r\nsa\r\n8642\r\n" + line("ingram") +
                "\r\nsa\r\n8642\r\n" + line("techdata") + "\r\nsa\r\n8642\r\nqbCompanyFile=/x\r\n");
  eCat cat;
  ContinueOnError steps;
  bool ok = steps.run([&] { cat.conn.open("this is not a connection string"); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(currentError().number, kErrProvider);
  EXPECT_EQ(
      currentError().description,
      "The connection string is not valid: 'this is not a connection string' is not a setting.");
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_FALSE(cat.conn.isOpen());
  EXPECT_TRUE(cat.connTD.isOpen());
  EXPECT_TRUE(currentError().isSet());
  cat.closedb();
}

TEST_F(SessionTest, MissingConfigurationFileOpensNothing) {
  std::filesystem::remove(site.iniFile());
  eCat cat;
  cat.strR = "kept";
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_FALSE(cat.conn.isOpen());
  EXPECT_EQ(currentError().number, kErrFileNotFound);
  EXPECT_EQ(currentError().description, "File not found: kestrin.ini");
  EXPECT_EQ(cat.strR, "kept");
  // With an empty password the empty first value matches, and the empty strings fail to open.
  cat.opendb(false, SiteFixture::kSiteId, "");
  EXPECT_FALSE(cat.conn.isOpen());
  EXPECT_TRUE(currentError().isSet());
}

TEST_F(SessionTest, ClosedbReleasesConnectionsAndKeepsTextVariables) {
  site.setPreference("colorSchema", "brick");
  site.setPreference("siteTitle", "Harrowgate");
  eCat cat;
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  cat.rs = cat.conn.execute("select * from preferences");
  ASSERT_TRUE(cat.rs.isOpen());
  cat.closedb();
  EXPECT_FALSE(cat.conn.isOpen());
  EXPECT_FALSE(cat.connTD.isOpen());
  EXPECT_FALSE(cat.rs.isOpen());
  EXPECT_FALSE(cat.rstemp.isOpen());
  EXPECT_EQ(cat.darkColor, "#92430A");
  EXPECT_EQ(cat.siteTitle, "Harrowgate");
  EXPECT_EQ(cat.gfontName, "verdana,arial");
  // A closed session can be opened again by the next call.
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_TRUE(cat.conn.isOpen());
  cat.closedb();
  cat.closedb();  // closing what is not open is no failure
}

TEST_F(SessionTest, GetConnStringJoinsFourFields) {
  eCat cat;
  std::string result = cat.getConnString(SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(result, line("kestrin") + "|" + line("ingram") + "|disabled|" + line("techdata"));
  EXPECT_EQ(cat.connStringIM, line("ingram"));
  EXPECT_FALSE(cat.conn.isOpen());

  EXPECT_EQ(cat.getConnString(SiteFixture::kSiteId, "Tolvaro27"),
            "Error: site password is incorrect ..!");

  std::filesystem::remove(site.iniFile());
  EXPECT_EQ(cat.getConnString(SiteFixture::kSiteId, "x"), "Error: site password is incorrect ..!");
  EXPECT_EQ(cat.getConnString(SiteFixture::kSiteId, ""),
            "Error :: File not found: kestrin.ini</br>");
  // The site id comes from the request: echoed, it is escaped.
  EXPECT_EQ(cat.getConnString("<img src=x onerror=alert(1)>", ""),
            "Error :: File not found: &lt;img src=x onerror=alert(1)&gt;.ini</br>");
}

TEST_F(SessionTest, OpendbKeepsItsFirstFailureForTheCaller) {
  eCat cat;
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_FALSE(cat.opendbFailure().isSet());
  cat.closedb();

  cat.opendb(false, SiteFixture::kSiteId, "wrong");
  EXPECT_EQ(cat.opendbFailure().number, kErrInvalidCall);
  EXPECT_EQ(cat.opendbFailure().description,
            "The site password is incorrect for site \"kestrin\".");
  EXPECT_FALSE(currentError().isSet());  // the wrong password itself is no error

  site.removeDatabase(Database::Main);
  site.removeDatabase(Database::TechData);
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(cat.opendbFailure().description, site.missingDatabaseError(Database::Main).description);
  EXPECT_NE(currentError().description, cat.opendbFailure().description);  // later failures
  try {
    cat.getPref("gfontName", "opendb");
    ADD_FAILURE() << "answered on a closed connection";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrObjectClosed);
  }
  EXPECT_EQ(cat.opendbFailure().source, site.missingDatabaseError(Database::Main).source);

  std::filesystem::remove(site.iniFile());
  cat.opendb(true, SiteFixture::kSiteId, "");
  EXPECT_EQ(cat.opendbFailure().description, "File not found: kestrin.ini");
}

TEST_F(SessionTest, GetConnStringTrimsTheTechDataAndIngramLines) {
  site.writeIni(std::string(SiteFixture::kPassword) + "\r\n " + line("kestrin") +
                " \r\nsa\r\n8642\r\n  " + line("ingram") + "  \r\nsa\r\n8642\r\n " +
                line("techdata") + "\r\nsa\r\n8642\r\nq=/x\r\n");
  eCat cat;
  EXPECT_EQ(cat.getConnString(SiteFixture::kSiteId, SiteFixture::kPassword),
            line("kestrin") + "|" + line("ingram") + "|disabled|" + line("techdata"));
  // opendb takes them as read.
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(cat.connStringIM, "  " + line("ingram") + "  ");
  cat.closedb();
}

// ---- The error model ----

TEST(ErrorModelTest, ContinueOnErrorClearsAtEntryAndKeepsTheLastFailure) {
  setCurrentError(Error(99, "stale", "old"));
  ContinueOnError steps;
  EXPECT_FALSE(currentError().isSet());
  int after = 0;
  steps.run([] { raise(5, "first", "a"); });
  steps.run([&] { after = 1; });
  steps.run([] { raise(6, "second", "b"); });
  EXPECT_EQ(after, 1);
  EXPECT_EQ(currentError().number, 6);
  EXPECT_EQ(currentError().description, "second");
}

TEST(ErrorModelTest, HandlerJumpsToTheCleanUp) {
  std::string result = withHandler([]() -> std::string { raise(13, "Type mismatch", "x"); },
                                   [] { return std::string("Failed"); });
  EXPECT_EQ(result, "Failed");
  EXPECT_EQ(currentError().number, 13);
  result = withHandler([] { return std::string("Passed"); }, [] { return std::string("Failed"); });
  EXPECT_EQ(result, "Passed");
  EXPECT_FALSE(currentError().isSet());
}

TEST(ErrorModelTest, EndCheckForms) {
  clearCurrentError();
  EXPECT_EQ(endCheck(EndCheckForm::Listing, "<b>x</b>"), "<b>x</b>");
  setCurrentError(Error(-2147217900, "no such table: t", "kestrin.SQLite"));
  EXPECT_EQ(endCheck(EndCheckForm::Listing, "<b>x</b>"),
            "<b>x</b>::ERROR:no such table: t : kestrin.SQLite");
  EXPECT_EQ(endCheck(EndCheckForm::SmartSearch, "r", {.sql = "select 1", .descr = {}, .items = {}}),
            "r::ERROR:no such table: t : kestrin.SQLite<br><br><h3>select 1</h3>");
  EXPECT_EQ(endCheck(EndCheckForm::Detail, "r", {.sql = "select 1", .descr = {}, .items = {}}),
            "r::ERROR::no such table: t : kestrin.SQLite<br><br><h2>select 1</h2>");
  EXPECT_EQ(
      endCheck(EndCheckForm::Preference, "blue",
               {.sql = {}, .descr = [] { return std::string("blue"); }, .items = " colorSchema"}),
      "blue:: blue :::  colorSchema ::ERROR:no such table: t : kestrin.SQLite");
  EXPECT_EQ(endCheck(EndCheckForm::ConnString, "ignored"), "Error :: no such table: t</br>");

  // Statements and names from the request are shown escaped.
  EXPECT_EQ(
      endCheck(EndCheckForm::Detail, "r", {.sql = "select '<b>'", .descr = {}, .items = {}}),
      "r::ERROR::no such table: t : kestrin.SQLite<br><br><h2>select &#39;&lt;b&gt;&#39;</h2>");
  EXPECT_EQ(endCheck(EndCheckForm::SmartSearch, "r", {.sql = "<i>", .descr = {}, .items = {}}),
            "r::ERROR:no such table: t : kestrin.SQLite<br><br><h3>&lt;i&gt;</h3>");

  // A description that echoes a request value cannot add markup; its quotes stay as written.
  setCurrentError(
      Error(53, "File not found: \"><img src=x onerror=alert(1)>.ini & 'x'", "kestrin.Config"));
  const std::string shown =
      "File not found: \"&gt;&lt;img src=x onerror=alert(1)&gt;.ini &amp; 'x'";
  EXPECT_EQ(endCheck(EndCheckForm::Listing, "r"), "r::ERROR:" + shown + " : kestrin.Config");
  EXPECT_EQ(endCheck(EndCheckForm::Detail, "r", {.sql = "s", .descr = {}, .items = {}}),
            "r::ERROR::" + shown + " : kestrin.Config<br><br><h2>s</h2>");
  EXPECT_EQ(endCheck(EndCheckForm::ConnString, "ignored"),
            "Error :: File not found: &quot;&gt;&lt;img src=x onerror=alert(1)&gt;.ini &amp; "
            "&#39;x&#39;</br>");
  clearCurrentError();
}

}  // namespace
}  // namespace kestrin

// Answers the engine keeps between requests (preferences, markups, group descriptions, listing
// counts): a change made by another process shows in the very next request.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "catalog_test_base.h"
#include "db/change_cache.h"
#include "kestrin/db.h"

namespace kestrin::testing {
namespace {

class CachedPagesTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    site.setPreference("optTDdata", "no");
    site.setPreference("colorSchema", "blue");
    addGroup(Database::Main, "A1", "Notebooks");
    addCategory(Database::Main, "A1", "010", "Ultrabooks");
    addManuf(Database::Main, "AC", "Acme");
    addMarkup("m001", 10);
    addProduct(Database::Main, {.part = "NB-1", .manuPart = "MP-1", .descr = "Slim Notebook"});
  }

  // One page request, as the page host makes it: a fresh engine object.
  static std::string listing() {
    eCat page;
    return page.displayItems("A1", "010", "", "", 1, "", "", "", "", false, 0, SiteFixture::kSiteId,
                             SiteFixture::kPassword);
  }

  // A product page of the shop's own product, as the page host asks for it.
  static std::string productPage(const std::string& part) {
    eCat page;
    return page.displayDetail(part, "", "", true, SiteFixture::kSiteId, SiteFixture::kPassword);
  }

  // Runs `sql` on the main database from another process, as an administrator would.
  void changeElsewhere(const std::string& sql) const { site.execElsewhere(Database::Main, sql); }

  // Sets a preference through another engine process, as the shop's tools do.
  void setPreferenceElsewhere(const std::string& name, const std::string& value) const {
    CommandResult r = runCommand({KESTRINCTL_PATH, "call", "setPref", "items=" + name,
                                  "descr=" + value, std::string("siteID=") + SiteFixture::kSiteId,
                                  std::string("sitePassword=") + SiteFixture::kPassword});
    ASSERT_EQ(r.status, 0) << r.err;
  }

  struct Change {
    const char* what;
    std::string sql;
    const char* before;  // what the listing shows before the change, and not after it
    const char* after;
  };

  // Makes each change from another process, in turn, between two listings of this one.
  void expectEachShowsInTheNextListing(const std::vector<Change>& changes) {
    for (const Change& c : changes) {
      SCOPED_TRACE(c.what);
      listing();  // the process keeps what this request read
      std::string page;
      {
        db::StatementTrace trace;
        page = listing();
        EXPECT_GT(answeredFromCache(trace), 0u);
      }
      EXPECT_NE(page.find(c.before), std::string::npos) << page;

      changeElsewhere(c.sql);

      page = listing();
      EXPECT_NE(page.find(c.after), std::string::npos) << page;
      EXPECT_EQ(page.find(c.before), std::string::npos) << page;
      db::forgetCachedRows();
      EXPECT_EQ(page, listing()) << "the next request differs from one that reads everything anew";
    }
  }

  static std::string groupMadeAgain(Backend backend, const std::string& descr) {
    return (backend == Backend::SQLite
                ? std::string("DROP TABLE comgrp; CREATE TABLE comgrp (grp TEXT NOT NULL COLLATE "
                              "NOCASE PRIMARY KEY, descr TEXT COLLATE NOCASE); ")
                : std::string("DROP TABLE comgrp; CREATE TABLE comgrp (grp citext NOT NULL "
                              "PRIMARY KEY, descr citext); ")) +
           "INSERT INTO comgrp VALUES ('A1', '" + descr + "')";
  }

  static std::string groupProcedureReplaced(const std::string& suffix) {
    return "CREATE OR REPLACE FUNCTION kx_grpdescr(p_grp citext) RETURNS TABLE (descr citext) "
           "LANGUAGE sql STABLE AS $$ SELECT descr || '" +
           suffix + "' FROM comgrp WHERE grp = p_grp $$";
  }

  static size_t answeredFromCache(const db::StatementTrace& trace) {
    size_t n = 0;
    for (const db::TracedStatement& s : trace.statements()) n += s.fromCache ? 1 : 0;
    return n;
  }
};

TEST_F(CachedPagesTest, ChangeByAnotherProcessShowsInTheNextRequest) {
  std::vector<Change> cases = {
      {"preference", "UPDATE preferences SET descr='brick' WHERE items='colorSchema'",
       "bgcolor=\"#3F658B\"", "bgcolor=\"#92430A\""},
      {"markup", "UPDATE markup SET rate=20 WHERE markupid='m001'", "11.00", "12.00"},
      {"product", "UPDATE products SET descr='Feather Notebook' WHERE part_num='NB-1'",
       "Slim Notebook", "Feather Notebook"},
      {"group description", "UPDATE comgrp SET descr='Laptops' WHERE grp='A1'", ">Notebooks</a>",
       ">Laptops</a>"},
      {"table made again from an old dump, without its triggers",
       groupMadeAgain(site.backend(), "Portables"), ">Laptops</a>", ">Portables</a>"},
      {"product count",
       "INSERT INTO products (part_num, manu_part, descr, grp, cat, sub, vend_code, qty, cost) "
       "VALUES ('NB-2', 'MP-2', 'Second Notebook', 'A1', '010', '', 'AC', 3, 30)",
       "Found: <b>1</b> items", "Found: <b>2</b> items"},
  };
  // The stock note is the one cart row whose changes are counted; its name is compared as the
  // listing's statement compares it, without case.
  const char* noNote = "<b>Stock</b><br><font class=\"stext\"></font>";
  cases.insert(
      cases.end(),
      {{"stock note added", "INSERT INTO cart (sessionid, upsize) VALUES ('UPSIZE', 'Hourly')",
        noNote, ">Hourly</font>"},
       {"stock note changed", "UPDATE cart SET upsize='Daily' WHERE sessionid='upsize'",
        ">Hourly</font>", ">Daily</font>"},
       {"stock note's row renamed", "UPDATE cart SET sessionid='s1' WHERE sessionid='upsize'",
        ">Daily</font>", noNote},
       {"a row renamed into the stock note",
        "UPDATE cart SET sessionid='upsize' WHERE sessionid='s1'", noNote, ">Daily</font>"},
       {"stock note deleted", "DELETE FROM cart WHERE sessionid='upsize'", ">Daily</font>",
        noNote}});
  if (site.backend() == Backend::PostgreSQL) {
    // A procedure replaced fires no row trigger: the event trigger raises the counter.
    cases.push_back({"procedure replaced", groupProcedureReplaced(" Line"), ">Portables</a>",
                     ">Portables Line</a>"});
  }
  expectEachShowsInTheNextListing(cases);
}

TEST_F(CachedPagesTest, CachedPageEqualsTheUncachedOne) {
  addFilter("PRODUCT", "NB-9");
  addPicture("NB-1", "nb1.jpg", 1);
  db::forgetCachedRows();
  const std::string first = listing();
  db::StatementTrace trace;
  EXPECT_EQ(listing(), first);
  // Preferences, filters, descriptions, markups and the rows' pictures come from the cache; the
  // counter is read once per database.
  size_t counterReads = 0;
  for (const db::TracedStatement& s : trace.statements())
    counterReads += s.sql.starts_with("select n") ? 1 : 0;
  EXPECT_EQ(counterReads, 1u);
  EXPECT_GE(answeredFromCache(trace), 20u);
}

TEST_F(CachedPagesTest, ARequestSeesItsOwnChangeAtOnce) {
  listing();
  eCat admin;
  admin.setPref("colorSchema", "green", SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(admin.getPref("colorSchema", "", SiteFixture::kSiteId, SiteFixture::kPassword),
            "green");
  EXPECT_NE(listing().find("bgcolor=\"#22483F\""), std::string::npos);

  // Within one session too: the session's own change makes it read the counter again.
  eCat one;
  one.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(one.getPref("siteTitle", "opendb"), "n/a");
  one.conn.execute("insert into preferences (items,descr) values ('siteTitle','Kestrel Shop')");
  EXPECT_EQ(one.getPref("siteTitle", "opendb"), "Kestrel Shop");
  one.closedb();
}

// A site whose server login was no superuser has no event trigger: the counter's reading looks
// at the catalog for changes of the schema instead.
TEST_F(CachedPagesTest, SchemaChangesShowWithoutTheEventTrigger) {
  if (site.backend() != Backend::PostgreSQL) GTEST_SKIP() << "event triggers are the server's";
  ASSERT_EQ(
      site.column(Database::Main,
                  "SELECT count(*) FROM pg_event_trigger WHERE evtname = 'kx_schema_changes'"),
      std::vector<std::string>{"1"})
      << "a site made by a superuser has the event trigger";
  site.exec(Database::Main, "DROP EVENT TRIGGER kx_schema_changes");
  expectEachShowsInTheNextListing({
      {"table made again", groupMadeAgain(site.backend(), "Portables"), ">Notebooks</a>",
       ">Portables</a>"},
      {"procedure replaced", groupProcedureReplaced(" Line"), ">Portables</a>",
       ">Portables Line</a>"},
  });
}

TEST_F(CachedPagesTest, TheEventTriggerRaisesTheCounterOnEveryChangeOfTheSchema) {
  if (site.backend() != Backend::PostgreSQL) GTEST_SKIP() << "event triggers are the server's";
  auto counter = [&] { return site.column(Database::Main, "SELECT n FROM kx_changes").at(0); };
  for (const char* ddl : {"CREATE TABLE kx_probe (a integer)", "ALTER TABLE kx_probe ADD b text",
                          "DROP TABLE kx_probe", "CREATE INDEX comgrp_descr ON comgrp (descr)"}) {
    SCOPED_TRACE(ddl);
    const std::string before = counter();
    site.exec(Database::Main, ddl);
    EXPECT_NE(counter(), before);
  }
}

TEST_F(CachedPagesTest, OneRequestReadsEachCounterOnceAndSeesItsOwnChanges) {
  auto counterReads = [](const db::StatementTrace& trace) {
    size_t n = 0;
    for (const db::TracedStatement& s : trace.statements())
      n += s.sql.starts_with("select n") ? 1 : 0;
    return n;
  };
  listing();
  db::CounterScope request;
  {
    db::StatementTrace trace;
    listing();
    EXPECT_EQ(counterReads(trace), 1u) << "the first engine object of the request reads it";
    trace.clear();
    listing();
    productPage("NB-1");
    EXPECT_EQ(counterReads(trace), 0u) << "the later ones take the request's reading";
  }
  // Another engine object of the same request changes a preference: the pages made after it in
  // the request show the change.
  eCat admin;
  admin.setPref("colorSchema", "green", SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_NE(listing().find("bgcolor=\"#22483F\""), std::string::npos);
}

TEST_F(CachedPagesTest, DatabaseWithoutTheCounterIsAskedEveryTime) {
  // As a database made before the counter existed: neither the table nor its triggers.
  if (site.backend() == Backend::SQLite) {
    for (const std::string& trigger :
         site.column(Database::Main, "SELECT name FROM sqlite_master WHERE type = 'trigger'"))
      site.exec(Database::Main, "DROP TRIGGER " + trigger);
  } else {
    site.exec(Database::Main, "DROP FUNCTION kx_changes_count() CASCADE");
  }
  site.exec(Database::Main, "DROP TABLE kx_changes");
  db::forgetCachedRows();
  const std::string first = listing();
  db::StatementTrace trace;
  EXPECT_EQ(listing(), first);
  EXPECT_EQ(answeredFromCache(trace), 0u);
  changeElsewhere("UPDATE comgrp SET descr='Laptops' WHERE grp='A1'");
  EXPECT_NE(listing().find(">Laptops</a>"), std::string::npos);
}

TEST_F(CachedPagesTest, ShoppersCartLinesLeaveTheCounterAlone) {
  auto counter = [&] { return site.column(Database::Main, "SELECT n FROM kx_changes").at(0); };
  const std::string before = counter();
  site.exec(Database::Main, "INSERT INTO cart (sessionid, partno, qty) VALUES ('s1', 'NB-1', 1)");
  site.exec(Database::Main, "UPDATE cart SET qty = 2 WHERE sessionid = 's1'");
  site.exec(Database::Main, "DELETE FROM cart WHERE sessionid = 's1'");
  EXPECT_EQ(counter(), before);
}

TEST_F(CachedPagesTest, StockNoteOfADatabaseWithoutItsTriggersIsReadOnEveryListing) {
  const std::string note = "select upsize from cart where sessionid='upsize'";
  auto noteFromCache = [&](const db::StatementTrace& trace) {
    for (const db::TracedStatement& s : trace.statements())
      if (s.sql == note) return s.fromCache;
    ADD_FAILURE() << "the listing did not read the stock note";
    return false;
  };
  // On the server without the event trigger, the counter's reading sees the trigger go in the
  // catalog.
  if (site.backend() == Backend::PostgreSQL)
    site.exec(Database::Main, "DROP EVENT TRIGGER kx_schema_changes");
  listing();
  {
    db::StatementTrace trace;
    listing();
    EXPECT_TRUE(noteFromCache(trace));
  }
  // As a database made before the note's changes were counted: one trigger of three is enough
  // to miss a change.
  site.exec(Database::Main,
            "DROP TRIGGER cart_note_counted_del" +
                std::string(site.backend() == Backend::PostgreSQL ? " ON cart" : ""));
  listing();
  {
    db::StatementTrace trace;
    listing();
    EXPECT_FALSE(noteFromCache(trace));
  }
  site.exec(Database::Main, "INSERT INTO cart (sessionid, upsize) VALUES ('upsize', 'Hourly')");
  listing();
  changeElsewhere("DELETE FROM cart WHERE sessionid='upsize'");
  EXPECT_EQ(listing().find(">Hourly</font>"), std::string::npos);
}

// The site's main and catalog databases with their counters, read as the page host reads them
// at the start of a request.
std::vector<std::pair<std::string, std::string>> siteReadings() {
  eCat probe;
  return probe.changeCounters(SiteFixture::kSiteId, SiteFixture::kPassword);
}

TEST_F(CachedPagesTest, AListingDependsOnlyOnTheCountersOfItsDatabases) {
  listing();  // the process keeps what this request read
  struct Case {
    const char* what;
    std::function<void(std::vector<std::pair<std::string, std::string>>&)> work;
    bool covered;
  };
  const std::vector<Case> cases = {
      {"a listing", [](auto&) { listing(); }, true},
      {"a listing under another value of a counter",
       [](auto& readings) {
         listing();
         readings.front().second += "0";
       },
       false},
      {"a listing without its database's counter",
       [](auto& readings) {
         listing();
         readings.erase(readings.begin());
       },
       false},
      {"a statement on a table whose changes are not counted",
       [](auto&) {
         listing();
         eCat other;
         other.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
         other.conn.execute("SELECT count(*) FROM cart");
         other.closedb();
       },
       false},
      {"a listing and a write",
       [](auto&) {
         listing();
         eCat other;
         other.setPref("gfontName", "tahoma", SiteFixture::kSiteId, SiteFixture::kPassword);
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    db::CounterScope request;
    std::vector<std::pair<std::string, std::string>> readings = siteReadings();
    ASSERT_EQ(readings.size(), 2u);
    db::CounterDependence watch;
    c.work(readings);
    EXPECT_EQ(watch.coveredBy(readings), c.covered);
  }
}

TEST_F(CachedPagesTest, AListingThatReadsTheStockNoteUncountedDependsOnMore) {
  site.exec(Database::Main,
            "DROP TRIGGER cart_note_counted_upd" +
                std::string(site.backend() == Backend::PostgreSQL ? " ON cart" : ""));
  listing();
  db::CounterScope request;
  const std::vector<std::pair<std::string, std::string>> readings = siteReadings();
  db::CounterDependence watch;
  listing();
  EXPECT_FALSE(watch.coveredBy(readings));
}

TEST_F(CachedPagesTest, ProductPageShowsAChangeByAnotherProcessInTheNextRequest) {
  site.setPreference("gfontName", "tahoma");
  site.exec(Database::Main,
            "INSERT INTO techspec (part_num, seq, attr_nme, attr_vnme) VALUES ('NB-1', 1, "
            "'Weight', '1.2 kg')");
  // Related items list the product's subcategory under its group's description.
  addSub(Database::Main, "A1", "010", "01", "Thin and Light");
  // An empty price option shows the price line.
  site.exec(Database::Main, "UPDATE products SET sub='01', priceOptions='' WHERE part_num='NB-1'");
  struct Case {
    const char* what;
    std::function<void()> change;
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"preference (another engine process)",
       [&] { setPreferenceElsewhere("gfontName", "georgia"); }, "face=\"tahoma\"",
       "face=\"georgia\""},
      {"markup", [&] { changeElsewhere("UPDATE markup SET rate=20 WHERE markupid='m001'"); },
       "<b>Price:</b> <font size=+1>$11.00</font>", "<b>Price:</b> <font size=+1>$12.00</font>"},
      {"product",
       [&] {
         changeElsewhere("UPDATE products SET descr='Slim Notebook Air' WHERE part_num='NB-1'");
       },
       "<b>Item:</b> Slim Notebook<br>", "<b>Item:</b> Slim Notebook Air<br>"},
      {"group description",
       [&] { changeElsewhere("UPDATE comgrp SET descr='O''Brien Laptops' WHERE grp='A1'"); },
       "<b>Notebooks</b>", "<b>O'Brien Laptops</b>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    productPage("NB-1");  // the process keeps what this request read
    std::string page;
    {
      db::StatementTrace trace;
      page = productPage("NB-1");
      EXPECT_GT(answeredFromCache(trace), 0u);
    }
    EXPECT_NE(page.find(c.before), std::string::npos) << page;

    c.change();

    page = productPage("NB-1");
    EXPECT_NE(page.find(c.after), std::string::npos) << page;
    EXPECT_EQ(page.find(c.before), std::string::npos) << page;
    db::forgetCachedRows();
    EXPECT_EQ(page, productPage("NB-1"))
        << "the next request differs from one that reads everything anew";
  }
}

}  // namespace
}  // namespace kestrin::testing

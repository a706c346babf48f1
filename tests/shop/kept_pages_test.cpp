// Listing fragments kept by the page host under the site's change counters: a change made by
// another process shows in the very next request, and a call that reads anything the counters
// do not cover is made anew every time.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "db/change_cache.h"
#include "kestrin/db.h"
#include "page_test_helpers.h"
#include "shop.h"

namespace kestrin::testing {
namespace {

const char* const kListing = "/c_4b.asp?group=B1&category=010&page=1";

class KeptPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KESTRIN_APP_PATH", site.dir().c_str(), 1);
    db::forgetCachedRows();
    shop = std::make_unique<shop::Shop>(
        shop::ShopConfig{SiteFixture::kSiteId, SiteFixture::kPassword, ""});
  }

  static std::string get(shop::Shop& host, const std::string& target) {
    shop::HttpRequest r;
    r.method = "GET";
    r.target = target;
    r.version = "HTTP/1.1";
    shop::HttpResponse page = host.handle(r);
    EXPECT_EQ(page.status, 200) << page.body;
    return contentOf(page.body);
  }
  std::string get(const std::string& target) { return get(*shop, target); }

  // The page as a host that has kept nothing makes it.
  static std::string madeAnew(const std::string& target) {
    db::forgetCachedRows();
    shop::Shop fresh({SiteFixture::kSiteId, SiteFixture::kPassword, ""});
    return get(fresh, target);
  }

  static bool readsProducts(const db::StatementTrace& trace) {
    for (const db::TracedStatement& s : trace.statements())
      if (s.sql.find("products") != std::string::npos) return true;
    return false;
  }

  SiteFixture site{true};
  std::unique_ptr<shop::Shop> shop;
};

TEST_F(KeptPagesTest, AChangeByAnotherProcessShowsInTheNextListing) {
  struct Change {
    const char* what;
    Database db;
    std::string sql;
    const char* after;  // in the listing after the change, not before it
  };
  const std::vector<Change> changes = {
      {"group description", Database::Main, "UPDATE comgrp SET descr='Disk Drives' WHERE grp='B1'",
       "Disk Drives"},
      {"product of the catalog database", Database::TechData,
       "UPDATE products SET descr='Kept Page Archive Drive' WHERE part_num='TD-5004211'",
       "Kept Page Archive Drive"},
      {"featured product of the main database", Database::Main,
       "UPDATE products SET descr='Tarkstone 12TB Archive Drive' WHERE part_num='KS-100955'",
       "Tarkstone 12TB Archive Drive"},
      {"product count", Database::TechData,
       "INSERT INTO products (part_num, manu_part, descr, grp, cat, sub, vend_code, qty, cost) "
       "SELECT 'TD-KEPT', 'MP-KEPT', 'Kept Page Drive', grp, cat, sub, vend_code, 1, 10 FROM "
       "products WHERE grp='B1' AND cat='010' AND part_num <> 'TD-KEPT' ORDER BY part_num LIMIT 1",
       "Found: <b>35</b> items"},
      {"preference", Database::Main,
       "UPDATE preferences SET descr='brick' WHERE items='colorSchema'", "bgcolor=\"#92430A\""},
      {"stock note", Database::Main, "UPDATE cart SET upsize='Hourly' WHERE sessionid='upsize'",
       ">Hourly</font>"},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    const std::string before = get(kListing);
    {
      db::StatementTrace trace;
      EXPECT_EQ(get(kListing), before);
      EXPECT_FALSE(readsProducts(trace)) << "the second listing is the kept one";
    }
    EXPECT_EQ(before.find(c.after), std::string::npos) << before;

    site.execElsewhere(c.db, c.sql);

    const std::string after = get(kListing);
    EXPECT_NE(after.find(c.after), std::string::npos) << after;
    EXPECT_EQ(after, madeAnew(kListing));
  }
}

TEST_F(KeptPagesTest, EachPageOfAListingIsKeptUnderItsOwnValues) {
  const std::string first = get(kListing);
  const std::string second = get("/c_4b.asp?group=B1&category=010&page=2");
  EXPECT_NE(first, second);
  EXPECT_EQ(get(kListing), first);
  EXPECT_EQ(get("/c_4b.asp?group=B1&category=010&page=2"), second);
  EXPECT_EQ(shop->keptPages().size(), 2u);
}

TEST_F(KeptPagesTest, AListingThatReadsAnUncountedAnswerIsMadeEveryTime) {
  // As a database made before the stock note's changes were counted.
  site.exec(Database::Main,
            "DROP TRIGGER cart_note_counted_upd" +
                std::string(site.backend() == Backend::PostgreSQL ? " ON cart" : ""));
  site.exec(Database::Main, "UPDATE cart SET upsize='Hourly' WHERE sessionid='upsize'");
  get(kListing);
  {
    db::StatementTrace trace;
    EXPECT_NE(get(kListing).find(">Hourly</font>"), std::string::npos);
    EXPECT_TRUE(readsProducts(trace));
  }
  EXPECT_EQ(shop->keptPages().size(), 0u);
  site.execElsewhere(Database::Main, "UPDATE cart SET upsize='Daily' WHERE sessionid='upsize'");
  EXPECT_NE(get(kListing).find(">Daily</font>"), std::string::npos);
}

TEST_F(KeptPagesTest, EveryCatalogPageAsksForNothingButTheCountersOnceKept) {
  for (const char* target :
       {"/default.asp", "/c_1.asp?group=Storage", "/c_2.asp?group=B1",
        "/c_3.asp?group=B1&category=010", kListing, "/c_4manu.asp?manufacturer=TKS"}) {
    SCOPED_TRACE(target);
    const std::string first = get(target);
    db::StatementTrace trace;
    EXPECT_EQ(get(target), first);
    EXPECT_FALSE(trace.statements().empty());
    for (const db::TracedStatement& s : trace.statements())
      EXPECT_TRUE(s.sql.starts_with("select n")) << s.sql;
  }
}

// A database out of reach for a moment (here: its file renamed away between the request's
// reading of the counters and the look's own reads) must not leave its error on every page once
// it is back, although no counter moved.
TEST_F(KeptPagesTest, ALookMadeDuringAFailureIsShownButNotKept) {
  if (site.backend() != Backend::SQLite) GTEST_SKIP() << "renames the catalog file";
  const std::string good = madeAnew("/default.asp");
  shop::SiteLookCache& looks = shop->look();
  const shop::SiteCounters counters = looks.counters();
  ASSERT_FALSE(counters.empty());
  const std::string file = site.dbFile(Database::TechData);
  std::filesystem::rename(file, file + ".away");
  const std::string companyDuringFailure = looks.get(counters)->company;
  std::filesystem::rename(file + ".away", file);
  EXPECT_NE(companyDuringFailure.find("::ERROR:"), std::string::npos) << companyDuringFailure;

  const shop::SiteCounters now = looks.counters();
  EXPECT_EQ(now, counters);
  EXPECT_EQ(looks.get(now)->company.find("::ERROR:"), std::string::npos);
  EXPECT_EQ(get("/default.asp"), good);
}

}  // namespace
}  // namespace kestrin::testing

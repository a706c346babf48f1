// kestrinctl site upgrade: a site whose databases lost (or never had) parts of the change
// counting gets them back from the schema files, and the engine keeps answers again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "db/change_cache.h"
#include "kestrin/db.h"
#include "kestrin/ecat.h"
#include "pg_admin.h"
#include "site_create.h"
#include "site_fixture.h"
#include "site_upgrade.h"

namespace kestrin::testing {
namespace {

namespace fs = std::filesystem;

const Database kAll[] = {Database::Main, Database::Ingram, Database::TechData};

schema::PgLogin adminLogin() {
  return {pgTestServer().server, pgTestServer().adminUser, pgTestServer().adminPassword};
}

// The demo site, made the engine's folder.
class SiteUpgradeTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("KESTRIN_APP_PATH", site.dir().c_str(), 1); }

  bool onServer() const { return site.backend() == Backend::PostgreSQL; }

  CommandResult upgrade(const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> command = {KESTRINCTL_PATH, "site", "upgrade", site.dir()};
    if (onServer()) {
      command.insert(command.end(), {"--admin-user", pgTestServer().adminUser, "--admin-password",
                                     pgTestServer().adminPassword});
    }
    command.insert(command.end(), extra.begin(), extra.end());
    return runCommand(command);
  }

  // How the upgrade names a database of the site.
  std::string where(Database db) const {
    if (!onServer()) return fs::canonical(site.dir()).string() + "/" + site.databaseName(db);
    return "database " + site.databaseName(db) + " on " + pgTestServer().server;
  }

  // Every trigger of a database with its whole definition (its table, events, WHEN clause), and
  // on the server its event triggers and the counting functions.
  std::vector<std::string> counting(Database db) const {
    if (!onServer()) {
      return site.column(db,
                         "SELECT name || ': ' || sql FROM sqlite_master WHERE type = 'trigger' "
                         "ORDER BY name");
    }
    std::vector<std::string> out;
    for (const auto& v :
         schema::PgAdmin(adminLogin(), site.databaseName(db))
             .column("SELECT x FROM (SELECT pg_get_triggerdef(oid) AS x FROM pg_trigger WHERE "
                     "NOT tgisinternal UNION ALL SELECT 'event trigger ' || evtname || ' ' || "
                     "evtevent || ' ' || evtfoid::regproc::text || ' ' || evtenabled::text FROM "
                     "pg_event_trigger UNION ALL SELECT 'function ' || oid::regprocedure::text "
                     "|| ' ' || prosecdef FROM pg_proc WHERE proname IN ('kx_changes_count', "
                     "'kx_schema_changed')) s ORDER BY x"))
      out.push_back(v.value_or("<NULL>"));
    return out;
  }

  static std::string getPref(const std::string& name) {
    eCat cat;
    return cat.getPref(name, "", SiteFixture::kSiteId, SiteFixture::kPassword);
  }

  // Whether the second of two requests took the statement that `sql` starts with from memory.
  template <typename Request>
  static bool keptAnswer(const std::string& sql, Request request) {
    request();
    db::StatementTrace trace;
    request();
    for (const db::TracedStatement& s : trace.statements())
      if (s.sql.starts_with(sql)) return s.fromCache;
    ADD_FAILURE() << "the request did not run " << sql;
    return false;
  }

  static std::string listing() {
    eCat page;
    return page.displayItems("B1", "010", "", "", 1, "", "", "", "", false, 0, SiteFixture::kSiteId,
                             SiteFixture::kPassword);
  }

  SiteFixture site{true};
};

TEST_F(SiteUpgradeTest, BringsBackWhatADatabaseLacksAndTheEngineKeepsAnswersAgain) {
  std::map<Database, std::vector<std::string>> fresh;
  for (Database db : kAll) fresh[db] = counting(db);
  ASSERT_GT(fresh[Database::Main].size(), 20u);
  const std::string note = "select upsize from cart where sessionid='upsize'";
  const std::string pref = "kx_getpref 'siteCname'";
  ASSERT_TRUE(keptAnswer(note, listing));

  // As an older site: no counter in the main database, and triggers missing here and there.
  struct Case {
    Database db;
    std::vector<std::string> drop;
    std::string added;
  };
  std::vector<Case> cases;
  if (onServer()) {
    cases.push_back(
        {Database::Main,
         {"DROP TABLE kx_changes", "DROP TRIGGER products_counted ON products",
          "DROP TRIGGER prSizes_counted ON prSizes", "DROP TRIGGER cart_note_counted_del ON cart"},
         "added the table kx_changes and 3 triggers: products_counted, "
         "prSizes_counted, cart_note_counted_del"});
    cases.push_back({Database::Ingram,
                     {"DELETE FROM kx_changes", "DROP FUNCTION kx_changes_count() CASCADE"},
                     "added the row of kx_changes and the function kx_changes_count"});
    cases.push_back({Database::TechData,
                     {"DROP TRIGGER manuf_counted ON manuf", "DROP EVENT TRIGGER kx_schema_changes",
                      "DROP FUNCTION kx_schema_changed()"},
                     "added the function kx_schema_changed, the event trigger kx_schema_changes "
                     "and 1 trigger: manuf_counted"});
  } else {
    cases.push_back({Database::Main,
                     {"DROP TABLE kx_changes", "DROP TRIGGER products_counted_upd",
                      "DROP TRIGGER prSizes_counted_del", "DROP TRIGGER cart_note_counted_del"},
                     "added the table kx_changes and 3 triggers: products_counted_upd, "
                     "prSizes_counted_del, cart_note_counted_del"});
    cases.push_back({Database::Ingram, {"DELETE FROM kx_changes"}, "added the row of kx_changes"});
    cases.push_back({Database::TechData,
                     {"DROP TRIGGER kx_procedures_counted_ins", "DROP TRIGGER manuf_counted_ins"},
                     "added 2 triggers: kx_procedures_counted_ins, manuf_counted_ins"});
  }
  std::string expected;
  for (const Case& c : cases) {
    for (const std::string& sql : c.drop) site.exec(c.db, sql);
    expected += where(c.db) + ": " + c.added + "\n";
  }
  EXPECT_FALSE(keptAnswer(pref, [] { getPref("siteCname"); }));
  EXPECT_FALSE(keptAnswer(note, listing));

  CommandResult r = upgrade();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, "");
  for (Database db : kAll) {
    SCOPED_TRACE(site.databaseName(db));
    EXPECT_EQ(counting(db), fresh[db]);
    EXPECT_EQ(site.value(db, "SELECT count(*) FROM kx_changes"), "1");
  }

  // The same process keeps answers again, and sees its own and others' changes.
  EXPECT_TRUE(keptAnswer(pref, [] { getPref("siteCname"); }));
  EXPECT_TRUE(keptAnswer(note, listing));
  eCat admin;
  admin.setPref("siteCname", "O'Brien's Parts", SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(getPref("siteCname"), "O'Brien's Parts");
  // The stock note's trigger that was added counts its going.
  EXPECT_NE(listing().find(">Updated hourly</font>"), std::string::npos);
  site.exec(Database::Main, "DELETE FROM cart WHERE sessionid = 'upsize'");
  EXPECT_EQ(listing().find("Updated hourly"), std::string::npos);

  // A second run finds everything there.
  r = upgrade();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, where(Database::Main) + ": nothing to add\n" + where(Database::Ingram) +
                       ": nothing to add\n" + where(Database::TechData) + ": nothing to add\n");
  for (Database db : kAll) EXPECT_EQ(counting(db), fresh[db]);
}

TEST_F(SiteUpgradeTest, ASiteThatCannotBeReachedIsRefusedAndLeftAsItWas) {
  site.exec(Database::Main, "DROP TABLE kx_changes");
  const std::string dir = site.dir();
  CommandResult r = upgrade({"--site", "nosuch"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "kestrinctl site upgrade: there is no site here: " + dir + "/nosuch.ini is missing\n");

  r = runCommand({KESTRINCTL_PATH, "site", "upgrade", dir, "--password", "x"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
            "kestrinctl site upgrade: unknown option --password\n");
  EXPECT_NE(r.err.find("\n  kestrinctl site upgrade DIR [--site ID] [--admin-user A "
                       "--admin-password AP]\n"),
            std::string::npos);

  std::string message;
  if (onServer()) {
    const std::string s = pgTestServer().server;
    r = runCommand({KESTRINCTL_PATH, "site", "upgrade", dir, "--admin-user",
                    pgTestServer().adminUser, "--admin-password", "wrong"});
    message = "kestrinctl site upgrade: cannot connect to database " +
              site.databaseName(Database::Main) + " on server " + s +
              ": connection to server at \"127.0.0.1\", port " + s.substr(s.find(':') + 1) +
              " failed: FATAL:  password authentication failed for user \"" +
              pgTestServer().adminUser + "\"\n";
  } else {
    // A configuration file that names a folder without the databases.
    TempDir elsewhere;
    site.writeIni(tools::siteConfigText(elsewhere.path(), SiteFixture::kPassword));
    r = upgrade();
    message = "kestrinctl site upgrade: the site's database " + elsewhere.path() +
              "/kestrin.db is missing\n";
  }
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, message);
  if (onServer()) {
    EXPECT_EQ(site.value(Database::Main,
                         "SELECT count(*) FROM pg_class WHERE relname = "
                         "'kx_changes'"),
              "0");
  }
}

#define POSTGRES_HALF_ONLY()                \
  if (testBackend() != Backend::PostgreSQL) \
  GTEST_SKIP() << "needs the test server; it runs in the postgres/ half"

TEST_F(SiteUpgradeTest, ALoginThatMayNotMakeTriggersChangesNothing) {
  POSTGRES_HALF_ONLY();
  site.exec(Database::Main, "DELETE FROM kx_changes");
  site.exec(Database::Main, "DROP TRIGGER cart_note_counted_del ON cart");
  // The engine's login may add the counter's row, but not a trigger: the row goes again.
  CommandResult r =
      runCommand({KESTRINCTL_PATH, "site", "upgrade", site.dir(), "--admin-user",
                  pgTestServer().engineUser, "--admin-password", pgTestServer().enginePassword});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kestrinctl site upgrade: " + where(Database::Main) +
                       ": ERROR:  permission denied for table cart (nothing was changed in it)\n");
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM kx_changes"), "0");
}

TEST_F(SiteUpgradeTest, DisabledTriggersAreLeftAsTheyAreAndSaidSo) {
  POSTGRES_HALF_ONLY();
  site.exec(Database::Main, "ALTER TABLE pages DISABLE TRIGGER pages_counted");
  site.exec(Database::Main, "ALTER EVENT TRIGGER kx_schema_changes DISABLE");
  site.exec(Database::Main, "DROP TRIGGER pagesCat_counted ON pagesCat");
  CommandResult r = upgrade();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, where(Database::Main) +
                       ": added 1 trigger: pagesCat_counted; disabled, and left so: the trigger "
                       "pages_counted and the event trigger kx_schema_changes (the engine takes a "
                       "disabled trigger for a missing one)\n" +
                       where(Database::Ingram) + ": nothing to add\n" + where(Database::TechData) +
                       ": nothing to add\n");
  EXPECT_EQ(
      site.value(Database::Main, "SELECT tgenabled FROM pg_trigger WHERE tgname = 'pages_counted'"),
      "D");
}

// A site whose databases belong to a login that is no superuser: the event trigger cannot be
// made, which the upgrade says, and makes the rest.
TEST(SiteUpgradeOnServer, WithoutASuperuserTheEventTriggerIsLeftOutAndSaidSo) {
  POSTGRES_HALF_ONLY();
  TempDir dir;
  const std::string prefix = "ku" + std::to_string(getpid()) + "_";
  const std::string owner = prefix + "owner";
  schema::PgAdmin server(adminLogin(), "postgres");
  server.exec("CREATE ROLE " + schema::quoteName(owner) + " LOGIN CREATEDB PASSWORD 'owner''s pw'");
  struct Cleanup {
    const schema::PgAdmin& server;
    std::string prefix, owner;
    ~Cleanup() {
      for (const char* db : {"kestrin", "ingram", "techdata"})
        schema::dropPostgresDatabase(adminLogin(), prefix + db);
      server.exec("DROP ROLE IF EXISTS " + schema::quoteName(owner));
    }
  } cleanup{server, prefix, owner};
  const PgTestServer& pg = pgTestServer();
  CommandResult r = runCommand({KESTRINCTL_PATH,    "site",
                                "create",           dir.path(),
                                "--site",           "shop",
                                "--password",       "pw",
                                "--server",         pg.server,
                                "--db-user",        pg.engineUser,
                                "--db-password",    pg.enginePassword,
                                "--admin-user",     owner,
                                "--admin-password", "owner's pw",
                                "--db-prefix",      prefix});
  ASSERT_EQ(r.status, 0) << r.err;
  schema::PgAdmin(adminLogin(), prefix + "kestrin")
      .exec("DROP TRIGGER cart_note_counted_upd ON cart");

  auto upgradeAs = [&](const std::string& user, const std::string& password) {
    return runCommand({KESTRINCTL_PATH, "site", "upgrade", dir.path(), "--site", "shop",
                       "--admin-user", user, "--admin-password", password});
  };
  const std::string notMade =
      "; the event trigger kx_schema_changes is missing and only a superuser may make it (the "
      "engine works without it; run this again with a superuser's --admin-user to add it)\n";
  auto where = [&](const char* db) { return "database " + prefix + db + " on " + pg.server; };
  r = upgradeAs(owner, "owner's pw");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, where("kestrin") + ": added 1 trigger: cart_note_counted_upd" + notMade +
                       where("ingram") + ": nothing to add" + notMade + where("techdata") +
                       ": nothing to add" + notMade);
  r = upgradeAs(pg.adminUser, pg.adminPassword);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string added =
      ": added the function kx_schema_changed and the event trigger "
      "kx_schema_changes\n";
  EXPECT_EQ(r.out, where("kestrin") + added + where("ingram") + added + where("techdata") + added);
}

// The statements of the schema files, as the upgrade reads them.
TEST(SiteUpgradeScripts, StatementsEndAtTheirOwnSemicolons) {
  struct Case {
    const char* what;
    std::string script;
    bool postgres;
    std::vector<std::string> statements;
  };
  const std::vector<Case> cases = {
      {"literals, names and comments",
       "SELECT 'a;b', \"c;d\" -- e;f\n; /* g; */ SELECT 1;",
       false,
       {"SELECT 'a;b', \"c;d\" -- e;f", "/* g; */ SELECT 1"}},
      {"a trigger's body",
       "CREATE TRIGGER t AFTER INSERT ON x BEGIN UPDATE y SET n = n + 1; DELETE FROM z; END;\n"
       "SELECT 'it''s';",
       false,
       {"CREATE TRIGGER t AFTER INSERT ON x BEGIN UPDATE y SET n = n + 1; DELETE FROM z; END",
        "SELECT 'it''s'"}},
      {"dollar-quoted bodies",
       "CREATE FUNCTION f() RETURNS int AS $$ SELECT 1; $$;\nDO $body$ BEGIN x; END $body$;"
       "SELECT $1;",
       true,
       {"CREATE FUNCTION f() RETURNS int AS $$ SELECT 1; $$", "DO $body$ BEGIN x; END $body$",
        "SELECT $1"}},
      {"only comments left", "-- a comment; and more\n", true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(tools::scriptStatements(c.script, c.postgres), c.statements);
  }
}

}  // namespace
}  // namespace kestrin::testing

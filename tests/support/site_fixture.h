// A temporary site for a test: configuration file and the three databases made from the schema
// (no demo data), in a fresh folder that the engine sees as its own (KESTRIN_APP_PATH).
// Each test states the rows it needs with exec().
//
// Every test runs on both backends. ctest runs each test program twice: as sqlite/<Test> on
// SQLite files in the site folder, and as postgres/<Test> on databases of a throw-away
// PostgreSQL server that `make test` starts (KESTRIN_TEST_BACKEND picks the backend; without a
// server the postgres/ half is skipped and says why). What a test author needs to know:
//  - exec(), column() and value() take SQL in the engine's classic dialect and run it on the
//    site's backend: write portable SQL (no INSERT OR REPLACE, no rowid, no SQLite functions).
//    column() gives numbers in one form on both backends (10, 12.5; NULL as "<NULL>").
//  - Use removeDatabase() and connectionString() rather than file names; dbFile() is for tests
//    of the SQLite backend itself (construct those sites with Backend::SQLite).
//  - Where the two backends legitimately differ (the text of a database's own error message),
//    branch on site.backend(); HTML and results must be the same.
//  - A table or kx_ procedure added to db/sqlite/X.sql needs its twin in db/postgres/X.sql; the
//    schema parity test fails until it has one.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "schema.h"

namespace kestrin::schema {
class PgAdmin;
}

namespace kestrin::testing {

using schema::Database;

enum class Backend { SQLite, PostgreSQL };

// The backend this test process runs on (KESTRIN_TEST_BACKEND: "sqlite", the default, or
// "postgres").
Backend testBackend();

// The test server, read from the file that KESTRIN_PG_STATE names (written by
// scripts/pg-test-cluster).
struct PgTestServer {
  std::string unavailable;  // why there is no server; empty when there is one
  std::string server;       // host:port
  std::string adminUser, adminPassword;
  std::string engineUser, enginePassword;
};
const PgTestServer& pgTestServer();

class SiteFixture {
 public:
  static constexpr const char* kSiteId = "kestrin";
  static constexpr const char* kPassword = "tolvaro27";

  // With `demo`, a copy of the demo site that the build makes (support/make_demo_site.cpp).
  explicit SiteFixture(bool demo = false);
  explicit SiteFixture(Backend backend, bool demo = false);
  ~SiteFixture();
  SiteFixture(const SiteFixture&) = delete;
  SiteFixture& operator=(const SiteFixture&) = delete;

  Backend backend() const { return backend_; }
  const std::string& dir() const { return dir_; }
  std::string iniFile() const { return dir_ + "/" + kSiteId + ".ini"; }
  // The connection string of a database, as the configuration file gives it.
  std::string connectionString(Database db) const;
  // The name the database has on its backend: the file name (techdata.db) or the server's
  // database name.
  std::string databaseName(Database db) const;
  // The SQLite file of a database (SQLite sites only).
  std::string dbFile(Database db) const;
  // The database as a StatementTrace names it: the SQLite file, or host:port/name on a server.
  std::string tracedDatabase(Database db) const;
  // Makes a database disappear, as if it had never been made.
  void removeDatabase(Database db);
  // The description and source of the error that opening a removed database gives.
  struct ErrorText {
    std::string description, source;
  };
  ErrorText missingDatabaseError(Database db) const;

  // Runs SQL directly on a database of the site (outside the engine).
  void exec(Database db, const std::string& sql) const;
  // Runs SQL on a database of the site from another process, as an administrator would: the
  // sqlite3 shell on SQLite, psql on the server. Throws when it fails.
  void execElsewhere(Database db, const std::string& sql) const;
  // First column of every row of a query, as text (NULL as "<NULL>").
  std::vector<std::string> column(Database db, const std::string& sql) const;
  std::string value(Database db, const std::string& sql) const;

  void setPreference(const std::string& name, const std::string& value) const;
  // Replaces the configuration file with `text` as it stands.
  void writeIni(const std::string& text) const;

 private:
  const schema::PgAdmin& admin(Database db) const;
  void dropDatabase(Database db);
  void makeDatabase(Database db, bool demo);
  // Empties a reused database; false when it must be made afresh instead.
  bool emptyDatabase(Database db);
  Backend backend_;
  std::string dir_;
  std::string dbPrefix_;                     // PostgreSQL: prefix of this site's database names
  bool reused_ = false;                      // PostgreSQL: the databases stay for the next test
  std::unique_ptr<schema::PgAdmin> server_;  // PostgreSQL: on the server's own database
  mutable std::map<Database, std::unique_ptr<schema::PgAdmin>> admins_;
};

// Base for tests that need a site: one fresh site per test, made the engine's folder.
class SiteTest : public ::testing::Test {
 protected:
  void SetUp() override;
  SiteFixture site;
};

// A fresh folder of its own for a test (mkdtemp), removed with all it holds when the object goes.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "kestrin-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// What a program run by a test said and how it ended.
struct CommandResult {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs `command` (program and arguments, each passed as it stands) with the environment settings
// `env` ("NAME=value"; "-NAME" removes a variable) and `input` on its standard input, and waits
// for it to end.
CommandResult runCommand(const std::vector<std::string>& command,
                         const std::vector<std::string>& env = {}, const std::string& input = "");

// The number of the kestrin::Error that `call` raises, or 0 when it raises none.
int32_t errorNumberOf(const std::function<void()>& call);

// Compares `actual` with the golden file tests/<relPath>; on a difference reports the first
// differing line. With KESTRIN_UPDATE_GOLDEN=1 the golden file is rewritten instead.
void expectGolden(const std::string& relPath, const std::string& actual);

}  // namespace kestrin::testing

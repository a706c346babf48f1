// The database layer against every backend: one suite, instantiated per backend.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "db/session.h"
#include "db/sqlite/sqlite_session.h"
#include "kestrin/db.h"
#include "kestrin/error.h"
#include "site_fixture.h"

namespace kestrin::db {
namespace {

using testing::Database;

// A main database of the shop schema on one backend.
struct BackendDb {
  virtual ~BackendDb() = default;
  virtual std::string connectionString() const = 0;
  virtual void exec(const std::string& sql) const = 0;
};

struct SqliteDb : BackendDb {
  testing::SiteFixture site;
  std::string connectionString() const override {
    return "Provider=SQLite; Data Source=" + site.dbFile(Database::Main);
  }
  void exec(const std::string& sql) const override { site.exec(Database::Main, sql); }
};

struct Backend {
  std::string name;
  std::function<std::unique_ptr<BackendDb>()> make;
};

std::ostream& operator<<(std::ostream& os, const Backend& b) { return os << b.name; }

class DatabaseTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    db = GetParam().make();
    conn.open(db->connectionString());
  }

  int32_t errorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const Error& e) {
      lastError = e.description();
      return e.number();
    }
    return 0;
  }

  void addManufacturers(int n) {
    std::string sql = "INSERT INTO manuf (vend_code, vend_name) VALUES ";
    for (int i = 1; i <= n; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "V%03d", i);
      sql += std::string(i > 1 ? "," : "") + "('" + code + "', 'Vendor " + std::to_string(i) + "')";
    }
    db->exec(sql);
  }

  std::unique_ptr<BackendDb> db;
  Connection conn;
  std::string lastError;
};

TEST_P(DatabaseTest, ExecuteGivesTheFirstRowAndNullAsEmptyText) {
  db->exec("INSERT INTO manuf VALUES ('AC', 'Acme'), ('NU', NULL)");
  Recordset rs = conn.execute("select vend_code, vend_name from manuf order by vend_code");
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.field("vend_code").text(), "AC");
  EXPECT_EQ(rs.field("VEND_NAME").text(), "Acme");  // names compare without regard to case
  rs.moveNext();
  EXPECT_TRUE(rs.field("vend_name").isNull());
  EXPECT_EQ(rs.field("vend_name").text(), "");
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(rs.recordCount(), -1);
  EXPECT_EQ(errorOf([&] { rs.field("vend_name"); }), kErrNoCurrentRecord);
  EXPECT_EQ(errorOf([&] { rs.moveNext(); }), kErrNoCurrentRecord);
}

TEST_P(DatabaseTest, UnknownFieldIsItemNotFound) {
  db->exec("INSERT INTO manuf VALUES ('AC', 'Acme')");
  Recordset rs = conn.execute("select vend_code from manuf");
  EXPECT_EQ(errorOf([&] { rs.field("descr"); }), kErrItemNotFound);
}

TEST_P(DatabaseTest, TextEqualityAndLikeIgnoreCase) {
  db->exec("INSERT INTO manuf VALUES ('AcMe', 'Acme Europe')");
  EXPECT_FALSE(conn.execute("select * from manuf where vend_code = 'ACME'").eof());
  EXPECT_FALSE(conn.execute("select * from manuf where vend_name like '%EUROPE'").eof());
  EXPECT_FALSE(conn.execute("select * from manuf where vend_name like '%' + 'me eu' + '%'").eof());
  EXPECT_TRUE(conn.execute("select * from manuf where vend_code <> 'acme'").eof());
}

TEST_P(DatabaseTest, ProceduresRunWithTheirArgumentsBoundAsValues) {
  db->exec("INSERT INTO preferences VALUES ('O''Brien', 'quoted'), ('plain', 'value')");
  Recordset rs = conn.execute("kx_getpref 'O''Brien'");
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.field("descr").text(), "quoted");
  EXPECT_EQ(conn.execute("KX_GETPREF N'plain'").field("descr").text(), "value");
  // An argument holding SQL is only a value.
  EXPECT_TRUE(conn.execute("kx_getpref 'x'' or 1=1 --'").eof());
  EXPECT_EQ(conn.execute("select count(*) as n from preferences").field("n").text(), "2");
}

TEST_P(DatabaseTest, ProcedureErrorsSayWhatIsWrong) {
  EXPECT_EQ(errorOf([&] { conn.execute("kx_nothing 'a'"); }), kErrStatement);
  EXPECT_EQ(lastError, "Could not find stored procedure 'kx_nothing'.");
  EXPECT_EQ(errorOf([&] { conn.execute("kx_getpref 'a','b'"); }), kErrStatement);
  EXPECT_EQ(lastError, "Procedure 'kx_getpref' expects 1 argument, but 2 were given.");
}

TEST_P(DatabaseTest, CartProceduresWriteAndRead) {
  conn.execute("kx_cartAdd 'S1','P1','Cable, 2m',12.50,2,'Zelo',3.00,'1',0,0,0,0,0,0,0,0,0");
  conn.execute("kx_cartAdd 'S1','P2','Mouse',.50,1,'Zelo',1.00,'0',0,0,0,0,0,0,0,0,0");
  Recordset total = conn.execute("kx_cartTotal 'S1'");
  EXPECT_DOUBLE_EQ(total.field("subtotal").number(), 25.5);
  EXPECT_DOUBLE_EQ(total.field("shipweight").number(), 4);
  conn.execute("kx_cartUpdate 'P1','S1',4,6.00,'1'");
  conn.execute("kx_cartDelete 'P2','S1','0'");
  Recordset lines = conn.execute("kx_cartDisplay 'S1'");
  ASSERT_FALSE(lines.eof());
  EXPECT_EQ(lines.field("partno").text(), "P1");
  EXPECT_EQ(lines.field("qty").text(), "4");
  lines.moveNext();
  EXPECT_TRUE(lines.eof());
  EXPECT_TRUE(conn.execute("kx_cartExist 'P2','S1','0'").eof());
  EXPECT_FALSE(conn.execute("kx_cartExist 'P1','S1','1'").eof());
}

TEST_P(DatabaseTest, ClassicStatementFormsRun) {
  db->exec("INSERT INTO orderinfo (orderid) VALUES ('S10001'), ('S10002')");
  conn.execute("delete orderinfo where orderid='S10001'");
  EXPECT_EQ(conn.execute("select count(*) as n from orderinfo").field("n").text(), "1");
  EXPECT_EQ(conn.execute("select N'a' + 'b' as x").field("x").text(), "ab");
  EXPECT_FALSE(conn.execute("insert into vendors (name) values ('x')").isOpen());
}

TEST_P(DatabaseTest, StaticCursorCountsAndMovesLast) {
  addManufacturers(7);
  Recordset rs;
  rs.setCursorType(CursorType::Static);
  rs.open("select vend_code from manuf order by vend_code", conn);
  EXPECT_EQ(rs.recordCount(), 7);
  rs.moveLast();
  EXPECT_EQ(rs.field("vend_code").text(), "V007");
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
}

TEST_P(DatabaseTest, KeysetCursorPagesWithoutReadingTheWholeResult) {
  addManufacturers(100);
  Command cmd;
  cmd.setActiveConnection(conn);
  cmd.commandText = "select vend_code, vend_name from manuf order by vend_code";
  Recordset rs;
  long long before = conn.session()->statementCount();
  rs.open(cmd, CursorType::Keyset, LockType::ReadOnly);
  EXPECT_EQ(rs.recordCount(), 100);
  rs.setPageSize(15);
  EXPECT_EQ(rs.pageCount(), 7);
  rs.setAbsolutePage(7);
  EXPECT_EQ(rs.absolutePage(), 7);
  int rows = 0;
  std::string first;
  while (!rs.eof()) {
    if (rows == 0) first = rs.field("vend_code").text();
    ++rows;
    rs.moveNext();
  }
  EXPECT_EQ(first, "V091");
  EXPECT_EQ(rows, 10);
  // One count, one window of rows.
  EXPECT_EQ(conn.session()->statementCount() - before, 2);

  rs.setAbsolutePage(2);
  EXPECT_EQ(rs.field("vend_code").text(), "V016");
  EXPECT_EQ(errorOf([&] { rs.setAbsolutePage(8); }), 3001);
  EXPECT_EQ(errorOf([&] { rs.setAbsolutePage(0); }), 3001);
}

TEST_P(DatabaseTest, KeysetCursorOnAnEmptyResult) {
  Recordset rs;
  rs.open("select * from manuf", conn, CursorType::Keyset, LockType::ReadOnly);
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(rs.recordCount(), 0);
  rs.setPageSize(15);
  EXPECT_EQ(rs.pageCount(), 0);
}

TEST_P(DatabaseTest, ClosedAndOpenObjectsRefuseWhatTheyCannotDo) {
  Connection fresh;
  EXPECT_EQ(errorOf([&] { fresh.execute("select 1"); }), kErrObjectClosed);
  fresh.close();  // closing what was never opened is no failure
  EXPECT_EQ(errorOf([&] { conn.open(db->connectionString()); }), kErrObjectOpen);
  Recordset rs;
  EXPECT_EQ(errorOf([&] { rs.eof(); }), kErrObjectClosed);
  EXPECT_EQ(errorOf([&] { rs.close(); }), kErrObjectClosed);
  EXPECT_EQ(errorOf([&] { rs.open("select 1", fresh); }), 3709);
}

TEST_P(DatabaseTest, FailingStatementsKeepWhatTheDatabaseSaid) {
  EXPECT_EQ(errorOf([&] { conn.execute("select * from nowhere"); }), kErrStatement);
  EXPECT_NE(lastError.find("no such table: nowhere"), std::string::npos) << lastError;
  EXPECT_EQ(errorOf([&] { conn.execute("SELECT descr,grp FROM comgrp WHERE () order by descr"); }),
            kErrStatement);
  EXPECT_NE(lastError.find("syntax error"), std::string::npos) << lastError;
}

TEST_P(DatabaseTest, TwoConnectionsReadAndWriteOneDatabase) {
  addManufacturers(3);
  Connection other;
  other.open(db->connectionString());
  Recordset reading = conn.execute("select * from manuf order by vend_code");
  other.execute("insert into manuf values ('ZZ', 'Late')");
  conn.execute("insert into manuf values ('YY', 'Later')");
  int n = 0;
  for (; !reading.eof(); reading.moveNext()) ++n;
  EXPECT_EQ(n, 3);  // the result was read when the statement ran
  EXPECT_EQ(other.execute("select count(*) as n from manuf").field("n").text(), "5");
}

TEST_P(DatabaseTest, SeveralStatementsInOneTextAreRefusedBeforeAnyRuns) {
  const std::string several = "insert into vendors (name) values ('a'); delete from manuf";
  EXPECT_EQ(errorOf([&] { conn.execute(several); }), kErrStatement);
  EXPECT_EQ(lastError,
            "The statement text holds more than one statement; the database layer runs one "
            "statement at a time.");
  Recordset rs;
  EXPECT_EQ(errorOf([&] { rs.open("select 1 as a; select 2 as b", conn, CursorType::Static); }),
            kErrStatement);
  EXPECT_EQ(
      errorOf([&] { rs.open("select * from manuf; delete from manuf", conn, CursorType::Keyset); }),
      kErrStatement);
  EXPECT_EQ(conn.execute("select count(*) as n from vendors").field("n").text(), "0");

  // A semicolon inside a literal, a name or a comment, or one closing the statement, is no
  // second statement.
  EXPECT_EQ(conn.execute("select 'a;b' as x;").field("x").text(), "a;b");
  EXPECT_EQ(conn.execute("select 1 as [x;y] -- ; delete from manuf").field("x;y").text(), "1");
  EXPECT_EQ(conn.execute("kx_getpref 'x;y'").eof(), true);
}

TEST_P(DatabaseTest, ConstantBatchesRunEveryStatement) {
  conn.executeBatch(
      "insert into vendors (name) values ('a;b'); insert into vendors (name) values ('c');");
  EXPECT_EQ(conn.execute("select count(*) as n from vendors").field("n").text(), "2");
  EXPECT_EQ(errorOf([&] {
              conn.executeBatch("insert into vendors (name) values ('d'); select * from nowhere");
            }),
            kErrStatement);
  EXPECT_EQ(conn.execute("select count(*) as n from vendors").field("n").text(), "3");
}

TEST_P(DatabaseTest, TraceRecordsEveryStatementWithItsDatabase) {
  addManufacturers(20);
  StatementTrace outer;
  Recordset keyset;
  {
    StatementTrace inner;
    conn.execute("kx_getpref 'gfontName'");
    keyset.open("select * from manuf order by vend_code", conn, CursorType::Keyset);
    keyset.setPageSize(5);
    keyset.setAbsolutePage(3);  // fetching rows is no statement of the engine's
    EXPECT_EQ(errorOf([&] { conn.execute("select 1; select 2"); }), kErrStatement);
    ASSERT_EQ(inner.statements().size(), 3u);
    EXPECT_EQ(inner.statements()[0].sql, "kx_getpref 'gfontName'");
    EXPECT_EQ(inner.statements()[0].database, conn.database());
    EXPECT_EQ(inner.statements()[1].sql, "select * from manuf order by vend_code");
    EXPECT_EQ(inner.statements()[2].sql, "select 1; select 2");  // refused, but asked for
  }
  conn.executeBatch("select 1; select 2");
  Command cmd;
  cmd.setActiveConnection(conn);
  cmd.commandText = "select vend_code from manuf";
  Recordset rs;
  rs.open(cmd, CursorType::Static);
  ASSERT_EQ(outer.statements().size(), 6u);
  EXPECT_EQ(outer.statements()[3].sql, "select 1");
  EXPECT_EQ(outer.statements()[4].sql, " select 2");
  EXPECT_EQ(outer.statements()[5].database, conn.database());
  EXPECT_FALSE(conn.database().empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseTest,
                         ::testing::Values(Backend{"SQLite",
                                                   [] { return std::make_unique<SqliteDb>(); }}),
                         [](const auto& info) { return info.param.name; });

// ---- Connection strings and opening (backend independent) ----

int32_t openError(const std::string& connectionString, std::string* description = nullptr) {
  Connection c;
  try {
    c.open(connectionString);
  } catch (const Error& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

TEST(ConnectionStringTest, FolderDataSourceMeansEmbeddedFiles) {
  testing::SiteFixture site;
  EXPECT_EQ(openError("Provider=SQLOLEDB; Data Source=" + site.dir() +
                      "; Initial Catalog=techdata; User ID=sa; Password=x;"),
            0);
  EXPECT_EQ(
      openError("Provider=PostgreSQL; Data Source=" + site.dir() + "/; Initial Catalog=kestrin;"),
      0);
  EXPECT_EQ(openError("provider=sqlite;data source=" + site.dbFile(Database::Ingram)), 0);

  ConnectionTarget t = parseConnectionString(
      "Provider=SQLOLEDB; Data Source=dbhost:5433; Initial Catalog=kestrin; User ID=sa; "
      "Password=pw;");
  EXPECT_EQ(t.backend, ConnectionTarget::Backend::PostgreSQL);
  EXPECT_EQ(t.host, "dbhost");
  EXPECT_EQ(t.port, "5433");
  EXPECT_EQ(t.database, "kestrin");
  EXPECT_EQ(t.user, "sa");
  EXPECT_EQ(t.password, "pw");
}

TEST(ConnectionStringTest, BadStringsAndFilesGiveClearErrors) {
  testing::SiteFixture site;
  std::string text;
  struct Case {
    std::string connectionString;
    int32_t number;
    std::string description;
  };
  const std::string notDb = site.dir() + "/not-a-database.db";
  std::ofstream(notDb)
      << "this is text, not a database file, and long enough to have a header page";
  const Case cases[] = {
      {"", kErrProvider, "The connection string is empty."},
      {"garbage", kErrProvider, "The connection string is not valid: 'garbage' is not a setting."},
      {"Data Source=/x", 3706, "The connection string names no Provider."},
      {"Provider=Jet; Data Source=/x", 3706, "Provider cannot be found: 'Jet'."},
      {"Provider=SQLOLEDB; Initial Catalog=kestrin", kErrProvider,
       "The connection string names no Data Source."},
      {"Provider=SQLOLEDB; Data Source=" + site.dir() + "; Initial Catalog=missing", kErrProvider,
       "Cannot open database \"missing.db\": the file does not exist."},
      {"Provider=SQLite; Data Source=" + notDb, kErrProvider,
       "Cannot open database \"not-a-database.db\": file is not a database (SQLite error 26)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connectionString);
    EXPECT_EQ(openError(c.connectionString, &text), c.number);
    EXPECT_EQ(text, c.description);
  }
}

TEST(SqlitePoolTest, ClosedConnectionsAreReusedUntilTheirFileIsReplaced) {
  testing::SiteFixture site;
  const std::string file = site.dbFile(Database::Main);
  const std::string cs = "Provider=SQLite; Data Source=" + file;
  site.exec(Database::Main, "INSERT INTO vendors VALUES ('first')");
  {
    Connection c;
    c.open(cs);
    EXPECT_EQ(c.execute("select name from vendors").field("name").text(), "first");
  }
  const size_t idle = idleSqliteConnections();
  EXPECT_GE(idle, 1u);
  {
    Connection c;
    c.open(cs);  // takes the idle connection
    EXPECT_EQ(idleSqliteConnections(), idle - 1);
    // A connection that is not idle (a transaction left open) is not kept.
    c.execute("BEGIN");
  }
  EXPECT_EQ(idleSqliteConnections(), idle - 1);

  // Changes made elsewhere are seen by a reused connection.
  {
    Connection c;
    c.open(cs);
  }
  site.exec(Database::Main, "UPDATE vendors SET name = 'changed'");
  {
    Connection c;
    c.open(cs);
    EXPECT_EQ(c.execute("select name from vendors").field("name").text(), "changed");
  }

  // A file replaced under the same name is another database.
  const std::string copy = site.dir() + "/copy.db";
  std::filesystem::copy_file(file, copy);
  std::filesystem::remove(file);
  std::filesystem::rename(copy, file);
  site.exec(Database::Main, "UPDATE vendors SET name = 'replaced'");
  Connection c;
  c.open(cs);
  EXPECT_EQ(c.execute("select name from vendors").field("name").text(), "replaced");
}

TEST(ConnectionStringTest, SqliteFilesAreInWalMode) {
  testing::SiteFixture site;
  Connection c;
  c.open("Provider=SQLite; Data Source=" + site.dbFile(Database::Main));
  c.execute("insert into vendors values ('x')");
  // The engine's own statements may not read pragmas; the site's file says it.
  EXPECT_EQ(site.value(Database::Main, "PRAGMA journal_mode"), "wal");
}

TEST(SqliteRefusalTest, AttachDetachAndPragmaAreRefused) {
  testing::SiteFixture site;
  Connection c;
  c.open("Provider=SQLite; Data Source=" + site.dbFile(Database::Main));
  const std::string refused =
      "Statement refused (the engine may not run ATTACH, DETACH or PRAGMA): not authorized "
      "(SQLite error 23)";
  const std::string statements[] = {
      "attach database '" + site.dbFile(Database::Ingram) + "' as other",
      "ATTACH '" + site.dir() + "/new.db' AS fresh",
      "detach database main",
      "PRAGMA writable_schema=1",
      "pragma journal_mode",
      "select * from pragma_table_info('preferences')",
  };
  for (const std::string& sql : statements) {
    SCOPED_TRACE(sql);
    try {
      c.execute(sql);
      ADD_FAILURE() << "ran";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrStatement);
      EXPECT_EQ(e.description(), refused);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(site.dir() + "/new.db"));
  // The connection goes on serving ordinary statements.
  EXPECT_FALSE(c.execute("select count(*) as n from preferences").eof());
}

}  // namespace
}  // namespace kestrin::db

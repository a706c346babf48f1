// The database layer: one suite that runs on each backend (sqlite/ and postgres/ halves), and the
// connection strings and the SQLite backend's own behaviour.
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

// The database layer on the backend of the test run (see site_fixture.h).
class DatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override { conn.open(site.connectionString(Database::Main)); }

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
    site.exec(Database::Main, sql);
  }

  testing::SiteFixture site;
  Connection conn;
  std::string lastError;
};

TEST_F(DatabaseTest, ExecuteGivesTheFirstRowAndNullAsEmptyText) {
  site.exec(Database::Main, "INSERT INTO manuf VALUES ('AC', 'Acme'), ('NU', NULL)");
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

TEST_F(DatabaseTest, UnknownFieldIsItemNotFound) {
  site.exec(Database::Main, "INSERT INTO manuf VALUES ('AC', 'Acme')");
  Recordset rs = conn.execute("select vend_code from manuf");
  EXPECT_EQ(errorOf([&] { rs.field("descr"); }), kErrItemNotFound);
}

TEST_F(DatabaseTest, TextEqualityAndLikeIgnoreCase) {
  site.exec(Database::Main, "INSERT INTO manuf VALUES ('AcMe', 'Acme Europe')");
  EXPECT_FALSE(conn.execute("select * from manuf where vend_code = 'ACME'").eof());
  EXPECT_FALSE(conn.execute("select * from manuf where vend_name like '%EUROPE'").eof());
  EXPECT_FALSE(conn.execute("select * from manuf where vend_name like '%' + 'me eu' + '%'").eof());
  EXPECT_TRUE(conn.execute("select * from manuf where vend_code <> 'acme'").eof());
}

TEST_F(DatabaseTest, ProceduresRunWithTheirArgumentsBoundAsValues) {
  site.exec(Database::Main,
            "INSERT INTO preferences VALUES ('O''Brien', 'quoted'), ('plain', 'value')");
  Recordset rs = conn.execute("kx_getpref 'O''Brien'");
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.field("descr").text(), "quoted");
  EXPECT_EQ(conn.execute("KX_GETPREF N'plain'").field("descr").text(), "value");
  // An argument holding SQL is only a value.
  EXPECT_TRUE(conn.execute("kx_getpref 'x'' or 1=1 --'").eof());
  EXPECT_EQ(conn.execute("select count(*) as n from preferences").field("n").text(), "2");
}

TEST_F(DatabaseTest, ProcedureErrorsSayWhatIsWrong) {
  EXPECT_EQ(errorOf([&] { conn.execute("kx_nothing 'a'"); }), kErrStatement);
  EXPECT_EQ(lastError, "Could not find stored procedure 'kx_nothing'.");
  EXPECT_EQ(errorOf([&] { conn.execute("kx_getpref 'a','b'"); }), kErrStatement);
  EXPECT_EQ(lastError, "Procedure 'kx_getpref' expects 1 argument, but 2 were given.");
}

TEST_F(DatabaseTest, CartProceduresWriteAndRead) {
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

TEST_F(DatabaseTest, ClassicStatementFormsRun) {
  site.exec(Database::Main, "INSERT INTO orderinfo (orderid) VALUES ('S10001'), ('S10002')");
  conn.execute("delete orderinfo where orderid='S10001'");
  EXPECT_EQ(conn.execute("select count(*) as n from orderinfo").field("n").text(), "1");
  EXPECT_EQ(conn.execute("select N'a' + 'b' as x").field("x").text(), "ab");
  EXPECT_FALSE(conn.execute("insert into vendors (name) values ('x')").isOpen());
}

// Each rewrite of the classic dialect, run: the same answers on every backend.
TEST_F(DatabaseTest, ClassicFormsGiveTheSameAnswersOnEveryBackend) {
  site.exec(
      Database::Main,
      "INSERT INTO manuf VALUES ('A1', 'Acme'), ('B2', NULL), ('C3', ''), ('D4', 'Back\\Slash'),"
      " ('E5', 'Per%cent'); "
      "INSERT INTO products (part_num, descr, qty, cost, status) VALUES "
      "('P1', 'Modem 56k', 7, 10.5, '1'), ('P2', 'MODEM cable', -7, NULL, '01'), "
      "('P3', 'Mouse', 12, 2, '')");
  struct Case {
    const char* rule;
    const char* sql;
    std::vector<std::string> column;  // first column of every row, NULL as ""
  };
  const Case cases[] = {
      {"top n", "select top 2 vend_code from manuf order by vend_code", {"A1", "B2"}},
      {"top in a subquery",
       "select count(*) as n from manuf where vend_code in (select top 1 vend_code from manuf "
       "order by vend_code desc)",
       {"1"}},
      {"integer division truncates", "select 7/2 as a from manuf where vend_code = 'A1'", {"3"}},
      {"towards zero", "select qty/2 as a from products order by part_num", {"3", "-3", "6"}},
      {"a fraction makes it exact",
       "select qty/2.0 as a from products where part_num = 'P1'",
       {"3.5"}},
      {"text compared with an integer",
       "select part_num from products where status = 1 order by part_num",
       {"P1"}},
      {"a number column compared with quoted text",
       "select part_num from products where qty = '12'",
       {"P3"}},
      {"an integer list",
       "select part_num from products where qty in (7, -7) order by part_num",
       {"P1", "P2"}},
      {"empty text is not NULL", "select vend_code from manuf where vend_name = ''", {"C3"}},
      {"NULL is not empty text", "select vend_code from manuf where vend_name is null", {"B2"}},
      {"NULL sorts first",
       "select vend_code from manuf order by vend_name, vend_code",
       {"B2", "C3", "A1", "D4", "E5"}},
      {"and last going down",
       "select vend_code from manuf order by vend_name desc",
       {"E5", "D4", "A1", "C3", "B2"}},
      {"and so through a procedure's ordering",
       "select part_num from products order by cost, part_num",
       {"P2", "P3", "P1"}},
      {"like ignores case",
       "select part_num from products where descr like 'modem%' order by 1",
       {"P1", "P2"}},
      {"a backslash in a pattern is a backslash",
       "select vend_code from manuf where vend_name like '%k\\s%'",
       {"D4"}},
      {"% and _ are wildcards",
       "select vend_code from manuf where vend_name like 'Per_c%' order by 1",
       {"E5"}},
      {"like on a number", "select part_num from products where qty like '1%'", {"P3"}},
      {"not like", "select part_num from products where descr not like '%modem%'", {"P3"}},
      {"a quoted name", "select [vend_Name] from manuf where [VEND_CODE] = 'A1'", {"Acme"}},
      {"text equality ignores case",
       "select vend_code from manuf where vend_name = 'ACME'",
       {"A1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    std::vector<std::string> got;
    try {
      for (Recordset rs = conn.execute(c.sql); !rs.eof(); rs.moveNext())
        got.push_back(rs.field(rs.fieldNames().front()).text());
    } catch (const Error& e) {
      ADD_FAILURE() << e.description();
    }
    EXPECT_EQ(got, c.column);
  }
}

TEST_F(DatabaseTest, EmptyTextForANumberArgumentIsZeroOrStaysEmpty) {
  // The classic server reads '' given for a number as 0; SQLite keeps the text, which its
  // arithmetic reads as 0. Either way the line counts nothing.
  conn.execute("kx_cartAdd 'S1','P1','Cable','',2,'Zelo','','1',0,0,0,0,0,0,0,0,0");
  Recordset total = conn.execute("kx_cartTotal 'S1'");
  EXPECT_EQ(total.field("subtotal").number(), 0);
  EXPECT_EQ(total.field("shipweight").number(), 0);
}

TEST_F(DatabaseTest, StaticCursorCountsAndMovesLast) {
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

TEST_F(DatabaseTest, KeysetCursorPagesWithoutReadingTheWholeResult) {
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

TEST_F(DatabaseTest, KeysetCursorOnAnEmptyResult) {
  Recordset rs;
  rs.open("select * from manuf", conn, CursorType::Keyset, LockType::ReadOnly);
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(rs.recordCount(), 0);
  rs.setPageSize(15);
  EXPECT_EQ(rs.pageCount(), 0);
}

TEST_F(DatabaseTest, ClosedAndOpenObjectsRefuseWhatTheyCannotDo) {
  Connection fresh;
  EXPECT_EQ(errorOf([&] { fresh.execute("select 1"); }), kErrObjectClosed);
  fresh.close();  // closing what was never opened is no failure
  EXPECT_EQ(errorOf([&] { conn.open(site.connectionString(Database::Main)); }), kErrObjectOpen);
  Recordset rs;
  EXPECT_EQ(errorOf([&] { rs.eof(); }), kErrObjectClosed);
  EXPECT_EQ(errorOf([&] { rs.close(); }), kErrObjectClosed);
  EXPECT_EQ(errorOf([&] { rs.open("select 1", fresh); }), 3709);
}

TEST_F(DatabaseTest, FailingStatementsKeepWhatTheDatabaseSaid) {
  EXPECT_EQ(errorOf([&] { conn.execute("select * from nowhere"); }), kErrStatement);
  const bool sqlite = site.backend() == testing::Backend::SQLite;
  EXPECT_NE(lastError.find(sqlite ? "no such table: nowhere (SQLite error 1)"
                                  : "relation \"nowhere\" does not exist (SQLSTATE 42P01)"),
            std::string::npos)
      << lastError;
  EXPECT_EQ(errorOf([&] { conn.execute("SELECT descr,grp FROM comgrp WHERE () order by descr"); }),
            kErrStatement);
  EXPECT_NE(lastError.find("syntax error"), std::string::npos) << lastError;
}

TEST_F(DatabaseTest, AViolatedKeyIsAnIntegrityErrorAndTheConnectionGoesOn) {
  conn.execute("insert into preferences (items, descr) values ('k', 'first')");
  EXPECT_EQ(errorOf([&] {
              conn.execute("insert into preferences (items, descr) values ('K', 'second')");
            }),
            kErrIntegrity);
  const bool sqlite = site.backend() == testing::Backend::SQLite;
  EXPECT_NE(lastError.find(sqlite ? "UNIQUE constraint failed" : "(SQLSTATE 23505)"),
            std::string::npos)
      << lastError;
  conn.execute("update preferences set descr='second' where items='K'");
  EXPECT_EQ(site.value(Database::Main, "select descr from preferences"), "second");
}

TEST_F(DatabaseTest, TwoConnectionsReadAndWriteOneDatabase) {
  addManufacturers(3);
  Connection other;
  other.open(site.connectionString(Database::Main));
  Recordset reading = conn.execute("select * from manuf order by vend_code");
  other.execute("insert into manuf values ('ZZ', 'Late')");
  conn.execute("insert into manuf values ('YY', 'Later')");
  int n = 0;
  for (; !reading.eof(); reading.moveNext()) ++n;
  EXPECT_EQ(n, 3);  // the result was read when the statement ran
  EXPECT_EQ(other.execute("select count(*) as n from manuf").field("n").text(), "5");
}

TEST_F(DatabaseTest, SeveralStatementsInOneTextAreRefusedBeforeAnyRuns) {
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

TEST_F(DatabaseTest, ConstantBatchesRunEveryStatement) {
  conn.executeBatch(
      "insert into vendors (name) values ('a;b'); insert into vendors (name) values ('c');");
  EXPECT_EQ(conn.execute("select count(*) as n from vendors").field("n").text(), "2");
  EXPECT_EQ(errorOf([&] {
              conn.executeBatch("insert into vendors (name) values ('d'); select * from nowhere");
            }),
            kErrStatement);
  EXPECT_EQ(conn.execute("select count(*) as n from vendors").field("n").text(), "3");
}

TEST_F(DatabaseTest, TraceRecordsEveryStatementWithItsDatabase) {
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

// ---- Connection strings and the SQLite backend ----

// These tests make SQLite sites whatever the run's backend, so they run in the sqlite/ half only.
#define SQLITE_HALF_ONLY()                                \
  if (testing::testBackend() != testing::Backend::SQLite) \
  GTEST_SKIP() << "a test of the SQLite backend; it runs in the sqlite/ half"

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
  SQLITE_HALF_ONLY();
  testing::SiteFixture site(testing::Backend::SQLite);
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
  SQLITE_HALF_ONLY();
  testing::SiteFixture site(testing::Backend::SQLite);
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
  SQLITE_HALF_ONLY();
  testing::SiteFixture site(testing::Backend::SQLite);
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
  SQLITE_HALF_ONLY();
  testing::SiteFixture site(testing::Backend::SQLite);
  Connection c;
  c.open("Provider=SQLite; Data Source=" + site.dbFile(Database::Main));
  c.execute("insert into vendors values ('x')");
  // The engine's own statements may not read pragmas; the site's file says it.
  EXPECT_EQ(site.value(Database::Main, "PRAGMA journal_mode"), "wal");
}

TEST(SqliteRefusalTest, AttachDetachAndPragmaAreRefused) {
  SQLITE_HALF_ONLY();
  testing::SiteFixture site(testing::Backend::SQLite);
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
      "PRAGMA schema_version=1",
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
  // The connection goes on serving ordinary statements, and may read the schema cookie.
  EXPECT_FALSE(c.execute("select count(*) as n from preferences").eof());
  EXPECT_FALSE(c.execute("select schema_version from pragma_schema_version").eof());
}

}  // namespace
}  // namespace kestrin::db

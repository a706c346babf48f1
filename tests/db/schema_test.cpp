// The two schemas say the same: every table, column and kx_ procedure of db/sqlite/ has its
// twin in db/postgres/, with a matching type, the same number of arguments and the same result
// columns. Runs in the postgres/ half (it reads the server's catalog).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <set>
#include <sstream>

#include "pg_admin.h"
#include "site_fixture.h"
#include "text.h"

namespace kestrin::testing {
namespace {

struct Column {
  std::string name;
  std::string type;  // the PostgreSQL type it must have: citext, text, integer, double precision
};

// SQLite's integers have 64 bits: a column that needs them (seconds since 1970) is bigint on the
// server.
bool sameType(const std::string& server, const std::string& wanted) {
  return server == wanted || (wanted == "integer" && server == "bigint");
}

struct Procedure {
  int arguments = 0;
  std::string results;  // result column names, lower case, joined by ","
};

struct Schema {
  std::map<std::string, std::vector<Column>> tables;  // by lower-case name
  std::map<std::string, Procedure> procedures;        // by lower-case name
  std::set<std::string> counted;  // tables whose changes raise the change counter, lower case
};

// The PostgreSQL type that stands for a SQLite column's declared type and collation.
std::string serverType(const std::string& declared, const std::string& collation) {
  const std::string t = lower(declared);
  if (t.find("int") != std::string::npos) return "integer";
  if (t.find("real") != std::string::npos || t.find("floa") != std::string::npos ||
      t.find("doub") != std::string::npos)
    return "double precision";
  return lower(collation) == "nocase" ? "citext" : "text";
}

struct StmtCloser {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtCloser>;

Stmt prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db));
  return Stmt(s);
}

std::string text(sqlite3_stmt* s, int i) {
  const unsigned char* t = sqlite3_column_text(s, i);
  return t ? reinterpret_cast<const char*>(t) : "";
}

// The result columns of a procedure body: those of its last statement.
std::string bodyResults(sqlite3* db, const std::string& body) {
  std::string results;
  const char* rest = body.c_str();
  while (rest && *rest) {
    sqlite3_stmt* s = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, rest, -1, &s, &tail) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db));
    Stmt owner(s);
    rest = tail;
    if (!s) continue;
    results.clear();
    for (int i = 0; i < sqlite3_column_count(s); ++i)
      results += (i ? "," : "") + lower(sqlite3_column_name(s, i));
  }
  return results;
}

Schema sqliteSchema(const std::string& file) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)> db(raw, sqlite3_close_v2);
  Schema schema;
  Stmt tables = prepare(raw,
                        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                        "'sqlite_%' AND name <> 'kx_procedures'");
  while (sqlite3_step(tables.get()) == SQLITE_ROW) {
    const std::string table = text(tables.get(), 0);
    auto& columns = schema.tables[lower(table)];
    Stmt info = prepare(raw, "PRAGMA table_info(\"" + table + "\")");
    while (sqlite3_step(info.get()) == SQLITE_ROW) {
      const std::string column = text(info.get(), 1);
      const char* declared = nullptr;
      const char* collation = nullptr;
      sqlite3_table_column_metadata(raw, nullptr, table.c_str(), column.c_str(), &declared,
                                    &collation, nullptr, nullptr, nullptr);
      columns.push_back(
          {lower(column), serverType(declared ? declared : "", collation ? collation : "")});
    }
  }
  Stmt counted = prepare(raw,
                         "SELECT DISTINCT tbl_name FROM sqlite_master WHERE type = 'trigger' AND "
                         "sql LIKE '%UPDATE kx_changes%'");
  while (sqlite3_step(counted.get()) == SQLITE_ROW)
    schema.counted.insert(lower(text(counted.get(), 0)));
  Stmt procedures = prepare(raw, "SELECT name, params, body FROM kx_procedures");
  while (sqlite3_step(procedures.get()) == SQLITE_ROW) {
    schema.procedures[lower(text(procedures.get(), 0))] = {
        sqlite3_column_int(procedures.get(), 1), bodyResults(raw, text(procedures.get(), 2))};
  }
  return schema;
}

Schema serverSchema(const schema::PgAdmin& db) {
  Schema schema;
  for (const auto& row : db.column(
           "SELECT c.table_name || '|' || c.column_name || '|' || CASE WHEN c.data_type = "
           "'USER-DEFINED' THEN c.udt_name ELSE c.data_type END FROM information_schema.columns c "
           "JOIN information_schema.tables t USING (table_schema, table_name) WHERE "
           "c.table_schema = 'public' AND t.table_type = 'BASE TABLE' ORDER BY c.table_name, "
           "c.ordinal_position")) {
    const std::vector<std::string> f = split(*row, "|");
    schema.tables[f[0]].push_back({f[1], f[2]});
  }
  for (const auto& row : db.column(
           "SELECT p.proname || '|' || p.pronargs || '|' || CASE WHEN p.prorettype = "
           "'void'::regtype THEN '' WHEN p.proretset AND t.typrelid <> 0 THEN (SELECT "
           "string_agg(attname, ',' ORDER BY attnum) FROM pg_attribute WHERE attrelid = "
           "t.typrelid AND attnum > 0 AND NOT attisdropped) ELSE coalesce((SELECT string_agg(n, "
           "',' ORDER BY o) FROM unnest(p.proargnames, p.proargmodes) WITH ORDINALITY AS a(n, m, "
           "o) WHERE m = 't'), '') END FROM pg_proc p JOIN pg_type t ON t.oid = p.prorettype "
           "WHERE p.pronamespace = 'public'::regnamespace AND p.proname LIKE 'kx\\_%' AND "
           "p.prorettype NOT IN ('trigger'::regtype, 'event_trigger'::regtype)")) {
    const std::vector<std::string> f = split(*row, "|");
    schema.procedures[f[0]] = {std::stoi(f[1]), f[2]};
  }
  for (const auto& row :
       db.column("SELECT DISTINCT c.relname FROM pg_trigger t JOIN pg_class c ON c.oid = "
                 "t.tgrelid WHERE t.tgfoid = 'kx_changes_count'::regproc AND NOT t.tgisinternal"))
    schema.counted.insert(lower(*row));
  // Procedures are functions on the server: replacing one changes the schema, which the
  // engine's change counter query sees; the table of SQLite's procedures is counted there only.
  schema.counted.insert("kx_procedures");
  return schema;
}

// What the server's schema lacks or says otherwise, one line each.
std::vector<std::string> differences(const Schema& embedded, const Schema& server,
                                     const std::string& database) {
  std::vector<std::string> out;
  const std::string where = "database " + database + ": ";
  for (const auto& [table, columns] : embedded.tables) {
    auto found = server.tables.find(table);
    if (found == server.tables.end()) {
      out.push_back(where + "table " + table + " is missing");
      continue;
    }
    std::map<std::string, std::string> serverColumns;
    for (const Column& c : found->second) serverColumns[c.name] = c.type;
    for (const Column& c : columns) {
      auto column = serverColumns.find(c.name);
      if (column == serverColumns.end())
        out.push_back(where + "column " + table + "." + c.name + " is missing");
      else if (!sameType(column->second, c.type))
        out.push_back(where + "column " + table + "." + c.name + " is " + column->second +
                      ", not " + c.type);
      serverColumns.erase(c.name);
    }
    for (const auto& [name, type] : serverColumns)
      out.push_back(where + "column " + table + "." + name + " exists only on PostgreSQL");
  }
  for (const auto& [table, columns] : server.tables) {
    if (!embedded.tables.contains(table))
      out.push_back(where + "table " + table + " exists only on PostgreSQL");
  }
  for (const auto& [name, p] : embedded.procedures) {
    auto found = server.procedures.find(name);
    if (found == server.procedures.end()) {
      out.push_back(where + "procedure " + name + " is missing (a CREATE FUNCTION " + name +
                    " taking " + std::to_string(p.arguments) + " arguments)");
    } else if (found->second.arguments != p.arguments) {
      out.push_back(where + "procedure " + name + " takes " +
                    std::to_string(found->second.arguments) + " arguments, not " +
                    std::to_string(p.arguments));
    } else if (found->second.results != p.results) {
      out.push_back(where + "procedure " + name + " returns (" + found->second.results +
                    "), not (" + p.results + ")");
    }
  }
  for (const auto& [name, p] : server.procedures) {
    if (!embedded.procedures.contains(name))
      out.push_back(where + "procedure " + name + " exists only on PostgreSQL");
  }
  for (const std::string& table : embedded.counted) {
    if (!server.counted.contains(table))
      out.push_back(where + "changes of " + table +
                    " raise the change counter on SQLite only (a CREATE TRIGGER " + table +
                    "_counted ... EXECUTE FUNCTION kx_changes_count())");
  }
  for (const std::string& table : server.counted) {
    if (!embedded.counted.contains(table))
      out.push_back(where + "changes of " + table + " raise the change counter on PostgreSQL only");
  }
  return out;
}

TEST(SchemaTest, PostgreSqlHasEveryTableColumnAndProcedureOfSqlite) {
  if (testBackend() != Backend::PostgreSQL)
    GTEST_SKIP() << "compares with the server's schema; it runs in the postgres/ half";
  SiteFixture embedded(Backend::SQLite);
  SiteFixture server(Backend::PostgreSQL);
  const schema::PgLogin admin{pgTestServer().server, pgTestServer().adminUser,
                              pgTestServer().adminPassword};
  for (Database db : {Database::Main, Database::TechData, Database::Ingram}) {
    SCOPED_TRACE(schema::catalogName(db));
    const Schema sqlite = sqliteSchema(embedded.dbFile(db));
    ASSERT_FALSE(sqlite.tables.empty());
    const Schema postgres = serverSchema(schema::PgAdmin(admin, server.databaseName(db)));
    std::ostringstream report;
    for (const std::string& d : differences(sqlite, postgres, schema::catalogName(db)))
      report << "\n  " << d;
    EXPECT_TRUE(report.str().empty())
        << "db/postgres/*.sql differs from db/sqlite/*.sql:" << report.str();
  }
}

}  // namespace
}  // namespace kestrin::testing

#include "schema.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string_view>

extern "C" {
extern const char kestrin_sql_procedures[], kestrin_sql_procedures_end[];
extern const char kestrin_sql_catalog[], kestrin_sql_catalog_end[];
extern const char kestrin_sql_kestrin[], kestrin_sql_kestrin_end[];
extern const char kestrin_sql_ingram[], kestrin_sql_ingram_end[];
extern const char kestrin_pg_base[], kestrin_pg_base_end[];
extern const char kestrin_pg_catalog[], kestrin_pg_catalog_end[];
extern const char kestrin_pg_kestrin[], kestrin_pg_kestrin_end[];
extern const char kestrin_pg_ingram[], kestrin_pg_ingram_end[];
extern const char kestrin_pg_schema_events[], kestrin_pg_schema_events_end[];
extern const char kestrin_demo_kestrin[], kestrin_demo_kestrin_end[];
extern const char kestrin_demo_techdata[], kestrin_demo_techdata_end[];
extern const char kestrin_demo_ingram[], kestrin_demo_ingram_end[];
}

namespace kestrin::schema {

namespace {

std::string_view blob(const char* begin, const char* end) {
  return std::string_view(begin, static_cast<size_t>(end - begin));
}

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

}  // namespace

const char* catalogName(Database db) {
  switch (db) {
    case Database::Main:
      return "kestrin";
    case Database::TechData:
      return "techdata";
    case Database::Ingram:
      return "ingram";
  }
  return "";
}

std::string schemaSql(Database db) {
  std::string sql(blob(kestrin_sql_procedures, kestrin_sql_procedures_end));
  switch (db) {
    case Database::Main:
      sql += blob(kestrin_sql_catalog, kestrin_sql_catalog_end);
      sql += blob(kestrin_sql_kestrin, kestrin_sql_kestrin_end);
      break;
    case Database::TechData:
      sql += blob(kestrin_sql_catalog, kestrin_sql_catalog_end);
      break;
    case Database::Ingram:
      sql += blob(kestrin_sql_ingram, kestrin_sql_ingram_end);
      break;
  }
  return sql;
}

std::string postgresSchemaEventsSql() {
  return std::string(blob(kestrin_pg_schema_events, kestrin_pg_schema_events_end));
}

std::string postgresSchemaSql(Database db) {
  std::string sql(blob(kestrin_pg_base, kestrin_pg_base_end));
  switch (db) {
    case Database::Main:
      sql += blob(kestrin_pg_catalog, kestrin_pg_catalog_end);
      sql += blob(kestrin_pg_kestrin, kestrin_pg_kestrin_end);
      break;
    case Database::TechData:
      sql += blob(kestrin_pg_catalog, kestrin_pg_catalog_end);
      break;
    case Database::Ingram:
      sql += blob(kestrin_pg_ingram, kestrin_pg_ingram_end);
      break;
  }
  return sql;
}

std::string demoSql(Database db) {
  switch (db) {
    case Database::Main:
      return std::string(blob(kestrin_demo_kestrin, kestrin_demo_kestrin_end));
    case Database::TechData:
      return std::string(blob(kestrin_demo_techdata, kestrin_demo_techdata_end));
    case Database::Ingram:
      return std::string(blob(kestrin_demo_ingram, kestrin_demo_ingram_end));
  }
  return {};
}

void createSqliteDatabase(const std::string& file, Database db, bool demo) {
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) throw std::runtime_error(file + " already exists");
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, DbCloser> handle(raw);
  auto fail = [&](const std::string& what) {
    std::string message =
        file + ": " + what + ": " + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    handle.reset();
    std::filesystem::remove(file, ec);
    std::filesystem::remove(file + "-wal", ec);
    std::filesystem::remove(file + "-shm", ec);
    throw std::runtime_error(message);
  };
  if (rc != SQLITE_OK) fail("cannot create the database");
  std::string script =
      "PRAGMA journal_mode=WAL; BEGIN;\n" + schemaSql(db) + "\nPRAGMA user_version=1; COMMIT;";
  if (sqlite3_exec(raw, script.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail("schema");
  if (demo) {
    std::string data = demoSql(db);
    if (sqlite3_exec(raw, data.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail("demo data");
    if (sqlite3_exec(raw, "ANALYZE;", nullptr, nullptr, nullptr) != SQLITE_OK) fail("analyze");
  }
}

}  // namespace kestrin::schema

#include "bench_sites.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "db/session.h"
#include "pg_admin.h"
#include "site_create.h"

namespace kestrin::bench {

namespace fs = std::filesystem;

namespace {

const schema::PgClusterState& server() {
  static const schema::PgClusterState state =
      schema::readClusterState(std::getenv("KESTRIN_PG_STATE"));
  return state;
}

fs::path scratch() {
  return fs::temp_directory_path() / ("kestrin-bench-" + std::to_string(getpid()));
}

std::string prefix(bool large) {
  return "kb" + std::to_string(getpid()) + (large ? "_large_" : "_demo_");
}

tools::ServerOptions serverOptions(Backend backend, bool large) {
  if (backend == Backend::SQLite) return {};
  const auto& s = server();
  return {s.admin.server, s.engineUser,     s.enginePassword,
          s.admin.user,   s.admin.password, prefix(large)};
}

// What the benchmarks made, removed when the process ends.
bool serverSites[2] = {false, false};

void removeSites() {
  std::error_code ec;
  fs::remove_all(scratch(), ec);
  for (bool large : {false, true}) {
    if (!serverSites[large]) continue;
    serverSites[large] = false;
    for (const char* db : {"kestrin", "ingram", "techdata"}) {
      try {
        schema::dropPostgresDatabase(server().admin, prefix(large) + db);
      } catch (const std::exception&) {
        // The server may be gone already; its cluster is thrown away.
      }
    }
  }
}

// libpq's TLS library registers its own clean-up at exit on the first connection, after which
// no connection can be made: the removal is registered after the first server site was made,
// so that it runs first (exit handlers run in reverse order).
void removeSitesAtExit(Backend backend) {
  static bool registered = false, registeredAfterServer = false;
  const bool afterServer = backend == Backend::PostgreSQL;
  if (registered && (registeredAfterServer || !afterServer)) return;
  std::atexit(removeSites);
  registered = true;
  registeredAfterServer = afterServer;
}

std::string makeDemoSite(Backend backend, bool large) {
  if (!unavailable(backend).empty()) return {};
  fs::path dir = scratch() / ((large ? "large-" : "demo-") +
                              std::string(backend == Backend::SQLite ? "sqlite" : "postgres"));
  fs::create_directories(dir.parent_path());
  if (backend == Backend::PostgreSQL) serverSites[large] = true;
  tools::createSite({dir.string(), kSiteId, kPassword, true, true, serverOptions(backend, large)});
  removeSitesAtExit(backend);
  return dir.string();
}

struct Product {
  std::string part, manu, descr, status;
  int qty = 0;
  double cost = 0;
  size_t vendor = 0;  // index into the site's manufacturers in code order
};

// The large site's products: the same for every backend.
const std::vector<Product>& largeProducts() {
  static const std::vector<Product> products = [] {
    std::vector<Product> out;
    std::mt19937 rng(20261209);
    const char* statuses[] = {"", "1", "", "u", "", "p"};
    for (int i = 0; i < kLargeProducts; ++i) {
      char part[32], manu[32], descr[96];
      std::snprintf(part, sizeof part, "BK-%07d", i);
      std::snprintf(manu, sizeof manu, "MP%06d", static_cast<int>(rng() % 1000000));
      std::snprintf(descr, sizeof descr, "Bulk %dTB SATA Hard Drive, model %d",
                    1 + static_cast<int>(rng() % 16), i);
      Product p{part, manu, descr, "", 0, 0, 0};
      p.qty = static_cast<int>(rng() % 200);
      p.cost = 20 + static_cast<double>(rng() % 100000) / 100;
      p.status = statuses[rng() % 6];
      p.vendor = rng();
      out.push_back(std::move(p));
    }
    return out;
  }();
  return products;
}

void sqliteExec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "?";
    sqlite3_free(message);
    throw std::runtime_error(text);
  }
}

void addLargeSqlite(const std::string& site) {
  sqlite3* raw = nullptr;
  sqlite3_open((site + "/techdata.db").c_str(), &raw);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
  std::vector<std::string> vendors;
  sqlite3_stmt* list = nullptr;
  sqlite3_prepare_v2(raw, "SELECT vend_code FROM manuf ORDER BY vend_code", -1, &list, nullptr);
  while (sqlite3_step(list) == SQLITE_ROW)
    vendors.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
  sqlite3_finalize(list);
  sqliteExec(raw, std::string("INSERT INTO comcat (grp, cat, descr) VALUES ('") + kLargeGroup +
                      "', '" + kLargeCategory + "', 'Bulk Drives')");
  sqliteExec(raw, "BEGIN");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(raw,
                     "INSERT INTO products (part_num, manu_part, descr, grp, cat, sub, vend_code, "
                     "qty, cost, status) VALUES (?1, ?2, ?3, ?4, ?5, '', ?6, ?7, ?8, ?9)",
                     -1, &insert, nullptr);
  for (const Product& p : largeProducts()) {
    sqlite3_bind_text(insert, 1, p.part.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, p.manu.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, p.descr.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, kLargeGroup, -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 5, kLargeCategory, -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 6, vendors[p.vendor % vendors.size()].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 7, p.qty);
    sqlite3_bind_double(insert, 8, p.cost);
    sqlite3_bind_text(insert, 9, p.status.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqliteExec(raw, "COMMIT");
  sqliteExec(raw, "ANALYZE");
}

void addLargePostgres() {
  schema::PgAdmin db(server().admin, prefix(true) + "techdata");
  std::vector<std::string> vendors;
  for (const auto& v : db.column("SELECT vend_code FROM manuf ORDER BY vend_code"))
    vendors.push_back(*v);
  db.exec(std::string("INSERT INTO comcat (grp, cat, descr) VALUES ('") + kLargeGroup + "', '" +
          kLargeCategory + "', 'Bulk Drives')");
  std::string rows;
  for (const Product& p : largeProducts()) {
    rows += p.part + '\t' + p.manu + '\t' + p.descr + '\t' + kLargeGroup + '\t' + kLargeCategory +
            "\t\t" + vendors[p.vendor % vendors.size()] + '\t' + std::to_string(p.qty) + '\t' +
            schema::shortestNumber(p.cost) + '\t' + p.status + '\n';
  }
  db.copyIn(
      "products",
      {"part_num", "manu_part", "descr", "grp", "cat", "sub", "vend_code", "qty", "cost", "status"},
      rows);
  db.exec("ANALYZE");
}

const std::string& site(Backend backend, bool large) {
  static std::string sites[2][2];
  static bool made[2][2] = {};
  const int b = static_cast<int>(backend);
  if (!made[b][large]) {
    made[b][large] = true;
    sites[b][large] = makeDemoSite(backend, large);
    if (large && !sites[b][large].empty()) {
      if (backend == Backend::SQLite)
        addLargeSqlite(sites[b][large]);
      else
        addLargePostgres();
    }
  }
  return sites[b][large];
}

}  // namespace

std::string unavailable(Backend backend) {
  if (backend == Backend::SQLite) return {};
  return server().unavailable;
}

const std::string& demoSite(Backend backend) { return site(backend, false); }
const std::string& largeSite(Backend backend) { return site(backend, true); }

std::string techDataConnection(Backend backend, bool large) {
  const std::string& dir = large ? largeSite(backend) : demoSite(backend);
  return tools::siteConnectionString(fs::canonical(dir).string(), serverOptions(backend, large),
                                     schema::Database::TechData);
}

void adminExec(Backend backend, bool large, const std::string& database, const std::string& sql) {
  if (backend == Backend::PostgreSQL) {
    schema::PgAdmin(server().admin, prefix(large) + database).exec(sql);
    return;
  }
  const std::string& dir = large ? largeSite(backend) : demoSite(backend);
  sqlite3* raw = nullptr;
  sqlite3_open((dir + "/" + database + ".db").c_str(), &raw);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
  sqliteExec(raw, sql);
}

bool useSite(benchmark::State& state, Backend backend, const std::string& folder) {
  if (folder.empty()) {
    state.SkipWithError(("no PostgreSQL server: " + unavailable(backend)).c_str());
    return false;
  }
  setenv("KESTRIN_APP_PATH", folder.c_str(), 1);
  return true;
}

StatementCounter::StatementCounter() : start_(db::statementsRunInProcess()) {}

void StatementCounter::report(benchmark::State& state) const {
  const double statements = static_cast<double>(db::statementsRunInProcess() - start_);
  state.counters["statements"] =
      benchmark::Counter(statements / static_cast<double>(state.iterations()));
}

}  // namespace kestrin::bench

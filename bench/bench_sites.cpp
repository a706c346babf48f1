#include "bench_sites.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "db/session.h"
#include "site_create.h"

namespace kestrin::bench {

namespace fs = std::filesystem;

namespace {

std::string makeDemoSite(const char* name) {
  fs::path dir = fs::temp_directory_path() / ("kestrin-bench-" + std::to_string(getpid())) / name;
  fs::create_directories(dir.parent_path());
  tools::createSite({dir.string(), kSiteId, kPassword, true, true});
  return dir.string();
}

void exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "?";
    sqlite3_free(message);
    throw std::runtime_error(text);
  }
}

struct Cleanup {
  ~Cleanup() {
    std::error_code ec;
    fs::remove_all(fs::temp_directory_path() / ("kestrin-bench-" + std::to_string(getpid())), ec);
  }
} cleanup;

}  // namespace

const std::string& demoSite() {
  static const std::string dir = makeDemoSite("demo");
  return dir;
}

const std::string& largeSite() {
  static const std::string dir = [] {
    std::string site = makeDemoSite("large");
    sqlite3* db = nullptr;
    sqlite3_open((site + "/techdata.db").c_str(), &db);
    exec(db, std::string("INSERT INTO comcat (grp, cat, descr) VALUES ('") + kLargeGroup + "', '" +
                 kLargeCategory + "', 'Bulk Drives')");
    exec(db, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO products (part_num, manu_part, descr, grp, cat, sub, vend_code, qty, cost, "
        "status) SELECT ?1, ?2, ?3, ?4, ?5, '', vend_code, ?6, ?7, ?8 FROM manuf ORDER BY "
        "vend_code "
        "LIMIT 1 OFFSET ?9",
        -1, &insert, nullptr);
    const int vendors = 52;
    std::mt19937 rng(20261209);
    const char* statuses[] = {"", "1", "", "u", "", "p"};
    for (int i = 0; i < kLargeProducts; ++i) {
      char part[32], manu[32], descr[96];
      std::snprintf(part, sizeof part, "BK-%07d", i);
      std::snprintf(manu, sizeof manu, "MP%06d", static_cast<int>(rng() % 1000000));
      std::snprintf(descr, sizeof descr, "Bulk %dTB SATA Hard Drive, model %d",
                    1 + static_cast<int>(rng() % 16), i);
      sqlite3_bind_text(insert, 1, part, -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 2, manu, -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 3, descr, -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 4, kLargeGroup, -1, SQLITE_STATIC);
      sqlite3_bind_text(insert, 5, kLargeCategory, -1, SQLITE_STATIC);
      sqlite3_bind_int(insert, 6, static_cast<int>(rng() % 200));
      sqlite3_bind_double(insert, 7, 20 + static_cast<double>(rng() % 100000) / 100);
      sqlite3_bind_text(insert, 8, statuses[rng() % 6], -1, SQLITE_STATIC);
      sqlite3_bind_int(insert, 9, static_cast<int>(rng() % vendors));
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(db, "COMMIT");
    exec(db, "ANALYZE");
    sqlite3_close(db);
    return site;
  }();
  return dir;
}

void useSite(const std::string& folder) { setenv("KESTRIN_APP_PATH", folder.c_str(), 1); }

StatementCounter::StatementCounter() : start_(db::statementsRunInProcess()) {}

void StatementCounter::report(benchmark::State& state) const {
  const double statements = static_cast<double>(db::statementsRunInProcess() - start_);
  state.counters["statements"] =
      benchmark::Counter(statements / static_cast<double>(state.iterations()));
}

}  // namespace kestrin::bench

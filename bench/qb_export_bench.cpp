// The product export into QuickBooks: every product of the demo catalog into a fresh company file
// of the simulator, one QuickBooks session (host query and add) per record.
#include <sqlite3.h>

#include <filesystem>

#include "bench_sites.h"
#include "company_file.h"
#include "kestrin/ecat.h"
#include "kestrin/error.h"

namespace kestrin::bench {
namespace {

namespace fs = std::filesystem;

long long productCount(const std::string& site) {
  sqlite3* db = nullptr;
  long long n = 0;
  if (sqlite3_open_v2((site + "/kestrin.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
      SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM products", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      n = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return n;
}

void BM_ExportDemoProductsIntoFreshCompanyFile(benchmark::State& state) {
  const std::string& site = demoSite(Backend::SQLite);
  if (!useSite(state, Backend::SQLite, site)) return;
  const std::string companyFile = site + "/company.qbw";  // the file the site's configuration names
  const std::string logs = site + "/";
  const long long products = productCount(site);
  long long records = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(companyFile);
    qbsim::createCompanyFile(companyFile);
    state.ResumeTiming();
    eCat cat;
    std::string result = cat.qbExportItems(kSiteId, kPassword, logs);
    if (result != "Passed") state.SkipWithError(result.c_str());
    state.PauseTiming();
    records += qbsim::CompanyFile(companyFile).count("ItemInventory") +
               qbsim::CompanyFile(companyFile).count("ItemNonInventory");
    state.ResumeTiming();
  }
  // Every product is one QuickBooks session (host query and add); the names QuickBooks refuses
  // (descriptions longer than an item name, names in use) are logged, not stored.
  const double rows = static_cast<double>(products * state.iterations());
  state.counters["products"] = benchmark::Counter(static_cast<double>(products));
  state.counters["products/s"] = benchmark::Counter(rows, benchmark::Counter::kIsRate);
  state.counters["stored"] = benchmark::Counter(static_cast<double>(records / state.iterations()));
  state.counters["stored/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportDemoProductsIntoFreshCompanyFile)
    ->Unit(benchmark::kSecond)
    ->Iterations(2)
    ->UseRealTime();

}  // namespace
}  // namespace kestrin::bench

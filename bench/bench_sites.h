// Sites for benchmarks, made once per process: the demo site, and the demo site with a further
// 100,000 distributor products in one category, each on SQLite (in a temporary folder) and on
// PostgreSQL (on the server that KESTRIN_PG_STATE names; scripts/run-bench starts one).
#pragma once

#include <benchmark/benchmark.h>

#include <string>

namespace kestrin::bench {

constexpr const char* kSiteId = "kestrin";
constexpr const char* kPassword = "tolvaro27";
// The category that holds the generated products of the large site.
constexpr const char* kLargeGroup = "B1";
constexpr const char* kLargeCategory = "090";
constexpr int kLargeProducts = 100000;

enum class Backend { SQLite = 0, PostgreSQL = 1 };

// Folder of the demo site; empty when the backend cannot be had (see unavailable()).
const std::string& demoSite(Backend backend);
// Folder of the demo site with kLargeProducts more products in kLargeGroup / kLargeCategory.
const std::string& largeSite(Backend backend);
// Why the PostgreSQL sites cannot be made here, or empty.
std::string unavailable(Backend backend);

// The connection string of a site's Tech Data database.
std::string techDataConnection(Backend backend, bool large);
// Runs `sql` on one of a site's databases ("kestrin", "ingram" or "techdata") with the
// administrative login (for changes to the schema that the engine's login may not make).
void adminExec(Backend backend, bool large, const std::string& database, const std::string& sql);

// Makes `folder` the engine's folder; false (and the benchmark skipped) when there is no site.
bool useSite(benchmark::State& state, Backend backend, const std::string& folder);

// Adds the counter "statements" (SQL statements per call) to a benchmark, from the statements
// the process ran while it ran.
class StatementCounter {
 public:
  StatementCounter();
  void report(benchmark::State& state) const;

 private:
  long long start_;
};

}  // namespace kestrin::bench

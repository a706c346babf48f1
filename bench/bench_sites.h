// Sites for benchmarks, made once per process in a temporary folder: the demo site, and the demo
// site with a further 100,000 distributor products in one category.
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

// Folder of the demo site.
const std::string& demoSite();
// Folder of the demo site with kLargeProducts more products in kLargeGroup / kLargeCategory.
const std::string& largeSite();

// Makes `folder` the engine's folder.
void useSite(const std::string& folder);

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

// Catalog listings on the demo site and on a site with 100,000 products in one category, on each
// backend.
#include <sys/resource.h>

#include "bench_sites.h"
#include "kestrin/ecat.h"

namespace kestrin::bench {
namespace {

// Arguments: backend (0 SQLite, 1 PostgreSQL), site (0 demo, 1 large), page.
void BM_DisplayItems(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  const bool large = state.range(1) == 1;
  if (!useSite(state, backend, large ? largeSite(backend) : demoSite(backend))) return;
  const std::string grp = large ? kLargeGroup : "B1";
  const std::string cat = large ? kLargeCategory : "010";
  const auto page = static_cast<int>(state.range(2));
  StatementCounter statements;
  size_t bytes = 0;
  for (auto _ : state) {
    eCat c;
    std::string html =
        c.displayItems(grp, cat, "", "", page, "", "", "", "", false, 0, kSiteId, kPassword);
    bytes = html.size();
    benchmark::DoNotOptimize(html);
  }
  statements.report(state);
  state.counters["html_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_DisplayItems)
    ->ArgNames({"pg", "large", "page"})
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 50}})
    ->Unit(benchmark::kMillisecond);

void BM_DisplayManufList(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  if (!useSite(state, backend, state.range(1) == 1 ? largeSite(backend) : demoSite(backend)))
    return;
  StatementCounter statements;
  for (auto _ : state) {
    eCat c;
    std::string html = c.displayManufList("", "", kSiteId, kPassword);
    benchmark::DoNotOptimize(html);
  }
  statements.report(state);
}
BENCHMARK(BM_DisplayManufList)
    ->ArgNames({"pg", "large"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The request that once multiplied its search key by every ") ORDER BY" of its category value
// (12,000 copies, a 120 KB key): now each value is placed once. The counter peak_rss_mb is the
// process's peak resident size after the runs.
void BM_DisplayItemsHostileLargeRequest(benchmark::State& state) {
  if (!useSite(state, Backend::SQLite, demoSite(Backend::SQLite))) return;
  std::string category;
  for (int i = 0; i < 12000; ++i) category += ") ORDER BY";
  const std::string key(120 * 1024, 'k');
  size_t bytes = 0;
  for (auto _ : state) {
    eCat c;
    std::string html = c.displayItems("A1", category, "01", "", 1, key, "yes", "", "", true, 0,
                                      kSiteId, kPassword);
    bytes = html.size();
    benchmark::DoNotOptimize(html);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["html_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_DisplayItemsHostileLargeRequest)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

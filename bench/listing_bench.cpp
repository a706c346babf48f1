// Catalog listings on the demo site and on a site with 100,000 products in one category, on each
// backend.
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

}  // namespace
}  // namespace kestrin::bench

// Catalog listings on the demo site and on a site with 100,000 products in one category.
#include "bench_sites.h"
#include "kestrin/ecat.h"

namespace kestrin::bench {
namespace {

// Arguments: site (0 demo, 1 large), page.
void BM_DisplayItems(benchmark::State& state) {
  const bool large = state.range(0) == 1;
  useSite(large ? largeSite() : demoSite());
  const std::string grp = large ? kLargeGroup : "B1";
  const std::string cat = large ? kLargeCategory : "010";
  const auto page = static_cast<int>(state.range(1));
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
    ->ArgNames({"large", "page"})
    ->Args({0, 1})
    ->Args({0, 50})
    ->Args({1, 1})
    ->Args({1, 50})
    ->Unit(benchmark::kMillisecond);

void BM_DisplayManufList(benchmark::State& state) {
  useSite(state.range(0) == 1 ? largeSite() : demoSite());
  StatementCounter statements;
  for (auto _ : state) {
    eCat c;
    std::string html = c.displayManufList("", "", kSiteId, kPassword);
    benchmark::DoNotOptimize(html);
  }
  statements.report(state);
}
BENCHMARK(BM_DisplayManufList)->ArgNames({"large"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

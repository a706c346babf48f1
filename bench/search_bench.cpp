// Searches on the demo site and on a site with 100,000 more products: the keyword search (the
// search page's first answer), the Search II listing its group links lead to, and the smart
// search of one group, each on both backends. Each search is a new visitor's first call (page 0),
// so it is logged.
#include <functional>

#include "bench_sites.h"
#include "kestrin/ecat.h"

namespace kestrin::bench {
namespace {

// Arguments: backend (0 SQLite, 1 PostgreSQL), site (0 demo, 1 large) and, for the searches by
// text, the type (0 keyword search for "sata drive", 1 part-number search for "CH-8247").
void measure(benchmark::State& state,
             const std::function<std::string(eCat&, const std::string& text,
                                             const std::string& sType)>& call) {
  const auto backend = static_cast<Backend>(state.range(0));
  if (!useSite(state, backend, state.range(1) == 1 ? largeSite(backend) : demoSite(backend)))
    return;
  const bool partNumber = state.range(2) == 1;
  const std::string text = partNumber ? "CH-8247" : "sata drive";
  const std::string sType = partNumber ? "manuf" : "keyword";
  StatementCounter statements;
  for (auto _ : state) {
    eCat c;
    std::string html = call(c, text, sType);
    benchmark::DoNotOptimize(html);
  }
  statements.report(state);
}

void bothSitesAndTypes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"pg", "large", "manuf"})->ArgsProduct({{0, 1}, {0, 1}, {0, 1}});
  b->Unit(benchmark::kMillisecond);
}

void BM_Search(benchmark::State& state) {
  measure(state, [](eCat& c, const std::string& text, const std::string& sType) {
    return c.search(text, sType, 0, "10.0.0.1", "", false, kSiteId, kPassword);
  });
}
BENCHMARK(BM_Search)->Apply(bothSitesAndTypes);

void BM_SearchII(benchmark::State& state) {
  measure(state, [](eCat& c, const std::string& text, const std::string& sType) {
    return c.searchII(text, sType, kLargeGroup, 0, "10.0.0.1", "", false, 0, "", kSiteId,
                      kPassword);
  });
}
BENCHMARK(BM_SearchII)->Apply(bothSitesAndTypes);

// Heading, filter form, featured items and listing of the hard-drive group.
void BM_SmartSearch(benchmark::State& state) {
  measure(state, [](eCat& c, const std::string&, const std::string&) {
    return c.SmartSearch("search", "", kLargeGroup, "", "", "", "", "", 1, "", false, 0, kSiteId,
                         kPassword);
  });
}
BENCHMARK(BM_SmartSearch)
    ->ArgNames({"pg", "large", "unused"})
    ->ArgsProduct({{0, 1}, {0, 1}, {0}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

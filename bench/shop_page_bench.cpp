// What the page host adds to the engine's own time per page: the engine call of a page alone,
// and the whole page made by the host in process (routing, session lookup, layout), for the
// same request. No network: bench/shop_load.sh measures the server under load.
#include "bench_sites.h"
#include "kestrin/ecat.h"
#include "shop.h"

namespace kestrin::bench {
namespace {

shop::Shop& demoShop() {
  static shop::Shop* s = [] {
    useSite(demoSite());
    return new shop::Shop({kSiteId, kPassword, ""});
  }();
  return *s;
}

void BM_ListingEngineOnly(benchmark::State& state) {
  useSite(demoSite());
  for (auto _ : state) {
    eCat c;
    std::string html =
        c.displayItems("B1", "010", "", "", 2, "", "", "", "", false, 0, kSiteId, kPassword);
    benchmark::DoNotOptimize(html);
  }
}
BENCHMARK(BM_ListingEngineOnly)->Unit(benchmark::kMillisecond);

void BM_ListingWholePage(benchmark::State& state) {
  shop::Shop& s = demoShop();
  shop::HttpRequest r;
  r.method = "GET";
  r.target = "/c_4b.asp?group=B1&category=010&page=2";
  r.version = "HTTP/1.1";
  size_t bytes = 0;
  for (auto _ : state) {
    shop::HttpResponse page = s.handle(r);
    bytes = page.body.size();
    benchmark::DoNotOptimize(page);
  }
  state.counters["html_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ListingWholePage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

// What the page host adds to the engine's own time per page: the engine call of a page alone,
// and the whole page made by the host in process (routing, session lookup, layout), for the
// same request. No network: bench/shop_load.sh measures the server under load.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench_sites.h"
#include "kestrin/db.h"
#include "kestrin/ecat.h"
#include "shop.h"

namespace kestrin::bench {
namespace {

// The statements of one more call that reach the database (not answered from what the process
// keeps), as the counter "to_database"; KESTRIN_BENCH_TRACE=1 also prints them.
template <typename Call>
void countDatabaseStatements(benchmark::State& state, Call call) {
  db::StatementTrace trace;
  call();
  size_t reached = 0;
  const bool print = std::getenv("KESTRIN_BENCH_TRACE") != nullptr;
  const auto& all = trace.statements();
  for (size_t i = 0; i < all.size(); ++i) {
    const db::TracedStatement& s = all[i];
    if (s.fromCache) continue;
    ++reached;
    if (!print) continue;
    const auto end = i + 1 < all.size() ? all[i + 1].startedAt : std::chrono::steady_clock::now();
    std::fprintf(stderr, "%8.3f ms %s: %.100s\n",
                 std::chrono::duration<double, std::milli>(end - s.startedAt).count(),
                 s.database.c_str(), s.sql.c_str());
  }
  state.counters["to_database"] = static_cast<double>(reached);
}

// Argument of each: backend (0 SQLite, 1 PostgreSQL).
void BM_ListingEngineOnly(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  if (!useSite(state, backend, demoSite(backend))) return;
  for (auto _ : state) {
    eCat c;
    std::string html =
        c.displayItems("B1", "010", "", "", 2, "", "", "", "", false, 0, kSiteId, kPassword);
    benchmark::DoNotOptimize(html);
  }
  countDatabaseStatements(state, [] {
    eCat c;
    c.displayItems("B1", "010", "", "", 2, "", "", "", "", false, 0, kSiteId, kPassword);
  });
}
BENCHMARK(BM_ListingEngineOnly)->ArgName("pg")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

void BM_ListingWholePage(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  if (!useSite(state, backend, demoSite(backend))) return;
  static shop::Shop* shops[2] = {};
  shop::Shop*& made = shops[static_cast<int>(backend)];
  if (!made) made = new shop::Shop({kSiteId, kPassword, ""});
  shop::Shop& s = *made;
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
  countDatabaseStatements(state, [&] { s.handle(r); });
  state.counters["html_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ListingWholePage)->ArgName("pg")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

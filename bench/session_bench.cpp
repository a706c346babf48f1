// One page method's session: opendb with the preferences loaded, then closedb, on the demo site
// of each backend.
#include "bench_sites.h"
#include "kestrin/ecat.h"

namespace kestrin::bench {
namespace {

void BM_OpenAndCloseSession(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  if (!useSite(state, backend, demoSite(backend))) return;
  StatementCounter statements;
  for (auto _ : state) {
    eCat cat;
    cat.opendb(true, kSiteId, kPassword);
    cat.closedb();
    benchmark::DoNotOptimize(cat.siteTitle);
  }
  statements.report(state);
}
BENCHMARK(BM_OpenAndCloseSession)->ArgName("pg")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The preferences admin form: the same session and the form built from its variables.
void BM_SetPrefMenu(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  if (!useSite(state, backend, demoSite(backend))) return;
  StatementCounter statements;
  for (auto _ : state) {
    eCat cat;
    benchmark::DoNotOptimize(cat.setPrefMenu(kSiteId, kPassword));
  }
  statements.report(state);
}
BENCHMARK(BM_SetPrefMenu)->ArgName("pg")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrin::bench

// The product page on the demo site: a shop product with options and a picture gallery, and a
// distributor product with a data sheet and an item description file; the distributor product
// also on the site with 100,000 more distributor products, which its related items search. Each
// on both backends.
#include <filesystem>
#include <fstream>

#include "bench_sites.h"
#include "kestrin/ecat.h"

namespace kestrin::bench {
namespace {

// Three option kinds and three selectable pictures in the demo catalog.
constexpr const char* kShopPart = "KS-103668";
// Eleven rows of data sheet in the demo distributor catalog.
constexpr const char* kDistributorPart = "TD-5000014";

// Adds to a demo site what the two pages need besides the demo data: a rich description, without
// which a shop product shows no gallery, and the distributor product's description file.
void addProductExtras(Backend backend, bool large) {
  const std::string& site = large ? largeSite(backend) : demoSite(backend);
  if (site.empty()) return;
  adminExec(backend, large, "kestrin",
            std::string("INSERT INTO techdescr (part_num, descr) VALUES ('") + kShopPart +
                "', 'Braided cable with gold-plated connectors.\r\nTested for 10,000 "
                "bends.**Lifetime warranty.')");
  const std::filesystem::path folder = std::filesystem::path(site) / "admin" / "productDescription";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / (std::string(kDistributorPart) + ".descr"))
      << "Corvane Voyager 960, 13.3-inch notebook\r\n\"Weight: 1.2 kg, with battery\"\r\n"
         "Three-year warranty\r\n";
}

const std::string& productSite(Backend backend, bool large) {
  static bool added[2][2] = {};
  bool& done = added[static_cast<int>(backend)][large];
  if (!done) {
    done = true;
    addProductExtras(backend, large);
  }
  return large ? largeSite(backend) : demoSite(backend);
}

// Arguments: backend (0 SQLite, 1 PostgreSQL); 0 shop product, 1 distributor product; site
// (0 demo, 1 large).
void BM_DisplayDetail(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  const bool shop = state.range(1) == 0;
  const std::string& site = productSite(backend, state.range(2) == 1);
  if (!useSite(state, backend, site)) return;
  const std::string part = shop ? kShopPart : kDistributorPart;
  StatementCounter statements;
  size_t bytes = 0;
  for (auto _ : state) {
    eCat c;
    std::string html = c.displayDetail(part, site, "", shop, kSiteId, kPassword);
    bytes = html.size();
    if (html.find("::ERROR::") != std::string::npos) state.SkipWithError("error form");
    benchmark::DoNotOptimize(html);
  }
  statements.report(state);
  state.counters["html_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_DisplayDetail)
    ->ArgNames({"pg", "distributor", "large"})
    ->Args({0, 0, 0})
    ->Args({0, 1, 0})
    ->Args({0, 1, 1})
    ->Args({1, 0, 0})
    ->Args({1, 1, 0})
    ->Args({1, 1, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

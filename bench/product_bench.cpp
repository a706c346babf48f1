// The product page on the demo site: a shop product with options and a picture gallery, and a
// distributor product with a data sheet and an item description file; the distributor product
// also on the site with 100,000 more distributor products, which its related items search.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

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
std::string withProductExtras(const std::string& site) {
  sqlite3* db = nullptr;
  if (sqlite3_open((site + "/kestrin.db").c_str(), &db) != SQLITE_OK)
    throw std::runtime_error("cannot open the demo database");
  const std::string insert =
      std::string("INSERT INTO techdescr (part_num, descr) VALUES ('") + kShopPart +
      "', 'Braided cable with gold-plated connectors.\r\nTested for 10,000 bends.**Lifetime "
      "warranty.')";
  char* message = nullptr;
  const int rc = sqlite3_exec(db, insert.c_str(), nullptr, nullptr, &message);
  sqlite3_free(message);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot add the rich description");
  const std::filesystem::path folder = std::filesystem::path(site) / "admin" / "productDescription";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / (std::string(kDistributorPart) + ".descr"))
      << "Corvane Voyager 960, 13.3-inch notebook\r\n\"Weight: 1.2 kg, with battery\"\r\n"
         "Three-year warranty\r\n";
  return site;
}

const std::string& productSite(bool large) {
  static const std::string demo = withProductExtras(demoSite());
  if (!large) return demo;
  static const std::string big = withProductExtras(largeSite());
  return big;
}

// Arguments: 0 shop product, 1 distributor product; site (0 demo, 1 large).
void BM_DisplayDetail(benchmark::State& state) {
  const bool shop = state.range(0) == 0;
  const std::string& site = productSite(state.range(1) == 1);
  useSite(site);
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
    ->ArgNames({"distributor", "large"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

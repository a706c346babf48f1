// The cart and the checkout on the demo site: adding a line (cart step "2"), the cart table of a
// ten-line cart, saving a ten-line order, and eight threads registering customers and saving
// orders at the same time.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_sites.h"
#include "kestrin/ecat.h"

namespace kestrin::bench {
namespace {

// Ten shop products of the demo catalog whose shipping weight is a number.
const std::vector<std::string>& tenParts() {
  static const std::vector<std::string> parts = [] {
    sqlite3* db = nullptr;
    if (sqlite3_open((demoSite(Backend::SQLite) + "/kestrin.db").c_str(), &db) != SQLITE_OK)
      throw std::runtime_error("cannot open the demo database");
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT part_num FROM products WHERE cost > 0 AND shipwgth LIKE '% lbs' "
                       "ORDER BY part_num LIMIT 10",
                       -1, &stmt, nullptr);
    std::vector<std::string> found;
    while (sqlite3_step(stmt) == SQLITE_ROW)
      found.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (found.size() != 10) throw std::runtime_error("the demo catalog has too few products");
    return found;
  }();
  return parts;
}

std::string step2(const std::string& part, const std::string& session) {
  eCat c;
  return c.cartADD("2", part, I2(1), session, "", "add", "", true, kSiteId, kPassword);
}

// A session whose cart holds the ten products.
std::string fillCart(const std::string& session) {
  for (const std::string& part : tenParts()) step2(part, session);
  return session;
}

bool saveOrder(const std::string& session) {
  eCat c;
  return c.OrderSave(1000, 950, 900, "Visa", session, 5, "C10001", "4111 1111 1111 2468", "12/29",
                     "", "", "", 12.5f, "UPS Ground", "Acme", "Ann Lee", "1 Main St", "Springfield",
                     "IL", "62701", "USA", "", "", "", kSiteId, kPassword);
}

void BM_CartStep2(benchmark::State& state) {
  if (!useSite(state, Backend::SQLite, demoSite(Backend::SQLite))) return;
  const std::string& part = tenParts().front();
  static std::atomic<long> sessions{0};
  StatementCounter statements;
  for (auto _ : state) {
    std::string html = step2(part, "bench-add-" + std::to_string(++sessions));
    if (html.find("::ERROR:") != std::string::npos) state.SkipWithError("error form");
    benchmark::DoNotOptimize(html);
  }
  statements.report(state);
}
BENCHMARK(BM_CartStep2)->Unit(benchmark::kMillisecond);

void BM_CartDisplayTenLines(benchmark::State& state) {
  if (!useSite(state, Backend::SQLite, demoSite(Backend::SQLite))) return;
  static const std::string session = fillCart("bench-display");
  StatementCounter statements;
  size_t bytes = 0;
  for (auto _ : state) {
    eCat c;
    Variant html = c.cartDisplayOnly(session, "display", "", "", kSiteId, kPassword);
    bytes = html.text().size();
    benchmark::DoNotOptimize(html);
  }
  statements.report(state);
  state.counters["html_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CartDisplayTenLines)->Unit(benchmark::kMillisecond);

void BM_OrderSaveTenLines(benchmark::State& state) {
  if (!useSite(state, Backend::SQLite, demoSite(Backend::SQLite))) return;
  static const std::string session = fillCart("bench-order");
  StatementCounter statements;
  for (auto _ : state) {
    if (!saveOrder(session)) state.SkipWithError("OrderSave answered false");
  }
  statements.report(state);
}
BENCHMARK(BM_OrderSaveTenLines)->Unit(benchmark::kMillisecond);

// Eight threads, each registering 50 customers and saving 50 ten-line orders; one iteration is
// the whole run. Counters: calls per second over all threads.
void BM_EightThreadCheckout(benchmark::State& state) {
  constexpr int kThreads = 8;
  constexpr int kEach = 50;
  if (!useSite(state, Backend::SQLite, demoSite(Backend::SQLite))) return;
  std::vector<std::string> carts;
  for (int t = 0; t < kThreads; ++t)
    carts.push_back(fillCart("bench-checkout-" + std::to_string(t)));
  static std::atomic<long> runs{0};
  StatementCounter statements;
  std::atomic<int> failures{0};
  double seconds = 0;
  for (auto _ : state) {
    const long run = ++runs;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < kEach; ++i) {
          try {
            eCat c;
            const std::string user =
                "bench" + std::to_string(run) + "_" + std::to_string(t) + "_" + std::to_string(i);
            if (c.AddCustomer(user, "pw", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
                              kSiteId, kPassword)
                    .rfind("Passed|", 0) != 0)
              ++failures;
            if (!saveOrder(carts[static_cast<size_t>(t)])) ++failures;
          } catch (const Error&) {
            ++failures;
          }
        }
      });
    }
    for (std::thread& t : threads) t.join();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (failures > 0) state.SkipWithError("a registration or an order failed");
  statements.report(state);
  const double calls = 2.0 * kThreads * kEach * static_cast<double>(state.iterations());
  state.counters["calls_per_s"] = calls / seconds;
}
BENCHMARK(BM_EightThreadCheckout)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

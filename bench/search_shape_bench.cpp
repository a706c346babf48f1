// The keyword search's statement shape over the 100,000 products of the large site: descriptions
// matched with a leading wildcard, with the site's filter clause, on each backend; on
// PostgreSQL with and without the trigram index on the description.
#include "bench_sites.h"
#include "catalog/filters.h"
#include "kestrin/db.h"
#include "kestrin/ecat.h"

namespace kestrin::bench {
namespace {

// The full filter clause of the site in use, as a search builds it.
std::string filterClause() {
  eCat cat;
  cat.opendb(false, kSiteId, kPassword);
  const std::string clause = fullFilterClause(cat.conn, cat.rsfilters, cat.sql);
  cat.closedb();
  return clause;
}

// Makes the large site's trigram index on descriptions present or absent; false (and the
// benchmark skipped) for an index that the backend cannot have.
bool useTrigramIndex(benchmark::State& state, Backend backend, bool index) {
  if (backend == Backend::SQLite) {
    if (index) state.SkipWithError("SQLite has no trigram index");
    return !index;
  }
  adminExec(backend, true, "techdata",
            index ? "CREATE INDEX IF NOT EXISTS products_descr_trgm ON products USING gin "
                    "(descr gin_trgm_ops); ANALYZE products"
                  : "DROP INDEX IF EXISTS products_descr_trgm");
  return true;
}

// Arguments: backend (0 SQLite, 1 PostgreSQL), trigram index (0 dropped, 1 present), word
// (0 a rare one, 1 one in nearly every description).
void BM_KeywordSearchGroups(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  const bool index = state.range(1) == 1;
  if (!useSite(state, backend, largeSite(backend))) return;
  if (!useTrigramIndex(state, backend, index)) return;
  const std::string word = state.range(2) == 0 ? "model 4242" : "sata";
  const std::string sql = "SELECT distinct grp FROM products WHERE (products.descr like '%" + word +
                          "%'  )" + filterClause() + " ORDER BY grp";
  db::Connection conn;
  conn.open(techDataConnection(backend, true));
  StatementCounter statements;
  int groups = 0;
  for (auto _ : state) {
    groups = 0;
    for (db::Recordset rs = conn.execute(sql); !rs.eof(); rs.moveNext()) ++groups;
  }
  statements.report(state);
  state.counters["groups"] = groups;
}
BENCHMARK(BM_KeywordSearchGroups)
    ->ArgNames({"pg", "trgm", "common"})
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The same shape as a paged product listing: count, then the first page of 20.
void BM_KeywordSearchPage(benchmark::State& state) {
  const auto backend = static_cast<Backend>(state.range(0));
  const bool index = state.range(1) == 1;
  if (!useSite(state, backend, largeSite(backend))) return;
  if (!useTrigramIndex(state, backend, index)) return;
  const std::string sql =
      "SELECT distinct * FROM products,manuf WHERE (products.descr like '%model 4242%' and "
      "grp='" +
      std::string(kLargeGroup) + "' and products.cost > 0 and products.vend_code=manuf.vend_code)" +
      filterClause() + " ORDER BY grp";
  db::Connection conn;
  conn.open(techDataConnection(backend, true));
  StatementCounter statements;
  long long rows = 0;
  for (auto _ : state) {
    db::Command cmd;
    cmd.setActiveConnection(conn);
    cmd.commandText = sql;
    db::Recordset rs;
    rs.setPageSize(20);
    rs.open(cmd, db::CursorType::Keyset, db::LockType::ReadOnly);
    rows = rs.recordCount();
    if (rows > 0) rs.setAbsolutePage(1);
    for (int i = 0; i < 20 && !rs.eof(); ++i) rs.moveNext();
  }
  statements.report(state);
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_KeywordSearchPage)
    ->ArgNames({"pg", "trgm"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrin::bench

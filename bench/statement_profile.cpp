// The statement profile of the shop's pages: for each page, the statements one request runs, how
// many of each shape and how long they took, on the demo site and on the site with 100,000 more
// products. Each page is called once before it is measured (a new process's first request fills
// the engine's caches) and then measured over several calls.
//
//   statement_profile            the profile of every page
//   statement_profile --all      also every statement of one measured call, in order
//
// With KESTRIN_ROW_CACHE=off in the environment the engine keeps no answers between requests,
// as before the cache existed: the figures to compare with.
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench_sites.h"
#include "kestrin/db.h"
#include "kestrin/ecat.h"

namespace kestrin::bench {
namespace {

using Clock = std::chrono::steady_clock;

// The statement with its literals replaced by "?", so that the calls of one statement with
// different values group together.
std::string shapeOf(const std::string& sql) {
  std::string shape;
  bool inQuote = false;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char ch = sql[i];
    if (inQuote) {
      if (ch == '\'' && i + 1 < sql.size() && sql[i + 1] == '\'') {
        ++i;
      } else if (ch == '\'') {
        inQuote = false;
        shape += "?'";
      }
      continue;
    }
    if (ch == '\'') {
      inQuote = true;
      shape += ch;
      continue;
    }
    const bool startsNumber = std::isdigit(static_cast<unsigned char>(ch)) &&
                              (shape.empty() || std::strchr(" =(,<>-+", shape.back()));
    if (startsNumber) {
      while (i + 1 < sql.size() &&
             (std::isdigit(static_cast<unsigned char>(sql[i + 1])) || sql[i + 1] == '.'))
        ++i;
      shape += '?';
      continue;
    }
    shape += ch;
  }
  return shape;
}

struct Page {
  std::string name;
  const std::string* site;
  std::function<std::string(eCat&)> call;
};

std::string firstPart(const std::string& site, const std::string& database,
                      const std::string& where) {
  db::Connection c;
  c.open("Provider=SQLite; Data Source=" + site + "/" + database + ".db");
  db::Recordset rs =
      c.execute("select part_num from products where " + where + " order by part_num");
  return rs.eof() ? std::string() : rs.field("part_num").text();
}

std::vector<Page> pages() {
  // The embedded backend's sites: the statements are the same on the server.
  const std::string& demo = demoSite(Backend::SQLite);
  const std::string& large = largeSite(Backend::SQLite);
  static const std::string shopPart = firstPart(demo, "kestrin", "1=1");
  static const std::string distributorPart = firstPart(demo, "techdata", "grp='B1'");
  auto listing = [](std::string grp, std::string cat, int page) {
    return [=](eCat& c) {
      return c.displayItems(grp, cat, "", "", page, "", "", "", "", false, 0, kSiteId, kPassword);
    };
  };
  return {
      {"listing B1/010 page 1, demo", &demo, listing("B1", "010", 1)},
      {"listing B1/090 page 1, 100,000 products", &large, listing(kLargeGroup, kLargeCategory, 1)},
      {"listing B1/090 page 50, 100,000 products", &large,
       listing(kLargeGroup, kLargeCategory, 50)},
      {"group menu Systems, demo", &demo,
       [](eCat& c) { return c.displayGRP("Systems", kSiteId, kPassword); }},
      {"search \"sata drive\" page 1, demo", &demo,
       [](eCat& c) {
         return c.search("sata drive", "keyword", 1, "10.0.0.1", "", false, kSiteId, kPassword);
       }},
      {"search \"sata drive\" page 1, 100,000 products", &large,
       [](eCat& c) {
         return c.search("sata drive", "keyword", 1, "10.0.0.1", "", false, kSiteId, kPassword);
       }},
      {"product page (shop product), demo", &demo,
       [](eCat& c) { return c.displayDetail(shopPart, "", "", true, kSiteId, kPassword); }},
      {"product page (distributor product), demo", &demo,
       [](eCat& c) { return c.displayDetail(distributorPart, "", "", false, kSiteId, kPassword); }},
      {"cart of three lines, demo", &demo,
       [](eCat& c) {
         static const bool filled = [] {
           for (const std::string& part : {shopPart, distributorPart, shopPart}) {
             eCat add;
             add.cartADD("2", part, I2(1), "profile-cart", "", "add", "", part == shopPart, kSiteId,
                         kPassword);
           }
           return true;
         }();
         (void)filled;
         return c.cartDisplayOnly("profile-cart", "display", "", "", kSiteId, kPassword).text();
       }},
  };
}

struct ShapeTotal {
  int count = 0;
  int fromCache = 0;
  double ms = 0;
};

void profile(const Page& page, bool all) {
  setenv("KESTRIN_APP_PATH", page.site->c_str(), 1);
  {
    eCat warm;
    page.call(warm);
  }
  constexpr int kCalls = 5;
  std::map<std::string, ShapeTotal> shapes;
  std::vector<db::TracedStatement> firstCall;
  std::vector<double> firstMs;
  size_t statements = 0;
  size_t fromCache = 0;
  double totalMs = 0;
  for (int i = 0; i < kCalls; ++i) {
    db::StatementTrace trace;
    const Clock::time_point start = Clock::now();
    {
      eCat c;
      page.call(c);
    }
    const Clock::time_point end = Clock::now();
    totalMs += std::chrono::duration<double, std::milli>(end - start).count();
    const auto& list = trace.statements();
    statements = list.size();
    fromCache = 0;
    for (size_t s = 0; s < list.size(); ++s) {
      const Clock::time_point next = s + 1 < list.size() ? list[s + 1].startedAt : end;
      const double ms = std::chrono::duration<double, std::milli>(next - list[s].startedAt).count();
      ShapeTotal& t = shapes[shapeOf(list[s].sql)];
      ++t.count;
      t.fromCache += list[s].fromCache ? 1 : 0;
      fromCache += list[s].fromCache ? 1 : 0;
      t.ms += ms;
      if (i == 0) firstMs.push_back(ms);
    }
    if (i == 0) firstCall = list;
  }
  std::printf("\n== %s: %zu statements, %zu of them to the database, %.2f ms per request\n",
              page.name.c_str(), statements, statements - fromCache, totalMs / kCalls);
  std::vector<std::pair<std::string, ShapeTotal>> sorted(shapes.begin(), shapes.end());
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
  std::printf("  %5s %6s %9s  %s\n", "count", "cached", "ms", "statement");
  for (const auto& [shape, total] : sorted) {
    std::printf("  %5d %6d %9.3f  %.140s\n", total.count / kCalls, total.fromCache / kCalls,
                total.ms / kCalls, shape.c_str());
  }
  if (all) {
    std::printf("  -- every statement of one request:\n");
    for (size_t s = 0; s < firstCall.size(); ++s)
      std::printf("  %9.3f %s %.160s\n", firstMs[s], firstCall[s].fromCache ? "cached" : "      ",
                  firstCall[s].sql.c_str());
  }
}

}  // namespace
}  // namespace kestrin::bench

int main(int argc, char** argv) {
  const bool all = argc > 1 && std::strcmp(argv[1], "--all") == 0;
  std::printf(
      "Statement profile (count and ms per request; ms of a statement: from its start to "
      "the next one's, so it includes the work on its rows)\n");
  for (const auto& page : kestrin::bench::pages()) kestrin::bench::profile(page, all);
  return 0;
}

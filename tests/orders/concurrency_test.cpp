// Registrations and checkouts at the same moment on one site.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "kestrin/ecat.h"
#include "site_fixture.h"

namespace kestrin::testing {
namespace {

class ConcurrencyTest : public SiteTest {};

TEST_F(ConcurrencyTest, EightThreadsGetDistinctCustomerIdsAndOrderNumbers) {
  constexpr int kThreads = 8;
  constexpr int kEach = 50;
  constexpr int kLinesPerOrder = 3;
  for (int p = 0; p < kLinesPerOrder; ++p) {
    site.exec(Database::Main, "INSERT INTO products (part_num, descr, grp, cost) VALUES ('P" +
                                  std::to_string(p) + "', 'x', 'G1', 1)");
  }
  for (int t = 0; t < kThreads; ++t) {
    for (int p = 0; p < kLinesPerOrder; ++p) {
      site.exec(Database::Main,
                "INSERT INTO cart (sessionid, partno, descr, price, qty, tweight, custdb) VALUES "
                "('sess" +
                    std::to_string(t) + "', 'P" + std::to_string(p) +
                    "', 'Line', 10, 1, "
                    "1, '1')");
    }
  }

  std::vector<std::vector<std::string>> ids(kThreads);
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        try {
          eCat cat;
          const std::string user = "user" + std::to_string(t) + "_" + std::to_string(i);
          ids[t].push_back(cat.AddCustomer(user, "pw", "", "", "", "", "", "", "", "", "", "", "",
                                           "", "", "", SiteFixture::kSiteId,
                                           SiteFixture::kPassword));
          if (!cat.OrderSave(30, 30, 30, "Visa", "sess" + std::to_string(t), 0, "C1", "", "", "",
                             "", "", 0, "", "", "", "", "", "", "", "", "", "", "",
                             SiteFixture::kSiteId, SiteFixture::kPassword))
            ++failures[t];
        } catch (const Error& e) {
          ADD_FAILURE() << e.number() << " " << e.description();
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();

  std::set<std::string> customers;
  for (const auto& list : ids) customers.insert(list.begin(), list.end());
  EXPECT_EQ(customers.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(customers.count("Passed|C10001"), 1u);
  EXPECT_EQ(customers.count("Passed|C10400"), 1u);
  for (int f : failures) EXPECT_EQ(f, 0);
  EXPECT_EQ(site.value(Database::Main, "SELECT count(DISTINCT customerid) FROM customer"), "400");
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM markup WHERE markupid = 'cust'"),
            "400");
  EXPECT_EQ(site.value(Database::Main, "SELECT count(DISTINCT orderid) FROM orderinfo"), "400");
  EXPECT_EQ(site.value(Database::Main, "SELECT max(orderid) FROM orderinfo"), "S10400");
  // Every order has all its lines, and no line is without its order.
  EXPECT_EQ(site.column(Database::Main,
                        "SELECT orderid FROM orderinfo WHERE (SELECT count(*) FROM orderdetail "
                        "WHERE detailid = orderid) <> 3"),
            std::vector<std::string>{});
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM orderdetail"), "1200");
}

TEST_F(ConcurrencyTest, OneUsernameRegisteredAtOnceIsTakenOnce) {
  constexpr int kThreads = 8;
  std::vector<std::string> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      eCat cat;
      results[t] =
          cat.AddCustomer(t % 2 ? "Same" : "same", "pw", "", "", "", "", "", "", "", "", "", "", "",
                          "", "", "", SiteFixture::kSiteId, SiteFixture::kPassword);
    });
  }
  for (std::thread& t : threads) t.join();
  int passed = 0;
  for (const std::string& r : results) {
    if (r == "Passed|C10001") {
      ++passed;
    } else {
      EXPECT_EQ(r.rfind("Error: The username <b>", 0), 0u) << r;
    }
  }
  EXPECT_EQ(passed, 1);
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM customer"), "1");
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM markup"), "1");
}

}  // namespace
}  // namespace kestrin::testing

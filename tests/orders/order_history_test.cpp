// The order history page.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "kestrin/ecat.h"
#include "site_fixture.h"
#include "text.h"

namespace kestrin::testing {
namespace {

// Today's local date moved by `days`, month/day/year.
std::string daysAgo(int days) {
  std::tm t = localNow();
  t.tm_mday -= days;
  t.tm_hour = 12;
  std::mktime(&t);
  return shortDate(t);
}

const char* const kTrackingHeader = "color=\"navy\"><b>Tracking #</b>";

class OrderHistoryTest : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    site.setPreference("gfontName", "verdana,arial");
  }
  void addOrder(const std::string& id, int age, const std::string& status = "Pending",
                const std::string& customer = "C10001") {
    site.exec(Database::Main,
              "INSERT INTO orderinfo (orderid, customerid, date, status, smethod, shiptrack) "
              "VALUES ('" +
                  id + "', '" + replaceAll(customer, "'", "''") + "', '" + daysAgo(age) + "', '" +
                  status + "', ' UPS Ground ', ' 1Z999 ')");
  }
  void addLine(const std::string& order, const std::string& part, const std::string& descr,
               const std::string& price, int qty, const std::string& status) {
    site.exec(Database::Main,
              "INSERT INTO orderdetail (detailid, partno, descr, price, qty, status) VALUES ('" +
                  order + "', '" + part + "', '" + replaceAll(descr, "'", "''") + "', " + price +
                  ", " + std::to_string(qty) + ", '" + status + "')");
  }
  std::string page(const std::string& customer = "C10001") {
    return cat.OrderStatus(customer, SiteFixture::kSiteId, SiteFixture::kPassword);
  }
  eCat cat;
};

TEST_F(OrderHistoryTest, PageOfRecentOrders) {
  addOrder("S10001", 2, "Shipped");
  addLine("S10001", "P1", "Blue Cable", "2345.5", 2, "Shipped");
  addLine("S10001", "P2", " Hub ", "NULL", 1, "New-Paid");
  addOrder("S10002", 29);
  addLine("S10002", "P3", "Mouse", "0.5", 3, "Cancelled");
  addLine("S10002", "P4", "Pad", "7", 1, "Returned");
  addLine("S10002", "P5", "Pen", "1", 1, "New");
  addOrder("S10003", 30);
  addLine("S10003", "P6", "Too old", "1", 1, "New");
  addOrder("S10004", 1, "New", "C10002");
  addLine("S10004", "P7", "Somebody else's", "1", 1, "New");
  const std::string html = page();
  expectGolden("orders/golden/order_history.html", html);
  EXPECT_EQ(html.find("Too old"), std::string::npos);
  EXPECT_EQ(html.find("else"), std::string::npos);
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(OrderHistoryTest, WindowIsThirtyDays) {
  const struct {
    int age;
    bool shown;
  } cases[] = {{0, true}, {29, true}, {30, false}, {45, false}, {-1, true}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.age);
    const std::string id = "S1000" + std::to_string(++n);
    addOrder(id, c.age);
    addLine(id, "P" + std::to_string(n), "Line", "1", 1, "New");
    EXPECT_EQ(page().find("invoice.asp?id=" + id) != std::string::npos, c.shown);
  }
}

TEST_F(OrderHistoryTest, StatusTexts) {
  addOrder("S10001", 1);
  const struct {
    const char* stored;
    const char* shown;
    bool tracking;
  } cases[] = {
      {"New", "New", false},
      {"New-Paid", "Processing", false},
      {"New-Unpaid", "Processing", false},
      {" New-Paid ", "Processing", false},
      {"Shipped", "Shipped", true},
      {"SHIPPING", "SHIPPING", true},
      {"shi", "shi", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    site.exec(Database::Main, "DELETE FROM orderdetail");
    addLine("S10001", "P1", "Line", "1", 1, c.stored);
    const std::string html = page();
    EXPECT_NE(html.find(std::string("color=\"green\">") + c.shown + "</font>"), std::string::npos);
    EXPECT_EQ(html.find("upstrack.asp?action=track&id=1Z999\">1Z999</a>") != std::string::npos,
              c.tracking);
  }
}

TEST_F(OrderHistoryTest, TrackingHeaderFollowsTheFirstOrderOnly) {
  // The first order is outside the window and shipped: the header is written.
  addOrder("S10001", 40, "shipped");
  addOrder("S10002", 1, "Pending");
  addLine("S10002", "P1", "Line", "1", 1, "New");
  EXPECT_NE(page().find(kTrackingHeader), std::string::npos);

  site.exec(Database::Main, "UPDATE orderinfo SET status = 'Pending' WHERE orderid = 'S10001'");
  site.exec(Database::Main, "UPDATE orderinfo SET status = 'Shipped' WHERE orderid = 'S10002'");
  EXPECT_EQ(page().find(kTrackingHeader), std::string::npos);
}

TEST_F(OrderHistoryTest, CustomerWithoutOrdersGetsTheEmptyTable) {
  const std::string html = page("C99999");
  expectGolden("orders/golden/order_history_empty.html", html);
  EXPECT_EQ(html.find(kTrackingHeader), std::string::npos);
}

TEST_F(OrderHistoryTest, CheckBoxNamesCarryTheLine) {
  addOrder("S10001", 1);
  addLine("S10001", " P1 ", " Blue  Cable ", "1", 1, "Cancelled");
  const std::string html = page();
  EXPECT_NE(html.find("<input type=\"checkbox\" name=\"return|P1|Blue++Cable|S10001\" disabled> "
                      "Return<br><input type=\"checkbox\" name=\"cancel|P1|Blue++Cable|S10001\" "
                      "id=\"checkbox1\" disabled> Cancel"),
            std::string::npos)
      << html;
}

TEST_F(OrderHistoryTest, CustomerIdWithAQuoteStaysInsideItsLiteral) {
  addOrder("S10001", 1, "Pending", "O'Neil");
  addLine("S10001", "P1", "Line", "1", 1, "New");
  addOrder("S10002", 1);
  addLine("S10002", "P2", "Other", "1", 1, "New");
  const std::string html = page("O'Neil");
  EXPECT_NE(html.find("invoice.asp?id=S10001"), std::string::npos);
  EXPECT_EQ(html.find("invoice.asp?id=S10002"), std::string::npos);
  EXPECT_EQ(page("' or ''='").find("invoice.asp"), std::string::npos);
}

TEST_F(OrderHistoryTest, OrderDateThatIsNoDateFailsTheCall) {
  site.exec(
      Database::Main,
      "INSERT INTO orderinfo (orderid, customerid, date) VALUES ('S10001', 'C10001', 'soon')");
  EXPECT_EQ(errorNumberOf([&] { page(); }), kErrTypeMismatch);
}

}  // namespace
}  // namespace kestrin::testing

// Order numbering, saving a cart as an order, status changes and deletion.
#include <gtest/gtest.h>

#include "kestrin/ecat.h"
#include "orders/numbering.h"
#include "site_fixture.h"
#include "text.h"

namespace kestrin::testing {
namespace {

class OrdersTest : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    addProduct("P1", "G1");
    addProduct("P2", "G2");
    site.exec(Database::Main, "INSERT INTO markup (markupid, rate) VALUES ('G1', 20)");
  }
  void addProduct(const std::string& part, const std::string& grp) {
    site.exec(Database::Main, "INSERT INTO products (part_num, descr, grp, cost) VALUES ('" + part +
                                  "', 'x', '" + grp + "', 1)");
  }
  void addLine(const std::string& part, const std::string& descr, const std::string& price, int qty,
               const std::string& session = "sess1") {
    site.exec(Database::Main,
              "INSERT INTO cart (sessionid, partno, descr, price, qty, tweight, custdb) VALUES "
              "('" +
                  session + "', '" + part + "', '" + replaceAll(descr, "'", "''") + "', " + price +
                  ", " + std::to_string(qty) + ", 1, '1')");
  }
  bool save(const std::string& cardType, const std::string& cardNumber = "4111 1111 1111 2468",
            double grandTotal = 400.5, const std::string& shipName = "Ann Lee") {
    return cat.OrderSave(grandTotal, 380.25, 360, cardType, "sess1", 4.5f, "C10001", cardNumber,
                         "12/29", "1001", "021000021", "First Bank", 12.95f, "UPS Ground", "Acme",
                         shipName, "  1 Main St  ", "Springfield", "IL", "62701", "USA",
                         "Card Bank", "555-3000", "PO-7", SiteFixture::kSiteId,
                         SiteFixture::kPassword);
  }
  std::string orderValue(const std::string& column, const std::string& order = "S10001") {
    return site.value(Database::Main,
                      "SELECT " + column + " FROM orderinfo WHERE orderid = '" + order + "'");
  }
  std::string nextId() {
    return cat.OrderGetNextOrderID(SiteFixture::kSiteId, SiteFixture::kPassword);
  }
  // The statement of the trace that begins with `start`.
  static std::string statement(const db::StatementTrace& trace, const std::string& start) {
    for (const db::TracedStatement& s : trace.statements()) {
      if (s.sql.rfind(start, 0) == 0) return s.sql;
    }
    return "<none>";
  }
  eCat cat;
};

TEST_F(OrdersTest, NumbersFollowTheHighest) {
  EXPECT_EQ(nextId(), "S10001");
  site.exec(Database::Main, "INSERT INTO orderinfo (orderid) VALUES ('S10041'), ('S10009')");
  EXPECT_EQ(nextId(), "S10042");
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(OrdersTest, SaveWritesTheLinesAndTheOrderRow) {
  addLine("P1", "Cable", "120", 3);
  addLine("P2", "Tom's hub", "19.5", 2);
  addLine("NOTINPRODUCTS", "Gone", "5", 1);
  db::StatementTrace trace;
  EXPECT_TRUE(save("Visa", "4111 1111 1111 2468", 400.5, "O'Brien"));
  EXPECT_EQ(statement(trace,
                      "insert into orderdetail (detailid,partno,descr,price,qty,status) "
                      "VALUES ('S10001','P2'"),
            "insert into orderdetail (detailid,partno,descr,price,qty,status) VALUES "
            "('S10001','P2','Tom''s hub',19.5,2,'New')");
  // Costs: 120 / 1.2 = 100.00 for P1 (once, whatever its quantity) and 19.50 for P2 (group
  // without a markup row, no default either: factor 1).
  EXPECT_EQ(statement(trace, "insert into orderinfo"),
            "insert into orderinfo (orderid,customerid,total,paymethod,ccnumber,expiration,"
            "cknumber,ckabarouti,ckbankname,status,notes,profit,date,tax,shipcost,smethod,"
            "shipcompan,shipname,shipaddres,shipcity,shipstate,shipzip,shipcountr,handling,"
            "ccbankname,ccbankphone,ponum) VALUES ('S10001','C10001',400.50,'Visa','2468',"
            "'12/29','1001','021000021','First Bank','Pending',' ',240.5,'" +
                shortDate(localNow()) +
                "',20.25,12.95,'UPS Ground','Acme','O''Brien','1 Main St','Springfield','IL',"
                "'62701','USA',4.5,'Card Bank','555-3000','PO-7')");
  EXPECT_EQ(site.column(Database::Main,
                        "SELECT partno || '/' || descr || '/' || status FROM orderdetail WHERE "
                        "detailid = 'S10001' ORDER BY partno"),
            (std::vector<std::string>{"P1/Cable/New", "P2/Tom's hub/New"}));
  EXPECT_EQ(orderValue("shipname"), "O'Brien");
  // The cart is left as it is.
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM cart"), "3");
  EXPECT_FALSE(cat.conn.isOpen());
  EXPECT_EQ(nextId(), "S10002");
}

TEST_F(OrdersTest, CardNumberAndStatusFollowThePaymentMethod) {
  const struct {
    const char* cardType;
    const char* cardNumber;
    const char* stored;
    const char* status;
  } cases[] = {
      {"Visa", "4111 1111 1111 2468", "2468", "Pending"},
      {"MasterCard", " 5500 0000 0000 0004 ", "0004", "Pending"},
      {"American Express", "3400 0000 0000 009", " 009", "Pending"},
      {"ACH", "123456789", "6789", "Pending"},
      {"Visa", "12", "12", "Pending"},
      {"visa", "4111 1111 1111 2468", "4111 1111 1111 2468", "New-Unpaid"},
      {"Check", "4111 1111 1111 2468", "4111 1111 1111 2468", "New-Unpaid"},
      {"", "", "", "New-Unpaid"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.cardType) + "/" + c.cardNumber);
    ASSERT_TRUE(save(c.cardType, c.cardNumber));
    const std::string order = "S1000" + std::to_string(++n);
    EXPECT_EQ(orderValue("ccnumber", order), c.stored);
    EXPECT_EQ(orderValue("status", order), c.status);
  }
}

TEST_F(OrdersTest, MoneyIsWrittenAsPlainDecimals) {
  db::StatementTrace trace;
  ASSERT_TRUE(cat.OrderSave(0.5, 0.5, 0, "Check", "sess1", 0, "", "", "", "", "", "", 0, "", "", "",
                            "", "", "", "", "", "", "", "", SiteFixture::kSiteId,
                            SiteFixture::kPassword));
  const std::string insert = statement(trace, "insert into orderinfo");
  EXPECT_NE(insert.find("VALUES ('S10001','',.50,'Check','','','','','','New-Unpaid',' ',0,'"),
            std::string::npos)
      << insert;
  EXPECT_NE(insert.find("',.00,0,'',"), std::string::npos) << insert;
}

TEST_F(OrdersTest, FailedOrderRowLeavesNoLines) {
  addLine("P1", "Cable", "120", 3);
  // An order row that the database refuses, after the lines went in: orderinfo becomes a view
  // that can be read for the numbering but takes no insert of these columns.
  site.exec(Database::Main, "ALTER TABLE orderinfo RENAME TO orderinfo_kept");
  site.exec(Database::Main, "CREATE VIEW orderinfo AS SELECT orderid FROM orderinfo_kept");
  EXPECT_NE(errorNumberOf([&] { save("Visa"); }), 0);
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM orderdetail"), "0");
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM orderinfo_kept"), "0");
}

TEST_F(OrdersTest, TakenNumberIsRetriedUnderTheNext) {
  db::Connection conn;
  conn.open(site.connectionString(Database::Main));
  std::string sql;
  std::vector<std::string> tried;
  const std::string stored =
      orders::storeUnderNextId(conn, sql, orders::kOrderIds, "S10001", [&](const std::string& id) {
        tried.push_back(id);
        // Another checkout stores the same number first.
        if (tried.size() == 1)
          site.exec(Database::Main,
                    "INSERT INTO orderinfo (orderid, customerid) VALUES ('" + id + "', 'other')");
        conn.execute("insert into orderdetail (detailid, partno) VALUES ('" + id + "', 'P1')");
        conn.execute("insert into orderinfo (orderid, customerid) VALUES ('" + id + "', 'me')");
      });
  conn.close();
  EXPECT_EQ(stored, "S10002");
  EXPECT_EQ(tried, (std::vector<std::string>{"S10001", "S10002"}));
  EXPECT_EQ(orderValue("customerid"), "other");
  EXPECT_EQ(orderValue("customerid", "S10002"), "me");
  // The lines written under the taken number were undone with it.
  EXPECT_EQ(site.column(Database::Main, "SELECT detailid FROM orderdetail"),
            (std::vector<std::string>{"S10002"}));
}

TEST_F(OrdersTest, OtherFailuresAreNotRetried) {
  db::Connection conn;
  conn.open(site.connectionString(Database::Main));
  std::string sql;
  int attempts = 0;
  EXPECT_EQ(errorNumberOf([&] {
              orders::storeUnderNextId(
                  conn, sql, orders::kOrderIds, "S10001", [&](const std::string& id) {
                    ++attempts;
                    conn.execute("insert into orderdetail (detailid) VALUES ('" + id + "')");
                    conn.execute("insert into nosuchtable VALUES (1)");
                  });
            }),
            kErrStatement);
  conn.close();
  EXPECT_EQ(attempts, 1);
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM orderdetail"), "0");
}

TEST_F(OrdersTest, UpdateStatusSetsAnyText) {
  ASSERT_TRUE(save("Visa"));
  std::string status = "Shipped";
  EXPECT_TRUE(
      cat.OrderUpdateStatus("S10001", status, SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_EQ(status, "Shipped");
  EXPECT_EQ(orderValue("status"), "Shipped");
  status = "Held ('fraud')";
  EXPECT_TRUE(
      cat.OrderUpdateStatus("S10001", status, SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_EQ(orderValue("status"), "Held ('fraud')");
  // An unknown order changes nothing.
  status = "Lost";
  EXPECT_TRUE(
      cat.OrderUpdateStatus("S99999", status, SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_TRUE(
      cat.OrderUpdateStatus("' or ''='", status, SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_EQ(orderValue("status"), "Held ('fraud')");
}

TEST_F(OrdersTest, DeleteRemovesTheOrderAndAllItsLines) {
  addLine("P1", "Cable", "120", 3);
  addLine("P2", "Hub", "19.5", 2);
  ASSERT_TRUE(save("Visa"));
  ASSERT_TRUE(save("Visa"));
  EXPECT_TRUE(cat.OrderDelete("S10001", SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_EQ(site.column(Database::Main, "SELECT orderid FROM orderinfo"),
            (std::vector<std::string>{"S10002"}));
  EXPECT_EQ(
      site.value(Database::Main, "SELECT count(*) FROM orderdetail WHERE detailid = 'S10001'"),
      "0");
  EXPECT_EQ(
      site.value(Database::Main, "SELECT count(*) FROM orderdetail WHERE detailid = 'S10002'"),
      "2");
  EXPECT_TRUE(cat.OrderDelete("S99999", SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_TRUE(cat.OrderDelete("' or ''='", SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM orderdetail"), "2");
}

TEST_F(OrdersTest, EndCheckTurnsTheResultFalse) {
  addLine("P1", "Cable", "120", 3);
  site.removeDatabase(Database::TechData);
  EXPECT_FALSE(save("Visa"));
  EXPECT_EQ(orderValue("orderid"), "S10001");
  std::string status = "Shipped";
  EXPECT_FALSE(
      cat.OrderUpdateStatus("S10001", status, SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_FALSE(cat.OrderDelete("S10001", SiteFixture::kSiteId, SiteFixture::kPassword));
}

}  // namespace
}  // namespace kestrin::testing

// The link server's ticks and its four exports, in process, against the
// company-file simulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <pugixml.hpp>
#include <regex>
#include <sstream>

#include "company_file.h"
#include "kestrin/invoice_export.h"
#include "link_server.h"
#include "qb_test_support.h"
#include "simulator_transport.h"
#include "site_fixture.h"
#include "text.h"

namespace kestrin::linkserver {
namespace {

namespace fs = std::filesystem;
using qbtest::fieldOf;
using qbtest::slurp;
using testing::Database;
using testing::SiteFixture;

// QuickBooks ids and dates of a log replaced by <id> and <date>.
std::string normalized(const std::string& text) {
  static const std::regex date(R"(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d\d:\d\d [AP]M)?)");
  static const std::regex id(R"(\b8[0-9A-F]{7}-\d{10}\b)");
  return std::regex_replace(std::regex_replace(text, date, "<date>"), id, "<id>");
}

int countOf(const std::string& ret, const char* element) {
  pugi::xml_document doc;
  doc.load_string(ret.c_str());
  int n = 0;
  for (pugi::xml_node c : doc.first_child().children(element)) {
    (void)c;
    ++n;
  }
  return n;
}

class RecordingSink : public StatusSink {
 public:
  void append(const std::string& text) override { log += text; }
  void banner(const std::string& text) override { banners.push_back(text); }
  std::string log;
  std::vector<std::string> banners;
};

// The file system's drop folder, except for the files it is told cannot be
// deleted.
class GuardedDropFolder : public FileDropFolder {
 public:
  using FileDropFolder::FileDropFolder;
  bool remove(const std::string& path, std::string& why) override {
    if (fs::path(path).filename() == undeletable) {
      why = "Permission denied";
      return false;
    }
    return FileDropFolder::remove(path, why);
  }
  std::string undeletable;
};

// Runs `hook` before each request reaches the simulator.
class HookedTransport : public qbxml::Transport {
 public:
  HookedTransport(std::unique_ptr<qbxml::Transport> inner, std::function<void()> hook)
      : inner_(std::move(inner)), hook_(std::move(hook)) {}
  void openConnection(const std::string& a, const std::string& b) override {
    inner_->openConnection(a, b);
  }
  std::string beginSession(const std::string& f, qbxml::ENOpenMode m) override {
    return inner_->beginSession(f, m);
  }
  std::string processRequest(const std::string& t, const std::string& r) override {
    if (hook_) hook_();
    return inner_->processRequest(t, r);
  }
  void endSession(const std::string& t) override { inner_->endSession(t); }
  void closeConnection() override { inner_->closeConnection(); }

 private:
  std::unique_ptr<qbxml::Transport> inner_;
  std::function<void()> hook_;
};

class LinkServerTest : public testing::SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    const std::string dir = fs::canonical(site.dir()).string();
    companyFile = dir + "/company.qbw";
    qbsim::createCompanyFile(companyFile);
    logDir = dir + "/logs/";
    fs::create_directories(logDir);
    drop = dir + "/drop/";
    fs::create_directories(drop);
    folder = std::make_unique<GuardedDropFolder>(drop);
    server = std::make_unique<LinkServer>(config(), *folder, sink);
  }

  LinkServerConfig config() {
    LinkServerConfig c;
    c.home = site.dir();
    c.transport = [this](const std::string& siteCompanyFile) -> std::unique_ptr<qbxml::Transport> {
      seenCompanyFiles.push_back(siteCompanyFile);
      return std::make_unique<HookedTransport>(qbsim::makeSimulatorTransport(siteCompanyFile),
                                               hook);
    };
    c.now = [this] {
      std::tm t{};
      t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 9, t.tm_hour = 17, t.tm_min = 46;
      t.tm_sec = seconds++ % 60;
      return t;
    };
    return c;
  }

  void request(const std::string& name, const std::string& type,
               const std::string& password = SiteFixture::kPassword) {
    std::ofstream(drop + name, std::ios::binary) << SiteFixture::kSiteId << "\r\n"
                                                 << password << "\r\n"
                                                 << logDir << "\r\n"
                                                 << type << "\r\n";
  }
  std::string run(const std::string& type) {
    return server->runExport({SiteFixture::kSiteId, SiteFixture::kPassword, logDir, type});
  }

  void customer(const std::string& id, const std::string& first, const std::string& last) {
    site.exec(Database::Main,
              "INSERT INTO customer (customerid, fname, mname, lname, address, "
              "city, state, zip, "
              "country) VALUES ('" +
                  sqlEscape(id) + "', '" + sqlEscape(first) + "', NULL, '" + sqlEscape(last) +
                  "', '1 Main St', 'Eugene', 'OR', '97401', 'USA')");
  }
  void order(const std::string& id, const std::string& customerid, const std::string& extra = "",
             const std::string& values = "") {
    site.exec(Database::Main,
              "INSERT INTO orderinfo (orderid, customerid, "
              "date, status, ponum, shipaddres, "
              "shipcity, shipstate, shipzip, shipcountr" +
                  extra + ") VALUES ('" + sqlEscape(id) + "', '" + sqlEscape(customerid) +
                  "', '12/1/2026', 'New', '', '9 Dock Rd', "
                  "'Salem', 'OR', '97301', 'USA'" +
                  values + ")");
  }
  void line(const std::string& orderid, const std::string& partno, int qty, double price,
            const std::string& custdb, const std::string& descr = "Line item") {
    site.exec(Database::Main,
              "INSERT INTO orderdetail (detailid, partno, "
              "descr, price, qty, custdb) VALUES ('" +
                  sqlEscape(orderid) + "', '" + sqlEscape(partno) + "', '" + sqlEscape(descr) +
                  "', " + std::to_string(price) + ", " + std::to_string(qty) + ", '" + custdb +
                  "')");
  }
  std::vector<qbsim::StoredElement> invoices() {
    return qbsim::CompanyFile(companyFile).elements({"Invoice"});
  }
  std::optional<qbsim::StoredElement> invoice(const std::string& ref) {
    for (auto& e : invoices()) {
      if (e.name == ref) return e;
    }
    return std::nullopt;
  }

  std::string companyFile, logDir, drop;
  RecordingSink sink;
  std::unique_ptr<GuardedDropFolder> folder;
  std::unique_ptr<LinkServer> server;
  std::function<void()> hook;
  std::vector<std::string> seenCompanyFiles;
  int seconds = 0;
};

TEST_F(LinkServerTest, ATickTakesEveryFileInNameOrderWithItsOwnLines) {
  site.exec(Database::Main, "INSERT INTO vendors (name) VALUES ('Tech Data')");
  site.exec(Database::Main,
            "INSERT INTO products (part_num, manu_part, descr, "
            "inventory, qty, cost) VALUES "
            "('P1', 'MP-1', 'Cable', '1', 4, 2.5)");
  request("exVendor_kestrin.txt", "exVendor");
  request("exItem_kestrin.txt", " exItem ");  // the type is compared trimmed
  request("exNothing_kestrin.txt", "exNothing");
  server->start();
  server->tick();
  EXPECT_EQ(normalized(sink.log),
            "Status Log...\r\n"
            "\r\n<date> :: Processing file: exItem_kestrin.txt\r\n:::Passed\r\n"
            "\r\n<date> :: Processing file: exNothing_kestrin.txt\r\n"
            ":::Not run: unknown request type \"exNothing\"\r\n"
            "\r\n<date> :: Processing file: exVendor_kestrin.txt\r\n:::Passed\r\n");
  EXPECT_TRUE(fs::is_empty(drop));
  EXPECT_EQ(sink.banners, std::vector<std::string>{"Kestrin >>> FENWIX 12/9/2026 5:46:00 PM "
                                                   "FENWIX << Kestrin"});
  EXPECT_EQ(normalized(slurp(logDir + "ExportItemsToQBLog.txt")),
            "Export All Products to QB :: <date>\r\n\r\nSuccessful Item_QBID = "
            "<id>, MP-1\r\n\r\n");
  EXPECT_TRUE(fs::exists(logDir + "ExportVendorToQBLog.txt"));
  // Sessions were begun on the file QuickBooks has open: the one the site's
  // configuration names.
  EXPECT_EQ(seenCompanyFiles.front(), companyFile);
  EXPECT_EQ(qbsim::openSessionCount(companyFile), 0);

  // Idle ticks: only the banner moves, once a tick.
  server->tick();
  server->tick();
  ASSERT_EQ(sink.banners.size(), 3u);
  EXPECT_NE(sink.banners[1], sink.banners[2]);
}

TEST_F(LinkServerTest, AFileDroppedWhileAnExportRunsWaitsForTheNextTick) {
  site.exec(Database::Main, "INSERT INTO vendors (name) VALUES ('Tech Data')");
  request("exVendor_kestrin.txt", "exVendor");
  hook = [&] {
    if (!fs::exists(drop + "exCustomer_kestrin.txt"))
      request("exCustomer_kestrin.txt", "exCustomer");
  };
  server->tick();
  EXPECT_EQ(std::regex_replace(sink.log, std::regex(R"(\r\n[^\r]* :: )"), "|"),
            "|Processing file: exVendor_kestrin.txt\r\n:::Passed\r\n");
  EXPECT_TRUE(fs::exists(drop + "exCustomer_kestrin.txt"));
  hook = nullptr;
  server->tick();
  EXPECT_FALSE(fs::exists(drop + "exCustomer_kestrin.txt"));
  EXPECT_NE(sink.log.find("exCustomer_kestrin.txt\r\n:::Passed\r\n"), std::string::npos);
}

TEST_F(LinkServerTest, AWrongPasswordLeavesTheExportWithoutADatabase) {
  request("exCustomer_kestrin.txt", "exCustomer", "wrong");
  server->tick();
  EXPECT_NE(sink.log.find(":::Failed ::Operation is not allowed when the "
                          "object is closed.\r\n"),
            std::string::npos)
      << sink.log;
  EXPECT_TRUE(fs::is_empty(logDir));
  // The site's configuration file missing altogether is a failure too, not a
  // crash.
  fs::remove(site.iniFile());
  request("exCustomer_kestrin.txt", "exCustomer");
  server->tick();
  EXPECT_NE(sink.log.find(":::Failed ::File not found: kestrin.ini\r\n"), std::string::npos)
      << sink.log;
}

TEST_F(LinkServerTest, FilesThatAreNoRequestsAreLoggedDeletedAndRunNothing) {
  struct Case {
    const char* name;
    std::string content;
    const char* status;
  };
  const Case cases[] = {
      {"empty.txt", "", ":::Not run: the file holds 0 of the 4 items of a request; deleted"},
      {"one line.txt", "kestrin\r\n",
       ":::Not run: the file holds 1 of the 4 items of a request; deleted"},
      {"big.txt", std::string(10 * 1024 * 1024, 'x'),
       ":::Not run: the file is larger than any request (64 KB); deleted"},
      {"binary.txt", std::string("\x01\x02\r\n\xff\xfe\r\n\x7f\r\nex\x03\x04", 16),
       ":::Not run: unknown request type \"ex???\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink.log.clear();
    std::ofstream(drop + c.name, std::ios::binary) << c.content;
    server->tick();
    EXPECT_NE(
        sink.log.find(std::string(":: Processing file: ") + c.name + "\r\n" + c.status + "\r\n"),
        std::string::npos)
        << sink.log;
    EXPECT_TRUE(fs::is_empty(drop));
  }
  // A name with blanks is a name like any other.
  request("ex Vendor kestrin.txt", "exVendor");
  server->tick();
  EXPECT_NE(sink.log.find("ex Vendor kestrin.txt\r\n:::Passed\r\n"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(logDir) == false);
}

TEST_F(LinkServerTest, AFileThatCannotBeDeletedRunsNothingAndIsReportedOnce) {
  site.exec(Database::Main, "INSERT INTO vendors (name) VALUES ('Tech Data')");
  request("exVendor_kestrin.txt", "exVendor");
  folder->undeletable = "exVendor_kestrin.txt";
  for (int i = 0; i < 3; ++i) server->tick();
  EXPECT_EQ(normalized(sink.log),
            "\r\n<date> :: Processing file: "
            "exVendor_kestrin.txt\r\n:::Not run: the request file "
            "cannot be deleted (Permission denied); it runs once it can "
            "be deleted\r\n");
  EXPECT_FALSE(fs::exists(logDir + "ExportVendorToQBLog.txt"));
  // Once it can be deleted, it runs, once.
  folder->undeletable.clear();
  server->tick();
  server->tick();
  EXPECT_TRUE(fs::exists(logDir + "ExportVendorToQBLog.txt"));
  EXPECT_EQ(qbsim::CompanyFile(companyFile).count("Vendor"), 1);
}

TEST_F(LinkServerTest, TheServersItemAndCustomerExportsCarryTheirDifferences) {
  site.exec(Database::Main,
            "INSERT INTO products (part_num, manu_part, descr, inventory, qty, cost, "
            "notax) VALUES "
            "('P1', 'MP-1', 'Taxed drive', '1', 1, 50, '0'), "
            "('P2', 'MP-2', 'Untaxed service', '1', 1, 20, '1'), "
            "('P3', 'MP-3', 'Corvane USB-C dock with 2x HDMI 1', '0', 1, 80, '0')");
  ASSERT_EQ(run("exItem"), "Passed");
  qbsim::CompanyFile f(companyFile);
  EXPECT_EQ(fieldOf(f.findByName("Item", "MP-1")->ret, "SalesTaxCodeRef/FullName"), "TAX");
  EXPECT_EQ(fieldOf(f.findByName("Item", "MP-2")->ret, "SalesTaxCodeRef/FullName"), "NON");
  // 40 characters of description, named with the first 31.
  auto dock = f.findByName("Item", "Corvane USB-C dock with 2x HDMI");
  ASSERT_TRUE(dock) << slurp(logDir + "ExportItemsToQBLog.txt");
  EXPECT_EQ(fieldOf(dock->ret, "SalesAndPurchase/SalesDesc"), "Corvane USB-C dock with 2x HDMI 1");

  customer("C1", "Ann", "Lee");
  site.exec(Database::Main, "UPDATE customer SET terms = 'Net 30' WHERE customerid = 'C1'");
  ASSERT_EQ(run("exCustomer"), "Passed");
  ASSERT_EQ(run("exCustomer"), "Passed");  // refusals: the message alone
  EXPECT_EQ(normalized(slurp(logDir + "ExportCustomerToQBLog.txt")),
            "Export All Customers to QB :: <date>\r\n\r\n"
            "The name \"Ann  Lee\" of the list element is already in use.\r\n\r\n");
  EXPECT_EQ(fieldOf(f.findByName("Name", "Ann  Lee")->ret, "TermsRef/FullName"), "Net 30");
}

TEST_F(LinkServerTest, InvoicesCarryTheOrderAsQuickBooksWantsIt) {
  customer("C1", "Ann", "Lee");
  ASSERT_EQ(run("exCustomer"), "Passed");
  site.exec(Database::Main,
            "INSERT INTO products (part_num, manu_part, descr, inventory) VALUES "
            "('SHOP-1', 'MP-SHOP', 'Shop drive', '1'), ('TD-ONLY', 'MP-MAIN', 'x', "
            "'1')");
  site.exec(Database::TechData,
            "INSERT INTO products (part_num, manu_part, "
            "descr) VALUES ('TD-1', 'MP-TD', 'Dist'), "
            "('SHOP-1', 'MP-WRONG', 'x')");
  ASSERT_EQ(run("exItem"), "Passed");
  site.exec(Database::Main,
            "INSERT INTO products (part_num, manu_part, descr, inventory) VALUES "
            "('TD-1', 'MP-TD', 'Dist', '1')");
  ASSERT_EQ(run("exItem"), "Passed");  // MP-TD now known to QuickBooks as well

  order("S10001", "C1", ", shipdate, shipmethod", ", '', 'UPS'");
  site.exec(Database::Main,
            "UPDATE orderinfo SET status = 'Shipped', ponum = ' PO 7 ' "
            "WHERE orderid = 'S10001'");
  line("S10001", "SHOP-1", 2, 9.5, "1", " Shop drive ");
  line("S10001", "TD-1", 1, 100, "0");
  line("S10001", "TD-ONLY", 1, 5,
       "0");  // in the shop's products only: not found where it looks
  order("S10002", "C1", ", shipdate", ", 'soon'");
  order("S10003", "C1", ", shipdate", ", '12/24/2026'");
  order("S10004", "NOBODY");
  ASSERT_EQ(run("exInvoice"), "Passed");
  EXPECT_EQ(normalized(slurp(logDir + "ExportInvoiceToQBLog.txt")),
            "Export All Invoices to QB :: <date>\r\n\r\n"
            "Successful Invoice_QBID = S10001, Ann  Lee\r\n"
            "There was an error when saving an Invoice.  QuickBooks error "
            "message: Transaction "
            "is empty.\r\n"
            "There was an error when saving an Invoice.  QuickBooks error "
            "message: Transaction "
            "is empty.\r\n\r\n");

  auto shipped = invoice("S10001");
  ASSERT_TRUE(shipped);
  EXPECT_EQ(fieldOf(shipped->ret, "IsPending"), std::nullopt);
  EXPECT_EQ(fieldOf(shipped->ret, "PONumber"), " PO 7 ");
  EXPECT_EQ(fieldOf(shipped->ret, "ShipDate"), std::nullopt);
  EXPECT_EQ(fieldOf(shipped->ret, "TxnDate"), "2026-12-01");
  EXPECT_EQ(fieldOf(shipped->ret, "ShipMethodRef/FullName"), "UPS");
  EXPECT_EQ(fieldOf(shipped->ret, "BillAddress/City"), "Eugene");
  EXPECT_EQ(fieldOf(shipped->ret, "ShipAddress/City"), "Salem");
  EXPECT_EQ(countOf(shipped->ret, "InvoiceLineRet"), 3);
  EXPECT_EQ(fieldOf(shipped->ret, "InvoiceLineRet/Quantity"), "2");
  EXPECT_EQ(fieldOf(shipped->ret, "InvoiceLineRet/Amount"), "19.00");
  EXPECT_EQ(fieldOf(shipped->ret, "InvoiceLineRet/Desc"), "Shop drive");
  EXPECT_EQ(fieldOf(shipped->ret, "InvoiceLineRet/ItemRef/FullName"), "MP-SHOP");
  pugi::xml_document doc;
  doc.load_string(shipped->ret.c_str());
  auto lines = doc.first_child().children("InvoiceLineRet");
  auto it = lines.begin();
  ++it;
  EXPECT_STREQ(it->child("ItemRef").child_value("FullName"), "MP-TD");
  ++it;
  EXPECT_FALSE(it->child("ItemRef"));
  EXPECT_STREQ(it->child("OverrideItemAccountRef").child_value("FullName"), "Sales");
  // No lines: sent, and QuickBooks' refusal logged; no customer: nothing at
  // all.
  EXPECT_EQ(invoices().size(), 1u);
}

TEST_F(LinkServerTest, PendingAndShipDatesFollowTheOrder) {
  customer("C1", "Ann", "Lee");
  ASSERT_EQ(run("exCustomer"), "Passed");
  order("S1", "C1", ", shipdate", ", '12/24/2026'");
  order("S2", "C1", ", shipdate", ", '2/30/2026'");
  site.exec(Database::Main, "UPDATE orderinfo SET status = NULL WHERE orderid = 'S2'");
  line("S1", "X", 1, 1, "1");
  line("S2", "X", 1, 1, "1");
  ASSERT_EQ(run("exInvoice"), "Passed");
  EXPECT_EQ(fieldOf(invoice("S1")->ret, "IsPending"), "true");
  EXPECT_EQ(fieldOf(invoice("S1")->ret, "ShipDate"), "2026-12-24");
  EXPECT_EQ(fieldOf(invoice("S2")->ret, "IsPending"), "true");
  EXPECT_EQ(fieldOf(invoice("S2")->ret, "ShipDate"), std::nullopt);
}

TEST_F(LinkServerTest, TheJournalBooksEveryInvoiceOnce) {
  customer("C1", "Ann", "Lee");
  ASSERT_EQ(run("exCustomer"), "Passed");
  customer("C2", "Bo", "Dee");  // not in QuickBooks yet: its invoice is refused
  order("S1", "C1");
  line("S1", "X", 1, 10, "1");
  order("S2", "C2");
  line("S2", "X", 1, 20, "1");
  ASSERT_EQ(run("exInvoice"), "Passed");
  EXPECT_EQ(invoices().size(), 1u);
  EXPECT_EQ(site.column(Database::Main, "SELECT orderid || ' ' || status FROM qb_invoice_journal"),
            std::vector<std::string>{"S1 exported"});

  // The second run skips S1 and tries S2 again, which now goes through.
  ASSERT_EQ(run("exCustomer"), "Passed");
  ASSERT_EQ(run("exInvoice"), "Passed");
  EXPECT_EQ(invoices().size(), 2u);
  const std::string txn =
      site.value(Database::Main, "SELECT txnid FROM qb_invoice_journal WHERE orderid = 'S1'");
  EXPECT_EQ(txn, invoice("S1")->id);
  EXPECT_EQ(std::regex_replace(slurp(logDir + "ExportInvoiceToQBLog.txt"),
                               std::regex(R"(\d{1,2}:\d\d:\d\d)"), "<time>"),
            "Export All Invoices to QB :: 12/9/2026 <time> PM\r\n\r\n"
            "Skipped (already exported) S1, Invoice_TxnID = " +
                txn +
                ", 2026-12-09 <time>\r\nSuccessful Invoice_QBID = S2, Bo  "
                "Dee\r\n\r\n");
  ASSERT_EQ(run("exInvoice"), "Passed");
  EXPECT_EQ(invoices().size(), 2u);

  // --reexport takes an order out of the journal on purpose: it is sent again.
  db::Connection conn;
  conn.open(site.connectionString(Database::Main));
  EXPECT_TRUE(accounting::forgetExportedOrder(conn, "S1"));
  EXPECT_FALSE(accounting::forgetExportedOrder(conn, "S1"));
  conn.close();
  ASSERT_EQ(run("exInvoice"), "Passed");
  EXPECT_EQ(invoices().size(), 3u);
}

TEST_F(LinkServerTest, AnInterruptedOrderIsSettledByAskingQuickBooks) {
  customer("C1", "Ann", "Lee");
  ASSERT_EQ(run("exCustomer"), "Passed");
  order("S1", "C1");
  line("S1", "X", 1, 10, "1");
  ASSERT_EQ(run("exInvoice"), "Passed");
  const std::string booked = invoice("S1")->id;
  order("S2", "C1");
  line("S2", "X", 1, 20, "1");
  // The server stopped after sending S1 and S2 and before hearing QuickBooks' answers; only S1
  // reached QuickBooks.
  site.exec(Database::Main, "UPDATE qb_invoice_journal SET status = 'sending', txnid = ''");
  site.exec(Database::Main,
            "INSERT INTO qb_invoice_journal VALUES ('S2', '', 'sending', '2026-12-09 17:00:00')");
  ASSERT_EQ(run("exInvoice"), "Passed");
  ASSERT_EQ(invoices().size(), 2u);
  EXPECT_EQ(invoice("S1")->id, booked);
  EXPECT_EQ(site.column(Database::Main,
                        "SELECT orderid || ' ' || status || CASE WHEN txnid <> '' THEN ' with "
                        "TxnID' ELSE '' END FROM qb_invoice_journal ORDER BY orderid"),
            (std::vector<std::string>{"S1 exported with TxnID", "S2 exported with TxnID"}));
  EXPECT_EQ(site.value(Database::Main, "SELECT txnid FROM qb_invoice_journal WHERE orderid = 'S1'"),
            booked);
  EXPECT_EQ(normalized(slurp(logDir + "ExportInvoiceToQBLog.txt")),
            "Export All Invoices to QB :: <date>\r\n\r\n"
            "Skipped (already exported) S1, Invoice_TxnID = " +
                booked +
                ", found in QuickBooks after an interrupted export\r\n"
                "Successful Invoice_QBID = S2, Ann  Lee\r\n\r\n");
}

TEST_F(LinkServerTest, OrderValuesWithQuotesStayValues) {
  customer("C'1", "Ann", "O'Lee");
  ASSERT_EQ(run("exCustomer"), "Passed");
  order("S'1", "C'1");
  line("S'1", "P'1", 1, 10, "1");
  ASSERT_EQ(run("exInvoice"), "Passed");
  auto sent = invoice("S'1");
  ASSERT_TRUE(sent) << slurp(logDir + "ExportInvoiceToQBLog.txt");
  EXPECT_EQ(fieldOf(sent->ret, "CustomerRef/FullName"), "Ann  O'Lee");
  EXPECT_EQ(site.value(Database::Main, "SELECT status FROM qb_invoice_journal"), "exported");
}

}  // namespace
}  // namespace kestrin::linkserver

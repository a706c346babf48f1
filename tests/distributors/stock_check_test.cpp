// The real-time stock check: the item and price, the exchange files, and every stock statement.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "kestrin/ecat.h"
#include "peers.h"
#include "site_fixture.h"
#include "text.h"

namespace kestrin::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

const char* const kIngramStock =
    "IM-7,10,5,9.99\n"
    "IM-7,20,2,9.99\n";

class StockCheckTest : public SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    site.setPreference("optTDdata", "yes");
    site.setPreference("varCheckIM", "no");
    exchange = web.path() + "/admin/tdo/";
    fs::create_directories(exchange);
  }

  void shopProduct(const std::string& part, int qty, const std::string& noStock = "0",
                   double cost = 10) {
    site.exec(Database::Main,
              "INSERT INTO products (part_num, descr, grp, qty, cost, noStock) VALUES ('" +
                  sqlEscape(part) + "', 'Shop " + sqlEscape(part) + "', 'Z1', " +
                  std::to_string(qty) + ", " + std::to_string(cost) + ", '" + noStock + "')");
  }
  void distributorProduct(const std::string& part, int localQty, double cost = 10,
                          const std::string& manuPart = "") {
    site.exec(Database::TechData,
              "INSERT INTO products (part_num, manu_part, descr, grp, qty, cost) VALUES ('" +
                  sqlEscape(part) + "', '" + manuPart + "', 'Distributor " + sqlEscape(part) +
                  "', 'A1', " + std::to_string(localQty) + ", " + std::to_string(cost) + ")");
  }
  // Ingram Micro knows the manufacturer part as `ingramPart`, and answers through a simulator.
  void askIngram(const std::string& manuPart, const std::string& ingramPart) {
    site.exec(Database::Ingram, "INSERT INTO catalog (vend_part, part_no) VALUES ('" + manuPart +
                                    "', '" + ingramPart + "')");
    if (!ingram) {
      writeFile(web.path() + "/ingram.csv", kIngramStock);
      ingram = std::make_unique<ChildProcess>(
          INGRAM_SIMULATOR_PATH,
          std::vector<std::string>{"--stock", web.path() + "/ingram.csv", "--port", "0"});
      site.setPreference("imServer", "127.0.0.1:" + std::to_string(portIn(ingram->readLine())));
    }
    site.setPreference("varCheckIM", "yes");
  }

  // RealInventory in an open session; during the wait the "agent" writes `response` (when
  // given) under the name `responseName`.
  std::string check(const std::string& part, bool custDb,
                    const std::optional<std::string>& response = std::nullopt,
                    const std::string& customer = "", std::string responseName = "") {
    if (responseName.empty()) responseName = trim(part) + ".tds";
    cat.setStockWait([&](std::chrono::milliseconds wait) {
      EXPECT_EQ(wait, 5000ms);
      request = slurp(exchange + trim(part) + ".tdn");
      if (response) writeFile(exchange + responseName, *response);
    });
    cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
    EXPECT_EQ(cat.RealInventory(part, web.path(), customer, custDb), "");
    cat.closedb();
    return cat.strR;
  }

  // The statement after the item and price lines.
  static std::string statement(const std::string& html) {
    const size_t at = html.find("</br>");
    return at == std::string::npos ? html : html.substr(at + 5);
  }

  TempFolder web;  // the web site's root folder, aPath
  std::string exchange;
  std::string request;
  std::unique_ptr<ChildProcess> ingram;
  eCat cat;
};

TEST_F(StockCheckTest, StockStatements) {
  shopProduct("S-IN", 1234);
  shopProduct("S-OUT", 0);
  shopProduct("S-NOCOUNT", 3, "1");
  distributorProduct("D-NONE", 0);
  distributorProduct("D-LOCAL", 4);
  distributorProduct(" D-BLANK ", 0);
  distributorProduct("D-IM", 0, 10, "MFG-7");
  askIngram("MFG-7", "IM-7");

  struct Case {
    const char* golden;
    std::string part;
    bool custDb;
    std::optional<std::string> response;
  };
  const Case cases[] = {
      {"shop_in_stock", "S-IN", true, std::nullopt},
      {"shop_out_of_stock", "S-OUT", true, std::nullopt},
      {"shop_no_stock_count", "S-NOCOUNT", true, std::nullopt},
      {"unavailable", "D-NONE", false, std::nullopt},
      {"unavailable_local_stock", "D-LOCAL", false, std::nullopt},
      {"techdata_12", "D-NONE", false, "QTY~12\r\n"},
      {"ref_before_qty", "D-NONE", false, "REF~X\r\nQTY~5\r\n"},
      {"qty_before_ref", "D-NONE", false, "QTY~5\r\nREF~X\r\n"},
      {"qty_abc", "D-NONE", false, "QTY~abc\r\n"},
      {"qty_abc_local_stock", "D-LOCAL", false, "QTY~abc\r\n"},
      {"ingram_7_techdata_5", "D-IM", false, "ST~846RESP,QTY~5,SE~4\r\n"},
      {"ingram_7_no_response", "D-IM", false, std::nullopt},
      {"ingram_7_ref", "D-IM", false, "REF~X\r\n"},
      {"blanks_around_part", " D-BLANK ", false, "QTY~2345\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.golden);
    cat.strR.clear();
    const std::string html = check(c.part, c.custDb, c.response);
    EXPECT_FALSE(currentError().isSet()) << currentError().description;
    expectGolden(std::string("distributors/golden/") + c.golden + ".html", html);
    EXPECT_EQ(request, "ST~846SEND\r\nLIN~VP~" + trim(c.part) + "\r\nSE~3\r\n");
    EXPECT_EQ(filesIn(exchange), std::vector<std::string>{});  // both files deleted
  }
  // Blanks stay in the statement, names lose them.
  EXPECT_EQ(cat.sql, "select qty from products where part_num=' D-BLANK '");
}

TEST_F(StockCheckTest, PriceOfShopAndDistributorProducts) {
  site.exec(Database::Main, "INSERT INTO markup (markupid, rate) VALUES ('A1', 15)");
  site.exec(Database::Main,
            "INSERT INTO markup (markupid, rate, customerid) VALUES ('cust', 10, 'C10001')");
  shopProduct("S-HALF", 1, "0", 0.5);
  distributorProduct("D-100", 0, 100);
  struct Case {
    std::string part, customer;
    bool custDb;
    const char* price;
  };
  const Case cases[] = {
      {"S-HALF", "", true, ".50"},
      {"S-HALF", "C10001", true, ".45"},
      {"D-100", "", false, "115.00"},
      {"D-100", "C10001", false, "103.50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part + " " + c.customer);
    cat.strR.clear();
    const std::string html = check(c.part, c.custDb, std::nullopt, c.customer);
    const std::string descr = c.custDb ? "Shop " + c.part : "Distributor " + c.part;
    EXPECT_EQ(html.substr(0, html.find("</br>") + 5),
              "<b>Item: </b>" + descr + "<br><b>Price: </b> $" + c.price + "</br>");
  }
}

TEST_F(StockCheckTest, ExchangeFolderThatCannotBeWritten) {
  distributorProduct("D-1", 0);
  fs::remove_all(web.path() + "/admin/tdo");
  const std::string expected =
      "<b>Item: </b>Distributor D-1<br><b>Price: </b> $10.00</br>" +
      std::string("Error while creating TDO file ::Path not foundkestrin<br>") + web.path() +
      "/admin/tdo/D-1.tdn<br><br>";
  std::string html = check("D-1", false);
  EXPECT_EQ(html.substr(0, expected.size()), expected);
  EXPECT_NE(html.find("Real Time Inventory information is not available"), std::string::npos);

  // A file where the folder should be.
  writeFile(web.path() + "/admin/tdo", "not a folder");
  cat.strR.clear();
  html = check("D-1", false);
  EXPECT_NE(html.find("Error while creating TDO file ::Path not foundkestrin<br>"),
            std::string::npos);
}

TEST_F(StockCheckTest, FileNamesMatchWithoutRegardToCase) {
  distributorProduct("D-1", 0);
  writeFile(exchange + "d-1.TDN", "an earlier request");
  const std::string html = check("D-1", false, "QTY~3\r\n", "", "d-1.TdS");
  EXPECT_EQ(statement(html).substr(0, 50), "*Quantity in stock: <font color=\"red\">3</font><br>");
  EXPECT_EQ(slurp(exchange + "d-1.TDN"), "");  // gone; it was replaced, then deleted
  EXPECT_EQ(filesIn(exchange), std::vector<std::string>{});
}

TEST_F(StockCheckTest, ResponseFilesThatAreNotAnswers) {
  distributorProduct("D-1", 0);
  // Binary bytes around a usable item.
  std::string binary("\x01\x02\0\xff\xfe garbage\r\nQTY~7\r\n\0\0", 24);
  std::string html = check("D-1", false, binary);
  EXPECT_EQ(statement(html).substr(0, 50), "*Quantity in stock: <font color=\"red\">7</font><br>");

  // Ten megabytes are not read: the check fails and says why.
  cat.strR.clear();
  html = check("D-1", false, std::string(10 << 20, 'Q'));
  EXPECT_NE(html.find("Real Time Inventory information is not available"), std::string::npos);
  EXPECT_EQ(currentError().number, kErrPathAccess);
  EXPECT_NE(currentError().description.find("holds 10,485,760 bytes, more than the 1,048,576"),
            std::string::npos);
  EXPECT_EQ(filesIn(exchange), std::vector<std::string>{});
}

TEST_F(StockCheckTest, ReadOnlyResponseFileFailsTheCheckAfterTheStatement) {
  distributorProduct("D-1", 0);
  cat.setStockWait([&](std::chrono::milliseconds) {
    writeFile(exchange + "D-1.tds", "QTY~4\r\n");
    fs::permissions(exchange + "D-1.tds", fs::perms::owner_read);
  });
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(errorNumberOf([&] { cat.RealInventory("D-1", web.path(), "", false); }),
            kErrPathAccess);
  cat.closedb();
  EXPECT_NE(cat.strR.find("*Quantity in stock: <font color=\"red\">4</font>"), std::string::npos);
  EXPECT_EQ(filesIn(exchange), (std::vector<std::string>{"D-1.tdn", "D-1.tds"}));
}

TEST_F(StockCheckTest, WithoutAProductRowNothingIsAsked) {
  cat.setStockWait([](std::chrono::milliseconds) { FAIL() << "no wait without a product"; });
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(errorNumberOf([&] { cat.RealInventory("NONE", web.path(), "", false); }),
            kErrNoCurrentRecord);
  cat.closedb();
  EXPECT_EQ(filesIn(exchange), std::vector<std::string>{});
}

TEST_F(StockCheckTest, PartNumbersAreValuesNotPathsOrSql) {
  distributorProduct("Q'1", 0);
  std::string html = check("Q'1", false, "QTY~1\r\n");
  EXPECT_NE(html.find("*Quantity in stock:"), std::string::npos);
  EXPECT_EQ(cat.sql, "select qty from products where part_num='Q''1'");
  EXPECT_EQ(request, "ST~846SEND\r\nLIN~VP~Q'1\r\nSE~3\r\n");
  // In the buttons' script the quote is escaped twice: for the script, then for the attribute.
  cat.strR.clear();
  html = check("Q'1", false);
  EXPECT_NE(html.find("part_num=Q\\&#39;1&featured=False';\""), std::string::npos);

  // A part number cannot name a file outside the exchange folder.
  cat.strR.clear();
  cat.CreateThefile("../../escape", web.path());
  EXPECT_EQ(cat.strR, "Error while creating TDO file ::Bad file name or numberkestrin<br>" +
                          web.path() + "/admin/tdo/<br><br>");
  EXPECT_EQ(errorNumberOf([&] { cat.DeleteTheFile("../tdo/x", web.path()); }), kErrBadFileName);
  // Nor can a site folder holding a NUL, which the system would cut short.
  cat.strR.clear();
  cat.CreateThefile("P1", web.path() + "/victim" + std::string(1, '\0') + "/more");
  EXPECT_EQ(cat.strR.substr(0, 66),
            "Error while creating TDO file ::Bad file name or numberkestrin<br>");
  EXPECT_EQ(filesIn(web.path()), std::vector<std::string>{"admin"});
  EXPECT_EQ(filesIn(exchange), std::vector<std::string>{});
}

// The real agent program answers within the wait.
TEST_F(StockCheckTest, ExchangeAgentAnswers) {
  distributorProduct("D-9", 0);
  writeFile(web.path() + "/techdata.csv", "D-9,9\nD-8,0\n");
  ChildProcess agent(TECHDATA_AGENT_PATH, {"--site", web.path(), "--stock",
                                           web.path() + "/techdata.csv", "--interval", "20"});
  ASSERT_NE(agent.readLine().find("watching"), std::string::npos);
  cat.setStockWait([&](std::chrono::milliseconds wait) {
    // Wait as long as the engine would, but no longer than the answer takes.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!fs::exists(exchange + "D-9.tds") && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(10ms);
    }
  });
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  cat.RealInventory("D-9", web.path(), "", false);
  cat.closedb();
  EXPECT_EQ(statement(cat.strR),
            "*Quantity in stock: <font color=\"red\">9</font><br><br>"
            "<a href=\"cart.asp?action=add&amp;steps=2&amp;part_num=D-9"
            "&amp;qty=1&featured=False\">Buy Now</a><br>");
  EXPECT_EQ(filesIn(exchange), std::vector<std::string>{});
}

// The whole road as a page takes it, through kestrinctl, with the real five-second wait (the
// only test that waits it).
TEST_F(StockCheckTest, EndToEndWithBothDistributors) {
  distributorProduct("D-9", 0, 10, "MFG-7");
  askIngram("MFG-7", "IM-7");
  writeFile(web.path() + "/techdata.csv", "D-9,9\n");
  ChildProcess agent(TECHDATA_AGENT_PATH,
                     {"--site", web.path(), "--stock", web.path() + "/techdata.csv"});
  ASSERT_NE(agent.readLine().find("watching"), std::string::npos);

  const std::string out = web.path() + "/out.txt";
  const std::string command =
      std::string(KESTRINCTL_PATH) + " call RealInventory partno=D-9 aPath='" + web.path() +
      "' siteID=kestrin sitePassword=" + SiteFixture::kPassword + " --show strR > '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  // The result is empty text; the block is in strR.
  const std::string printed = slurp(out);
  EXPECT_EQ(printed.substr(0, 6), "\nstrR=");
  EXPECT_NE(printed.find("*Quantity in stock: <font color=\"red\">16</font>"), std::string::npos)
      << printed;
  EXPECT_EQ(filesIn(exchange), std::vector<std::string>{});
}

}  // namespace
}  // namespace kestrin::testing

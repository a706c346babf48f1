// The exports of customers, products and vendors into the company-file simulator: through the
// engine's methods as a page calls them, and through the library with a transport that records,
// rewrites or fails, where a case needs one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <pugixml.hpp>
#include <regex>
#include <sstream>

#include "company_file.h"
#include "kestrin/ecat.h"
#include "kestrin/error.h"
#include "kestrin/qb_exports.h"
#include "kestrin/qbxml.h"
#include "qb_test_support.h"
#include "simulator_transport.h"
#include "site_fixture.h"

namespace kestrin::accounting {
namespace {

namespace fs = std::filesystem;
using qbtest::fieldOf;
using qbtest::slurp;
using testing::Database;
using testing::SiteFixture;

// A log or failure text with its date and QuickBooks ids replaced by <date> and <id>.
std::string normalized(const std::string& text) {
  static const std::regex date(R"(:: \d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d\d:\d\d [AP]M)?\r\n)");
  static const std::regex id(R"(\b8[0-9A-F]{7}-\d{10}\b)");
  return std::regex_replace(std::regex_replace(text, date, ":: <date>\r\n"), id, "<id>");
}

std::string q(const std::optional<std::string>& v) {
  if (!v) return "NULL";
  std::string out = "'";
  for (char c : *v) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

struct Customer {
  std::string id;
  std::optional<std::string> fname, mname, lname, cname, address, city, state, zip, country, phone,
      fax, email, terms;
};

struct Product {
  std::string part;
  std::optional<std::string> manuPart, descr;
  std::string inventory = "0";
  int qty = 3;
  std::optional<double> cost = 10.0;
  std::string notax = "0";
};

class ExportTest : public testing::SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    const std::string dir = fs::canonical(site.dir()).string();
    companyFile = dir + "/company.qbw";  // the file the site's configuration names
    qbsim::createCompanyFile(companyFile);
    logDir = dir + "/logs/";
    fs::create_directories(logDir);
  }

  void add(const Customer& c) {
    site.exec(Database::Main,
              "INSERT INTO customer (customerid, fname, mname, lname, cname, address, city, "
              "state, zip, country, phone, fax, email, terms) VALUES (" +
                  q(c.id) + "," + q(c.fname) + "," + q(c.mname) + "," + q(c.lname) + "," +
                  q(c.cname) + "," + q(c.address) + "," + q(c.city) + "," + q(c.state) + "," +
                  q(c.zip) + "," + q(c.country) + "," + q(c.phone) + "," + q(c.fax) + "," +
                  q(c.email) + "," + q(c.terms) + ")");
  }
  void add(const Product& p) {
    site.exec(Database::Main,
              "INSERT INTO products (part_num, manu_part, descr, inventory, qty, cost, notax) "
              "VALUES (" +
                  q(p.part) + "," + q(p.manuPart) + "," + q(p.descr) + "," + q(p.inventory) + "," +
                  std::to_string(p.qty) + "," + (p.cost ? std::to_string(*p.cost) : "NULL") + "," +
                  q(p.notax) + ")");
  }
  void addVendor(const std::optional<std::string>& name) {
    site.exec(Database::Main, "INSERT INTO vendors (name) VALUES (" + q(name) + ")");
  }

  std::optional<qbsim::StoredElement> stored(const std::string& nameSpace,
                                             const std::string& name) {
    qbsim::CompanyFile f(companyFile);
    return f.findByName(nameSpace, name);
  }
  std::string log(const char* file) { return slurp(logDir + file); }

  std::string companyFile;
  std::string logDir;
  eCat cat;
};

TEST_F(ExportTest, CustomersAreNamedFromTheirPartsAndSetWhenPresent) {
  add({.id = "C10001",
       .fname = "Ann",
       .lname = "Lee",
       .state = "OR",
       .zip = "97412",
       .phone = "(541) 555-0117",
       .email = "ann@example.com"});
  add({.id = "C10002",
       .fname = " Bo ",
       .mname = "",
       .lname = "Dee",
       .cname = "",
       .city = "",
       .country = "USA"});
  EXPECT_EQ(cat.qbExportCustomer(SiteFixture::kSiteId, SiteFixture::kPassword, logDir), "Passed");
  EXPECT_FALSE(currentError().isSet());
  EXPECT_EQ(cat.sql, "select * from customer order by customerid");
  EXPECT_FALSE(cat.conn.isOpen());
  EXPECT_EQ(normalized(log("ExportCustomerToQBLog.txt")),
            "Export All Customers to QB :: <date>\r\n\r\n"
            "Successful Customer_QBID = <id>, Ann  Lee\r\n"
            "Successful Customer_QBID = <id>, Bo  Dee\r\n\r\n");
  EXPECT_EQ(normalized(cat.strR) + "\r\n", normalized(log("ExportCustomerToQBLog.txt")));

  // Ann, two blanks, Lee: no middle name; her NULL city is not sent at all.
  auto ann = stored("Name", "Ann  Lee");
  ASSERT_TRUE(ann);
  EXPECT_EQ(fieldOf(ann->ret, "FirstName"), "Ann");
  EXPECT_EQ(fieldOf(ann->ret, "MiddleName"), std::nullopt);
  EXPECT_EQ(fieldOf(ann->ret, "BillAddress/City"), std::nullopt);
  EXPECT_EQ(fieldOf(ann->ret, "BillAddress/State"), "OR");
  EXPECT_EQ(fieldOf(ann->ret, "Phone"), "(541) 555-0117");
  EXPECT_EQ(fieldOf(ann->ret, "Fax"), std::nullopt);
  // Bo's empty city and company are sent empty; his first name trimmed.
  auto bo = stored("Name", "Bo  Dee");
  ASSERT_TRUE(bo);
  EXPECT_EQ(fieldOf(bo->ret, "BillAddress/City"), "");
  EXPECT_EQ(fieldOf(bo->ret, "CompanyName"), "");
  EXPECT_EQ(fieldOf(bo->ret, "MiddleName"), "");
  EXPECT_EQ(fieldOf(bo->ret, "FirstName"), "Bo");
  EXPECT_EQ(fieldOf(bo->ret, "BillAddress/Country"), "USA");
  EXPECT_EQ(qbsim::openSessionCount(companyFile), 0);
}

TEST_F(ExportTest, NamesWithMarkupQuotesAndLettersReachTheCompanyFileIntact) {
  add({.id = "C1",
       .fname = "Zo\xC3\xAB",
       .lname = "O'Kane & <Sons>",
       .cname = "\"Quoted\" & Co",
       .city = "K\xC3\xB8"
               "benhavn"});
  add({.id = "C2", .fname = "\xE7\x94\xB0\xE4\xB8\xAD", .lname = "<b>x</b>"});
  EXPECT_EQ(cat.qbExportCustomer(SiteFixture::kSiteId, SiteFixture::kPassword, logDir), "Passed");
  auto zoe = stored("Name", "Zo\xC3\xAB  O'Kane & <Sons>");
  ASSERT_TRUE(zoe) << log("ExportCustomerToQBLog.txt");
  EXPECT_EQ(fieldOf(zoe->ret, "CompanyName"), "\"Quoted\" & Co");
  EXPECT_EQ(fieldOf(zoe->ret, "BillAddress/City"),
            "K\xC3\xB8"
            "benhavn");
  EXPECT_TRUE(stored("Name", "\xE7\x94\xB0\xE4\xB8\xAD  <b>x</b>"));
  EXPECT_NE(log("ExportCustomerToQBLog.txt").find(", Zo\xC3\xAB  O'Kane & <Sons>\r\n"),
            std::string::npos);
}

TEST_F(ExportTest, ItemsFollowTheirInventoryFlagAndRefusalsAreLogged) {
  const std::string longDescr = "Corvane USB-C dock, 2x HDMI, 100 W PD";  // 37 characters
  add({.part = "P1", .manuPart = "MP-1", .descr = std::nullopt, .inventory = "1"});
  add({.part = "P2", .manuPart = "MP-2", .descr = " Cat6 cable, 2 m ", .cost = 3.25});
  add({.part = "P3",
       .manuPart = "MP-3",
       .descr = "CV 4TB NAS drive",
       .inventory = "1",
       .qty = 12,
       .cost = 89.5});
  add({.part = "P4", .descr = longDescr, .cost = std::nullopt});
  EXPECT_EQ(cat.qbExportItems(SiteFixture::kSiteId, SiteFixture::kPassword, logDir), "Passed");
  EXPECT_EQ(cat.sql, "select * from products");
  EXPECT_EQ(normalized(log("ExportItemsToQBLog.txt")),
            "Export All Products to QB :: <date>\r\n\r\n"
            "The required field \"Name\" is missing.\r\n"
            "Successful Item_QBID = <id>, Cat6 cable, 2 m\r\n"
            "Successful Item_QBID = <id>, MP-3\r\n"
            "The string \"" +
                longDescr + "\" in the field \"Name\" is too long.\r\n\r\n");

  // A non-inventory product is named by its whole description.
  auto cable = stored("Item", "Cat6 cable, 2 m");
  ASSERT_TRUE(cable);
  EXPECT_EQ(cable->kind, "ItemNonInventory");
  EXPECT_EQ(fieldOf(cable->ret, "SalesAndPurchase/SalesDesc"), "Cat6 cable, 2 m");
  EXPECT_EQ(fieldOf(cable->ret, "SalesAndPurchase/SalesPrice"), "3.25");
  EXPECT_EQ(fieldOf(cable->ret, "SalesAndPurchase/ExpenseAccountRef/FullName"), "Other Expenses");
  auto drive = stored("Item", "MP-3");
  ASSERT_TRUE(drive);
  EXPECT_EQ(drive->kind, "ItemInventory");
  EXPECT_EQ(fieldOf(drive->ret, "QuantityOnHand"), "12");
  EXPECT_EQ(fieldOf(drive->ret, "PurchaseCost"), "89.50");
  EXPECT_EQ(fieldOf(drive->ret, "AssetAccountRef/FullName"), "Current Asset");
  EXPECT_EQ(fieldOf(drive->ret, "SalesTaxCodeRef/FullName"), std::nullopt);
}

TEST_F(ExportTest, ANullWhereAValueIsNeededEndsTheExportWithTheFailureText) {
  addVendor("Tech Data");
  addVendor(std::nullopt);
  addVendor("Never Reached");
  std::string vendors = cat.qbExportVendor(SiteFixture::kSiteId, SiteFixture::kPassword, logDir);
  EXPECT_EQ(normalized(vendors),
            "Failed ::Export All Vendors to QB :: <date>\r\n\r\n"
            "Successful Vendor_QBID = <id>, Tech Data\r\nInvalid use of Null");
  EXPECT_EQ(currentError().number, kErrInvalidUseOfNull);
  EXPECT_FALSE(fs::exists(logDir + "ExportVendorToQBLog.txt"));
  EXPECT_FALSE(stored("Name", "Never Reached"));
  EXPECT_FALSE(cat.conn.isOpen());

  add({.part = "P1", .manuPart = std::nullopt, .descr = "Has a description", .inventory = "1"});
  std::string items = cat.qbExportItems(SiteFixture::kSiteId, SiteFixture::kPassword, logDir);
  EXPECT_EQ(normalized(items),
            "Failed ::Export All Products to QB :: <date>\r\n\r\n"
            "Invalid use of Null<br>COMPANY FILE: " +
                companyFile);
  EXPECT_FALSE(fs::exists(logDir + "ExportItemsToQBLog.txt"));
  EXPECT_EQ(qbsim::openSessionCount(companyFile), 0);
}

TEST_F(ExportTest, ASecondRunReplacesTheLogAndWarnsForEveryNameInUse) {
  add({.id = "C1", .fname = "Ann", .lname = "Lee"});
  add({.id = "C2", .fname = "Bo", .lname = "Dee"});
  ASSERT_EQ(cat.qbExportCustomer(SiteFixture::kSiteId, SiteFixture::kPassword, logDir), "Passed");
  add({.id = "C3", .fname = "Cy", .lname = "Eck"});
  ASSERT_EQ(cat.qbExportCustomer(SiteFixture::kSiteId, SiteFixture::kPassword, logDir), "Passed");
  EXPECT_EQ(normalized(log("ExportCustomerToQBLog.txt")),
            "Export All Customers to QB :: <date>\r\n\r\n"
            "Warning: Code = 3100, Severity = Error, Message = The name \"Ann  Lee\" of the list "
            "element is already in use.\r\n"
            "Warning: Code = 3100, Severity = Error, Message = The name \"Bo  Dee\" of the list "
            "element is already in use.\r\n"
            "Successful Customer_QBID = <id>, Cy  Eck\r\n\r\n");

  addVendor("Ann  Lee");  // customers and vendors share their names
  ASSERT_EQ(cat.qbExportVendor(SiteFixture::kSiteId, SiteFixture::kPassword, logDir), "Passed");
  EXPECT_EQ(normalized(log("ExportVendorToQBLog.txt")),
            "Export All Vendors to QB :: <date>\r\n\r\n"
            "Warning: Code = 3100, Severity = Error, Message = The name \"Ann  Lee\" of the list "
            "element is already in use.\r\n\r\n");
}

TEST_F(ExportTest, FailuresLeaveNoLogAndNoSessionAndNameTheError) {
  add({.id = "C1", .fname = "Ann", .lname = "Lee"});
  add({.part = "P1", .descr = "Cable"});
  addVendor("Tech Data");
  struct Case {
    const char* name;
    std::function<void()> arrange;
    const char* password;
    std::string customers, items, vendors;
    int32_t error;
  };
  const std::string header = ":: <date>\r\n\r\n";
  const std::string missing = "Could not open the specified QuickBooks company data file " +
                              companyFile + ": the file does not exist.";
  const Case cases[] = {
      {"wrong site password", [] {}, "wrong",
       "Failed ::Operation is not allowed when the object is closed.",
       "Failed ::Operation is not allowed when the object is closed.<br>COMPANY FILE: ",
       "Failed ::Operation is not allowed when the object is closed.", kErrObjectClosed},
      {"missing company file", [&] { fs::remove(companyFile); }, SiteFixture::kPassword,
       "Failed ::Export All Customers to QB " + header + missing,
       "Failed ::Export All Products to QB " + header + missing +
           "<br>COMPANY FILE: " + companyFile,
       "Failed ::Export All Vendors to QB " + header + missing, qbxml::kErrQbCompanyFile},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    eCat fresh;
    EXPECT_EQ(normalized(fresh.qbExportCustomer(SiteFixture::kSiteId, c.password, logDir)),
              c.customers);
    EXPECT_EQ(currentError().number, c.error);
    EXPECT_EQ(normalized(fresh.qbExportItems(SiteFixture::kSiteId, c.password, logDir)), c.items);
    EXPECT_EQ(normalized(fresh.qbExportVendor(SiteFixture::kSiteId, c.password, logDir)),
              c.vendors);
    EXPECT_FALSE(fresh.conn.isOpen());
    EXPECT_TRUE(fs::is_empty(logDir));
  }
}

TEST_F(ExportTest, VendorExportCanRunOnTheCallersSession) {
  addVendor("Tech Data");
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_EQ(cat.qbExportVendor("", "", logDir, false), "Passed");
  EXPECT_TRUE(cat.conn.isOpen());  // the caller's session stays the caller's
  cat.closedb();
  eCat closed;
  EXPECT_EQ(closed.qbExportVendor(SiteFixture::kSiteId, SiteFixture::kPassword, logDir, false),
            "Failed ::Operation is not allowed when the object is closed.");
}

TEST_F(ExportTest, VersionMethodsReadTheHostsListAndPickTheRequestVersion) {
  struct Case {
    const char* versions;
    const char* latest;
    const char* request;
    bool warned;
  };
  const Case cases[] = {
      {"1.0,1.1,2.0,2.1", "2.1", "2.0", false}, {"2.0,1.0", "2.0", "2.0", false},
      {"1.0,1.1", "1.1", "1.1", false},         {"1.0", "1.0", "1.0", true},
      {"1.0,3.0", "3.0", "1.0", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.versions);
    qbsim::CompanyFile(companyFile).setSupportedVersions(qbsim::parseVersionList(c.versions));
    qbxml::QBSessionManager manager(qbsim::makeSimulatorTransport());
    manager.OpenConnection(kAppName, kAppName);
    manager.BeginSession(companyFile, qbxml::omDontCare);
    cat.strR = "log:";
    EXPECT_EQ(cat.QBFCLatestVersion(manager), c.latest);
    EXPECT_EQ(cat.GetLatestMsgSetRequest(manager)->version(), c.request);
    EXPECT_EQ(cat.strR, c.warned ? std::string("log:") + kQuickBooks2002Message : "log:");
  }
}

TEST_F(ExportTest, TestCustomerIsAddedOnceAndReportedByStatus) {
  cat.strR = "old";
  EXPECT_TRUE(std::regex_match(cat.qbAddCustomer(companyFile, "C9", "ignored").text(),
                               std::regex("CustomerRet ListID = 8[0-9A-F]{7}-[0-9]{10}")));
  EXPECT_EQ(cat.strR, "");
  EXPECT_EQ(cat.qbAddCustomer(companyFile).text(),
            "Status: Code = 3100, Severity = Error, Message = The name \"wabo\" of the list "
            "element is already in use.");
  EXPECT_EQ(testing::errorNumberOf([&] { cat.qbAddCustomer(logDir + "none.qbw"); }),
            qbxml::kErrQbCompanyFile);
  EXPECT_EQ(qbsim::openSessionCount(companyFile), 0);
}

// ---- Through the library, with a transport the test controls ----

// What the recording transports of one export saw, and what they are to do.
struct Script {
  std::vector<std::string> connections;  // "appID/appName"
  std::vector<std::string> requests;
  int failAtRequest = 0;  // the n-th request (1-based) raises instead of being answered
  std::function<std::string(const std::string&)> rewrite;  // changes an answer
};

class RecordingTransport : public qbxml::Transport {
 public:
  RecordingTransport(std::unique_ptr<qbxml::Transport> inner, Script& script)
      : inner_(std::move(inner)), script_(script) {}
  void openConnection(const std::string& appID, const std::string& appName) override {
    script_.connections.push_back(appID + "/" + appName);
    inner_->openConnection(appID, appName);
  }
  std::string beginSession(const std::string& file, qbxml::ENOpenMode mode) override {
    return inner_->beginSession(file, mode);
  }
  std::string processRequest(const std::string& ticket, const std::string& request) override {
    script_.requests.push_back(request);
    if (static_cast<int>(script_.requests.size()) == script_.failAtRequest) {
      raise(qbxml::kErrQbNotRunning, "Could not start QuickBooks.", "tests");
    }
    std::string answer = inner_->processRequest(ticket, request);
    return script_.rewrite ? script_.rewrite(answer) : answer;
  }
  void endSession(const std::string& ticket) override { inner_->endSession(ticket); }
  void closeConnection() override { inner_->closeConnection(); }

 private:
  std::unique_ptr<qbxml::Transport> inner_;
  Script& script_;
};

class LibraryExportTest : public ExportTest {
 protected:
  // The engine's host on `cat`, with a recording transport and a fixed clock.
  ExportHost host(const std::string& file, const std::string& openFile = "") {
    return ExportHost{cat.conn,
                      cat.rs,
                      cat.sql,
                      cat.strR,
                      file,
                      [this] { cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword); },
                      [this] { cat.closedb(); },
                      [this, openFile] {
                        return std::make_unique<RecordingTransport>(
                            qbsim::makeSimulatorTransport(openFile), script);
                      },
                      [] {
                        std::tm t{};
                        t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 9;
                        t.tm_hour = 17, t.tm_min = 46, t.tm_sec = 11;
                        return t;
                      }};
  }
  std::string run(const ExportSpec& spec, const ExportProfile& profile) {
    ExportHost h = host(companyFile);
    return runExport(spec, h, profile, logDir);
  }

  Script script;
};

TEST_F(LibraryExportTest, RequestsUseTheNewestVersionTheHostAllows) {
  add({.id = "C1", .fname = "Ann", .lname = "Lee"});
  add({.id = "C2", .fname = "Bo", .lname = "Dee"});
  const ExportProfile engine = engineProfile();
  ASSERT_EQ(run(customerExport(engine), engine), "Passed");
  ASSERT_EQ(script.requests.size(), 4u);  // a host query and an add for each record
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const bool host = i % 2 == 0;
    EXPECT_NE(
        script.requests[i].find(host ? "<?qbxml version=\"1.0\"?>" : "<?qbxml version=\"2.0\"?>"),
        std::string::npos);
    EXPECT_NE(script.requests[i].find(host ? "<HostQueryRq" : "<CustomerAddRq requestID=\"1\">"),
              std::string::npos);
    EXPECT_NE(
        script.requests[i].find(host ? "onError=\"stopOnError\"" : "onError=\"continueOnError\""),
        std::string::npos);
  }
  EXPECT_EQ(script.connections, (std::vector<std::string>{"FENWIX/FENWIX", "FENWIX/FENWIX"}));
  EXPECT_TRUE(log("ExportCustomerToQBLog.txt")
                  .starts_with("Export All Customers to QB :: 12/9/2026 5:46:11 PM\r\n\r\n"));

  // A QuickBooks that knows 1.0 only: the recommendation goes into the log for every record, and
  // the records still arrive.
  qbsim::CompanyFile(companyFile).setSupportedVersions({"1.0"});
  add({.id = "C3", .fname = "Cy", .lname = "Eck"});
  script.requests.clear();
  ASSERT_EQ(run(customerExport(engine), engine), "Passed");
  EXPECT_NE(script.requests.back().find("<?qbxml version=\"1.0\"?>"), std::string::npos);
  const std::string warned = std::string(kQuickBooks2002Message);
  EXPECT_EQ(normalized(log("ExportCustomerToQBLog.txt")),
            "Export All Customers to QB :: <date>\r\n\r\n" + warned +
                "Warning: Code = 3100, Severity = Error, Message = The name \"Ann  Lee\" of the "
                "list element is already in use.\r\n" +
                warned +
                "Warning: Code = 3100, Severity = Error, Message = The name \"Bo  Dee\" of the "
                "list element is already in use.\r\n" +
                warned + "Successful Customer_QBID = <id>, Cy  Eck\r\n\r\n");
}

TEST_F(LibraryExportTest, QuickBooksFailingMidExportEndsItCleanly) {
  add({.part = "P1", .descr = "Cable"});
  add({.part = "P2", .descr = "Mouse"});
  add({.part = "P3", .descr = "Keyboard"});
  script.failAtRequest = 4;  // the second record's add
  const ExportProfile engine = engineProfile();
  EXPECT_EQ(normalized(run(itemExport(engine), engine)),
            "Failed ::Export All Products to QB :: <date>\r\n\r\n"
            "Successful Item_QBID = <id>, Cable\r\n"
            "Could not start QuickBooks.<br>COMPANY FILE: " +
                companyFile);
  EXPECT_EQ(currentError().number, qbxml::kErrQbNotRunning);
  EXPECT_FALSE(fs::exists(logDir + "ExportItemsToQBLog.txt"));
  EXPECT_EQ(qbsim::openSessionCount(companyFile), 0);
  EXPECT_FALSE(cat.conn.isOpen());
  EXPECT_EQ(script.requests.size(), 4u);  // nothing after the failure
}

TEST_F(LibraryExportTest, AnswersThatAreNotQbXmlEndTheExportNotTheProcess) {
  add({.id = "C1", .fname = "Ann", .lname = "Lee"});
  struct Case {
    const char* name;
    std::function<std::string(const std::string&)> rewrite;
    const char* description;
  };
  const Case cases[] = {
      {"an error page", [](const std::string&) { return std::string("<h1>500</h1>"); },
       "QuickBooks answered with a response that is not valid qbXML: it has no "
       "QBXML/QBXMLMsgsRs element"},
      {"not XML at all", [](const std::string&) { return std::string("\x01\x02garbage"); },
       "QuickBooks answered with a response that is not valid qbXML: No document element found "
       "at offset 9"},
      {"no status",
       [](const std::string& a) {
         return std::regex_replace(a, std::regex(" statusCode=\"0\""), "");
       },
       "QuickBooks answered with a response that is not valid qbXML: HostQueryRs carries no "
       "statusCode"},
      {"no responses",
       [](const std::string&) { return std::string("<QBXML><QBXMLMsgsRs/></QBXML>"); },
       "QuickBooks returned 0 response(s); there is no response at index 0"},
  };
  const ExportProfile engine = engineProfile();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    script.rewrite = c.rewrite;
    EXPECT_EQ(run(customerExport(engine), engine),
              std::string("Failed ::Export All Customers to QB :: 12/9/2026 5:46:11 PM\r\n\r\n") +
                  c.description);
    EXPECT_EQ(currentError().number, qbxml::kErrQbResponse);
    EXPECT_EQ(qbsim::openSessionCount(companyFile), 0);
  }
  EXPECT_TRUE(fs::is_empty(logDir));
}

TEST_F(LibraryExportTest, TheLinkServersDifferencesAreItsProfile) {
  add({.id = "C1", .fname = "Ann", .lname = "Lee", .terms = "Net 30"});
  add({.id = "C2", .fname = "Bo", .lname = "Dee", .terms = ""});
  add({.id = "C3", .fname = "Cy", .lname = "Eck", .terms = "Net 99"});
  add({.part = "P1", .manuPart = "MP-1", .descr = "Taxed", .inventory = "1"});
  add({.part = "P2", .manuPart = "MP-2", .descr = "Untaxed", .inventory = "1", .notax = "1"});
  add({.part = "P3", .descr = "Corvane USB-C dock, 2x HDMI, 100 W PD"});
  const ExportProfile server = linkServerProfile();
  // The server's sessions run on the file QuickBooks has open, named by no one.
  const std::string none;
  ExportHost h = host(none, companyFile);

  EXPECT_EQ(runExport(customerExport(server), h, server, logDir), "Passed");
  EXPECT_EQ(script.connections[0], "/FENWIX");
  EXPECT_EQ(normalized(log("ExportCustomerToQBLog.txt")),
            "Export All Customers to QB :: <date>\r\n\r\n"
            "Successful Customer_QBID = <id>, Ann  Lee\r\n"
            "Successful Customer_QBID = <id>, Bo  Dee\r\n"
            "There is an invalid reference to QuickBooks Terms \"Net 99\" in the Customer.  "
            "QuickBooks error message: Invalid argument.  The specified record does not exist in "
            "the list.\r\n\r\n");
  EXPECT_EQ(fieldOf(stored("Name", "Ann  Lee")->ret, "TermsRef/FullName"), "Net 30");
  EXPECT_EQ(fieldOf(stored("Name", "Bo  Dee")->ret, "TermsRef/FullName"), std::nullopt);

  EXPECT_EQ(runExport(itemExport(server), h, server, logDir), "Passed");
  EXPECT_EQ(fieldOf(stored("Item", "MP-1")->ret, "SalesTaxCodeRef/FullName"), "TAX");
  EXPECT_EQ(fieldOf(stored("Item", "MP-2")->ret, "SalesTaxCodeRef/FullName"), "NON");
  auto dock = stored("Item", "Corvane USB-C dock, 2x HDMI, 10");
  ASSERT_TRUE(dock) << log("ExportItemsToQBLog.txt");
  EXPECT_EQ(fieldOf(dock->ret, "SalesAndPurchase/SalesDesc"),
            "Corvane USB-C dock, 2x HDMI, 100 W PD");

  add({.part = "P4", .manuPart = std::nullopt, .descr = "Broken", .inventory = "1"});
  EXPECT_EQ(runExport(itemExport(server), h, server, logDir).find("<br>COMPANY FILE:"),
            std::string::npos);
  EXPECT_EQ(qbsim::openSessionCount(companyFile), 0);
}

}  // namespace
}  // namespace kestrin::accounting

// The QuickBooks company-file simulator, driven through the qbXML session classes as the
// exports drive it, and with request texts of its own where a case needs a malformed one.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include "company_file.h"
#include "kestrin/error.h"
#include "kestrin/qbxml.h"
#include "request_processor.h"
#include "simulator_transport.h"
#include "site_fixture.h"

namespace kestrin::qbsim {
namespace {

namespace fs = std::filesystem;
using qbxml::MsgSetRequest;
using qbxml::QBSessionManager;
using qbxml::Response;
using testing::errorNumberOf;

class CompanyFileTest : public ::testing::Test {
 protected:
  void SetUp() override { createCompanyFile(file_); }

  // Sends one request set in a session of its own and returns the responses.
  std::shared_ptr<qbxml::MsgSetResponse> send(const std::function<void(MsgSetRequest&)>& fill,
                                              qbxml::ENRqOnError onError = qbxml::roeContinue,
                                              int major = 2, int minor = 0) {
    QBSessionManager m(makeSimulatorTransport());
    m.OpenConnection("", "tests");
    m.BeginSession(file_, qbxml::omDontCare);
    auto rq = m.CreateMsgSetRequest(major, minor);
    rq->Attributes.OnError = onError;
    fill(*rq);
    auto rs = m.DoRequests(*rq);
    m.EndSession();
    m.CloseConnection();
    return rs;
  }
  // The response to a set of one request.
  Response one(const std::function<void(MsgSetRequest&)>& fill) {
    return send(fill)->ResponseList.GetAt(0);
  }

  std::string raw(const std::string& text) {
    CompanyFile f(file_);
    return processRequest(f, text);
  }

  testing::TempDir temp_{"qbsim-test"};
  const std::string dir_ = temp_.path();
  const std::string file_ = dir_ + "/company.qbw";
};

void addCustomer(MsgSetRequest& rq, const std::string& name) {
  rq.AppendCustomerAddRq().Name.SetValue(name);
}

void addInventoryItem(MsgSetRequest& rq, const std::string& name) {
  qbxml::ItemInventoryAdd& it = rq.AppendItemInventoryAddRq();
  it.Name.SetValue(name);
  it.IncomeAccountRef.FullName.SetValue("Sales");
  it.COGSAccountRef.FullName.SetValue("Cost of Goods Sold");
  it.AssetAccountRef.FullName.SetValue("Current Asset");
}

void addNonInventoryItem(MsgSetRequest& rq, const std::string& name) {
  qbxml::ItemNonInventoryAdd& it = rq.AppendItemNonInventoryAddRq();
  it.Name.SetValue(name);
  it.ORSalesPurchase.SalesAndPurchase.IncomeAccountRef.FullName.SetValue("Sales");
  it.ORSalesPurchase.SalesAndPurchase.ExpenseAccountRef.FullName.SetValue("Other Expenses");
}

std::vector<std::string> names(CompanyFile& f, const std::vector<std::string>& kinds) {
  std::vector<std::string> out;
  for (const StoredElement& e : f.elements(kinds)) out.push_back(e.name);
  return out;
}

TEST_F(CompanyFileTest, NewFileHoldsTheSeededListsAndReportsItsVersions) {
  CompanyFile f(file_);
  EXPECT_EQ(names(f, {"Account"}), (std::vector<std::string>{"Sales", "Cost of Goods Sold",
                                                             "Current Asset", "Other Expenses"}));
  EXPECT_EQ(names(f, {"SalesTaxCode"}), (std::vector<std::string>{"TAX", "NON"}));
  EXPECT_EQ(f.count("ShipMethod"), 5);
  EXPECT_EQ(f.count("Terms"), 7);
  EXPECT_EQ(f.count("Customer"), 0);
  EXPECT_EQ(f.supportedVersions(), (std::vector<std::string>{"1.0", "1.1", "2.0", "2.1"}));

  Response host = one([](MsgSetRequest& rq) { rq.AppendHostQueryRq(); });
  EXPECT_EQ(host.StatusCode, 0);
  ASSERT_TRUE(host.Detail);
  EXPECT_EQ(host.Detail->type(), "HostRet");
  EXPECT_EQ(host.Detail->list("SupportedQBXMLVersion").Count(), 4u);
  EXPECT_EQ(host.Detail->list("SupportedQBXMLVersion").GetAt(3), "2.1");

  f.setSupportedVersions(parseVersionList("1.0"));
  auto hostQuery = [](MsgSetRequest& rq) { rq.AppendHostQueryRq(); };
  EXPECT_EQ(send(hostQuery, qbxml::roeStop, 1, 0)
                ->ResponseList.GetAt(0)
                .Detail->list("SupportedQBXMLVersion")
                .Count(),
            1u);
  EXPECT_EQ(errorNumberOf([&] { send(hostQuery, qbxml::roeStop, 1, 1); }), qbxml::kErrQbVersion);

  Error again(0, "", "");
  try {
    createCompanyFile(file_);
  } catch (const Error& e) {
    again = e;
  }
  EXPECT_EQ(again.number(), qbxml::kErrQbCompanyFile);
  EXPECT_EQ(again.description(), "The company file " + file_ + " already exists.");
  EXPECT_EQ(errorNumberOf([] { parseVersionList("1.0,two"); }), kErrInvalidCall);
}

TEST_F(CompanyFileTest, AddedRecordComesBackWithQuickBooksIdentifiers) {
  Response r = one([](MsgSetRequest& rq) {
    qbxml::CustomerAdd& c = rq.AppendCustomerAddRq();
    c.Name.SetValue("Ann  Lee");
    c.FirstName.SetValue("Ann");
    c.TermsRef.FullName.SetValue("net 30");
  });
  EXPECT_EQ(r.Type, "CustomerAddRs");
  EXPECT_EQ(r.requestID, "1");
  EXPECT_EQ(r.StatusCode, 0);
  EXPECT_EQ(r.StatusSeverity, "Info");
  EXPECT_EQ(r.StatusMessage, "Status OK");
  ASSERT_TRUE(r.Detail);
  EXPECT_EQ(r.Detail->type(), "CustomerRet");
  EXPECT_TRUE(
      std::regex_match(r.Detail->field("ListID").GetValue(), std::regex("8[0-9A-F]{7}-[0-9]{10}")))
      << r.Detail->field("ListID").GetValue();
  EXPECT_TRUE(
      std::regex_match(r.Detail->field("TimeCreated").GetValue(),
                       std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d")));
  EXPECT_EQ(r.Detail->field("Name").GetValue(), "Ann  Lee");
  EXPECT_EQ(r.Detail->field("FullName").GetValue(), "Ann  Lee");
  EXPECT_EQ(r.Detail->field("IsActive").GetValue(), "true");
  EXPECT_EQ(r.Detail->field("FirstName").GetValue(), "Ann");
  // A reference comes back resolved, with the list element's own spelling.
  EXPECT_EQ(r.Detail->field("TermsRef/FullName").GetValue(), "Net 30");
  EXPECT_TRUE(r.Detail->field("TermsRef/ListID").IsSet());

  Response v = one([](MsgSetRequest& rq) { rq.AppendVendorAddRq().Name.SetValue("Tech Data"); });
  EXPECT_EQ(v.Detail->type(), "VendorRet");
  EXPECT_FALSE(v.Detail->field("FullName").IsSet());  // vendors are no hierarchy

  CompanyFile f(file_);
  std::vector<StoredElement> customers = f.elements({"Customer"});
  ASSERT_EQ(customers.size(), 1u);
  EXPECT_EQ(customers[0].id, r.Detail->field("ListID").GetValue());
  EXPECT_NE(customers[0].ret.find("<Name>Ann  Lee</Name>"), std::string::npos);
}

TEST_F(CompanyFileTest, NamesAreUniqueWithinTheirNameSpaceWhateverTheCase) {
  struct Case {
    const char* name;
    std::function<void(MsgSetRequest&)> first, second;
    int status;
  };
  const Case cases[] = {
      {"customer twice", [](MsgSetRequest& rq) { addCustomer(rq, "Ann Lee"); },
       [](MsgSetRequest& rq) { addCustomer(rq, "ann lee"); }, 3100},
      {"vendor after customer", [](MsgSetRequest& rq) { addCustomer(rq, "Tech Data"); },
       [](MsgSetRequest& rq) { rq.AppendVendorAddRq().Name.SetValue("TECH DATA"); }, 3100},
      {"non-inventory after inventory", [](MsgSetRequest& rq) { addInventoryItem(rq, "CV-1"); },
       [](MsgSetRequest& rq) { addNonInventoryItem(rq, "cv-1"); }, 3100},
      {"item named like a customer", [](MsgSetRequest& rq) { addCustomer(rq, "Widget"); },
       [](MsgSetRequest& rq) { addInventoryItem(rq, "Widget"); }, 0},
      {"other letters of the same word", [](MsgSetRequest& rq) { addCustomer(rq, "Muller"); },
       [](MsgSetRequest& rq) { addCustomer(rq, "M\xC3\xBCller"); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(one(c.first).StatusCode, 0);
    Response second = one(c.second);
    EXPECT_EQ(second.StatusCode, c.status);
    if (c.status == 3100) {
      EXPECT_EQ(second.StatusSeverity, "Error");
      EXPECT_FALSE(second.Detail);
      EXPECT_TRUE(second.StatusMessage.starts_with("The name \"")) << second.StatusMessage;
      EXPECT_TRUE(second.StatusMessage.ends_with("\" of the list element is already in use."));
    }
  }
  EXPECT_EQ(one([](MsgSetRequest& rq) { addCustomer(rq, "ann lee"); }).StatusMessage,
            "The name \"ann lee\" of the list element is already in use.");
}

TEST_F(CompanyFileTest, TextsLongerThanTheirFieldsAreRefused) {
  struct Case {
    const char* field;
    size_t limit;
    std::function<void(MsgSetRequest&, const std::string&, int)> set;
  };
  auto customer = [](const std::function<void(qbxml::CustomerAdd&, const std::string&)>& f) {
    return [f](MsgSetRequest& rq, const std::string& v, int n) {
      qbxml::CustomerAdd& c = rq.AppendCustomerAddRq();
      c.Name.SetValue("Customer " + std::to_string(n));
      f(c, v);
    };
  };
  const Case cases[] = {
      {"Name", 41, [](MsgSetRequest& rq, const std::string& v, int) { addCustomer(rq, v); }},
      {"Name", 41,
       [](MsgSetRequest& rq, const std::string& v, int) {
         rq.AppendVendorAddRq().Name.SetValue(v);
       }},
      {"Name", 31, [](MsgSetRequest& rq, const std::string& v, int) { addInventoryItem(rq, v); }},
      {"Name", 31,
       [](MsgSetRequest& rq, const std::string& v, int) { addNonInventoryItem(rq, v); }},
      {"City", 31,
       customer([](qbxml::CustomerAdd& c, auto& v) { c.BillAddress.City.SetValue(v); })},
      {"State", 21,
       customer([](qbxml::CustomerAdd& c, auto& v) { c.BillAddress.State.SetValue(v); })},
      {"PostalCode", 13,
       customer([](qbxml::CustomerAdd& c, auto& v) { c.BillAddress.PostalCode.SetValue(v); })},
      {"Addr1", 41,
       customer([](qbxml::CustomerAdd& c, auto& v) { c.BillAddress.Addr1.SetValue(v); })},
      {"Phone", 21, customer([](qbxml::CustomerAdd& c, auto& v) { c.Phone.SetValue(v); })},
      {"Fax", 21, customer([](qbxml::CustomerAdd& c, auto& v) { c.Fax.SetValue(v); })},
      {"FirstName", 25, customer([](qbxml::CustomerAdd& c, auto& v) { c.FirstName.SetValue(v); })},
      {"MiddleName", 5, customer([](qbxml::CustomerAdd& c, auto& v) { c.MiddleName.SetValue(v); })},
      {"CompanyName", 41,
       customer([](qbxml::CustomerAdd& c, auto& v) { c.CompanyName.SetValue(v); })},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + std::to_string(c.limit));
    // Characters are counted, not bytes: the longest text allowed is mostly two-byte letters,
    // ending in a digit that keeps the names of the cases apart.
    std::string fits;
    for (size_t i = 0; i + 1 < c.limit; ++i) fits += i % 2 ? "a" : "\xC3\xBC";
    fits += std::to_string(n % 10);
    Response ok = one([&](MsgSetRequest& rq) { c.set(rq, fits, ++n); });
    EXPECT_EQ(ok.StatusCode, 0) << ok.StatusMessage;
    const std::string tooLong = std::string(c.limit + 1, 'x');
    Response refused = one([&](MsgSetRequest& rq) { c.set(rq, tooLong, ++n); });
    EXPECT_EQ(refused.StatusCode, 3070);
    EXPECT_FALSE(refused.Detail);
    EXPECT_NE(
        refused.StatusMessage.find("in the field \"" + std::string(c.field) + "\" is too long."),
        std::string::npos)
        << refused.StatusMessage;
  }
}

TEST_F(CompanyFileTest, ReferencesThatNameNothingAreRefused) {
  ASSERT_EQ(one([](MsgSetRequest& rq) { addCustomer(rq, "Ann Lee"); }).StatusCode, 0);
  struct Case {
    const char* name;
    std::function<void(MsgSetRequest&)> fill;
    const char* message;
  };
  const Case cases[] = {
      {"income account",
       [](MsgSetRequest& rq) {
         qbxml::ItemInventoryAdd& it = rq.AppendItemInventoryAddRq();
         it.Name.SetValue("CV-2");
         it.IncomeAccountRef.FullName.SetValue("Income");
         it.COGSAccountRef.FullName.SetValue("Cost of Goods Sold");
         it.AssetAccountRef.FullName.SetValue("Current Asset");
       },
       "There is an invalid reference to QuickBooks Account \"Income\" in the ItemInventory.  "
       "QuickBooks error message: Invalid argument.  The specified record does not exist in "
       "the list."},
      {"terms",
       [](MsgSetRequest& rq) {
         qbxml::CustomerAdd& c = rq.AppendCustomerAddRq();
         c.Name.SetValue("Bo Dee");
         c.TermsRef.FullName.SetValue("Net 99");
       },
       "There is an invalid reference to QuickBooks Terms \"Net 99\" in the Customer.  "
       "QuickBooks error message: Invalid argument.  The specified record does not exist in "
       "the list."},
      {"a vendor named as a customer",
       [](MsgSetRequest& rq) {
         qbxml::InvoiceAdd& inv = rq.AppendInvoiceAddRq();
         inv.CustomerRef.FullName.SetValue("Tech Data");
         inv.ORInvoiceLineAddList.Append().InvoiceLineAdd.Desc.SetValue("x");
       },
       "There is an invalid reference to QuickBooks Customer \"Tech Data\" in the Invoice.  "
       "QuickBooks error message: Invalid argument.  The specified record does not exist in "
       "the list."},
      {"an item on a line",
       [](MsgSetRequest& rq) {
         qbxml::InvoiceAdd& inv = rq.AppendInvoiceAddRq();
         inv.CustomerRef.FullName.SetValue("Ann Lee");
         inv.ORInvoiceLineAddList.Append().InvoiceLineAdd.ItemRef.FullName.SetValue("NOPE");
       },
       "There is an invalid reference to QuickBooks Item \"NOPE\" in the Invoice.  QuickBooks "
       "error message: Invalid argument.  The specified record does not exist in the list."},
  };
  ASSERT_EQ(
      one([](MsgSetRequest& rq) { rq.AppendVendorAddRq().Name.SetValue("Tech Data"); }).StatusCode,
      0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Response r = one(c.fill);
    EXPECT_EQ(r.StatusCode, 3140);
    EXPECT_EQ(r.StatusMessage, c.message);
    EXPECT_FALSE(r.Detail);
  }
  CompanyFile f(file_);
  EXPECT_EQ(f.count("ItemInventory"), 0);
  EXPECT_EQ(f.count("Invoice"), 0);
  EXPECT_EQ(names(f, {"Customer"}), std::vector<std::string>{"Ann Lee"});
}

TEST_F(CompanyFileTest, MissingOrBlankNameAndBadValuesAreRefusedWithTheirStatus) {
  struct Case {
    const char* name;
    std::function<void(MsgSetRequest&)> fill;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"inventory item without a name",
       [](MsgSetRequest& rq) {
         qbxml::ItemInventoryAdd& it = rq.AppendItemInventoryAddRq();
         it.SalesDesc.SetValue("no name");
         it.IncomeAccountRef.FullName.SetValue("Sales");
       },
       3080, "The required field \"Name\" is missing."},
      {"customer named by blanks", [](MsgSetRequest& rq) { addCustomer(rq, "  "); }, 3080,
       "The required field \"Name\" is missing."},
      {"customer without a name",
       [](MsgSetRequest& rq) { rq.AppendCustomerAddRq().Phone.SetValue("1"); }, 3080,
       "The required field \"Name\" is missing."},
      {"inventory item without its asset account",
       [](MsgSetRequest& rq) {
         qbxml::ItemInventoryAdd& it = rq.AppendItemInventoryAddRq();
         it.Name.SetValue("A1");
         it.IncomeAccountRef.FullName.SetValue("Sales");
         it.COGSAccountRef.FullName.SetValue("Cost of Goods Sold");
       },
       3080, "The required field \"AssetAccountRef\" is missing."},
      {"invoice without lines",
       [](MsgSetRequest& rq) { rq.AppendInvoiceAddRq().CustomerRef.FullName.SetValue("Ann"); },
       3180,
       "There was an error when saving an Invoice.  QuickBooks error message: Transaction is "
       "empty."},
      {"ListID that is none",
       [](MsgSetRequest& rq) {
         qbxml::CustomerAdd& c = rq.AppendCustomerAddRq();
         c.Name.SetValue("Cy");
         c.TermsRef.ListID.SetValue("zz");
       },
       3000, "The given object ID \"zz\" in the field \"ListID\" is invalid."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Response r = one(c.fill);
    EXPECT_EQ(r.StatusCode, c.status);
    EXPECT_EQ(r.StatusMessage, c.message);
    EXPECT_EQ(r.StatusSeverity, "Error");
  }
}

TEST_F(CompanyFileTest, InvoicesAreStoredWithTheirLinesAndReferences) {
  auto rs = send([](MsgSetRequest& rq) {
    addCustomer(rq, "Jane M Porter");
    addInventoryItem(rq, "WK-200");
    qbxml::InvoiceAdd& inv = rq.AppendInvoiceAddRq();
    inv.CustomerRef.FullName.SetValue("jane m porter");
    inv.RefNumber.SetValue("S10001");
    inv.TxnDate.SetValue(2026, 11, 2);
    inv.ShipMethodRef.FullName.SetValue("UPS");
    qbxml::InvoiceLineAdd& a = inv.ORInvoiceLineAddList.Append().InvoiceLineAdd;
    a.ItemRef.FullName.SetValue("WK-200");
    a.Quantity.SetValue(2);
    a.Amount.SetValue(19);
    qbxml::InvoiceLineAdd& b = inv.ORInvoiceLineAddList.Append().InvoiceLineAdd;
    b.Desc.SetValue("Handling");
    b.Quantity.SetValue(1);
    b.Rate.SetValue(4.5);
  });
  ASSERT_EQ(rs->ResponseList.Count(), 3u);
  const Response& r = rs->ResponseList.GetAt(2);
  ASSERT_EQ(r.StatusCode, 0) << r.StatusMessage;
  EXPECT_TRUE(
      std::regex_match(r.Detail->field("TxnID").GetValue(), std::regex("[0-9A-F]+-[0-9]{10}")));
  EXPECT_EQ(r.Detail->field("RefNumber").GetValue(), "S10001");
  EXPECT_EQ(r.Detail->field("CustomerRef/FullName").GetValue(), "Jane M Porter");
  EXPECT_EQ(r.Detail->field("CustomerRef/ListID").GetValue(),
            rs->ResponseList.GetAt(0).Detail->field("ListID").GetValue());
  EXPECT_EQ(r.Detail->field("TxnDate").GetValue(), "2026-11-02");
  EXPECT_EQ(r.Detail->field("Subtotal").GetValue(), "23.50");
  const qbxml::RetObject::Node& ret = r.Detail->root();
  int lines = 0;
  for (const auto& child : ret.children) lines += child.name == "InvoiceLineRet";
  EXPECT_EQ(lines, 2);
  CompanyFile f(file_);
  EXPECT_EQ(names(f, {"Invoice"}), std::vector<std::string>{"S10001"});
}

TEST_F(CompanyFileTest, InvoiceQueryFindsAnInvoiceByItsReferenceNumber) {
  auto added = send([](MsgSetRequest& rq) {
    addCustomer(rq, "Jane M Porter");
    qbxml::InvoiceAdd& inv = rq.AppendInvoiceAddRq();
    inv.CustomerRef.FullName.SetValue("Jane M Porter");
    inv.RefNumber.SetValue("S10001");
    qbxml::InvoiceLineAdd& a = inv.ORInvoiceLineAddList.Append().InvoiceLineAdd;
    a.Desc.SetValue("Handling");
    a.Amount.SetValue(4.5);
  });
  const std::string txn = added->ResponseList.GetAt(1).Detail->field("TxnID").GetValue();
  const Response found =
      one([](MsgSetRequest& rq) { rq.AppendInvoiceQueryRq().RefNumber.SetValue("S10001"); });
  ASSERT_EQ(found.StatusCode, 0) << found.StatusMessage;
  EXPECT_EQ(found.Detail->field("TxnID").GetValue(), txn);
  EXPECT_FALSE(found.Detail->field("InvoiceLineRet").IsSet());  // lines only when asked for
  const Response withLines = one([](MsgSetRequest& rq) {
    qbxml::InvoiceQuery& q = rq.AppendInvoiceQueryRq();
    q.RefNumber.SetValue("S10001");
    q.IncludeLineItems.SetValue(true);
  });
  EXPECT_EQ(withLines.Detail->field("InvoiceLineRet/Desc").GetValue(), "Handling");
  const Response none =
      one([](MsgSetRequest& rq) { rq.AppendInvoiceQueryRq().RefNumber.SetValue("S99999"); });
  EXPECT_EQ(none.StatusCode, 1);
  EXPECT_EQ(none.StatusSeverity, "Info");
  EXPECT_EQ(none.StatusMessage, "A query request did not find a matching object in QuickBooks");
  EXPECT_FALSE(none.Detail);
}

TEST_F(CompanyFileTest, StopOnErrorLeavesTheLaterRequestsUnanswered) {
  ASSERT_EQ(one([](MsgSetRequest& rq) { addCustomer(rq, "Taken"); }).StatusCode, 0);
  auto fill = [](MsgSetRequest& rq) {
    addCustomer(rq, "Taken");
    addCustomer(rq, "Fresh 1");
  };
  EXPECT_EQ(send(fill, qbxml::roeStop)->ResponseList.Count(), 1u);
  auto both = send(
      [](MsgSetRequest& rq) {
        addCustomer(rq, "Taken");
        addCustomer(rq, "Fresh 2");
      },
      qbxml::roeContinue);
  ASSERT_EQ(both->ResponseList.Count(), 2u);
  EXPECT_EQ(both->ResponseList.GetAt(1).StatusCode, 0);
  EXPECT_EQ(both->ResponseList.GetAt(1).requestID, "2");
}

TEST_F(CompanyFileTest, TextsQuickBooksCannotParseRefuseTheWholeSet) {
  const std::string head = "<?xml version=\"1.0\"?><?qbxml version=\"2.0\"?>";
  const std::string good =
      "<CustomerAddRq requestID=\"1\"><CustomerAdd><Name>Good</Name></CustomerAdd>"
      "</CustomerAddRq>";
  auto set = [&](const std::string& requests) {
    return head + "<QBXML><QBXMLMsgsRq onError=\"continueOnError\">" + good + requests +
           "</QBXMLMsgsRq></QBXML>";
  };
  struct Case {
    const char* name;
    std::string text;
    int32_t error;
    const char* detail;
  };
  const Case cases[] = {
      {"not XML", "this is not XML", qbxml::kErrQbParse, "No document element found"},
      {"no qbxml instruction",
       "<QBXML><QBXMLMsgsRq onError=\"stopOnError\">" + good + "</QBXMLMsgsRq></QBXML>",
       qbxml::kErrQbParse, "<?qbxml version=\"...\"?> instruction is missing"},
      {"version unknown to the file",
       "<?qbxml version=\"3.0\"?><QBXML><QBXMLMsgsRq onError=\"stopOnError\">" + good +
           "</QBXMLMsgsRq></QBXML>",
       qbxml::kErrQbVersion, "(3.0)"},
      {"no onError", head + "<QBXML><QBXMLMsgsRq>" + good + "</QBXMLMsgsRq></QBXML>",
       qbxml::kErrQbParse, "onError must be"},
      {"rollbackOnError",
       head + "<QBXML><QBXMLMsgsRq onError=\"rollbackOnError\">" + good + "</QBXMLMsgsRq></QBXML>",
       qbxml::kErrQbParse, "onError must be"},
      {"elements out of order",
       set("<CustomerAddRq><CustomerAdd><Name>B</Name><LastName>L</LastName>"
           "<FirstName>F</FirstName></CustomerAdd></CustomerAddRq>"),
       qbxml::kErrQbParse,
       "the element FirstName is unknown, repeated or out of order in CustomerAddRq/CustomerAdd"},
      {"unknown element",
       set("<VendorAddRq><VendorAdd><Name>V</Name><Shoe>9</Shoe></VendorAdd></VendorAddRq>"),
       qbxml::kErrQbParse, "the element Shoe is unknown"},
      {"repeated element",
       set("<VendorAddRq><VendorAdd><Name>V</Name><Name>W</Name></VendorAdd></VendorAddRq>"),
       qbxml::kErrQbParse, "the element Name is unknown, repeated"},
      {"address out of order",
       set("<CustomerAddRq><CustomerAdd><Name>C</Name><BillAddress><City>X</City>"
           "<Addr1>1</Addr1></BillAddress></CustomerAdd></CustomerAddRq>"),
       qbxml::kErrQbParse, "in CustomerAddRq/CustomerAdd/BillAddress"},
      {"an element inside a value",
       set("<VendorAddRq><VendorAdd><Name><b>V</b></Name></VendorAdd></VendorAddRq>"),
       qbxml::kErrQbParse, "the value VendorAddRq/VendorAdd/Name holds elements"},
      {"a request without its body", set("<VendorAddRq requestID=\"2\"/>"), qbxml::kErrQbParse,
       "VendorAddRq holds no VendorAdd"},
      {"something that is no request", set("<Hello/>"), qbxml::kErrQbParse,
       "Hello is not a request"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      raw(c.text);
      ADD_FAILURE() << "answered";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), c.error);
      EXPECT_NE(e.description().find(c.detail), std::string::npos) << e.description();
      if (c.error == qbxml::kErrQbParse) {
        EXPECT_TRUE(e.description().starts_with(
            "QuickBooks found an error when parsing the provided XML text stream."));
      }
    }
  }
  // Nothing of a refused set was stored, not even its first, valid request.
  CompanyFile f(file_);
  EXPECT_EQ(f.count("Customer"), 0);
  // A request the simulator does not answer is a status, not a refusal of the set.
  std::string answer = raw(set("<CustomerQueryRq requestID=\"2\"/>"));
  EXPECT_NE(answer.find("statusCode=\"1030\""), std::string::npos) << answer;
  EXPECT_EQ(f.count("Customer"), 1);
}

TEST_F(CompanyFileTest, NamesWithMarkupAndLettersAreStoredAsSent) {
  const std::string tricky[] = {
      "O'Kane & <Sons>",
      "\"Quoted\" Ltd.",
      "M\xC3\xBCller \xC3\x98stergaard",
      "\xE6\x9D\xB1\xE4\xBA\xAC \xE5\x95\x86\xE4\xBA\x8B",
      "a]]>b",
  };
  for (const std::string& name : tricky) {
    SCOPED_TRACE(name);
    Response r = one([&](MsgSetRequest& rq) { addCustomer(rq, name); });
    ASSERT_EQ(r.StatusCode, 0) << r.StatusMessage;
    EXPECT_EQ(r.Detail->field("Name").GetValue(), name);
    CompanyFile f(file_);
    ASSERT_TRUE(f.findByName("Name", name, "Customer"));
  }
}

TEST_F(CompanyFileTest, SessionsAreCountedInTheFileUntilTheyEnd) {
  EXPECT_EQ(openSessionCount(file_), 0);
  {
    QBSessionManager m(makeSimulatorTransport());
    m.OpenConnection("", "tests");
    m.BeginSession(file_, qbxml::omDontCare);
    EXPECT_EQ(openSessionCount(file_), 1);
    QBSessionManager second(makeSimulatorTransport(file_));
    second.OpenConnection("", "tests");
    second.BeginSession("", qbxml::omDontCare);  // the file QuickBooks has open
    EXPECT_EQ(openSessionCount(file_), 2);
    second.EndSession();
    EXPECT_EQ(openSessionCount(file_), 1);
  }
  EXPECT_EQ(openSessionCount(file_), 0);

  // A session whose process has ended does not count.
  CompanyFile f(file_);
  f.exec("INSERT INTO sessions VALUES ('{dead}', 2147483646, 'gone', 2, 'then')");
  EXPECT_EQ(f.openSessions(), 0);
}

TEST_F(CompanyFileTest, BeginningASessionOnNoFileFailsLikeQuickBooks) {
  struct Case {
    const char* name;
    std::string file;
    std::string openFile;
    int32_t error;
    std::string description;
  };
  fs::create_directories(dir_ + "/folder.qbw");
  std::ofstream(dir_ + "/notes.qbw") << "not a company file";
  const Case cases[] = {
      {"missing file", dir_ + "/missing.qbw", "", qbxml::kErrQbCompanyFile,
       "Could not open the specified QuickBooks company data file " + dir_ +
           "/missing.qbw: the file does not exist."},
      {"a folder", dir_ + "/folder.qbw", "", qbxml::kErrQbCompanyFile,
       "Could not open the specified QuickBooks company data file " + dir_ +
           "/folder.qbw: the file does not exist."},
      {"not a company file", dir_ + "/notes.qbw", "", qbxml::kErrQbCompanyFile,
       "Could not open the specified QuickBooks company data file " + dir_ +
           "/notes.qbw: it is not a company file."},
      {"no name, no open file", "", "", qbxml::kErrQbNoFileOpen,
       "If QuickBooks is not running, a call to the BeginSession method must include the name "
       "of the QuickBooks company data file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QBSessionManager m(makeSimulatorTransport(c.openFile));
    m.OpenConnection("", "tests");
    try {
      m.BeginSession(c.file, qbxml::omDontCare);
      ADD_FAILURE() << "began";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), c.error);
      EXPECT_EQ(e.description(), c.description);
      EXPECT_EQ(e.source(), "qbsim");
    }
    EXPECT_FALSE(m.sessionOpen());
  }
  EXPECT_FALSE(fs::exists(dir_ + "/missing.qbw"));
}

}  // namespace
}  // namespace kestrin::qbsim

// The qbXML layer: request texts (golden files, well-formed for xmllint), value forms, escaping,
// response parsing and the session manager's call order.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>

#include "kestrin/error.h"
#include "kestrin/qbxml.h"
#include "qbxml_writer.h"
#include "site_fixture.h"

namespace kestrin::qbxml {
namespace {

using testing::errorNumberOf;
using testing::expectGolden;

// Runs xmllint --noout on `text`; returns its exit status and what it said.
std::pair<int, std::string> xmllint(const std::string& text) {
  testing::TempDir temp("qbxml-lint");
  const std::string file = temp.path() + "/request.xml";
  std::ofstream(file, std::ios::binary) << text;
  testing::CommandResult r = testing::runCommand({"xmllint", "--noout", file});
  return {r.status, r.err};
}

struct GoldenCase {
  const char* golden;
  std::function<void(MsgSetRequest&)> fill;
};

// The requests the exports send, filled as they fill them.
const GoldenCase kGoldenCases[] = {
    {"accounting/golden/host_query.xml", [](MsgSetRequest& rq) { rq.AppendHostQueryRq(); }},
    {"accounting/golden/invoice_query.xml",
     [](MsgSetRequest& rq) { rq.AppendInvoiceQueryRq().RefNumber.SetValue("S10001"); }},
    {"accounting/golden/customer_add.xml",
     [](MsgSetRequest& rq) {
       CustomerAdd& c = rq.AppendCustomerAddRq();
       c.Name.SetValue("Ann  Lee");
       c.BillAddress.Addr1.SetValue("418 Larch Street");
       c.BillAddress.City.SetValue("");
       c.BillAddress.State.SetValue("OR");
       c.BillAddress.PostalCode.SetValue("97412");
       c.BillAddress.Country.SetValue("USA");
       c.Phone.SetValue("(541) 555-0117");
       c.Email.SetValue("ann@example.com");
       c.FirstName.SetValue("Ann");
       c.MiddleName.SetValue("");
       c.LastName.SetValue("Lee");
       c.CompanyName.SetValue("O'Kane & <Sons>");
     }},
    {"accounting/golden/item_inventory_add.xml",
     [](MsgSetRequest& rq) {
       ItemInventoryAdd& it = rq.AppendItemInventoryAddRq();
       it.SalesDesc.SetValue("Corvane 4TB NAS drive, 5400 rpm");
       it.PurchaseDesc.SetValue("Corvane 4TB NAS drive, 5400 rpm");
       it.Name.SetValue("CV-4000N");
       it.QuantityOnHand.SetValue(12);
       it.SalesPrice.SetValue(89.5);
       it.PurchaseCost.SetValue(89.5);
       it.IsActive.SetValue(true);
       it.IncomeAccountRef.FullName.SetValue("Sales");
       it.COGSAccountRef.FullName.SetValue("Cost of Goods Sold");
       it.AssetAccountRef.FullName.SetValue("Current Asset");
     }},
    {"accounting/golden/item_non_inventory_add.xml",
     [](MsgSetRequest& rq) {
       ItemNonInventoryAdd& it = rq.AppendItemNonInventoryAddRq();
       SalesAndPurchase& group = it.ORSalesPurchase.SalesAndPurchase;
       group.SalesDesc.SetValue("Cat6 patch cable, 2 m");
       it.Name.SetValue("Cat6 patch cable, 2 m");
       group.SalesPrice.SetValue(3.25);
       group.PurchaseCost.SetValue(3.25);
       it.IsActive.SetValue(true);
       group.IncomeAccountRef.FullName.SetValue("Sales");
       group.ExpenseAccountRef.FullName.SetValue("Other Expenses");
     }},
    {"accounting/golden/vendor_add.xml",
     [](MsgSetRequest& rq) { rq.AppendVendorAddRq().Name.SetValue("Northbridge Distribution"); }},
    {"accounting/golden/invoice_add.xml",
     [](MsgSetRequest& rq) {
       // Filled in the order the link server fills it; written in the schema's order.
       InvoiceAdd& inv = rq.AppendInvoiceAddRq();
       inv.CustomerRef.FullName.SetValue("Jane M Porter");
       inv.RefNumber.SetValue("S10001");
       inv.TxnDate.SetValue(2026, 11, 2);
       inv.IsPending.SetValue(true);
       inv.PONumber.SetValue("PO-77");
       inv.ShipDate.SetValue(2026, 11, 3);
       inv.ShipMethodRef.FullName.SetValue("UPS");
       inv.BillAddress.Addr1.SetValue("418 Larch Street");
       inv.ShipAddress.Addr1.SetValue("418 Larch Street");
       inv.ShipAddress.Country.SetValue("USA");
       inv.ShipAddress.PostalCode.SetValue("97412");
       InvoiceLineAdd& line = inv.ORInvoiceLineAddList.Append().InvoiceLineAdd;
       line.Quantity.SetValue(2);
       line.Amount.SetValue(19);
       line.Desc.SetValue("Wireless keyboard");
       line.ItemRef.FullName.SetValue("WK-200");
       line.OverrideItemAccountRef.FullName.SetValue("Sales");
     }},
};

TEST(QbXmlRequestTest, RequestTextsMatchTheirGoldenFilesAndAreWellFormed) {
  for (const GoldenCase& c : kGoldenCases) {
    SCOPED_TRACE(c.golden);
    MsgSetRequest rq(2, 0);
    rq.Attributes.OnError = roeContinue;
    c.fill(rq);
    const std::string text = rq.ToXMLString();
    expectGolden(c.golden, text);
    auto [status, said] = xmllint(text);
    EXPECT_EQ(status, 0) << said;
  }
}

TEST(QbXmlRequestTest, HeaderCarriesTheSetsVersionAndOnError) {
  struct Case {
    int major, minor;
    ENRqOnError onError;
    const char* head;
  };
  const Case cases[] = {
      {1, 0, roeStop,
       "<?qbxml version=\"1.0\"?>\n<QBXML>\n  <QBXMLMsgsRq onError=\"stopOnError\">"},
      {1, 1, roeContinue,
       "<?qbxml version=\"1.1\"?>\n<QBXML>\n  <QBXMLMsgsRq onError=\"continueOnError\">"},
      {2, 0, roeRollback,
       "<?qbxml version=\"2.0\"?>\n<QBXML>\n  <QBXMLMsgsRq onError=\"rollbackOnError\">"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    MsgSetRequest rq(c.major, c.minor);
    rq.Attributes.OnError = c.onError;
    rq.AppendHostQueryRq();
    rq.AppendVendorAddRq().Name.SetValue("V");
    const std::string text = rq.ToXMLString();
    EXPECT_EQ(text.find("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"), 0u) << text;
    EXPECT_NE(text.find(c.head), std::string::npos) << text;
    EXPECT_NE(text.find("<HostQueryRq requestID=\"1\""), std::string::npos);
    EXPECT_NE(text.find("<VendorAddRq requestID=\"2\">"), std::string::npos);
  }
  // The session manager writes 1.0, 1.1 and 2.0 only; a 2.1 QuickBooks is sent 2.0.
  EXPECT_EQ(errorNumberOf([] { MsgSetRequest(2, 1); }), kErrQbVersion);
  EXPECT_EQ(errorNumberOf([] { MsgSetRequest(3, 0); }), kErrQbVersion);
}

TEST(QbXmlRequestTest, TextsAreEscapedAndMadeSafeForXml) {
  struct Case {
    const char* name;
    std::string value;
    std::string written;
  };
  const Case cases[] = {
      {"markup", "A&B <C> \"D\" 'E'", "A&amp;B &lt;C&gt; \"D\" 'E'"},
      {"UTF-8 letters", "M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC",
       "M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC"},
      {"Latin-1 byte", "M\xFCller", "M\xC3\xBCller"},
      {"control characters",
       std::string("a\x01"
                   "b\x1F"
                   "c\td",
                   7),
       "abc\td"},
      {"NUL", std::string("a\0b", 3), "ab"},
      {"truncated sequence", "caf\xC3", "caf\xC3\x83"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MsgSetRequest rq(2, 0);
    rq.AppendVendorAddRq().Name.SetValue(c.value);
    const std::string text = rq.ToXMLString();
    EXPECT_NE(text.find("<Name>" + c.written + "</Name>"), std::string::npos) << text;
    EXPECT_EQ(xmllint(text).first, 0) << text;
  }
}

TEST(QbXmlRequestTest, NumbersAndDatesTakeTheirQbXmlForms) {
  struct Case {
    NumberType::Form form;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {NumberType::Form::Amount, 19, "19.00"},    {NumberType::Form::Amount, 0.5, "0.50"},
      {NumberType::Form::Amount, -0.001, "0.00"}, {NumberType::Form::Amount, 2048.125, "2048.12"},
      {NumberType::Form::Price, 9.5, "9.50"},     {NumberType::Form::Price, 1.234567, "1.23457"},
      {NumberType::Form::Price, 100, "100.00"},   {NumberType::Form::Quantity, 2, "2"},
      {NumberType::Form::Quantity, 2.5, "2.5"},   {NumberType::Form::Quantity, -3, "-3"},
  };
  InvoiceLineAdd line;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    NumberType& field = c.form == NumberType::Form::Amount  ? static_cast<NumberType&>(line.Amount)
                        : c.form == NumberType::Form::Price ? static_cast<NumberType&>(line.Rate)
                                                            : line.Quantity;
    field.SetValue(c.value);
    EXPECT_EQ(field.text(), c.text);
  }
  EXPECT_EQ(errorNumberOf([&] { line.Amount.SetValue(std::nan("")); }), kErrInvalidCall);
  EXPECT_EQ(errorNumberOf([&] { line.ServiceDate.SetValue(2026, 2, 29); }), kErrInvalidCall);
  line.ServiceDate.SetValue(2028, 2, 29);
  EXPECT_EQ(line.ServiceDate.GetValue(), "2028-02-29");
  EXPECT_EQ(errorNumberOf([&] { line.Desc.GetValue(); }), kErrInvalidCall);
}

TEST(QbXmlRequestTest, ChoiceWithBothAlternativesSetIsRefused) {
  MsgSetRequest rq(2, 0);
  ItemNonInventoryAdd& it = rq.AppendItemNonInventoryAddRq();
  it.Name.SetValue("X");
  it.ORSalesPurchase.SalesOrPurchase.Desc.SetValue("one");
  EXPECT_NE(rq.ToXMLString().find("<SalesOrPurchase>"), std::string::npos);
  it.ORSalesPurchase.SalesAndPurchase.SalesDesc.SetValue("two");
  EXPECT_EQ(errorNumberOf([&] { rq.ToXMLString(); }), kErrInvalidCall);
}

TEST(QbXmlResponseTest, ResponsesAreReadWithTheirStatusAndRecord) {
  auto set = parseResponse(
      "<?xml version=\"1.0\" ?><QBXML><QBXMLMsgsRs>"
      "<CustomerAddRs requestID=\"1\" statusCode=\"0\" statusSeverity=\"Info\" "
      "statusMessage=\"Status OK\"><CustomerRet><ListID>80000013-1765432100</ListID>"
      "<Name>Ann  Lee &amp; Co</Name><BillAddress><City> </City></BillAddress>"
      "</CustomerRet></CustomerAddRs>"
      "<VendorAddRs requestID=\"2\" statusCode=\"3100\" statusSeverity=\"Error\" "
      "statusMessage=\"The name &quot;V&quot; of the list element is already in use.\"/>"
      "<HostQueryRs statusCode=\"0\"><HostRet><SupportedQBXMLVersion>1.0"
      "</SupportedQBXMLVersion><SupportedQBXMLVersion>2.1</SupportedQBXMLVersion></HostRet>"
      "</HostQueryRs></QBXMLMsgsRs></QBXML>");
  ASSERT_EQ(set->ResponseList.Count(), 3u);
  const Response& added = set->ResponseList.GetAt(0);
  EXPECT_EQ(added.Type, "CustomerAddRs");
  EXPECT_EQ(added.StatusCode, 0);
  ASSERT_TRUE(added.Detail);
  EXPECT_EQ(added.Detail->type(), "CustomerRet");
  EXPECT_EQ(added.Detail->field("ListID").GetValue(), "80000013-1765432100");
  EXPECT_EQ(added.Detail->field("Name").GetValue(), "Ann  Lee & Co");
  EXPECT_EQ(added.Detail->field("BillAddress/City").GetValue(), " ");
  EXPECT_FALSE(added.Detail->field("Phone").IsSet());
  EXPECT_EQ(errorNumberOf([&] { added.Detail->field("Phone").GetValue(); }), kErrInvalidCall);

  const Response& refused = set->ResponseList.GetAt(1);
  EXPECT_EQ(refused.StatusCode, 3100);
  EXPECT_EQ(refused.StatusSeverity, "Error");
  EXPECT_EQ(refused.StatusMessage, "The name \"V\" of the list element is already in use.");
  EXPECT_FALSE(refused.Detail);

  RetList versions = set->ResponseList.GetAt(2).Detail->list("SupportedQBXMLVersion");
  ASSERT_EQ(versions.Count(), 2u);
  EXPECT_EQ(versions.GetAt(1), "2.1");
  EXPECT_EQ(errorNumberOf([&] { set->ResponseList.GetAt(3); }), kErrQbResponse);
}

TEST(QbXmlResponseTest, TextThatIsNotQbXmlIsAnErrorNotACrash) {
  struct Case {
    const char* name;
    std::string text;
    const char* says;
  };
  const Case cases[] = {
      {"empty", "", "No document element found at offset 0"},
      {"not XML", "Internal Server Error", "No document element found"},
      {"cut short", "<QBXML><QBXMLMsgsRs><CustomerAddRs statusCode=\"0\">", " at offset "},
      {"other XML", "<html><body>hello</body></html>", "no QBXML/QBXMLMsgsRs"},
      {"no status", "<QBXML><QBXMLMsgsRs><CustomerAddRs requestID=\"1\"/></QBXMLMsgsRs></QBXML>",
       "CustomerAddRs carries no statusCode"},
      {"status not a number",
       "<QBXML><QBXMLMsgsRs><CustomerAddRs statusCode=\"OK\"/></QBXMLMsgsRs></QBXML>",
       "statusCode \"OK\", which is not a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      parseResponse(c.text);
      ADD_FAILURE() << "parsed";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrQbResponse);
      EXPECT_NE(e.description().find(c.says), std::string::npos) << e.description();
      EXPECT_EQ(e.description().find("QuickBooks answered with a response that is not valid "
                                     "qbXML: "),
                0u);
    }
  }
  std::string deep = "<QBXML><QBXMLMsgsRs><CustomerAddRs statusCode=\"0\"><CustomerRet>";
  for (int i = 0; i < 100; ++i) deep += "<a>";
  for (int i = 0; i < 100; ++i) deep += "</a>";
  deep += "</CustomerRet></CustomerAddRs></QBXMLMsgsRs></QBXML>";
  EXPECT_EQ(errorNumberOf([&] { parseResponse(deep); }), kErrQbResponse);
}

// A transport that answers from a script and records the calls it gets.
class ScriptedTransport : public Transport {
 public:
  explicit ScriptedTransport(std::vector<std::string>* calls) : calls_(calls) {}
  void openConnection(const std::string& appID, const std::string& appName) override {
    calls_->push_back("open " + appID + "/" + appName);
  }
  std::string beginSession(const std::string& file, ENOpenMode mode) override {
    calls_->push_back("begin " + file + " " + std::to_string(mode));
    return "T1";
  }
  std::string processRequest(const std::string& ticket, const std::string&) override {
    calls_->push_back("request " + ticket);
    return "<QBXML><QBXMLMsgsRs><HostQueryRs statusCode=\"0\"/></QBXMLMsgsRs></QBXML>";
  }
  void endSession(const std::string& ticket) override { calls_->push_back("end " + ticket); }
  void closeConnection() override { calls_->push_back("close"); }

 private:
  std::vector<std::string>* calls_;
};

TEST(QbSessionManagerTest, CallsOutOfOrderAreRefused) {
  std::vector<std::string> calls;
  QBSessionManager m(std::make_unique<ScriptedTransport>(&calls));
  auto rq = m.CreateMsgSetRequest(2, 0);
  rq->AppendHostQueryRq();
  EXPECT_EQ(errorNumberOf([&] { m.BeginSession("f", omDontCare); }), kErrQbSequence);
  EXPECT_EQ(errorNumberOf([&] { m.DoRequests(*rq); }), kErrQbSequence);
  EXPECT_EQ(errorNumberOf([&] { m.EndSession(); }), kErrQbSequence);
  m.OpenConnection("FENWIX", "FENWIX");
  EXPECT_EQ(errorNumberOf([&] { m.OpenConnection("FENWIX", "FENWIX"); }), kErrQbSequence);
  m.BeginSession("f", omDontCare);
  EXPECT_EQ(errorNumberOf([&] { m.CloseConnection(); }), kErrQbSequence);
  EXPECT_EQ(m.DoRequests(*rq)->ResponseList.GetAt(0).Type, "HostQueryRs");
  m.EndSession();
  m.CloseConnection();
  EXPECT_EQ(calls, (std::vector<std::string>{"open FENWIX/FENWIX", "begin f 2", "request T1",
                                             "end T1", "close"}));
}

TEST(QbSessionManagerTest, DestructionEndsAnOpenSessionAndClosesTheConnection) {
  std::vector<std::string> calls;
  {
    QBSessionManager m(std::make_unique<ScriptedTransport>(&calls));
    m.OpenConnection("", "FENWIX");
    m.BeginSession("", omSingleUser);
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"open /FENWIX", "begin  0", "end T1", "close"}));
}

}  // namespace
}  // namespace kestrin::qbxml

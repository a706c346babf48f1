// The price-and-availability message, byte for byte, and the reading of its answer.
#include "kestrin/panda.h"

#include <gtest/gtest.h>

#include "peers.h"
#include "site_fixture.h"

namespace kestrin::testing {
namespace {

std::string blanks(size_t n) { return std::string(n, ' '); }

// A part's 587-character answer area with the given text at a position counted from 1.
struct AreaWriter {
  std::string area = blanks(587);
  AreaWriter& at(size_t position, const std::string& text) {
    area.replace(position - 1, text.size(), text);
    return *this;
  }
};

// A server that keeps each request and answers it with `reply(request)`.
struct CapturingServer {
  explicit CapturingServer(std::function<std::string(const std::string&)> reply)
      : server([this, reply](int fd) {
          std::string request;
          while (LoopbackServer::readExactly(fd, request, kPandAMessageLength)) {
            requests.push_back(request);
            if (!LoopbackServer::writeAll(fd, reply(request))) return;
          }
        }) {}
  std::vector<std::string> requests;
  LoopbackServer server;
};

TEST(PandATest, RequestOfOnePartIsByteExact) {
  CapturingServer peer([](const std::string& request) { return request; });
  PandA request;
  auto trans = std::make_shared<Transaction>();
  trans->Server = peer.server.address();
  request.setTrans(trans);
  Part& first = request.Parts()(1);
  first.PartNumber = "ABC123";
  first.QtyToCheck = "1";
  first.TotalAvailable = "Y";
  request.Transact();

  ASSERT_EQ(peer.requests.size(), 1u);
  const std::string& sent = peer.requests[0];
  const std::string header = "7369IMLUP777  " + blanks(4) + blanks(2) + blanks(6) + blanks(10) +
                             "3LUIIMDT" + blanks(1) + blanks(2) + blanks(6) + blanks(10);
  ASSERT_EQ(header.size(), 63u);
  std::string expected = header + "INVABC123" + blanks(6) + "0001Y" + blanks(24) + blanks(687);
  // 731 characters: the six request fields take 44, the rest is blank.
  for (int i = 2; i <= 10; ++i) expected += "INV" + blanks(12) + "0000" + blanks(712);
  expected += '\0';
  EXPECT_EQ(sent.size(), 7374u);
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(trans->ReturnCode, blanks(4));  // an echo leaves the answer's header blank
}

TEST(PandATest, HeaderCarriesTheAccount) {
  Transaction t;
  t.CustomerNumber = "123456";
  t.CustomerBranch = "20";
  t.Password = "SECRET";
  t.Region = "P";
  t.SelectSourceBranch = "1";
  t.SelectSourceNumber = "7654321";  // cut to six
  EXPECT_EQ(t.CreateHeader(" 12 ", "LUIIX"),
            "0012IMLUP777      20123456SECRET    3LUIIMDP 1 765432" + blanks(10));
}

TEST(PandATest, RequestRecordWidths) {
  struct Case {
    const char* name;
    std::string partNumber, qty, expectedStart;
    size_t length;
  };
  const Case cases[] = {
      {"untouched part", blanks(12), blanks(4), "INV" + blanks(12) + "0000" + blanks(5), 731},
      {"fifteen characters cut to twelve", "ABCDEFGHIJKLMNO", "2", "INVABCDEFGHIJKL0002", 731},
      {"five-digit quantity written whole", "X", "12345", "INVX" + blanks(11) + "12345 ", 732},
      {"quantity trimmed before filling", "X", " 7 ", "INVX" + blanks(11) + "0007", 731},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Part p;
    p.PartNumber = c.partNumber;
    p.QtyToCheck = c.qty;
    const std::string record = p.CreatePart().text();
    EXPECT_EQ(record.size(), c.length);
    EXPECT_EQ(record.substr(0, c.expectedStart.size()), c.expectedStart);
  }
  Part p;
  p.GovtProgramType = "G";
  p.GovtEndUserType = "EUX";
  p.ManufacturerPartNo = "MFG-1";
  EXPECT_EQ(p.CreatePart().text().substr(19, 25), " G EUMFG-1" + blanks(15));
}

TEST(PandATest, WarehouseLinesAreSummedSkippingMinusLines) {
  const std::string area = AreaWriter()
                               .at(3, "01 0000012")
                               .at(13, "02-0000005")
                               .at(23, "03 00 3  ")   // blanks inside are ignored: 3
                               .at(33, "04        ")  // blanks alone count 0
                               .area;
  Part asked;
  asked.TotalAvailable = "Y";
  asked.ParsePart(area);
  EXPECT_EQ(asked.Available, "15");
  EXPECT_EQ(asked.Quantities(2).WarehouseNumber, Variant("02"));
  EXPECT_EQ(asked.Quantities(2).QtyAvailableSign, Variant("-"));
  EXPECT_EQ(asked.Quantities(2).QtyAvailable, Variant("0000005"));

  Part notAsked;
  notAsked.ParsePart(area);
  EXPECT_EQ(notAsked.Available, "");

  Part twelve;
  twelve.TotalAvailable = "Y";
  twelve.ParsePart(AreaWriter().at(3, "01 0000012").at(13, "02-0000005").area);
  EXPECT_EQ(twelve.Available, "12");
}

TEST(PandATest, AnswerFieldsComeFromTheirPositions) {
  const std::string area = AreaWriter()
                               .at(1, " Q")
                               .at(203, "      123.45 USD ")
                               .at(220, "S")
                               .at(221, "0007JAN123")  // line 1 on order and ETA
                               .at(411, "0099DEC311")  // line 20
                               .at(421, "FOREIGN-CURRENCY!")
                               .at(438, "2")
                               .at(439, "MFG-PART-CODE-123456")
                               .at(459, "A description of 24 char")
                               .at(483, "V042")
                               .at(487, "R")
                               .area;
  Part p;
  p.ParsePart(area);
  struct Field {
    const char* name;
    std::string actual, expected;
  };
  const Field fields[] = {
      {"ResponseFlag", p.ResponseFlag, " "},
      {"ErrorType", p.ErrorType, "Q"},
      {"LocalCurrencyPrice", p.LocalCurrencyPrice, "      123.45 USD "},
      {"SpecialPrice", p.SpecialPrice, "S"},
      {"QtyOnOrder 1", p.Quantities(1).QtyOnOrder.text(), "0007"},
      {"ETA 1", p.Quantities(1).ETA.text(), "JAN123"},
      {"QtyOnOrder 20", p.Quantities(20).QtyOnOrder.text(), "0099"},
      {"ETA 20", p.Quantities(20).ETA.text(), "DEC311"},
      {"ForiegnCurrency", p.ForiegnCurrency, "FOREIGN-CURRENCY!"},
      {"PartNumberOccurs", p.PartNumberOccurs, "2"},
      {"MfgPartCode", p.MfgPartCode, "MFG-PART-CODE-123456"},
      {"Line1Description", p.Line1Description, "A description of 24 char"},
      {"VendorNumber", p.VendorNumber, "V042"},
      {"ReserveInvFlag", p.ReserveInvFlag, "R"},
      {"QtyAvailable 3", p.Quantities(3).QtyAvailable.text(), blanks(7)},
  };
  for (const Field& f : fields) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(f.actual, f.expected);
  }
}

TEST(PandATest, ResponseCodesTranslateOnlyWithFlagE) {
  struct Case {
    const char* answer;
    const char* expected;
  };
  const Case cases[] = {
      {"EN", "Part number not found / not in Ingram database."},
      {"ED", "Discontinued part number."},
      {"EJ", "Password incorrect."},
      {"EY", "Invalid or missing system ID."},
      {"  ", "earlier"},  // a blank flag leaves the description as it was
      {"EZ", "earlier"},  // an unknown code too
      {"BT", "earlier"},  // held by the client but never translated: the flag is not E
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Part p;
    p.ErrorDescription = "earlier";
    p.ParsePart(AreaWriter().at(1, c.answer).area);
    EXPECT_EQ(p.ErrorDescription, c.expected);
  }
}

TEST(PandATest, ShortOrHostileAnswersAreCutNotRejected) {
  Part p;
  p.TotalAvailable = "Y";
  p.ParsePart("E");
  EXPECT_EQ(p.ResponseFlag, "E");
  EXPECT_EQ(p.ErrorType, "");
  EXPECT_EQ(p.Available, "0");
  EXPECT_EQ(p.ReserveInvFlag, "");

  std::string binary(587, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 37);
  EXPECT_NO_THROW(p.ParsePart(binary));

  // A quantity written with an exponent cannot be held by the running total.
  EXPECT_EQ(errorNumberOf([] {
              Part q;
              q.ParsePart(AreaWriter().at(3, "01 1E+9999").area);
            }),
            kErrOverflow);
}

TEST(PandATest, SessionErrors) {
  Transaction t;
  try {
    t.CloseClient();
    FAIL() << "CloseClient without a session must fail";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C352));
    EXPECT_EQ(e.description(), "Server not opened.");
  }
  std::string message = "x";
  try {
    t.CallServer(message);
    FAIL() << "CallServer without a session must fail";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C352));
    EXPECT_EQ(e.description(), "Server not opened -- PClient:***0***");
  }

  int freePort;
  {
    freePort = LoopbackServer([](int) {}).port();
  }  // nothing listens there any more
  t.Server = "127.0.0.1:" + std::to_string(freePort);
  try {
    t.OpenClient();
    FAIL() << "OpenClient without a server must fail";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C351));
    EXPECT_EQ(e.description(), "Open failed.");
  }
  t.Region = "";
  EXPECT_EQ(errorNumberOf([&] { t.OpenClient(); }), kErrInvalidCall);

  PandA noTransaction;
  EXPECT_EQ(errorNumberOf([&] { noTransaction.Transact(); }), kErrObjectNotSet);
  EXPECT_EQ(errorNumberOf([&] { noTransaction.Parts()(11); }), kErrSubscript);
  EXPECT_EQ(errorNumberOf([&] { noTransaction.Parts()(0); }), kErrSubscript);
}

TEST(PandATest, PartsCanBeReplacedAsAWhole) {
  auto shared = std::make_shared<PartList>();
  shared->operator()(3).PartNumber = "SHARED";
  PandA request;
  request.setParts(shared);
  EXPECT_EQ(request.Parts()(3).PartNumber, "SHARED");
  request.Parts()(3).PartNumber = "CHANGED";
  EXPECT_EQ((*shared)(3).PartNumber, "CHANGED");
}

}  // namespace
}  // namespace kestrin::testing

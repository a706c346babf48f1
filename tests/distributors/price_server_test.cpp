// The price-and-availability client against a server on loopback: the ingram simulator, and
// servers that misbehave (silent, closing early, answering garbage).
#include <gtest/gtest.h>

#include "distributors/imdsi.h"
#include "kestrin/ecat.h"
#include "kestrin/panda.h"
#include "peers.h"
#include "site_fixture.h"

namespace kestrin::testing {
namespace {

const char* const kStock =
    "# part,warehouse,quantity,price,description\n"
    "IM-100,10,4,19.95,Cable\n"
    "IM-100,20,-2,19.95,Cable\n"
    "IM-100,30,3,19.95,Cable\n"
    "IM-200,10,0,5.00\n";

// The ingram simulator on a free port, with a stock file of its own.
class IngramSimulator {
 public:
  explicit IngramSimulator(const std::vector<std::string>& extra = {}) {
    writeFile(folder_.path() + "/stock.csv", kStock);
    std::vector<std::string> args = {"--stock", folder_.path() + "/stock.csv", "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    process_ = std::make_unique<ChildProcess>(INGRAM_SIMULATOR_PATH, args);
    port_ = portIn(process_->readLine());
  }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  int port() const { return port_; }

 private:
  TempFolder folder_;
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
};

// Short time-outs for the servers that never answer; restored afterwards.
class ShortTimeouts {
 public:
  ShortTimeouts() : saved_(imdsi::timeouts()) {
    imdsi::setTimeouts({std::chrono::milliseconds(2000), std::chrono::milliseconds(300)});
  }
  ~ShortTimeouts() { imdsi::setTimeouts(saved_); }

 private:
  imdsi::Timeouts saved_;
};

int32_t callServerStatus(const std::string& server, std::string* description = nullptr) {
  PandA request;
  auto trans = std::make_shared<Transaction>();
  trans->Server = server;
  trans->Password = "TOPSECRET";
  request.setTrans(trans);
  request.Parts()(1).PartNumber = "IM-100";
  try {
    request.Transact();
  } catch (const Error& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

TEST(PriceServerTest, TransactReadsTheSimulatorsAnswer) {
  IngramSimulator simulator;
  ASSERT_NE(simulator.port(), 0);
  PandA request;
  auto trans = std::make_shared<Transaction>();
  trans->Server = simulator.address();
  request.setTrans(trans);
  request.Parts()(1).PartNumber = "im-100";
  request.Parts()(1).TotalAvailable = "Y";
  request.Parts()(1).QtyToCheck = "1";
  request.Parts()(2).PartNumber = "NOPE";
  request.Transact();

  EXPECT_EQ(trans->ReturnCode, "0000");
  EXPECT_EQ(trans->ErrorType, " ");
  const Part& first = request.Parts()(1);
  EXPECT_EQ(first.ResponseFlag, " ");
  EXPECT_EQ(first.Available, "7");  // 4 + 3; the owing warehouse is skipped
  EXPECT_EQ(first.Quantities(2).QtyAvailableSign, Variant("-"));
  EXPECT_EQ(first.LocalCurrencyPrice, "            19.95");
  EXPECT_EQ(first.Line1Description, "Cable" + std::string(19, ' '));
  EXPECT_EQ(request.Parts()(2).ErrorDescription, "Part number not found / not in Ingram database.");
  EXPECT_EQ(request.Parts()(3).ResponseFlag, " ");  // not asked, not answered
}

TEST(PriceServerTest, OneSessionCarriesSeveralExchanges) {
  IngramSimulator simulator;
  PandA request;
  auto trans = std::make_shared<Transaction>();
  trans->Server = simulator.address();
  request.setTrans(trans);
  request.Parts()(1).TotalAvailable = "Y";
  trans->OpenClient();
  request.Parts()(1).PartNumber = "IM-100";
  request.CallServer();
  EXPECT_EQ(request.Parts()(1).Available, "7");
  request.Parts()(1).PartNumber = "IM-200";
  request.CallServer();
  EXPECT_EQ(request.Parts()(1).Available, "0");
  trans->CloseClient();
  EXPECT_NE(trans->PClient, 0);  // keeps its value
  std::string message(kPandAMessageLength - 1, ' ');
  EXPECT_EQ(errorNumberOf([&] { trans->CallServer(message); }),
            static_cast<int32_t>(0x8004C353));  // that session is over
}

TEST(PriceServerTest, AccountIsCheckedBySimulator) {
  IngramSimulator simulator({"--customer", "123456", "--password", "SECRET"});
  PandA request;
  auto trans = std::make_shared<Transaction>();
  trans->Server = simulator.address();
  trans->CustomerNumber = "123456";
  trans->Password = "WRONG";
  request.setTrans(trans);
  request.Parts()(1).PartNumber = "IM-100";
  request.Transact();
  EXPECT_EQ(request.Parts()(1).ErrorDescription, "Password incorrect.");
}

TEST(PriceServerTest, MisbehavingServersGiveClearFailures) {
  ShortTimeouts shortTimeouts;
  struct Case {
    const char* name;
    LoopbackServer::Handler handler;
    const char* status;  // the status in "CallServer failed: N ***"
  };
  const Case cases[] = {
      {"never answers",
       [](int fd) {
         std::string request;
         LoopbackServer::readExactly(fd, request, kPandAMessageLength);
         LoopbackServer::waitForClose(fd);
       },
       "4"},
      {"closes after half an answer",
       [](int fd) {
         std::string request;
         LoopbackServer::readExactly(fd, request, kPandAMessageLength);
         LoopbackServer::writeAll(fd, request.substr(0, 3000));
       },
       "5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(c.handler);
    std::string description;
    EXPECT_EQ(callServerStatus(server.address(), &description), static_cast<int32_t>(0x8004C353));
    const std::string start = std::string("CallServer failed: ") + c.status + " ***";
    EXPECT_EQ(description.substr(0, start.size()), start);
    // The request is quoted, its password masked.
    EXPECT_NE(description.find("***7369IMLUP777"), std::string::npos);
    EXPECT_EQ(description.find("TOPSECRET"), std::string::npos);
    EXPECT_NE(description.find("**********3LUII"), std::string::npos);
  }
}

TEST(PriceServerTest, GarbageAnswerIsCutIntoFields) {
  LoopbackServer server([](int fd) {
    std::string request;
    LoopbackServer::readExactly(fd, request, kPandAMessageLength);
    std::string garbage(kPandAMessageLength, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(0x80 + i % 50);
    LoopbackServer::writeAll(fd, garbage);
  });
  EXPECT_EQ(callServerStatus(server.address()), 0);
}

TEST(PriceServerTest, ServerNamesAndMessages) {
  struct Case {
    const char* server;
    bool valid;
    const char* host;
    const char* port;
  };
  const Case cases[] = {
      {"ingram.example.com", true, "ingram.example.com", "7374"},
      {"127.0.0.1:9000", true, "127.0.0.1", "9000"},
      {"[::1]:9000", true, "::1", "9000"},
      {"[::1]", true, "::1", "7374"},
      {"", false, "", ""},
      {":9000", false, "", ""},
      {"host:", false, "", ""},
      {"host:0", false, "", ""},
      {"host:65536", false, "", ""},
      {"host:12a", false, "", ""},
      {"::1", false, "", ""},
      {"[::1", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    std::string host, port;
    ASSERT_EQ(imdsi::splitServer(c.server, host, port), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
  }
  EXPECT_EQ(imdsi::Open_Client("", 'P'), 0);
  EXPECT_EQ(imdsi::Open_Client(nullptr, 'P'), 0);

  IngramSimulator simulator;
  const int32_t client = imdsi::Open_Client(simulator.address().c_str(), 'P');
  ASSERT_NE(client, 0);
  std::string shortMessage(100, 'x');
  EXPECT_EQ(imdsi::Call_Server(client, shortMessage.data()), imdsi::kStatusBadMessage);
  EXPECT_EQ(shortMessage, std::string(100, 'x'));
  EXPECT_EQ(imdsi::Call_Server(client + 1000, shortMessage.data()), imdsi::kStatusUnknownClient);
  imdsi::Close_Client(client);
  imdsi::Close_Client(client);  // a closed handle is ignored
}

// getQty in a site whose preferences name the server and the account.
class GetQtyTest : public SiteTest {
 protected:
  std::string qty(const std::string& part) {
    cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
    cat.strR = "page so far";
    std::string result = cat.getQty(part);
    EXPECT_EQ(cat.strR, "page so far");
    cat.closedb();
    return result;
  }
  eCat cat;
};

TEST_F(GetQtyTest, SumsTheWarehousesOfAKnownPart) {
  IngramSimulator simulator({"--customer", "654321", "--branch", "20", "--password", "pw"});
  site.setPreference("imServer", simulator.address());
  site.setPreference("imCustomerNumber", "654321");
  site.setPreference("imBranch", "20");
  site.setPreference("imPassword", "pw");
  EXPECT_EQ(qty("IM-100"), "7");
  EXPECT_EQ(qty("IM-200"), "0");
  EXPECT_EQ(qty("UNKNOWN"), "Error");
  EXPECT_FALSE(currentError().isSet());  // an unknown part is an answer, not a failure

  site.setPreference("imPassword", "other");
  EXPECT_EQ(qty("IM-100"), "Error");
}

TEST_F(GetQtyTest, ServerDownOrUnsetGivesError) {
  EXPECT_EQ(qty("IM-100"), "Error");  // no server preference
  EXPECT_EQ(currentError().number, static_cast<int32_t>(0x8004C351));

  int freePort;
  {
    freePort = LoopbackServer([](int) {}).port();
  }
  site.setPreference("imServer", "127.0.0.1:" + std::to_string(freePort));
  EXPECT_EQ(qty("IM-100"), "Error");
  EXPECT_EQ(currentError().description, "Open failed.");

  // Without an open session the preferences cannot be read.
  EXPECT_EQ(cat.getQty("IM-100"), "Error");
}

}  // namespace
}  // namespace kestrin::testing

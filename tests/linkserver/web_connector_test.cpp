// The Web Connector service: a small client speaks its SOAP, as QuickBooks' Web
// Connector does, and answers each request from the company-file simulator.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <thread>

#include "company_file.h"
#include "link_server.h"
#include "request_processor.h"
#include "site_fixture.h"
#include "web_connector.h"

namespace kestrin::linkserver {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::Database;
using testing::SiteFixture;

// One HTTP exchange with the service on 127.0.0.1; the whole answer, head and
// body.
std::string httpExchange(uint16_t port, const std::string& request) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return {};
  }
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buf[8192];
  for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) answer.append(buf, n);
  ::close(fd);
  return answer;
}

// The Web Connector's side of the conversation.
class WebConnectorClient {
 public:
  explicit WebConnectorClient(uint16_t port) : port_(port) {}

  // Calls an operation and returns the texts of its result (one, or the strings
  // of an array).
  std::vector<std::string> call(const std::string& op,
                                const std::vector<std::pair<std::string, std::string>>& params) {
    pugi::xml_document doc;
    pugi::xml_node env = doc.append_child("soap:Envelope");
    env.append_attribute("xmlns:soap") = "http://schemas.xmlsoap.org/soap/envelope/";
    pugi::xml_node rq = env.append_child("soap:Body").append_child(op.c_str());
    rq.append_attribute("xmlns") = "http://developer.intuit.com/";
    for (const auto& [name, value] : params) {
      rq.append_child(name.c_str()).text().set(value.c_str());
    }
    std::ostringstream body;
    doc.save(body, "", pugi::format_raw);
    const std::string answer =
        httpExchange(port_,
                     "POST /qbwc HTTP/1.1\r\nHost: localhost\r\nContent-Type: "
                     "text/xml; charset=utf-8\r\n"
                     "SOAPAction: \"http://developer.intuit.com/" +
                         op + "\"\r\nContent-Length: " + std::to_string(body.str().size()) +
                         "\r\n\r\n" + body.str());
    status = answer.substr(0, answer.find("\r\n"));
    pugi::xml_document rs;
    rs.load_string(answer.substr(answer.find("\r\n\r\n") + 4).c_str());
    pugi::xml_node result = rs.document_element()
                                .child("soap:Body")
                                .child((op + "Response").c_str())
                                .child((op + "Result").c_str());
    std::vector<std::string> values;
    if (result.child("string")) {
      for (pugi::xml_node s : result.children("string")) values.push_back(s.child_value());
    } else {
      values.push_back(result.child_value());
    }
    return values;
  }

  // Logs in as the site until the service has work for it (the export has begun); the ticket
  // and the company file to use ("" for the open one), or "none" when it never came.
  std::vector<std::string> authenticateOnceThereIsWork() {
    std::vector<std::string> auth;
    for (int i = 0; i < 200; ++i) {
      auth = call("authenticate", {{"strUserName", "kestrin"}, {"strPassword", "tolvaro27"}});
      if (auth.at(1) != "none") break;
      std::this_thread::sleep_for(20ms);
    }
    return auth;
  }

  std::string status;  // the HTTP status line of the last call

 private:
  uint16_t port_;
};

class WebConnectorTest : public testing::SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    const std::string dir = fs::canonical(site.dir()).string();
    companyFile = dir + "/company.qbw";
    qbsim::createCompanyFile(companyFile);
    logDir = dir + "/logs/";
    fs::create_directories(logDir);
    fs::create_directories(dir + "/drop");
    site.exec(Database::Main,
              "INSERT INTO customer (customerid, fname, lname) "
              "VALUES ('C1', 'Ann', 'Lee'), "
              "('C2', 'Bo', 'Dee')");
  }

  LinkServerConfig config(WebConnectorQueue& queue) {
    LinkServerConfig c;
    c.home = site.dir();
    c.transport = [&queue](const std::string&) {
      return std::make_unique<WebConnectorTransport>(queue);
    };
    c.exporting = [&queue](bool running) { running ? queue.exportStarted() : queue.exportEnded(); };
    return c;
  }

  std::string companyFile, logDir;
};

class NullSink : public StatusSink {
 public:
  void append(const std::string&) override {}
  void banner(const std::string&) override {}
};

TEST_F(WebConnectorTest, AnExportReachesQuickBooksThroughTheWebConnector) {
  WebConnectorQueue queue(60s);
  WebConnectorService service(queue, {SiteFixture::kSiteId, SiteFixture::kPassword});
  service.requestWait = 100ms;
  service.followWait = 500ms;
  service.start(0);
  WebConnectorClient wc(service.port());
  EXPECT_EQ(wc.call("serverVersion", {}), std::vector<std::string>{"FENWIX 1.0"});
  EXPECT_EQ(wc.call("clientVersion", {{"strVersion", "2.3.0.215"}}), std::vector<std::string>{""});
  // Nothing to do yet; a wrong password is no valid user.
  auto idle = wc.call("authenticate", {{"strUserName", "kestrin"}, {"strPassword", "tolvaro27"}});
  ASSERT_EQ(idle.size(), 2u);
  EXPECT_EQ(idle[1], "none");
  EXPECT_EQ(wc.call("authenticate", {{"strUserName", "kestrin"}, {"strPassword", "x"}})[1], "nvu");

  NullSink sink;
  FileDropFolder folder(site.dir() + "/drop");
  LinkServer server(config(queue), folder, sink);
  std::string status;
  std::thread exporter([&] {
    status = server.runExport({SiteFixture::kSiteId, SiteFixture::kPassword, logDir, "exCustomer"});
  });

  // The Web Connector's loop: authenticate, then take requests and bring
  // answers until done.
  std::vector<std::string> auth = wc.authenticateOnceThereIsWork();
  ASSERT_EQ(auth.at(1), "");  // the company file QuickBooks has open
  const std::string ticket = auth[0];
  int answered = 0, noOps = 0;
  for (int progress = 0; progress != 100;) {
    std::string request = wc.call("sendRequestXML", {{"ticket", ticket},
                                                     {"strHCPResponse", ""},
                                                     {"strCompanyFileName", ""},
                                                     {"qbXMLCountry", "US"},
                                                     {"qbXMLMajorVers", "13"},
                                                     {"qbXMLMinorVers", "0"}})
                              .at(0);
    if (request.empty()) {
      EXPECT_EQ(wc.call("getLastError", {{"ticket", ticket}}).at(0), "NoOp");
      ASSERT_LT(++noOps, 100);
      continue;
    }
    qbsim::CompanyFile file(companyFile);
    const std::string response = qbsim::processRequest(file, request);
    progress = std::stoi(
        wc.call("receiveResponseXML",
                {{"ticket", ticket}, {"response", response}, {"hresult", ""}, {"message", ""}})
            .at(0));
    ++answered;
  }
  EXPECT_EQ(wc.call("closeConnection", {{"ticket", ticket}}).at(0), "OK");
  exporter.join();
  EXPECT_EQ(status, "Passed");
  EXPECT_EQ(answered, 4);  // a host query and an add for each customer
  qbsim::CompanyFile file(companyFile);
  EXPECT_TRUE(file.findByName("Name", "Ann  Lee"));
  EXPECT_TRUE(file.findByName("Name", "Bo  Dee"));
  EXPECT_TRUE(fs::exists(logDir + "ExportCustomerToQBLog.txt"));
}

TEST_F(WebConnectorTest, NoAnswerOrAnErrorOfQuickBooksFailsTheExport) {
  WebConnectorQueue queue(1s);
  WebConnectorService service(queue, {SiteFixture::kSiteId, SiteFixture::kPassword});
  service.requestWait = 100ms;
  service.start(0);
  NullSink sink;
  FileDropFolder folder(site.dir() + "/drop");
  LinkServer server(config(queue), folder, sink);
  // Nobody polls: the export gives up after its time-out.
  std::string status =
      server.runExport({SiteFixture::kSiteId, SiteFixture::kPassword, logDir, "exCustomer"});
  EXPECT_TRUE(status.starts_with("Failed ::Export All Customers to QB :: ")) << status;
  EXPECT_TRUE(status.ends_with("The Web Connector did not answer within 1 seconds")) << status;

  // The Web Connector cannot reach QuickBooks: the export ends with what it
  // reported.
  WebConnectorClient wc(service.port());
  std::thread exporter([&] {
    status = server.runExport({SiteFixture::kSiteId, SiteFixture::kPassword, logDir, "exCustomer"});
  });
  std::vector<std::string> auth = wc.authenticateOnceThereIsWork();
  for (int i = 0; i < 50 && wc.call("sendRequestXML", {{"ticket", auth[0]}}).at(0).empty(); ++i) {
  }
  EXPECT_EQ(wc.call("connectionError", {{"ticket", auth[0]},
                                        {"hresult", "0x80040408"},
                                        {"message", "Could not start QuickBooks."}})
                .at(0),
            "done");
  exporter.join();
  EXPECT_TRUE(
      status.ends_with("The Web Connector reported: The Web Connector cannot reach "
                       "QuickBooks: 0x80040408 Could not start QuickBooks."))
      << status;
  EXPECT_TRUE(fs::is_empty(logDir));
}

TEST_F(WebConnectorTest, CallsThatAreNoSoapOrUnknownAreFaults) {
  WebConnectorQueue queue(1s);
  WebConnectorService service(queue, {SiteFixture::kSiteId, SiteFixture::kPassword});
  service.start(0);
  WebConnectorClient wc(service.port());
  wc.call("launchMissiles", {});
  EXPECT_EQ(wc.status, "HTTP/1.1 500 Internal Server Error");
  const std::string garbage = "\x01<not xml";
  std::string answer = httpExchange(
      service.port(), "POST / HTTP/1.1\r\nContent-Length: " + std::to_string(garbage.size()) +
                          "\r\n\r\n" + garbage);
  EXPECT_TRUE(answer.starts_with("HTTP/1.1 500")) << answer;
  EXPECT_NE(answer.find("<faultstring>The request is not XML</faultstring>"), std::string::npos);
  // A ticket that was never given out gets nothing.
  EXPECT_EQ(wc.call("sendRequestXML", {{"ticket", "forged"}}).at(0), "");
  EXPECT_EQ(wc.call("getLastError", {{"ticket", "forged"}}).at(0), "Unknown ticket");
}

TEST(QwcFileTest, NamesTheServiceTheSiteAndStableIds) {
  const std::string qwc = qwcFile("kestrin", "https://shop.example.com/qbwc");
  testing::expectGolden("linkserver/golden/kestrin.qwc", qwc);
  EXPECT_EQ(qwc, qwcFile("kestrin", "https://shop.example.com/qbwc"));
  EXPECT_NE(qwcFile("other", "https://shop.example.com/qbwc").find("<UserName>other</UserName>"),
            std::string::npos);
}

}  // namespace
}  // namespace kestrin::linkserver

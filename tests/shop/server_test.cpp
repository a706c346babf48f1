// kestrin-shop as a process on the demo site: pages in the layout, static files, the access
// log, the limits and the failure pages, keep-alive, slow clients and a graceful stop.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "shop_process.h"
#include "site_fixture.h"

namespace kestrin::testing {
namespace {

class ShopServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new SiteFixture(true); }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }
  static SiteFixture* site_;
};
SiteFixture* ShopServerTest::site_ = nullptr;

TEST_F(ShopServerTest, CatalogPagesComeInTheLayout) {
  ShopProcess shop(site_->dir());
  struct Case {
    const char* target;
    const char* expected;  // a piece of the engine's fragment
  };
  const Case cases[] = {
      {"/", "c_2.asp?image=6&amp;group=B1"},
      {"/default.asp", "<td colspan=2 class=\"grp\">STORAGE</td>"},
      {"/c_1.asp?group=Storage", "c_2.asp?image=6&amp;group=B1"},
      {"/c_2.asp?image=6&group=B1", "c_3.asp?image=6&category=010&group=B1&featured=False"},
      {"/c_3.asp?image=6&category=010&group=B1&featured=False", "c_4b.asp?featured=False"},
      {"/c_4b.asp?group=B1&category=010&page=2", "c_4b.asp?group=B1&category=010"},
      {"/C_4B.ASP?GROUP=B1&CATEGORY=010", "c_final.asp?featured="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    HttpReply r = shop.get(c.target);
    EXPECT_EQ(r.status, 200) << r.body.substr(0, 500);
    EXPECT_EQ(r.header("content-type"), "text/html; charset=utf-8");
    EXPECT_NE(r.body.find(c.expected), std::string::npos);
    // The layout: the seven main categories, the manufacturer menu, the footer.
    EXPECT_NE(r.body.find("<a class=\"link\" href=\"c_1.asp?group=Training\">Training</a>"),
              std::string::npos);
    EXPECT_NE(r.body.find("All&nbsp;MANUFACTURERS"), std::string::npos);
    EXPECT_NE(r.body.find("<div class=\"footer\">"), std::string::npos);
    EXPECT_TRUE(r.body.ends_with("</html>\n"));
  }
  std::string log = shop.accessLog();
  EXPECT_NE(log.find("\"GET /c_4b.asp?group=B1&category=010&page=2 HTTP/1.1\" 200 "),
            std::string::npos)
      << log;
  EXPECT_EQ(log.rfind("127.0.0.1 - - [", 0), 0u) << log;
}

TEST_F(ShopServerTest, ManufacturerPages) {
  ShopProcess shop(site_->dir());
  std::string code = site_->value(Database::Main,
                                  "select vend_code from manuf where vend_code in (select "
                                  "vend_code from products) order by vend_code limit 1");
  HttpReply r = shop.get("/c_4manu.asp?manufacturer=" + code);
  EXPECT_EQ(r.status, 200);
  EXPECT_NE(r.body.find("c_4manu.asp?manufacturer=" + code + "&page="), std::string::npos);
  HttpReply missing = shop.get("/c_4manu.asp?manufacturer=NOSUCH");
  EXPECT_EQ(missing.status, 404);
  EXPECT_NE(missing.body.find("There is no manufacturer \"NOSUCH\"."), std::string::npos);
}

TEST_F(ShopServerTest, StaticFilesAreServedByNameWithoutCase) {
  ShopProcess shop(site_->dir());
  struct Case {
    const char* target;
    const char* type;
    const char* magic;
  };
  const Case cases[] = {
      {"/images/bullet.gif", "image/gif", "GIF8"},
      {"/IMAGES/OPENBOX.GIF", "image/gif", "GIF8"},
      {"/images/magglass.jpg", "image/jpeg", "\xff\xd8"},
      {"/style.css", "text/css; charset=utf-8", "/*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    HttpReply r = shop.get(c.target);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-type"), c.type);
    EXPECT_EQ(r.body.rfind(c.magic, 0), 0u);
  }
  std::string picture =
      site_->value(Database::Main, "select picture from pictures order by id limit 1");
  EXPECT_EQ(shop.get("/images/special/" + picture).status, 200);
  EXPECT_EQ(shop.get("/images/../../kestrin.ini").status, 404);
  EXPECT_EQ(shop.get("/kestrin.db").status, 404);
}

TEST_F(ShopServerTest, ThePictureWindowShowsOnePicture) {
  ShopProcess shop(site_->dir());
  HttpReply r = shop.get("/viewpicture.asp?picture=KS-100007_1.jpg");
  EXPECT_EQ(r.status, 200);
  EXPECT_NE(r.body.find("<img src=\"images/special/KS-100007_1.jpg\""), std::string::npos);
  EXPECT_EQ(shop.get("/viewpicture.asp?picture=../kestrin.ini").status, 400);
  EXPECT_EQ(shop.get("/viewpicture.asp?picture=%22%3E%3Cscript%3E").status, 400);
}

TEST_F(ShopServerTest, UnknownPagesGive404InTheLayout) {
  ShopProcess shop(site_->dir());
  HttpReply r = shop.get("/nosuch.asp?x=1");
  EXPECT_EQ(r.status, 404);
  EXPECT_NE(r.body.find("There is no page /nosuch.asp in this shop."), std::string::npos);
  EXPECT_NE(r.body.find("c_1.asp?group=Systems"), std::string::npos);
  EXPECT_EQ(shop.get("/c_1.asp?group=systems").status, 404);
}

TEST_F(ShopServerTest, ValuesAPageCannotUseGive400) {
  ShopProcess shop(site_->dir());
  for (const char* target :
       {"/c_4b.asp?group=B1&category=010&page=abc", "/c_4b.asp?group=B1&category=010&page=40000",
        "/c_2.asp?group=B1&featured=maybe"}) {
    SCOPED_TRACE(target);
    HttpReply r = shop.get(target);
    EXPECT_EQ(r.status, 400);
    EXPECT_NE(r.body.find("cannot be used here"), std::string::npos);
  }
}

TEST_F(ShopServerTest, RequestsOverOneMegabyteAreRefused) {
  ShopProcess shop(site_->dir());
  std::string big(1024 * 1024 + 1, 'x');
  HttpReply r = shop.post("/admin.asp", "action=logon&password=" + big);
  EXPECT_EQ(r.status, 413);
  EXPECT_NE(r.body.find("larger than 1 MB"), std::string::npos);
  // A large header block is refused too.
  HttpReply h =
      sendRaw(shop.port(),
              "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(200 * 1024, 'y') + "\r\n\r\n");
  EXPECT_EQ(h.status, 431);
  // Just under the limit is read and answered (here refused for its missing token).
  HttpReply ok = shop.post("/admin.asp", "action=logon&password=" + std::string(1000000, 'x'));
  EXPECT_EQ(ok.status, 403);
}

TEST_F(ShopServerTest, AChangeMadeElsewhereShowsInTheNextPage) {
  SiteFixture own(true);
  ShopProcess shop(own.dir());
  ASSERT_EQ(shop.get("/c_2.asp?group=B1").status, 200);
  // Another program changes the site's title and colour scheme in the database.
  const std::string change =
      "UPDATE preferences SET descr='Kestrel Parts Depot' WHERE items='siteTitle'; "
      "DELETE FROM preferences WHERE items='colorSchema'; "
      "INSERT INTO preferences (items, descr) VALUES ('colorSchema', 'brick')";
  if (own.backend() == Backend::SQLite) {
    CommandResult r = runCommand({"sqlite3", own.dbFile(Database::Main), change});
    ASSERT_EQ(r.status, 0) << r.err;
  } else {
    own.exec(Database::Main, change);
  }
  HttpReply next = shop.get("/c_2.asp?group=B1");
  EXPECT_NE(next.body.find("<title>Kestrel Parts Depot - "), std::string::npos) << next.body;
  EXPECT_NE(next.body.find("--dark:#92430A"), std::string::npos);
}

TEST_F(ShopServerTest, AManufacturerRenamedElsewhereShowsInTheMenuOfTheNextPage) {
  SiteFixture own(true);
  ShopProcess shop(own.dir());
  // The menu comes from the catalog database; the first page makes the look the host keeps.
  HttpReply first = shop.get("/c_2.asp?group=B1");
  ASSERT_NE(first.body.find("manufacturer=ALD\"> Aldermoor Computing</a>"), std::string::npos);
  ASSERT_EQ(shop.get("/c_2.asp?group=B1").status, 200);
  const std::string change = "UPDATE manuf SET vend_name='Zephyrine Storage' WHERE vend_code='ALD'";
  if (own.backend() == Backend::SQLite) {
    CommandResult r = runCommand({"sqlite3", own.dbFile(Database::TechData), change});
    ASSERT_EQ(r.status, 0) << r.err;
  } else {
    own.exec(Database::TechData, change);
  }
  HttpReply next = shop.get("/c_2.asp?group=B1");
  EXPECT_NE(next.body.find("manufacturer=ALD\"> Zephyrine Storage</a>"), std::string::npos)
      << next.body;
  EXPECT_EQ(next.body.find("Aldermoor Computing"), std::string::npos);
}

TEST_F(ShopServerTest, AFailingEngineCallGivesAPlainPageAndALogLine) {
  SiteFixture broken(true);
  ShopProcess shop(broken.dir());
  ASSERT_EQ(shop.get("/c_2.asp?group=B1").status, 200);
  broken.exec(Database::Main, "DROP TABLE comcat");
  broken.exec(Database::TechData, "DROP TABLE comcat");
  HttpReply r = shop.get("/c_2.asp?group=B1");
  EXPECT_EQ(r.status, 500);
  EXPECT_NE(r.body.find("This page could not be made just now."), std::string::npos);
  EXPECT_EQ(r.body.find("comcat"), std::string::npos) << r.body;
  EXPECT_EQ(r.body.find("select"), std::string::npos) << r.body;
  EXPECT_NE(shop.errors().find("kestrin-shop: GET /c_2.asp?group=B1: engine error "),
            std::string::npos)
      << shop.errors();
  EXPECT_NE(shop.accessLog().find("\"GET /c_2.asp?group=B1 HTTP/1.1\" 500 "), std::string::npos);
}

TEST_F(ShopServerTest, KeepAliveAnswersSeveralRequestsOnOneConnection) {
  ShopProcess shop(site_->dir());
  HttpReply r = sendRaw(shop.port(),
                        "GET /style.css HTTP/1.1\r\nHost: x\r\n\r\n"
                        "GET /images/bullet.gif HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(r.status, 200);
  EXPECT_NE(r.body.find("HTTP/1.1 200 OK"), std::string::npos);  // the second answer follows
  EXPECT_NE(r.body.find("Content-Type: image/gif"), std::string::npos);
}

TEST_F(ShopServerTest, ASlowClientDoesNotStallOthers) {
  ShopProcess shop(site_->dir(), {"--threads", "1"});
  // A client that sends half a request and waits holds a connection, not the one thread.
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(shop.port()));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  std::string half = "GET / HTTP/1.1\r\nHost: x\r\n";
  ASSERT_EQ(send(fd, half.data(), half.size(), 0), static_cast<ssize_t>(half.size()));
  EXPECT_EQ(shop.get("/c_4b.asp?group=B1&category=010").status, 200);
  EXPECT_EQ(shop.get("/style.css").status, 200);
  close(fd);
}

TEST_F(ShopServerTest, ASiteWithoutTheSessionsTableIsToldAtStart) {
  SiteFixture old(true);
  old.exec(Database::Main, "DROP TABLE shop_sessions");
  try {
    ShopProcess shop(old.dir());
    ADD_FAILURE() << "kestrin-shop started without its sessions table";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("make the site again with kestrinctl site create --force"),
              std::string::npos)
        << e.what();
  }
}

TEST_F(ShopServerTest, SigtermStopsGracefully) {
  ShopProcess shop(site_->dir());
  EXPECT_EQ(shop.get("/").status, 200);
  EXPECT_EQ(shop.terminate(), 0);
  EXPECT_NE(shop.errors().find("kestrin-shop: stopped"), std::string::npos);
}

}  // namespace
}  // namespace kestrin::testing

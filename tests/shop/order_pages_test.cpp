// The pages around orders: the printable invoice, the tracking page, the return and cancel
// requests of update_orders.asp and the admin's orders page.
#include <gtest/gtest.h>

#include "page_test_helpers.h"
#include "smtp_peer.h"

namespace kestrin::testing {
namespace {

class OrderPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site.exec(Database::Main,
              "insert into customer (customerid, username, password, fname, lname, cname, address, "
              "city, state, zip, country, email, phone) values "
              "('C19001','ann','pw','Ann','O''Hara','Acme <Labs>','1 Main St','Springfield','IL',"
              "'62701','USA','ann@example.com','555-1234'),"
              "('C19002','bob','pw','Bob','Lee','','2 Side St','Salem','OR','97301','USA',"
              "'bob@example.com','')");
    site.exec(
        Database::Main,
        "insert into orderinfo (orderid, customerid, total, paymethod, ccnumber, status, date, "
        "tax, shipcost, smethod, shipname, shipaddres, shipcity, shipstate, shipzip, "
        "shipcountr, handling, ponum, shiptrack, shipdate) values "
        "('S10001','C19001',1250.5,'Visa','2468','Shipped','12/1/2026',50.5,12.95,"
        "'UPS Ground','Ann O''Hara','1 Main St','Springfield','IL','62701','USA',2,'PO-7',"
        "'1Z999AA10123456784','12/2/2026'),"
        "('S10002','C19002',99.99,'Check','','New-Unpaid','12/3/2026',0,5,'UPS Ground',"
        "'Bob Lee','2 Side St','Salem','OR','97301','USA',0,'','','')");
    site.exec(Database::Main,
              "insert into orderdetail (detailid, partno, descr, price, qty, status) values "
              "('S10001','KS-100003','Aldermoor AirLite 740',647.9,1,'Shipped'),"
              "('S10001','KS-100010','Meridian 810 <b>',214.805,2,'New'),"
              "('S10002','KS-100007','AirLite 540',94.99,1,'New')");
  }

  std::string lineStatus(const std::string& order, const std::string& part) const {
    return site.value(Database::Main, "select status from orderdetail where detailid='" + order +
                                          "' and partno='" + part + "'");
  }

  SiteFixture site{true};
};

TEST_F(OrderPagesTest, TheInvoiceIsShownToItsCustomerAndTheAdminOnly) {
  ShopProcess shop(site.dir());
  LoggedOn ann = customerSession(shop, site, "C19001");
  HttpReply own = shop.get("/invoice.asp?id=S10001", ann.cookie);
  ASSERT_EQ(own.status, 200);
  expectGolden("shop/golden/invoice.html", own.body);

  LoggedOn bob = customerSession(shop, site, "C19002");
  HttpReply other = shop.get("/invoice.asp?id=S10001", bob.cookie);
  EXPECT_EQ(other.status, 404);
  EXPECT_NE(other.body.find("There is no order S10001 in your account."), std::string::npos);
  EXPECT_EQ(other.body.find("O&#39;Hara"), std::string::npos);

  HttpReply nobody = shop.get("/invoice.asp?id=S10001");
  EXPECT_EQ(nobody.status, 403);
  EXPECT_NE(nobody.body.find("Please log on to see your invoices."), std::string::npos);

  LoggedOn admin = adminSession(shop);
  EXPECT_EQ(shop.get("/invoice.asp?id=S10002", admin.cookie).status, 200);
  EXPECT_EQ(shop.get("/invoice.asp?id=S19999", admin.cookie).status, 404);
}

TEST_F(OrderPagesTest, HostileValuesAreRefusedAndComeBackEscaped) {
  ShopProcess shop(site.dir());
  LoggedOn ann = customerSession(shop, site, "C19001");
  struct Case {
    std::string target;
    int status;
    const char* expected;
  };
  const Case cases[] = {
      {"/invoice.asp?id=S1%27%3Cscript%3E", 400, "S1&#39;&lt;script&gt;"},
      {"/invoice.asp?id=S10001%27+or+%271%27%3D%271", 400, "S10001&#39; or &#39;1&#39;=&#39;1"},
      {"/upstrack.asp?action=track&id=%3Cscript%3Ealert(1)%3C%2Fscript%3E", 400, "&lt;script&gt;"},
      {"/upstrack.asp?action=track&id=1Z%27x", 400, "1Z&#39;x"},
      {"/admin_orders.asp?id=%3Cscript%3E", 303, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    HttpReply r = shop.get(c.target, ann.cookie);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.body.find(c.expected), std::string::npos) << r.body.substr(0, 600);
    EXPECT_EQ(r.body.find("<script>"), std::string::npos);
  }
  // The hostile line names of a return request.
  const std::string form = "action=confirm&token=" + ann.token + "&";
  HttpReply script =
      shop.post("/update_orders.asp", form + "return%7C%3Cscript%3E%7Cx%7CS10001=on", ann.cookie);
  EXPECT_EQ(script.status, 200);
  EXPECT_NE(script.body.find("Item &lt;script&gt; of order S10001 is not in your orders."),
            std::string::npos);
  HttpReply quote =
      shop.post("/update_orders.asp", form + "return%7CKS-100003%7Cx%7CS1%27--=on", ann.cookie);
  EXPECT_EQ(quote.status, 400);
  EXPECT_NE(quote.body.find("S1&#39;--"), std::string::npos);
  HttpReply shapeless = shop.post("/update_orders.asp", form + "cancel%7CS10001=on", ann.cookie);
  EXPECT_EQ(shapeless.status, 400);
  EXPECT_EQ(site.value(Database::Main, "select count(*) from orderdetail"), "3");
}

TEST_F(OrderPagesTest, TheTrackingPageLinksTheCarrierAndNamesTheCustomersOrders) {
  ShopProcess shop(site.dir());
  HttpReply anonymous = shop.get("/upstrack.asp?action=track&id=1Z999AA10123456784");
  ASSERT_EQ(anonymous.status, 200);
  EXPECT_NE(anonymous.body.find("href=\"https://www.ups.com/track?loc=en_US&amp;tracknum="
                                "1Z999AA10123456784\">Track this shipment on the UPS web site</a>"),
            std::string::npos);
  EXPECT_EQ(anonymous.body.find("S10001"), std::string::npos);

  LoggedOn ann = customerSession(shop, site, "C19001");
  HttpReply own = shop.get("/upstrack.asp?action=track&id=1Z999AA10123456784", ann.cookie);
  EXPECT_NE(own.body.find("<tr><td><a href=\"invoice.asp?id=S10001\" target=\"_new\">S10001</a>"
                          "</td><td>UPS Ground</td><td>12/2/2026</td></tr>"),
            std::string::npos);
  LoggedOn bob = customerSession(shop, site, "C19002");
  EXPECT_EQ(
      shop.get("/upstrack.asp?action=track&id=1Z999AA10123456784", bob.cookie).body.find("S10001"),
      std::string::npos);

  HttpReply empty = shop.get("/upstrack.asp");
  EXPECT_EQ(empty.status, 200);
  EXPECT_NE(empty.body.find("Type the tracking number of your shipment."), std::string::npos);
}

TEST_F(OrderPagesTest, ReturnAndCancelRequestsAreConfirmedThenRecordedOnTheLines) {
  ShopProcess shop(site.dir());
  LoggedOn ann = customerSession(shop, site, "C19001");
  // The names the order history gives its check boxes, as a browser encodes them.
  const std::string returnShipped = "return%7CKS-100003%7CAldermoor%2BAirLite%2B740%7CS10001=on";
  const std::string cancelShipped = "cancel%7CKS-100003%7CAldermoor%2BAirLite%2B740%7CS10001=on";
  const std::string cancelNew = "cancel%7CKS-100010%7CMeridian%2B810%2B%3Cb%3E%7CS10001=on";
  const std::string bobsLine = "return%7CKS-100007%7CAirLite%2B540%7CS10002=on";

  HttpReply confirm = shop.post(
      "/update_orders.asp",
      "action=confirm&" + returnShipped + "&" + cancelNew + "&" + bobsLine + "&token=" + ann.token,
      ann.cookie);
  ASSERT_EQ(confirm.status, 200);
  EXPECT_NE(confirm.body.find("Item KS-100007 of order S10002 is not in your orders."),
            std::string::npos);
  expectGolden("shop/golden/return_confirm.html", withoutTokens(contentOf(confirm.body)));
  EXPECT_EQ(lineStatus("S10001", "KS-100003"), "Shipped");  // nothing written yet

  struct Refused {
    const char* what;
    std::string form;
    const char* message;
  };
  const Refused refused[] = {
      {"a shipped line", cancelShipped, "has already shipped and cannot be cancelled"},
      {"both boxes", returnShipped + "&" + cancelShipped, "please choose either Return or Cancel"},
      {"nothing ticked", "", "No line was chosen that can be returned or cancelled."},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.what);
    HttpReply reply = shop.post("/update_orders.asp",
                                "action=confirm&" + r.form + "&token=" + ann.token, ann.cookie);
    EXPECT_NE(reply.body.find(r.message), std::string::npos);
    EXPECT_EQ(reply.body.find("value=\"Send request\""), std::string::npos);
  }

  // Without the token, or without a log-on, nothing happens.
  EXPECT_EQ(shop.post("/update_orders.asp", "action=send&" + returnShipped, ann.cookie).status,
            403);
  HttpReply anonymous = shop.get("/admin.asp");
  HttpReply notLogged = shop.post(
      "/update_orders.asp", "action=send&" + returnShipped + "&token=" + tokenOf(anonymous.body),
      sessionCookie(anonymous));
  EXPECT_EQ(notLogged.status, 403);
  EXPECT_NE(notLogged.body.find("Please log on to return or cancel an order."), std::string::npos);
  EXPECT_EQ(lineStatus("S10001", "KS-100003"), "Shipped");

  HttpReply sent = shop.post(
      "/update_orders.asp",
      "action=send&" + returnShipped + "&" + cancelNew + "&reason=Wrong+model&token=" + ann.token,
      ann.cookie);
  EXPECT_EQ(sent.status, 200);
  EXPECT_NE(sent.body.find("Your request has been sent."), std::string::npos);
  EXPECT_EQ(lineStatus("S10001", "KS-100003"), "Return requested");
  EXPECT_EQ(lineStatus("S10001", "KS-100010"), "Cancel requested");
  EXPECT_EQ(lineStatus("S10002", "KS-100007"), "New");

  HttpReply again = shop.post("/update_orders.asp",
                              "action=send&" + returnShipped + "&token=" + ann.token, ann.cookie);
  EXPECT_NE(again.body.find("this request has already been sent"), std::string::npos);
}

TEST_F(OrderPagesTest, ASentRequestIsMailedToTheShop) {
  SmtpPeer peer("shop", "secret");
  site.setPreference("smtpserver", peer.server());
  site.setPreference("smtpusername", "shop");
  site.setPreference("smtppassword", "secret");
  site.setPreference("siteEmail", "sales@shop.test");
  ShopProcess shop(site.dir());
  LoggedOn ann = customerSession(shop, site, "C19001");
  HttpReply sent = shop.post("/update_orders.asp",
                             "action=send&return%7CKS-100003%7Cx%7CS10001=on&reason=Too+"
                             "heavy&token=" +
                                 ann.token,
                             ann.cookie);
  EXPECT_NE(sent.body.find("Your request has been sent."), std::string::npos);
  ASSERT_EQ(peer.messages().size(), 1u);
  const std::string mail = peer.messages()[0];
  EXPECT_NE(mail.find("header Subject: Return/cancel request: customer C19001\n"),
            std::string::npos);
  EXPECT_NE(mail.find("body:\nReturn and cancel requests from customer C19001\n\n"
                      "Return: order S10001, item KS-100003, Aldermoor AirLite 740, quantity 1\n"
                      "\nReason:\nToo heavy\n"),
            std::string::npos)
      << mail;
}

TEST_F(OrderPagesTest, TheAdminChangesStatusesAndDeletesOrders) {
  ShopProcess shop(site.dir());
  HttpReply away = shop.get("/admin_orders.asp?id=S10001");
  EXPECT_EQ(away.status, 303);
  EXPECT_EQ(away.header("location"), "admin.asp?next=admin_orders.asp%3Fid%3DS10001");

  LoggedOn admin = adminSession(shop);
  HttpReply menu = shop.get("/admin.asp", admin.cookie);
  EXPECT_NE(menu.body.find("<a href=\"admin_orders.asp\">Orders</a>"), std::string::npos);
  HttpReply list = shop.get("/admin_orders.asp", admin.cookie);
  ASSERT_EQ(list.status, 200);
  EXPECT_NE(list.body.find("2 orders, page 1 of 1."), std::string::npos);
  // Newest first.
  EXPECT_LT(list.body.find(">S10002</a>"), list.body.find(">S10001</a>"));
  HttpReply shipped = shop.get("/admin_orders.asp?status=Shipped", admin.cookie);
  EXPECT_NE(shipped.body.find("1 order, page 1 of 1."), std::string::npos);
  EXPECT_EQ(shipped.body.find(">S10002</a>"), std::string::npos);
  HttpReply quoted = shop.get("/admin_orders.asp?status=x%27%3Cb%3E", admin.cookie);
  EXPECT_NE(quoted.body.find("There are no orders with the status x&#39;&lt;b&gt;."),
            std::string::npos);
  EXPECT_EQ(shop.get("/admin_orders.asp?page=0", admin.cookie).status, 400);

  // A status with a quote is stored as typed; a first tracking number sets the ship date.
  HttpReply changed = shop.post("/admin_orders.asp",
                                "action=status&id=S10002&status=Held+%27review%27&shiptrack=1Z77+"
                                "X-1&token=" +
                                    admin.token,
                                admin.cookie);
  EXPECT_EQ(changed.status, 303);
  EXPECT_EQ(changed.header("location"), "admin_orders.asp?id=S10002&done=status");
  EXPECT_EQ(site.value(Database::Main, "select status from orderinfo where orderid='S10002'"),
            "Held 'review'");
  EXPECT_EQ(site.value(Database::Main, "select shiptrack from orderinfo where orderid='S10002'"),
            "1Z77 X-1");
  EXPECT_FALSE(
      site.value(Database::Main, "select shipdate from orderinfo where orderid='S10002'").empty());
  HttpReply page = shop.get("/admin_orders.asp?id=S10002&done=status", admin.cookie);
  EXPECT_NE(page.body.find("The order's status has been changed."), std::string::npos);
  EXPECT_NE(page.body.find("<option selected>Held &#39;review&#39;</option>"), std::string::npos);

  struct Bad {
    const char* what;
    std::string form;
    const char* message;
  };
  const Bad bad[] = {
      {"empty status", "action=status&id=S10002&status=+", "Please give the new status"},
      {"tracking with a quote", "action=status&id=S10002&status=Shipped&shiptrack=1Z%27",
       "A tracking number holds letters, digits, blanks and dashes"},
      {"delete unconfirmed", "action=delete&id=S10002", "Tick the box to confirm"},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.what);
    HttpReply r = shop.post("/admin_orders.asp", b.form + "&token=" + admin.token, admin.cookie);
    EXPECT_EQ(r.status, 400);
    EXPECT_NE(r.body.find(b.message), std::string::npos);
  }
  EXPECT_EQ(site.value(Database::Main, "select status from orderinfo where orderid='S10002'"),
            "Held 'review'");

  HttpReply lines = shop.post("/admin_orders.asp",
                              "action=lines&id=S10001&line%7CKS-100010=Shipped&line%7CKS-100003="
                              "Returned&token=" +
                                  admin.token,
                              admin.cookie);
  EXPECT_EQ(lines.status, 303);
  EXPECT_EQ(lineStatus("S10001", "KS-100010"), "Shipped");
  EXPECT_EQ(lineStatus("S10001", "KS-100003"), "Returned");

  HttpReply deleted =
      shop.post("/admin_orders.asp", "action=delete&id=S10002&confirm=yes&token=" + admin.token,
                admin.cookie);
  EXPECT_EQ(deleted.status, 303);
  EXPECT_EQ(deleted.header("location"), "admin_orders.asp?deleted=S10002");
  EXPECT_EQ(site.value(Database::Main, "select count(*) from orderinfo where orderid='S10002'"),
            "0");
  EXPECT_EQ(site.value(Database::Main, "select count(*) from orderdetail where detailid='S10002'"),
            "0");
  EXPECT_NE(shop.get("/admin_orders.asp?deleted=S10002", admin.cookie)
                .body.find("Order S10002 has been deleted with its lines."),
            std::string::npos);
  EXPECT_EQ(shop.get("/admin_orders.asp?id=S10002", admin.cookie).status, 404);
}

}  // namespace
}  // namespace kestrin::testing

// The contact and backorder pages mail the shop through a real SMTP server.
#include <gtest/gtest.h>

#include "shop_process.h"
#include "site_fixture.h"
#include "smtp_peer.h"

namespace kestrin::testing {
namespace {

class MailPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site.setPreference("smtpserver", peer.server());
    site.setPreference("smtpusername", "shop");
    site.setPreference("smtppassword", "secret");
    site.setPreference("siteEmail", "sales@shop.test");
  }
  SiteFixture site{true};
  SmtpPeer peer{"shop", "secret"};
};

TEST_F(MailPagesTest, TheContactFormMailsTheShop) {
  ShopProcess shop(site.dir());
  HttpReply form = shop.get("/contactus.asp");
  ASSERT_EQ(form.status, 200);
  std::string cookie = sessionCookie(form);
  std::string token = tokenOf(form.body);
  HttpReply missing =
      shop.post("/contactus.asp", "name=Ann&email=ann%40example.com&token=" + token, cookie);
  EXPECT_NE(missing.body.find("Please fill in Subject."), std::string::npos);
  EXPECT_NE(missing.body.find("value=\"Ann\""), std::string::npos);  // kept for the next try
  HttpReply badAddress = shop.post(
      "/contactus.asp",
      "name=Ann&email=ann%40example.com%2C+bob%40example.com&subject=Hi&message=x&token=" + token,
      cookie);
  EXPECT_NE(badAddress.body.find("Please give a valid e-mail address."), std::string::npos);
  EXPECT_TRUE(peer.messages().empty());

  HttpReply sent = shop.post("/contactus.asp",
                             "name=Ann+%3Cb%3E&email=ann%40example.com&phone=555&subject=Drive+"
                             "question&message=Is+it+quiet%3F&token=" +
                                 token,
                             cookie);
  EXPECT_EQ(sent.status, 200);
  EXPECT_NE(sent.body.find("Your message has been sent"), std::string::npos);
  ASSERT_EQ(peer.messages().size(), 1u);
  EXPECT_EQ(peer.messages()[0],
            "auth: shop secret\n"
            "mail from: sales@shop.test\n"
            "rcpt to: sales@shop.test\n"
            "header To: sales@shop.test\n"
            "header From: sales@shop.test\n"
            "header Subject: Contact: Drive question\n"
            "content type: text/plain\n"
            "body:\n"
            "Message from the shop's contact page\n\n"
            "Name: Ann <b>\nE-mail: ann@example.com\nPhone: 555\n\nIs it quiet?\n");
}

TEST_F(MailPagesTest, ABackorderRequestNamesThePartAndTheQuantity) {
  ShopProcess shop(site.dir());
  HttpReply form = shop.get("/backorder.asp?part_num=KS-100007&featured=True");
  ASSERT_EQ(form.status, 200);
  EXPECT_NE(form.body.find("name=\"part_num\" value=\"KS-100007\""), std::string::npos);
  std::string cookie = sessionCookie(form);
  std::string token = tokenOf(form.body);
  HttpReply zero =
      shop.post("/backorder.asp",
                "part_num=KS-100007&qty=0&name=Bo&email=bo%40example.com&token=" + token, cookie);
  EXPECT_NE(zero.body.find("Please give the quantity as a whole number."), std::string::npos);
  HttpReply sent = shop.post(
      "/backorder.asp",
      "part_num=KS-100007&qty=3&name=Bo&email=bo%40example.com&notes=By+Friday&token=" + token,
      cookie);
  EXPECT_NE(sent.body.find("Your backorder request has been sent"), std::string::npos);
  ASSERT_EQ(peer.messages().size(), 1u);
  EXPECT_NE(peer.messages()[0].find("header Subject: Backorder: KS-100007 x 3\n"),
            std::string::npos);
  EXPECT_NE(peer.messages()[0].find("Part number: KS-100007\nQuantity: 3\nName: Bo\n"),
            std::string::npos);
  EXPECT_EQ(shop.get("/backorder.asp?part_num=%3Cscript%3E").status, 400);
}

TEST_F(MailPagesTest, AFailedSendingIsToldAndLoggedWithoutDetails) {
  site.setPreference("smtppassword", "wrong");
  ShopProcess shop(site.dir());
  HttpReply form = shop.get("/contactus.asp");
  HttpReply r =
      shop.post("/contactus.asp",
                "name=Ann&email=ann%40example.com&subject=Hi&message=x&token=" + tokenOf(form.body),
                sessionCookie(form));
  EXPECT_NE(r.body.find("Your message could not be sent just now."), std::string::npos);
  EXPECT_EQ(r.body.find("Not OK"), std::string::npos);
  EXPECT_NE(shop.errors().find("the mail to the shop failed: Not OK: Error: "), std::string::npos)
      << shop.errors();
}

}  // namespace
}  // namespace kestrin::testing

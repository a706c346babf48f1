// The buying road through kestrin-shop: the cart steps, registration and log-on, the checkout
// with its totals, the saved order, the confirmation mail (a real SMTP server) and the order
// history.
#include <gtest/gtest.h>

#include "form_values.h"
#include "shop_process.h"
#include "site_fixture.h"
#include "smtp_peer.h"

namespace kestrin::testing {
namespace {

bool has(const HttpReply& r, const std::string& text) {
  return r.body.find(text) != std::string::npos;
}

// A browser's memory: the session cookie and the token of the last page that had one.
class Shopper {
 public:
  explicit Shopper(ShopProcess& shop) : shop_(&shop) {}

  // Goes on with the same cookie at another process of the site.
  void use(ShopProcess& shop) { shop_ = &shop; }
  HttpReply get(const std::string& target) { return keep(shop_->get(target, cookie_)); }
  // Posts `form` (pairs of name and plain value) with the session's token.
  HttpReply post(const std::string& target,
                 const std::vector<std::pair<std::string, std::string>>& form) {
    std::string body = "token=" + token_;
    for (const auto& [name, value] : form) body += "&" + name + "=" + shop::urlEncode(value);
    return keep(shop_->post(target, body, cookie_));
  }
  const std::string& cookie() const { return cookie_; }

 private:
  HttpReply keep(HttpReply r) {
    if (std::string c = sessionCookie(r); !c.empty()) cookie_ = c;
    if (std::string t = tokenOf(r.body); !t.empty()) token_ = t;
    return r;
  }
  ShopProcess* shop_;
  std::string cookie_, token_;
};

using Form = std::vector<std::pair<std::string, std::string>>;

Form registration(const std::string& username) {
  return {{"username", username},
          {"password", "secret99"},
          {"password2", "secret99"},
          {"fname", "Ann"},
          {"lname", "O'Neil"},
          {"address", "1 Main St"},
          {"city", "Springfield"},
          {"state", "IL"},
          {"zip", "62701"},
          {"country", "USA"},
          {"email", "ann@example.com"}};
}

// Registers `username` (and so logs on); the account page's reply.
HttpReply registerAs(Shopper& s, const std::string& username) {
  s.get("/register.asp");
  HttpReply r = s.post("/register.asp", registration(username));
  EXPECT_EQ(r.status, 303) << r.body.substr(0, 3000);
  EXPECT_EQ(r.header("location"), "account.asp");
  return s.get("/account.asp");
}

// Adds the demo notebook KS-100007 (1,107.61, 6.5 lbs) as the engine's Buy Now link would.
HttpReply addNotebook(Shopper& s, const std::string& qty) {
  HttpReply ask = s.get("/cart.asp?action=add&steps=2&part_num=KS-100007&qty=1&featured=True");
  EXPECT_TRUE(has(ask, "Add item KS-100007 to your shopping cart?")) << ask.body.substr(0, 3000);
  return s.post("/cart.asp", {{"action", "add"},
                              {"steps", "2"},
                              {"part_num", "KS-100007"},
                              {"featured", "True"},
                              {"qty", qty}});
}

class BuyingTest : public ::testing::Test {
 protected:
  SiteFixture site{true};
};

TEST_F(BuyingTest, CartStepsAddChangeAndRemoveALine) {
  ShopProcess shop(site.dir());
  Shopper s(shop);
  EXPECT_TRUE(has(s.get("/cart.asp?action=display"), "Your shopping cart is empty."));

  // The engine's Buy Now and Remove links are GETs: they only ask.
  HttpReply ask = s.get("/cart.asp?action=add&steps=2&part_num=KS-100007&qty=1&featured=True");
  EXPECT_EQ(ask.status, 200);
  EXPECT_TRUE(has(ask, "name=\"steps\" value=\"2\""));
  EXPECT_EQ(site.value(Database::Main, "select count(*) from cart where partno <> ''"), "0");

  HttpReply zero = s.post("/cart.asp", {{"action", "add"},
                                        {"steps", "2"},
                                        {"part_num", "KS-100007"},
                                        {"featured", "True"},
                                        {"qty", "0"}});
  EXPECT_TRUE(has(zero, "Item's quatity must be either 1 or more.<br><br>"));

  HttpReply added = addNotebook(s, "1");
  EXPECT_TRUE(has(added, "<font class=\"done\">Item(s) List</font>"));
  EXPECT_TRUE(has(added, "US$ 1,107.61"));
  EXPECT_TRUE(has(added, "cart_ship2.asp?action=checkout&steps=3"));
  // The cart is keyed by the session's cart id, which the cookie does not carry.
  std::string key = site.value(Database::Main, "select sessionid from cart where partno <> ''");
  EXPECT_EQ(key.size(), 32u);
  EXPECT_NE(key, s.cookie());

  HttpReply form =
      s.get("/cart.asp?action=add&amp;steps=1a&amp;qty=1&amp;part_num=KS-100007&featured=True");
  EXPECT_TRUE(has(form, "<b>Please specify a new quantity..</b>"));
  EXPECT_TRUE(has(form, "name=\"token\""));

  struct Case {
    const char* qty;
    const char* expected;
  };
  const Case cases[] = {
      {"3", "<font color=green>Quantity Changed</font>"},
      {"abc", "Please give the quantity as a whole number below 10000."},
      {"100000", "Please give the quantity as a whole number below 10000."},
      {"-1", "Item's quatity must be either 1 or more.<br><br>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.qty);
    HttpReply r = s.post("/cart.asp", {{"action", "add"},
                                       {"steps", "2a"},
                                       {"part_num", "KS-100007"},
                                       {"featured", "True"},
                                       {"qty", c.qty}});
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(has(r, c.expected)) << r.body.substr(0, 4000);
  }
  EXPECT_EQ(site.value(Database::Main, "select qty from cart where partno <> ''"), "3");
  EXPECT_TRUE(has(s.get("/cart.asp?action=display"), "US$ 3,322.83"));

  HttpReply remove =
      s.get("/cart.asp?action=add&amp;steps=2a&amp;qty=0&amp;part_num=KS-100007&featured=True");
  EXPECT_TRUE(has(remove, "Remove item KS-100007 from your shopping cart?"));
  HttpReply removed = s.post("/cart.asp", {{"action", "add"},
                                           {"steps", "2a"},
                                           {"part_num", "KS-100007"},
                                           {"featured", "True"},
                                           {"qty", "0"}});
  EXPECT_TRUE(has(removed, "Item has been removed from cart"));
  EXPECT_TRUE(has(removed, "Your shopping cart is empty."));

  // A change without the session's token does nothing.
  HttpReply forged = shop.post(
      "/cart.asp", "action=add&steps=2&part_num=KS-100007&featured=True&qty=1", s.cookie());
  EXPECT_EQ(forged.status, 403);
  EXPECT_EQ(site.value(Database::Main, "select count(*) from cart where partno <> ''"), "0");
  // Values that cannot be what they name are refused, escaped.
  HttpReply bad = s.get("/cart.asp?action=add&steps=1&part_num=%3Cscript%3E&featured=True");
  EXPECT_EQ(bad.status, 400);
  EXPECT_FALSE(has(bad, "<script>"));
  EXPECT_EQ(s.get("/cart.asp?action=add&steps=2&part_num=KS-100007&featured=maybe").status, 400);
}

TEST_F(BuyingTest, TheProductStepCarriesTheChosenOptionsIntoBuyNow) {
  ShopProcess shop(site.dir());
  Shopper s(shop);
  s.get("/logon.asp");
  HttpReply r = s.post("/cart.asp", {{"action", "add"},
                                     {"steps", "1"},
                                     {"part_num", "KS-100007"},
                                     {"featured", "True"},
                                     {"prSizes", "2"},
                                     {"prColors", "0"},
                                     {"prPicture", "Front view"}});
  EXPECT_EQ(r.status, 200);
  EXPECT_TRUE(has(r, "Thank you for your interest in this item."));
  EXPECT_TRUE(has(r,
                  "cart.asp?action=add&amp;steps=2&amp;part_num=KS-100007&amp;qty=1&featured="
                  "True&amp;prSizes=2&amp;prPicture=1';"))
      << r.body.substr(0, 4000);
  HttpReply ask =
      s.get("/cart.asp?action=add&steps=2&part_num=KS-100007&qty=1&featured=True&prSizes=2");
  EXPECT_TRUE(has(ask, "name=\"prSizes\" value=\"2\""));
  s.post("/cart.asp", {{"action", "add"},
                       {"steps", "2"},
                       {"part_num", "KS-100007"},
                       {"featured", "True"},
                       {"qty", "1"},
                       {"prSizes", "2"}});
  EXPECT_EQ(site.value(Database::Main, "select prSizes from cart where partno <> ''"), "2");
  // A picture name that is not one of the product's pictures is no choice.
  HttpReply other = s.get(
      "/cart.asp?action=add&steps=2&part_num=KS-100007&qty=1&featured=True&prPicture=Nothing");
  EXPECT_FALSE(has(other, "name=\"prPicture\""));
}

TEST_F(BuyingTest, RegisterLogOffLogOnAndKeepTheDetails) {
  ShopProcess shop(site.dir());
  Shopper s(shop);
  s.get("/register.asp");
  Form mismatch = registration("ann");
  mismatch[2].second = "other99";
  HttpReply r = s.post("/register.asp", mismatch);
  EXPECT_TRUE(has(r, "The two passwords are not the same."));
  EXPECT_TRUE(has(r, "value=\"O&#39;Neil\""));  // kept for the next try, escaped

  std::string before = s.cookie();
  HttpReply account = registerAs(s, "ann");
  EXPECT_NE(s.cookie(), before);  // a new session id on log-on
  EXPECT_TRUE(has(account, "Customer number: <b>C10003</b>"));
  EXPECT_TRUE(has(account, "<a href=\"account.asp\">ann</a>"));
  EXPECT_EQ(site.value(Database::Main, "select lname from customer where username='ann'"),
            "O'Neil");

  Shopper other(shop);
  other.get("/register.asp");
  HttpReply taken = other.post("/register.asp", registration("ann"));
  EXPECT_TRUE(has(taken, "Error: The username <b>ann</b> is taken."));

  HttpReply update = s.post("/account.asp", {{"action", "update"},
                                             {"fname", "Ann"},
                                             {"lname", "O'Neil"},
                                             {"city", "<script>x</script>"},
                                             {"email", "ann@example.com"}});
  EXPECT_TRUE(has(update, "Your details have been saved."));
  EXPECT_TRUE(has(update, "value=\"&lt;script&gt;x&lt;/script&gt;\""));
  EXPECT_FALSE(has(update, "<script>x"));

  s.get("/logoff.asp");
  HttpReply off = s.post("/logoff.asp", {});
  EXPECT_EQ(off.status, 303);
  HttpReply away = s.get("/account.asp");
  EXPECT_EQ(away.status, 303);
  EXPECT_EQ(away.header("location"), "logon.asp?next=account.asp");

  s.get("/logon.asp?next=account.asp");
  HttpReply wrong = s.post("/logon.asp", {{"username", "ann"}, {"password", "secret9"}});
  EXPECT_TRUE(has(wrong, "The username or the password is not right."));
  HttpReply on = s.post(
      "/logon.asp",
      {{"username", "ann"}, {"password", "secret99"}, {"next", "http://elsewhere.test/x.asp"}});
  EXPECT_EQ(on.status, 303);
  EXPECT_EQ(on.header("location"), "account.asp");
  EXPECT_TRUE(has(s.get("/account.asp"), "Customer number: <b>C10003</b>"));
}

TEST_F(BuyingTest, TwoProcessesShareTheCartAndTheLogOn) {
  ShopProcess first(site.dir());
  ShopProcess second(site.dir());
  Shopper s(first);
  registerAs(s, "ann");
  addNotebook(s, "1");
  s.use(second);
  EXPECT_TRUE(has(s.get("/account.asp"), "Customer number: <b>C10003</b>"));
  EXPECT_TRUE(has(s.get("/cart.asp?action=display"), "US$ 1,107.61"));
  HttpReply changed = s.post("/cart.asp", {{"action", "add"},
                                           {"steps", "2a"},
                                           {"part_num", "KS-100007"},
                                           {"featured", "True"},
                                           {"qty", "2"}});
  EXPECT_TRUE(has(changed, "Quantity Changed"));
  s.use(first);
  EXPECT_TRUE(has(s.get("/cart.asp?action=display"), "US$ 2,215.22"));
  s.get("/logoff.asp");
  EXPECT_EQ(s.post("/logoff.asp", {}).status, 303);
  s.use(second);
  EXPECT_EQ(s.get("/account.asp").header("location"), "logon.asp?next=account.asp");
}

class CheckoutTest : public BuyingTest {
 protected:
  void SetUp() override {
    site.setPreference("smtpserver", peer.server());
    site.setPreference("smtpusername", "shop");
    site.setPreference("smtppassword", "secret");
    site.setPreference("siteEmail", "sales@shop.test");
    site.setPreference("shipBaseCharge", "5");
    site.setPreference("shipPerPound", "0.5");
    site.setPreference("taxRate", "8");
  }

  static Form details(const std::string& steps, const std::string& card) {
    return {{"action", "checkout"},       {"steps", steps},
            {"shipname", "Ann O'Neil"},   {"shipaddress", "1 Main St"},
            {"shipcity", "Springfield"},  {"shipstate", "IL"},
            {"shipzip", "62701"},         {"shipcountry", "USA"},
            {"shipmethod", "UPS Ground"}, {"paymethod", "Visa"},
            {"ccnumber", card},           {"ccexpire", "12/39"}};
  }

  SmtpPeer peer{"shop", "secret"};
};

TEST_F(CheckoutTest, AnOrderIsSavedMailedAndShownInTheHistory) {
  ShopProcess shop(site.dir());
  Shopper s(shop);
  HttpReply away = s.get("/cart_ship2.asp?action=checkout&steps=3");
  EXPECT_EQ(away.status, 303);
  EXPECT_EQ(away.header("location"),
            "logon.asp?next=cart_ship2.asp%3Faction%3Dcheckout%26steps%3D3");

  registerAs(s, "ann");
  addNotebook(s, "2");  // 2,215.22 and 13 lbs
  HttpReply form = s.get("/cart_ship2.asp?action=checkout&steps=3");
  EXPECT_TRUE(has(form,
                  "name=\"shipname\" size=\"32\" maxlength=\"100\" class=\"field\" "
                  "value=\"Ann O&#39;Neil\""))
      << form.body.substr(0, 5000);

  HttpReply badCard = s.post("/cart_ship2.asp", details("4", "4111 1111 1111 1112"));
  EXPECT_TRUE(has(badCard, "Please check the card number."));

  HttpReply review = s.post("/cart_ship2.asp", details("4", "4111 1111 1111 1111"));
  for (const char* text : {"$2,215.22", "Shipping (UPS Ground, 13 lbs.)", "$11.50", "$177.22",
                           "<b>$2,403.94</b>", "Visa ending in 1111", "Ann O&#39;Neil<br>"}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(has(review, text)) << review.body.substr(0, 6000);
  }
  EXPECT_EQ(site.value(Database::Main, "select count(*) from orderinfo"), "0");

  HttpReply placed = s.post("/cart_ship2.asp", details("5", "4111 1111 1111 1111"));
  EXPECT_TRUE(has(placed, "Your order number is <b>S10001</b>")) << placed.body.substr(0, 4000);
  EXPECT_TRUE(has(placed, "A confirmation has been sent to ann@example.com."));
  EXPECT_EQ(site.column(Database::Main,
                        "select customerid || '|' || total || '|' || tax || '|' || shipcost || "
                        "'|' || status || '|' || ccnumber || '|' || smethod || '|' || shipname "
                        "from orderinfo"),
            std::vector<std::string>{"C10003|2403.94|177.22|11.5|Pending|1111|UPS Ground|Ann "
                                     "O'Neil"});
  EXPECT_EQ(site.value(Database::Main, "select partno || ' x ' || qty from orderdetail"),
            "KS-100007 x 2");
  EXPECT_EQ(site.value(Database::Main, "select count(*) from cart where partno <> ''"), "0");

  ASSERT_EQ(peer.messages().size(), 1u);
  const std::string mail = peer.messages()[0];
  for (const char* text :
       {"rcpt to: ann@example.com\n", "rcpt to: sales@shop.test\n",
        "header Subject: Your order S10001", "header Cc: sales@shop.test\n", "Order number: S10001",
        "Item #: AL-2603X", "Quantity: 2", "Total: $2,403.94", "Payment: Visa ending in 1111"}) {
    SCOPED_TRACE(text);
    EXPECT_NE(mail.find(text), std::string::npos) << mail;
  }
  EXPECT_EQ(mail.find("4111 1111"), std::string::npos);

  HttpReply history = s.get("/orders.asp");
  EXPECT_TRUE(has(history, "<h4>Summary of your order(s)</h4>"));
  EXPECT_TRUE(has(history, "invoice.asp?id=S10001"));

  // Sending the last step again finds the cart empty and saves nothing more.
  HttpReply again = s.post("/cart_ship2.asp", details("5", "4111 1111 1111 1111"));
  EXPECT_TRUE(has(again, "Your shopping cart is empty."));
  EXPECT_EQ(site.value(Database::Main, "select count(*) from orderinfo"), "1");
}

TEST_F(CheckoutTest, AFailedConfirmationMailKeepsTheOrder) {
  site.setPreference("smtppassword", "wrong");
  ShopProcess shop(site.dir());
  Shopper s(shop);
  registerAs(s, "bob");
  addNotebook(s, "1");
  s.get("/cart_ship2.asp?action=checkout&steps=3");
  HttpReply placed = s.post("/cart_ship2.asp", details("5", "4111111111111111"));
  EXPECT_TRUE(has(placed, "Your order number is <b>S10001</b>"));
  EXPECT_TRUE(has(placed, "The confirmation mail could not be sent just now"));
  EXPECT_FALSE(has(placed, "Not OK"));
  EXPECT_NE(shop.errors().find("the confirmation mail of S10001 failed: Not OK: Error: "),
            std::string::npos);
  EXPECT_EQ(site.value(Database::Main, "select status from orderinfo"), "Pending");
}

TEST_F(CheckoutTest, AnOrderThatCannotBeSavedLeavesTheCartAsItWas) {
  ShopProcess shop(site.dir());
  Shopper s(shop);
  registerAs(s, "cy1");
  addNotebook(s, "1");
  std::string key = site.value(Database::Main, "select sessionid from cart where partno <> ''");
  s.get("/cart_ship2.asp?action=checkout&steps=3");
  site.exec(Database::Main, "drop table orderdetail");
  HttpReply failed = s.post("/cart_ship2.asp", details("5", "4111111111111111"));
  EXPECT_EQ(failed.status, 500);
  EXPECT_NE(shop.errors().find(site.backend() == Backend::SQLite
                                   ? "no such table: orderdetail"
                                   : "relation \"orderdetail\" does not exist"),
            std::string::npos)
      << shop.errors();
  EXPECT_EQ(
      site.value(Database::Main, "select sessionid || ' ' || qty from cart where partno <> ''"),
      key + " 1");
  EXPECT_TRUE(peer.messages().empty());
}

TEST_F(BuyingTest, CheckoutChargesAreEditedOnThePreferencesPage) {
  ShopProcess shop(site.dir());
  Shopper admin(shop);
  admin.get("/admin.asp");
  EXPECT_EQ(admin.post("/admin.asp", {{"action", "logon"}, {"password", "tolvaro27"}}).status, 303);
  HttpReply form = admin.get("/setPref.asp");
  EXPECT_TRUE(has(form,
                  "name=\"shipBaseCharge\" size=\"32\" maxlength=\"100\" class=\"field\" "
                  "value=\"5.00\""))
      << form.body.substr(0, 3000);
  HttpReply saved = admin.post(
      "/setPref.asp",
      {{"action", "update"}, {"shipPerPound", "0.75"}, {"taxRate", "-3"}, {"handlingCharge", ""}});
  EXPECT_TRUE(has(saved, "Saved 1 preferences."));
  EXPECT_TRUE(has(saved,
                  "Tax rate, percent of the goods must be a number of 0 or more; it was "
                  "not saved."));
  EXPECT_EQ(site.value(Database::Main, "select descr from preferences where items='shipPerPound'"),
            "0.75");
  EXPECT_EQ(site.value(Database::Main, "select count(*) from preferences where items='taxRate'"),
            "0");
  EXPECT_TRUE(has(saved,
                  "name=\"shipPerPound\" size=\"32\" maxlength=\"100\" class=\"field\" "
                  "value=\"0.75\""));
}

}  // namespace
}  // namespace kestrin::testing

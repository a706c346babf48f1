// Customer accounts: registration, update and logon.
#include <gtest/gtest.h>

#include "kestrin/ecat.h"
#include "site_fixture.h"
#include "text.h"

namespace kestrin::testing {
namespace {

class CustomersTest : public SiteTest {
 protected:
  std::string add(const std::string& user, const std::string& password = "pw",
                  const std::string& fname = "Ann", const std::string& mRate = "") {
    return cat.AddCustomer(user, password, "Acme", fname, "B", "Lee", "1 Main St", "Springfield",
                           "IL", "62701", "USA", "555-1000", "555-1001", "ann@example.com", mRate,
                           "G1", SiteFixture::kSiteId, SiteFixture::kPassword);
  }
  std::string logon(const std::string& user, const std::string& password) {
    return cat.logon(user, password, SiteFixture::kSiteId, SiteFixture::kPassword);
  }
  std::string count(const std::string& table) {
    return site.value(Database::Main, "SELECT count(*) FROM " + table);
  }
  eCat cat;
};

TEST_F(CustomersTest, FirstCustomerIsC10001AndGetsAMarkupRowOfRateZero) {
  EXPECT_EQ(add("ann", "pw", "Ann", "15"), "Passed|C10001");
  EXPECT_EQ(site.value(Database::Main, "SELECT username FROM customer WHERE customerid='C10001'"),
            "ann");
  EXPECT_EQ(site.value(Database::Main, "SELECT date FROM customer"), shortDate(localNow()));
  EXPECT_EQ(site.value(Database::Main, "SELECT egroup FROM customer"), "G1");
  // mRate is not used: the rate is 0 whatever the page passed.
  EXPECT_EQ(site.value(Database::Main,
                       "SELECT markupid FROM markup WHERE customerid='C10001' AND rate = 0"),
            "cust");
  EXPECT_EQ(count("markup"), "1");
  EXPECT_FALSE(cat.conn.isOpen());
}

TEST_F(CustomersTest, NextIdFollowsTheHighest) {
  site.exec(Database::Main,
            "INSERT INTO customer (customerid, username) VALUES ('C10041', 'x'), ('C10007', 'y')");
  EXPECT_EQ(add("ann"), "Passed|C10042");
  EXPECT_EQ(add("bob"), "Passed|C10043");
}

TEST_F(CustomersTest, TakenUsernameInAnyCaseWritesNothing) {
  ASSERT_EQ(add("Ann"), "Passed|C10001");
  for (const char* user : {"Ann", "ANN", "ann"}) {
    SCOPED_TRACE(user);
    EXPECT_EQ(add(user), std::string("Error: The username <b>") + user +
                             "</b> is taken. Please choose a different username");
  }
  EXPECT_EQ(count("customer"), "1");
  EXPECT_EQ(count("markup"), "1");
}

TEST_F(CustomersTest, UsernameInTheMessageCannotOpenATag) {
  ASSERT_EQ(add("<i>x"), "Passed|C10001");
  EXPECT_EQ(add("<i>x"),
            "Error: The username <b>&lt;i&gt;x</b> is taken. Please choose a different username");
}

TEST_F(CustomersTest, QuotesAreStoredIntact) {
  ASSERT_EQ(add("o'hara", "p'w", "D'Arcy"), "Passed|C10001");
  EXPECT_EQ(site.value(Database::Main, "SELECT fname FROM customer"), "D'Arcy");
  EXPECT_EQ(add("o'hara"),
            "Error: The username <b>o&#39;hara</b> is taken. Please choose a different username");
  EXPECT_EQ(logon("o'hara", "p'w").rfind("logon=yes|customerid=C10001|", 0), 0u);
  EXPECT_EQ(logon("' or ''='", ""), "Failed");
}

TEST_F(CustomersTest, EndCheckAppendsTheError) {
  site.removeDatabase(Database::TechData);
  const std::string result = add("ann");
  EXPECT_EQ(result.rfind("Passed|C10001::ERROR:", 0), 0u) << result;
}

TEST_F(CustomersTest, LogonRecordHoldsEveryKeyInOrder) {
  ASSERT_EQ(add("ann", "secret  "), "Passed|C10001");
  site.exec(Database::Main,
            "UPDATE customer SET city = '  Springfield  ' WHERE customerid = 'C10001'");
  EXPECT_EQ(logon("ann", "secret"),
            "logon=yes|customerid=C10001|cname=Acme|fname=Ann|mname=B|lname=Lee|address=1 Main "
            "St|city=Springfield|state=IL|zipcode=62701|country=USA|phone=555-1000|fax=555-1001|"
            "email=ann@example.com|ccname=|ccaddress=|cccity=|ccstate=|cczipcode=|cccountry=|"
            "ccnumber=|cctype=|ccexpire=|cebankname=|ceacctno=|ceabarouting=|username=ann|"
            "password=secret");
}

TEST_F(CustomersTest, LogonComparesThePasswordExactly) {
  ASSERT_EQ(add("ann", "Secret"), "Passed|C10001");
  const struct {
    const char* user;
    const char* password;
    bool in;
  } cases[] = {
      {"ann", "Secret", true},   {"ANN", "Secret", true},     {"ann", "secret", false},
      {"ann", "Secret ", false}, {"ann", " Secret", false},   {"ann", "", false},
      {"nobody", "", false},     {"nobody", "Secret", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.password);
    EXPECT_EQ(logon(c.user, c.password).rfind("logon=yes|", 0) == 0, c.in);
    if (!c.in) {
      EXPECT_EQ(logon(c.user, c.password), "Failed");
    }
  }
}

TEST_F(CustomersTest, UpdateRewritesEveryColumn) {
  ASSERT_EQ(add("ann"), "Passed|C10001");
  db::StatementTrace trace;
  EXPECT_TRUE(cat.UpdateCustomer("C10001", "O'Neil Ltd", "Ann", "", "Lee", "  2 Elm St  ", "Salem",
                                 "OR", "97301", "USA", "555-2000", "", "ann@o.example", "Visa",
                                 "4111", "12/29", "First Bank", "000123", "021000021",
                                 SiteFixture::kSiteId, SiteFixture::kPassword));
  bool found = false;
  for (const db::TracedStatement& s : trace.statements()) {
    if (s.sql.rfind("UPDATE customer", 0) != 0) continue;
    found = true;
    EXPECT_EQ(s.sql,
              "UPDATE customer SET cname='O''Neil Ltd', fname='Ann', mname='', lname='Lee', "
              "address='2 Elm St', city='Salem', state='OR', zip='97301', country='USA', "
              "phone='555-2000', fax='', email='ann@o.example', cccardnum='4111', "
              "cccardtype='Visa', ccexpirati='12/29', cebankname='First Bank', "
              "ceaccountn='000123', ceabarouti='021000021' where customerid='C10001'");
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(logon("ann", "pw"),
            "logon=yes|customerid=C10001|cname=O'Neil Ltd|fname=Ann|mname=|lname=Lee|address=2 "
            "Elm St|city=Salem|state=OR|zipcode=97301|country=USA|phone=555-2000|fax=|"
            "email=ann@o.example|ccname=|ccaddress=|cccity=|ccstate=|cczipcode=|cccountry=|"
            "ccnumber=4111|cctype=Visa|ccexpire=12/29|cebankname=First Bank|ceacctno=000123|"
            "ceabarouting=021000021|username=ann|password=pw");
  // An unknown customer changes nothing and still answers true.
  EXPECT_TRUE(cat.UpdateCustomer("C99999", "x", "", "", "", "", "", "", "", "", "", "", "", "", "",
                                 "", "", "", "", SiteFixture::kSiteId, SiteFixture::kPassword));
  EXPECT_EQ(site.value(Database::Main, "SELECT cname FROM customer"), "O'Neil Ltd");
}

TEST_F(CustomersTest, UpdateAnswersFalseWhenAnErrorIsCurrentAtTheEnd) {
  ASSERT_EQ(add("ann"), "Passed|C10001");
  site.removeDatabase(Database::TechData);
  EXPECT_FALSE(cat.UpdateCustomer("C10001", "New", "", "", "", "", "", "", "", "", "", "", "", "",
                                  "", "", "", "", "", SiteFixture::kSiteId,
                                  SiteFixture::kPassword));
  EXPECT_EQ(site.value(Database::Main, "SELECT cname FROM customer"), "New");
}

}  // namespace
}  // namespace kestrin::testing

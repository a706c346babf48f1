// The cart, customer and order methods as kestrinctl and the page host reach them.
#include <gtest/gtest.h>

#include "kestrin/methods.h"
#include "site_fixture.h"

namespace kestrin::testing {
namespace {

class MethodsTest : public SiteTest {
 protected:
  // Output of `kestrinctl call METHOD ARGS` on the test site.
  CommandResult call(const std::string& method, std::vector<std::string> args) {
    std::vector<std::string> command = {KESTRINCTL_PATH, "call", method};
    command.insert(command.end(), args.begin(), args.end());
    for (const char* extra : {"siteID=kestrin", "sitePassword=tolvaro27", "--app-path"})
      command.emplace_back(extra);
    command.push_back(site.dir());
    return runCommand(command);
  }
};

TEST_F(MethodsTest, EveryMethodIsInTheTable) {
  for (const char* name :
       {"cartADD", "cartDisplayOnly", "CartDisplay", "cartTotal", "CartListItems", "AddCustomer",
        "UpdateCustomer", "logon", "OrderGetNextOrderID", "OrderSave", "OrderUpdateStatus",
        "OrderDelete", "OrderStatus"}) {
    SCOPED_TRACE(name);
    EXPECT_NE(findMethod(name), nullptr);
  }
}

TEST_F(MethodsTest, ShopperRoadThroughKestrinctl) {
  site.exec(Database::Main,
            "INSERT INTO products (part_num, descr, grp, cost, shipwgth) VALUES ('P1', 'Cable', "
            "'A1', 20, '2 lbs')");
  EXPECT_EQ(call("AddCustomer", {"username=ann", "Password=pw"}).out, "Passed|C10001\n");
  EXPECT_EQ(call("logon", {"username=ann", "strPassword=pw"}).out.rfind("logon=yes|", 0), 0u);
  const CommandResult added = call(
      "cartADD", {"steps=2", "partno=P1", "qty=3", "sessionid=s1", "strCustDb=True", "prSizes=4"});
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_NE(added.out.find("US$ 60.00"), std::string::npos) << added.out;
  EXPECT_EQ(site.value(Database::Main, "SELECT prSizes FROM cart"), "4");
  EXPECT_EQ(call("cartTotal", {"sessionid=s1"}).out, "60|6\n");
  EXPECT_EQ(call("OrderSave", {"GrandTotal=65.5", "TotalBeforeTaxes=60", "SubTotal=60",
                               "CardType=Visa", "sessionid=s1", "handling=0", "customerid=C10001"})
                .out,
            "True\n");
  EXPECT_EQ(call("OrderGetNextOrderID", {}).out, "S10002\n");
  EXPECT_NE(call("OrderStatus", {"customerid=C10001"}).out.find("invoice.asp?id=S10001"),
            std::string::npos);
  EXPECT_EQ(call("OrderUpdateStatus", {"orderid=S10001", "Status=Shipped"}).out, "True\n");
  EXPECT_EQ(call("OrderDelete", {"orderid=S10001"}).out, "True\n");
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM orderdetail"), "0");
  // A quantity that is no 16-bit number is refused before the engine runs.
  EXPECT_NE(call("cartADD", {"steps=2", "partno=P1", "qty=40000", "sessionid=s1"}).status, 0);
}

}  // namespace
}  // namespace kestrin::testing

// The accounting methods from the command line, on a demo site as `make run` makes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "site_fixture.h"

namespace {

namespace fs = std::filesystem;
using kestrin::testing::CommandResult;
using kestrin::testing::runCommand;

class AccountingCommandTest : public ::testing::Test {
 protected:
  CommandResult call(std::vector<std::string> args) {
    args.insert(args.begin(), {KESTRINCTL_PATH, "call"});
    args.push_back("siteID=kestrin");
    args.push_back("sitePassword=tolvaro27");
    return runCommand(args, {"KESTRIN_APP_PATH=" + site_, "FENWIX_DROP=" + dir_});
  }

  kestrin::testing::TempDir temp_{"kestrinctl-qb"};
  const std::string dir_ = temp_.path();
  const std::string site_ = dir_ + "/site";
};

TEST_F(AccountingCommandTest, TheDemoSiteExportsIntoItsCompanyFile) {
  CommandResult created = runCommand({KESTRINCTL_PATH, "site", "create", site_, "--site", "kestrin",
                                      "--password", "tolvaro27", "--demo"});
  ASSERT_EQ(created.status, 0) << created.err;
  const std::string companyFile = fs::canonical(site_).string() + "/company.qbw";
  ASSERT_TRUE(fs::exists(companyFile));

  EXPECT_EQ(call({"QBFCLatestVersion"}).out, "2.1\n");
  CommandResult latest = call({"GetLatestMsgSetRequest", "--show", "strR"});
  EXPECT_EQ(latest.out, "2.0\nstrR=\n") << latest.err;

  CommandResult customers = call({"qbExportCustomer", "sPath=" + dir_ + "/"});
  ASSERT_EQ(customers.status, 0) << customers.err;
  EXPECT_EQ(customers.out, "Passed\n");
  std::ifstream in(dir_ + "/ExportCustomerToQBLog.txt", std::ios::binary);
  std::stringstream logText;
  logText << in.rdbuf();
  EXPECT_NE(logText.str().find(", Jane M Porter\r\n"), std::string::npos) << logText.str();
  EXPECT_NE(logText.str().find(", Declan  O'Kane\r\n"), std::string::npos) << logText.str();

  CommandResult shown = runCommand({QBSIM_PATH, "show", companyFile});
  EXPECT_NE(shown.out.find("Customers: 2\nVendors: 0\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("Open sessions: 0\n"), std::string::npos);

  EXPECT_EQ(call({"Fenwix", "sPath=/srv/logs/", "tType=exVendor"}).out, "Passed\n");
  EXPECT_TRUE(fs::exists(dir_ + "/exVendor_kestrin.txt"));
  CommandResult added = runCommand(
      {KESTRINCTL_PATH, "call", "qbAddCustomer", "CompanyFile=" + companyFile, "zip=97412"});
  EXPECT_EQ(added.out.substr(0, 21), "CustomerRet ListID = ") << added.err;

  // Without the company file the version methods fail as QuickBooks does.
  fs::remove(companyFile);
  CommandResult gone = call({"QBFCLatestVersion"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_EQ(gone.err,
            "Error -2147220477: Could not open the specified QuickBooks company data "
            "file " +
                companyFile + ": the file does not exist.\nSource: qbsim\n");
}

}  // namespace

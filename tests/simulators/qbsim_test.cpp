// The qbsim command line, run as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "site_fixture.h"

namespace {

namespace fs = std::filesystem;
using kestrin::testing::CommandResult;
using kestrin::testing::runCommand;

class QbsimTest : public ::testing::Test {
 protected:
  CommandResult qbsim(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), QBSIM_PATH);
    return runCommand(args, {}, input);
  }

  kestrin::testing::TempDir temp_{"qbsim-cli"};
  const std::string dir_ = temp_.path();
  const std::string file_ = dir_ + "/shop.qbw";
};

const char* const kTwoCustomers =
    "<?xml version=\"1.0\"?><?qbxml version=\"1.1\"?><QBXML>"
    "<QBXMLMsgsRq onError=\"continueOnError\">"
    "<CustomerAddRq requestID=\"7\"><CustomerAdd><Name>Ann  Lee</Name>"
    "<BillAddress><City></City><State>OR</State></BillAddress></CustomerAdd></CustomerAddRq>"
    "<CustomerAddRq requestID=\"8\"><CustomerAdd><Name>ANN  LEE</Name></CustomerAdd>"
    "</CustomerAddRq></QBXMLMsgsRq></QBXML>";

TEST_F(QbsimTest, CreateShowAndVersions) {
  CommandResult created = qbsim({"create", file_, "--versions", "1.0,1.1"});
  ASSERT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(created.out, "Created company file " + file_ + "\n");

  CommandResult again = qbsim({"create", file_});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "qbsim: The company file " + file_ + " already exists.\n");

  CommandResult summary = qbsim({"show", file_});
  ASSERT_EQ(summary.status, 0) << summary.err;
  EXPECT_EQ(summary.out, "Company file: " + file_ +
                             "\n"
                             "Product: QuickBooks Pro (simulated company file)\n"
                             "qbXML versions: 1.0, 1.1\n"
                             "Open sessions: 0\n"
                             "Customers: 0\n"
                             "Vendors: 0\n"
                             "Items: 0 (inventory 0, non-inventory 0)\n"
                             "Invoices: 0\n"
                             "Accounts: 4\n"
                             "Sales tax codes: 2\n"
                             "Ship methods: 5\n"
                             "Terms: 7\n");

  EXPECT_EQ(qbsim({"versions", file_}).out, "1.0,1.1\n");
  EXPECT_EQ(qbsim({"versions", file_, "1.0, 1.1,2.0,2.1"}).out, "1.0,1.1,2.0,2.1\n");
  CommandResult bad = qbsim({"versions", file_, "2.x"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err,
            "qbsim: Invalid procedure call or argument: '2.x' is not a qbXML version such as "
            "2.1\n");
  EXPECT_EQ(qbsim({"versions", file_}).out, "1.0,1.1,2.0,2.1\n");
}

TEST_F(QbsimTest, RequestAnswersAndShowListsWhatWasStored) {
  ASSERT_EQ(qbsim({"create", file_}).status, 0);
  CommandResult answer = qbsim({"request", file_}, kTwoCustomers);
  ASSERT_EQ(answer.status, 0) << answer.err;
  EXPECT_NE(answer.out.find("<CustomerAddRs requestID=\"7\" statusCode=\"0\" "
                            "statusSeverity=\"Info\" statusMessage=\"Status OK\">"),
            std::string::npos)
      << answer.out;
  EXPECT_NE(answer.out.find("<CustomerAddRs requestID=\"8\" statusCode=\"3100\" "
                            "statusSeverity=\"Error\" statusMessage=\"The name &quot;ANN  "
                            "LEE&quot; of the list element is already in use.\" />"),
            std::string::npos)
      << answer.out;

  CommandResult customers = qbsim({"show", file_, "customers"});
  ASSERT_EQ(customers.status, 0) << customers.err;
  EXPECT_TRUE(customers.out.starts_with("CustomerRet\n  ListID: 8")) << customers.out;
  EXPECT_NE(customers.out.find("\n  Name: Ann  Lee\n"), std::string::npos);
  // An empty value is shown, so that it differs from one that was never sent.
  EXPECT_NE(customers.out.find("\n  BillAddress/City:\n  BillAddress/State: OR\n"),
            std::string::npos)
      << customers.out;
  EXPECT_NE(qbsim({"show", file_}).out.find("Customers: 1\n"), std::string::npos);

  CommandResult terms = qbsim({"show", file_, "terms"});
  EXPECT_NE(terms.out.find("  Name: Net 30\n"), std::string::npos) << terms.out;
}

TEST_F(QbsimTest, FailuresAndMisuseAreReported) {
  CommandResult missing = qbsim({"show", dir_ + "/none.qbw"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "qbsim: Could not open the specified QuickBooks company data file " +
                             dir_ + "/none.qbw: the file does not exist.\n");
  EXPECT_FALSE(fs::exists(dir_ + "/none.qbw"));

  ASSERT_EQ(qbsim({"create", file_}).status, 0);
  CommandResult garbage = qbsim({"request", file_}, "hello");
  EXPECT_EQ(garbage.status, 1);
  EXPECT_EQ(garbage.err,
            "qbsim: QuickBooks found an error when parsing the provided XML text stream. (No "
            "document element found at offset 5)\n");

  EXPECT_EQ(qbsim({"show", file_, "spaceships"}).status, 2);
  EXPECT_EQ(qbsim({"frobnicate", file_}).status, 2);
  EXPECT_EQ(qbsim({"create"}).status, 2);
  EXPECT_EQ(qbsim({"--help"}).status, 0);
}

}  // namespace

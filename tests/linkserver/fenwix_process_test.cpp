// The fenwix program as an operator runs it: with kestrinctl dropping requests,
// stopped by signals, killed in the middle of an invoice export, in its window
// under Xvfb.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "company_file.h"
#include "site_fixture.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kestrin::testing::CommandResult;
using kestrin::testing::Database;
using kestrin::testing::runCommand;
using kestrin::testing::SiteFixture;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

// Waits for `done` for at most a minute (a loaded machine is slow; the test
// asserts what happened, not how fast).
bool waitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 1200; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return done();
}

// A fenwix running in the background, its output in a file; stopped by the
// test.
class Fenwix {
 public:
  Fenwix(const std::vector<std::string>& args, const std::vector<std::string>& env,
         const std::string& output)
      : output_(output) {
    std::vector<std::string> argv{FENWIX_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e) envs.emplace_back(*e);
    envs.insert(envs.end(), env.begin(), env.end());
    std::vector<char*> cenv;
    for (auto& e : envs) cenv.push_back(e.data());
    cenv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn(&pid_, FENWIX_PATH, &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Fenwix() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  // Sends the signal and waits for the end; the exit status, or -signal.
  int stop(int sig) {
    ::kill(pid_, sig);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  std::string output() const { return slurp(output_); }

 private:
  pid_t pid_ = -1;
  std::string output_;
};

class FenwixProcessTest : public kestrin::testing::SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    dir = fs::canonical(site.dir()).string();
    companyFile = dir + "/company.qbw";
    kestrin::qbsim::createCompanyFile(companyFile);
    logDir = dir + "/logs/";
    drop = dir + "/drop";
    fs::create_directories(logDir);
    fs::create_directories(drop);
    env = {"FENWIX_HOME=" + dir, "FENWIX_DROP=" + drop, "KESTRIN_APP_PATH=" + dir};
  }
  CommandResult kestrinctl(const std::string& type) {
    return runCommand({KESTRINCTL_PATH, "call", "Fenwix", "siteID=kestrin",
                       "sitePassword=tolvaro27", "sPath=" + logDir, "tType=" + type},
                      env);
  }

  std::string dir, companyFile, logDir, drop;
  std::vector<std::string> env;
};

TEST_F(FenwixProcessTest, ARequestDroppedByTheEngineIsRunByTheServer) {
  site.exec(Database::Main,
            "INSERT INTO customer (customerid, fname, lname) "
            "VALUES ('C1', 'Ann', 'Lee')");
  Fenwix server({"--log", dir + "/fenwix.log"}, env, dir + "/out.txt");
  ASSERT_TRUE(waitFor([&] { return server.output().find("Status Log...") != std::string::npos; }));
  CommandResult dropped = kestrinctl("exCustomer");
  ASSERT_EQ(dropped.out, "Passed\n") << dropped.err;
  ASSERT_TRUE(waitFor([&] { return fs::exists(logDir + "ExportCustomerToQBLog.txt"); }))
      << server.output();
  EXPECT_TRUE(kestrin::qbsim::CompanyFile(companyFile).findByName("Name", "Ann  Lee"));
  EXPECT_TRUE(waitFor([&] { return server.output().find(":::Passed\n") != std::string::npos; }));
  EXPECT_EQ(server.stop(SIGTERM), 0);
  const std::string out = server.output();
  EXPECT_NE(out.find(" :: Processing file: exCustomer_kestrin.txt\n:::Passed\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("Kestrin >>> FENWIX "), std::string::npos);
  EXPECT_NE(out.find("FENWIX: stopped"), std::string::npos);
  // The status log file holds what standard output showed.
  EXPECT_NE(slurp(dir + "/fenwix.log").find(":::Passed\n"), std::string::npos);
}

TEST_F(FenwixProcessTest, KillingTheServerMidInvoiceExportBooksNothingTwice) {
  site.exec(Database::Main,
            "INSERT INTO customer (customerid, fname, lname, address, city, state, "
            "zip, country) "
            "VALUES ('C1', 'Ann', 'Lee', '1 Main', 'Eugene', 'OR', '97401', 'USA')");
  ASSERT_EQ(kestrinctl("exCustomer").out, "Passed\n");
  ASSERT_EQ(runCommand({FENWIX_PATH, "--once", "--log", dir + "/f.log"}, env).status, 0);
  ASSERT_TRUE(kestrin::qbsim::CompanyFile(companyFile).findByName("Name", "Ann  Lee"));
  std::string orders = "BEGIN;";
  for (int i = 1; i <= 400; ++i) {
    const std::string id = "S" + std::to_string(10000 + i);
    orders +=
        "INSERT INTO orderinfo (orderid, customerid, date, status, "
        "shipaddres, shipcity, "
        "shipstate, shipzip, shipcountr) VALUES ('" +
        id +
        "', 'C1', '12/1/2026', 'New', '9 Dock', 'Salem', 'OR', '97301', "
        "'USA');" +
        "INSERT INTO orderdetail (detailid, partno, descr, price, qty, "
        "custdb) VALUES ('" +
        id + "', 'X', 'Item', 10, 1, '1');";
  }
  site.exec(Database::Main, orders + "COMMIT;");

  auto exported = [&] {
    try {
      return std::stoi(site.value(
          Database::Main, "SELECT count(*) FROM qb_invoice_journal WHERE status = 'exported'"));
    } catch (const std::exception&) {
      return 0;  // the journal does not exist yet
    }
  };
  {
    Fenwix server({"--quiet-banner", "--log", dir + "/f.log"}, env, dir + "/out1.txt");
    ASSERT_EQ(kestrinctl("exInvoice").out, "Passed\n");
    ASSERT_TRUE(waitFor([&] { return exported() >= 5; })) << server.output();
    EXPECT_EQ(server.stop(SIGKILL), -SIGKILL);
  }
  const int beforeRestart = exported();
  ASSERT_LT(beforeRestart, 400) << "the export ended before the server was killed";

  ASSERT_EQ(kestrinctl("exInvoice").out, "Passed\n");
  CommandResult again =
      runCommand({FENWIX_PATH, "--once", "--quiet-banner", "--log", dir + "/f.log"}, env);
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_NE(again.out.find(":::Passed"), std::string::npos) << again.out;

  std::multiset<std::string> refs;
  for (const auto& e : kestrin::qbsim::CompanyFile(companyFile).elements({"Invoice"})) {
    refs.insert(e.name);
  }
  std::set<std::string> unique(refs.begin(), refs.end());
  EXPECT_EQ(refs.size(), unique.size()) << "an invoice was booked twice";
  // Every order is booked once: one the kill caught between sending and answer is settled by
  // asking QuickBooks.
  EXPECT_EQ(refs.size(), 400u);
  EXPECT_EQ(exported(), 400);
  EXPECT_NE(slurp(logDir + "ExportInvoiceToQBLog.txt").find("Skipped (already exported) S10001"),
            std::string::npos);
  EXPECT_EQ(kestrin::qbsim::openSessionCount(companyFile), 0);
}

TEST_F(FenwixProcessTest, ReexportTakesAnOrderOutOfTheJournal) {
  site.exec(Database::Main,
            "INSERT INTO qb_invoice_journal VALUES ('S1', '1A-1', 'exported', '2026-12-09 "
            "10:00:00')");
  CommandResult r = runCommand({FENWIX_PATH, "--reexport", "S1", "--site", "kestrin"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "The order S1 is out of the journal: the next invoice "
            "export sends it again.\n");
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM qb_invoice_journal"), "0");
  r = runCommand({FENWIX_PATH, "--reexport", "S1", "--site", "kestrin"}, env);
  EXPECT_EQ(r.out,
            "The order S1 is not in the journal of exported invoices: "
            "nothing to do.\n");
  r = runCommand({FENWIX_PATH, "--reexport", "S1"}, env);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--web-connector and --reexport need --site"), std::string::npos);
}

TEST(FenwixProgramTest, NeverLoadsTheEngine) {
  CommandResult ldd = runCommand({"ldd", FENWIX_PATH});
  EXPECT_EQ(ldd.status, 0);
  EXPECT_EQ(ldd.out.find("libkestrin"), std::string::npos) << ldd.out;
}

TEST(FenwixProgramTest, QwcFileForTheWebConnector) {
  CommandResult r = runCommand(
      {FENWIX_PATH, "qwc", "--site", "kestrin", "--url", "https://shop.example.com/qbwc"});
  EXPECT_EQ(r.status, 0);
  kestrin::testing::expectGolden("linkserver/golden/kestrin.qwc", r.out);
  CommandResult lint = runCommand({"xmllint", "--noout", "-"}, {}, r.out);
  EXPECT_EQ(lint.status, 0) << lint.err;
}

TEST_F(FenwixProcessTest, TheWindowUnderXvfb) {
  if (!fs::exists("/usr/bin/xvfb-run")) GTEST_SKIP() << "xvfb-run is missing (scripts/bootstrap)";
  const std::string artifacts = std::string(KESTRIN_BIN_DIR) + "/test-artifacts/linkserver";
  fs::create_directories(artifacts);
  const std::string picture = dir + "/window.ppm";
  site.exec(Database::Main, "INSERT INTO vendors (name) VALUES ('Tech Data')");
  ASSERT_EQ(kestrinctl("exVendor").out, "Passed\n");
  // Fonts and the X connection are held by those libraries until the process ends; a sanitizer
  // build is not to report them as leaks of ours.
  std::vector<std::string> windowEnv = env;
  windowEnv.push_back("LSAN_OPTIONS=suppressions=" + std::string(KESTRIN_TEST_DIR) +
                      "/linkserver/window_leaks.supp");
  CommandResult r = runCommand({"xvfb-run", "-a", "-s", "-screen 0 800x600x24", FENWIX_PATH,
                                "--window", "--screenshot", picture, "--log", dir + "/f.log"},
                               windowEnv);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(":::Passed"), std::string::npos) << r.out;
  const std::string ppm = slurp(picture);
  ASSERT_TRUE(ppm.starts_with("P6\n641 266\n255\n")) << ppm.substr(0, 20);
  // Not a blank picture: the window's widgets drew something.
  std::set<char> shades(ppm.begin() + 15, ppm.end());
  EXPECT_GT(shades.size(), 8u);
  const std::string png = artifacts + "/fenwix-window.png";
  CommandResult convert = runCommand({"/usr/bin/python3", "-c",
                                      "import sys; from PIL import Image; "
                                      "Image.open(sys.argv[1]).save(sys.argv[2])",
                                      picture, png});
  EXPECT_EQ(convert.status, 0) << convert.err;
  EXPECT_TRUE(fs::exists(png));
}

}  // namespace

// End to end: the delivery that `make dist` builds, copied into a temporary folder, installed by
// pelmoray in scripted mode; the registration and the installer replaced by stand-ins that record
// how they were started; then the real registration and kestrin-shop serving the installed site.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "dist_support.h"
#include "setup_test_support.h"

namespace pelmoray {
namespace {

using namespace pelmoray::testing;
namespace fs = std::filesystem;

class DistTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::is_directory(KESTRIN_DIST_DIR)) << "make dist builds " << KESTRIN_DIST_DIR;
    delivery = base / "kestrin setup it's";
    copyDelivery(delivery);
    www = base / "www";
    data = base / "data";
    fs::create_directories(data);
  }

  Output pelmoray(const std::vector<std::string>& args) {
    return runPelmoray(delivery, args, base / "out.txt");
  }

  std::vector<std::string> install(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"--agree",   "--target",   www,     "--new-folder",
                                     "shop",      "--server",   data,    "--user",
                                     " webuser ", "--password", "secret"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  std::string config(const std::string& sitePassword = "tolvaro27") {
    std::string t = sitePassword + "\r\n";
    for (const char* catalog : {"kestrin", "ingram", "techdata"}) {
      t += "Provider=SQLOLEDB; Data Source=" + data + "; Initial Catalog=" + catalog +
           "; User ID=webuser; Password=secret;\r\nsa\r\n8642\r\n";
    }
    return t + "qbCompanyFile=/www/a.qbw\r\n";
  }

  TempDir base;
  std::string delivery, www, data;
};

TEST_F(DistTest, InstallsTheDeliveryAndKestrinShopServesIt) {
  Output first = pelmoray(install());
  ASSERT_EQ(first.status, 0) << first.out;
  EXPECT_EQ(first.out, std::string(kStartOutput) +
                           "Databases have been created successfully! \n"
                           "Please proceed to step THREE.\n" +
                           kInstallerLine);
  const std::string site = www + "/shop";
  for (const char* file :
       {"style.css", "images/bullet.gif", "admin/index.html", "admin/htmlarea/htmlarea.js",
        "admin/htmlarea/images/bold.gif", "admin/htmlarea/popups/insert_link.html"}) {
    EXPECT_TRUE(exists(site + "/" + file)) << file;
  }
  EXPECT_GT(filesBelow(site + "/images/special").size(), 100u);
  for (const char* folder : {"admin/tdo", "admin/temp", "admin/database"})
    EXPECT_TRUE(fs::is_directory(site + "/" + folder)) << folder;
  EXPECT_TRUE(exists(delivery + "/dll/libkestrin.so"));
  EXPECT_EQ(filesBelow(data), (std::vector<std::string>{"ingram.db", "kestrin.db", "techdata.db"}));
  EXPECT_EQ(readFile(delivery + "/kestrin.ini"), config());
  EXPECT_EQ(readFile(delivery + "/dll/kestrin.ini"), config());
  EXPECT_EQ(readFile(site + "/admin/xconfig.asp"),
            "<%\r\nsPath = \"" + site + "/images/special/\"\r\nvPath = \"/\"\r\n%>\r\n");
  EXPECT_EQ(awaitFile(delivery + "/started-kestrin-regsvr.txt"),
            delivery + "/kestrin-regsvr " + delivery + "/dll/libkestrin.so\n");
  EXPECT_EQ(awaitFile(delivery + "/started-qbfc2_1Installer.exe.txt"),
            delivery + "/qbfc2_1Installer.exe\n");

  // The real registration, then the page host finds the engine's folder through it.
  const std::string registry = base / "registry";
  ASSERT_EQ(registerEngine(delivery, registry), 0);
  EXPECT_EQ(readFile(registry), delivery + "/dll/libkestrin.so\n");

  std::string banner;
  const std::vector<std::string> pages =
      shopResponses(registry, site, {"/", "/style.css", "/admin/htmlarea/htmlarea.js"}, &banner);
  ASSERT_FALSE(pages[0].empty()) << banner;
  const std::string& home = pages[0];
  const std::string& css = pages[1];
  const std::string& editor = pages[2];
  EXPECT_TRUE(home.starts_with("HTTP/1.1 200") || home.starts_with("HTTP/1.0 200"))
      << home.substr(0, 200);
  EXPECT_NE(home.find("c_2.asp"), std::string::npos);  // the demo catalog's menu
  EXPECT_EQ(css.substr(css.find("\r\n\r\n") + 4), readFile(site + "/style.css"));
  EXPECT_NE(editor.find("var HTMLArea"), std::string::npos);

  // A second run finds the databases attached: a warning, and the files written again.
  fs::remove(delivery + "/kestrin.ini");
  Output second = pelmoray(install());
  EXPECT_EQ(second.status, 0) << second.out;
  EXPECT_NE(second.out.find("Databases have been created successfully with the following "
                            "warning:\nDatabase 'techdata' already exists. Choose a different "
                            "database name.\n"),
            std::string::npos)
      << second.out;
  EXPECT_EQ(readFile(delivery + "/kestrin.ini"), config());
}

TEST_F(DistTest, CreateDatabasesWithoutStartWritesNothing) {
  Output o = pelmoray(install({"--no-start"}));
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out,
            "Type the name of the new folder\n"
            "Please complete STEP ONE by clicking on START before creating databases.\n");
  EXPECT_TRUE(filesBelow(data).empty());
  EXPECT_FALSE(exists(delivery + "/kestrin.ini"));
  EXPECT_FALSE(exists(delivery + "/dll"));
}

TEST_F(DistTest, BadInputIsReported) {
  struct Case {
    const char* name;
    std::function<void()> spoil;
    std::vector<std::string> args;
    std::string expected;  // a part of the output
  };
  const std::string missingServer = base / "missing";
  const Case cases[] = {
      {"archive missing", [this] { fs::remove(delivery + "/admin.zip"); }, install(),
       "Copying Files...\nCannot find or open the archive " + base / "delivery it's 1" +
           "/admin.zip: No such file or directory.\nRegistering Kestrin.DLL\n"},
      {"damaged database file",
       [this] { writeFile(delivery + "/kestrin_data.mdf", std::string(4096, 'x')); }, install(),
       "Error(s) occurred while creating databases. Please check your SQL server "
       "username/password and settings.\nThe following is the error message: \n"},
      {"target that cannot be created",
       [this] { writeFile(base / "blocker", "x"); },
       {"--agree", "--target", base / "blocker/site", "--server", data, "--no-databases"},
       "Cannot create or open the folder " + base.path() + "/blocker/site/: Not a directory.\n"},
      {"wrong server",
       [] {},
       {"--agree", "--target", www, "--server", missingServer, "--user", "sa", "--password", "pw"},
       "The following is the error message: \nCannot connect to the database folder \"" +
           missingServer + "\": there is no such folder.\n"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A fresh delivery each time: the stand-ins of the last run may still be writing into theirs.
    delivery = base / ("delivery it's " + std::to_string(++n));
    copyDelivery(delivery);
    fs::remove_all(data);
    fs::create_directories(data);
    c.spoil();
    Output o = pelmoray(c.args);
    EXPECT_EQ(o.status, 1) << o.out;
    EXPECT_NE(o.out.find(c.expected), std::string::npos) << o.out;
  }
  EXPECT_TRUE(exists(delivery + "/kestrin.ini"));  // written even though the server was wrong
}

TEST_F(DistTest, DisagreeAndSitePassword) {
  Output no = pelmoray({"--target", www});
  EXPECT_EQ(no.status, 1);
  EXPECT_EQ(no.out, "Thank you for your interest in Kestrin Software.\n");
  EXPECT_FALSE(exists(www));

  Output o = pelmoray(install({"--site-password", "Other-Pass1"}));
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(readFile(delivery + "/kestrin.ini"), config("Other-Pass1"));
  Output bad = pelmoray(install({"--site-password", "a,b"}));
  EXPECT_EQ(bad.status, 2);
}

TEST_F(DistTest, InstallerWritesTheLinkServerService) {
  TempDir units;
  fs::copy_file(fs::path(KESTRIN_DIST_DIR) / "qbfc2_1Installer.exe",
                delivery + "/qbfc2_1Installer.exe", fs::copy_options::overwrite_existing);
  fs::remove(delivery + "/Fenwix");
  std::string env = "KESTRIN_SYSTEMD_DIR=" + shellQuote(units.path()) + " KESTRIN_NO_SYSTEMCTL=1 ";
  EXPECT_EQ(run(env + shellQuote(delivery + "/qbfc2_1Installer.exe") + " > /dev/null"), 1);
  EXPECT_NE(readFile(delivery + "/qbfc2_1Installer.log").find("is not in this delivery"),
            std::string::npos);
  writeFile(delivery + "/Fenwix", "#!/bin/sh\n");
  fs::permissions(delivery + "/Fenwix", fs::perms::owner_all);
  EXPECT_EQ(run(env + shellQuote(delivery + "/qbfc2_1Installer.exe") + " > /dev/null"), 0);
  std::string unit = readFile(units / "fenwix.service");
  EXPECT_NE(unit.find("WorkingDirectory=" + delivery + "\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("ExecStart=\"" + delivery + "/Fenwix\" --quiet-banner\n"), std::string::npos)
      << unit;
  EXPECT_NE(unit.find("Environment=\"FENWIX_HOME=" + delivery + "\"\n"), std::string::npos) << unit;
}

}  // namespace
}  // namespace pelmoray

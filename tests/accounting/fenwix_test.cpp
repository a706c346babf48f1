// Fenwix: the request file the engine drops for the accounting link server.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kestrin/ecat.h"
#include "kestrin/error.h"
#include "kestrin/fenwix_drop.h"
#include "site_fixture.h"

namespace kestrin::accounting {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

// Every file under `dir`, hidden ones included.
std::vector<std::string> allFiles(const fs::path& dir) {
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) files.push_back(fs::relative(e.path(), dir).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class FenwixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(drop_);
    setenv("FENWIX_DROP", drop_.c_str(), 1);
  }
  void TearDown() override { unsetenv("FENWIX_DROP"); }

  testing::TempDir temp_{"fenwix-test"};
  const fs::path root_ = temp_.path();
  const fs::path drop_ = root_ / "drop";
  eCat cat;
};

TEST_F(FenwixTest, RequestFileIsNamedByTypeAndSiteAndHoldsFourLines) {
  EXPECT_EQ(cat.Fenwix("shop1", "tolvaro27", "/srv/shop1/logs/", "exItem"), "Passed");
  EXPECT_FALSE(currentError().isSet());
  EXPECT_EQ(allFiles(drop_), std::vector<std::string>{"exItem_shop1.txt"});
  EXPECT_EQ(slurp(drop_ / "exItem_shop1.txt"),
            "shop1\r\ntolvaro27\r\n/srv/shop1/logs/\r\nexItem\r\n");

  // The name is made of the trimmed values; the lines keep them as given.
  EXPECT_EQ(cat.Fenwix(" shop2 ", "pw", "", " exCustomer "), "Passed");
  EXPECT_EQ(slurp(drop_ / "exCustomer_shop2.txt"), " shop2 \r\npw\r\n\r\n exCustomer \r\n");

  // The link server's side: the waiting requests, read back as delimited items.
  std::vector<std::string> waiting = listDropRequests(drop_.string());
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_EQ(fs::path(waiting[0]).filename(), "exCustomer_shop2.txt");
  DropRequest read = readDropRequest(waiting[1]);
  EXPECT_EQ(read.siteID, "shop1");
  EXPECT_EQ(read.sitePassword, "tolvaro27");
  EXPECT_EQ(read.sPath, "/srv/shop1/logs/");
  EXPECT_EQ(read.tType, "exItem");
  EXPECT_EQ(readDropRequest(waiting[0]).sPath, "");

  // A request dropped again replaces the one still waiting.
  EXPECT_EQ(cat.Fenwix("shop1", "new", "/x/", "exItem"), "Passed");
  EXPECT_EQ(readDropRequest((drop_ / "exItem_shop1.txt").string()).sitePassword, "new");
  EXPECT_EQ(allFiles(drop_).size(), 2u);
}

TEST_F(FenwixTest, ValuesTheServerWouldMisreadOrNamesLeavingTheFolderFail) {
  struct Case {
    const char* name;
    DropRequest request;
    int32_t error;
  };
  const Case cases[] = {
      {"path in the site id", {"../outside", "pw", "/l/", "exItem"}, kErrBadFileName},
      {"path in the type", {"shop1", "pw", "/l/", "a/b"}, kErrBadFileName},
      {"hidden name", {"shop1", "pw", "/l/", ".exItem"}, kErrBadFileName},
      {"NUL in the type", {"shop1", "pw", "/l/", std::string("ex\0Item", 7)}, kErrBadFileName},
      {"comma in the password", {"shop1", "p,w", "/l/", "exItem"}, kErrInvalidCall},
      {"line break in the folder", {"shop1", "pw", "/l/\r\nexVendor", "exItem"}, kErrInvalidCall},
      {"quoted site id", {"\"shop1\"", "pw", "/l/", "exItem"}, kErrInvalidCall},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DropRequest& r = c.request;
    EXPECT_EQ(cat.Fenwix(r.siteID, r.sitePassword, r.sPath, r.tType), "Failed");
    EXPECT_EQ(currentError().number, c.error);
  }
  EXPECT_TRUE(allFiles(root_).empty());
}

TEST_F(FenwixTest, AFolderThatCannotBeWrittenFails) {
  setenv("FENWIX_DROP", (root_ / "missing").c_str(), 1);
  EXPECT_EQ(cat.Fenwix("shop1", "pw", "/l/", "exItem"), "Failed");
  EXPECT_EQ(currentError().number, kErrPathAccess);
  EXPECT_NE(currentError().description.find("missing/exItem_shop1.txt: No such file or directory"),
            std::string::npos)
      << currentError().description;
  EXPECT_FALSE(fs::exists(root_ / "missing"));
}

TEST_F(FenwixTest, TheDropFolderComesFromTheEnvironmentOrItsFixedPlace) {
  setenv("FENWIX_DROP", "/tmp/requests", 1);
  EXPECT_EQ(fenwixDropFolder(), "/tmp/requests/");
  setenv("FENWIX_DROP", "/tmp/requests/", 1);
  EXPECT_EQ(fenwixDropFolder(), "/tmp/requests/");
  unsetenv("FENWIX_DROP");
  EXPECT_EQ(fenwixDropFolder(), "/var/spool/fenwix/");
}

TEST_F(FenwixTest, OnlyVisibleFilesAreRequests) {
  std::ofstream(drop_ / ".exItem_shop1.txt.123-0") << "being written";
  fs::create_directories(drop_ / "sub");
  std::ofstream(drop_ / "exVendor_s.txt") << "s\r\npw\r\n/l/\r\nexVendor\r\n";
  std::vector<std::string> waiting = listDropRequests(drop_.string());
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(readDropRequest(waiting[0]).tType, "exVendor");
  EXPECT_TRUE(listDropRequests((root_ / "none").string()).empty());
  EXPECT_EQ(testing::errorNumberOf([&] { readDropRequest((root_ / "none.txt").string()); }),
            kErrPathAccess);
}

}  // namespace
}  // namespace kestrin::accounting

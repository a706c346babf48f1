#include "site_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kestrin/error.h"

namespace kestrin {
namespace {

class SiteConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kestrin-ini-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& text) {
    std::string path = (dir_ / "site.ini").string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  std::filesystem::path dir_;
};

int32_t nextError(SiteConfigReader& r) {
  try {
    r.next();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

TEST_F(SiteConfigTest, ValuesEndAtLineEndsAndCommas) {
  SiteConfigReader r(write(" pw \r\nProvider=SQLite; Data Source=a,b\r\n\r\nlast"));
  EXPECT_EQ(r.next(), " pw ");  // not trimmed by the reader
  EXPECT_EQ(r.next(), "Provider=SQLite; Data Source=a");
  EXPECT_EQ(r.next(), "b");  // the comma shifts every later value
  EXPECT_EQ(r.next(), "");
  EXPECT_EQ(r.next(), "last");
  EXPECT_EQ(nextError(r), kErrPastEndOfFile);
}

TEST_F(SiteConfigTest, BareLineFeedsEndValuesToo) {
  SiteConfigReader r(write("a\nb\n"));
  EXPECT_EQ(r.next(), "a");
  EXPECT_EQ(r.next(), "b");
  EXPECT_EQ(nextError(r), kErrPastEndOfFile);
}

TEST_F(SiteConfigTest, MissingFileFailsEveryRead) {
  SiteConfigReader r((dir_ / "nope.ini").string());
  EXPECT_EQ(nextError(r), kErrFileNotFound);
  EXPECT_EQ(nextError(r), kErrFileNotFound);
}

TEST_F(SiteConfigTest, PathIsFolderSlashSiteIni) {
  EXPECT_EQ(siteConfigPath("/srv/shop", "kestrin"), "/srv/shop/kestrin.ini");
  EXPECT_EQ(siteConfigPath("/", "kestrin"), "/kestrin.ini");  // a root folder gets no second "/"
  EXPECT_EQ(siteConfigPath("/srv/shop/", "x"), "/srv/shop/x.ini");
  // A site id is a name, never a path.
  EXPECT_EQ(siteConfigPath("/srv/shop", "../etc/passwd"), "");
  SiteConfigReader r(siteConfigPath("/srv/shop", "a/b"));
  EXPECT_EQ(nextError(r), kErrBadFileName);
}

}  // namespace
}  // namespace kestrin

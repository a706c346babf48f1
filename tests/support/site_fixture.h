// A temporary site for a test: configuration file and the three SQLite databases made from the
// schema (no demo data), in a fresh folder that the engine sees as its own (KESTRIN_APP_PATH).
// Each test states the rows it needs with exec().
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "schema.h"

namespace kestrin::testing {

using schema::Database;

class SiteFixture {
 public:
  static constexpr const char* kSiteId = "kestrin";
  static constexpr const char* kPassword = "tolvaro27";

  explicit SiteFixture(bool demo = false);
  ~SiteFixture();
  SiteFixture(const SiteFixture&) = delete;
  SiteFixture& operator=(const SiteFixture&) = delete;

  const std::string& dir() const { return dir_; }
  std::string dbFile(Database db) const;
  std::string iniFile() const { return dir_ + "/" + kSiteId + ".ini"; }

  // Runs SQL directly on a database of the site (outside the engine).
  void exec(Database db, const std::string& sql) const;
  // First column of every row of a query, as text (NULL as "<NULL>").
  std::vector<std::string> column(Database db, const std::string& sql) const;
  std::string value(Database db, const std::string& sql) const;

  void setPreference(const std::string& name, const std::string& value) const;
  // Replaces the configuration file with `text` as it stands.
  void writeIni(const std::string& text) const;

 private:
  std::string dir_;
};

// Base for tests that need a site: one fresh site per test, made the engine's folder.
class SiteTest : public ::testing::Test {
 protected:
  void SetUp() override;
  SiteFixture site;
};

// A fresh folder of its own for a test (mkdtemp), removed with all it holds when the object goes.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "kestrin-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// What a program run by a test said and how it ended.
struct CommandResult {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs `command` (program and arguments, each passed as it stands) with the environment settings
// `env` ("NAME=value"; "-NAME" removes a variable) and `input` on its standard input, and waits
// for it to end.
CommandResult runCommand(const std::vector<std::string>& command,
                         const std::vector<std::string>& env = {}, const std::string& input = "");

// The number of the kestrin::Error that `call` raises, or 0 when it raises none.
int32_t errorNumberOf(const std::function<void()>& call);

// Compares `actual` with the golden file tests/<relPath>; on a difference reports the first
// differing line. With KESTRIN_UPDATE_GOLDEN=1 the golden file is rewritten instead.
void expectGolden(const std::string& relPath, const std::string& actual);

}  // namespace kestrin::testing

#include "site_fixture.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "kestrin/error.h"
#include "site_create.h"

namespace kestrin::testing {

namespace fs = std::filesystem;

SiteFixture::SiteFixture(bool demo) {
  std::string tmpl = (fs::temp_directory_path() / "kestrin-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  tools::createSite({dir_, kSiteId, kPassword, demo, false});
}

SiteFixture::~SiteFixture() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

std::string SiteFixture::dbFile(Database db) const {
  return dir_ + "/" + schema::catalogName(db) + ".db";
}

namespace {
struct Db {
  sqlite3* handle = nullptr;
  explicit Db(const std::string& file) {
    if (sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      throw std::runtime_error("cannot open " + file);
    }
    sqlite3_busy_timeout(handle, 5000);
  }
  ~Db() { sqlite3_close_v2(handle); }
};
}  // namespace

void SiteFixture::exec(Database db, const std::string& sql) const {
  Db d(dbFile(db));
  char* message = nullptr;
  if (sqlite3_exec(d.handle, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "?";
    sqlite3_free(message);
    throw std::runtime_error("fixture SQL failed: " + text + "\n" + sql);
  }
}

std::vector<std::string> SiteFixture::column(Database db, const std::string& sql) const {
  Db d(dbFile(db));
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(d.handle, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw std::runtime_error(std::string("fixture query failed: ") + sqlite3_errmsg(d.handle));
  }
  std::vector<std::string> out;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(stmt, 0);
    out.emplace_back(t ? reinterpret_cast<const char*>(t) : "<NULL>");
  }
  sqlite3_finalize(stmt);
  return out;
}

std::string SiteFixture::value(Database db, const std::string& sql) const {
  auto rows = column(db, sql);
  return rows.empty() ? "<no row>" : rows.front();
}

void SiteFixture::setPreference(const std::string& name, const std::string& value) const {
  auto quote = [](const std::string& s) {
    std::string out;
    for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out;
  };
  const std::string n = quote(name), v = quote(value);
  exec(Database::Main,
       "INSERT OR REPLACE INTO preferences (items, descr) VALUES ('" + n + "', '" + v + "')");
}

void SiteFixture::writeIni(const std::string& text) const {
  std::ofstream out(iniFile(), std::ios::binary | std::ios::trunc);
  out << text;
}

int32_t errorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

namespace {

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

}  // namespace

TempDir::TempDir(const std::string& prefix) {
  std::string tmpl = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

CommandResult runCommand(const std::vector<std::string>& command,
                         const std::vector<std::string>& env, const std::string& input) {
  TempDir temp("kestrin-run");
  const fs::path dir = temp.path();
  std::ofstream(dir / "in", std::ios::binary) << input;
  std::string cmd = "env";
  for (const std::string& e : env) {
    cmd += e.starts_with('-') ? " -u " + shellQuote(e.substr(1)) : " " + shellQuote(e);
  }
  for (const std::string& a : command) cmd += " " + shellQuote(a);
  cmd +=
      " <" + (dir / "in").string() + " >" + (dir / "out").string() + " 2>" + (dir / "err").string();
  int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out"), slurp(dir / "err")};
}

void SiteTest::SetUp() { setenv("KESTRIN_APP_PATH", site.dir().c_str(), 1); }

void expectGolden(const std::string& relPath, const std::string& actual) {
  const std::string path = std::string(KESTRIN_TEST_DIR) + "/" + relPath;
  if (const char* update = std::getenv("KESTRIN_UPDATE_GOLDEN");
      update && std::string(update) == "1") {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << actual;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "missing golden file " << path
                  << " (run with KESTRIN_UPDATE_GOLDEN=1 to create it)";
  std::stringstream buf;
  buf << in.rdbuf();
  const std::string expected = buf.str();
  if (expected == actual) return;
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  size_t from = at > 60 ? at - 60 : 0;
  ADD_FAILURE() << relPath << " differs at byte " << at << ":\n  expected: ..."
                << expected.substr(from, 140) << "\n  actual:   ..." << actual.substr(from, 140);
}

}  // namespace kestrin::testing

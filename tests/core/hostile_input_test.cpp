// Hostile request values against every method of the method table, each method on its own copy of
// the demo site. Every text argument receives each value of a corpus of hostile values (quotes,
// comment and statement marks, UNION and stacked statements, LIKE wildcards, backslashes, line
// ends, markup, 100 KB values, invalid UTF-8), also under the settings that change a method's
// statements: each value of its flags, the arguments that choose a statement (strFilter "yes",
// each search type, each sort column...) and the site's catalog option and filter rows. After
// each call:
//  - every statement the call ran has a shape (its tokens, literals as placeholders) that the
//    method also gives with harmless values (a value that finds rows in the demo site, or a plain
//    marker in each text argument in turn);
//  - no database or file of the site changed that the method may not change (MethodInfo::writes),
//    and no database changed its schema;
//  - a value holding markup did not come back unescaped in the result or in strR;
//  - the call ended with a result or with kestrin::Error (a crash ends the program, and the
//    sanitizer build catches what does not crash).
// New methods are picked up from the table. What the test knows of argument names (harmless
// values, the values that choose a statement) is in argumentKnowledge() below; an argument it
// does not know gets the value it takes when omitted, and the marker.
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "kestrin/db.h"
#include "kestrin/ecat.h"
#include "kestrin/error.h"
#include "kestrin/methods.h"
#include "site_fixture.h"

namespace kestrin {
namespace {

using testing::Database;
using testing::SiteFixture;

// ---- The corpus ----

std::vector<std::string> hostileValues() {
  std::vector<std::string> v = {
      "'",
      "' or '1'='1",
      "') or 1=1 --",
      ") ORDER BY",
      "010) ORDER BY",
      ") or 1=1 or (1=",
      ") group by 1) ; update products set cost=0.01 ; select 1 from (select 1 where (1=",
      "'; drop table manuf; --",
      "; drop table manuf",
      "x' union select 1,2,3,4,5,6,7,8 --",
      "' union all select name, sql, 1, 1, 1, 1, 1, 1 from sqlite_master --",
      "'; update products set cost=0.01; --",
      "'; attach database 'x.db' as x; --",
      ") or 1=1; attach database char(120) as x; select (1",
      "'; pragma writable_schema=1; --",
      "1; delete from preferences",
      "descr; drop table manuf",
      "--",
      "/*",
      "*/",
      ";",
      "''",
      "'''",
      "%",
      "_",
      "%' + '",
      "' + '",
      "' || '",
      "\\",
      "\\'",
      "\\' or 1=1 --",
      "a\r\nb",
      "\r\n' or '1'='1",
      "\t",
      "<script>alert(1)</script>",
      "\"><img src=x onerror=alert(1)>",
      "&amp;&lt;",
      "N'x'",
      "[x]",
      "\"x\"",
      "kx_getpref 'siteTitle'",
      "?1",
      "@p",
      "99999999999999999999",
      "&HFFFFFFFFFFFFFFFFFFFF",
      "-1",
      "\xff\xfe",
      "\xc0\xaf' or '1'='1",
      "\xe2\x82",
      std::string("a\0b", 3),
      std::string(100 * 1024, 'A'),
      std::string(100 * 1024, '\''),
  };
  std::string orderBys;
  while (orderBys.size() < 100 * 1024) orderBys += "') ORDER BY";
  v.push_back(orderBys);
  return v;
}

TEST(HostileCorpusTest, HasAtLeastFortyValues) { EXPECT_GE(hostileValues().size(), 40u); }

// A value as a failure message shows it: short, with line ends and binary made visible.
std::string shown(const std::string& value) {
  std::string out;
  for (unsigned char c : value.substr(0, 80)) {
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  if (value.size() > 80) out += "... (" + std::to_string(value.size()) + " bytes)";
  return out;
}

// ---- What the test knows of argument names ----

struct ArgumentKnowledge {
  std::string harmless;                // a value that finds rows in the demo site
  std::vector<std::string> statement;  // further values that choose another statement
  std::vector<std::string> more = {};  // further harmless values that find other rows
};

const std::map<std::string, ArgumentKnowledge>& argumentKnowledge() {
  static const std::map<std::string, ArgumentKnowledge> known = {
      {"grp", {"A1", {}}},
      {"strGRP", {"A1", {}}},
      {"group", {"A1", {}}},
      {"cat", {"010", {}}},
      {"subcat", {"01", {}}},
      {"vendcode", {"ALD", {}}},
      {"strVendcode", {"ALD", {}}},
      {"manuf", {"ALD", {}}},
      {"partno", {"KS-100003", {}, {"TD-5000007"}}},
      {"part_num", {"KS-100003", {}, {"TD-5000007"}}},
      {"keyword", {"notebook", {}, {"AL-4511LF", "Aldermoor AirLite"}}},
      {"strKey", {"AirLite", {}}},
      {"customerid", {"C10001", {}}},
      {"items", {"siteTitle", {}}},
      {"descr", {"Kestrin Computers", {}}},
      {"prodline", {"Aldermoor", {}}},
      {"strFilter", {"", {"yes"}}},
      {"strStype", {"", {"psearch"}}},
      {"sType", {"keyword", {"manuf", "all"}}},
      {"action", {"search", {"display"}}},
      {"pGroup", {"Notebooks", {}}},
      {"orderby", {"", {"vend_code", "cost"}}},  // empty sorts by the description
      {"strFrom", {"", {"search"}}},
      {"strTo", {"jane.porter@example.com", {}}},
  };
  return known;
}

// ---- Statement shapes ----

bool isWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
         c == '$';
}

// Adds a token, keeping one copy of each token group repeated back to back (one term per search
// word, filter row or group of a main category), so that such counts do not change the shape.
void pushToken(std::vector<std::string>& t, std::string token) {
  constexpr size_t kLongestGroup = 48;
  t.push_back(std::move(token));
  for (bool collapsed = true; collapsed;) {
    collapsed = false;
    for (size_t len = 1; len <= kLongestGroup && 2 * len <= t.size(); ++len) {
      const auto tail = t.end() - static_cast<std::ptrdiff_t>(len);
      if (std::equal(tail, t.end(), tail - static_cast<std::ptrdiff_t>(len))) {
        t.erase(tail, t.end());
        collapsed = true;
        break;
      }
    }
  }
}

// The shape of a statement: string literals become '?', numbers 0, words lower case, blanks go;
// comments stay as marks (the engine writes none). Read here on its own, not with the engine's
// reader, so that a fault there cannot hide one here.
std::string shapeOf(std::string_view sql) {
  constexpr size_t kMostTokens = 4000;  // after collapsing: beyond that it is broken anyway
  std::vector<std::string> t;
  const size_t n = sql.size();
  size_t i = 0;
  while (i < n && t.size() < kMostTokens) {
    const char c = sql[i];
    const char next = i + 1 < n ? sql[i + 1] : '\0';
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '\'' ||
               ((c == 'N' || c == 'n') && next == '\'' && (i == 0 || !isWordChar(sql[i - 1])))) {
      size_t j = (c == '\'' ? i : i + 1) + 1;
      bool closed = false;
      while (j < n) {
        if (sql[j] == '\'') {
          if (j + 1 < n && sql[j + 1] == '\'') {
            j += 2;
            continue;
          }
          ++j;
          closed = true;
          break;
        }
        ++j;
      }
      pushToken(t, closed ? "'?'" : "'?<unclosed>");
      i = j;
    } else if (c == '"' || c == '[' || c == '`') {
      const char close = c == '[' ? ']' : c;
      size_t j = sql.find(close, i + 1);
      j = j == std::string_view::npos ? n : j + 1;
      std::string name(sql.substr(i, j - i));
      std::transform(name.begin(), name.end(), name.begin(), ::tolower);
      pushToken(t, std::move(name));
      i = j;
    } else if (c == '-' && next == '-') {
      pushToken(t, "--");
      size_t j = sql.find('\n', i);
      i = j == std::string_view::npos ? n : j;
    } else if (c == '/' && next == '*') {
      pushToken(t, "/*");
      size_t j = sql.find("*/", i + 2);
      i = j == std::string_view::npos ? n : j + 2;
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && std::isdigit(static_cast<unsigned char>(next)))) {
      while (i < n && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '.')) ++i;
      pushToken(t, "0");
    } else if (isWordChar(c)) {
      size_t j = i;
      while (j < n && isWordChar(sql[j])) ++j;
      std::string word(sql.substr(i, j - i));
      std::transform(word.begin(), word.end(), word.begin(), ::tolower);
      pushToken(t, std::move(word));
      i = j;
    } else {
      pushToken(t, std::string(1, c));
      ++i;
    }
  }
  if (i < n) t.push_back("<more than " + std::to_string(kMostTokens) + " tokens>");
  std::string shape;
  for (const std::string& tok : t) shape += (shape.empty() ? "" : " ") + tok;
  return shape;
}

TEST(StatementShapeTest, LiteralsAndRepeatsDoNotCountButEscapedQuotesDo) {
  EXPECT_EQ(shapeOf("select a from t where x='it''s' and n=12"),
            shapeOf("SELECT a  FROM t WHERE x = 'b' AND n = 3"));
  EXPECT_NE(shapeOf("select a from t where x='' or 1=1 --'"),
            shapeOf("select a from t where x='q'"));
  EXPECT_EQ(shapeOf("where d like '%a%' and d like '%b%' and d like '%c%' and d like '%d%'"),
            shapeOf("where d like '%a%' and d like '%b%'"));
  EXPECT_EQ(shapeOf("x='abc"), "x = '?<unclosed>");
}

// Where `shape` leaves the harmless shape closest to it, for a failure message.
std::string whereShapesDiffer(const std::string& shape, const std::set<std::string>& harmless) {
  const std::string* closest = nullptr;
  size_t common = 0;
  for (const std::string& h : harmless) {
    const size_t n = static_cast<size_t>(
        std::mismatch(shape.begin(), shape.end(), h.begin(), h.end()).first - shape.begin());
    if (!closest || n > common) {
      closest = &h;
      common = n;
    }
  }
  const size_t from = common > 120 ? common - 120 : 0;
  std::string text = "  shape:    ..." + shape.substr(from, 300);
  if (closest) text += "\n  harmless: ..." + closest->substr(from, 300);
  return text;
}

// Shapes of traced statements, each statement text read once.
class Shapes {
 public:
  const std::string& of(const std::string& sql) {
    auto [it, fresh] = cache_.try_emplace(sql);
    if (fresh) it->second = shapeOf(sql);
    return it->second;
  }

 private:
  std::map<std::string, std::string> cache_;
};

// ---- What changed on the site ----

// Watches the site's three databases (SQLite's data version and schema, read through connections
// of its own) and the files under the site's folder.
class SiteWatch {
 public:
  explicit SiteWatch(const SiteFixture& site) : dir_(site.dir()) {
    for (Database db : {Database::Main, Database::Ingram, Database::TechData}) {
      sqlite3* handle = nullptr;
      sqlite3_open_v2(site.dbFile(db).c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
      dbs_.push_back({db, handle, 0, {}});
    }
    changes(Store::None);
  }
  ~SiteWatch() {
    for (Observed& o : dbs_) sqlite3_close_v2(o.handle);
  }
  SiteWatch(const SiteWatch&) = delete;
  SiteWatch& operator=(const SiteWatch&) = delete;

  // What changed since the last call that `allowed` does not cover (a schema never may).
  std::vector<std::string> changes(Store allowed) {
    std::vector<std::string> found;
    for (Observed& o : dbs_) {
      const std::string name = std::string(schema::catalogName(o.db)) + ".db";
      const long long version = number(o.handle, "PRAGMA data_version");
      if (version != o.version) {
        if (!mayChange(allowed, storeOf(o.db))) found.push_back(name);
        std::string schemaText = text(o.handle, "SELECT group_concat(sql, ';') FROM sqlite_master");
        if (!o.schema.empty() && schemaText != o.schema) found.push_back("the schema of " + name);
        o.schema = std::move(schemaText);
      }
      o.version = version;
    }
    std::map<std::string, std::string> files = fileStates();
    if (files != files_ && !mayChange(allowed, Store::SiteFiles) && !files_.empty()) {
      for (const auto& [f, state] : files)
        if (!files_.count(f) || files_.at(f) != state) found.push_back("file " + f);
      for (const auto& [f, state] : files_)
        if (!files.count(f)) found.push_back("removed file " + f);
    }
    files_ = std::move(files);
    return found;
  }

 private:
  struct Observed {
    Database db;
    sqlite3* handle;
    long long version;
    std::string schema;
  };

  static Store storeOf(Database db) {
    switch (db) {
      case Database::Main:
        return Store::MainDb;
      case Database::Ingram:
        return Store::IngramDb;
      case Database::TechData:
        return Store::TechDataDb;
    }
    return Store::None;
  }

  static std::string text(sqlite3* handle, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    std::string out = "<unreadable>";
    if (sqlite3_prepare_v2(handle, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(stmt, 0);
      out = t ? reinterpret_cast<const char*>(t) : "";
    }
    sqlite3_finalize(stmt);
    return out;
  }
  static long long number(sqlite3* handle, const char* sql) {
    return std::stoll(text(handle, sql));
  }

  // Every file below the folder with its size and modification time, without the databases.
  std::map<std::string, std::string> fileStates() const {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> states;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const std::string name = it->path().string().substr(dir_.size() + 1);
      if (name.ends_with(".db") || name.ends_with("-wal") || name.ends_with("-shm") ||
          name.ends_with("-journal")) {
        continue;  // the databases are watched through their data version
      }
      struct stat st {};
      if (::lstat(it->path().c_str(), &st) != 0) continue;
      states[name] = S_ISDIR(st.st_mode)
                         ? "folder"
                         : std::to_string(st.st_size) + "@" + std::to_string(st.st_mtim.tv_sec) +
                               "." + std::to_string(st.st_mtim.tv_nsec);
    }
    return states;
  }

  std::string dir_;
  std::vector<Observed> dbs_;
  std::map<std::string, std::string> files_;
};

// ---- Calls ----

struct Outcome {
  std::vector<std::string> statements;
  std::string output;  // the result and strR
};

// Calls as kestrinctl and the page host do: methods that need an open session get one.
Outcome call(const MethodInfo& m, const std::vector<Variant>& values) {
  Outcome out;
  db::StatementTrace trace;
  eCat cat;
  // The exchange agent never answers here: no five-second wait.
  cat.setStockWait([](std::chrono::milliseconds) {});
  try {
    if (!m.opensItself) cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
    out.output = m.invoke(cat, values).text();
    if (!m.opensItself) cat.closedb();
  } catch (const Error&) {
    // A refusal is a safe outcome; what the call did is checked from the trace and the site.
  }
  out.output += cat.strR;
  for (const db::TracedStatement& s : trace.statements()) out.statements.push_back(s.sql);
  return out;
}

// The plain-text status of an operation that reports rather than fails (mail, stock files):
// not HTML, so it is not escaped; a page that shows it escapes it.
bool isStatusText(const std::string& output) {
  for (const char* status : {"Passed", "Failed", "Not OK: Error: ", "Error"}) {
    if (output.rfind(status, 0) == 0) return true;
  }
  return false;
}

// A local address that refuses every connection at once: a bound socket that never listens, so
// that no other program gets its port meanwhile.
class RefusingAddress {
 public:
  RefusingAddress() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      throw std::runtime_error("cannot bind a local socket");
    }
    port_ = ntohs(addr.sin_port);
  }
  ~RefusingAddress() { ::close(fd_); }
  RefusingAddress(const RefusingAddress&) = delete;
  RefusingAddress& operator=(const RefusingAddress&) = delete;
  std::string text() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// The site settings that change statements of many methods: the catalog option and the filter
// rows (the demo has filters; without them a listing's search key reaches its statement).
struct SiteSetting {
  const char* name;
  const char* optTDdata;
  bool filters;
};
constexpr SiteSetting kSiteSettings[] = {
    {"optTDdata=yes, filters", "yes", true},
    {"optTDdata=no, no filters", "no", false},
};

// One choice of the arguments that change a method's statements: a value per chosen argument.
using Choice = std::map<size_t, Variant>;

// One setting to run under: a site setting and a choice.
struct Setting {
  const SiteSetting* site;
  Choice choice;
};

class HostileInputTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    setenv("KESTRIN_APP_PATH", site.dir().c_str(), 1);
    // Whatever a method writes stays in the site's folder: the accounting drop folder, and files
    // named relative to the working folder.
    std::filesystem::create_directories(site.dir() + "/fenwix-drop");
    setenv("FENWIX_DROP", (site.dir() + "/fenwix-drop").c_str(), 1);
    workingFolder = std::filesystem::current_path();
    std::filesystem::current_path(site.dir());
    method = findMethod(GetParam());
    ASSERT_NE(method, nullptr);
    std::filesystem::create_directories(site.dir() + "/admin/tdo");
    if (!method->peerPreference.empty()) site.setPreference(method->peerPreference, peer.text());
    keepFewProducts();
    filterRows = site.column(Database::Main,
                             "SELECT 'INSERT INTO filters VALUES (' || quote(id) || ',' || "
                             "quote(cat) || ',' || quote(items) || ')' FROM filters");
  }

  // Two products of each subcategory of the group the harmless values name (A1) and of the shop's
  // own groups (z...) reach every statement of a listing and search, and keep each call cheap
  // (an export sends every product). Products named by a harmless value stay.
  void keepFewProducts() {
    std::string kept = "''";
    for (const auto& [name, known] : argumentKnowledge()) {
      if (known.harmless.empty()) continue;
      kept += ",'" + known.harmless + "'";
    }
    for (Database db : {Database::Main, Database::TechData}) {
      site.exec(db, "DELETE FROM products WHERE part_num NOT IN (" + kept +
                        ") AND (grp NOT IN ('A1', 'zA') OR rowid IN (SELECT rowid FROM (SELECT "
                        "rowid, row_number() OVER (PARTITION BY grp, cat, sub ORDER BY rowid) "
                        "AS n FROM products) WHERE n > 2))");
    }
  }

  void TearDown() override { std::filesystem::current_path(workingFolder); }

  // Arguments that name a folder or file of the server (given by the page, not the shopper):
  // their values, hostile ones too, are placed inside the site's folder.
  static bool isServerPath(const MethodArg& a) {
    return a.name == "aPath" || a.name == "sPath" || a.name == "CompanyFile";
  }
  Variant valueFor(size_t i, const std::string& value) const {
    if (!isServerPath(method->args[i])) return Variant(value);
    return Variant(site.dir() + "/" + value);
  }

  void apply(const SiteSetting& s) {
    if (current == &s) return;
    current = &s;
    site.setPreference("optTDdata", s.optTDdata);
    site.exec(Database::Main, "DELETE FROM filters");
    if (s.filters) {
      for (const std::string& row : filterRows) site.exec(Database::Main, row);
    }
  }

  // The harmless value of argument `i`.
  Variant harmless(size_t i) const {
    const MethodArg& a = method->args[i];
    if (a.name == "siteID") return Variant(SiteFixture::kSiteId);
    if (a.name == "sitePassword") return Variant(SiteFixture::kPassword);
    if (a.name == "aPath") return Variant(site.dir());
    if (a.name == "sPath") return Variant(site.dir() + "/");
    if (a.name == "CompanyFile") return Variant(site.dir() + "/company.qbw");
    auto it = argumentKnowledge().find(a.name);
    if (a.kind == ArgKind::Text && it != argumentKnowledge().end()) {
      return Variant(it->second.harmless);
    }
    return a.fallback;
  }

  std::vector<Variant> baseValues(const Choice& choice) const {
    std::vector<Variant> values;
    for (size_t i = 0; i < method->args.size(); ++i) {
      values.push_back(choice.count(i) ? choice.at(i) : harmless(i));
    }
    return values;
  }

  // Every site setting with every combination of flag values and statement-choosing values;
  // the first is the harmless one.
  std::vector<Setting> settings() const {
    std::vector<Choice> all = {{}};
    for (size_t i = 0; i < method->args.size(); ++i) {
      const MethodArg& a = method->args[i];
      std::vector<Variant> options;
      auto it = argumentKnowledge().find(a.name);
      if (a.kind == ArgKind::Flag) {
        options = {a.fallback, Variant(!a.fallback.flag())};
      } else if (a.kind == ArgKind::Text && it != argumentKnowledge().end() &&
                 !it->second.statement.empty()) {
        options.push_back(harmless(i));
        for (const std::string& v : it->second.statement) options.emplace_back(v);
      } else {
        continue;
      }
      std::vector<Choice> next;
      for (const Choice& c : all) {
        for (const Variant& option : options) {
          Choice extended = c;
          extended[i] = option;
          next.push_back(std::move(extended));
        }
      }
      all = std::move(next);
    }
    std::vector<Setting> out;
    for (const SiteSetting& s : kSiteSettings) {
      for (const Choice& c : all) out.push_back({&s, c});
    }
    return out;
  }

  // Whether argument `i` takes the hostile values under `choice`: unless the choice sets it to
  // one of its statement-choosing values.
  bool takesValues(const Choice& choice, size_t i) const {
    auto it = choice.find(i);
    return it == choice.end() || it->second.text() == harmless(i).text();
  }

  std::string describe(const Setting& s) const {
    std::string text = std::string(" (") + s.site->name;
    for (const auto& [i, v] : s.choice) text += ", " + method->args[i].name + "=" + v.text();
    return text + ")";
  }

  void report(const std::string& what) {
    if (++failures_ <= kFailuresShown) ADD_FAILURE() << method->name << ": " << what;
  }

  void check(const Outcome& outcome, const std::set<std::string>& harmlessShapes,
             const std::string& where, const std::string& value) {
    for (const std::string& sql : outcome.statements) {
      const std::string& shape = shapes.of(sql);
      if (!harmlessShapes.count(shape)) {
        report(where + ": a statement took a shape that no harmless value gives:\n" +
               whereShapesDiffer(shape, harmlessShapes));
        break;
      }
    }
    if (value.find('<') != std::string::npos && !isStatusText(outcome.output) &&
        outcome.output.find(value) != std::string::npos) {
      const size_t at = outcome.output.find(value);
      report(where + ": the value came back unescaped: ..." +
             shown(outcome.output.substr(at > 60 ? at - 60 : 0, 160)));
    }
  }

  static constexpr int kFailuresShown = 8;
  SiteFixture site{true};
  RefusingAddress peer;
  const MethodInfo* method = nullptr;
  std::vector<std::string> filterRows;
  const SiteSetting* current = nullptr;
  std::filesystem::path workingFolder;
  Shapes shapes;
  int failures_ = 0;
};

// Findings of this test that wait for their fix in the method's own code; each is skipped with
// its description until then (remove the line with the fix).
const std::map<std::string, std::string>& openFindings() {
  static const std::map<std::string, std::string> findings = {};
  return findings;
}

TEST_P(HostileInputTest, ValuesKeepStatementShapesAndWriteOnlyWhatTheMethodMay) {
  const MethodInfo& m = *method;
  if (auto it = openFindings().find(m.name); it != openFindings().end()) {
    GTEST_SKIP() << "open finding: " << it->second;
  }
  const std::vector<std::string> corpus = hostileValues();
  std::vector<size_t> textArgs;
  for (size_t i = 0; i < m.args.size(); ++i) {
    if (m.args[i].kind == ArgKind::Text) textArgs.push_back(i);
  }
  const std::vector<Setting> all = settings();
  constexpr Store kEverything =
      Store::MainDb | Store::IngramDb | Store::TechDataDb | Store::SiteFiles;
  SiteWatch watch(site);
  // A failing step undoes its transaction: the control statements carry no values.
  std::set<std::string> harmlessShapes = {"rollback transaction", "rollback"};
  // Runs `values` under setting `s` as a harmless call; returns the shapes of its statements that
  // hold `marker`.
  auto harmlessCall = [&](size_t s, const std::vector<Variant>& values, const std::string& marker) {
    apply(*all[s].site);
    watch.changes(kEverything);
    std::set<std::string> holding;
    for (const std::string& sql : call(m, values).statements) {
      harmlessShapes.insert(shapes.of(sql));
      if (!marker.empty() && sql.find(marker) != std::string::npos) holding.insert(shapes.of(sql));
    }
    for (const std::string& change : watch.changes(m.writes))
      report("a harmless call" + describe(all[s]) + " changed " + change);
    return holding;
  };
  auto marker = [](size_t i) { return "zq" + std::to_string(i) + "harmless"; };

  // 1. Under every setting: the harmless values (a method that writes runs them twice: a write
  // may take another form when repeated), and a plain marker in each text argument in turn,
  // which shows the statements that argument's value goes into.
  std::vector<std::map<size_t, std::set<std::string>>> reached(all.size());
  for (size_t s = 0; s < all.size(); ++s) {
    const std::vector<Variant> base = baseValues(all[s].choice);
    harmlessCall(s, base, "");
    if (m.writes != Store::None) harmlessCall(s, base, "");
    for (size_t i : textArgs) {
      if (!takesValues(all[s].choice, i)) continue;
      std::vector<Variant> values = base;
      values[i] = valueFor(i, marker(i));
      reached[s][i] = harmlessCall(s, values, marker(i));
    }
  }

  // 2. Which settings each argument gets hostile values under: the first, and each further one
  // that takes its value into a statement of a shape that no earlier setting did.
  std::vector<std::pair<size_t, size_t>> plan;  // (setting, argument)
  std::map<size_t, std::set<std::string>> covered;
  for (size_t s = 0; s < all.size(); ++s) {
    for (size_t i : textArgs) {
      if (!takesValues(all[s].choice, i)) continue;
      if (s > 0 && std::includes(covered[i].begin(), covered[i].end(), reached[s][i].begin(),
                                 reached[s][i].end())) {
        continue;
      }
      covered[i].insert(reached[s][i].begin(), reached[s][i].end());
      plan.emplace_back(s, i);
    }
  }

  // 3. For those, more harmless values: several words, the marks that searches spell
  // differently (a blank, "-" and "/"), and values that find many rows or the rows the test
  // knows of, for the statements that run only when something is found.
  for (const auto& [s, i] : plan) {
    const std::string n = std::to_string(i);
    std::vector<std::string> more = {"zq" + n + "harm less", "zq" + n + "-harm/less three  words",
                                     "e", "%"};
    auto it = argumentKnowledge().find(m.args[i].name);
    if (it != argumentKnowledge().end()) {
      more.insert(more.end(), it->second.more.begin(), it->second.more.end());
    }
    for (const std::string& value : more) {
      std::vector<Variant> values = baseValues(all[s].choice);
      values[i] = valueFor(i, value);
      harmlessCall(s, values, "");
    }
  }

  // 4. The hostile values: the whole corpus under the first setting; under a further setting its
  // first kTellingValues (quotes, ORDER BY, stacked statements) and a fixed sample of the rest,
  // so that the test stays fast enough to run on every change.
  constexpr size_t kTellingValues = 12;
  constexpr size_t kSampled = 6;
  std::vector<size_t> laterValues;
  for (size_t k = 0; k < std::min(kTellingValues, corpus.size()); ++k) laterValues.push_back(k);
  {
    std::vector<size_t> rest;
    for (size_t k = kTellingValues; k < corpus.size(); ++k) rest.push_back(k);
    std::mt19937 random(17);
    std::shuffle(rest.begin(), rest.end(), random);
    rest.resize(std::min(rest.size(), kSampled));
    laterValues.insert(laterValues.end(), rest.begin(), rest.end());
  }
  size_t calls = 0;
  for (const auto& [s, i] : plan) {
    apply(*all[s].site);
    watch.changes(kEverything);
    const std::vector<Variant> base = baseValues(all[s].choice);
    const std::string where = m.args[i].name + describe(all[s]);
    std::vector<size_t> values;
    if (s == 0) {
      for (size_t k = 0; k < corpus.size(); ++k) values.push_back(k);
    } else {
      values = laterValues;
    }
    for (size_t k : values) {
      std::vector<Variant> hostile = base;
      hostile[i] = valueFor(i, corpus[k]);
      const std::string at = where + ", value " + shown(corpus[k]);
      check(call(m, hostile), harmlessShapes, at, corpus[k]);
      for (const std::string& change : watch.changes(m.writes)) {
        report(at + ": changed " + change + ", which the method may not change");
      }
      ++calls;
    }
  }
  RecordProperty("hostile_calls", static_cast<int>(calls));
  if (failures_ > kFailuresShown)
    ADD_FAILURE() << m.name << ": " << failures_ - kFailuresShown << " more failures not shown";
}

std::vector<std::string> methodNames() {
  std::vector<std::string> names;
  for (const MethodInfo& m : engineMethods()) names.push_back(m.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Methods, HostileInputTest, ::testing::ValuesIn(methodNames()),
                         [](const auto& info) { return info.param; });

// Arguments that are not text reach a method only through their conversion, which must refuse
// every hostile value with an engine error or give a value of its kind.
TEST(HostileConversionTest, NonTextArgumentsRefuseHostileValues) {
  for (const std::string& value : hostileValues()) {
    SCOPED_TRACE(shown(value));
    for (ArgKind kind : {ArgKind::Flag, ArgKind::Int16, ArgKind::Single, ArgKind::Double}) {
      try {
        convertArgument(kind, value);
      } catch (const Error& e) {
        EXPECT_TRUE(e.number() == kErrTypeMismatch || e.number() == kErrOverflow) << e.number();
      }
    }
  }
}

}  // namespace
}  // namespace kestrin

// kestrinctl driven as a user would: a real process, its output and exit status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "kestrin/ecat.h"
#include "pg_admin.h"
#include "site_fixture.h"

namespace {

namespace fs = std::filesystem;
using kestrin::testing::Backend;
using kestrin::testing::pgTestServer;
using kestrin::testing::testBackend;

struct CommandResult {
  int status;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Sites made by kestrinctl itself, on the run's backend: SQLite files in the site folder, or
// databases on the test server whose names start with a prefix of the test's own.
class KestrinctlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kestrinctl-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    prefix = "kc" + std::to_string(getpid()) + "_";
  }
  void TearDown() override {
    if (testBackend() == Backend::PostgreSQL) {
      for (const char* db : {"kestrin", "ingram", "techdata"})
        kestrin::schema::dropPostgresDatabase(admin(), prefix + db);
    }
    fs::remove_all(dir);
  }

  static kestrin::schema::PgLogin admin() {
    return {pgTestServer().server, pgTestServer().adminUser, pgTestServer().adminPassword};
  }

  CommandResult run(const std::vector<std::string>& args, const std::string& appPath = "") {
    std::string cmd = appPath.empty() ? "env -u KESTRIN_APP_PATH "
                                      : "env KESTRIN_APP_PATH=" + shellQuote(appPath) + " ";
    cmd += KESTRINCTL_PATH;
    for (const auto& a : args) cmd += " " + shellQuote(a);
    cmd += " >" + (dir / "out").string() + " 2>" + (dir / "err").string();
    int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out"), slurp(dir / "err")};
  }

  // The options that put a site's databases on the test server (none in the sqlite/ half).
  std::vector<std::string> serverArgs(const std::string& user = "",
                                      const std::string& password = "") const {
    if (testBackend() != Backend::PostgreSQL) return {};
    return {"--server",         pgTestServer().server,
            "--db-user",        user.empty() ? pgTestServer().engineUser : user,
            "--db-password",    password.empty() ? pgTestServer().enginePassword : password,
            "--admin-user",     pgTestServer().adminUser,
            "--admin-password", pgTestServer().adminPassword,
            "--db-prefix",      prefix};
  }

  CommandResult createSite(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {
        "site", "create", (dir / "site").string(), "--site", "kestrin", "--password", "tolvaro27"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto server = serverArgs();
    args.insert(args.end(), server.begin(), server.end());
    return run(args);
  }

  // Runs SQL on the site's main database, outside the engine.
  void execMain(const std::string& sql) {
    if (testBackend() == Backend::PostgreSQL) {
      kestrin::schema::PgAdmin(admin(), prefix + "kestrin").exec(sql);
      return;
    }
    const std::string cmd = "sqlite3 " + shellQuote(site() + "/kestrin.db") + " " + shellQuote(sql);
    ASSERT_EQ(std::system(cmd.c_str()), 0) << sql;
  }

  // The first column of the first row of a query on the site's main database ("" when none).
  std::string valueMain(const std::string& sql) {
    if (testBackend() == Backend::PostgreSQL)
      return kestrin::schema::PgAdmin(admin(), prefix + "kestrin").value(sql).value_or("");
    const fs::path out = dir / "value";
    const std::string cmd = "sqlite3 " + shellQuote(site() + "/kestrin.db") + " " +
                            shellQuote(sql) + " >" + shellQuote(out.string());
    if (std::system(cmd.c_str()) != 0) return "sqlite3 failed: " + sql;
    std::string text = slurp(out);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

  std::string site() const { return (dir / "site").string(); }

  fs::path dir;
  std::string prefix;
};

TEST_F(KestrinctlTest, SiteCreateWritesElevenLinesAndThreeDatabases) {
  CommandResult r = createSite();
  ASSERT_EQ(r.status, 0) << r.err;
  std::string d = fs::canonical(site()).string();
  if (testBackend() == Backend::PostgreSQL) {
    const std::string login = "; User ID=" + pgTestServer().engineUser +
                              "; Password=" + pgTestServer().enginePassword + ";\r\n";
    const std::string source = "Provider=SQLOLEDB; Data Source=" + pgTestServer().server;
    EXPECT_EQ(slurp(d + "/kestrin.ini"),
              "tolvaro27\r\n" + source + "; Initial Catalog=" + prefix + "kestrin" + login +
                  "sa\r\n8642\r\n" + source + "; Initial Catalog=" + prefix + "ingram" + login +
                  "sa\r\n8642\r\n" + source + "; Initial Catalog=" + prefix + "techdata" + login +
                  "sa\r\n8642\r\nqbCompanyFile=" + d + "/company.qbw\r\n");
    EXPECT_EQ(kestrin::schema::existingDatabases(
                  admin(), {prefix + "kestrin", prefix + "ingram", prefix + "techdata"})
                  .size(),
              3u);
    EXPECT_FALSE(fs::exists(d + "/kestrin.db"));
    return;
  }
  EXPECT_EQ(slurp(d + "/kestrin.ini"),
            "tolvaro27\r\n"
            "Provider=SQLOLEDB; Data Source=" +
                d +
                "; Initial Catalog=kestrin; User ID=sa; Password=8642;\r\n"
                "sa\r\n8642\r\n"
                "Provider=SQLOLEDB; Data Source=" +
                d +
                "; Initial Catalog=ingram; User ID=sa; Password=8642;\r\n"
                "sa\r\n8642\r\n"
                "Provider=SQLOLEDB; Data Source=" +
                d +
                "; Initial Catalog=techdata; User ID=sa; Password=8642;\r\n"
                "sa\r\n8642\r\n"
                "qbCompanyFile=" +
                d + "/company.qbw\r\n");
  for (const char* db : {"kestrin.db", "ingram.db", "techdata.db"})
    EXPECT_TRUE(fs::exists(d + "/" + db)) << db;
}

TEST_F(KestrinctlTest, GetConnStringGivesFourFieldsWithDisabledThird) {
  ASSERT_EQ(createSite().status, 0);
  CommandResult r =
      run({"call", "getConnString", "siteID=kestrin", "sitePassword=tolvaro27"}, site());
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_FALSE(r.out.empty());
  std::string line = r.out.substr(0, r.out.size() - 1);
  std::vector<std::string> fields;
  std::stringstream ss(line);
  for (std::string f; std::getline(ss, f, '|');) fields.push_back(f);
  ASSERT_EQ(fields.size(), 4u) << line;
  EXPECT_EQ(fields[2], "disabled");
  const std::string names = testBackend() == Backend::PostgreSQL ? prefix : "";
  EXPECT_NE(fields[0].find("Initial Catalog=" + names + "kestrin;"), std::string::npos);
  EXPECT_NE(fields[3].find("Initial Catalog=" + names + "techdata;"), std::string::npos);
}

TEST_F(KestrinctlTest, AnExistingSiteIsKeptWithoutForce) {
  ASSERT_EQ(createSite().status, 0);
  ASSERT_EQ(run({"call", "setPref", "items=marker", "descr=kept", "siteID=kestrin",
                 "sitePassword=tolvaro27"},
                site())
                .status,
            0);
  CommandResult again = createSite();
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("a site already exists here (use --force to replace it)"),
            std::string::npos)
      << again.err;
  EXPECT_EQ(
      run({"call", "getPref", "items=marker", "siteID=kestrin", "sitePassword=tolvaro27"}, site())
          .out,
      "kept\n");
  ASSERT_EQ(createSite({"--force"}).status, 0);
  EXPECT_EQ(
      run({"call", "getPref", "items=marker", "siteID=kestrin", "sitePassword=tolvaro27"}, site())
          .out,
      "n/a\n");
}

TEST_F(KestrinctlTest, SitePasswordReplacesLineOneOnly) {
  ASSERT_EQ(createSite().status, 0);
  std::string ini = site() + "/kestrin.ini";
  std::string before = slurp(ini);
  CommandResult r = run({"site", "password", site(), "--site", "kestrin", "--password", "n3w-pw"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string after = slurp(ini);
  EXPECT_EQ(after, "n3w-pw" + before.substr(before.find("\r\n")));
  EXPECT_EQ(run({"call", "getConnString", "siteID=kestrin", "sitePassword=tolvaro27"}, site()).out,
            "Error: site password is incorrect ..!\n");
  EXPECT_NE(run({"call", "getConnString", "siteID=kestrin", "sitePassword=n3w-pw"}, site())
                .out.find("|disabled|"),
            std::string::npos);

  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* error;
  };
  const Case refused[] = {
      {"comma", {"--password", "a,b"}, "must not contain a comma or a line break"},
      {"blank at the end", {"--password", "pw "}, "must not begin or end with a blank"},
      {"no such site",
       {"--password", "pw", "--site", "other"},
       "there is no site configuration file"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"site", "password", site()};
    if (std::find(c.args.begin(), c.args.end(), "--site") == c.args.end()) {
      args.push_back("--site");
      args.push_back("kestrin");
    }
    args.insert(args.end(), c.args.begin(), c.args.end());
    CommandResult bad = run(args);
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find(c.error), std::string::npos) << bad.err;
    EXPECT_EQ(slurp(ini), after);
  }
}

TEST_F(KestrinctlTest, SetPrefAndGetPrefRoundTripAQuote) {
  ASSERT_EQ(createSite().status, 0);
  CommandResult set =
      run({"call", "setPref", "items=siteCname", "descr=O'Brien's; delete from preferences; --",
           "siteID=kestrin", "sitePassword=tolvaro27", "--show", "sql"},
          site());
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out,
            "Preference : <b>siteCname:O&#39;Brien&#39;s; delete from preferences; -- </b> has "
            "been updated successfully!\n"
            "sql=insert into preferences (items,descr) values ('siteCname','O''Brien''s; delete "
            "from preferences; --')\n");
  EXPECT_EQ(run({"call", "getPref", "items=siteCname", "siteID=kestrin", "sitePassword=tolvaro27"},
                site())
                .out,
            "O'Brien's; delete from preferences; --\n");
}

TEST_F(KestrinctlTest, MethodsThatNeedAnOpenSessionRunBetweenOpenAndClose) {
  ASSERT_EQ(createSite().status, 0);
  CommandResult r = run({"call", "prefsInit", "siteID=kestrin", "sitePassword=tolvaro27", "--show",
                         "gfontName", "--show", "optSSL", "--show", "conn"},
                        site());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "gfontName=verdana,arial\noptSSL=yes\nconn=closed\n");

  CommandResult open = run({"call", "opendb", "siteID=kestrin", "sitePassword=tolvaro27", "--show",
                            "conn", "--show", "strR"},
                           site());
  EXPECT_EQ(open.out, "conn=open\nstrR=\n");
}

TEST_F(KestrinctlTest, FailedCallPrintsTheErrorAndExitsOne) {
  ASSERT_EQ(createSite().status, 0);
  CommandResult r =
      run({"call", "getPref", "items=gfontName", "siteID=kestrin", "sitePassword=wrong"}, site());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  // The error says what failed; the cause that opendb met first follows it.
  EXPECT_EQ(r.err,
            "Error 3704: Operation is not allowed when the object is closed.\nSource: "
            "kestrin.Connection\n"
            "Cause (first failure recorded by opendb): Error 5: The site password is incorrect "
            "for site \"kestrin\".\nSource: kestrin.opendb\n");
}

TEST_F(KestrinctlTest, TheFirstCauseOfAFailedOpenFollowsTheError) {
  ASSERT_EQ(createSite().status, 0);
  struct Case {
    std::string name;
    std::function<void()> breakSite;
    std::string cause;
  };
  const std::string ini = site() + "/kestrin.ini";
  const Case cases[] = {
      {"missing configuration file", [&] { fs::remove(ini); },
       "Cause (first failure recorded by opendb): Error 53: File not found: kestrin.ini\n"
       "Source: kestrin\n"},
      {"garbage connection string",
       [&] {
         std::string text = slurp(ini);
         size_t from = text.find("\r\n") + 2;
         text.replace(from, text.find("\r\n", from) - from, "garbage");
         std::ofstream(ini, std::ios::trunc | std::ios::binary) << text;
       },
       "Cause (first failure recorded by opendb): Error -2147467259: The connection string is not "
       "valid: 'garbage' is not a setting.\nSource: kestrin.Connection\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(createSite({"--force"}).status, 0);
    c.breakSite();
    CommandResult r = run(
        {"call", "getPref", "items=gfontName", "siteID=kestrin",
         "sitePassword=" + std::string(c.name == "missing configuration file" ? "" : "tolvaro27")},
        site());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Error 3704: Operation is not allowed when the object is closed.\nSource: "
              "kestrin.Connection\n" +
                  c.cause);
  }
}

TEST_F(KestrinctlTest, PriceFactorsPrintInShortestForm) {
  ASSERT_EQ(createSite().status, 0);
  execMain(
      "INSERT INTO markup (markupid, rate) VALUES ('A1', 15), ('h001', 5.5); INSERT INTO markup "
      "(markupid, rate, customerid) VALUES ('cust', 10, 'C1')");
  auto call = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "call");
    args.push_back("siteID=kestrin");
    args.push_back("sitePassword=tolvaro27");
    return run(args, site());
  };
  EXPECT_EQ(call({"getRates", "group=A1"}).out, "1.15\n");
  EXPECT_EQ(call({"getRates", "group=B1"}).out, "1\n");
  EXPECT_EQ(call({"getDiscount", "customerid=C1"}).out, "0.9\n");
  EXPECT_EQ(call({"getRatesII", "group=A1", "customerid=C1"}).out, "1.1\n");
  EXPECT_EQ(call({"getHandlingRates", "id=h001"}).out, "1.055\n");
  CommandResult missing = call({"getHandlingRatesII", "id=h999"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Error 3021: Either BOF or EOF is True"), std::string::npos)
      << missing.err;
}

TEST_F(KestrinctlTest, SearchesAnswerThroughCallAndCountTheirWords) {
  ASSERT_EQ(createSite({"--demo"}).status, 0);
  struct Case {
    std::vector<std::string> args;
    std::string fragment;
  };
  const Case cases[] = {
      {{"search", "keyword=usb cable", "sType=keyword", "strIP=10.0.0.1"},
       "- <a href=\"search.asp?action=viewitems&grp=D5&keyword=usb+cable&sType=keyword\">Cables"
       "</a><br>"},
      {{"searchII", "keyword=usb cable", "sType=keyword", "grp=D5", "strIP=10.0.0.1"},
       "<a HREF=\"search.asp?action=viewitems&grp=D5&page=2&keyword=usb+cable&stype=keyword&"
       "featuredpage=1\">"},
      {{"search_old", "keyword=usb cable", "sType=keyword", "strIP=10.0.0.1"},
       "<a HREF=\"search.asp?page=2&amp;keyword=usb+cable&amp;stype=keyword\">Next Page</a>"},
      {{"SmartSearch", "action=display", "pGroup=Networking"},
       "<tr><td><img src=\"images/bullet.gif\"></td><td><a class=\"link\" "
       "href=\"newsearch.asp?action=searchII&amp;grp=D1\">Switches</a></td></tr>"},
      {{"SmartSearch", "action=search", "grp=D5", "prodline=Midran"},
       "<option selected "
       "value=\"newsearch.asp?featured=False&action=searchII&amp;prodline=Midran&amp;"
       "grp=D5&amp;cat=&amp;sub=&amp;manuf=&amp;orderby=\">Midran</option>"},
      {{"ViewFilters", "grp=D5", "--show", "strR"},
       "<a href=\"newsearch.asp?featured=False&action=searchII&amp;grp=D5\">Clear Filter(s)</a>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    std::vector<std::string> args = {"call"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"siteID=kestrin", "sitePassword=tolvaro27"});
    CommandResult r = run(args, site());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(c.fragment), std::string::npos) << r.out;
  }
  // The three first searches of the text were counted in one row of the search-word log.
  EXPECT_EQ(valueMain("SELECT referer || '|' || qty FROM searchwords WHERE word = 'usb cable' "
                      "AND stype = 'w'"),
            "10.0.0.1|3");
}

TEST_F(KestrinctlTest, SixteenBitArgumentsAreChecked) {
  ASSERT_EQ(createSite().status, 0);
  CommandResult r = run({"call", "displayItems", "grp=A1", "cat=010", "page=32768",
                         "siteID=kestrin", "sitePassword=tolvaro27"},
                        site());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 6: Overflow\nSource: kestrin\n");
  r = run({"call", "displayItems", "grp=A1", "cat=010", "page=two", "siteID=kestrin",
           "sitePassword=tolvaro27"},
          site());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error 13: Type mismatch"), std::string::npos);
  // The largest page that leaves room for the next page's link.
  r = run({"call", "displayItems", "grp=A1", "cat=010", "page=32766", "siteID=kestrin",
           "sitePassword=tolvaro27", "--show", "iPageCurrent"},
          site());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("iPageCurrent=32766"), std::string::npos);

  // Long digit strings and radix literals of any length are the overflow error, never a C++
  // integer overflow.
  for (const char* page :
       {"99999999999999999999", "&HFFFFFFFFFFFFFFFFFFFF", "&O7777777777777777777777", "1e400"}) {
    SCOPED_TRACE(page);
    r = run({"call", "displayItems", "grp=A1", "cat=010", std::string("page=") + page,
             "siteID=kestrin", "sitePassword=tolvaro27"},
            site());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error 6: Overflow\nSource: kestrin\n");
  }
  r = run({"call", "getAppPath", "--set", "iPageCurrent=99999999999999999999"}, site());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 6: Overflow\nSource: kestrin\n");
}

TEST_F(KestrinctlTest, UsageErrorsNameWhatIsValid) {
  CommandResult unknownMethod = run({"call", "getPrefs"});
  EXPECT_EQ(unknownMethod.status, 2);
  EXPECT_NE(unknownMethod.err.find(
                "unknown method 'getPrefs'. Methods: opendb, closedb, getConnString, getPref"),
            std::string::npos)
      << unknownMethod.err;

  CommandResult unknownArg = run({"call", "getPref", "item=x"});
  EXPECT_EQ(unknownArg.status, 2);
  EXPECT_NE(
      unknownArg.err.find(
          "getPref has no argument 'item'. Its arguments: items, strFrom, siteID, sitePassword"),
      std::string::npos)
      << unknownArg.err;

  CommandResult missing = run({"call", "getPref"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("getPref needs the argument 'items'"), std::string::npos);

  CommandResult badFlag = run({"call", "opendb", "initPref=maybe"});
  EXPECT_EQ(badFlag.status, 1);
  EXPECT_NE(badFlag.err.find("Error 13: Type mismatch"), std::string::npos) << badFlag.err;

  EXPECT_EQ(run({"frobnicate"}).status, 2);
  EXPECT_EQ(run({"site", "create", "x"}).status, 2);
}

// ---- Two engine processes on one site ----

class TwoProcessesTest : public kestrin::testing::SiteTest {
 protected:
  std::string kestrinctl(const std::string& args) {
    const std::string out = site.dir() + "/out";
    const std::string cmd = std::string(KESTRINCTL_PATH) + " call " + args +
                            " siteID=kestrin sitePassword=tolvaro27 >" + out + " 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << slurp(out);
    return slurp(out);
  }
  std::string getPref(const std::string& name) {
    return cat.getPref(name, "", kestrin::testing::SiteFixture::kSiteId,
                       kestrin::testing::SiteFixture::kPassword);
  }
  kestrin::eCat cat;
};

TEST_F(TwoProcessesTest, SeeEachOthersWritesAtOnce) {
  cat.setPref("written", "here", "kestrin", "tolvaro27");
  EXPECT_EQ(kestrinctl("getPref items=written"), "here\n");
  kestrinctl("setPref items=written descr=there");
  // This process's pooled connections read the other process's write at once.
  EXPECT_EQ(getPref("written"), "there");

  // Two other processes and this one write at the same time; no write is lost.
  std::thread others([&] {
    const std::string loop = "for i in 1 2 3 4 5 6 7 8; do " + std::string(KESTRINCTL_PATH) +
                             " call setPref items=$0$i descr=$i siteID=kestrin "
                             "sitePassword=tolvaro27 >/dev/null || exit 1; done";
    const std::string cmd = "sh -c '" + loop + "' a & sh -c '" + loop + "' b & wait";
    std::system(cmd.c_str());
  });
  for (int i = 1; i <= 8; ++i)
    cat.setPref("c" + std::to_string(i), std::to_string(i), "kestrin", "tolvaro27");
  others.join();
  EXPECT_EQ(site.value(kestrin::testing::Database::Main,
                       "select count(*) from preferences where items <> 'written'"),
            "24");
  EXPECT_EQ(getPref("b8"), "8");
  EXPECT_EQ(kestrinctl("getPref items=c8"), "8\n");
}

// ---- Sites on a server: its own login, refusals, and moving an embedded site there ----

#define POSTGRES_HALF_ONLY()                \
  if (testBackend() != Backend::PostgreSQL) \
  GTEST_SKIP() << "needs the test server; it runs in the postgres/ half"

TEST_F(KestrinctlTest, SiteOnAServerGetsALoginOfItsOwnThatCanDoNoMore) {
  POSTGRES_HALF_ONLY();
  const std::string login = prefix + "login";
  std::vector<std::string> args = {"site",    "create",     site(),      "--site",
                                   "kestrin", "--password", "tolvaro27", "--demo"};
  const auto server = serverArgs(login, "pw of its own");
  args.insert(args.end(), server.begin(), server.end());
  CommandResult r = run(args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Created site kestrin in " + site() + " with its databases on " +
                       pgTestServer().server + " with the demo catalog\n");
  EXPECT_NE(slurp(site() + "/kestrin.ini").find("; User ID=" + login + "; Password=pw of its own;"),
            std::string::npos);
  CommandResult listing =
      run({"call", "displayItems", "grp=B1", "cat=010", "siteID=kestrin", "sitePassword=tolvaro27"},
          site());
  EXPECT_EQ(listing.status, 0) << listing.err;
  EXPECT_NE(listing.out.find("Displaying page <b>1</b>"), std::string::npos);
  // The login reads and writes rows; it cannot change the schema.
  kestrin::schema::PgAdmin asEngine({pgTestServer().server, login, "pw of its own"},
                                    prefix + "kestrin");
  asEngine.exec("DELETE FROM cart");
  EXPECT_THROW(asEngine.exec("DROP TABLE cart"), std::runtime_error);

  for (const char* db : {"kestrin", "ingram", "techdata"})
    kestrin::schema::dropPostgresDatabase(admin(), prefix + db);
  kestrin::schema::PgAdmin(admin(), "postgres")
      .exec("DROP ROLE " + kestrin::schema::quoteName(login));
}

TEST_F(KestrinctlTest, SiteOnAServerIsRefusedClearly) {
  POSTGRES_HALF_ONLY();
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const std::string s = pgTestServer().server;
  const Case cases[] = {
      {"the engine as owner",
       {"--server", s, "--db-user", pgTestServer().adminUser, "--db-password", "x", "--admin-user",
        pgTestServer().adminUser, "--admin-password", pgTestServer().adminPassword},
       1,
       "kestrinctl site create: the engine's login must not be the login that makes and owns the "
       "databases; give the engine a login of its own\n"},
      {"a wrong administrative password",
       {"--server", s, "--db-user", "x", "--admin-user", pgTestServer().adminUser,
        "--admin-password", "wrong"},
       1,
       "kestrinctl site create: cannot connect to database postgres on server " + s +
           ": connection to server at \"127.0.0.1\", port " + s.substr(s.find(':') + 1) +
           " failed: FATAL:  password authentication failed for user \"kestrin_admin\"\n"},
      {"a port that is no number",
       {"--server", "localhost:x", "--db-user", "u"},
       1,
       "kestrinctl site create: the server's port must be a number: localhost:x\n"},
      {"a password that would break the connection string",
       {"--server", s, "--db-user", "u", "--db-password", "a;b"},
       1,
       "kestrinctl site create: the database password must not contain a semicolon: a;b\n"},
      {"a server without a login",
       {"--server", s},
       2,
       "kestrinctl site create: a site on a server needs --server and --db-user\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = {"site",    "create",     site(),     "--site",
                                     "kestrin", "--password", "tolvaro27"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CommandResult r = run(args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err.substr(0, c.message.size()), c.message);
    EXPECT_FALSE(fs::exists(site() + "/kestrin.ini"));
  }
}

TEST_F(KestrinctlTest, MigrateMovesAnEmbeddedSiteWithEveryRow) {
  POSTGRES_HALF_ONLY();
  ASSERT_EQ(
      run({"site", "create", site(), "--site", "kestrin", "--password", "tolvaro27", "--demo"})
          .status,
      0);
  auto call = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "call");
    args.push_back("siteID=kestrin");
    args.push_back("sitePassword=tolvaro27");
    CommandResult r = run(args, site());
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  };
  call({"setPref", "items=siteCname", "descr=O'Brien's \\ Sons\ttabbed"});
  const std::vector<std::vector<std::string>> pages = {
      {"displayItems", "grp=B1", "cat=010", "page=2"},
      {"displayManufList"},
      {"getPref", "items=siteCname"},
      {"displayItems", "grp=A1", "cat=010", "strCustDb=True"},
  };
  std::vector<std::string> before;
  for (const auto& p : pages) before.push_back(call(p));
  const std::string ini = slurp(site() + "/kestrin.ini");

  std::vector<std::string> args = {"site", "migrate", site()};
  const auto server = serverArgs();
  args.insert(args.end(), server.begin(), server.end());
  CommandResult r = run(args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  " + prefix + "techdata: products, "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("The site now uses the server; the former configuration file is kept as " +
                       fs::canonical(site()).string() + "/kestrin.ini.embedded"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(slurp(site() + "/kestrin.ini.embedded"), ini);
  const std::string moved = slurp(site() + "/kestrin.ini");
  EXPECT_NE(moved.find("Data Source=" + pgTestServer().server + "; Initial Catalog=" + prefix +
                       "ingram;"),
            std::string::npos);
  EXPECT_EQ(moved.substr(0, moved.find("\r\n")), "tolvaro27");

  // The same pages from the server.
  for (size_t i = 0; i < pages.size(); ++i) {
    SCOPED_TRACE(pages[i].front() + " " + (pages[i].size() > 1 ? pages[i][1] : ""));
    const std::string after = call(pages[i]);
    size_t at = 0;
    while (at < after.size() && at < before[i].size() && after[at] == before[i][at]) ++at;
    EXPECT_EQ(after.size(), before[i].size());
    EXPECT_EQ(at, before[i].size()) << "first difference: ..." << after.substr(at, 120);
  }
  // Automatic keys go on after the copied ones.
  execMain("INSERT INTO cart (sessionid, partno) VALUES ('S1', 'P1')");
  EXPECT_EQ(kestrin::schema::PgAdmin(admin(), prefix + "kestrin")
                .value("SELECT count(*) FROM cart WHERE catid > 1"),
            "1");

  // Once on the server, a second move is refused and changes nothing.
  CommandResult again = run(args);
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "kestrinctl site migrate: the site's databases are already on a server (" +
                           pgTestServer().server + ")\n");
  EXPECT_EQ(slurp(site() + "/kestrin.ini"), moved);
}

TEST_F(KestrinctlTest, MigrateOntoExistingDatabasesNeedsForce) {
  POSTGRES_HALF_ONLY();
  ASSERT_EQ(run({"site", "create", site(), "--site", "kestrin", "--password", "tolvaro27"}).status,
            0);
  kestrin::schema::PgAdmin(admin(), "postgres")
      .exec("CREATE DATABASE " + kestrin::schema::quoteName(prefix + "ingram"));
  const std::string ini = slurp(site() + "/kestrin.ini");
  std::vector<std::string> args = {"site", "migrate", site()};
  const auto server = serverArgs();
  args.insert(args.end(), server.begin(), server.end());
  CommandResult r = run(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "kestrinctl site migrate: a site already exists here (use --force to replace "
            "it):\n  database " +
                prefix + "ingram on " + pgTestServer().server + "\n");
  EXPECT_EQ(slurp(site() + "/kestrin.ini"), ini);
  args.push_back("--force");
  r = run(args);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(
      run({"call", "getPref", "items=x", "siteID=kestrin", "sitePassword=tolvaro27"}, site()).out,
      "n/a\n");
}

}  // namespace

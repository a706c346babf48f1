// What only the server backend has: its login's limits, its pool's health check, its failure
// rules (wrong password, server down, server gone between two calls) and its prepared
// statements. These tests run in the postgres/ half.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "db/attach.h"
#include "db/postgres/postgres_session.h"
#include "error_modes.h"
#include "kestrin/db.h"
#include "kestrin/ecat.h"
#include "kestrin/error.h"
#include "pg_admin.h"
#include "schema.h"
#include "site_fixture.h"
#include "text.h"

namespace kestrin::db {
namespace {

using testing::Database;
using testing::SiteFixture;

#define POSTGRES_HALF_ONLY()                                  \
  if (testing::testBackend() != testing::Backend::PostgreSQL) \
  GTEST_SKIP() << "a test of the server backend; it runs in the postgres/ half"

// A TCP relay between the engine and the test server that can play a server that is down
// (nothing listens: connection refused) and one that went away (open connections cut).
class Relay {
 public:
  explicit Relay(const std::string& server) {
    const size_t colon = server.rfind(':');
    target_ = static_cast<uint16_t>(std::stoi(server.substr(colon + 1)));
    listen();
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
  }
  ~Relay() {
    stop_ = true;
    thread_.join();
    down();
  }

  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

  // The server goes away: open connections are cut and new ones refused.
  void down() {
    std::lock_guard<std::mutex> lock(mutex_);
    // shutdown() acts at once, even while the relay's thread still polls the sockets.
    if (listener_ >= 0) {
      ::shutdown(listener_, SHUT_RDWR);
      ::close(listener_);
    }
    listener_ = -1;
    for (auto [a, b] : pairs_) {
      ::shutdown(a, SHUT_RDWR);
      ::shutdown(b, SHUT_RDWR);
      ::close(a);
      ::close(b);
    }
    pairs_.clear();
  }
  // The server is back on the same port.
  void up() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (listener_ < 0) listen();
  }

 private:
  void listen() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port_);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 16) != 0) {
      throw std::runtime_error("the relay cannot listen");
    }
  }

  int connectTarget() const {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(target_);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(s);
      return -1;
    }
    return s;
  }

  void run() {
    char buf[16384];
    while (!stop_) {
      std::vector<pollfd> fds;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (listener_ >= 0) fds.push_back({listener_, POLLIN, 0});
        for (auto [a, b] : pairs_) {
          fds.push_back({a, POLLIN, 0});
          fds.push_back({b, POLLIN, 0});
        }
      }
      if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      for (const pollfd& p : fds) {
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        if (p.fd == listener_) {
          int client = ::accept(listener_, nullptr, nullptr);
          int upstream = client >= 0 ? connectTarget() : -1;
          if (upstream >= 0) {
            pairs_.emplace_back(client, upstream);
          } else if (client >= 0) {
            ::close(client);
          }
          continue;
        }
        for (size_t i = 0; i < pairs_.size(); ++i) {
          auto [a, b] = pairs_[i];
          if (p.fd != a && p.fd != b) continue;
          const int from = p.fd, to = p.fd == a ? b : a;
          ssize_t n = ::read(from, buf, sizeof buf);
          if (n <= 0 || ::write(to, buf, static_cast<size_t>(n)) != n) {
            ::close(a);
            ::close(b);
            pairs_.erase(pairs_.begin() + static_cast<std::ptrdiff_t>(i));
          }
          break;
        }
      }
    }
  }

  uint16_t target_ = 0;
  uint16_t port_ = 0;
  int listener_ = -1;
  std::vector<std::pair<int, int>> pairs_;
  std::mutex mutex_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class PostgresTest : public testing::SiteTest {
 protected:
  // The configuration file with every connection string changed by `edit`.
  void rewriteConnections(const std::function<std::string(const std::string&)>& edit) {
    std::string text;
    text += std::string(SiteFixture::kPassword) + "\r\n";
    for (Database db : {Database::Main, Database::Ingram, Database::TechData})
      text += edit(site.connectionString(db)) + "\r\nsa\r\n8642\r\n";
    site.writeIni(text + "qbCompanyFile=/x.qbw\r\n");
  }

  // A site titled "Harrowgate" whose configuration file reaches the server through `relay`.
  void throughRelay(const Relay& relay) {
    site.setPreference("siteTitle", "Harrowgate");
    rewriteConnections([&](const std::string& cs) {
      return replaced(cs, testing::pgTestServer().server, relay.server());
    });
  }

  static std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
  }

  // The error that opening `connectionString` raises.
  static Error openError(const std::string& connectionString) {
    Connection c;
    try {
      c.open(connectionString);
    } catch (const Error& e) {
      return e;
    }
    return Error(0, "opened", "");
  }

  std::string getPref(eCat& cat, const std::string& name) {
    return cat.getPref(name, "", SiteFixture::kSiteId, SiteFixture::kPassword);
  }

  // An error that statement `sql` raises on the engine's login.
  std::string refusal(const std::string& sql) {
    Connection c;
    c.open(site.connectionString(Database::Main));
    try {
      c.execute(sql);
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrStatement) << sql;
      return e.description();
    }
    return "accepted";
  }
};

TEST_F(PostgresTest, TheEngineLoginMayUseRowsAndNothingMore) {
  POSTGRES_HALF_ONLY();
  struct Case {
    const char* sql;
    const char* refusal;
  };
  const Case cases[] = {
      {"create table t (a int)", "permission denied for schema public (SQLSTATE 42501)"},
      {"drop table products", "must be owner of table products (SQLSTATE 42501)"},
      {"alter table products add column x int", "must be owner of table products (SQLSTATE 42501)"},
      {"truncate cart", "permission denied for table cart (SQLSTATE 42501)"},
      {"create temporary table t (a int)",
       "permission denied to create temporary tables in "
       "database"},
      {"create function f() returns int language sql as 'select 1'",
       "permission denied for schema public (SQLSTATE 42501)"},
      {"select pg_read_file('/etc/passwd')",
       "permission denied for function pg_read_file (SQLSTATE 42501)"},
      {"copy products to '/tmp/products'", "to COPY to a file (SQLSTATE 42501)"},
      {"set role kestrin_admin", "permission denied to set role \"kestrin_admin\""},
      {"select 1; select 2", "The statement text holds more than one statement"},
      {"select * from preferences; delete from preferences",
       "The statement text holds more than one statement"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const std::string said = refusal(c.sql);
    EXPECT_NE(said.find(c.refusal), std::string::npos) << said;
  }
  // Below the layer's own refusal, the server runs one statement per execution too.
  Connection c;
  c.open(site.connectionString(Database::Main));
  try {
    c.session()->run("select 1; delete from preferences");
    ADD_FAILURE() << "the server ran two statements in one execution";
  } catch (const Error& e) {
    EXPECT_EQ(e.description(),
              "cannot insert multiple commands into a prepared statement (SQLSTATE 42601)");
  }

  // Rows and procedures are the engine's to use.
  EXPECT_EQ(refusal("insert into preferences (items, descr) values ('a', 'b')"), "accepted");
  EXPECT_EQ(refusal("kx_getpref 'a'"), "accepted");
  EXPECT_EQ(refusal("delete preferences where items = 'a'"), "accepted");

  // Another site's databases are closed to it.
  const schema::PgLogin admin{testing::pgTestServer().server, testing::pgTestServer().adminUser,
                              testing::pgTestServer().adminPassword};
  const std::string otherSite = site.databaseName(Database::Ingram) + "_other";
  schema::ensureEngineLogin(admin, "kestrin_other_site", "other");
  schema::createPostgresDatabase(admin, otherSite, Database::Ingram, false, "kestrin_other_site");
  const std::string other =
      replaced(site.connectionString(Database::Main), site.databaseName(Database::Main), otherSite);
  try {
    Connection c;
    c.open(other);
    ADD_FAILURE() << "the engine's login opened another site's database";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrProvider);
    EXPECT_NE(e.description().find("permission denied for database \"" + otherSite + "\""),
              std::string::npos)
        << e.description();
  }
  schema::dropPostgresDatabase(admin, otherSite);
}

TEST_F(PostgresTest, WrongDatabasePasswordIsAProviderErrorWithTheServersMessage) {
  POSTGRES_HALF_ONLY();
  const std::string& server = testing::pgTestServer().server;
  const std::string wrong =
      replaced(site.connectionString(Database::Main),
               "Password=" + testing::pgTestServer().enginePassword, "Password=wrong");
  const Error e = openError(wrong);
  EXPECT_EQ(e.number(), kErrProvider);
  EXPECT_EQ(e.source(), "kestrin.PostgreSQL");
  EXPECT_EQ(e.description(), "Cannot open database \"" + site.databaseName(Database::Main) +
                                 "\" on server " + server +
                                 ": connection to server at \"127.0.0.1\", port " +
                                 server.substr(server.find(':') + 1) +
                                 " failed: FATAL:  password authentication failed for user \"" +
                                 testing::pgTestServer().engineUser + "\"");

  // A page call then opens nothing, and its strict method fails on the closed connection.
  rewriteConnections([&](const std::string& cs) {
    return replaced(cs, "Password=" + testing::pgTestServer().enginePassword, "Password=wrong");
  });
  eCat cat;
  cat.opendb(false, SiteFixture::kSiteId, SiteFixture::kPassword);
  EXPECT_FALSE(cat.conn.isOpen());
  EXPECT_EQ(testing::errorNumberOf([&] { getPref(cat, "gfontName"); }), kErrObjectClosed);
}

TEST_F(PostgresTest, AServerThatIsDownThenBackAnswersTheNextCall) {
  POSTGRES_HALF_ONLY();
  Relay relay(testing::pgTestServer().server);
  throughRelay(relay);
  eCat cat;
  EXPECT_EQ(getPref(cat, "siteTitle"), "Harrowgate");
  EXPECT_GE(idlePostgresConnections(), 2u);

  // Down: opening fails with the server's refusal, in the error model's terms, and the call
  // with it.
  relay.down();
  const Error e = openError(replaced(site.connectionString(Database::Main),
                                     testing::pgTestServer().server, relay.server()));
  EXPECT_EQ(e.number(), kErrProvider);
  EXPECT_EQ(e.source(), "kestrin.PostgreSQL");
  EXPECT_EQ(e.description().find("Cannot open database \"" + site.databaseName(Database::Main) +
                                 "\" on server " + relay.server() + ": connection to server at "),
            0u)
      << e.description();
  EXPECT_NE(e.description().find("Connection refused"), std::string::npos) << e.description();
  EXPECT_EQ(testing::errorNumberOf([&] { getPref(cat, "siteTitle"); }), kErrObjectClosed);

  // Back: the pooled connections are stale, and are replaced rather than failing the call.
  relay.up();
  EXPECT_EQ(getPref(cat, "siteTitle"), "Harrowgate");
  EXPECT_FALSE(currentError().isSet()) << currentError().description;
}

TEST_F(PostgresTest, AServerGoneBetweenTwoCallsDoesNotFailTheSecond) {
  POSTGRES_HALF_ONLY();
  Relay relay(testing::pgTestServer().server);
  throughRelay(relay);
  eCat cat;
  EXPECT_EQ(getPref(cat, "siteTitle"), "Harrowgate");
  relay.down();  // every pooled connection is cut, as by a restart
  relay.up();
  EXPECT_EQ(getPref(cat, "siteTitle"), "Harrowgate");

  // The same when the server ends the sessions itself, saying goodbye first.
  schema::PgAdmin admin({testing::pgTestServer().server, testing::pgTestServer().adminUser,
                         testing::pgTestServer().adminPassword},
                        "postgres");
  // (pg_terminate_backend waits up to its time-out for the sessions to end.)
  admin.exec("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE datname IN (" +
             schema::quoteText(site.databaseName(Database::Main)) + ", " +
             schema::quoteText(site.databaseName(Database::TechData)) + ")");
  EXPECT_EQ(getPref(cat, "siteTitle"), "Harrowgate");
  EXPECT_FALSE(currentError().isSet()) << currentError().description;
}

TEST_F(PostgresTest, AConnectionCutDuringACallIsAProviderError) {
  POSTGRES_HALF_ONLY();
  Relay relay(testing::pgTestServer().server);
  Connection c;
  c.open(replaced(site.connectionString(Database::Main), testing::pgTestServer().server,
                  relay.server()));
  c.execute("select 1");
  relay.down();
  try {
    c.execute("select 1");
    FAIL() << "a cut connection answered";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrProvider);
    EXPECT_EQ(e.source(), "kestrin.PostgreSQL");
    EXPECT_NE(e.description().find("Lost the connection to database \"" +
                                   site.databaseName(Database::Main) + "\""),
              std::string::npos)
        << e.description();
  }
}

TEST_F(PostgresTest, StatementsArePreparedOncePerConnection) {
  POSTGRES_HALF_ONLY();
  Connection c;
  c.open(site.connectionString(Database::Main));
  int query = 0;
  auto prepared = [&] {
    // A text of its own each time, so that this count is never prepared itself.
    const std::string n = std::to_string(++query);
    return std::stoi(
        c.execute("select count(*) as n from pg_prepared_statements where " + n + " = " + n)
            .field("n")
            .text());
  };
  EXPECT_EQ(prepared(), 0);
  c.execute("kx_getpref 'a'");  // a procedure call is prepared at once
  c.execute("kx_getpref 'b'");  // and run again with other arguments
  EXPECT_EQ(prepared(), 1);
  // A statement text is prepared the second time it runs, and not again after.
  c.execute("select descr from preferences where items = 'x'");
  EXPECT_EQ(prepared(), 1);
  c.execute("select descr from preferences where items = 'x'");
  c.execute("select descr from preferences where items = 'x'");
  EXPECT_EQ(prepared(), 2);
  // Every page of a listing is one statement with the page's bounds bound.
  site.exec(Database::Main, "insert into preferences values ('a', '1'), ('b', '2'), ('c', '3')");
  Recordset rs;
  rs.setPageSize(2);
  rs.open("select items from preferences order by items", c, CursorType::Keyset);
  rs.setAbsolutePage(1);
  EXPECT_EQ(rs.field("items").text(), "a");
  rs.setAbsolutePage(2);
  EXPECT_EQ(rs.field("items").text(), "c");
  EXPECT_EQ(prepared(), 3);
}

TEST_F(PostgresTest, ABackslashInAValueStaysABackslash) {
  POSTGRES_HALF_ONLY();
  Connection c;
  c.open(site.connectionString(Database::Main));
  EXPECT_EQ(
      c.execute("show standard_conforming_strings").field("standard_conforming_strings").text(),
      "on");
  c.execute("insert into preferences (items, descr) values ('path', 'C:\\new\\''table\\')");
  EXPECT_EQ(site.value(Database::Main, "select descr from preferences where items = 'path'"),
            "C:\\new\\'table\\");
  EXPECT_EQ(c.execute("kx_getpref 'path'").field("descr").text(), "C:\\new\\'table\\");
}

// The error that `call` raises; number 0 when it raises none.
Error errorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "", "");
}

// What a maker of server databases was asked to do.
class RecordingMaker : public ServerDatabaseMaker {
 public:
  void makeDatabase(const ConnectionTarget& server, const AttachRequest& request) override {
    calls.push_back(server.host + ":" + server.port + " " + server.user + " " + request.name + " " +
                    request.dataFile + " " + request.logFile.value_or("(no log)"));
    if (!failure.empty()) throw std::runtime_error(failure);
  }
  std::vector<std::string> calls;
  std::string failure;
};

TEST_F(PostgresTest, TheServersMasterDatabaseRunsOnlyCheckedAttaches) {
  POSTGRES_HALF_ONLY();
  const testing::PgTestServer& pg = testing::pgTestServer();
  testing::TempDir dir;
  const std::string data = dir.path() + "/it's_data.mdf", log = dir.path() + "/it's_log.ldf";
  schema::createSqliteDatabase(data, Database::Ingram, false);
  std::ofstream(log) << "log";
  std::ofstream(dir.path() + "/damaged.mdf") << std::string(4096, 'x');
  const std::string existing = site.databaseName(Database::Main);
  const std::string failed = "Cannot attach database 'fresh' on server " + pg.server + ": ";
  auto attach = [&](const std::string& name, const std::string& file) {
    return "EXEC sp_attach_db @dbname = N'" + sqlEscape(name) + "', @filename1 = N'" +
           sqlEscape(file) + "', @filename2 = N'" + sqlEscape(log) + "'";
  };
  struct Case {
    std::string name;
    std::string sql;
    bool withMaker;
    std::string makerFailure;
    int32_t number;  // 0: the attach succeeds
    std::string description;
  };
  const Case cases[] = {
      {"another statement", "select 1", true, "", kErrStatement,
       "The master database of server " + pg.server +
           " runs only sp_attach_db; open one of its databases (Initial Catalog) for other "
           "statements."},
      {"existing database", attach(existing, data), true, "", kErrStatement,
       "Database '" + existing + "' already exists. Choose a different database name."},
      {"master", attach("master", data), true, "", kErrStatement,
       "Invalid database name 'master': a name of letters, digits, '_' and '-' is needed, and "
       "not master."},
      {"missing data file", attach("fresh", dir.path() + "/none.mdf"), true, "", kErrStatement,
       "Unable to open the physical file \"" + dir.path() +
           "/none.mdf\": No such file or "
           "directory."},
      {"damaged data file", attach("fresh", dir.path() + "/damaged.mdf"), true, "", kErrStatement,
       "The file \"" + dir.path() +
           "/damaged.mdf\" is not a database or is damaged: file is not a database (SQLite "
           "error 26)."},
      {"no maker", attach("fresh", data), false, "", kErrProvider,
       failed + "this program does not make databases on a server."},
      {"maker fails", attach("fresh", data), true, "the disk is full", kErrProvider,
       failed + "the disk is full"},
      {"made", attach("fresh", data), true, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingMaker maker;
    maker.failure = c.makerFailure;
    std::optional<ServerDatabaseMakerScope> scope;
    if (c.withMaker) scope.emplace(maker);
    Connection conn;
    conn.open("Provider=SQLOLEDB; Data Source=" + pg.server + "; Initial Catalog=Master; User ID=" +
              pg.engineUser + "; Password=" + pg.enginePassword + ";");
    const Error e = errorOf([&] { conn.execute(c.sql); });
    EXPECT_EQ(e.number(), c.number);
    EXPECT_EQ(e.description(), c.description);
    const bool reachesMaker = c.name == "maker fails" || c.name == "made";
    EXPECT_EQ(maker.calls, reachesMaker ? std::vector<std::string>{pg.server + " " + pg.engineUser +
                                                                   " fresh " + data + " " + log}
                                        : std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace kestrin::db

#include "site_fixture.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "db/dialect.h"
#include "kestrin/error.h"
#include "pg_admin.h"
#include "site_create.h"

namespace kestrin::testing {

namespace fs = std::filesystem;

Backend testBackend() {
  const char* name = std::getenv("KESTRIN_TEST_BACKEND");
  if (!name || std::string(name) == "sqlite" || std::string(name).empty()) return Backend::SQLite;
  if (std::string(name) == "postgres") return Backend::PostgreSQL;
  throw std::runtime_error(std::string("KESTRIN_TEST_BACKEND must be sqlite or postgres, not ") +
                           name);
}

const PgTestServer& pgTestServer() {
  static const PgTestServer server = [] {
    const schema::PgClusterState state = schema::readClusterState(std::getenv("KESTRIN_PG_STATE"));
    return PgTestServer{state.unavailable,    state.admin.server, state.admin.user,
                        state.admin.password, state.engineUser,   state.enginePassword};
  }();
  return server;
}

namespace {

// Without a server, the PostgreSQL half of a test program ends before its tests with the status
// that ctest counts as skipped (77), saying why.
class PostgresHalf : public ::testing::Environment {
 public:
  void SetUp() override {
    if (testBackend() != Backend::PostgreSQL) return;
    const PgTestServer& s = pgTestServer();
    if (s.unavailable.empty()) return;
    std::printf("PostgreSQL half skipped: %s\n", s.unavailable.c_str());
    std::fflush(stdout);
    std::exit(77);
  }
};
[[maybe_unused]] ::testing::Environment* const gPostgresHalf =
    ::testing::AddGlobalTestEnvironment(new PostgresHalf);

tools::ServerOptions serverOptions(Backend backend, const std::string& prefix) {
  if (backend == Backend::SQLite) return {};
  const PgTestServer& s = pgTestServer();
  if (!s.unavailable.empty())
    throw std::runtime_error("no PostgreSQL test server: " + s.unavailable);
  return {s.server, s.engineUser, s.enginePassword, s.adminUser, s.adminPassword, prefix};
}

schema::PgLogin adminLogin() {
  const PgTestServer& s = pgTestServer();
  return {s.server, s.adminUser, s.adminPassword};
}

// The template database of a schema (and demo data), made by the first test that needs it. The
// name carries a hash of the SQL, so that a changed schema gets a new template.
std::string templateDatabase(const schema::PgAdmin& postgres, Database db, bool demo) {
  static std::map<std::pair<Database, bool>, std::string> known;  // made in this process
  if (auto found = known.find({db, demo}); found != known.end()) return found->second;
  const std::string sql = schema::postgresSchemaSql(db) + (demo ? schema::demoSql(db) : "");
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string>{}(sql));
  const std::string name =
      std::string("kt_template_") + schema::catalogName(db) + (demo ? "_demo_" : "_") + hash;
  // Parallel tests wait for the one that makes it.
  postgres.exec("SELECT pg_advisory_lock(720514)");
  try {
    if (!postgres.value("SELECT 1 FROM pg_database WHERE datname = " + schema::quoteText(name))) {
      const std::string making = name + "_making";
      schema::dropPostgresDatabase(adminLogin(), making);  // left by a test that was killed
      schema::createPostgresDatabase(adminLogin(), making, db, demo, pgTestServer().engineUser);
      postgres.exec("ALTER DATABASE " + schema::quoteName(making) + " RENAME TO " +
                    schema::quoteName(name));
    }
  } catch (...) {
    postgres.exec("SELECT pg_advisory_unlock(720514)");
    throw;
  }
  postgres.exec("SELECT pg_advisory_unlock(720514)");
  return known[{db, demo}] = name;
}

// The shape of a database's schema: its tables, columns, indexes, sequences, functions, keys,
// triggers and grants.
const char* const kSchemaFingerprint =
    "SELECT md5(string_agg(x, '|' ORDER BY x)) FROM ("
    "SELECT 'c ' || c.relname || ' ' || c.relkind::text || ' ' || coalesce(c.relacl::text, '') || "
    "' ' "
    "|| coalesce((SELECT string_agg(a.attname || ' ' || format_type(a.atttypid, a.atttypmod) || "
    "' ' || a.attnotnull || a.attidentity::text || coalesce(pg_get_expr(d.adbin, d.adrelid), ''), "
    "',' "
    "ORDER BY a.attnum) FROM pg_attribute a LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND "
    "d.adnum = a.attnum WHERE a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped), '') "
    "AS x FROM pg_class c WHERE c.relnamespace = 'public'::regnamespace "
    "UNION ALL SELECT 'f ' || p.oid::regprocedure::text || ' ' || md5(p.prosrc) || "
    "coalesce(p.proacl::text, '') FROM pg_proc p WHERE p.pronamespace = 'public'::regnamespace "
    "UNION ALL SELECT 'k ' || conname || ' ' || pg_get_constraintdef(oid) FROM pg_constraint "
    "WHERE connamespace = 'public'::regnamespace "
    "UNION ALL SELECT 't ' || t.tgname FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
    "WHERE c.relnamespace = 'public'::regnamespace) s";

// Deletes every row (the change counter's own row stays) and starts every automatic key at 1
// again.
const char* const kEmptyAllTables =
    "DO $$ DECLARE r record; BEGIN "
    "FOR r IN SELECT oid::regclass AS t FROM pg_class WHERE relnamespace = "
    "'public'::regnamespace AND relkind = 'r' AND relname <> 'kx_changes' LOOP EXECUTE "
    "'DELETE FROM ' || r.t; END LOOP; "
    "FOR r IN SELECT oid::regclass AS s FROM pg_class WHERE relnamespace = "
    "'public'::regnamespace AND relkind = 'S' LOOP PERFORM setval(r.s, 1, false); END LOOP; "
    "END $$";

// A set of site databases that no other test holds: slot n is kt_slot<n>_kestrin and so on,
// held by a lock of the connection `server` until it closes (also when a test process dies).
std::string takeSlot(const schema::PgAdmin& server) {
  for (int slot = 1;; ++slot) {
    if (server.value("SELECT pg_try_advisory_lock(720515, " + std::to_string(slot) + ")") == "1")
      return "kt_slot" + std::to_string(slot) + "_";
  }
}

// Databases of one test process are told apart by a counter, of parallel processes by the pid.
std::string uniquePrefix() {
  static std::atomic<int> sites{0};
  return "kt" + std::to_string(getpid()) + "_" + std::to_string(++sites) + "_";
}

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

std::string sqliteText(sqlite3_stmt* stmt) {
  switch (sqlite3_column_type(stmt, 0)) {
    case SQLITE_NULL:
      return "<NULL>";
    case SQLITE_FLOAT:
      return schema::shortestNumber(sqlite3_column_double(stmt, 0));
    default:
      return reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  }
}

// The classic dialect as the server runs it; a procedure call with its arguments as literals.
std::string forServer(const std::string& sql) {
  db::TranslatedSql t = db::translateClassicSql(sql, db::SqlFlavor::PostgreSQL);
  if (!t.call) return t.text;
  std::string text = "SELECT * FROM " + t.call->name + "(";
  for (size_t i = 0; i < t.call->args.size(); ++i) {
    const Variant& v = t.call->args[i];
    text += (i ? ", " : "") + (v.isNull() ? std::string("NULL") : schema::quoteText(v.text()));
  }
  return text + ")";
}

}  // namespace

SiteFixture::SiteFixture(bool demo) : SiteFixture(testBackend(), demo) {}

SiteFixture::SiteFixture(Backend backend, bool demo) : backend_(backend) {
  std::string tmpl = (fs::temp_directory_path() / "kestrin-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  if (backend_ == Backend::SQLite && !demo) {
    tools::createSite({dir_, kSiteId, kPassword, false, false, {}});
    return;
  }
  // The build made the demo site once: its files (the company file; the databases too on
  // SQLite) are copied, its configuration file is written for this folder.
  if (demo) {
    for (const fs::directory_entry& entry : fs::directory_iterator(KESTRIN_DEMO_SITE_DIR)) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() == ".ini") continue;
      if (backend_ == Backend::PostgreSQL && name.find(".db") != std::string::npos) continue;
      fs::copy(entry.path(), fs::path(dir_) / name, fs::copy_options::recursive);
    }
  }
  if (backend_ == Backend::SQLite) {
    writeIni(tools::siteConfigText(fs::canonical(dir_).string(), kPassword));
    return;
  }
  // kestrinctl's site create is tested as such. Here a site without demo data takes a set of
  // databases that no other test holds, emptied of the last test's rows; other sites get
  // databases copied from a template. Both are many times faster than making the databases.
  server_ = std::make_unique<schema::PgAdmin>(adminLogin(), "postgres");
  if (demo) {
    dbPrefix_ = uniquePrefix();
  } else {
    dbPrefix_ = takeSlot(*server_);
    reused_ = true;
  }
  const tools::ServerOptions server = serverOptions(backend_, dbPrefix_);
  for (Database db : {Database::Main, Database::Ingram, Database::TechData}) {
    if (!reused_ || !emptyDatabase(db)) makeDatabase(db, demo);
  }
  tools::writeSiteConfig(iniFile(),
                         tools::siteConfigText(fs::canonical(dir_).string(), kPassword, server));
}

void SiteFixture::makeDatabase(Database db, bool demo) {
  const std::string name = schema::quoteName(databaseName(db));
  const std::string tmpl = templateDatabase(*server_, db, demo);
  server_->exec("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
  server_->exec("CREATE DATABASE " + name + " TEMPLATE " + schema::quoteName(tmpl));
  server_->exec("REVOKE ALL ON DATABASE " + name + " FROM PUBLIC; GRANT CONNECT ON DATABASE " +
                name + " TO " + schema::quoteName(pgTestServer().engineUser));
  // What the schema looks like when made, for the next test that takes these databases.
  server_->exec("COMMENT ON DATABASE " + name + " IS " +
                schema::quoteText(tmpl + " " + *admin(db).value(kSchemaFingerprint)));
}

bool SiteFixture::emptyDatabase(Database db) {
  const std::string name = databaseName(db);
  const auto made = server_->value(
      "SELECT shobj_description(oid, 'pg_database') FROM "
      "pg_database WHERE datname = " +
      schema::quoteText(name));
  if (!made || !made->starts_with(templateDatabase(*server_, db, false) + " ")) return false;
  // A test that changed the schema leaves databases that are made afresh.
  if (made->substr(made->find(' ') + 1) != admin(db).value(kSchemaFingerprint)) {
    admins_.erase(db);
    return false;
  }
  admin(db).exec(kEmptyAllTables);
  return true;
}

SiteFixture::~SiteFixture() {
  admins_.clear();
  if (server_ && !reused_) {
    for (Database db : {Database::Main, Database::Ingram, Database::TechData}) {
      try {
        dropDatabase(db);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "could not drop the test database %s: %s\n", databaseName(db).c_str(),
                     e.what());
      }
    }
  }
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

std::string SiteFixture::connectionString(Database db) const {
  return tools::siteConnectionString(fs::canonical(dir_).string(),
                                     serverOptions(backend_, dbPrefix_), db);
}

std::string SiteFixture::databaseName(Database db) const {
  if (backend_ == Backend::SQLite) return std::string(schema::catalogName(db)) + ".db";
  return dbPrefix_ + schema::catalogName(db);
}

std::string SiteFixture::dbFile(Database db) const {
  if (backend_ != Backend::SQLite) {
    throw std::runtime_error(
        "dbFile() names a SQLite file, and this site is on PostgreSQL: use removeDatabase() or "
        "connectionString(), or make the site with Backend::SQLite");
  }
  return dir_ + "/" + schema::catalogName(db) + ".db";
}

std::string SiteFixture::tracedDatabase(Database db) const {
  if (backend_ == Backend::SQLite) return dbFile(db);
  return pgTestServer().server + "/" + databaseName(db);
}

void SiteFixture::removeDatabase(Database db) {
  if (backend_ == Backend::SQLite) {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(dbFile(db) + suffix, ec);
    return;
  }
  dropDatabase(db);
}

void SiteFixture::dropDatabase(Database db) {
  admins_.erase(db);
  server_->exec("DROP DATABASE IF EXISTS " + schema::quoteName(databaseName(db)) + " WITH (FORCE)");
}

SiteFixture::ErrorText SiteFixture::missingDatabaseError(Database db) const {
  if (backend_ == Backend::SQLite) {
    return {"Cannot open database \"" + databaseName(db) + "\": the file does not exist.",
            "kestrin.SQLite"};
  }
  const std::string& server = pgTestServer().server;
  const std::string name = databaseName(db);
  return {"Cannot open database \"" + name + "\" on server " + server +
              ": connection to server at \"" + server.substr(0, server.rfind(':')) + "\", port " +
              server.substr(server.rfind(':') + 1) + " failed: FATAL:  database \"" + name +
              "\" does not exist",
          "kestrin.PostgreSQL"};
}

const schema::PgAdmin& SiteFixture::admin(Database db) const {
  auto& slot = admins_[db];
  if (!slot) slot = std::make_unique<schema::PgAdmin>(adminLogin(), databaseName(db));
  return *slot;
}

void SiteFixture::exec(Database db, const std::string& sql) const {
  if (backend_ == Backend::PostgreSQL) {
    try {
      admin(db).exec(forServer(sql));
    } catch (const std::exception& e) {
      throw std::runtime_error(std::string("fixture SQL failed on PostgreSQL: ") + e.what() + "\n" +
                               sql);
    }
    return;
  }
  Db d(dbFile(db));
  char* message = nullptr;
  if (sqlite3_exec(d.handle, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "?";
    sqlite3_free(message);
    throw std::runtime_error("fixture SQL failed: " + text + "\n" + sql);
  }
}

void SiteFixture::execElsewhere(Database db, const std::string& sql) const {
  CommandResult r;
  if (backend_ == Backend::PostgreSQL) {
    const PgTestServer& pg = pgTestServer();
    const size_t colon = pg.server.rfind(':');
    r = runCommand(
        {"psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", pg.server.substr(0, colon), "-p",
         pg.server.substr(colon + 1), "-U", pg.adminUser, "-d", databaseName(db), "-c", sql},
        {"PGPASSWORD=" + pg.adminPassword});
  } else {
    r = runCommand({"sqlite3", dbFile(db), sql});
  }
  if (r.status != 0)
    throw std::runtime_error("SQL in another process failed: " + r.err + "\n" + sql);
}

std::vector<std::string> SiteFixture::column(Database db, const std::string& sql) const {
  std::vector<std::string> out;
  if (backend_ == Backend::PostgreSQL) {
    try {
      for (const auto& v : admin(db).column(forServer(sql))) out.push_back(v ? *v : "<NULL>");
    } catch (const std::exception& e) {
      throw std::runtime_error(std::string("fixture query failed on PostgreSQL: ") + e.what() +
                               "\n" + sql);
    }
    return out;
  }
  Db d(dbFile(db));
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(d.handle, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw std::runtime_error(std::string("fixture query failed: ") + sqlite3_errmsg(d.handle));
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) out.push_back(sqliteText(stmt));
  sqlite3_finalize(stmt);
  return out;
}

std::string SiteFixture::value(Database db, const std::string& sql) const {
  auto rows = column(db, sql);
  return rows.empty() ? "<no row>" : rows.front();
}

void SiteFixture::setPreference(const std::string& name, const std::string& value) const {
  const std::string n = schema::quoteText(name), v = schema::quoteText(value);
  exec(Database::Main, "DELETE FROM preferences WHERE items = " + n +
                           "; INSERT INTO preferences (items, descr) VALUES (" + n + ", " + v +
                           ")");
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

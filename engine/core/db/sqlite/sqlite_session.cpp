#include "sqlite_session.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <unordered_map>
#include <utility>

#include "../../text.h"
#include "../dialect.h"
#include "../idle_pool.h"
#include "folder_server.h"
#include "kestrin/error.h"

namespace kestrin::db {

namespace {

const char* const kSource = "kestrin.SQLite";

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

int32_t errorNumberFor(int code) {
  switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
      return kErrIntegrity;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_FULL:
      return kErrProvider;
    default:
      return kErrStatement;
  }
}

[[noreturn]] void raiseSqlite(sqlite3* db, int code, std::string context = {}) {
  int extended = db ? sqlite3_extended_errcode(db) : code;
  std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  if ((code & 0xff) == SQLITE_AUTH && context.empty())
    context = "Statement refused (the engine may not run ATTACH, DETACH or PRAGMA)";
  std::string description = context.empty() ? message : context + ": " + message;
  description += " (SQLite error " + std::to_string(extended) + ")";
  raise(errorNumberFor(code), description, kSource);
}

// Which file a connection has open: a file replaced under the same name is another file.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

// The connection and its cache of prepared statements, shared by the session and the row streams
// that read from it, so that a stream outliving its session stays safe. Between sessions a core
// waits in the pool with its statements and page cache.
struct Core {
  DbHandle db;
  bool open = true;
  FileId file;
  std::chrono::steady_clock::time_point idleSince;
  // Idle prepared statements by their text; a statement in use is not in the cache.
  std::unordered_multimap<std::string, StmtHandle> idle;
  std::unordered_map<std::string, std::pair<int, std::string>> procedures;  // name -> params, body

  void requireOpen() const {
    if (!open)
      raise(kErrObjectClosed, "Operation is not allowed when the object is closed.", kSource);
  }
};

// A prepared statement borrowed from the cache; returned (reset) when the lease ends, unless
// it cannot be reused (a statement with a tail) or the session has closed.
class Lease {
 public:
  Lease(std::shared_ptr<Core> core, std::string key, StmtHandle stmt, bool cacheable)
      : core_(std::move(core)),
        key_(std::move(key)),
        stmt_(std::move(stmt)),
        cacheable_(cacheable) {}
  Lease(Lease&&) = default;
  Lease& operator=(Lease&&) = default;
  ~Lease() {
    if (!stmt_ || !core_ || !core_->open || !cacheable_ || core_->idle.size() >= 256) return;
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
    core_->idle.emplace(std::move(key_), std::move(stmt_));
  }
  sqlite3_stmt* get() const { return stmt_.get(); }
  const std::shared_ptr<Core>& core() const { return core_; }

 private:
  std::shared_ptr<Core> core_;
  std::string key_;
  StmtHandle stmt_;
  bool cacheable_;
};

// The engine's statements may not reach beyond their database or change how it works: attaching
// another file, detaching, and every PRAGMA are refused when a statement is prepared, but for
// reading the schema cookie (the change counter's reading). The session sets its own pragmas
// before this is installed.
int authorize(void*, int action, const char* pragma, const char* value, const char*, const char*) {
  switch (action) {
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
      return SQLITE_DENY;
    case SQLITE_PRAGMA:
      return pragma && !value && sqlite3_stricmp(pragma, "schema_version") == 0 ? SQLITE_OK
                                                                                : SQLITE_DENY;
    default:
      return SQLITE_OK;
  }
}

// Prepares the first statement of `text` (or takes it from the cache); `tail` receives the rest.
Lease acquire(const std::shared_ptr<Core>& core, const std::string& text, std::string& tail) {
  core->requireOpen();
  auto it = core->idle.find(text);
  if (it != core->idle.end()) {
    StmtHandle stmt = std::move(it->second);
    core->idle.erase(it);
    tail.clear();  // only single statements are cached
    return Lease(core, text, std::move(stmt), true);
  }
  sqlite3_stmt* raw = nullptr;
  const char* end = nullptr;
  int rc =
      sqlite3_prepare_v2(core->db.get(), text.c_str(), static_cast<int>(text.size()), &raw, &end);
  StmtHandle stmt(raw);
  if (rc != SQLITE_OK) raiseSqlite(core->db.get(), rc);
  tail = std::string(end, text.c_str() + text.size() - end);
  bool single = tail.find_first_not_of(" \t\r\n;") == std::string::npos;
  return Lease(core, text, std::move(stmt), single);
}

void bindAll(sqlite3* db, sqlite3_stmt* stmt, const std::vector<Variant>& params) {
  int count = sqlite3_bind_parameter_count(stmt);
  for (int i = 1; i <= count && i <= static_cast<int>(params.size()); ++i) {
    const Variant& v = params[i - 1];
    int rc = SQLITE_OK;
    switch (v.kind()) {
      case Variant::Kind::Empty:
      case Variant::Kind::Null:
        rc = sqlite3_bind_null(stmt, i);
        break;
      case Variant::Kind::Bool:
        rc = sqlite3_bind_int(stmt, i, v.flag() ? 1 : 0);
        break;
      case Variant::Kind::Integer:
        rc = sqlite3_bind_int64(stmt, i, static_cast<sqlite3_int64>(v.number()));
        break;
      case Variant::Kind::Single:
      case Variant::Kind::Double:
        rc = sqlite3_bind_double(stmt, i, v.number());
        break;
      case Variant::Kind::Text: {
        std::string t = v.text();
        rc = sqlite3_bind_text(stmt, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        break;
      }
    }
    if (rc != SQLITE_OK) raiseSqlite(db, rc);
  }
}

Variant columnValue(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
      return Variant::null();
    case SQLITE_INTEGER:
      return Variant(static_cast<int64_t>(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt, i));
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      return Variant(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt, i))));
    }
  }
}

class SqliteRowStream : public RowStream {
 public:
  // `first` is the result of the first sqlite3_step, taken when the statement ran.
  SqliteRowStream(Lease lease, int first) : lease_(std::move(lease)), pending_(first) {
    sqlite3_stmt* s = lease_.get();
    int n = sqlite3_column_count(s);
    for (int i = 0; i < n; ++i) columns_.emplace_back(sqlite3_column_name(s, i));
  }

  const std::vector<std::string>& columns() const override { return columns_; }

  bool next(std::vector<Variant>& row) override {
    if (done_) return false;
    lease_.core()->requireOpen();
    int rc = pending_ >= 0 ? std::exchange(pending_, -1) : sqlite3_step(lease_.get());
    if (rc == SQLITE_DONE) {
      done_ = true;
      return false;
    }
    if (rc != SQLITE_ROW) raiseSqlite(lease_.core()->db.get(), rc);
    sqlite3_stmt* s = lease_.get();
    row.clear();
    row.reserve(columns_.size());
    for (int i = 0; i < static_cast<int>(columns_.size()); ++i) row.push_back(columnValue(s, i));
    return true;
  }

 private:
  Lease lease_;
  int pending_;
  bool done_ = false;
  std::vector<std::string> columns_;
};

// Connections by file; one is taken back only while its file is still the one it opened.
IdlePool<Core>& pool() {
  static IdlePool<Core> instance(8, std::chrono::seconds(60));
  return instance;
}

bool isIdle(sqlite3* db) {
  if (!sqlite3_get_autocommit(db)) return false;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s; s = sqlite3_next_stmt(db, s)) {
    if (sqlite3_stmt_busy(s)) return false;
  }
  return true;
}

class SqliteSession : public Session {
 public:
  SqliteSession(std::shared_ptr<Core> core, std::string path)
      : core_(std::move(core)), path_(std::move(path)) {}
  ~SqliteSession() override { close(); }

  std::unique_ptr<RowStream> run(const std::string& classicSql) override {
    auto [text, params, body] = resolve(classicSql);
    return runText(text, params, body);
  }

  long long countRows(const std::string& classicSql) override {
    auto [text, params, body] = resolve(classicSql);
    auto stream = runText(rowCountStatement(text), params, body);
    std::vector<Variant> row;
    if (!stream || !stream->next(row)) return 0;
    return static_cast<long long>(row[0].number());
  }

  std::unique_ptr<RowStream> runWindow(const std::string& classicSql, long long offset,
                                       long long limit) override {
    auto [text, params, body] = resolve(classicSql);
    return runText(windowStatement(text, std::to_string(offset), std::to_string(limit)), params,
                   body);
  }

  long long statementCount() const override { return statements_; }
  // Dropping, altering or making a table again fires no trigger: SQLite's schema cookie, raised
  // by every change of the schema from any connection, tells instead.
  std::string changeCounterQuery() const override {
    return "select n, (select schema_version from pragma_schema_version) as schema from "
           "kx_changes";
  }
  std::string triggerCountQuery(const std::vector<std::string>& names) const override {
    return "select count(*) from sqlite_master where type = 'trigger' and name in (" +
           quotedList(names) + ")";
  }
  std::unique_ptr<RowStream> runOwnStatement(const std::string& statement) override {
    return runText(statement, {}, false);
  }
  long long changesMade() const override {
    return core_ ? static_cast<long long>(sqlite3_total_changes64(core_->db.get())) : -1;
  }

  void close() override {
    if (!core_) return;
    core_->open = false;
    // Procedure bodies may change while the connection waits; they are read again next time.
    core_->procedures.clear();
    if (core_.use_count() == 1 && isIdle(core_->db.get())) {
      pool().give(path_, std::move(core_));
    } else {
      core_->idle.clear();
      core_.reset();  // SQLite closes it once statements still held by streams finish
    }
  }

  bool isOpen() const override { return core_ != nullptr; }

 private:
  // What runs for a classic statement: its translated text, or the body of the procedure it
  // calls with the call's arguments. Only a procedure body, which the database holds, may be
  // several statements.
  struct Resolved {
    std::string text;
    std::vector<Variant> params;
    bool procedureBody = false;
  };

  Resolved resolve(const std::string& classicSql) {
    if (!core_)
      raise(kErrObjectClosed, "Operation is not allowed when the object is closed.", kSource);
    TranslatedSql t = translateClassicSql(classicSql);
    if (!t.call) return {std::move(t.text), {}, false};
    for (const std::string& argName : t.call->argNames) {
      if (!argName.empty()) {
        raise(kErrStatement,
              "Procedure '" + t.call->name + "' takes its arguments by position, not by name (@" +
                  argName + ").",
              kSource);
      }
    }
    const auto& [params, body] = procedure(t.call->name);
    if (static_cast<int>(t.call->args.size()) != params)
      raiseArgumentCount(t.call->name, params, t.call->args.size(), kSource);
    return {body, std::move(t.call->args), true};
  }

  const std::pair<int, std::string>& procedure(const std::string& name) {
    std::string key = lower(name);
    auto found = core_->procedures.find(key);
    if (found != core_->procedures.end()) return found->second;
    auto stream =
        runText("SELECT params, body FROM kx_procedures WHERE name = ?1", {Variant(name)}, false);
    std::vector<Variant> row;
    if (!stream || !stream->next(row)) {
      raiseUnknownProcedure(name, kSource);
    }
    return core_->procedures[key] = {static_cast<int>(row[0].number()), row[1].text()};
  }

  // Runs every statement of `text`; the last one's rows are returned as a stream. Unless `several`
  // allows more, a text that SQLite reads as more than one statement is refused before any of it
  // runs (the layer above refuses such texts too; this is SQLite's own reading of them).
  std::unique_ptr<RowStream> runText(const std::string& text, const std::vector<Variant>& params,
                                     bool several) {
    std::string rest = text;
    std::unique_ptr<RowStream> result;
    while (rest.find_first_not_of(" \t\r\n;") != std::string::npos) {
      std::string tail;
      Lease lease = acquire(core_, rest, tail);
      rest = std::move(tail);
      if (!several && rest.find_first_not_of(" \t\r\n;") != std::string::npos) {
        raise(kErrStatement,
              "The statement text holds more than one statement; the database layer runs one "
              "statement at a time.",
              kSource);
      }
      if (!lease.get()) continue;
      ++statements_;
      noteStatementRun();
      sqlite3* db = core_->db.get();
      bindAll(db, lease.get(), params);
      if (!sqlite3_stmt_readonly(lease.get())) noteWriteInThread();
      int rc = sqlite3_step(lease.get());
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) raiseSqlite(db, rc);
      if (sqlite3_column_count(lease.get()) == 0) {
        result.reset();
        continue;
      }
      bool last = rest.find_first_not_of(" \t\r\n;") == std::string::npos;
      if (!last) {
        while (rc == SQLITE_ROW) rc = sqlite3_step(lease.get());
        if (rc != SQLITE_DONE) raiseSqlite(db, rc);
        continue;
      }
      result = std::make_unique<SqliteRowStream>(std::move(lease), rc);
    }
    return result;
  }

  std::shared_ptr<Core> core_;
  std::string path_;
  long long statements_ = 0;
};

}  // namespace

std::shared_ptr<Session> openSqliteSession(const std::string& file, int timeoutSeconds) {
  std::string name = std::filesystem::path(file).filename().string();
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    raise(kErrProvider, "Cannot open database \"" + name + "\": the file does not exist.", kSource);
  }
  const FileId id{info.st_dev, info.st_ino};
  const int busyMs = (timeoutSeconds > 0 ? timeoutSeconds : 15) * 1000;
  if (std::shared_ptr<Core> core = pool().take(file, [&](const Core& c) { return c.file == id; })) {
    core->open = true;
    sqlite3_busy_timeout(core->db.get(), busyMs);
    return std::make_shared<SqliteSession>(std::move(core), file);
  }

  sqlite3* raw = nullptr;
  int rc =
      sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  DbHandle db(raw);
  if (rc != SQLITE_OK) raiseSqlite(db.get(), rc, "Cannot open database \"" + name + "\"");
  sqlite3_busy_timeout(db.get(), busyMs);
  sqlite3_extended_result_codes(db.get(), 1);
  // Reading the journal mode also proves that the file is a database. Pages are read through a
  // mapping that the pooled connection keeps, rather than copied into its cache.
  rc = sqlite3_exec(
      db.get(), "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA mmap_size=268435456;",
      nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) raiseSqlite(db.get(), rc, "Cannot open database \"" + name + "\"");
  // Defensive mode keeps statements from corrupting the file (schema and shadow-table writes);
  // ATTACHing other files is impossible as well as refused.
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_limit(db.get(), SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_set_authorizer(db.get(), authorize, nullptr);
  auto core = std::make_shared<Core>();
  core->db = std::move(db);
  core->file = id;
  return std::make_shared<SqliteSession>(std::move(core), file);
}

size_t idleSqliteConnections() { return pool().idleCount(); }

}  // namespace kestrin::db

#include "postgres_session.h"

#include <libpq-fe.h>
#include <poll.h>

#include <charconv>
#include <chrono>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "../../text.h"
#include "../dialect.h"
#include "../idle_pool.h"
#include "kestrin/error.h"

namespace kestrin::db {

namespace {

const char* const kSource = "kestrin.PostgreSQL";

// Type oids (pg_type) that are read as numbers, and the void of a function without result.
constexpr Oid kBoolOid = 16, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kOidOid = 26,
              kFloat4Oid = 700, kFloat8Oid = 701, kNumericOid = 1700, kVoidOid = 2278;

// Prepared statements and remembered texts per connection, at most.
constexpr size_t kMaxPrepared = 256;
constexpr size_t kMaxSeen = 1024;

// Session settings of every connection: literals as written (a backslash is a backslash), no
// compilation of plans (it costs more than the engine's short statements gain), the classic
// command time-out, and names looked up in the site's own schema only.
const char* const kSessionOptions =
    "-c standard_conforming_strings=on -c jit=off -c statement_timeout=30s "
    "-c search_path=public -c DateStyle=ISO,MDY";

struct ConnCloser {
  void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClearer {
  void operator()(PGresult* r) const { PQclear(r); }
};
using ConnHandle = std::unique_ptr<PGconn, ConnCloser>;
using ResultHandle = std::unique_ptr<PGresult, ResultClearer>;

// libpq's messages end with a line break and may run over several lines.
std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return trim(text);
}

bool isNumericType(Oid type) {
  return type == kInt2Oid || type == kInt4Oid || type == kInt8Oid || type == kFloat4Oid ||
         type == kFloat8Oid || type == kNumericOid;
}

Variant valueOf(const char* text, int length, Oid type) {
  switch (type) {
    case kBoolOid:
      return Variant(int64_t{text[0] == 't' ? 1 : 0});
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid: {
      int64_t v = 0;
      std::from_chars(text, text + length, v);
      return Variant(v);
    }
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid: {
      double v = 0;
      std::from_chars(text, text + length, v);
      return Variant(v);
    }
    default:
      return Variant(std::string(text, static_cast<size_t>(length)));
  }
}

// One server connection with what has been prepared on it. Between sessions it waits in the pool.
struct ProcedureShape {
  std::vector<bool> numeric;  // which parameters take numbers
  // False for a function declared STABLE or IMMUTABLE, which the server keeps from writing.
  bool mayWrite = true;
};

struct Core {
  ConnHandle conn;
  std::string server;    // host[:port], for messages
  std::string database;  // for messages
  std::chrono::steady_clock::time_point idleSince;
  std::unordered_map<std::string, std::string> prepared;  // statement text -> statement name
  std::unordered_set<std::string> seen;                   // texts run once, not prepared
  // Procedure name and argument count -> what a call needs to know of it.
  std::unordered_map<std::string, ProcedureShape> procedures;
  int lastName = 0;
  // The database had the event trigger that counts changes of the schema when the counter was
  // last read here (readChangeCounter).
  bool schemaEvents = true;
};

bool connectionLost(const char* sqlstate) {
  std::string_view s = sqlstate ? sqlstate : "";
  return s.starts_with("08") || s.starts_with("57P");
}

// Raises the error of a failed result: a lost connection is a provider error, a violated key or
// constraint (SQLSTATE class 23) an integrity error, anything else a statement error; each with
// the server's message and SQLSTATE.
[[noreturn]] void raiseResult(const Core& core, const PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  std::string message = primary ? primary
                        : result && *PQresultErrorMessage(result)
                            ? oneLine(PQresultErrorMessage(result))
                            : oneLine(PQerrorMessage(core.conn.get()));
  if (PQstatus(core.conn.get()) != CONNECTION_OK || connectionLost(state)) {
    raise(kErrProvider,
          "Lost the connection to database \"" + core.database + "\" on server " + core.server +
              ": " + message,
          kSource);
  }
  if (state) message += std::string(" (SQLSTATE ") + state + ")";
  const bool integrity = state && std::string_view(state).starts_with("23");
  raise(integrity ? kErrIntegrity : kErrStatement, message, kSource);
}

bool succeeded(const PGresult* r) {
  ExecStatusType s = PQresultStatus(r);
  return s == PGRES_TUPLES_OK || s == PGRES_COMMAND_OK;
}

bool hasState(const PGresult* r, std::string_view state) {
  const char* s = PQresultErrorField(r, PG_DIAG_SQLSTATE);
  return s && state == s;
}

// Runs one statement with its parameters: prepared when it has been prepared on this connection,
// or is to be (`prepareNow`, or its second run here); else parsed for this run only.
ResultHandle execute(Core& core, const std::string& text, const std::vector<const char*>& values,
                     bool prepareNow) {
  PGconn* c = core.conn.get();
  const int n = static_cast<int>(values.size());
  std::string name;
  if (auto found = core.prepared.find(text); found != core.prepared.end()) {
    name = found->second;
  } else if ((prepareNow || core.seen.contains(text)) && core.prepared.size() < kMaxPrepared) {
    name = "kx" + std::to_string(++core.lastName);
    ResultHandle prepared(PQprepare(c, name.c_str(), text.c_str(), n, nullptr));
    if (!succeeded(prepared.get())) raiseResult(core, prepared.get());
    core.prepared.emplace(text, name);
    core.seen.erase(text);
  } else {
    if (core.seen.size() >= kMaxSeen) core.seen.clear();
    core.seen.insert(text);
  }
  noteStatementRun();
  ResultHandle r(name.empty()
                     ? PQexecParams(c, text.c_str(), n, nullptr, values.data(), nullptr, nullptr, 0)
                     : PQexecPrepared(c, name.c_str(), n, values.data(), nullptr, nullptr, 0));
  if (!name.empty() && hasState(r.get(), "0A000") && PQstatus(c) == CONNECTION_OK) {
    // A table changed under the prepared plan ("cached plan must not change result type"):
    // forget it and run the text afresh.
    core.prepared.erase(text);
    ResultHandle(PQexec(c, ("DEALLOCATE " + name).c_str()));
    r.reset(PQexecParams(c, text.c_str(), n, nullptr, values.data(), nullptr, nullptr, 0));
  }
  if (!succeeded(r.get())) raiseResult(core, r.get());
  return r;
}

class PgRowStream : public RowStream {
 public:
  explicit PgRowStream(ResultHandle result) : result_(std::move(result)) {
    const int n = PQnfields(result_.get());
    for (int i = 0; i < n; ++i) {
      columns_.emplace_back(PQfname(result_.get(), i));
      types_.push_back(PQftype(result_.get(), i));
    }
    rows_ = PQntuples(result_.get());
  }

  const std::vector<std::string>& columns() const override { return columns_; }

  bool next(std::vector<Variant>& row) override {
    if (next_ >= rows_) return false;
    PGresult* r = result_.get();
    row.clear();
    row.reserve(columns_.size());
    for (int i = 0; i < static_cast<int>(columns_.size()); ++i) {
      if (PQgetisnull(r, next_, i)) {
        row.push_back(Variant::null());
      } else {
        row.push_back(valueOf(PQgetvalue(r, next_, i), PQgetlength(r, next_, i),
                              types_[static_cast<size_t>(i)]));
      }
    }
    ++next_;
    return true;
  }

 private:
  ResultHandle result_;
  std::vector<std::string> columns_;
  std::vector<Oid> types_;
  int rows_ = 0;
  int next_ = 0;
};

// The rows of a finished statement; nullptr for one that returns none (a command, a procedure
// returning void).
std::unique_ptr<RowStream> streamOf(ResultHandle r) {
  const int columns = PQnfields(r.get());
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK || columns == 0 ||
      (columns == 1 && PQftype(r.get(), 0) == kVoidOid)) {
    return nullptr;
  }
  return std::make_unique<PgRowStream>(std::move(r));
}

// A connection is taken back from the pool only when the server has sent nothing meanwhile: an
// idle session hears from the server only when it is going away (a restart sends its goodbye
// and closes the socket, a crash just closes it), so a socket with anything to read is stale.
bool stillConnected(PGconn* c) {
  if (PQstatus(c) != CONNECTION_OK || PQtransactionStatus(c) != PQTRANS_IDLE) return false;
  pollfd fd{PQsocket(c), POLLIN, 0};
  return ::poll(&fd, 1, 0) == 0;
}

// Connections by server, database and login, kept two minutes at most.
IdlePool<Core>& pool() {
  static IdlePool<Core> instance(8, std::chrono::seconds(120));
  return instance;
}

std::string serverText(const ConnectionTarget& t) {
  return t.port.empty() ? t.host : t.host + ":" + t.port;
}

std::shared_ptr<Core> connect(const ConnectionTarget& t, int timeoutSeconds) {
  const std::string timeout = std::to_string(timeoutSeconds > 0 ? timeoutSeconds : 15);
  const char* keys[] = {"host",
                        "port",
                        "dbname",
                        "user",
                        "password",
                        "connect_timeout",
                        "options",
                        "application_name",
                        "client_encoding",
                        nullptr};
  const char* values[] = {
      t.host.c_str(),  t.port.c_str(),  t.database.c_str(), t.user.c_str(), t.password.c_str(),
      timeout.c_str(), kSessionOptions, "kestrin",          "UTF8",         nullptr};
  auto core = std::make_shared<Core>();
  core->server = serverText(t);
  core->database = t.database;
  core->conn.reset(PQconnectdbParams(keys, values, 0));
  if (!core->conn) raise(kErrProvider, "Out of memory while connecting to the server.", kSource);
  if (PQstatus(core->conn.get()) != CONNECTION_OK) {
    raise(kErrProvider,
          "Cannot open database \"" + t.database + "\" on server " + core->server + ": " +
              oneLine(PQerrorMessage(core->conn.get())),
          kSource);
  }
  // Notices (from a procedure, say) are not the engine's output.
  PQsetNoticeProcessor(
      core->conn.get(), [](void*, const char*) {}, nullptr);
  return core;
}

// A procedure name is placed into the statement as a name, so it must be one.
bool isPlainName(const std::string& name) {
  if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
    return false;
  for (char ch : name) {
    if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '_')) return false;
  }
  return true;
}

// Number text in the shortest form that reads back as the same value.
std::string numberText(double v) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : std::to_string(v);
}

class PostgresSession : public Session {
 public:
  PostgresSession(std::shared_ptr<Core> core, std::string key)
      : core_(std::move(core)), key_(std::move(key)) {}
  ~PostgresSession() override { close(); }

  std::unique_ptr<RowStream> run(const std::string& classicSql) override {
    Core& core = requireOpen();
    TranslatedSql t = translateClassicSql(classicSql, SqlFlavor::PostgreSQL);
    return streamOf(t.call ? callProcedure(core, *t.call, "SELECT * FROM ", "", {})
                           : run(core, t.text, {}, false));
  }

  long long countRows(const std::string& classicSql) override {
    Core& core = requireOpen();
    TranslatedSql t = translateClassicSql(classicSql, SqlFlavor::PostgreSQL);
    ResultHandle r = t.call ? callProcedure(core, *t.call, "SELECT count(*) FROM ", "", {})
                            : run(core, rowCountStatement(t.text), {}, false);
    if (PQntuples(r.get()) < 1 || PQgetisnull(r.get(), 0, 0)) return 0;
    return std::stoll(PQgetvalue(r.get(), 0, 0));
  }

  std::unique_ptr<RowStream> runWindow(const std::string& classicSql, long long offset,
                                       long long limit) override {
    Core& core = requireOpen();
    TranslatedSql t = translateClassicSql(classicSql, SqlFlavor::PostgreSQL);
    const std::string offsetText = std::to_string(offset), limitText = std::to_string(limit);
    ResultHandle r;
    if (t.call) {
      const size_t n = t.call->args.size();
      r = callProcedure(core, *t.call, "SELECT * FROM ",
                        " LIMIT $" + std::to_string(n + 1) + " OFFSET $" + std::to_string(n + 2),
                        {limitText, offsetText});
    } else if (t.text.find('$') == std::string::npos) {
      // The window's bounds are parameters, so that every page of a listing runs one statement.
      r = run(core, windowStatement(t.text, "$2", "$1", SqlFlavor::PostgreSQL),
              {limitText.c_str(), offsetText.c_str()}, true);
    } else {
      r = run(core, windowStatement(t.text, offsetText, limitText, SqlFlavor::PostgreSQL), {},
              false);
    }
    return std::make_unique<PgRowStream>(std::move(r));
  }

  long long statementCount() const override { return statements_; }
  long long changesMade() const override { return core_ ? changes_ : -1; }
  // Dropping, altering or making a table again, and replacing a procedure (a function here),
  // fire no row trigger. Where the database has the event trigger that raises the counter on
  // every change of the schema (made when the site's server login is a superuser), the counter
  // says it all, and the short reading asks only whether the trigger is still there. Elsewhere
  // the catalog rows of the schema's tables, triggers and functions tell: they are new rows after
  // such a change (another transaction id), so their number and the sum of those ids change. The
  // functions are picked by a name range, which the catalog's name index serves. A connection
  // that found no event trigger reads the whole form at once from then on.
  static constexpr const char* kSchemaEvents =
      "(select exists (select 1 from pg_event_trigger where evtname = 'kx_schema_changes' and "
      "evtenabled in ('O', 'A')))";

  static const std::string& shortCounterQuery() {
    static const std::string text =
        std::string("select n, ") + kSchemaEvents + " as events from kx_changes";
    return text;
  }

  static constexpr const char* kPublicSchema =
      "(select oid from pg_namespace where nspname = 'public')";

  static const std::string& wholeCounterQuery() {
    static const std::string publicSchema = kPublicSchema;
    static const std::string text =
        "select n, e.events, case when e.events then 0 else (select count(*) from pg_class "
        "where relnamespace = " +
        publicSchema +
        ") end as objects, case when e.events then 0 else (select sum(cast(cast(xmin as text) "
        "as bigint)) from pg_class where relnamespace = " +
        publicSchema +
        ") + (select sum(cast(cast(xmin as text) as bigint)) from pg_trigger) end as versions, "
        "case when e.events then 0 else (select sum(cast(cast(xmin as text) as bigint)) from "
        "pg_proc where proname >= 'kx_' and proname < 'kx`' and pronamespace = " +
        publicSchema + ") end as procedures from kx_changes, (select " + kSchemaEvents +
        " as events) as e";
    return text;
  }

  std::string changeCounterQuery() const override {
    return core_ && !core_->schemaEvents ? wholeCounterQuery() : shortCounterQuery();
  }

  std::unique_ptr<RowStream> readChangeCounter() override {
    Core& core = requireOpen();
    auto eventsColumn = [](const ResultHandle& r) {
      return PQntuples(r.get()) == 1 && PQnfields(r.get()) > 1 && *PQgetvalue(r.get(), 0, 1) == 't';
    };
    if (core.schemaEvents) {
      ResultHandle r = run(core, shortCounterQuery(), {}, false);
      if (eventsColumn(r) || PQntuples(r.get()) != 1) return streamOf(std::move(r));
    }
    ResultHandle r = run(core, wholeCounterQuery(), {}, false);
    core.schemaEvents = eventsColumn(r);
    return streamOf(std::move(r));
  }

  // A disabled trigger counts nothing, so it is not counted either.
  std::string triggerCountQuery(const std::vector<std::string>& names) const override {
    return "select count(*) from pg_trigger where tgname in (" + quotedList(names) +
           ") and tgenabled <> 'D' and tgrelid in (select oid from pg_class where relnamespace = " +
           kPublicSchema + ")";
  }
  std::unique_ptr<RowStream> runOwnStatement(const std::string& statement) override {
    return streamOf(run(requireOpen(), statement, {}, false));
  }

  void close() override {
    if (!core_) return;
    PGconn* c = core_->conn.get();
    if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) == PQTRANS_IDLE) {
      pool().give(key_, std::move(core_));
    }
    core_.reset();
  }

  bool isOpen() const override { return core_ != nullptr; }

 private:
  Core& requireOpen() const {
    if (!core_)
      raise(kErrObjectClosed, "Operation is not allowed when the object is closed.", kSource);
    return *core_;
  }

  ResultHandle run(Core& core, const std::string& text, const std::vector<const char*>& values,
                   bool prepareNow) {
    ++statements_;
    ResultHandle r = execute(core, text, values, prepareNow);
    // Whatever is not a query (insert, update, delete, anything else) may have changed rows.
    if (std::strncmp(PQcmdStatus(r.get()), "SELECT", 6) != 0) {
      ++changes_;
      noteWriteInThread();
    }
    return r;
  }

  // Runs head + name($1..$n) + tail with the call's arguments and then `extra` bound.
  ResultHandle callProcedure(Core& core, const ProcedureCall& call, const std::string& head,
                             const std::string& tail, const std::vector<std::string>& extra) {
    if (!isPlainName(call.name)) raiseUnknownProcedure(call.name, kSource);
    std::string text = head + call.name + "(";
    for (size_t i = 1; i <= call.args.size(); ++i) {
      text += (i > 1 ? ",$" : "$") + std::to_string(i);
    }
    text += ")" + tail;
    const ProcedureShape& shape = procedureShape(core, call);
    const std::vector<bool>& numeric = shape.numeric;

    std::vector<std::string> texts;
    std::vector<bool> isNull;
    for (size_t i = 0; i < call.args.size(); ++i) {
      const Variant& v = call.args[i];
      const bool number = i < numeric.size() && numeric[i];
      switch (v.kind()) {
        case Variant::Kind::Empty:
        case Variant::Kind::Null:
          texts.emplace_back();
          isNull.push_back(true);
          continue;
        case Variant::Kind::Integer:
          texts.push_back(std::to_string(static_cast<int64_t>(v.number())));
          break;
        case Variant::Kind::Single:
        case Variant::Kind::Double:
          texts.push_back(numberText(v.number()));
          break;
        case Variant::Kind::Bool:
          texts.push_back(v.flag() ? "1" : "0");
          break;
        case Variant::Kind::Text:
          // The classic server reads empty text given for a number as 0.
          texts.push_back(number && trim(v.text()).empty() ? "0" : v.text());
          break;
      }
      isNull.push_back(false);
    }
    for (const std::string& e : extra) {
      texts.push_back(e);
      isNull.push_back(false);
    }
    std::vector<const char*> values;
    for (size_t i = 0; i < texts.size(); ++i)
      values.push_back(isNull[i] ? nullptr : texts[i].c_str());
    if (shape.mayWrite) {
      ++changes_;
      noteWriteInThread();
    }
    return run(core, text, values, true);
  }

  // Which parameters of the procedure take numbers, and whether it may write, asked of the
  // server once per connection.
  const ProcedureShape& procedureShape(Core& core, const ProcedureCall& call) {
    const std::string key = lower(call.name) + "/" + std::to_string(call.args.size());
    if (auto found = core.procedures.find(key); found != core.procedures.end())
      return found->second;
    std::string text = "SELECT * FROM " + call.name + "(";
    for (size_t i = 1; i <= call.args.size(); ++i) text += (i > 1 ? ",$" : "$") + std::to_string(i);
    text += ")";
    const std::string name = "kx" + std::to_string(++core.lastName);
    PGconn* c = core.conn.get();
    ResultHandle prepared(
        PQprepare(c, name.c_str(), text.c_str(), static_cast<int>(call.args.size()), nullptr));
    if (!succeeded(prepared.get())) {
      if (hasState(prepared.get(), "42883")) explainMissing(core, call, prepared.get());
      raiseResult(core, prepared.get());
    }
    core.prepared.emplace(text, name);
    ResultHandle described(PQdescribePrepared(c, name.c_str()));
    if (!succeeded(described.get())) raiseResult(core, described.get());
    ProcedureShape shape;
    for (int i = 0; i < PQnparams(described.get()); ++i)
      shape.numeric.push_back(isNumericType(PQparamtype(described.get(), i)));
    const std::string proc = lower(call.name), count = std::to_string(call.args.size());
    const char* values[] = {proc.c_str(), count.c_str()};
    ResultHandle volatility(
        PQexecParams(c,
                     "SELECT bool_or(provolatile = 'v') FROM pg_catalog.pg_proc WHERE proname = $1 "
                     "AND pronargs = $2 AND pronamespace = 'public'::regnamespace",
                     2, nullptr, values, nullptr, nullptr, 0));
    if (!succeeded(volatility.get())) raiseResult(core, volatility.get());
    shape.mayWrite = PQgetisnull(volatility.get(), 0, 0) ||
                     std::strcmp(PQgetvalue(volatility.get(), 0, 0), "f") != 0;
    return core.procedures[key] = std::move(shape);
  }

  // A call the server found no function for: says whether the procedure is missing or was given
  // the wrong number of arguments, as the embedded backend does.
  [[noreturn]] void explainMissing(Core& core, const ProcedureCall& call, const PGresult* failed) {
    const std::string name = lower(call.name);
    const char* values[] = {name.c_str()};
    ResultHandle r(PQexecParams(core.conn.get(),
                                "SELECT pronargs FROM pg_catalog.pg_proc WHERE proname = $1 AND "
                                "pronamespace = 'public'::regnamespace",
                                1, nullptr, values, nullptr, nullptr, 0));
    if (!succeeded(r.get())) raiseResult(core, failed);
    if (PQntuples(r.get()) == 0) raiseUnknownProcedure(call.name, kSource);
    if (PQntuples(r.get()) == 1) {
      raiseArgumentCount(call.name, std::stoi(PQgetvalue(r.get(), 0, 0)), call.args.size(),
                         kSource);
    }
    raiseResult(core, failed);
  }

  std::shared_ptr<Core> core_;
  std::string key_;
  long long statements_ = 0;
  long long changes_ = 0;  // statements that may have changed rows (changesMade)
};

}  // namespace

std::shared_ptr<Session> openPostgresSession(const ConnectionTarget& target, int timeoutSeconds) {
  const std::string key = target.host + '\n' + target.port + '\n' + target.database + '\n' +
                          target.user + '\n' + target.password;
  std::shared_ptr<Core> core =
      pool().take(key, [](const Core& c) { return stillConnected(c.conn.get()); });
  if (!core) core = connect(target, timeoutSeconds);
  return std::make_shared<PostgresSession>(std::move(core), key);
}

size_t idlePostgresConnections() { return pool().idleCount(); }

}  // namespace kestrin::db

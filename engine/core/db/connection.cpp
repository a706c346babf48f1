#include "change_cache.h"
#include "cursor.h"
#include "dialect.h"
#include "kestrin/db.h"
#include "kestrin/error.h"
#include "session.h"

namespace kestrin::db {

namespace {
const char* const kConnSource = "kestrin.Connection";
const char* const kRsSource = "kestrin.Recordset";

[[noreturn]] void raiseClosed(const char* source) {
  raise(kErrObjectClosed, "Operation is not allowed when the object is closed.", source);
}

[[noreturn]] void raiseOutOfRange() {
  raise(3001,
        "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
        "another.",
        kRsSource);
}
std::string databaseName(const ConnectionTarget& t) {
  if (t.backend == ConnectionTarget::Backend::SQLite) return t.file;
  return t.host + (t.port.empty() ? "" : ":" + t.port) + "/" + t.database;
}

thread_local StatementTrace* tInnermostTrace = nullptr;

// The row count of `sql` kept from an earlier request while the counted tables are unchanged;
// counted and kept now when it is not known. Nothing when the database keeps no counter.
std::optional<long long> knownCount(Session& session, const std::string& database,
                                    const std::string& sql) {
  const std::optional<std::string> counter = changeCounter(session, database);
  if (!counter) return std::nullopt;
  const std::string key = "count of " + sql;
  if (std::shared_ptr<const CachedRows> kept = cachedRows(database, *counter, key))
    return static_cast<long long>(kept->rows.front().front().number());
  auto rows = std::make_shared<CachedRows>();
  CountedRead counted;
  const long long count = session.countRows(sql);
  rows->rows.push_back({Variant(count)});
  keepRows(database, *counter, key, rows);
  return count;
}

}  // namespace

// ---- StatementTrace ----

StatementTrace::StatementTrace() : outer_(tInnermostTrace) { tInnermostTrace = this; }
StatementTrace::~StatementTrace() { tInnermostTrace = outer_; }

void StatementTrace::record(const std::string& sql, const std::string& database, bool fromCache) {
  if (!tInnermostTrace) return;
  const auto now = std::chrono::steady_clock::now();
  for (StatementTrace* t = tInnermostTrace; t; t = t->outer_)
    t->statements_.push_back({sql, database, now, fromCache});
}

// ---- Connection ----

Connection::Connection() = default;
Connection::~Connection() {
  try {
    close();
  } catch (...) {
    // Destructors never throw; a failed close here has nobody to report to.
  }
}
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    try {
      close();
    } catch (...) {
    }
    session_ = std::move(other.session_);
    database_ = std::move(other.database_);
    timeoutSeconds_ = other.timeoutSeconds_;
  }
  return *this;
}

void Connection::open(const std::string& connectionString, const std::string& user,
                      const std::string& password) {
  if (isOpen())
    raise(kErrObjectOpen, "Operation is not allowed when the object is open.", kConnSource);
  ConnectionTarget target = parseConnectionString(connectionString);
  if (!user.empty()) target.user = user;
  if (!password.empty()) target.password = password;
  session_ = openSession(target, timeoutSeconds_);
  database_ = databaseName(target);
}

void Connection::requireOpen() const {
  if (!isOpen()) raiseClosed(kConnSource);
}

Recordset Connection::execute(const std::string& sql) {
  requireOpen();
  StatementTrace::record(sql, database_);
  requireSingleStatement(sql);
  std::unique_ptr<RowStream> stream = session_->run(sql);
  if (!stream) return Recordset();
  return Recordset(makeForwardCursor(std::move(stream)));
}

Recordset Connection::executeCached(const std::string& sql,
                                    const std::vector<std::string>& countedBy) {
  requireOpen();
  const std::optional<std::string> counter = changeCounter(*session_, database_);
  if (!counter || !hasTriggers(*session_, database_, *counter, countedBy)) return execute(sql);
  return answerFromCache(sql, *counter);
}

Recordset Connection::executeCached(const std::string& sql) {
  requireOpen();
  const std::optional<std::string> counter = changeCounter(*session_, database_);
  if (!counter) return execute(sql);
  return answerFromCache(sql, *counter);
}

Recordset Connection::answerFromCache(const std::string& sql, const std::string& counter) {
  if (std::shared_ptr<const CachedRows> kept = cachedRows(database_, counter, sql)) {
    StatementTrace::record(sql, database_, true);
    if (!kept->returnsRows) return Recordset();
    return Recordset(makeForwardCursor(streamOf(std::move(kept))));
  }
  StatementTrace::record(sql, database_);
  requireSingleStatement(sql);
  std::shared_ptr<const CachedRows> rows;
  {
    CountedRead counted;
    rows = readAll(session_->run(sql));
  }
  keepRows(database_, counter, sql, rows);
  if (!rows->returnsRows) return Recordset();
  return Recordset(makeForwardCursor(streamOf(std::move(rows))));
}

void Connection::rereadChangeCounter() {
  if (session_) session_->counterReading = {};
}

void Connection::executeBatch(ConstantBatch batch) {
  requireOpen();
  for (const std::string& statement : splitStatements(batch.text())) {
    StatementTrace::record(statement, database_);
    session_->run(statement);
  }
}

void Connection::close() {
  if (session_) session_->close();
  session_.reset();
  database_.clear();
}

bool Connection::isOpen() const { return session_ && session_->isOpen(); }

std::shared_ptr<Session> Connection::session() const { return isOpen() ? session_ : nullptr; }

// ---- Recordset ----

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::Recordset(std::unique_ptr<Cursor> cursor) : cursor_(std::move(cursor)) {}

Cursor& Recordset::cursor() const {
  if (!cursor_) raiseClosed(kRsSource);
  return *cursor_;
}

void Recordset::open(const std::string& sql, const Connection& conn, CursorType cursor, LockType) {
  openOn(conn.session(), conn.database(), sql, cursor);
}

void Recordset::open(const Command& command, CursorType cursor, LockType) {
  openOn(command.session(), command.database(), command.commandText, cursor,
         command.countFromCache);
}

void Recordset::openOn(const std::shared_ptr<Session>& session, const std::string& database,
                       const std::string& sql, CursorType cursor, bool countFromCache) {
  if (cursor_)
    raise(kErrObjectOpen, "Operation is not allowed when the object is open.", kRsSource);
  if (!session || !session->isOpen()) {
    raise(3709,
          "The connection cannot be used to perform this operation. It is either closed or invalid "
          "in this context.",
          kRsSource);
  }
  StatementTrace::record(sql, database);
  requireSingleStatement(sql);
  cursorType_ = cursor == CursorType::Unspecified ? cursorType_ : cursor;
  if (cursorType_ == CursorType::Keyset || cursorType_ == CursorType::Dynamic) {
    cursor_ = makeKeysetCursor(session, sql,
                               countFromCache ? knownCount(*session, database, sql) : std::nullopt,
                               countFromCache ? database : std::string());
    cursor_->setWindow(pageSize_);
    return;
  }
  auto stream = session->run(sql);
  if (!stream) return;
  cursor_ = cursorType_ == CursorType::Static ? makeStaticCursor(std::move(stream))
                                              : makeForwardCursor(std::move(stream));
}

void Recordset::close() {
  if (!cursor_) raiseClosed(kRsSource);
  cursor_.reset();
}

bool Recordset::isOpen() const { return cursor_ != nullptr; }

bool Recordset::eof() const { return cursor().eof(); }
bool Recordset::bof() const { return cursor().bof(); }

const Variant& Recordset::field(std::string_view name) const {
  const Cursor& c = cursor();
  int index = c.columnIndex(name);
  if (index < 0) {
    raise(
        kErrItemNotFound,
        "Item cannot be found in the collection corresponding to the requested name or ordinal: " +
            std::string(name) + ".",
        kRsSource);
  }
  if (c.eof() || c.bof()) noCurrentRecord();
  return c.row()[static_cast<size_t>(index)];
}

std::vector<std::string> Recordset::fieldNames() const { return cursor().columns(); }

void Recordset::moveNext() { cursor().moveNext(); }
void Recordset::moveFirst() { cursor().moveFirst(); }
void Recordset::moveLast() { cursor().moveLast(); }

long long Recordset::recordCount() const { return cursor().recordCount(); }

void Recordset::setPageSize(long long rows) {
  if (rows < 1) raiseOutOfRange();
  pageSize_ = rows;
  if (cursor_) cursor_->setWindow(rows);
}

long long Recordset::pageSize() const { return pageSize_; }

long long Recordset::pageCount() const {
  long long n = cursor().recordCount();
  if (n < 0) return -1;
  return (n + pageSize_ - 1) / pageSize_;
}

void Recordset::setAbsolutePage(long long page) {
  Cursor& c = cursor();
  if (!c.canPage())
    raise(3251, "Current Recordset does not support paging; it is forward-only.", kRsSource);
  if (page < 1 || page > pageCount()) raiseOutOfRange();
  c.moveTo((page - 1) * pageSize_);
}

long long Recordset::absolutePage() const {
  const Cursor& c = cursor();
  if (c.eof() || c.bof()) return -3;  // the classic "position unknown at EOF/BOF" mark
  return c.position() / pageSize_ + 1;
}

}  // namespace kestrin::db

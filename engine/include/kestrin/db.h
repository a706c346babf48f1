// Database access: Connection, Recordset and Command, the operations the engine's features use.
//
// Statements are written in the classic server dialect and translated for the backend that the
// connection string names. Every failure raises kestrin::Error with the number, description and
// source of what the database or this layer said.
//
// Ownership: a Connection owns its database session; a Recordset keeps the session it reads
// alive until the Recordset is closed or destroyed. All types are movable, not copyable.
//
// What the layer refuses, whatever the backend: a text of several statements given to execute()
// or open() (several statements run only as a ConstantBatch, text written into the engine's
// source); and on the embedded backend, ATTACH, DETACH and PRAGMA (the server backend leaves
// these to the database user's rights). See README.md, "Database layer".
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kestrin/variant.h"

namespace kestrin::db {

class Session;
class Cursor;

enum class CursorType { Unspecified = -1, ForwardOnly = 0, Keyset = 1, Dynamic = 2, Static = 3 };
enum class LockType { Unspecified = -1, ReadOnly = 1, Pessimistic = 2, Optimistic = 3 };
enum class CommandType { Text = 1 };

class Recordset;

// Several statements separated by ";", written into the engine's source. Only a compile-time
// constant can make one, so no request value or table value can reach a batch.
class ConstantBatch {
 public:
  consteval ConstantBatch(const char* text) : text_(text) {}  // NOLINT(google-explicit-constructor)
  std::string_view text() const { return text_; }

 private:
  const char* text_;
};

// One statement that a Connection or Recordset was asked to run, as the engine wrote it (classic
// dialect, before translation), and the database it went to.
struct TracedStatement {
  std::string sql;
  std::string database;  // the file of an embedded database; host/name of a server database
  // When the layer was asked to run it; the time to the next statement's start is what the
  // statement and the work on its rows took (the statement profile of bench/).
  std::chrono::steady_clock::time_point startedAt;
  // Answered from the process's cache of unchanged tables, without asking the database.
  bool fromCache = false;
};

// Records every statement that Connections and Recordsets on the calling thread run while it
// lives, whatever the backend (tests, measurements, and the page host's diagnostics). Traces nest:
// an outer trace also sees what an inner one records. Destroy in reverse order of creation.
class StatementTrace {
 public:
  StatementTrace();
  ~StatementTrace();
  StatementTrace(const StatementTrace&) = delete;
  StatementTrace& operator=(const StatementTrace&) = delete;

  const std::vector<TracedStatement>& statements() const { return statements_; }
  void clear() { statements_.clear(); }

  // Called by the layer for each statement it is about to run.
  static void record(const std::string& sql, const std::string& database, bool fromCache = false);

 private:
  std::vector<TracedStatement> statements_;
  StatementTrace* outer_;
};

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(Connection&&) noexcept;
  Connection& operator=(Connection&&) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Seconds to wait for a locked database before giving up; set before open().
  void setConnectionTimeout(int seconds) { timeoutSeconds_ = seconds; }
  int connectionTimeout() const { return timeoutSeconds_; }

  // Opens the database that the connection string names. Opening an open connection fails.
  void open(const std::string& connectionString, const std::string& user = "",
            const std::string& password = "");
  // Runs one statement; a query's result comes back positioned on its first row (forward only).
  // Statements that return no rows give a closed Recordset. A text of several statements is
  // refused with a statement error.
  Recordset execute(const std::string& sql);
  // As execute(), for a query that reads only tables whose changes the database counts
  // (preferences, markups, filters, the catalog tables): while the count shows them unchanged,
  // the answer comes from the process's cache, so every process sees a change at its next
  // request. A database without the counter is asked every time.
  Recordset executeCached(const std::string& sql);
  // As executeCached(), for a query of a table whose changes the database counts only in part,
  // by the triggers named in `countedBy` (the rows the query reads): the answer is kept only
  // where the database has all of them, so one made before they existed is asked every time.
  Recordset executeCached(const std::string& sql, const std::vector<std::string>& countedBy);
  // The next executeCached() reads the change counter again. A session reads it once and keeps
  // it until the session itself changes rows; call this where a connection kept open starts
  // serving a new request.
  void rereadChangeCounter();
  // Runs the statements of a constant batch in order; a failing one stops the rest.
  void executeBatch(ConstantBatch batch);
  // Closes the session. Closing a connection that is not open does nothing.
  void close();
  bool isOpen() const;
  // Raises the closed-object error (3704) unless the connection is open, as a statement would.
  void requireOpen() const;

  // The open session, shared with the Recordsets and Commands that use it.
  std::shared_ptr<Session> session() const;
  // What the connection was opened on, as the statement trace names it; empty before open().
  const std::string& database() const { return database_; }

 private:
  // The kept answer to `sql` under `counter`, or the database's answer, kept for next time.
  Recordset answerFromCache(const std::string& sql, const std::string& counter);

  std::shared_ptr<Session> session_;
  std::string database_;
  int timeoutSeconds_ = 15;
};

class Command {
 public:
  void setActiveConnection(const Connection& conn) {
    session_ = conn.session();
    database_ = conn.database();
  }
  std::string commandText;
  CommandType commandType = CommandType::Text;
  // The statement reads only counted tables (see Connection::executeCached): a keyset open may
  // take its row count from the process's cache.
  bool countFromCache = false;

  const std::shared_ptr<Session>& session() const { return session_; }
  const std::string& database() const { return database_; }

 private:
  std::shared_ptr<Session> session_;
  std::string database_;
};

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(Recordset&&) noexcept;
  Recordset& operator=(Recordset&&) noexcept;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // The cursor type used by the next open() that does not name one.
  void setCursorType(CursorType type) { cursorType_ = type; }
  CursorType cursorType() const { return cursorType_; }

  // Static cursor: the whole result is read (record count, move last).
  // Keyset cursor: only the record count is read at open; rows are fetched a page at a time
  // as the position moves, so a late page costs about what the first does.
  void open(const std::string& sql, const Connection& conn,
            CursorType cursor = CursorType::Unspecified, LockType lock = LockType::Unspecified);
  void open(const Command& command, CursorType cursor = CursorType::Unspecified,
            LockType lock = LockType::Unspecified);
  void close();
  bool isOpen() const;

  bool eof() const;
  bool bof() const;
  // Field value of the current row by column name (case-insensitive). NULL reads as
  // Variant::null(), whose text() is empty.
  const Variant& field(std::string_view name) const;
  const Variant& operator[](std::string_view name) const { return field(name); }
  std::vector<std::string> fieldNames() const;

  void moveNext();
  void moveFirst();
  void moveLast();

  // -1 for a forward-only result.
  long long recordCount() const;
  void setPageSize(long long rows);
  long long pageSize() const;
  long long pageCount() const;
  // Positions on the first row of page `page` (1-based).
  void setAbsolutePage(long long page);
  long long absolutePage() const;

  // Used by Connection::execute.
  explicit Recordset(std::unique_ptr<Cursor> cursor);

 private:
  Cursor& cursor() const;
  void openOn(const std::shared_ptr<Session>& session, const std::string& database,
              const std::string& sql, CursorType cursor, bool countFromCache = false);
  std::unique_ptr<Cursor> cursor_;
  CursorType cursorType_ = CursorType::ForwardOnly;
  long long pageSize_ = 10;
};

}  // namespace kestrin::db

// The backend interface behind Connection and Recordset. One implementation per backend folder
// (sqlite/, postgres/); callers never see a backend's own types.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestrin/variant.h"

namespace kestrin::db {

// Rows of one running statement, read front to back.
class RowStream {
 public:
  virtual ~RowStream() = default;
  virtual const std::vector<std::string>& columns() const = 0;
  // Fills `row` with the next row's values; false when no row is left.
  virtual bool next(std::vector<Variant>& row) = 0;
};

// One open database session. Statements arrive in the classic dialect; the session translates
// them (see dialect.h) and runs them.
class Session {
 public:
  virtual ~Session() = default;
  // Runs the statement. Returns the stream of its rows, or nullptr when it returns no columns.
  virtual std::unique_ptr<RowStream> run(const std::string& classicSql) = 0;
  // Number of rows the query returns, without reading them.
  virtual long long countRows(const std::string& classicSql) = 0;
  // Rows offset .. offset+limit-1 of the query, in the query's order.
  virtual std::unique_ptr<RowStream> runWindow(const std::string& classicSql, long long offset,
                                               long long limit) = 0;
  // Statements run on the session so far (for measurements and tests).
  virtual long long statementCount() const = 0;
  // Rows that this session's connection has changed so far, by whatever statement, procedure or
  // trigger; -1 when the backend cannot tell (the change counter is then read before every
  // cached query, see change_cache.h).
  virtual long long changesMade() const { return -1; }
  // The statement that reads the change counter (change_cache.h): the counter, and where the
  // backend can tell, what marks a change of the schema, in the backend's own SQL. Empty for a
  // backend whose databases keep no counter: nothing is cached for them, and no statement is
  // tried (on a server, a failing statement would spoil the transaction it ran in).
  virtual std::string changeCounterQuery() const { return {}; }
  // The statement that counts how many of the named triggers the database has, enabled, in the
  // backend's own SQL; empty for a backend whose databases keep no counter.
  virtual std::string triggerCountQuery(const std::vector<std::string>& names) const {
    (void)names;
    return {};
  }
  // Runs one of the statements above as it stands: the layer's own statement, not the classic
  // dialect, so the classic translation must not touch it.
  virtual std::unique_ptr<RowStream> runOwnStatement(const std::string& statement) {
    (void)statement;
    return nullptr;
  }
  // Reads the change counter: by default changeCounterQuery() run as it stands.
  virtual std::unique_ptr<RowStream> readChangeCounter() {
    return runOwnStatement(changeCounterQuery());
  }
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // The database's change counter as this session last read it (change_cache.cpp).
  struct CounterReading {
    bool read = false;
    std::optional<std::string> value;  // none: the database keeps no counter
    long long changesMade = -1;        // changesMade() when it was read
    long long threadWrites = -1;       // writesInThread() when it was read
  };
  CounterReading counterReading;
};

// What a connection string names.
struct ConnectionTarget {
  enum class Backend { SQLite, PostgreSQL };
  Backend backend = Backend::SQLite;
  std::string file;      // SQLite: the database file
  std::string folder;    // SQLite named by folder and catalog: the folder (Data Source)
  std::string catalog;   // SQLite named by folder and catalog: the catalog ("master": the folder)
  std::string host;      // PostgreSQL: server host
  std::string port;      // PostgreSQL: server port, empty for the default
  std::string database;  // PostgreSQL: database name (Initial Catalog)
  std::string user;
  std::string password;
};

// Reads "Provider=...; Data Source=...; Initial Catalog=...; User ID=...; Password=...;".
// Provider=SQLite opens the Data Source file. Provider=SQLOLEDB or PostgreSQL with a Data Source
// that is a folder path opens FOLDER/CATALOG.db; any other Data Source is a server.
ConnectionTarget parseConnectionString(const std::string& connectionString);

// Opens the database of `target`. A folder target with the catalog "master" opens the folder
// itself, as a server's master database: it runs sp_attach_db (see folder_server.h); so does the
// catalog "master" of a server (see server_master.h).
std::shared_ptr<Session> openSession(const ConnectionTarget& target, int timeoutSeconds);

// The errors of a procedure call that names no procedure of the database, or passes another
// number of arguments than it takes (statement errors, from `source`).
[[noreturn]] void raiseUnknownProcedure(const std::string& name, const char* source);
[[noreturn]] void raiseArgumentCount(const std::string& name, int expected, size_t given,
                                     const char* source);

// 'a', 'b', ...: values for an IN list of a layer's own statement, each quoted by sqlEscape.
std::string quotedList(const std::vector<std::string>& values);

// Statements run by every session of this process so far (for measurements); each backend notes
// every statement it runs.
long long statementsRunInProcess();
void noteStatementRun();

// Statements of this thread, on any session, that may have changed rows: each backend notes
// every statement that may write (change_cache.cpp reads the counter again after one).
long long writesInThread();
void noteWriteInThread();

// Statements of this thread so far (noteStatementRun), and those of them that ran inside a
// CountedRead: reads whose answer a change counter covers (the counter itself, the trigger check,
// an answer read to be kept under the counter).
long long statementsInThread();
long long countedStatementsInThread();

class CountedRead {
 public:
  CountedRead();
  ~CountedRead();
  CountedRead(const CountedRead&) = delete;
  CountedRead& operator=(const CountedRead&) = delete;
};

}  // namespace kestrin::db

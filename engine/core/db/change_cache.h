// Answers to queries that read only counted tables, kept in the process while the database's
// change counter shows those tables unchanged.
//
// A database that supports this holds the table kx_changes with one row, whose column n triggers
// on the counted tables (preferences, markups, filters, the catalog tables, the procedures) raise
// on every insert, update and delete, whoever makes it: another process, another host, an
// administrator's SQL. A session reads the counter before its first cached query, and again after
// it, or any session of its thread, has run a statement that may change rows; an answer kept
// under another counter value is not used. So a change is seen by the next request of every
// process, and a request sees its own changes at once.
//
// A change of the schema (a table dropped, altered or made again) counts as a change too where
// the backend can tell (Session::changeCounterQuery).
//
// A database without the counter (made before it existed) is simply not cached, and neither is
// any database of a process started with KESTRIN_ROW_CACHE=off (measurements, diagnosis): it
// then runs every statement as it did before the cache existed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kestrin/variant.h"
#include "session.h"

namespace kestrin::db {

struct CachedRows {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
  bool returnsRows = true;  // false for a statement without columns
};

// The database's counter as `session` sees it now, reading it when needed (traced under
// `database`); nullopt when the database keeps no counter or the cache is off.
std::optional<std::string> changeCounter(Session& session, const std::string& database);

// Whether the database has every trigger of `names` (Session::triggerCountQuery), as it had at
// counter value `counter`: asked once per value, since making or dropping a trigger changes the
// schema, which the counter shows.
bool hasTriggers(Session& session, const std::string& database, const std::string& counter,
                 const std::vector<std::string>& names);

// One request's readings of the counters: while a scope is open on a thread, a session opened
// there takes the counter that an earlier session of the request read, as long as no statement
// of the thread may have changed rows since. So a request reads each database's counter once,
// however many engine objects it opens (the page host's look and the page's own call). Scopes
// nest; the outermost one holds the readings.
class CounterScope {
 public:
  CounterScope();
  ~CounterScope();
  CounterScope(const CounterScope&) = delete;
  CounterScope& operator=(const CounterScope&) = delete;
};

// Watches the engine work of the calling thread while it lives: whether everything the work
// read from a database is covered by change counters (each statement a counted read, every
// answer kept or read under a counter, nothing written), and which counters it consulted. Work
// that depends on nothing else gives the same result while those counters stay as they are, so
// its result may be kept under them (the page host's kept pages). Watches nest.
class CounterDependence {
 public:
  CounterDependence();
  ~CounterDependence();
  CounterDependence(const CounterDependence&) = delete;
  CounterDependence& operator=(const CounterDependence&) = delete;

  // Whether the work so far read only answers covered by the counters of `readings` (database,
  // counter value), at those values.
  bool coveredBy(const std::vector<std::pair<std::string, std::string>>& readings) const;

  // Called by changeCounter for each counter it gives out.
  static void noteConsulted(const std::string& database, const std::optional<std::string>& value);

 private:
  long long statements_;
  long long countedStatements_;
  long long writes_;
  std::vector<std::pair<std::string, std::optional<std::string>>> consulted_;
  CounterDependence* outer_;
};

// What the cache holds for `key` on `database` at counter value `counter`, or nullptr.
std::shared_ptr<const CachedRows> cachedRows(const std::string& database,
                                             const std::string& counter, const std::string& key);
void keepRows(const std::string& database, const std::string& counter, const std::string& key,
              std::shared_ptr<const CachedRows> rows);

// Every row of `stream` (nullptr: a statement without columns), to be kept.
std::shared_ptr<const CachedRows> readAll(std::unique_ptr<RowStream> stream);

// A stream over kept rows.
std::unique_ptr<RowStream> streamOf(std::shared_ptr<const CachedRows> rows);

// Drops everything the process keeps (tests, and a host told to forget).
void forgetCachedRows();

}  // namespace kestrin::db

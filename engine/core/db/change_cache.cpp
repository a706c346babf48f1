#include "change_cache.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "kestrin/db.h"
#include "kestrin/error.h"

namespace kestrin::db {

namespace {

// Bounds of what the process keeps: a database's answers are dropped together when they pass
// kMaxKeys (request values are part of the keys), all of them when more databases than
// kMaxDatabases have answers kept or they take more than kMaxBytes; a longer answer than kMaxRows
// is not kept.
constexpr size_t kMaxKeys = 4096;
constexpr size_t kMaxDatabases = 64;
constexpr size_t kMaxRows = 256;
constexpr size_t kMaxBytes = 32 * 1024 * 1024;

struct DatabaseAnswers {
  std::string counter;
  size_t bytes = 0;
  std::unordered_map<std::string, std::shared_ptr<const CachedRows>> byKey;
};

struct ScopeReading {
  std::optional<std::string> value;
  long long threadWrites = -1;
};
// The open scopes of this thread, and the readings of the outermost.
thread_local int tScopes = 0;
thread_local std::unordered_map<std::string, ScopeReading> tScopeReadings;
thread_local CounterDependence* tInnermostDependence = nullptr;

std::mutex gMutex;
std::unordered_map<std::string, DatabaseAnswers> gAnswers;
size_t gBytes = 0;  // what all kept answers take, about

size_t bytesOf(const std::string& key, const CachedRows& rows) {
  size_t n = key.size() + sizeof(CachedRows) + 64;
  for (const std::string& c : rows.columns) n += c.size() + sizeof(std::string);
  for (const std::vector<Variant>& row : rows.rows) {
    n += sizeof(row);
    for (const Variant& v : row)
      n += sizeof(Variant) + (v.kind() == Variant::Kind::Text ? v.text().size() : 0);
  }
  return n;
}

void dropAnswers(DatabaseAnswers& answers) {
  gBytes -= answers.bytes;
  answers.bytes = 0;
  answers.byKey.clear();
}

class KeptRowStream : public RowStream {
 public:
  explicit KeptRowStream(std::shared_ptr<const CachedRows> rows) : rows_(std::move(rows)) {}
  const std::vector<std::string>& columns() const override { return rows_->columns; }
  bool next(std::vector<Variant>& row) override {
    if (next_ >= rows_->rows.size()) return false;
    row = rows_->rows[next_++];
    return true;
  }

 private:
  std::shared_ptr<const CachedRows> rows_;
  size_t next_ = 0;
};

bool cacheOff() {
  static const bool off = [] {
    const char* setting = std::getenv("KESTRIN_ROW_CACHE");
    return setting && std::strcmp(setting, "off") == 0;
  }();
  return off;
}

}  // namespace

std::optional<std::string> changeCounter(Session& session, const std::string& database) {
  if (cacheOff()) return std::nullopt;
  Session::CounterReading& reading = session.counterReading;
  const long long made = session.changesMade();
  const long long writes = writesInThread();
  if (reading.read && made >= 0 && made == reading.changesMade && writes == reading.threadWrites) {
    CounterDependence::noteConsulted(database, reading.value);
    return reading.value;
  }
  if (tScopes > 0 && made >= 0) {
    auto kept = tScopeReadings.find(database);
    if (kept != tScopeReadings.end() && kept->second.threadWrites == writes) {
      reading = {true, kept->second.value, made, writes};
      CounterDependence::noteConsulted(database, reading.value);
      return reading.value;
    }
  }
  const std::string query = session.changeCounterQuery();
  if (query.empty()) {
    CounterDependence::noteConsulted(database, std::nullopt);
    return std::nullopt;
  }
  StatementTrace::record(query, database);
  std::optional<std::string> value;
  try {
    CountedRead counted;
    std::unique_ptr<RowStream> stream = session.readChangeCounter();
    std::vector<Variant> row;
    if (stream && stream->next(row) && !row.empty() && !row[0].isNull()) {
      value.emplace();
      for (const Variant& part : row) *value += part.text() + "/";
    }
  } catch (const Error&) {
    // A database made before the counter existed: its answers are not kept.
  }
  reading = {true, value, made, writes};
  if (tScopes > 0) tScopeReadings[database] = {value, writes};
  CounterDependence::noteConsulted(database, value);
  return value;
}

bool hasTriggers(Session& session, const std::string& database, const std::string& counter,
                 const std::vector<std::string>& names) {
  const std::string query = session.triggerCountQuery(names);
  if (query.empty()) return false;
  // Kept beside the answers of the classic statements, under a key that none of them can have.
  const std::string key = "\x01" + query;
  std::shared_ptr<const CachedRows> found = cachedRows(database, counter, key);
  if (!found) {
    StatementTrace::record(query, database);
    CountedRead counted;
    found = readAll(session.runOwnStatement(query));
    keepRows(database, counter, key, found);
  }
  return !found->rows.empty() && !found->rows[0].empty() &&
         found->rows[0][0].number() == static_cast<double>(names.size());
}

CounterDependence::CounterDependence()
    : statements_(statementsInThread()),
      countedStatements_(countedStatementsInThread()),
      writes_(writesInThread()),
      outer_(tInnermostDependence) {
  tInnermostDependence = this;
}

CounterDependence::~CounterDependence() { tInnermostDependence = outer_; }

void CounterDependence::noteConsulted(const std::string& database,
                                      const std::optional<std::string>& value) {
  for (CounterDependence* d = tInnermostDependence; d; d = d->outer_) {
    bool known = false;
    for (const auto& [db, v] : d->consulted_) known = known || (db == database && v == value);
    if (!known) d->consulted_.emplace_back(database, value);
  }
}

bool CounterDependence::coveredBy(
    const std::vector<std::pair<std::string, std::string>>& readings) const {
  if (statementsInThread() - statements_ != countedStatementsInThread() - countedStatements_ ||
      writesInThread() != writes_) {
    return false;
  }
  for (const auto& [database, value] : consulted_) {
    bool found = false;
    for (const auto& [db, v] : readings) found = found || (db == database && value && *value == v);
    if (!found) return false;
  }
  return true;
}

CounterScope::CounterScope() { ++tScopes; }

CounterScope::~CounterScope() {
  if (--tScopes == 0) tScopeReadings.clear();
}

std::shared_ptr<const CachedRows> cachedRows(const std::string& database,
                                             const std::string& counter, const std::string& key) {
  std::lock_guard<std::mutex> lock(gMutex);
  auto db = gAnswers.find(database);
  if (db == gAnswers.end() || db->second.counter != counter) return nullptr;
  auto it = db->second.byKey.find(key);
  return it == db->second.byKey.end() ? nullptr : it->second;
}

void keepRows(const std::string& database, const std::string& counter, const std::string& key,
              std::shared_ptr<const CachedRows> rows) {
  if (rows->rows.size() > kMaxRows) return;
  const size_t bytes = bytesOf(key, *rows);
  std::lock_guard<std::mutex> lock(gMutex);
  if ((gAnswers.size() >= kMaxDatabases && !gAnswers.contains(database)) ||
      gBytes + bytes > kMaxBytes) {
    gAnswers.clear();
    gBytes = 0;
  }
  DatabaseAnswers& answers = gAnswers[database];
  if (answers.counter != counter || answers.byKey.size() >= kMaxKeys) {
    dropAnswers(answers);
    answers.counter = counter;
  }
  auto [it, added] = answers.byKey.try_emplace(key, std::move(rows));
  if (!added) return;  // another request kept the same answer meanwhile
  answers.bytes += bytes;
  gBytes += bytes;
}

std::shared_ptr<const CachedRows> readAll(std::unique_ptr<RowStream> stream) {
  auto rows = std::make_shared<CachedRows>();
  if (stream) {
    rows->columns = stream->columns();
    std::vector<Variant> row;
    while (stream->next(row)) rows->rows.push_back(std::move(row));
  } else {
    rows->returnsRows = false;
  }
  return rows;
}

std::unique_ptr<RowStream> streamOf(std::shared_ptr<const CachedRows> rows) {
  return std::make_unique<KeptRowStream>(std::move(rows));
}

void forgetCachedRows() {
  std::lock_guard<std::mutex> lock(gMutex);
  gAnswers.clear();
  gBytes = 0;
}

}  // namespace kestrin::db

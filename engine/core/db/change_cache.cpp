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
// kMaxDatabases have answers kept; a longer answer than kMaxRows is not kept.
constexpr size_t kMaxKeys = 4096;
constexpr size_t kMaxDatabases = 64;
constexpr size_t kMaxRows = 256;

struct DatabaseAnswers {
  std::string counter;
  std::unordered_map<std::string, std::shared_ptr<const CachedRows>> byKey;
};

std::mutex gMutex;
std::unordered_map<std::string, DatabaseAnswers> gAnswers;

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
  if (reading.read && made >= 0 && made == reading.changesMade) return reading.value;
  const std::string query = session.changeCounterQuery();
  StatementTrace::record(query, database);
  std::optional<std::string> value;
  try {
    std::unique_ptr<RowStream> stream = session.run(query);
    std::vector<Variant> row;
    if (stream && stream->next(row) && !row.empty() && !row[0].isNull()) {
      value.emplace();
      for (const Variant& part : row) *value += part.text() + "/";
    }
  } catch (const Error&) {
    // A database made before the counter existed: its answers are not kept.
  }
  reading = {true, value, made};
  return value;
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
  std::lock_guard<std::mutex> lock(gMutex);
  if (gAnswers.size() >= kMaxDatabases && !gAnswers.contains(database)) gAnswers.clear();
  DatabaseAnswers& answers = gAnswers[database];
  if (answers.counter != counter || answers.byKey.size() >= kMaxKeys) {
    answers.byKey.clear();
    answers.counter = counter;
  }
  answers.byKey[key] = std::move(rows);
}

std::unique_ptr<RowStream> streamOf(std::shared_ptr<const CachedRows> rows) {
  return std::make_unique<KeptRowStream>(std::move(rows));
}

void forgetCachedRows() {
  std::lock_guard<std::mutex> lock(gMutex);
  gAnswers.clear();
}

}  // namespace kestrin::db

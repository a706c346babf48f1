#include "cursor.h"

#include <strings.h>

#include "change_cache.h"
#include "kestrin/error.h"

namespace kestrin::db {

namespace {
const char* const kSource = "kestrin.Recordset";

[[noreturn]] void notSupported() {
  raise(3251, "Current Recordset does not support this operation; it is forward-only.", kSource);
}
}  // namespace

[[noreturn]] void noCurrentRecord() {
  raise(kErrNoCurrentRecord,
        "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
        "requires a current record.",
        kSource);
}

int Cursor::columnIndex(std::string_view name) const {
  const auto& cols = columns();
  for (size_t i = 0; i < cols.size(); ++i) {
    if (cols[i].size() == name.size() &&
        strncasecmp(cols[i].data(), name.data(), name.size()) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

namespace {

// A result read whole when its statement runs, so that no read is left open on the database
// between calls (an open read would pin an old snapshot and block the connection's later writes).
// A forward-only result keeps the forward-only rules: no record count, no paging, no moving back.
class ReadCursor : public Cursor {
 public:
  ReadCursor(std::unique_ptr<RowStream> stream, bool forwardOnly) : forwardOnly_(forwardOnly) {
    columns_ = stream->columns();
    std::vector<Variant> row;
    while (stream->next(row)) rows_.push_back(std::move(row));
  }
  bool eof() const override { return pos_ >= static_cast<long long>(rows_.size()); }
  bool bof() const override { return rows_.empty(); }
  const std::vector<std::string>& columns() const override { return columns_; }
  const std::vector<Variant>& row() const override { return rows_[static_cast<size_t>(pos_)]; }
  void moveNext() override {
    if (eof()) noCurrentRecord();
    ++pos_;
  }
  void moveFirst() override {
    if (forwardOnly_ && pos_ != 0) notSupported();
    pos_ = 0;
  }
  void moveLast() override {
    if (!rows_.empty()) pos_ = static_cast<long long>(rows_.size()) - 1;
  }
  long long recordCount() const override {
    return forwardOnly_ ? -1 : static_cast<long long>(rows_.size());
  }
  bool canPage() const override { return !forwardOnly_; }
  void moveTo(long long position) override {
    if (forwardOnly_) notSupported();
    pos_ = position;
  }
  long long position() const override { return pos_; }
  void setWindow(long long) override {}

 private:
  bool forwardOnly_;
  std::vector<std::string> columns_;
  std::vector<std::vector<Variant>> rows_;
  long long pos_ = 0;
};

class KeysetCursor : public Cursor {
 public:
  KeysetCursor(std::shared_ptr<Session> session, std::string sql, std::optional<long long> count,
               std::string keptOn)
      : session_(std::move(session)), sql_(std::move(sql)), keptOn_(std::move(keptOn)) {
    count_ = count ? *count : session_->countRows(sql_);
  }
  bool eof() const override { return pos_ >= count_; }
  bool bof() const override { return pos_ < 0 || count_ == 0; }
  const std::vector<std::string>& columns() const override {
    if (!fetchedOnce_) fetch(pos_ >= 0 && pos_ < count_ ? pos_ : 0);
    return columns_;
  }
  const std::vector<Variant>& row() const override {
    if (pos_ < windowStart_ || pos_ >= windowStart_ + static_cast<long long>(window_.size()) ||
        !fetchedOnce_) {
      fetch(pos_);
    }
    return window_[static_cast<size_t>(pos_ - windowStart_)];
  }
  void moveNext() override {
    if (eof()) noCurrentRecord();
    ++pos_;
  }
  void moveFirst() override { pos_ = 0; }
  void moveLast() override { pos_ = count_ > 0 ? count_ - 1 : 0; }
  long long recordCount() const override { return count_; }
  bool canPage() const override { return true; }
  void moveTo(long long position) override { pos_ = position; }
  long long position() const override { return pos_; }
  void setWindow(long long rows) override { windowRows_ = rows > 0 ? rows : 1; }

 private:
  void fetch(long long from) const {
    window_.clear();
    windowStart_ = from;
    // A page of a statement on counted tables is kept while the tables are unchanged.
    std::optional<std::string> counter;
    std::string key;
    if (!keptOn_.empty()) counter = changeCounter(*session_, keptOn_);
    bool kept = false;
    if (counter) {
      key = "page " + std::to_string(from) + "+" + std::to_string(windowRows_) + " of " + sql_;
      if (std::shared_ptr<const CachedRows> rows = cachedRows(keptOn_, *counter, key)) {
        columns_ = rows->columns;
        window_ = rows->rows;
        kept = true;
      }
    }
    if (!kept) {
      // Read after the counter, so kept under it: a change in between moves the counter again.
      std::optional<CountedRead> counted;
      if (counter) counted.emplace();
      auto stream = session_->runWindow(sql_, from, windowRows_);
      if (stream) {
        columns_ = stream->columns();
        std::vector<Variant> row;
        while (stream->next(row)) window_.push_back(std::move(row));
      }
      if (counter) {
        auto rows = std::make_shared<CachedRows>();
        rows->columns = columns_;
        rows->rows = window_;
        keepRows(keptOn_, *counter, key, std::move(rows));
      }
    }
    fetchedOnce_ = true;
    if (from < count_ && window_.empty()) {
      // The rows changed under the count; treat the missing ones as gone.
      raise(kErrNoCurrentRecord, "The current record has been deleted.", kSource);
    }
  }

  std::shared_ptr<Session> session_;
  std::string sql_;
  std::string keptOn_;
  long long count_ = 0;
  long long pos_ = 0;
  long long windowRows_ = 10;
  mutable bool fetchedOnce_ = false;
  mutable long long windowStart_ = 0;
  mutable std::vector<std::vector<Variant>> window_;
  mutable std::vector<std::string> columns_;
};

}  // namespace

std::unique_ptr<Cursor> makeForwardCursor(std::unique_ptr<RowStream> stream) {
  return std::make_unique<ReadCursor>(std::move(stream), true);
}
std::unique_ptr<Cursor> makeStaticCursor(std::unique_ptr<RowStream> stream) {
  return std::make_unique<ReadCursor>(std::move(stream), false);
}
std::unique_ptr<Cursor> makeKeysetCursor(std::shared_ptr<Session> session, std::string sql,
                                         std::optional<long long> count, std::string keptOn) {
  return std::make_unique<KeysetCursor>(std::move(session), std::move(sql), count,
                                        std::move(keptOn));
}

}  // namespace kestrin::db

// Cursors behind a Recordset: forward-only (streamed), static (read whole) and keyset
// (counted at open, rows fetched a window at a time as the position moves).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrin/variant.h"
#include "session.h"

namespace kestrin::db {

class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual bool eof() const = 0;
  virtual bool bof() const = 0;
  virtual const std::vector<std::string>& columns() const = 0;
  virtual const std::vector<Variant>& row() const = 0;  // caller checks eof()/bof() first
  virtual void moveNext() = 0;
  virtual void moveFirst() = 0;
  virtual void moveLast() = 0;
  virtual long long recordCount() const = 0;  // -1 when unknown
  virtual bool canPage() const = 0;
  // 0-based row number to move to; only for cursors that can page.
  virtual void moveTo(long long position) = 0;
  virtual long long position() const = 0;
  // Rows the cursor should fetch at a time from now on.
  virtual void setWindow(long long rows) = 0;

  // Column index of `name`, compared without regard to case; -1 when there is none.
  int columnIndex(std::string_view name) const;
};

// Raises the "no current record" error (3021).
[[noreturn]] void noCurrentRecord();

std::unique_ptr<Cursor> makeForwardCursor(std::unique_ptr<RowStream> stream);
std::unique_ptr<Cursor> makeStaticCursor(std::unique_ptr<RowStream> stream);
// `count`: the number of rows when it is known already; otherwise the cursor counts them.
// `keptOn`: the database (as the statement trace names it) whose kept answers the cursor's pages
// may come from and go to, for a statement that reads only counted tables (change_cache.h);
// empty: every page is read from the database.
std::unique_ptr<Cursor> makeKeysetCursor(std::shared_ptr<Session> session, std::string sql,
                                         std::optional<long long> count = std::nullopt,
                                         std::string keptOn = {});

}  // namespace kestrin::db

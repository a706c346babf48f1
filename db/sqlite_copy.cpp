#include "sqlite_copy.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace kestrin::schema {

namespace {

constexpr size_t kRowsPerCopy = 20000;

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool isBlank(const char* text, int length) {
  for (int i = 0; i < length; ++i) {
    if (text[i] != ' ') return false;
  }
  return true;
}

// COPY's text form of one value: backslash, tab and line breaks escaped.
void appendCopyText(std::string& out, const char* text, int length) {
  for (int i = 0; i < length; ++i) {
    const char c = text[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
}

struct ServerColumn {
  std::string name;
  bool numeric = false;
};

// Copies every row of one table; returns the number of rows.
size_t copyTable(sqlite3* source, const PgAdmin& target, const std::string& table,
                 const std::string& file) {
  std::unordered_map<std::string, ServerColumn> serverColumns;
  const auto names = target.column(
      "SELECT column_name || '|' || CASE WHEN data_type IN ('integer', 'bigint', 'smallint', "
      "'double precision', 'real', 'numeric') THEN 'n' ELSE 't' END FROM "
      "information_schema.columns WHERE table_schema = 'public' AND table_name = " +
      quoteText(lower(table)));
  if (names.empty()) {
    throw std::runtime_error(file + ": the table " + table +
                             " has no counterpart on the server; it cannot be moved");
  }
  for (const auto& n : names) {
    const size_t bar = n->rfind('|');
    serverColumns[n->substr(0, bar)] = {n->substr(0, bar), n->substr(bar + 1) == "n"};
  }

  sqlite3_stmt* raw = nullptr;
  const std::string select = "SELECT * FROM \"" + table + "\"";
  if (sqlite3_prepare_v2(source, select.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw std::runtime_error(file + ": " + sqlite3_errmsg(source));
  std::unique_ptr<sqlite3_stmt, StmtFinalizer> stmt(raw);
  const int count = sqlite3_column_count(raw);
  std::vector<std::string> columns;
  std::vector<bool> numeric;
  for (int i = 0; i < count; ++i) {
    const std::string name = lower(sqlite3_column_name(raw, i));
    auto found = serverColumns.find(name);
    if (found == serverColumns.end()) {
      throw std::runtime_error(file + ": the column " + table + "." + name +
                               " has no counterpart on the server; it cannot be moved");
    }
    columns.push_back(name);
    numeric.push_back(found->second.numeric);
  }

  std::string rows;
  size_t total = 0, pending = 0;
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    for (int i = 0; i < count; ++i) {
      if (i) rows += '\t';
      const int type = sqlite3_column_type(raw, i);
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, i));
      const int length = sqlite3_column_bytes(raw, i);
      if (type == SQLITE_NULL) {
        rows += "\\N";
      } else if (numeric[static_cast<size_t>(i)] && type == SQLITE_TEXT && isBlank(text, length)) {
        rows += "\\N";  // empty text where the server keeps a number holds no number
      } else if (type == SQLITE_FLOAT) {
        char buf[64];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, sqlite3_column_double(raw, i));
        rows.append(buf, end);
      } else {
        appendCopyText(rows, text, length);
      }
    }
    rows += '\n';
    ++total;
    if (++pending == kRowsPerCopy) {
      target.copyIn(lower(table), columns, rows);
      rows.clear();
      pending = 0;
    }
  }
  if (rc != SQLITE_DONE) throw std::runtime_error(file + ": " + sqlite3_errmsg(source));
  if (pending) target.copyIn(lower(table), columns, rows);
  return total;
}

}  // namespace

void copySqliteDatabase(const std::string& file, const PgAdmin& target, std::ostream* progress) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, DbCloser> source(raw);
  if (rc != SQLITE_OK) {
    throw std::runtime_error("cannot open " + file + ": " +
                             (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  sqlite3_busy_timeout(raw, 15000);
  // One read transaction: the copy is a consistent picture even while the shop keeps running.
  sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
  std::vector<std::string> tables;
  {
    sqlite3_stmt* list = nullptr;
    if (sqlite3_prepare_v2(
            raw,
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
            "'sqlite_%' AND name NOT IN ('kx_procedures', 'kx_changes') ORDER BY name",
            -1, &list, nullptr) != SQLITE_OK) {
      throw std::runtime_error(file + ": " + sqlite3_errmsg(raw));
    }
    std::unique_ptr<sqlite3_stmt, StmtFinalizer> owner(list);
    while (sqlite3_step(list) == SQLITE_ROW)
      tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
  }
  target.exec("BEGIN");
  for (const std::string& table : tables) {
    const size_t rows = copyTable(raw, target, table, file);
    if (progress) {
      *progress << "  " << target.database() << ": " << table << ", " << rows << " row"
                << (rows == 1 ? "" : "s") << std::endl;
    }
  }
  // Automatic keys go on after the highest key copied.
  const auto identities = target.column(
      "SELECT format('SELECT setval(pg_get_serial_sequence(%L, %L), max(%I)) FROM %I HAVING "
      "max(%I) IS NOT NULL', table_name, column_name, column_name, table_name, column_name) FROM "
      "information_schema.columns WHERE table_schema = 'public' AND is_identity = 'YES'");
  for (const auto& statement : identities) target.exec(*statement);
  target.exec("COMMIT");
  target.exec("ANALYZE");
}

void attachSqliteDatabase(const PgLogin& login, const std::string& name, Database db,
                          const std::string& file) {
  const std::optional<std::string> owner = PgAdmin(login, "postgres").value("SELECT current_user");
  createPostgresDatabase(login, name, db, false, owner.value_or(login.user));
  try {
    copySqliteDatabase(file, PgAdmin(login, name), nullptr);
  } catch (const std::runtime_error&) {
    try {
      dropPostgresDatabase(login, name);
    } catch (const std::runtime_error&) {
      // The copy's failure is the one to report.
    }
    throw;
  }
}

}  // namespace kestrin::schema

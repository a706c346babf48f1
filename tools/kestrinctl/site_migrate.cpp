#include "site_migrate.h"

#include <sqlite3.h>

#include <charconv>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "db/session.h"
#include "kestrin/error.h"
#include "pg_admin.h"
#include "site_config.h"
#include "text.h"

namespace kestrin::tools {

namespace fs = std::filesystem;

namespace {

constexpr size_t kRowsPerCopy = 20000;

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

// The eleven values of the configuration file, in order.
std::vector<std::string> readConfig(const std::string& ini) {
  SiteConfigReader reader(ini);
  std::vector<std::string> values;
  try {
    for (int i = 0; i < 11; ++i) values.push_back(reader.next());
  } catch (const Error& e) {
    throw std::runtime_error("cannot read " + ini + ": " + e.description());
  }
  return values;
}

// The SQLite file that a connection string of the configuration file names.
std::string embeddedFile(const std::string& connectionString) {
  try {
    db::ConnectionTarget target = db::parseConnectionString(trim(connectionString));
    if (target.backend != db::ConnectionTarget::Backend::SQLite) {
      throw std::runtime_error("the site's databases are already on a server (" + target.host +
                               (target.port.empty() ? "" : ":" + target.port) + ")");
    }
    return target.file;
  } catch (const Error& e) {
    throw std::runtime_error("the configuration file's connection string is not valid: " +
                             e.description());
  }
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
size_t copyTable(sqlite3* source, const schema::PgAdmin& target, const std::string& table,
                 const std::string& file) {
  std::unordered_map<std::string, ServerColumn> serverColumns;
  const auto names = target.column(
      "SELECT column_name || '|' || CASE WHEN data_type IN ('integer', 'bigint', 'smallint', "
      "'double precision', 'real', 'numeric') THEN 'n' ELSE 't' END FROM "
      "information_schema.columns WHERE table_schema = 'public' AND table_name = " +
      schema::quoteText(lower(table)));
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
      } else if (numeric[static_cast<size_t>(i)] && type == SQLITE_TEXT &&
                 trim(std::string(text, static_cast<size_t>(length))).empty()) {
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

// Copies every table of the SQLite file into the server database.
void copyDatabase(const std::string& file, const schema::PgAdmin& target, std::ostream& progress) {
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
    progress << "  " << target.database() << ": " << table << ", " << rows << " row"
             << (rows == 1 ? "" : "s") << std::endl;
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

}  // namespace

void migrateSite(const MigrateOptions& options, std::ostream& progress) {
  if (options.siteId.empty() || options.siteId.find_first_of("/\\") != std::string::npos)
    throw std::runtime_error("the site id must be a plain name, such as kestrin");
  checkServerOptions(options.server);
  std::error_code ec;
  const std::string dir = fs::canonical(options.dir, ec).string();
  if (ec) throw std::runtime_error("cannot use " + options.dir + ": " + ec.message());
  const std::string ini = siteConfigPath(dir, options.siteId);
  if (!fs::exists(ini)) throw std::runtime_error("there is no site here: " + ini + " is missing");
  std::vector<std::string> values = readConfig(ini);
  // Values 2, 5 and 8 are the connection strings of the main, Ingram Micro and Tech Data
  // databases.
  const std::pair<size_t, schema::Database> lines[] = {
      {1, schema::Database::Main}, {4, schema::Database::Ingram}, {7, schema::Database::TechData}};
  std::vector<std::string> files;
  for (const auto& [index, db] : lines) {
    files.push_back(embeddedFile(values[index]));
    if (!fs::exists(files.back()))
      throw std::runtime_error("the site's database " + files.back() + " is missing");
  }

  ServerDatabases databases(options.server, false, options.force);
  const schema::PgLogin admin{options.server.server, options.server.adminUser,
                              options.server.adminPassword};
  for (size_t i = 0; i < 3; ++i) {
    const std::string name = serverDatabaseName(options.server, lines[i].second);
    progress << "Copying " << files[i] << " to database " << name << " on " << options.server.server
             << std::endl;
    copyDatabase(files[i], schema::PgAdmin(admin, name), progress);
  }

  // The configuration file keeps every value but the three connection strings.
  std::string text = siteConfigText(dir, values[0], options.server);
  std::vector<std::string> newLines = split(text, "\r\n");
  for (size_t i = 0; i < values.size(); ++i) {
    if (i != 1 && i != 4 && i != 7) newLines[i] = values[i];
  }
  text.clear();
  for (size_t i = 0; i < 11; ++i) text += newLines[i] + "\r\n";
  fs::copy_file(ini, ini + ".embedded", fs::copy_options::overwrite_existing, ec);
  if (ec) throw std::runtime_error("cannot keep a copy of " + ini + ": " + ec.message());
  writeSiteConfig(ini, text);
  databases.keep();
  progress << "The site now uses the server; the former configuration file is kept as " << ini
           << ".embedded" << std::endl;
}

}  // namespace kestrin::tools

#include "site_upgrade.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "db/session.h"
#include "kestrin/error.h"
#include "pg_admin.h"
#include "site_config.h"
#include "site_create.h"
#include "text.h"

namespace kestrin::tools {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSpace = " \t\r\n";

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The end of the literal, quoted name, comment or dollar-quoted body that begins at `i`, or `i`
// when none begins there. Unterminated, it runs to the end of the script.
size_t skipQuoted(std::string_view s, size_t i, bool postgres) {
  auto endOf = [&](size_t found, size_t length) {
    return found == std::string_view::npos ? s.size() : found + length;
  };
  const char c = s[i];
  const char next = i + 1 < s.size() ? s[i + 1] : '\0';
  if (c == '-' && next == '-') return endOf(s.find('\n', i), 1);
  if (c == '/' && next == '*') return endOf(s.find("*/", i + 2), 2);
  if (c == '\'' || c == '"') {
    for (size_t j = i + 1; j < s.size(); ++j) {
      if (s[j] != c) continue;
      if (j + 1 < s.size() && s[j + 1] == c) {
        ++j;  // a doubled quote stands for itself
        continue;
      }
      return j + 1;
    }
    return s.size();
  }
  if (postgres && c == '$' && (i == 0 || !isNameChar(s[i - 1]))) {
    size_t j = i + 1;
    while (j < s.size() && isNameChar(s[j]) && !(j == i + 1 && s[j] >= '0' && s[j] <= '9')) ++j;
    if (j < s.size() && s[j] == '$') {
      const std::string_view tag = s.substr(i, j + 1 - i);
      return endOf(s.find(tag, j + 1), tag.size());
    }
  }
  return i;
}

// The statement without its comments (each one a blank), to be read rather than run.
std::string withoutComments(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    const size_t end = skipQuoted(s, i, true);
    if (end == i) {
      out += s[i++];
      continue;
    }
    out += s[i] == '-' || s[i] == '/' ? std::string_view(" ") : s.substr(i, end - i);
    i = end;
  }
  return out;
}

std::vector<std::string> words(const std::string& bare) {
  std::vector<std::string> out;
  std::string word;
  for (char c : bare) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '(' || c == ')') {
      if (!word.empty()) out.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) out.push_back(std::move(word));
  return out;
}

bool is(const std::vector<std::string>& w, size_t i, const char* keyword) {
  return i < w.size() && lower(w[i]) == lower(keyword);
}

CountingObject object(CountingObject::Kind kind) {
  CountingObject o;
  o.kind = kind;
  return o;
}

// The object that a CREATE statement makes; nothing for any other statement.
std::optional<CountingObject> madeBy(const std::string& bare) {
  using Kind = CountingObject::Kind;
  const std::vector<std::string> w = words(bare);
  if (!is(w, 0, "create")) return std::nullopt;
  size_t i = is(w, 1, "or") && is(w, 2, "replace") ? 3 : 1;
  if (is(w, i, "temp") || is(w, i, "temporary")) ++i;
  std::optional<CountingObject> made;
  if (is(w, i, "table")) {
    i += is(w, i + 1, "if") && is(w, i + 2, "not") && is(w, i + 3, "exists") ? 4 : 1;
    made = object(Kind::Table);
  } else if (is(w, i, "function")) {
    made = object(Kind::Function);
    ++i;
  } else if (is(w, i, "trigger")) {
    made = object(Kind::Trigger);
    ++i;
    for (size_t on = i + 1; on + 1 < w.size(); ++on) {
      if (is(w, on, "on")) {
        made->table = w[on + 1];
        break;
      }
    }
  } else if (is(w, i, "event") && is(w, i + 1, "trigger")) {
    made = object(Kind::EventTrigger);
    i += 2;
  }
  if (!made || i >= w.size()) return std::nullopt;
  made->name = w[i];
  return made;
}

bool mentions(const std::string& bare, const std::string& name) {
  return lower(bare).find(lower(name)) != std::string::npos;
}

// The objects of `script` that take part in the counting; all of those of the event trigger's
// script.
void pickCounting(const std::string& script, bool postgres, bool eventScript,
                  std::vector<CountingObject>& picked) {
  std::vector<CountingObject> objects;
  bool following = false;  // the statement before made the last object, or named it
  for (const std::string& statement : scriptStatements(script, postgres)) {
    const std::string bare = withoutComments(statement);
    if (std::optional<CountingObject> made = madeBy(bare)) {
      made->statements.push_back(statement);
      objects.push_back(std::move(*made));
      following = true;
    } else if (following && mentions(bare, objects.back().name)) {
      objects.back().statements.push_back(statement);
    } else {
      following = false;
    }
  }
  for (CountingObject& o : objects) {
    o.superuserOnly = eventScript;
    bool counting = eventScript;
    for (const std::string& statement : o.statements)
      counting = counting || mentions(withoutComments(statement), "kx_changes");
    if (counting) picked.push_back(std::move(o));
  }
}

// Whether a database holds an object.
enum class State { Missing, Present, Disabled };

State stateOf(const std::optional<std::string>& disabled) {
  return !disabled ? State::Missing : *disabled == "1" ? State::Disabled : State::Present;
}

// What a database holds, asked and changed through its backend.
class Target {
 public:
  virtual ~Target() = default;
  virtual State has(const CountingObject& o) = 0;
  virtual bool hasRows(const std::string& table) = 0;
  virtual void exec(const std::string& sql) = 0;
  // Called after `o` was made (the rights that the engine's login needs on it).
  virtual void made(const CountingObject&) {}
};

class SqliteTarget : public Target {
 public:
  explicit SqliteTarget(const std::string& file) {
    if (!fs::exists(file)) throw std::runtime_error("the site's database " + file + " is missing");
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    handle_.reset(raw);
    if (rc != SQLITE_OK)
      throw std::runtime_error("cannot open " + file + ": " +
                               (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
    sqlite3_busy_timeout(raw, 10000);
  }

  State has(const CountingObject& o) override {
    const char* type = o.kind == CountingObject::Kind::Table ? "table" : "trigger";
    return any("SELECT 1 FROM sqlite_master WHERE type = " + quoted(type) +
               " AND name = " + quoted(o.name) + " COLLATE NOCASE")
               ? State::Present
               : State::Missing;
  }
  bool hasRows(const std::string& table) override {
    return any("SELECT 1 FROM " + table + " LIMIT 1");
  }
  void exec(const std::string& sql) override {
    char* message = nullptr;
    if (sqlite3_exec(handle_.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message ? message : sqlite3_errmsg(handle_.get());
      sqlite3_free(message);
      throw std::runtime_error(text);
    }
  }

 private:
  static std::string quoted(const std::string& value) { return "'" + sqlEscape(value) + "'"; }
  bool any(const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(handle_.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(handle_.get()));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    const int rc = sqlite3_step(raw);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
      throw std::runtime_error(sqlite3_errmsg(handle_.get()));
    return rc == SQLITE_ROW;
  }
  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  };
  std::unique_ptr<sqlite3, Closer> handle_;
};

class PostgresTarget : public Target {
 public:
  PostgresTarget(const schema::PgLogin& admin, const std::string& database,
                 const std::string& engineUser)
      : db_(admin, database), engineUser_(engineUser) {}

  // A trigger or event trigger may be there and disabled: it then counts nothing.
  State has(const CountingObject& o) override {
    using Kind = CountingObject::Kind;
    const std::string name = schema::quoteText(folded(o.name));
    switch (o.kind) {
      case Kind::Table:
        return stateOf(db_.value("SELECT false FROM pg_class WHERE relname = " + name +
                                 " AND relnamespace = 'public'::regnamespace"));
      case Kind::Function:
        return stateOf(db_.value("SELECT false FROM pg_proc WHERE proname = " + name +
                                 " AND pronamespace = 'public'::regnamespace"));
      case Kind::Trigger:
        return stateOf(db_.value("SELECT tgenabled = 'D' FROM pg_trigger WHERE tgname = " + name +
                                 " AND tgrelid = to_regclass(" +
                                 schema::quoteText("public." + o.table) + ")"));
      case Kind::EventTrigger:
        return stateOf(
            db_.value("SELECT evtenabled = 'D' FROM pg_event_trigger WHERE evtname = " + name));
    }
    return State::Missing;
  }
  bool hasRows(const std::string& table) override {
    return db_.value("SELECT 1 FROM public." + table + " LIMIT 1").has_value();
  }
  void exec(const std::string& sql) override { db_.exec(sql); }
  void made(const CountingObject& o) override {
    // The owner's later tables are granted to the engine by default; a database made otherwise
    // (by an older build, or copied) needs it said.
    if (o.kind != CountingObject::Kind::Table || engineUser_.empty() ||
        db_.value("SELECT current_user") == engineUser_)
      return;
    db_.exec("GRANT SELECT, INSERT, UPDATE, DELETE ON public." + o.name + " TO " +
             schema::quoteName(engineUser_));
  }

  bool superuser() const {
    return db_.value("SELECT rolsuper FROM pg_roles WHERE rolname = current_user") == "1";
  }

 private:
  // A name as the server keeps it: folded to lower case unless quoted.
  static std::string folded(const std::string& name) {
    if (name.size() >= 2 && name.front() == '"') return name.substr(1, name.size() - 2);
    return lower(name);
  }
  schema::PgAdmin db_;
  std::string engineUser_;
};

struct Additions {
  std::vector<std::string> objects;   // "the table kx_changes", ...
  std::vector<std::string> triggers;  // trigger names
  std::string notMade;                // an event trigger that the login may not make
  std::vector<std::string> disabled;  // "the trigger x", ...: there, but counting nothing
};

const char* kindName(CountingObject::Kind kind) {
  switch (kind) {
    case CountingObject::Kind::Table:
      return "the table ";
    case CountingObject::Kind::Function:
      return "the function ";
    case CountingObject::Kind::Trigger:
      return "the trigger ";
    case CountingObject::Kind::EventTrigger:
      return "the event trigger ";
  }
  return "";
}

// Makes what `target` lacks of `objects`, in their order; `superuser` says whether the login
// may make the objects that only a superuser may.
Additions addMissing(Target& target, const std::vector<CountingObject>& objects, bool superuser) {
  Additions added;
  for (const CountingObject& o : objects) {
    const State state = target.has(o);
    const bool present = state != State::Missing;
    if (state == State::Disabled) added.disabled.push_back(kindName(o.kind) + o.name);
    if (o.superuserOnly && !superuser) {
      if (!present && o.kind == CountingObject::Kind::EventTrigger) added.notMade = o.name;
      continue;
    }
    if (present) {
      // A counter table without its row counts nothing: it gets the row the schema gives it.
      if (o.kind == CountingObject::Kind::Table && o.statements.size() > 1 &&
          !target.hasRows(o.name)) {
        for (size_t s = 1; s < o.statements.size(); ++s) target.exec(o.statements[s]);
        added.objects.push_back("the row of " + o.name);
      }
      continue;
    }
    for (const std::string& statement : o.statements) target.exec(statement);
    target.made(o);
    if (o.kind == CountingObject::Kind::Trigger)
      added.triggers.push_back(o.name);
    else
      added.objects.push_back(kindName(o.kind) + o.name);
  }
  return added;
}

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& parts) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i)
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  return text;
}

std::string describe(const Additions& added) {
  std::vector<std::string> parts = added.objects;
  if (!added.triggers.empty()) {
    std::string names;
    for (const std::string& t : added.triggers) names += (names.empty() ? "" : ", ") + t;
    parts.push_back(std::to_string(added.triggers.size()) +
                    (added.triggers.size() == 1 ? " trigger: " : " triggers: ") + names);
  }
  std::string text = parts.empty() ? "nothing to add" : "added " + listed(parts);
  if (!added.disabled.empty()) {
    text += "; disabled, and left so: " + listed(added.disabled) +
            " (the engine takes a disabled trigger for a missing one)";
  }
  if (!added.notMade.empty()) {
    text += "; the event trigger " + added.notMade +
            " is missing and only a superuser may make it (the engine works without it; run "
            "this again with a superuser's --admin-user to add it)";
  }
  return text;
}

// One database of the site: where it is, for the user, and how to reach it.
struct SiteDatabase {
  schema::Database db;
  std::string where;
  db::ConnectionTarget target;
};

}  // namespace

std::vector<std::string> scriptStatements(std::string_view script, bool postgres) {
  std::vector<std::string> out;
  size_t start = 0;
  auto finish = [&](size_t end) {
    std::string_view piece = script.substr(start, end - start);
    const size_t first = piece.find_first_not_of(kSpace);
    piece = first == std::string_view::npos ? "" : piece.substr(first);
    piece = piece.substr(0, piece.find_last_not_of(kSpace) + 1);
    if (withoutComments(piece).find_first_not_of(kSpace) != std::string::npos)
      out.emplace_back(piece);
    start = end + 1;
  };
  for (size_t i = 0; i < script.size();) {
    const size_t end = skipQuoted(script, i, postgres);
    if (end != i) {
      i = end;
      continue;
    }
    // SQLite's own reading tells whether the semicolon ends the statement or a statement of a
    // trigger's body.
    if (script[i] == ';' &&
        (postgres ||
         sqlite3_complete(std::string(script.substr(start, i + 1 - start)).c_str()) != 0))
      finish(i);
    ++i;
  }
  if (start < script.size()) finish(script.size());
  return out;
}

std::vector<CountingObject> countingObjects(schema::Database db, bool postgres) {
  std::vector<CountingObject> picked;
  if (!postgres) {
    pickCounting(schema::schemaSql(db), false, false, picked);
    return picked;
  }
  pickCounting(schema::postgresSchemaSql(db), true, false, picked);
  pickCounting(schema::postgresSchemaEventsSql(), true, true, picked);
  return picked;
}

void upgradeSite(const UpgradeOptions& options, std::ostream& out) {
  if (options.siteId.empty() || options.siteId.find_first_of("/\\") != std::string::npos)
    throw std::runtime_error("the site id must be a plain name, such as kestrin");
  const std::string ini = siteConfigPath(options.dir, options.siteId);
  if (!fs::exists(ini)) throw std::runtime_error("there is no site here: " + ini + " is missing");
  const std::vector<std::string> values = readSiteConfig(ini);

  // Values 2, 5 and 8 are the connection strings of the main, Ingram Micro and Tech Data
  // databases. Every database is reached before any is changed.
  const std::pair<size_t, schema::Database> lines[] = {
      {1, schema::Database::Main}, {4, schema::Database::Ingram}, {7, schema::Database::TechData}};
  std::vector<SiteDatabase> databases;
  std::vector<std::unique_ptr<Target>> targets;
  for (const auto& [index, db] : lines) {
    SiteDatabase d{db, {}, {}};
    try {
      d.target = db::parseConnectionString(trim(values[index]));
    } catch (const Error& e) {
      throw std::runtime_error("the configuration file's connection string is not valid: " +
                               e.description());
    }
    if (d.target.backend == db::ConnectionTarget::Backend::SQLite) {
      d.where = d.target.file;
      targets.push_back(std::make_unique<SqliteTarget>(d.target.file));
    } else {
      const std::string server = d.target.host + (d.target.port.empty() ? "" : ":" + d.target.port);
      d.where = "database " + d.target.database + " on " + server;
      targets.push_back(std::make_unique<PostgresTarget>(
          schema::PgLogin{server, options.adminUser, options.adminPassword}, d.target.database,
          d.target.user));
    }
    databases.push_back(std::move(d));
  }

  for (size_t i = 0; i < databases.size(); ++i) {
    const SiteDatabase& d = databases[i];
    Target& target = *targets[i];
    const bool postgres = d.target.backend == db::ConnectionTarget::Backend::PostgreSQL;
    const std::vector<CountingObject> objects = countingObjects(d.db, postgres);
    const bool superuser = !postgres || static_cast<PostgresTarget&>(target).superuser();
    Additions added;
    try {
      target.exec(postgres ? "BEGIN" : "BEGIN IMMEDIATE");
      added = addMissing(target, objects, superuser);
      target.exec("COMMIT");
    } catch (const std::runtime_error& e) {
      try {
        target.exec("ROLLBACK");
      } catch (const std::runtime_error&) {
        // The failure to report is the first one; a database that is gone rolls back anyway.
      }
      std::string message = e.what();
      // The server's messages begin with the database's name, which `where` names already.
      if (postgres && message.starts_with(d.target.database + ": "))
        message.erase(0, d.target.database.size() + 2);
      throw std::runtime_error(d.where + ": " + message + " (nothing was changed in it)");
    }
    out << d.where << ": " << describe(added) << std::endl;
  }
}

}  // namespace kestrin::tools

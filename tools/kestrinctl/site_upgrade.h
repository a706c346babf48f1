// Bringing the databases of a site made by an older build (or one that lost a trigger) up to the
// change counting of the current schema: the counter table kx_changes, its counting function and
// triggers, and on a server the event trigger that counts changes of the schema.
//
// What to make comes from the schema files that `site create` runs (schema.h): their statements
// are read, those of the counting picked, and each object that the database lacks is made with
// its own statement. Nothing that is there is touched.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "schema.h"

namespace kestrin::tools {

struct UpgradeOptions {
  std::string dir;            // the site folder
  std::string siteId;         // names DIR/SITEID.ini
  std::string adminUser;      // a server site: the login that owns the databases; empty: PGUSER
  std::string adminPassword;  // its password; empty: libpq's default (PGPASSWORD, ~/.pgpass)
};

// Adds to each database of the site what it lacks of the change counting, each database in one
// transaction, and prints one line per database on `out`: what was added, or "nothing to add".
// Throws std::runtime_error with a message for the user (no such site, a database that cannot
// be reached, a statement the login may not run); a database that failed is left as it was.
void upgradeSite(const UpgradeOptions& options, std::ostream& out);

// One object of a schema file that the change counting needs, and the statements that make it
// (its CREATE statement, then those that name it right after it: the counter's first row, the
// rights on a function).
struct CountingObject {
  enum class Kind { Table, Function, Trigger, EventTrigger };
  Kind kind = Kind::Table;
  std::string name;   // as the file writes it
  std::string table;  // a trigger's table, as the file writes it
  std::vector<std::string> statements;
  bool superuserOnly = false;  // the event trigger and its function
};

// The counting objects of a database's schema, in the order of the files: for SQLite from
// db/sqlite/, for PostgreSQL from db/postgres/ (with the event trigger and its function last).
std::vector<CountingObject> countingObjects(schema::Database db, bool postgres);

// The statements of a script, split at the semicolons that end them: not those in literals,
// quoted names, comments, dollar-quoted bodies or (SQLite) the body of a trigger.
std::vector<std::string> scriptStatements(std::string_view script, bool postgres);

}  // namespace kestrin::tools

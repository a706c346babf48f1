// Administration of a PostgreSQL server for sites: an administrative connection, and the making
// and dropping of a site's databases.
//
// A site's databases belong to the administrative login that makes them. The engine reaches
// them with a login of its own that may connect to them, read and write their rows and run their
// procedures, and nothing else: no tables or functions of its own, no temporary tables, no other
// database.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "schema.h"

struct pg_conn;

namespace kestrin::schema {

struct PgLogin {
  std::string server;    // host[:port]
  std::string user;      // empty: libpq's default (PGUSER, else the system user's name)
  std::string password;  // empty: libpq's default (PGPASSWORD, ~/.pgpass)
};

// One administrative connection. Scripts may hold several statements. Failures throw
// std::runtime_error with the server's message.
class PgAdmin {
 public:
  PgAdmin(const PgLogin& login, const std::string& database);
  ~PgAdmin();
  PgAdmin(PgAdmin&&) noexcept;
  PgAdmin& operator=(PgAdmin&&) noexcept;
  PgAdmin(const PgAdmin&) = delete;
  PgAdmin& operator=(const PgAdmin&) = delete;

  void exec(const std::string& sql) const;
  // The first column of every row of a query; NULL as nothing, fractional numbers in their
  // shortest form (10, 12.5), flags as 1 and 0.
  std::vector<std::optional<std::string>> column(const std::string& sql) const;
  // The first value of a query; nothing when there is no row or it is NULL.
  std::optional<std::string> value(const std::string& sql) const;
  // Copies rows into `table`: `rows` is the COPY text form (tab-separated, \N for NULL, one row
  // a line).
  void copyIn(const std::string& table, const std::vector<std::string>& columns,
              const std::string& rows) const;

  const std::string& database() const { return database_; }

 private:
  struct Closer {
    void operator()(pg_conn* c) const;
  };
  std::unique_ptr<pg_conn, Closer> conn_;
  std::string database_;
};

// The shortest text that reads back as `v` (10, 12.5).
std::string shortestNumber(double v);

// The state file of a throw-away server (scripts/pg-test-cluster): the server, its administrative
// login and the login of the engine of the sites made on it; or why there is none.
struct PgClusterState {
  std::string unavailable;  // why there is no server; empty when there is one
  PgLogin admin;
  std::string engineUser, enginePassword;
};
PgClusterState readClusterState(const char* path);

// "name" as a quoted identifier, and 'text' as a quoted literal.
std::string quoteName(const std::string& name);
std::string quoteText(const std::string& text);

// Which of `names` exist as databases on the server.
std::vector<std::string> existingDatabases(const PgLogin& admin,
                                           const std::vector<std::string>& names);

// Makes the engine's login when the server has none of that name; true when it was made.
// Refuses a login that is a superuser or may create databases or roles.
bool ensureEngineLogin(const PgLogin& admin, const std::string& user, const std::string& password);

// Makes database `name` (which must not exist) with the tables and procedures of `db`, and its
// demo data when asked, for the engine's login `engineUser`. A half-made database is dropped.
void createPostgresDatabase(const PgLogin& admin, const std::string& name, Database db, bool demo,
                            const std::string& engineUser);

// Drops the database if it exists, closing the connections that are open on it.
void dropPostgresDatabase(const PgLogin& admin, const std::string& name);

}  // namespace kestrin::schema

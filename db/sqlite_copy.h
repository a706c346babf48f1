// Loading the rows of an embedded (SQLite) database file into a database on a PostgreSQL server
// that has the same tables (db/postgres/): moving a site to a server, and attaching a delivered
// database file on one.
#pragma once

#include <iosfwd>
#include <string>

#include "pg_admin.h"
#include "schema.h"

namespace kestrin::schema {

// Copies every row of every table of `file` (but the procedure table and the change counter,
// which the server keeps in its own form) into the database of `target`, in one transaction;
// automatic keys then go on after the highest key copied. Reports each table on `progress` when
// given. Throws std::runtime_error naming the file or table when a table or column has no
// counterpart on the server, or the server refuses a row.
void copySqliteDatabase(const std::string& file, const PgAdmin& target, std::ostream* progress);

// Makes database `name` on the server with the tables and procedures of `db`, owned by and for
// the login itself, and copies the rows of `file` into it. A half-made database is dropped.
void attachSqliteDatabase(const PgLogin& login, const std::string& name, Database db,
                          const std::string& file);

}  // namespace kestrin::schema

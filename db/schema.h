// The databases of a site: their tables and stored procedures, and the demo catalog, as SQL
// texts linked into the program, and the creation of SQLite database files from them.
#pragma once

#include <string>

namespace kestrin::schema {

enum class Database { Main, TechData, Ingram };

// The catalog name of each database ("kestrin", "techdata", "ingram").
const char* catalogName(Database db);

// Tables and procedures of the database, as one SQL script (db/sqlite/).
std::string schemaSql(Database db);
// The same for PostgreSQL (db/postgres/): extensions, tables and functions.
std::string postgresSchemaSql(Database db);
// The event trigger that raises a PostgreSQL database's change counter on a change of its schema;
// only a superuser may make it.
std::string postgresSchemaEventsSql();
// The demo data of the database, as one SQL script that both backends run.
std::string demoSql(Database db);

// Creates the SQLite file `file` (which must not exist yet) with the database's schema and, when
// asked, its demo data. Throws std::runtime_error with a message naming the file on failure;
// a half-made file is removed.
void createSqliteDatabase(const std::string& file, Database db, bool demo);

}  // namespace kestrin::schema

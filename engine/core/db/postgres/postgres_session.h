// PostgreSQL backend: sessions on a database server through libpq.
//
// Connections are pooled per server, database and login; a connection taken from the pool is
// checked first, so that one the server dropped (a restart) is replaced instead of failing the
// next call. Every statement runs alone through the extended protocol, so a text holding two
// statements is refused by the server. A statement is prepared on a connection the second time
// it runs there (a procedure call the first time) and then only executed.
//
// Stored procedures are functions of the database's public schema; a bare call
// kx_name 'a',2 runs SELECT * FROM kx_name($1,$2) with the arguments bound as values. A function
// that returns void gives no result set.
#pragma once

#include <memory>
#include <string>

#include "../session.h"

namespace kestrin::db {

std::shared_ptr<Session> openPostgresSession(const ConnectionTarget& target, int timeoutSeconds);

// Connections waiting in the pool (for tests and measurements).
size_t idlePostgresConnections();

}  // namespace kestrin::db

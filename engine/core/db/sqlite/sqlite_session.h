// SQLite backend: one database file per session, opened in WAL mode with a busy time-out so
// that several threads and processes can serve and write one site.
//
// Stored procedures live in the table kx_procedures (name, params, body): the body is one or more
// statements with numbered parameters ?1 .. ?n, run with the call's arguments bound as values.
#pragma once

#include <memory>
#include <string>

#include "../session.h"

namespace kestrin::db {

// Opens a session on `file`, reusing an idle connection to the same file when there is one.
std::shared_ptr<Session> openSqliteSession(const std::string& file, int timeoutSeconds);

// Connections waiting in the pool (for tests and measurements).
size_t idleSqliteConnections();

}  // namespace kestrin::db

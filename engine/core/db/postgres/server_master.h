// A database server's "master" database (a connection string whose Initial Catalog is master):
// the session that attaches delivered databases on the server (see attach.h). It runs one
// statement, sp_attach_db; it connects to the server's maintenance database (postgres) with the
// given login, so that a wrong server or login fails at open, and refuses an attach whose
// database exists with "Database 'NAME' already exists. ...". The database itself is made by the
// ServerDatabaseMaker of the calling thread's scope; without one the attach fails.
#pragma once

#include <memory>

#include "../session.h"

namespace kestrin::db {

std::shared_ptr<Session> openServerMasterSession(const ConnectionTarget& target,
                                                 int timeoutSeconds);

}  // namespace kestrin::db

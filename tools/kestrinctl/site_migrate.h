// Moving an embedded site (SQLite files) to a PostgreSQL server.
#pragma once

#include <iosfwd>
#include <string>

#include "site_create.h"

namespace kestrin::tools {

struct MigrateOptions {
  std::string dir;       // the site folder
  std::string siteId;    // names DIR/SITEID.ini
  bool force = false;    // replace databases of that name on the server
  ServerOptions server;  // where the databases go
};

// Makes the site's three databases on the server, copies every row of the embedded databases
// into them, and then rewrites the connection strings of DIR/SITEID.ini to name the server. The
// former file is kept as DIR/SITEID.ini.embedded; the SQLite files are left as they are.
// Reports each table on `progress`. Throws std::runtime_error with a message for the user;
// on failure nothing is left on the server and the configuration file is unchanged.
void migrateSite(const MigrateOptions& options, std::ostream& progress);

}  // namespace kestrin::tools

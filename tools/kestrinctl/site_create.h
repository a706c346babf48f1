// Making a site: its configuration file and its three databases, as SQLite files in the site
// folder or on a PostgreSQL server.
#pragma once

#include <string>
#include <vector>

#include "schema.h"

namespace kestrin::tools {

// Where a site's databases live when they are on a server.
struct ServerOptions {
  std::string server;         // host[:port]; empty: SQLite files in the site folder
  std::string dbUser;         // the engine's login, written into the configuration file
  std::string dbPassword;     // its password
  std::string adminUser;      // the login that makes the databases; empty: libpq's default
  std::string adminPassword;  // its password; empty: libpq's default (PGPASSWORD, ~/.pgpass)
  std::string dbPrefix;       // prefix of the database names, for several sites on one server
};

struct SiteOptions {
  std::string dir;       // the site folder (created when missing)
  std::string siteId;    // names DIR/SITEID.ini
  std::string password;  // the site password, line 1
  bool demo = false;     // load the demo catalog
  bool force = false;    // replace an existing site
  ServerOptions server;  // the databases' server, if any
};

// The eleven lines of the configuration file of a site whose databases lie in `dir`, or on the
// server of `server` when it names one.
std::string siteConfigText(const std::string& dir, const std::string& password,
                           const ServerOptions& server = {});

// The three databases of a site on a server, with the engine's login (made when missing). Made
// by the constructor, which refuses databases that exist unless `force` (then they are
// replaced); dropped again by the destructor, with the login if it was made, unless kept.
class ServerDatabases {
 public:
  // `alsoExisting` names what else of the site exists, for the refusal's message.
  ServerDatabases(const ServerOptions& server, bool demo, bool force,
                  const std::string& alsoExisting = "");
  ~ServerDatabases();
  ServerDatabases(const ServerDatabases&) = delete;
  ServerDatabases& operator=(const ServerDatabases&) = delete;

  void keep() { kept_ = true; }

 private:
  void undo();
  ServerOptions server_;
  std::vector<std::string> made_;
  bool madeLogin_ = false;
  bool kept_ = false;
};

// The connection string of one of the site's databases, as its configuration file gives it.
std::string siteConnectionString(const std::string& dir, const ServerOptions& server,
                                 schema::Database db);

// The name of a site's database on a server.
std::string serverDatabaseName(const ServerOptions& server, schema::Database db);

// Writes DIR/SITEID.ini and creates the three databases: DIR/kestrin.db, DIR/ingram.db,
// DIR/techdata.db, or PREFIXkestrin, PREFIXingram, PREFIXtechdata on the server.
// Throws std::runtime_error with a message for the user; an existing site (configuration file
// or databases) is left alone unless `force` is set.
void createSite(const SiteOptions& options);

// Checks the server options: the values go into connection strings and the configuration file.
void checkServerOptions(const ServerOptions& server);

// Writes the configuration file DIR/SITEID.ini (through a temporary file, so that a reader never
// sees half of it).
void writeSiteConfig(const std::string& ini, const std::string& text);

// The eleven values of the configuration file `ini`, in order. Throws std::runtime_error with a
// message for the user when the file cannot be read or holds fewer values.
std::vector<std::string> readSiteConfig(const std::string& ini);

// Replaces the site password (line 1) of DIR/SITEID.ini, keeping every other line as it is.
// Throws std::runtime_error with a message for the user (missing file, unusable password).
void changeSitePassword(const std::string& dir, const std::string& siteId,
                        const std::string& password);

}  // namespace kestrin::tools

// Making a site: its configuration file and its three SQLite databases.
#pragma once

#include <string>

namespace kestrin::tools {

struct SiteOptions {
  std::string dir;       // the site folder (created when missing)
  std::string siteId;    // names DIR/SITEID.ini
  std::string password;  // the site password, line 1
  bool demo = false;     // load the demo catalog
  bool force = false;    // replace an existing site
};

// The eleven lines of the configuration file of a site whose databases lie in `dir`.
std::string siteConfigText(const std::string& dir, const std::string& password);

// Writes DIR/SITEID.ini and creates DIR/kestrin.db, DIR/ingram.db, DIR/techdata.db.
// Throws std::runtime_error with a message for the user; an existing site is left alone
// unless `force` is set.
void createSite(const SiteOptions& options);

// Replaces the site password (line 1) of DIR/SITEID.ini, keeping every other line as it is.
// Throws std::runtime_error with a message for the user (missing file, unusable password).
void changeSitePassword(const std::string& dir, const std::string& siteId,
                        const std::string& password);

}  // namespace kestrin::tools

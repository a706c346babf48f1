// kestrinctl: the command line for people and scripts.
//   kestrinctl site create DIR --site ID --password PW [--demo] [--force] [SERVER OPTIONS]
//   kestrinctl site migrate DIR --server HOST[:PORT] --db-user U --db-password P [--site ID] ...
//   kestrinctl site upgrade DIR [--site ID] [--admin-user A --admin-password AP]
//   kestrinctl call METHOD [NAME=VALUE ...] [--app-path DIR] [--show VAR] [--set VAR=VALUE]
//   kestrinctl methods
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "call_command.h"
#include "kestrin/error.h"
#include "site_create.h"
#include "site_migrate.h"
#include "site_upgrade.h"

namespace {

const char* const kUsage =
    "usage:\n"
    "  kestrinctl site create DIR --site ID --password PW [--demo] [--force] [SERVER]\n"
    "      Make a site: DIR/ID.ini and the databases kestrin.db, ingram.db, techdata.db;\n"
    "      --demo loads the demo catalog and makes the QuickBooks company file company.qbw;\n"
    "      --force replaces an existing site.\n"
    "      With SERVER the databases kestrin, ingram and techdata are made on a PostgreSQL\n"
    "      server instead:\n"
    "        --server HOST[:PORT] --db-user U --db-password P\n"
    "            the server, and the login the engine uses (made when the server has none;\n"
    "            it may read and write the site's rows and nothing more)\n"
    "        --admin-user A --admin-password AP\n"
    "            the login that makes and owns the databases (default: PGUSER, PGPASSWORD)\n"
    "        --db-prefix X   names the databases Xkestrin, Xingram, Xtechdata\n"
    "  kestrinctl site migrate DIR --server HOST[:PORT] --db-user U --db-password P\n"
    "                          [--site ID] [--admin-user A --admin-password AP] [--db-prefix X]\n"
    "                          [--force]\n"
    "      Copy an embedded site (default id kestrin) to the server and point DIR/ID.ini at it;\n"
    "      the former file stays as DIR/ID.ini.embedded.\n"
    "  kestrinctl site upgrade DIR [--site ID] [--admin-user A --admin-password AP]\n"
    "      Add to the databases of a site made by an older build (default id kestrin) what\n"
    "      they lack of the change counting that lets the engine keep answers: the table\n"
    "      kx_changes and its row, the counting triggers and, on a server, the counting\n"
    "      function and the event trigger (a superuser's only). What is there is left alone;\n"
    "      one line per database says what was added. On a server A and AP are the login\n"
    "      that owns the databases (default: PGUSER, PGPASSWORD).\n"
    "  kestrinctl site password DIR --site ID --password NEW\n"
    "      Change the site password (line 1 of DIR/ID.ini), such as the fixed one that the\n"
    "      setup wizard writes.\n"
    "  kestrinctl call METHOD [NAME=VALUE ...] [--app-path DIR] [--show VAR] [--set VAR=VALUE]\n"
    "      Call one engine method on the site folder (KESTRIN_APP_PATH or --app-path) and print\n"
    "      its result; --show prints public variables afterwards, --set sets them before.\n"
    "  kestrinctl methods\n"
    "      List the methods and their arguments.\n";

// The options of the site commands and the site folder.
struct SiteArgs {
  std::string dir;
  kestrin::tools::SiteOptions site;
};

// The folder and the options of a site command: `values` names the options that take a value
// and where it goes, `flags` those that are set by being given.
std::string readSiteArgs(const std::vector<std::string>& args,
                         const std::map<std::string, std::string*>& values,
                         const std::map<std::string, bool*>& flags = {}) {
  std::string dir;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (auto value = values.find(a); value != values.end()) {
      if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
      *value->second = args[++i];
    } else if (auto flag = flags.find(a); flag != flags.end()) {
      *flag->second = true;
    } else if (a.starts_with("--")) {
      throw std::invalid_argument("unknown option " + a);
    } else if (dir.empty()) {
      dir = a;
    } else {
      throw std::invalid_argument("one site folder only");
    }
  }
  return dir;
}

SiteArgs parseSiteArgs(const std::vector<std::string>& args) {
  SiteArgs parsed;
  kestrin::tools::SiteOptions& options = parsed.site;
  kestrin::tools::ServerOptions& server = options.server;
  parsed.dir = readSiteArgs(args,
                            {{"--site", &options.siteId},
                             {"--password", &options.password},
                             {"--server", &server.server},
                             {"--db-user", &server.dbUser},
                             {"--db-password", &server.dbPassword},
                             {"--admin-user", &server.adminUser},
                             {"--admin-password", &server.adminPassword},
                             {"--db-prefix", &server.dbPrefix}},
                            {{"--demo", &options.demo}, {"--force", &options.force}});
  options.dir = parsed.dir;
  const bool serverGiven = !server.server.empty() || !server.dbUser.empty() ||
                           !server.dbPassword.empty() || !server.adminUser.empty() ||
                           !server.adminPassword.empty() || !server.dbPrefix.empty();
  if (serverGiven && (server.server.empty() || server.dbUser.empty())) {
    throw std::invalid_argument("a site on a server needs --server and --db-user");
  }
  return parsed;
}

int siteCreate(const std::vector<std::string>& args) {
  SiteArgs parsed = parseSiteArgs(args);
  const kestrin::tools::SiteOptions& options = parsed.site;
  if (options.dir.empty() || options.siteId.empty() || options.password.empty()) {
    throw std::invalid_argument("site create needs DIR, --site and --password");
  }
  kestrin::tools::createSite(options);
  std::cout << "Created site " << options.siteId << " in " << options.dir
            << (options.server.server.empty() ? ""
                                              : " with its databases on " + options.server.server)
            << (options.demo ? " with the demo catalog" : "") << '\n';
  return 0;
}

int siteMigrate(const std::vector<std::string>& args) {
  SiteArgs parsed = parseSiteArgs(args);
  if (parsed.dir.empty() || parsed.site.server.server.empty())
    throw std::invalid_argument("site migrate needs DIR, --server and --db-user");
  if (parsed.site.demo || !parsed.site.password.empty())
    throw std::invalid_argument("site migrate takes no --demo or --password");
  kestrin::tools::MigrateOptions options;
  options.dir = parsed.dir;
  options.siteId = parsed.site.siteId.empty() ? "kestrin" : parsed.site.siteId;
  options.force = parsed.site.force;
  options.server = parsed.site.server;
  kestrin::tools::migrateSite(options, std::cout);
  return 0;
}

int sitePassword(const std::vector<std::string>& args) {
  std::string siteId, password;
  const std::string dir = readSiteArgs(args, {{"--site", &siteId}, {"--password", &password}});
  if (dir.empty() || siteId.empty() || password.empty()) {
    throw std::invalid_argument("site password needs DIR, --site and --password");
  }
  kestrin::tools::changeSitePassword(dir, siteId, password);
  std::cout << "Changed the site password of " << siteId << " in " << dir << '\n';
  return 0;
}

int siteUpgrade(const std::vector<std::string>& args) {
  kestrin::tools::UpgradeOptions options;
  options.siteId = "kestrin";
  options.dir = readSiteArgs(args, {{"--site", &options.siteId},
                                    {"--admin-user", &options.adminUser},
                                    {"--admin-password", &options.adminPassword}});
  if (options.dir.empty()) throw std::invalid_argument("site upgrade needs DIR");
  kestrin::tools::upgradeSite(options, std::cout);
  return 0;
}

// A `site` subcommand: bad usage (invalid_argument) exits 2 with the usage, any other failure 1.
int runSiteCommand(const char* name, int (*command)(const std::vector<std::string>&),
                   const std::vector<std::string>& args) {
  try {
    return command({args.begin() + 2, args.end()});
  } catch (const std::invalid_argument& e) {
    std::cerr << "kestrinctl site " << name << ": " << e.what() << '\n' << kUsage;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "kestrinctl site " << name << ": " << e.what() << '\n';
    return 1;
  }
}

int run(const std::vector<std::string>& args) {
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "call") {
    return kestrin::tools::runCall({args.begin() + 1, args.end()}, std::cout, std::cerr);
  }
  if (args[0] == "methods") {
    kestrin::tools::listMethods(std::cout);
    return 0;
  }
  if (args[0] == "site" && args.size() >= 2 && args[1] == "create") {
    return runSiteCommand("create", siteCreate, args);
  }
  if (args[0] == "site" && args.size() >= 2 && args[1] == "migrate") {
    return runSiteCommand("migrate", siteMigrate, args);
  }
  if (args[0] == "site" && args.size() >= 2 && args[1] == "upgrade") {
    return runSiteCommand("upgrade", siteUpgrade, args);
  }
  if (args[0] == "site" && args.size() >= 2 && args[1] == "password") {
    return runSiteCommand("password", sitePassword, args);
  }
  std::cerr << "kestrinctl: unknown command '" << args[0] << "'\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (...) {
    // Whatever failed, say so and exit 1 rather than abort.
    const kestrin::Error e = kestrin::asError(std::current_exception());
    std::cerr << "kestrinctl: Error " << e.number() << ": " << e.description() << '\n';
    return 1;
  }
}

// kestrinctl: the command line for people and scripts.
//   kestrinctl site create DIR --site ID --password PW [--demo] [--force] [SERVER OPTIONS]
//   kestrinctl site migrate DIR --server HOST[:PORT] --db-user U --db-password P [--site ID] ...
//   kestrinctl call METHOD [NAME=VALUE ...] [--app-path DIR] [--show VAR] [--set VAR=VALUE]
//   kestrinctl methods
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "call_command.h"
#include "kestrin/error.h"
#include "site_create.h"
#include "site_migrate.h"

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

SiteArgs parseSiteArgs(const std::vector<std::string>& args) {
  SiteArgs parsed;
  kestrin::tools::SiteOptions& options = parsed.site;
  kestrin::tools::ServerOptions& server = options.server;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
      return args[++i];
    };
    if (a == "--site")
      options.siteId = value();
    else if (a == "--password")
      options.password = value();
    else if (a == "--demo")
      options.demo = true;
    else if (a == "--force")
      options.force = true;
    else if (a == "--server")
      server.server = value();
    else if (a == "--db-user")
      server.dbUser = value();
    else if (a == "--db-password")
      server.dbPassword = value();
    else if (a == "--admin-user")
      server.adminUser = value();
    else if (a == "--admin-password")
      server.adminPassword = value();
    else if (a == "--db-prefix")
      server.dbPrefix = value();
    else if (a.starts_with("--"))
      throw std::invalid_argument("unknown option " + a);
    else if (parsed.dir.empty())
      parsed.dir = a;
    else
      throw std::invalid_argument("one site folder only");
  }
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
  std::string dir, siteId, password;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
      return args[++i];
    };
    if (a == "--site")
      siteId = value();
    else if (a == "--password")
      password = value();
    else if (a.starts_with("--"))
      throw std::invalid_argument("unknown option " + a);
    else if (dir.empty())
      dir = a;
    else
      throw std::invalid_argument("one site folder only");
  }
  if (dir.empty() || siteId.empty() || password.empty()) {
    throw std::invalid_argument("site password needs DIR, --site and --password");
  }
  kestrin::tools::changeSitePassword(dir, siteId, password);
  std::cout << "Changed the site password of " << siteId << " in " << dir << '\n';
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

#include "site_migrate.h"

#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "db/session.h"
#include "kestrin/error.h"
#include "pg_admin.h"
#include "site_config.h"
#include "sqlite_copy.h"
#include "text.h"

namespace kestrin::tools {

namespace fs = std::filesystem;

namespace {

// The SQLite file that a connection string of the configuration file names.
std::string embeddedFile(const std::string& connectionString) {
  try {
    db::ConnectionTarget target = db::parseConnectionString(trim(connectionString));
    if (target.backend != db::ConnectionTarget::Backend::SQLite) {
      throw std::runtime_error("the site's databases are already on a server (" + target.host +
                               (target.port.empty() ? "" : ":" + target.port) + ")");
    }
    return target.file;
  } catch (const Error& e) {
    throw std::runtime_error("the configuration file's connection string is not valid: " +
                             e.description());
  }
}

}  // namespace

void migrateSite(const MigrateOptions& options, std::ostream& progress) {
  if (options.siteId.empty() || options.siteId.find_first_of("/\\") != std::string::npos)
    throw std::runtime_error("the site id must be a plain name, such as kestrin");
  checkServerOptions(options.server);
  std::error_code ec;
  const std::string dir = fs::canonical(options.dir, ec).string();
  if (ec) throw std::runtime_error("cannot use " + options.dir + ": " + ec.message());
  const std::string ini = siteConfigPath(dir, options.siteId);
  if (!fs::exists(ini)) throw std::runtime_error("there is no site here: " + ini + " is missing");
  std::vector<std::string> values = readSiteConfig(ini);
  // Values 2, 5 and 8 are the connection strings of the main, Ingram Micro and Tech Data
  // databases.
  const std::pair<size_t, schema::Database> lines[] = {
      {1, schema::Database::Main}, {4, schema::Database::Ingram}, {7, schema::Database::TechData}};
  std::vector<std::string> files;
  for (const auto& [index, db] : lines) {
    files.push_back(embeddedFile(values[index]));
    if (!fs::exists(files.back()))
      throw std::runtime_error("the site's database " + files.back() + " is missing");
  }

  ServerDatabases databases(options.server, false, options.force);
  const schema::PgLogin admin{options.server.server, options.server.adminUser,
                              options.server.adminPassword};
  for (size_t i = 0; i < 3; ++i) {
    const std::string name = serverDatabaseName(options.server, lines[i].second);
    progress << "Copying " << files[i] << " to database " << name << " on " << options.server.server
             << std::endl;
    schema::copySqliteDatabase(files[i], schema::PgAdmin(admin, name), &progress);
  }

  // The configuration file keeps every value but the three connection strings.
  std::string text = siteConfigText(dir, values[0], options.server);
  std::vector<std::string> newLines = split(text, "\r\n");
  for (size_t i = 0; i < values.size(); ++i) {
    if (i != 1 && i != 4 && i != 7) newLines[i] = values[i];
  }
  text.clear();
  for (size_t i = 0; i < 11; ++i) text += newLines[i] + "\r\n";
  fs::copy_file(ini, ini + ".embedded", fs::copy_options::overwrite_existing, ec);
  if (ec) throw std::runtime_error("cannot keep a copy of " + ini + ": " + ec.message());
  writeSiteConfig(ini, text);
  databases.keep();
  progress << "The site now uses the server; the former configuration file is kept as " << ini
           << ".embedded" << std::endl;
}

}  // namespace kestrin::tools

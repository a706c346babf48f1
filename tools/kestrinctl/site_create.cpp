#include "site_create.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "company_file.h"
#include "kestrin/error.h"
#include "pg_admin.h"
#include "schema.h"
#include "site_config.h"

namespace kestrin::tools {

namespace fs = std::filesystem;

namespace {

const schema::Database kDatabases[] = {schema::Database::Main, schema::Database::Ingram,
                                       schema::Database::TechData};

std::string connectionString(const std::string& dataSource, const std::string& catalog,
                             const std::string& user, const std::string& password) {
  return "Provider=SQLOLEDB; Data Source=" + dataSource + "; Initial Catalog=" + catalog +
         "; User ID=" + user + "; Password=" + password + ";";
}

void checkValue(const std::string& what, const std::string& value) {
  // A reader splits values at commas and line ends, so such a value would shift every later one.
  if (value.find_first_of(",\r\n") != std::string::npos) {
    throw std::runtime_error(what + " must not contain a comma or a line break: " + value);
  }
}

// A value inside a connection string: the string is split at ";" and its values are trimmed.
void checkSetting(const std::string& what, const std::string& value) {
  checkValue(what, value);
  if (value.find(';') != std::string::npos)
    throw std::runtime_error(what + " must not contain a semicolon: " + value);
  if (!value.empty() && (value.front() == ' ' || value.back() == ' '))
    throw std::runtime_error(what + " must not begin or end with a blank");
}

// The demo site's QuickBooks company file, kept by the company-file simulator (in the site folder
// on either backend).
std::string companyFile(const std::string& dir) { return dir + "/company.qbw"; }

void checkPassword(const std::string& password) {
  if (password.empty()) throw std::runtime_error("the site password must not be empty");
  checkValue("the site password", password);
  if (password.front() == ' ' || password.back() == ' ') {
    throw std::runtime_error("the site password must not begin or end with a blank");
  }
}

void makeCompanyFile(const std::string& dir) {
  std::error_code ec;
  fs::remove(companyFile(dir), ec);
  try {
    qbsim::createCompanyFile(companyFile(dir));
  } catch (const Error& e) {
    throw std::runtime_error(e.description());
  }
}

void createSqliteSite(const std::string& dir, const std::string& ini, const SiteOptions& options) {
  std::error_code ec;
  std::vector<std::string> existing;
  if (fs::exists(ini)) existing.push_back(ini);
  if (options.demo && fs::exists(companyFile(dir))) existing.push_back(companyFile(dir));
  for (schema::Database db : kDatabases) {
    std::string file = dir + "/" + schema::catalogName(db) + ".db";
    if (fs::exists(file)) existing.push_back(file);
  }
  if (!existing.empty()) {
    if (!options.force) {
      std::string list;
      for (const auto& f : existing) list += "\n  " + f;
      throw std::runtime_error("a site already exists here (use --force to replace it):" + list);
    }
    for (const auto& f : existing) {
      fs::remove(f, ec);
      fs::remove(f + "-wal", ec);
      fs::remove(f + "-shm", ec);
    }
  }
  for (schema::Database db : kDatabases) {
    schema::createSqliteDatabase(dir + "/" + schema::catalogName(db) + ".db", db, options.demo);
  }
}

}  // namespace

ServerDatabases::ServerDatabases(const ServerOptions& server, bool demo, bool force,
                                 const std::string& alsoExisting)
    : server_(server) {
  const schema::PgLogin admin{server.server, server.adminUser, server.adminPassword};
  std::vector<std::string> names;
  for (schema::Database db : kDatabases) names.push_back(serverDatabaseName(server, db));
  const std::vector<std::string> existing = schema::existingDatabases(admin, names);
  if (!existing.empty() && !force) {
    std::string list = alsoExisting.empty() ? "" : "\n  " + alsoExisting;
    for (const auto& name : existing) list += "\n  database " + name + " on " + server.server;
    throw std::runtime_error("a site already exists here (use --force to replace it):" + list);
  }
  for (const auto& name : existing) schema::dropPostgresDatabase(admin, name);

  madeLogin_ = schema::ensureEngineLogin(admin, server.dbUser, server.dbPassword);
  try {
    for (schema::Database db : kDatabases) {
      schema::createPostgresDatabase(admin, serverDatabaseName(server, db), db, demo,
                                     server.dbUser);
      made_.push_back(serverDatabaseName(server, db));
    }
    // The engine must be able to log in with what the configuration file will say.
    schema::PgAdmin probe({server.server, server.dbUser, server.dbPassword}, made_.front());
    probe.value("SELECT count(*) FROM preferences");
  } catch (const std::runtime_error& e) {
    undo();
    throw std::runtime_error(std::string(e.what()) + " (nothing was left on the server)");
  }
}

ServerDatabases::~ServerDatabases() {
  try {
    undo();
  } catch (...) {
    // Destructors never throw; what could not be dropped stays on the server.
  }
}

void ServerDatabases::undo() {
  if (kept_) return;
  kept_ = true;
  const schema::PgLogin admin{server_.server, server_.adminUser, server_.adminPassword};
  for (const auto& name : made_) schema::dropPostgresDatabase(admin, name);
  if (madeLogin_)
    schema::PgAdmin(admin, "postgres").exec("DROP ROLE " + schema::quoteName(server_.dbUser));
}

std::string serverDatabaseName(const ServerOptions& server, schema::Database db) {
  return server.dbPrefix + schema::catalogName(db);
}

std::string siteConnectionString(const std::string& dir, const ServerOptions& server,
                                 schema::Database db) {
  if (server.server.empty()) return connectionString(dir, schema::catalogName(db), "sa", "8642");
  return connectionString(server.server, serverDatabaseName(server, db), server.dbUser,
                          server.dbPassword);
}

std::string siteConfigText(const std::string& dir, const std::string& password,
                           const ServerOptions& server) {
  auto line = [&](schema::Database db) { return siteConnectionString(dir, server, db); };
  const char* crlf = "\r\n";
  std::string text;
  text += password + crlf;
  text += line(schema::Database::Main) + crlf;
  text += std::string("sa") + crlf + "8642" + crlf;
  text += line(schema::Database::Ingram) + crlf;
  text += std::string("sa") + crlf + "8642" + crlf;
  text += line(schema::Database::TechData) + crlf;
  text += std::string("sa") + crlf + "8642" + crlf;
  text += "qbCompanyFile=" + dir + "/company.qbw" + crlf;
  return text;
}

void checkServerOptions(const ServerOptions& server) {
  checkSetting("the server", server.server);
  if (server.server.empty() || server.server.front() == '/' || server.server.front() == '.')
    throw std::runtime_error("the server must be a host name or address, with :PORT if needed");
  const size_t colon = server.server.rfind(':');
  if (colon != std::string::npos &&
      (colon + 1 == server.server.size() ||
       server.server.find_first_not_of("0123456789", colon + 1) != std::string::npos)) {
    throw std::runtime_error("the server's port must be a number: " + server.server);
  }
  if (server.dbUser.empty()) throw std::runtime_error("the database login (--db-user) is missing");
  checkSetting("the database login", server.dbUser);
  checkSetting("the database password", server.dbPassword);
  for (char c : server.dbPrefix) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
      throw std::runtime_error("the database name prefix may hold only a-z, 0-9 and _: " +
                               server.dbPrefix);
  }
}

void writeSiteConfig(const std::string& ini, const std::string& text) {
  const std::string tmp = ini + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) throw std::runtime_error("cannot write " + tmp);
  }
  std::error_code ec;
  fs::rename(tmp, ini, ec);
  if (ec) throw std::runtime_error("cannot write " + ini + ": " + ec.message());
}

void createSite(const SiteOptions& options) {
  if (options.siteId.empty() || options.siteId.find_first_of("/\\") != std::string::npos) {
    throw std::runtime_error("the site id must be a plain name, such as kestrin");
  }
  checkPassword(options.password);
  const bool onServer = !options.server.server.empty();
  if (onServer) checkServerOptions(options.server);

  std::error_code ec;
  fs::create_directories(options.dir, ec);
  if (ec) throw std::runtime_error("cannot create " + options.dir + ": " + ec.message());
  std::string dir = fs::canonical(options.dir, ec).string();
  if (ec) throw std::runtime_error("cannot use " + options.dir + ": " + ec.message());
  checkValue("the site folder", dir);

  const std::string ini = dir + "/" + options.siteId + ".ini";
  if (!onServer) {
    createSqliteSite(dir, ini, options);
    if (options.demo) makeCompanyFile(dir);
    // The configuration file comes last: a site is usable only once its databases are complete.
    writeSiteConfig(ini, siteConfigText(dir, options.password, options.server));
    return;
  }
  const bool iniExists = fs::exists(ini);
  if (iniExists && !options.force)
    throw std::runtime_error("a site already exists here (use --force to replace it):\n  " + ini);
  if (options.demo && fs::exists(companyFile(dir)) && !options.force) {
    throw std::runtime_error("a site already exists here (use --force to replace it):\n  " +
                             companyFile(dir));
  }
  ServerDatabases databases(options.server, options.demo, options.force, iniExists ? ini : "");
  if (options.demo) makeCompanyFile(dir);
  writeSiteConfig(ini, siteConfigText(dir, options.password, options.server));
  databases.keep();
}

std::vector<std::string> readSiteConfig(const std::string& ini) {
  SiteConfigReader reader(ini);
  std::vector<std::string> values;
  try {
    for (int i = 0; i < 11; ++i) values.push_back(reader.next());
  } catch (const Error& e) {
    throw std::runtime_error("cannot read " + ini + ": " + e.description());
  }
  return values;
}

void changeSitePassword(const std::string& dir, const std::string& siteId,
                        const std::string& password) {
  if (siteId.empty() || siteId.find_first_of("/\\") != std::string::npos) {
    throw std::runtime_error("the site id must be a plain name, such as kestrin");
  }
  checkPassword(password);
  const std::string ini = dir + "/" + siteId + ".ini";
  std::ifstream in(ini, std::ios::binary);
  if (!in) throw std::runtime_error("there is no site configuration file " + ini);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  // Line 1 ends at the first line end; a reader would also end it at a comma.
  size_t end = text.find_first_of("\r\n");
  std::string rest = end == std::string::npos ? "\r\n" : text.substr(end);
  const std::string tmp = ini + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << password << rest;
    if (!out.flush()) throw std::runtime_error("cannot write " + tmp);
  }
  std::error_code ec;
  fs::permissions(tmp, fs::status(ini, ec).permissions(), ec);
  fs::rename(tmp, ini, ec);
  if (ec) throw std::runtime_error("cannot write " + ini + ": " + ec.message());
}

}  // namespace kestrin::tools

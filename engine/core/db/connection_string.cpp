#include <filesystem>

#include "../text.h"
#include "kestrin/error.h"
#include "session.h"

namespace kestrin::db {

namespace {
const char* const kSource = "kestrin.Connection";

bool isFolderPath(const std::string& dataSource) {
  if (dataSource.find('/') != std::string::npos || dataSource.starts_with(".")) return true;
  std::error_code ec;
  return std::filesystem::is_directory(dataSource, ec);
}
}  // namespace

ConnectionTarget parseConnectionString(const std::string& connectionString) {
  if (trim(connectionString).empty()) {
    raise(kErrProvider, "The connection string is empty.", kSource);
  }
  std::string provider, dataSource, catalog, user, password;
  for (const std::string& piece : split(connectionString, ";")) {
    if (trim(piece).empty()) continue;
    size_t eq = piece.find('=');
    if (eq == std::string::npos) {
      raise(kErrProvider,
            "The connection string is not valid: '" + trim(piece) + "' is not a setting.", kSource);
    }
    std::string key = lower(trim(piece.substr(0, eq)));
    std::string value = trim(piece.substr(eq + 1));
    if (key == "provider")
      provider = value;
    else if (key == "data source" || key == "server")
      dataSource = value;
    else if (key == "initial catalog" || key == "database")
      catalog = value;
    else if (key == "user id" || key == "uid")
      user = value;
    else if (key == "password" || key == "pwd")
      password = value;
    // Other settings (Persist Security Info, ...) do not concern these backends.
  }
  if (provider.empty()) raise(3706, "The connection string names no Provider.", kSource);
  if (dataSource.empty())
    raise(kErrProvider, "The connection string names no Data Source.", kSource);

  ConnectionTarget target;
  target.user = user;
  target.password = password;
  std::string p = lower(provider);
  if (p == "sqlite") {
    target.file = dataSource;
    return target;
  }
  if (p != "sqloledb" && p != "postgresql") {
    raise(3706, "Provider cannot be found: '" + provider + "'.", kSource);
  }
  if (catalog.empty())
    raise(kErrProvider, "The connection string names no Initial Catalog.", kSource);
  if (isFolderPath(dataSource)) {
    std::string folder = dataSource;
    if (!folder.ends_with("/")) folder += "/";
    target.file = folder + catalog + ".db";
    target.folder = dataSource;
    target.catalog = catalog;
    return target;
  }
  target.backend = ConnectionTarget::Backend::PostgreSQL;
  size_t colon = dataSource.rfind(':');
  target.host = colon == std::string::npos ? dataSource : dataSource.substr(0, colon);
  target.port = colon == std::string::npos ? "" : dataSource.substr(colon + 1);
  target.database = catalog;
  return target;
}

}  // namespace kestrin::db

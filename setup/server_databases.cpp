#include "server_databases.h"

#include <stdexcept>

#include "db/session.h"
#include "sqlite_copy.h"

namespace pelmoray {

void SiteDatabaseMaker::makeDatabase(const kestrin::db::ConnectionTarget& server,
                                     const kestrin::db::AttachRequest& request) {
  using kestrin::schema::Database;
  for (Database db : {Database::Main, Database::Ingram, Database::TechData}) {
    if (request.name == kestrin::schema::catalogName(db)) {
      const kestrin::schema::PgLogin login{
          server.port.empty() ? server.host : server.host + ":" + server.port, server.user,
          server.password};
      kestrin::schema::attachSqliteDatabase(login, request.name, db, request.dataFile);
      return;
    }
  }
  throw std::runtime_error("a site has no database named " + request.name +
                           "; its databases are kestrin, ingram and techdata.");
}

}  // namespace pelmoray

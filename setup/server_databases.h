// How the wizard's attaches make a site's databases on a database server: database kestrin,
// ingram or techdata with the server's tables and procedures of that database (db/postgres/),
// owned by the typed login, and the rows of the delivered database file loaded into it.
#pragma once

#include "db/attach.h"

namespace pelmoray {

class SiteDatabaseMaker : public kestrin::db::ServerDatabaseMaker {
 public:
  void makeDatabase(const kestrin::db::ConnectionTarget& server,
                    const kestrin::db::AttachRequest& request) override;
};

}  // namespace pelmoray

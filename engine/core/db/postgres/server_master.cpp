#include "server_master.h"

#include <exception>
#include <vector>

#include "../../text.h"
#include "../attach.h"
#include "../dialect.h"
#include "kestrin/error.h"
#include "postgres_session.h"

namespace kestrin::db {

namespace {

const char* const kSource = "kestrin.PostgreSQL";
const char* const kMaintenanceDatabase = "postgres";

class ServerMasterSession : public Session {
 public:
  ServerMasterSession(ConnectionTarget server, std::shared_ptr<Session> maintenance)
      : server_(std::move(server)), maintenance_(std::move(maintenance)) {}
  ~ServerMasterSession() override { close(); }

  std::unique_ptr<RowStream> run(const std::string& classicSql) override {
    if (!maintenance_)
      raise(kErrObjectClosed, "Operation is not allowed when the object is closed.", kSource);
    ++statements_;
    TranslatedSql t = translateClassicSql(classicSql, SqlFlavor::PostgreSQL);
    if (!t.call || lower(t.call->name) != "sp_attach_db") refuse();
    attach(readAttachCall(*t.call, kSource));
    return nullptr;
  }
  long long countRows(const std::string&) override { refuse(); }
  std::unique_ptr<RowStream> runWindow(const std::string&, long long, long long) override {
    refuse();
  }
  long long statementCount() const override { return statements_; }
  void close() override {
    if (maintenance_) maintenance_->close();
    maintenance_.reset();
  }
  bool isOpen() const override { return maintenance_ != nullptr; }

 private:
  std::string serverText() const {
    return server_.port.empty() ? server_.host : server_.host + ":" + server_.port;
  }

  [[noreturn]] void refuse() {
    raise(kErrStatement,
          "The master database of server " + serverText() +
              " runs only sp_attach_db; open one of its databases (Initial Catalog) for other "
              "statements.",
          kSource);
  }

  bool databaseExists(const std::string& name) {
    auto rows = maintenance_->run("select datname from pg_database where datname = '" +
                                  sqlEscape(name) + "'");
    std::vector<Variant> row;
    return rows && rows->next(row);
  }

  void attach(const AttachRequest& request) {
    if (databaseExists(request.name)) raiseDatabaseExists(request.name, kSource);
    checkAttachFiles(request, kSource);
    ServerDatabaseMaker* maker = ServerDatabaseMakerScope::current();
    const std::string failed =
        "Cannot attach database '" + request.name + "' on server " + serverText() + ": ";
    if (!maker) {
      raise(kErrProvider, failed + "this program does not make databases on a server.", kSource);
    }
    try {
      maker->makeDatabase(server_, request);
    } catch (const Error&) {
      throw;
    } catch (const std::exception& e) {
      raise(kErrProvider, failed + e.what(), kSource);
    }
  }

  ConnectionTarget server_;
  std::shared_ptr<Session> maintenance_;
  long long statements_ = 0;
};

}  // namespace

std::shared_ptr<Session> openServerMasterSession(const ConnectionTarget& target,
                                                 int timeoutSeconds) {
  ConnectionTarget maintenance = target;
  maintenance.database = kMaintenanceDatabase;
  ConnectionTarget server = target;
  server.database.clear();
  return std::make_shared<ServerMasterSession>(std::move(server),
                                               openPostgresSession(maintenance, timeoutSeconds));
}

}  // namespace kestrin::db

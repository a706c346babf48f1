#include "session.h"

#include <atomic>

#include "../text.h"
#include "kestrin/error.h"
#include "postgres/postgres_session.h"
#include "postgres/server_master.h"
#include "sqlite/folder_server.h"
#include "sqlite/sqlite_session.h"

namespace kestrin::db {

namespace {
std::atomic<long long> gStatementsRun{0};
thread_local long long tWrites = 0;
thread_local long long tStatements = 0;
thread_local long long tCountedStatements = 0;
thread_local int tCountedReads = 0;
}  // namespace

std::shared_ptr<Session> openSession(const ConnectionTarget& target, int timeoutSeconds) {
  if (target.backend == ConnectionTarget::Backend::PostgreSQL) {
    if (lower(target.database) == "master") return openServerMasterSession(target, timeoutSeconds);
    return openPostgresSession(target, timeoutSeconds);
  }
  if (!target.folder.empty() && lower(target.catalog) == "master")
    return openFolderServerSession(target.folder);
  return openSqliteSession(target.file, timeoutSeconds);
}

std::string quotedList(const std::vector<std::string>& values) {
  std::string list;
  for (const std::string& value : values)
    list += (list.empty() ? "'" : ", '") + sqlEscape(value) + "'";
  return list;
}

void raiseUnknownProcedure(const std::string& name, const char* source) {
  raise(kErrStatement, "Could not find stored procedure '" + name + "'.", source);
}

void raiseArgumentCount(const std::string& name, int expected, size_t given, const char* source) {
  raise(kErrStatement,
        "Procedure '" + name + "' expects " + std::to_string(expected) + " argument" +
            (expected == 1 ? "" : "s") + ", but " + std::to_string(given) + " were given.",
        source);
}

void noteStatementRun() {
  gStatementsRun.fetch_add(1, std::memory_order_relaxed);
  ++tStatements;
  if (tCountedReads > 0) ++tCountedStatements;
}

long long statementsRunInProcess() { return gStatementsRun.load(std::memory_order_relaxed); }

long long writesInThread() { return tWrites; }
void noteWriteInThread() { ++tWrites; }

long long statementsInThread() { return tStatements; }
long long countedStatementsInThread() { return tCountedStatements; }

CountedRead::CountedRead() { ++tCountedReads; }
CountedRead::~CountedRead() { --tCountedReads; }

}  // namespace kestrin::db

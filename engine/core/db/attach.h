// The classic attach of a delivered database, as the "master" database of a server runs it:
//
//   EXEC sp_attach_db @dbname = N'NAME', @filename1 = N'DATA FILE', @filename2 = N'LOG FILE'
//
// The data file is an embedded (SQLite) database file whatever the backend; the log file must
// exist. The embedded backend puts the file in place as its folder's NAME.db (folder_server.h); a
// database server makes database NAME and loads the file's rows into it (server_master.h).
// On both, an existing NAME makes the attach fail with "Database 'NAME' already exists. ...", as
// the classic server says.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "dialect.h"

namespace kestrin::db {

struct ConnectionTarget;

struct AttachRequest {
  std::string name;                    // @dbname: letters, digits, '_' and '-'; not master
  std::string dataFile;                // @filename1
  std::optional<std::string> logFile;  // @filename2
};

// Reads the arguments of an sp_attach_db call (named or positional) and checks the name; raises
// a statement error from `source` otherwise.
AttachRequest readAttachCall(const ProcedureCall& call, const char* source);

// Raises a statement error from `source` unless the data file is a sound database file and the
// log file (when named) exists. Reads the files only.
void checkAttachFiles(const AttachRequest& request, const char* source);

[[noreturn]] void raiseDatabaseExists(const std::string& name, const char* source);

// What makes a database on a server from a delivered file: the database layer reads and checks
// the attach, and the program that installs sites says how a database of the site is made. The
// engine has none, so it never makes databases.
class ServerDatabaseMaker {
 public:
  virtual ~ServerDatabaseMaker() = default;
  // Makes database `request.name` (which did not exist a moment ago) on the server and login of
  // `server` and loads the rows of `request.dataFile` into it; leaves nothing behind on failure.
  // Throws kestrin::Error or std::exception with what went wrong.
  virtual void makeDatabase(const ConnectionTarget& server, const AttachRequest& request) = 0;
};

// While it lives, attaches on a server's master database that the calling thread runs use
// `maker`, which must outlive the scope. Scopes nest; destroy in reverse order of creation.
class ServerDatabaseMakerScope {
 public:
  explicit ServerDatabaseMakerScope(ServerDatabaseMaker& maker);
  ~ServerDatabaseMakerScope();
  ServerDatabaseMakerScope(const ServerDatabaseMakerScope&) = delete;
  ServerDatabaseMakerScope& operator=(const ServerDatabaseMakerScope&) = delete;

  // The maker of the innermost scope on this thread; nullptr when there is none.
  static ServerDatabaseMaker* current();

 private:
  ServerDatabaseMaker* outer_;
};

}  // namespace kestrin::db

// The embedded backend's "server": a folder of database files, opened with the catalog "master".
// It runs one statement, the classic attach of a delivered database:
//
//   EXEC sp_attach_db @dbname = N'NAME', @filename1 = N'DATA FILE', @filename2 = N'LOG FILE'
//
// which checks that the data file is a sound database and copies it into place as FOLDER/NAME.db
// (the log file must exist; SQLite keeps its own log beside the database). An existing NAME.db
// makes the attach fail with "Database 'NAME' already exists. ...", as a server says.
#pragma once

#include <memory>
#include <string>

#include "../session.h"

namespace kestrin::db {

// Raises the provider error when `folder` is not a folder (a wrong server name); the text does not
// contain "exist", which the setup wizard reads as "already attached".
std::shared_ptr<Session> openFolderServerSession(const std::string& folder);

}  // namespace kestrin::db

#include "attach.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

#include "../text.h"
#include "kestrin/error.h"

namespace kestrin::db {

namespace {

thread_local ServerDatabaseMaker* tCurrentMaker = nullptr;

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

bool isPlainName(const std::string& name) {
  if (name.empty() || name.size() > 128) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
  }
  return lower(name) != "master";
}

// Raises unless `file` is a sound SQLite database; opened without locks or log, read only.
void requireSoundDatabase(const std::string& file, const char* source) {
  sqlite3* raw = nullptr;
  std::string uri = "file:" + replaceAll(replaceAll(file, "%", "%25"), "?", "%3f") + "?immutable=1";
  uri = replaceAll(uri, "#", "%23");
  int rc = sqlite3_open_v2(uri.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  std::unique_ptr<sqlite3, DbCloser> db(raw);
  std::string verdict;
  if (rc == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(db.get(), "PRAGMA quick_check", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
      rc = sqlite3_step(stmt);
      if (rc == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        verdict = text ? text : "";
        rc = SQLITE_OK;
      }
    }
    sqlite3_finalize(stmt);
  }
  if (rc == SQLITE_OK && verdict == "ok") return;
  std::string reason = rc != SQLITE_OK
                           ? std::string(db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc)) +
                                 " (SQLite error " + std::to_string(rc) + ")"
                           : verdict;
  raise(kErrStatement, "The file \"" + file + "\" is not a database or is damaged: " + reason + ".",
        source);
}

void requireFile(const std::string& file, const char* source) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) {
    raise(kErrStatement,
          "Unable to open the physical file \"" + file + "\": " + std::strerror(errno) + ".",
          source);
  }
  if (!S_ISREG(info.st_mode))
    raise(kErrStatement, "Unable to open the physical file \"" + file + "\": not a file.", source);
}

}  // namespace

AttachRequest readAttachCall(const ProcedureCall& call, const char* source) {
  static const char* const kParams[] = {"dbname", "filename1", "filename2"};
  std::optional<std::string> values[3];
  for (size_t i = 0; i < call.args.size(); ++i) {
    const std::string& named = i < call.argNames.size() ? call.argNames[i] : std::string();
    size_t slot = i;
    if (!named.empty()) {
      slot = 3;
      for (size_t k = 0; k < 3; ++k) {
        if (lower(named) == kParams[k]) slot = k;
      }
      if (slot == 3)
        raise(kErrStatement, "sp_attach_db has no parameter named @" + named + ".", source);
    }
    if (slot >= 3) raise(kErrStatement, "sp_attach_db takes at most three arguments.", source);
    values[slot] = call.args[i].text();
  }
  if (!values[0] || !values[1]) {
    raise(kErrStatement, "sp_attach_db needs @dbname and @filename1.", source);
  }
  if (!isPlainName(*values[0])) {
    raise(kErrStatement,
          "Invalid database name '" + *values[0] +
              "': a name of letters, digits, '_' and '-' is needed, and not master.",
          source);
  }
  return {*values[0], *values[1], values[2]};
}

void checkAttachFiles(const AttachRequest& request, const char* source) {
  requireFile(request.dataFile, source);
  if (request.logFile) requireFile(*request.logFile, source);
  requireSoundDatabase(request.dataFile, source);
}

void raiseDatabaseExists(const std::string& name, const char* source) {
  raise(kErrStatement, "Database '" + name + "' already exists. Choose a different database name.",
        source);
}

ServerDatabaseMakerScope::ServerDatabaseMakerScope(ServerDatabaseMaker& maker)
    : outer_(tCurrentMaker) {
  tCurrentMaker = &maker;
}

ServerDatabaseMakerScope::~ServerDatabaseMakerScope() { tCurrentMaker = outer_; }

ServerDatabaseMaker* ServerDatabaseMakerScope::current() { return tCurrentMaker; }

}  // namespace kestrin::db

#include "folder_server.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>

#include "../../text.h"
#include "../dialect.h"
#include "kestrin/error.h"

namespace kestrin::db {

namespace {

const char* const kSource = "kestrin.SQLite";

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
void requireSoundDatabase(const std::string& file) {
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
        kSource);
}

void requireFile(const std::string& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) {
    raise(kErrStatement,
          "Unable to open the physical file \"" + file + "\": " + std::strerror(errno) + ".",
          kSource);
  }
  if (!S_ISREG(info.st_mode))
    raise(kErrStatement, "Unable to open the physical file \"" + file + "\": not a file.", kSource);
}

[[noreturn]] void raiseExists(const std::string& name) {
  raise(kErrStatement, "Database '" + name + "' already exists. Choose a different database name.",
        kSource);
}

// Copies `from` to `to`, which must not exist: written beside it under another name and linked
// into place, so a reader never sees half a file and two attaches cannot both succeed.
void copyIntoPlace(const std::string& from, const std::string& to, const std::string& name) {
  static std::atomic<unsigned> counter{0};
  std::string temp =
      to + ".attach-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
  auto fail = [&](const std::string& what) {
    std::string reason = std::strerror(errno);
    ::unlink(temp.c_str());
    raise(kErrProvider, "Cannot attach database '" + name + "': " + what + ": " + reason + ".",
          kSource);
  };
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) fail("cannot read \"" + from + "\"");
  int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) {
    ::close(in);
    fail("cannot write into the database folder");
  }
  char block[64 * 1024];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; done < n && ok;) {
      ssize_t w = ::write(out, block + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) ok = false;
      done += w > 0 ? w : 0;
    }
    if (!ok) break;
  }
  ::close(in);
  if (ok && ::fsync(out) != 0) ok = false;
  if (::close(out) != 0) ok = false;
  if (!ok) fail("cannot copy \"" + from + "\"");
  if (::link(temp.c_str(), to.c_str()) != 0) {
    int linkError = errno;
    ::unlink(temp.c_str());
    if (linkError == EEXIST) raiseExists(name);
    errno = linkError;
    fail("cannot place the database file");
  }
  ::unlink(temp.c_str());
}

class FolderServerSession : public Session {
 public:
  explicit FolderServerSession(std::string folder) : folder_(std::move(folder)) {}

  std::unique_ptr<RowStream> run(const std::string& classicSql) override {
    if (!open_)
      raise(kErrObjectClosed, "Operation is not allowed when the object is closed.", kSource);
    ++statements_;
    TranslatedSql t = translateClassicSql(classicSql);
    if (!t.call || lower(t.call->name) != "sp_attach_db") refuse();
    attach(*t.call);
    return nullptr;
  }
  long long countRows(const std::string&) override { refuse(); }
  std::unique_ptr<RowStream> runWindow(const std::string&, long long, long long) override {
    refuse();
  }
  long long statementCount() const override { return statements_; }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }

 private:
  [[noreturn]] void refuse() {
    raise(kErrStatement,
          "The database folder \"" + folder_ +
              "\" runs only sp_attach_db; open one of its databases (Initial Catalog) for other "
              "statements.",
          kSource);
  }

  void attach(const ProcedureCall& call) {
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
        if (slot == 3) {
          raise(kErrStatement, "sp_attach_db has no parameter named @" + named + ".", kSource);
        }
      }
      if (slot >= 3) raise(kErrStatement, "sp_attach_db takes at most three arguments.", kSource);
      values[slot] = call.args[i].text();
    }
    if (!values[0] || !values[1]) {
      raise(kErrStatement, "sp_attach_db needs @dbname and @filename1.", kSource);
    }
    const std::string& name = *values[0];
    if (!isPlainName(name)) {
      raise(kErrStatement,
            "Invalid database name '" + name +
                "': a name of letters, digits, '_' and '-' is needed, and not master.",
            kSource);
    }
    std::string folder = folder_;
    if (!folder.ends_with("/")) folder += "/";
    const std::string target = folder + name + ".db";
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0) raiseExists(name);
    requireFile(*values[1]);
    if (values[2]) requireFile(*values[2]);
    requireSoundDatabase(*values[1]);
    copyIntoPlace(*values[1], target, name);
  }

  std::string folder_;
  bool open_ = true;
  long long statements_ = 0;
};

}  // namespace

std::shared_ptr<Session> openFolderServerSession(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    raise(kErrProvider,
          "Cannot connect to the database folder \"" + folder + "\": there is no such folder.",
          kSource);
  }
  return std::make_shared<FolderServerSession>(folder);
}

}  // namespace kestrin::db

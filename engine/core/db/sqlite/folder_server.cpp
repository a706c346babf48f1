#include "folder_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "../../text.h"
#include "../attach.h"
#include "../dialect.h"
#include "kestrin/error.h"

namespace kestrin::db {

namespace {

const char* const kSource = "kestrin.SQLite";

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
    if (linkError == EEXIST) raiseDatabaseExists(name, kSource);
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
    const AttachRequest request = readAttachCall(call, kSource);
    std::string folder = folder_;
    if (!folder.ends_with("/")) folder += "/";
    const std::string target = folder + request.name + ".db";
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0) raiseDatabaseExists(request.name, kSource);
    checkAttachFiles(request, kSource);
    copyIntoPlace(request.dataFile, target, request.name);
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

#include "exchange_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "delimited_items.h"
#include "kestrin/error.h"
#include "text.h"

namespace kestrin::distributors {

namespace fs = std::filesystem;

namespace {

const char* const kSource = "kestrin";

[[noreturn]] void raiseFileError(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      raise(kErrPathNotFound, "Path not found", kSource);
    case EACCES:
    case EPERM:
    case EROFS:
      raise(kErrPermission, "Permission denied", kSource);
    case ENOSPC:
    case EDQUOT:
      raise(kErrDiskFull, "Disk full", kSource);
    case ENAMETOOLONG:
      raise(kErrBadFileName, "Bad file name or number", kSource);
    default:
      raise(kErrPathAccess, "Path/File access error", kSource);
  }
}

// A path holding a NUL would be cut short by the system and name another file.
void checkPath(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    raise(kErrBadFileName, "Bad file name or number", kSource);
  }
}

}  // namespace

std::string exchangeFolder(const std::string& aPath) { return aPath + "/admin/tdo/"; }

std::string exchangeFileName(const std::string& partno, const std::string& extension) {
  const std::string name = trim(partno) + extension;
  if (name.find_first_of(std::string("/\0", 2)) != std::string::npos) {
    raise(kErrBadFileName, "Bad file name or number", kSource);
  }
  return name;
}

std::string findExchangeFile(const std::string& folder, const std::string& name) {
  checkPath(folder + name);
  struct stat st {};
  if (::stat((folder + name).c_str(), &st) == 0) return folder + name;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return {};
  const std::string wanted = lower(name);
  for (const fs::directory_entry& entry : it) {
    const std::string entryName = entry.path().filename().string();
    if (lower(entryName) == wanted) return folder + entryName;
  }
  return {};
}

std::string requestText(const std::string& partno) {
  return "ST~846SEND\r\nLIN~VP~" + trim(partno) + "\r\nSE~3\r\n";
}

void writeExchangeFile(const std::string& path, const std::string& text) {
  checkPath(path);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) raiseFileError(errno);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : EIO;
      ::close(fd);
      raiseFileError(err);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) raiseFileError(errno);
}

void deleteExchangeFile(const std::string& path) {
  checkPath(path);
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) raiseFileError(errno);
  if ((st.st_mode & S_IWUSR) == 0) raise(kErrPathAccess, "Path/File access error", kSource);
  if (::unlink(path.c_str()) != 0) raiseFileError(errno);
}

std::string readResponseFile(const std::string& path) {
  checkPath(path);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) raiseFileError(errno);
  if (static_cast<unsigned long long>(st.st_size) > kMaxResponseBytes) {
    raise(kErrPathAccess,
          "The response file " + path + " holds " + countText(static_cast<double>(st.st_size)) +
              " bytes, more than the " + countText(kMaxResponseBytes) + " an answer may hold",
          kSource);
  }
  std::string content;
  if (!readSmallFile(path, kMaxResponseBytes, content)) {
    raise(kErrPathAccess, "Path/File access error: cannot read the response file " + path, kSource);
  }
  return content;
}

}  // namespace kestrin::distributors

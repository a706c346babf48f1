#include "file_replace.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "kestrin/error.h"

namespace kestrin::accounting {

namespace {

[[noreturn]] void accessError(const std::string& path, int err) {
  raise(kErrPathAccess, "Path/File access error: " + path + ": " + std::strerror(err), "kestrin");
}

// Owns a file descriptor.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

void replaceFile(const std::string& path, const std::string& content) {
  namespace fs = std::filesystem;
  // A NUL would end the name the system sees early, and the file would land elsewhere.
  if (path.find('\0') != std::string::npos) {
    raise(kErrBadFileName, "Bad file name or number", "kestrin");
  }
  const fs::path target(path);
  if (target.filename().empty()) accessError(path, EISDIR);
  static std::atomic<unsigned> counter{0};

  std::string temp;
  Fd file;
  for (int attempt = 0; file.fd < 0; ++attempt) {
    temp = (target.parent_path() / ("." + target.filename().string() + "." +
                                    std::to_string(::getpid()) + "-" + std::to_string(counter++)))
               .string();
    file.fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.fd < 0 && (errno != EEXIST || attempt > 100)) accessError(path, errno);
  }

  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(file.fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = n < 0 ? errno : EIO;
      ::unlink(temp.c_str());
      accessError(path, err);
    }
    done += static_cast<size_t>(n);
  }
  int fd = file.fd;
  file.fd = -1;
  if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    accessError(path, err);
  }
}

}  // namespace kestrin::accounting

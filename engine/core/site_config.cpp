#include "site_config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "kestrin/error.h"

namespace kestrin {

namespace {
const char* const kSource = "kestrin";
}

std::string siteConfigPath(const std::string& folder, const std::string& siteID) {
  if (siteID.find_first_of(std::string("/\\\0", 3)) != std::string::npos) return {};
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  return path + siteID + ".ini";
}

SiteConfigReader::SiteConfigReader(const std::string& path) {
  fileName_ = std::filesystem::path(path).filename().string();
  if (path.empty()) {
    openError_ = kErrBadFileName;
    return;
  }
  // Read on every opendb, so plain system calls rather than a stream.
  struct stat st {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    openError_ =
        ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? kErrPathAccess : kErrFileNotFound;
    return;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    openError_ = kErrFileNotFound;
    return;
  }
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      content_.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      if (n < 0) openError_ = kErrPathAccess;
      break;
    }
  }
  ::close(fd);
}

std::string SiteConfigReader::next() {
  switch (openError_) {
    case 0:
      break;
    case kErrFileNotFound:
      raise(kErrFileNotFound, "File not found: " + fileName_, kSource);
    case kErrPathAccess:
      raise(kErrPathAccess, "Path/File access error: " + fileName_, kSource);
    default:
      raise(kErrBadFileName, "Bad file name or number", kSource);
  }
  if (pos_ >= content_.size()) raise(kErrPastEndOfFile, "Input past end of file", kSource);
  size_t end = content_.find_first_of(",\r\n", pos_);
  if (end == std::string::npos) end = content_.size();
  std::string value = content_.substr(pos_, end - pos_);
  pos_ = end;
  if (pos_ < content_.size()) {
    if (content_[pos_] == ',') {
      ++pos_;
    } else {
      if (content_[pos_] == '\r') ++pos_;
      if (pos_ < content_.size() && content_[pos_] == '\n') ++pos_;
    }
  }
  return value;
}

}  // namespace kestrin

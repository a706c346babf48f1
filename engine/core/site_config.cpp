#include "site_config.h"

#include <filesystem>
#include <fstream>
#include <sstream>

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
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    openError_ = kErrFileNotFound;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    openError_ = kErrPathAccess;
    return;
  }
  std::ostringstream buf;
  buf << in.rdbuf();
  content_ = buf.str();
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

#include "kestrin/fenwix_drop.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "delimited_items.h"
#include "file_replace.h"
#include "kestrin/error.h"
#include "text.h"

namespace kestrin::accounting {

namespace {

const char* const kSource = "kestrin";
const char* const kDefaultDropFolder = "/var/spool/fenwix/";
// Four short values; anything larger is not a request.
constexpr size_t kMaxRequestBytes = 64 * 1024;

void checkValue(const char* what, const std::string& value) {
  bool misread = value.find_first_of(",\r\n") != std::string::npos || trim(value).starts_with('"');
  if (misread) {
    raise(kErrInvalidCall,
          std::string("Invalid procedure call or argument: ") + what +
              " may not hold a comma or a line break, or begin with a double quote",
          kSource);
  }
}

}  // namespace

std::string fenwixDropFolder() {
  const char* env = std::getenv("FENWIX_DROP");
  std::string folder = env && *env ? env : kDefaultDropFolder;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string dropRequestName(const DropRequest& request) {
  return trim(request.tType) + "_" + trim(request.siteID) + ".txt";
}

std::string writeDropRequest(const std::string& folder, const DropRequest& request) {
  checkValue("siteID", request.siteID);
  checkValue("sitePassword", request.sitePassword);
  checkValue("sPath", request.sPath);
  checkValue("tType", request.tType);
  const std::string name = dropRequestName(request);
  if (name.find_first_of(std::string("/\0", 2)) != std::string::npos || name.starts_with('.')) {
    raise(kErrBadFileName, "Bad file name or number: " + name, kSource);
  }
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  const char* crlf = "\r\n";
  replaceFile(path, request.siteID + crlf + request.sitePassword + crlf + request.sPath + crlf +
                        request.tType + crlf);
  return path;
}

std::vector<std::string> listDropRequests(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    if (it->path().filename().string().starts_with('.')) continue;
    files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

DropRequest readDropRequest(const std::string& path) {
  std::string content;
  if (!readSmallFile(path, kMaxRequestBytes, content)) {
    raise(kErrPathAccess, "Path/File access error: " + path, kSource);
  }
  std::vector<std::string> items = readDelimitedItems(content);
  items.resize(std::max<size_t>(items.size(), 4));
  return {items[0], items[1], items[2], items[3]};
}

}  // namespace kestrin::accounting

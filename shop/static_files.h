// The stylesheet and images, read once from the www folder at start and served from memory:
// a request can only name a file that was there, so no path reaches the file system.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "http_types.h"

namespace kestrin::shop {

class StaticFiles {
 public:
  // Reads every file under `dir` (a missing folder gives no files).
  explicit StaticFiles(const std::string& dir);

  // The file at a request path such as "/images/buy.gif", or nothing. Names are matched
  // without regard to case, as the classic server did.
  std::optional<HttpResponse> serve(const std::string& path) const;
  size_t count() const { return files_.size(); }

 private:
  struct File {
    std::string type;
    std::string body;
  };
  std::map<std::string, File> files_;  // lower-case path from the folder, with a leading "/"
};

}  // namespace kestrin::shop

#include "static_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "text.h"

namespace kestrin::shop {

namespace fs = std::filesystem;

namespace {

std::string contentType(const std::string& name) {
  std::string ext = lower(fs::path(name).extension().string());
  if (ext == ".css") return "text/css; charset=utf-8";
  if (ext == ".js") return "text/javascript; charset=utf-8";
  if (ext == ".gif") return "image/gif";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".png") return "image/png";
  if (ext == ".ico") return "image/x-icon";
  if (ext == ".html" || ext == ".htm") return "text/html; charset=utf-8";
  if (ext == ".txt") return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

}  // namespace

StaticFiles::StaticFiles(const std::string& dir) {
  std::error_code ec;
  if (dir.empty() || !fs::is_directory(dir, ec)) return;
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream body;
    body << in.rdbuf();
    std::string rel = "/" + fs::relative(it->path(), dir, ec).generic_string();
    files_[lower(rel)] = {contentType(rel), body.str()};
  }
}

std::optional<HttpResponse> StaticFiles::serve(const std::string& path) const {
  auto it = files_.find(lower(path));
  if (it == files_.end()) return std::nullopt;
  HttpResponse r;
  r.setHeader("Content-Type", it->second.type);
  r.setHeader("Cache-Control", "public, max-age=3600");
  r.body = it->second.body;
  return r;
}

}  // namespace kestrin::shop

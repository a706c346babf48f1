#include "description_file.h"

#include <filesystem>

#include "delimited_items.h"
#include "kestrin/error.h"
#include "text.h"

namespace kestrin::product {

namespace {

// Description files are a few kilobytes; anything larger is not one.
constexpr size_t kMaxDescriptionBytes = 1 << 20;

bool climbsOut(const std::string& folder) {
  for (const std::string& part : split(folder, "/")) {
    if (part == "..") return true;
  }
  return false;
}

}  // namespace

std::string descriptionFilePath(const std::string& aPath, const std::string& partno) {
  const std::string name = trim(partno);
  if (aPath.empty() || climbsOut(aPath) || aPath.find('\0') != std::string::npos) return {};
  if (name.find_first_of(std::string("/\0", 2)) != std::string::npos) return {};
  return aPath + "/admin/productDescription/" + name + ".descr";
}

bool descriptionFileExists(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_type type = std::filesystem::status(path, ec).type();
  // A file the engine may not look at is there but unreadable; a name the system cannot even
  // look up (too long, say) names no file.
  if (ec) return ec == std::errc::permission_denied;
  return type != std::filesystem::file_type::not_found;
}

std::string readDescriptionFile(const std::string& path) {
  std::error_code ec;
  std::string content;
  if (!std::filesystem::is_regular_file(path, ec) ||
      !readSmallFile(path, kMaxDescriptionBytes, content)) {
    raise(kErrPathAccess,
          "Path/File access error: " + htmlEscape(std::filesystem::path(path).filename().string()) +
              " cannot be read",
          "kestrin");
  }
  std::string html;
  DelimitedItemReader reader(content);
  bool first = true;
  for (std::string item; reader.next(item); first = false) {
    if (!first) html += ' ';
    html += replaceAll(item, "\r\n", "<br>");
  }
  return html;
}

}  // namespace kestrin::product

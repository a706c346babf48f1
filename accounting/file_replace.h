// Writing a whole file so that a reader sees the old content or the new, never a part.
#pragma once

#include <string>

namespace kestrin::accounting {

// Writes `content` to a hidden temporary file beside `path` (".NAME.XXXXXX", made with the
// process's usual permissions), then renames it over `path`. On failure nothing is left behind
// and Error 75 (path/file access error) names the file and the system's reason; a path holding
// a NUL is Error 52 (bad file name).
void replaceFile(const std::string& path, const std::string& content);

}  // namespace kestrin::accounting

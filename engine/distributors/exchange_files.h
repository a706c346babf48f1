// The Tech Data exchange folder of a web site: request files (PART.tdn) that the engine writes
// and response files (PART.tds) that the exchange agent writes beside them. File names are
// matched without regard to case, as on the file system the agent was made for.
#pragma once

#include <cstddef>
#include <string>

namespace kestrin::distributors {

// The largest response file that is read; an answer is a few short lines.
inline constexpr size_t kMaxResponseBytes = 1 << 20;

// aPath + "/admin/tdo/": the exchange folder of the site whose root folder is aPath.
std::string exchangeFolder(const std::string& aPath);

// Trim(partno) + extension. Raises "Bad file name or number" (52) when the part number holds a
// path separator or a NUL, so that no name can reach outside the folder.
std::string exchangeFileName(const std::string& partno, const std::string& extension);

// The path of the entry of `folder` named `name` without regard to case (an exact match first),
// or empty text when there is none.
//
// Every function taking a path raises "Bad file name or number" (52) for one holding a NUL.
std::string findExchangeFile(const std::string& folder, const std::string& name);

// The three lines of a stock request, each ended by CR LF.
std::string requestText(const std::string& partno);

// Writes `text` as the file `path`, replacing an existing one. Raises the classic file errors
// (path not found 76, permission denied 70, disk full 61, path/file access error 75).
void writeExchangeFile(const std::string& path, const std::string& text);

// Deletes the file `path` unless it is read-only, which raises "Path/File access error" (75), as
// a delete without forcing does.
void deleteExchangeFile(const std::string& path);

// The content of a response file; raises a clear error when it cannot be read or is larger than
// kMaxResponseBytes.
std::string readResponseFile(const std::string& path);

}  // namespace kestrin::distributors

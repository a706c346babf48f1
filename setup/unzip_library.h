// Extraction of one zip archive into a folder, in the shape of the classic single-call unzip
// entry: an options record, a table of callbacks that print messages and answer questions, and a
// status number in the classic unzip numbering (0 for success). Built on libzip.
//
// What it adds to libzip: freshen and update (only newer) modes, blanks to underscores, dropping
// the archive's folders, the replace and password prompts, and a printed reason for every
// failure. An entry whose path is absolute or climbs out with ".." is skipped, and nothing is ever
// written through a symbolic link or outside the extraction folder.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace pelmoray {

// Status numbers of an extraction.
namespace unzip_status {
inline constexpr int kOk = 0;
inline constexpr int kWarning = 1;       // some entries were skipped (unsafe path, not replaced)
inline constexpr int kError = 2;         // an entry is damaged (bad CRC, bad data)
inline constexpr int kSevereError = 3;   // the archive's directory is inconsistent
inline constexpr int kNoMemory = 4;      // out of memory
inline constexpr int kNoZip = 9;         // archive missing, unreadable or not a zip archive
inline constexpr int kBadOption = 10;    // the options contradict each other
inline constexpr int kDiskError = 50;    // a folder or file could not be written
inline constexpr int kEndOfFile = 51;    // the archive ends early
inline constexpr int kCancelled = 80;    // the service callback stopped the extraction
inline constexpr int kUnsupported = 81;  // compression or encryption method not supported
inline constexpr int kBadPassword = 82;  // encrypted entries skipped: no or wrong password
}  // namespace unzip_status

// Answers of the replace callback.
inline constexpr int kReplaceNo = 100;    // keep the existing file, ask again for the next one
inline constexpr int kReplaceYes = 102;   // overwrite this file
inline constexpr int kReplaceAll = 103;   // overwrite this and every later file
inline constexpr int kReplaceNone = 104;  // overwrite none: keep this and every later file

// The options record, in the library's field order; flags are 1 or 0.
struct UnzipOptions {
  int16_t extractOnlyNewer = 0;   // update: extract new files and files newer than the disk's
  int16_t spaceToUnderscore = 0;  // blanks in names become underscores
  int16_t promptToOverwrite = 0;  // ask (replace callback) before overwriting
  int16_t quietLevel = 0;         // 0 a line per file, 1 fewer, 2 only failures
  int16_t writeToStdout = 0;      // hand the files' contents to the print callback
  int16_t testOnly = 0;           // read and check every entry, write nothing
  int16_t listOnly = 0;           // nonzero: describe the entries (message callback) only
  int16_t freshenOnly = 0;        // extract only files that exist and are older on disk
  int16_t displayComment = 0;     // print the archive's comment
  int16_t honorDirectories = 1;   // keep the archive's folders (0 puts every file in the folder)
  int16_t overwriteAll = 1;       // overwrite existing files without asking
  int16_t convertLineEnds = 0;    // text files get the system's line ends (CR LF becomes LF)
  int16_t verbose = 0;            // sizes and methods in the per-file lines
  int16_t caseSensitive = 1;      // case rule for matching names against a file list
  int16_t privilege = 0;          // nonzero: apply the permission bits stored in the archive
  std::string zipFile;
  std::string extractDir;  // empty: the current folder
};

// One entry as the listing mode describes it.
struct EntryListing {
  std::string name;
  uint64_t size = 0;
  uint64_t compressedSize = 0;
  int ratioPercent = 0;  // space saved
  std::string method;    // "Stored", "Deflate", ...
  std::time_t modified = 0;
  uint32_t crc = 0;
  bool encrypted = false;
};

struct UnzipCallbacks {
  // Text for the operator (not ended by a zero byte); returns 0.
  std::function<int(const char* text, unsigned long size)> print;
  // Called where the classic library would sound a bell (before a prompt).
  std::function<void()> sound;
  // Before overwriting when asking is on: one of kReplaceNo .. kReplaceNone.
  std::function<int(const char* fileName)> replace;
  // Fills `buffer` (size bytes, zero-ended) with a password and returns 0, or returns 1 for none.
  std::function<int(char* buffer, int size, const char* prompt, const char* entryName)> password;
  // Listing mode: one call per entry.
  std::function<void(const EntryListing& entry)> message;
  // Before each entry; a nonzero answer stops the extraction.
  std::function<int(const char* entryName, unsigned long size)> service;
};

// Extracts (or tests, or lists) the whole archive. Never throws: every failure is a status and
// a printed message.
int singleEntryUnzip(const UnzipOptions& options, const UnzipCallbacks& callbacks);

}  // namespace pelmoray

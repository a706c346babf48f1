// The accounting link server's drop folder and its request files. The engine's Fenwix method
// writes a request; the link server lists, reads and deletes them.
//
// A request file is named Trim(tType) + "_" + Trim(siteID) + ".txt" and holds four lines ended by
// CR LF: siteID, sitePassword, sPath, tType, as given. It is read back as delimited items (an item
// ends at a comma or a line end; blanks and enclosing double quotes are dropped).
#pragma once

#include <string>
#include <vector>

namespace kestrin::accounting {

// The drop folder: the environment variable FENWIX_DROP when it is set, else /var/spool/fenwix/.
// The text ends with "/".
std::string fenwixDropFolder();

struct DropRequest {
  std::string siteID;
  std::string sitePassword;
  std::string sPath;
  std::string tType;
};

// Trim(tType) + "_" + Trim(siteID) + ".txt".
std::string dropRequestName(const DropRequest& request);

// Writes the request file into `folder`, which must exist, and returns its path. The file appears
// whole: it is written under a hidden name and renamed. Refused, writing nothing: a value that
// the server would misread (holding a comma or a line break, or beginning with a double quote:
// error 5), and a file name that would leave the folder or hide the file (a path separator, a
// NUL, a leading dot: error 52).
std::string writeDropRequest(const std::string& folder, const DropRequest& request);

// The request files waiting in `folder`, in name order. Hidden files (a request being written)
// and folders are not requests. A folder that cannot be read gives no requests.
std::vector<std::string> listDropRequests(const std::string& folder);

// Reads a request file's four items; missing items are empty. A file that cannot be read, or is
// larger than any request, is error 75.
DropRequest readDropRequest(const std::string& path);

}  // namespace kestrin::accounting

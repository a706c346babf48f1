// The site configuration file SITE.ini: one value per line (site password, connection strings
// of the main, Ingram Micro and Tech Data databases with their logins, and the company file).
// Readers take the values in sequence; a value ends at a line end and also at a comma.
#pragma once

#include <string>

namespace kestrin {

// FOLDER/SITE.ini. A site id that holds a path separator or NUL is no site id: reading its
// path fails with the bad-file-name error.
std::string siteConfigPath(const std::string& folder, const std::string& siteID);

class SiteConfigReader {
 public:
  // Opens the file; a failure to open is raised by each later next(), not here.
  explicit SiteConfigReader(const std::string& path);

  // The next value. Raises "File not found" (53) when the file could not be opened and
  // "Input past end of file" (62) when no value is left.
  std::string next();

 private:
  std::string content_;
  size_t pos_ = 0;
  int openError_ = 0;
  std::string fileName_;
};

}  // namespace kestrin

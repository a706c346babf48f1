// The link server's database session of one export: the site configuration file siteID + ".ini"
// in the server's folder, the shop database and the Tech Data catalog, and the export's log text.
#pragma once

#include <string>

#include "kestrin/db.h"

namespace kestrin::linkserver {

class ServerSession {
 public:
  // `home` is the folder of the site configuration files.
  explicit ServerSession(std::string home) : home_(std::move(home)) {}

  // Reads the configuration's eleven items (a file that cannot be read raises its error; a short
  // file leaves the missing items empty). When the first item, trimmed, differs from
  // `sitePassword`, opens nothing: the export then fails on its first statement. Otherwise opens
  // conn on item 2 and connTD on item 8 and empties the log.
  void open(const std::string& siteID, const std::string& sitePassword);
  // Closes both connections.
  void close();

  db::Connection conn;
  db::Connection connTD;
  db::Recordset rs;
  std::string sql;
  std::string log;
  // The company file that item 11 names: the file QuickBooks has open for this site.
  std::string siteCompanyFile;

 private:
  std::string home_;
};

// The company file of a configuration line "qbCompanyFile=PATH": the text between the first "="
// and the next one (or the end); empty without "=".
std::string companyFileOfLine(const std::string& line);

}  // namespace kestrin::linkserver

#include "server_session.h"

#include "kestrin/error.h"
#include "site_config.h"
#include "text.h"

namespace kestrin::linkserver {

void ServerSession::open(const std::string& siteID, const std::string& sitePassword) {
  SiteConfigReader reader(siteConfigPath(home_, siteID));
  std::string values[11];
  values[0] = reader.next();  // a missing or unreadable file is the export's failure
  for (size_t i = 1; i < 11; ++i) {
    try {
      values[i] = reader.next();
    } catch (const Error&) {
      break;  // past the end of a short file: the rest stays empty
    }
  }
  if (trim(values[0]) != sitePassword) return;
  conn.open(values[1], "", "");
  connTD.open(values[7], "", "");
  siteCompanyFile = companyFileOfLine(values[10]);
  log.clear();
}

void ServerSession::close() {
  rs = db::Recordset();
  conn.close();
  connTD.close();
}

std::string companyFileOfLine(const std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return {};
  size_t next = line.find('=', eq + 1);
  return line.substr(eq + 1, next == std::string::npos ? std::string::npos : next - eq - 1);
}

}  // namespace kestrin::linkserver

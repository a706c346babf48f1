// The database session of a method: opendb, closedb, getConnString, the catalog connection rule
// and the engine's folder.
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include "db/change_cache.h"
#include "error_modes.h"
#include "kestrin/ecat.h"
#include "site_config.h"
#include "text.h"

namespace kestrin {

namespace {

// The company file path is the text between the first "=" and the next one (or the end).
std::string companyFileOf(const std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return {};
  size_t next = line.find('=', eq + 1);
  return line.substr(eq + 1, next == std::string::npos ? std::string::npos : next - eq - 1);
}

}  // namespace

void eCat::opendb(bool initPref, const std::string& siteID, const std::string& sitePassword) {
  openSite(false, initPref, siteID, sitePassword);
}

std::vector<std::pair<std::string, std::string>> eCat::changeCounters(
    const std::string& siteID, const std::string& sitePassword) {
  std::vector<std::pair<std::string, std::string>> readings;
  try {
    openSite(true, false, siteID, sitePassword);
    for (db::Connection* c : {&conn, &connTD}) {
      std::optional<std::string> counter =
          c->isOpen() ? db::changeCounter(*c->session(), c->database()) : std::nullopt;
      if (!counter) {
        readings.clear();
        break;
      }
      readings.emplace_back(c->database(), *counter);
    }
  } catch (const Error&) {
    readings.clear();
  }
  closedb();
  return readings;
}

void eCat::openSite(bool connectionsOnly, bool initPref, const std::string& siteID,
                    const std::string& sitePassword) {
  const std::string id = siteID;
  const std::string password = sitePassword;
  opendbFailure_ = ErrorRecord{};
  ContinueOnError steps;
  // Each failing step becomes the current error; the first one is also kept as the cause.
  auto step = [&](auto&& work) {
    if (!steps.run(work) && !opendbFailure_.isSet()) opendbFailure_ = currentError();
  };

  std::string values[11];
  SiteConfigReader reader(siteConfigPath(getAppPath(), id));
  for (std::string& value : values) step([&] { value = reader.next(); });

  if (trim(values[0]) != password) {
    if (!opendbFailure_.isSet()) {
      opendbFailure_ = {kErrInvalidCall, "The site password is incorrect for site \"" + id + "\".",
                        "kestrin.opendb"};
    }
    return;
  }

  // A connection still open from an earlier call serves this one: what it knew of the database's
  // changes may be old.
  conn.rereadChangeCounter();
  connTD.rereadChangeCounter();
  step([&] { conn.open(values[1]); });
  connStringIM = values[4];
  connStringTD = values[7];
  step([&] { connTD.open(connStringTD); });
  CompanyFile = companyFileOf(values[10]);
  if (connectionsOnly) return;

  step([&] { applyColorScheme(getPref("colorSchema", "opendb", id, password)); });
  if (initPref) step([&] { prefsInit(); });

  noRecords = false;
  strR.clear();
}

void eCat::closedb() {
  conn.close();
  connTD.close();
  connTD = db::Connection();
  conn = db::Connection();
  rs = db::Recordset();
  rsfilters = db::Recordset();
  rstemp = db::Recordset();
  rsdate = db::Recordset();
}

std::string eCat::getConnString(const std::string& siteID, const std::string& sitePassword) {
  const std::string password = sitePassword;
  ContinueOnError steps;

  std::string values[10];
  SiteConfigReader reader(siteConfigPath(getAppPath(), siteID));
  for (std::string& value : values) steps.run([&] { value = reader.next(); });

  if (trim(values[0]) != password) return "Error: site password is incorrect ..!";
  connStringIM = trim(values[4]);
  connStringTD = trim(values[7]);
  return endCheck(EndCheckForm::ConnString,
                  trim(values[1]) + "|" + connStringIM + "|disabled|" + connStringTD);
}

db::Connection& eCat::catalogConn(bool strCustDb) {
  return optTDdata == "yes" && !strCustDb ? connTD : conn;
}

db::Recordset eCat::run(db::Connection& c) { return c.execute(sql); }

std::string eCat::getAppPath() {
  if (const char* env = std::getenv("KESTRIN_APP_PATH"); env && *env) {
    std::string path = env;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  }
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&companyFileOf), &info) && info.dli_fname) {
    std::error_code ec;
    auto file = std::filesystem::weakly_canonical(info.dli_fname, ec);
    return (ec ? std::filesystem::path(info.dli_fname) : file).parent_path().string();
  }
  return std::filesystem::current_path().string();
}

}  // namespace kestrin

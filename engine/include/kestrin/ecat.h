// eCat: the catalog engine's public object. A page creates one per request, calls a method with
// the request's values and the site's id and password, and writes the returned text into its
// answer. Methods open the site's databases themselves (opendb), build their output in strR and
// close the databases (closedb) before they return; the public variables keep their values
// between calls, so a page can read colours, company details or noRecords afterwards.
//
// Failures leave a method as kestrin::Error; see kestrin/error.h for the current error that some
// methods turn into their own result.
#pragma once

#include <string>

#include "kestrin/db.h"
#include "kestrin/error.h"
#include "kestrin/i2.h"
#include "kestrin/variant.h"

namespace kestrin {

class eCat {
 public:
  // ---- Public variables, in interface order ----
  db::Connection conn;  // the site's main database
  db::Recordset rs;
  db::Recordset rsfilters;
  db::Recordset rstemp;
  db::Recordset rsdate;
  std::string strR;
  std::string sql;
  I2 iPageCurrent;
  I2 iPageSize;
  std::string connStringIM;
  std::string connStringTD;
  db::Connection connTD;  // the Tech Data catalog database
  std::string dHeadingColor, dList1Color, dList2Color;
  std::string sHeadingColor, sList1Color, sList2Color, sCatHeadingColor;
  std::string gfontName;
  std::string varCheckIM;
  std::string siteCname, siteTitle, siteAddress, siteCity, siteState, siteZip, siteCountry;
  std::string sitePhone1, sitePhone2, siteFax;
  std::string siteEmail, siteEmailSales, siteEmailSupport, siteEmailSMS;
  std::string scTopColor, scHeadingColor, scList1Color, scList2Color;
  std::string optInterOrder;
  std::string optSSL;
  std::string optCCEnable;
  std::string optCCProcessor;
  std::string optCCUsername, optCCPassword;
  std::string optTDdata;
  bool noRecords = false;
  std::string darkColor, grpColor, catColor, borderColor;
  std::string CompanyFile;

  // ---- Session and settings ----

  // Reads the site configuration file, checks the password, opens conn and connTD, applies the
  // colour scheme and, with initPref, loads the preferences. Failing steps are recorded as the
  // current error and skipped; a wrong password opens nothing and leaves strR as it was.
  void opendb(bool initPref = true, const std::string& siteID = "",
              const std::string& sitePassword = "");
  // Closes both connections and releases every connection and result set; text variables stay.
  void closedb();
  // Line 2 | Ingram Micro string | "disabled" | Tech Data string, or an error text.
  std::string getConnString(const std::string& siteID = "", const std::string& sitePassword = "");

  std::string getPref(const std::string& items, const std::string& strFrom = "",
                      const std::string& siteID = "", const std::string& sitePassword = "");
  void prefsInit();
  std::string setPref(const std::string& items, const std::string& descr,
                      const std::string& siteID = "", const std::string& sitePassword = "");

  // The folder the engine was loaded from (KESTRIN_APP_PATH overrides it).
  std::string getAppPath();

 private:
  // Sets the four scheme colours from a scheme name; an unknown name changes nothing.
  void applyColorScheme(const std::string& scheme);
  // The catalog connection rule: connTD only when optTDdata is "yes" and strCustDb is false.
  db::Connection& catalogConn(bool strCustDb);
  // Runs `sql` on `c` (forward-only result).
  db::Recordset run(db::Connection& c);
};

}  // namespace kestrin

// Site preferences: getPref, setPref, prefsInit and the colour schemes.
#include <array>

#include "error_modes.h"
#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

namespace {

struct ColorScheme {
  const char* name;
  const char* dark;
  const char* grp;
  const char* cat;
  const char* border;
};

constexpr std::array<ColorScheme, 10> kColorSchemes = {{
    {"blue", "#3F658B", "#A9C2DA", "#E6EDF4", "#666666"},
    {"brick", "#92430A", "#F4BB87", "#F6E8CF", "#666666"},
    {"green", "#22483F", "#B6CEC4", "#F2FEF3", "#666666"},
    {"brown", "#49382A", "#BEB2A7", "#E7E5E1", "#666666"},
    {"rust", "#652709", "#DCAC94", "#EADDD6", "#666666"},
    {"leaf", "#44594A", "#A8B5AB", "#D7DFD7", "#666666"},
    {"green-grey", "#3C5B59", "#ADB9B8", "#E2E5E5", "#666666"},
    {"purple", "#57527E", "#BDBAD1", "#E9E9F7", "#666666"},
    {"yellow-brown", "#655415", "#CDC6A0", "#F7F6E9", "#666666"},
    {"confeti", "#2F4295", "#CCCC99", "#F9F5B0", "#000000"},
}};

struct PrefVariable {
  const char* name;
  std::string eCat::*variable;
  const char* fallback;  // when the preference has no row
};

// The preferences prefsInit loads, in the order it looks them up.
const std::array<PrefVariable, 21> kPrefVariables = {{
    {"gfontName", &eCat::gfontName, "verdana,arial"},
    {"varCheckIM", &eCat::varCheckIM, "no"},
    {"siteTitle", &eCat::siteTitle, " "},
    {"siteCname", &eCat::siteCname, " "},
    {"siteAddress", &eCat::siteAddress, " "},
    {"siteCity", &eCat::siteCity, " "},
    {"siteState", &eCat::siteState, " "},
    {"siteZip", &eCat::siteZip, " "},
    {"siteCountry", &eCat::siteCountry, " "},
    {"sitePhone1", &eCat::sitePhone1, " "},
    {"sitePhone2", &eCat::sitePhone2, " "},
    {"siteFax", &eCat::siteFax, " "},
    {"siteEmail", &eCat::siteEmail, " "},
    {"siteEmailSales", &eCat::siteEmailSales, " "},
    {"siteEmailSupport", &eCat::siteEmailSupport, " "},
    {"siteEmailSMS", &eCat::siteEmailSMS, " "},
    {"optInterOrder", &eCat::optInterOrder, "no"},
    {"optSSL", &eCat::optSSL, "yes"},
    {"optCCUsername", &eCat::optCCUsername, ""},
    {"optCCPassword", &eCat::optCCPassword, ""},
    {"optTDdata", &eCat::optTDdata, "yes"},
}};

}  // namespace

void eCat::applyColorScheme(const std::string& scheme) {
  for (const ColorScheme& s : kColorSchemes) {
    if (scheme == s.name) {
      darkColor = s.dark;
      grpColor = s.grp;
      catColor = s.cat;
      borderColor = s.border;
      return;
    }
  }
}

std::string eCat::getPref(const std::string& items, const std::string& strFrom,
                          const std::string& siteID, const std::string& sitePassword) {
  const std::string name = items;
  const bool opensItself = strFrom != "opendb";
  if (opensItself) opendb(false, siteID, sitePassword);

  sql = "kx_getpref '" + sqlEscape(trim(name)) + "'";
  rstemp = conn.executeCached(sql);
  strR = rstemp.eof() ? "n/a" : rstemp.field("descr").text();

  if (opensItself) closedb();
  return endCheck(
      EndCheckForm::Preference, strR,
      {.sql = {}, .descr = [this] { return rstemp.field("descr").text(); }, .items = name});
}

std::string eCat::setPref(const std::string& items, const std::string& descr,
                          const std::string& siteID, const std::string& sitePassword) {
  const std::string name = items;
  const std::string value = descr;
  opendb(false, siteID, sitePassword);

  sql = "select * from preferences where items = '" + sqlEscape(name) + "'";
  rstemp = conn.execute(sql);
  const bool exists = !rstemp.eof();
  rstemp = db::Recordset();  // the lookup is done; do not hold it open across the write
  const std::string update = "update preferences set descr='" + sqlEscape(value) +
                             "' where items='" + sqlEscape(name) + "'";
  if (exists) {
    sql = update;
    conn.execute(sql);
  } else {
    sql = "insert into preferences (items,descr) values ('" + sqlEscape(name) + "','" +
          sqlEscape(value) + "')";
    try {
      conn.execute(sql);
    } catch (const Error& e) {
      // Another call inserted the same new name between the look-up and this insert: the row
      // exists now, so this call updates it, as it would have had it looked a moment later.
      if (e.number() != kErrIntegrity) throw;
      sql = update;
      conn.execute(sql);
    }
  }

  strR = "Preference : <b>" + htmlEscape(name) + ":" + htmlEscape(value) +
         " </b> has been updated successfully!";
  closedb();
  return strR;
}

void eCat::prefsInit() {
  for (const PrefVariable& p : kPrefVariables) {
    std::string value = getPref(p.name, "opendb", "", "");
    this->*p.variable = value == "n/a" ? p.fallback : value;
  }
  rstemp.close();
}

}  // namespace kestrin

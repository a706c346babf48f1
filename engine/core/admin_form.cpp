// The preferences admin form (setPrefMenu). It only reads: every field shows the public variable of
// the same meaning as opendb and prefsInit left it; the form posts to setPref.asp.
#include <array>

#include "kestrin/ecat.h"

namespace kestrin {

namespace {

struct TextRow {
  const char* label;
  const char* field;
  const char* size;
  std::string eCat::*value;
  // What follows the value attribute; most rows close the cell right after the input.
  const char* ending = "\"></td></tr>";
};

struct SelectRow {
  const char* label;
  const char* field;
  const char* firstValue;
  const char* firstText;
  const char* secondValue;
  const char* secondText;
  std::string eCat::*value;
};

const std::array<TextRow, 11> kColorRows = {{
    {"Listing Heading Color: ", "dHeadingColor", "15", &eCat::dHeadingColor},
    {"Listing Color 1: ", "dList1Color", "15", &eCat::dList1Color},
    {"Listing Color 2: ", "dList2Color", "15", &eCat::dList2Color},
    {"Search Heading Color: ", "sHeadingColor", "15", &eCat::sHeadingColor},
    {"Search Category Heading Color: ", "sCatHeadingColor", "15", &eCat::sCatHeadingColor},
    {"Search List Color 1: ", "sList1Color", "15", &eCat::sList1Color},
    {"Search List Color 2: ", "sList2Color", "15", &eCat::sList2Color},
    {"Shopping Cart Top Menu Color: ", "scTopColor", "15", &eCat::scTopColor},
    {"Shopping Cart Heading Color: ", "scHeadingColor", "15", &eCat::scHeadingColor},
    {"Shopping Cart List Color 1: ", "scList1Color", "15", &eCat::scList1Color},
    {"Shopping Cart List Color 2: ", "scList2Color", "15", &eCat::scList2Color},
}};

const std::array<TextRow, 14> kCompanyRows = {{
    {"Company Name: ", "siteCname", "30", &eCat::siteCname},
    {"Web Site Title: ", "siteTitle", "30", &eCat::siteTitle,
     "\"><font size=-2 color=\"green\">Enter the title for your web site here. It will appear on "
     "the user's browser window.</td></tr>"},
    {"Address: ", "siteAddress", "30", &eCat::siteAddress},
    {"City: ", "siteCity", "20", &eCat::siteCity},
    {"State: ", "siteState", "15", &eCat::siteState},
    {"Zipcode: ", "siteZip", "15", &eCat::siteZip},
    {"Country: ", "siteCountry", "15", &eCat::siteCountry},
    {"Main Phone #: ", "sitePhone1", "15", &eCat::sitePhone1},
    {"Secondary Phone #: ", "sitePhone2", "15", &eCat::sitePhone2},
    {"Fax #: ", "siteFax", "15", &eCat::siteFax},
    {"Main Email Address: ", "siteEmail", "30", &eCat::siteEmail},
    {"Sales Email Address: ", "siteEmailSales", "30", &eCat::siteEmailSales},
    {"Support Email Address: ", "siteEmailSupport", "30", &eCat::siteEmailSupport},
    {"SMS Email Address: ", "siteEmailSMS", "30", &eCat::siteEmailSMS,
     "\"><br><font size=-2 color=\"green\">Optional. Enter the email address for SMS (email to "
     "cellular phone) service. You will alerts on your cell phone when there's a new "
     "order.</font></td></tr>"},
}};

const std::array<SelectRow, 3> kOptionSelects = {{
    {"Accept International Order?: ", "optInterOrder", "yes", "Yes", "no", "No",
     &eCat::optInterOrder},
    {"Enable SSL (https): ", "optSSL", "yes", "Yes", "no", "No", &eCat::optSSL},
    {"Online Credit Card Processor: ", "optCCProcessor", "intellipay", "Intellipay", "none", "None",
     &eCat::optCCProcessor},
}};

const std::array<TextRow, 2> kOptionRows = {{
    {"Intellipay Username: ", "optCCUsername", "15", &eCat::optCCUsername},
    {"Intellipay Password: ", "optCCPassword", "15", &eCat::optCCPassword},
}};

// The label cell shared by text and selection rows, up to the start of the input.
std::string labelCell(const std::string& font, const char* label) {
  return "<tr><td><font face=\"" + font + "\" size=\"-1\">" + label + "</td><td><font face=\"" +
         font + "\" size=\"-1\">";
}

std::string option(const char* value, const char* text, const std::string& current) {
  return std::string("<option value=\"") + value + "\" " + (current == value ? "selected" : "") +
         ">" + text + "</option>";
}

}  // namespace

std::string eCat::setPrefMenu(const std::string& siteID, const std::string& sitePassword) {
  opendb(true, siteID, sitePassword);
  // Every other strict method fails at its first query when the session did not open (wrong
  // site password, database missing); this one has no query of its own, and a form of blank
  // fields would look like a site whose settings were lost.
  conn.requireOpen();

  const std::string& F = gfontName;
  auto textRows = [&](const auto& rows) {
    for (const TextRow& r : rows) {
      strR += labelCell(F, r.label) + "<input type=\"text\" size=\"" + r.size + "\" name=\"" +
              r.field + "\" value=\"" + this->*r.value + r.ending;
    }
  };

  strR += "<form action=\"setPref.asp\" method=\"post\">";
  strR += "Site URL: <input type=\"text\"  size=\"20\" name=\"siteURL\" value=\"siteURL\"><br>";
  strR += "<font color=\"green\" size=-2>Enter full URL to the web site.</font><br><br>";
  strR += "<b>Font <hr width=\"50%\" align=\"left\">";
  strR += "Name: <input type=\"text\"  size=\"20\" name=\"gFontName\" value=\"" + F + "\"><br>";
  strR +=
      "<font color=\"green\" size=-2>Enter font name above. You may specify more that one font as "
      "alternatives. Separate each fonts by a comma.</font><br><br>";

  strR += "<b>Colors</b><hr width=\"50%\" align=\"left\">";
  strR += "<br><img src=\"images/prefcolors.jpg\"><br>";
  strR +=
      "<font size=-2 color=\"green\">*Enter color names or HEX color values below. Please click "
      "on the color table link below for a list of supported color names.</font><br>";
  strR += "<table>";
  textRows(kColorRows);
  strR += "</table>";

  strR += "<br><b>Site & Company Details <hr width=\"50%\" align=\"left\">";
  strR += "<table>";
  textRows(kCompanyRows);
  strR += "</table>";

  strR += "<br><b>Additional Options</b> <hr width=\"50%\" align=\"left\">";
  strR += "<table>";
  for (const SelectRow& r : kOptionSelects) {
    const std::string& current = this->*r.value;
    strR += labelCell(F, r.label) + "<select name=\"" + r.field + "\">" +
            option(r.firstValue, r.firstText, current) +
            option(r.secondValue, r.secondText, current) + "</select></td></tr>";
  }
  textRows(kOptionRows);
  strR += "</table>";

  strR += "<input type=\"hidden\" name=\"action\" value=\"update\">";
  strR += "<br><br><input type=\"submit\" value=\"Save Changes\">";
  strR += "</form>";

  closedb();
  return strR;
}

}  // namespace kestrin

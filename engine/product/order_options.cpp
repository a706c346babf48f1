// The option section of a shop product's order form: one drop-down list per kind the product
// offers, the picture field for products whose picture the buyer chooses, and the chosen picture.
#include "kestrin/ecat.h"
#include "options.h"
#include "text.h"

namespace kestrin {

int eCat::displayOptions(const std::string& partno, const std::string& strSelectPic,
                         const std::string& strPicID) {
  int optionsFlag = 0;
  const bool showChosenPicture = strSelectPic == "yes";
  // The id goes into the statement without quotes: anything but a whole number is no choice.
  const std::optional<long long> pictureId = product::parseOptionId(strPicID);

  strR += "<b>Additional Product Options:</b><br><br>";
  if (showChosenPicture) strR += "<table class=\"text\"><tr><td valign=\"top\">";
  strR += "<table class=\"text\">";

  const product::OfferedOptions offered = product::readOfferedOptions(conn, sql, partno);
  for (size_t i = 0; i < product::kOptionKinds.size(); ++i) {
    if (!offered.lists[i]) continue;
    const product::OptionKind& kind = product::kOptionKinds[i];
    optionsFlag = 1;
    std::string row = std::string("<tr class=\"text\"><td class=\"text\">") + kind.label +
                      "</td><td class=\"text\"><select name=\"" + kind.table +
                      "\" class=\"droplist\"><option value=\"0\">" + kind.prompt + "</option>";
    for (const product::OptionRow& option : product::readOptionRows(conn, sql, partno, kind))
      row += "<option value=\"" + option.id + "\">" + option.descr + "</option>";
    strR += row + "</select></td></tr>";
  }

  if (offered.picture) {
    std::string pictureName;
    if (pictureId) {
      if (auto descr = product::optionDescr(conn, sql, product::kPictureTable, *pictureId))
        pictureName = trim(*descr);
    }
    optionsFlag = 1;
    strR += std::string("<a name=\"picfield\"></a><tr class=\"text\"><td class=\"text\">Picture:") +
            "</td><td class=\"text\"><input type=\"text\" size=\"15\" name=\"" +
            product::kPictureField + "\" value=\"" + pictureName + "\" class=\"field\"></td></tr>";
  }
  strR += "</table>";

  if (showChosenPicture) {
    strR += "</td><td valign=\"top\" class=\"text\">";
    if (pictureId) {
      sql = "select * from pictures where id=" + std::to_string(*pictureId);
      db::Recordset chosen = conn.execute(sql);
      if (!chosen.eof()) {
        strR += "<img src=\"images/special/" + trim(chosen.field("picture").text()) +
                "\" border=\"0\">";
      }
    }
    strR += "</td></tr></table>";
  }
  if (optionsFlag == 0) strR += "--options not available--<br>";
  return optionsFlag;
}

}  // namespace kestrin

// The picture gallery of a shop product: twelve pictures a page, four a row, each with a zoom
// link and, when the buyer chooses the product's picture, a Select button.
#include "kestrin/ecat.h"
#include "options.h"
#include "text.h"

namespace kestrin {

namespace {

constexpr long long kGalleryPageSize = 12;
constexpr int kGalleryRowWidth = 4;

std::string zoomLink(const std::string& picture) {
  return "<a href=\"#\" onclick=\"javascript:window.open('viewpicture.asp?picture=" + picture +
         "','ViewPicture','width=500,height=500,scrollbars,resizable'); return false\">";
}

std::string pagerButton(const char* value, const std::string& partLink, long long page) {
  return std::string("<input type=\"button\" class=\"button_orange\" value=\"") + value +
         "\" onClick=\"javascript:window.location='c_final.asp?partno=" + partLink +
         "&page=" + std::to_string(page) + "&featured=true'\">";
}

}  // namespace

void eCat::displayPictures(const std::string& partno, I2 strPage) {
  const std::string partLink = urlEncode(partno);
  // A product's pictures are few: they are read whole, counted, and the page's rows picked.
  sql = "select * from pictures where part_num='" + sqlEscape(partno) + "' order by descr";
  db::Recordset pictures;
  pictures.open(sql, conn, db::CursorType::Static);
  if (pictures.eof()) return;
  const long long count = pictures.recordCount();

  const bool selectable = product::readOfferedOptions(conn, sql, partno).picture;
  if (selectable) strR += "<br><br>Please click on Select button to select a picture:<br>";
  strR += "<table class=\"stext\" align=\"left\" cellpadding=\"15\">";

  // Counted in 64 bits: a page far beyond the last simply shows no pictures.
  long long page = 1;
  if (strPage.value() > 1 && count > kGalleryPageSize) {
    page = strPage.value();
    for (long long skip = (page - 1) * kGalleryPageSize; skip > 0 && !pictures.eof(); --skip)
      pictures.moveNext();
  }

  int cell = 0;
  for (long long written = 0; written < kGalleryPageSize && !pictures.eof();
       ++written, pictures.moveNext()) {
    if (++cell == 1) strR += "<tr>";
    strR += "<td valign=\"bottom\" class=\"stext\">";
    const std::string picture = trim(pictures.field("picture").text());
    if (!picture.empty()) {
      strR += zoomLink(picture) + "<img src=\"images/special/" + picture +
              "\" align=\"center\" width=\"80\" border=\"0\"></a>";
      if (selectable) {
        strR += "<br>" + zoomLink(picture) + "<img src=\"images/magglass.jpg\" border=\"0\"></a>" +
                "<a href=\"c_final.asp?selectpic=yes&partno=" + partLink +
                "&picid=" + trim(pictures.field("id").text()) +
                "&featured=true\"><img src=\"images/btnSelect.gif\" border=\"0\"></a>";
      }
    }
    strR += "</td>";
    if (cell == kGalleryRowWidth) {
      cell = 0;
      strR += "</tr><tr bgcolor=\"#f2f2f2\" height=\"1\"><td colspan=\"4\"></td></tr>";
    }
  }

  strR += "<tr><td colspan=\"4\" align=\"right\">";
  if (page > 1) strR += pagerButton("Previous", partLink, page - 1);
  if (count > kGalleryPageSize && !pictures.eof())
    strR += " " + pagerButton("Next", partLink, page + 1);
  strR += "</td></tr></table>";
}

}  // namespace kestrin

// The picture gallery and the option section of a shop product's page.
#include <gtest/gtest.h>

#include "product_test_base.h"

namespace kestrin::testing {
namespace {

const char* const kSeparator =
    "</tr><tr bgcolor=\"#f2f2f2\" height=\"1\"><td colspan=\"4\"></td></tr>";
const char* const kPagerRow = "<tr><td colspan=\"4\" align=\"right\">";

class GalleryTest : public ProductTest {
 protected:
  // A shop product with a rich description (so that the page shows its gallery) and `pictures`
  // pictures, named so that their descriptions sort them in id order.
  void addProductWithPictures(int pictures, std::vector<std::string> flags = {}) {
    addProduct(Database::Main, {.part = "G1", .manuPart = "GM", .flags = std::move(flags)});
    addRichDescription(Database::Main, "G1", "Rich");
    char name[16];
    for (int i = 1; i <= pictures; ++i) {
      std::snprintf(name, sizeof name, "View %02d", i);
      addPicture(i, "G1", "g" + std::to_string(i) + ".jpg", name);
    }
  }
  std::string gallery(I2 page) {
    const std::string html = shop("G1", page);
    return between(html, "<b>Item #: </b>GM", "</td></tr></table><br>");
  }
  static std::string pager(const char* value, int page) {
    return std::string("<input type=\"button\" class=\"button_orange\" value=\"") + value +
           "\" onClick=\"javascript:window.location='c_final.asp?partno=G1&page=" +
           std::to_string(page) + "&featured=true'\">";
  }
};

TEST_F(GalleryTest, ThirteenPicturesMakeTwoPages) {
  addProductWithPictures(13);
  const std::string first = gallery(1);
  EXPECT_EQ(count(first, "<td valign=\"bottom\""), 12);
  EXPECT_EQ(count(first, "<tr><td valign=\"bottom\""), 3);
  EXPECT_EQ(count(first, kSeparator), 3);
  EXPECT_NE(first.find("g12.jpg"), std::string::npos);
  EXPECT_EQ(first.find("g13.jpg"), std::string::npos);
  EXPECT_NE(first.find(std::string(kSeparator) + kPagerRow + " " + pager("Next", 2) +
                       "</td></tr></table>"),
            std::string::npos)
      << first;
  EXPECT_EQ(first.find("Previous"), std::string::npos);

  const std::string second = gallery(2);
  EXPECT_EQ(count(second, "<td valign=\"bottom\""), 1);
  EXPECT_NE(second.find("g13.jpg"), std::string::npos);
  EXPECT_NE(
      second.find("</td>" + std::string(kPagerRow) + pager("Previous", 1) + "</td></tr></table>"),
      std::string::npos)
      << second;
  EXPECT_EQ(second.find("Next"), std::string::npos);
}

TEST_F(GalleryTest, TwelvePicturesMakeOnePageWithoutPager) {
  addProductWithPictures(12);
  const std::string first = gallery(1);
  EXPECT_EQ(count(first, "<td valign=\"bottom\""), 12);
  EXPECT_NE(first.find(std::string(kSeparator) + kPagerRow + "</td></tr></table>"),
            std::string::npos);
  EXPECT_EQ(gallery(2), first);
  EXPECT_EQ(gallery(0), first);
  EXPECT_EQ(gallery(-3), first);
}

TEST_F(GalleryTest, LastRowEndsWithASeparatorOnlyWhenFull) {
  struct Case {
    int pictures;
    bool separatorLast;
  };
  for (const Case& c : {Case{8, true}, Case{6, false}, Case{4, true}, Case{1, false}}) {
    SCOPED_TRACE(c.pictures);
    site.exec(Database::Main, "DELETE FROM pictures");
    site.exec(Database::Main, "DELETE FROM products");
    site.exec(Database::Main, "DELETE FROM techdescr");
    addProductWithPictures(c.pictures);
    const std::string html = gallery(1);
    EXPECT_EQ(count(html, "<tr><td valign=\"bottom\""), (c.pictures + 3) / 4);
    EXPECT_EQ(html.find(std::string(kSeparator) + kPagerRow) != std::string::npos, c.separatorLast);
    EXPECT_EQ(html.find("</td>" + std::string(kPagerRow)) != std::string::npos, !c.separatorLast);
  }
}

TEST_F(GalleryTest, APageBeyondTheLastShowsNoPicturesAndAPreviousButton) {
  addProductWithPictures(13);
  const std::string html = gallery(32767);
  EXPECT_EQ(count(html, "<td valign=\"bottom\""), 0);
  EXPECT_NE(html.find(pager("Previous", 32766)), std::string::npos) << html;
  EXPECT_EQ(html.find("::ERROR"), std::string::npos);
}

TEST_F(GalleryTest, SelectablePicturesHaveMagnifierAndSelectButton) {
  addProductWithPictures(2, {"showPicture"});
  site.exec(Database::Main, "UPDATE pictures SET picture = '  ' WHERE id = 2");
  const std::string html = gallery(1);
  const std::string zoom =
      "<a href=\"#\" onclick=\"javascript:window.open('viewpicture.asp?picture=g1.jpg',"
      "'ViewPicture','width=500,height=500,scrollbars,resizable'); return false\">";
  EXPECT_EQ(html,
            "<b>Item #: </b>GM<br><br>Please click on Select button to select a picture:<br>"
            "<table class=\"stext\" align=\"left\" cellpadding=\"15\"><tr>"
            "<td valign=\"bottom\" class=\"stext\">" +
                zoom +
                "<img src=\"images/special/g1.jpg\" align=\"center\" width=\"80\" border=\"0\">"
                "</a><br>" +
                zoom +
                "<img src=\"images/magglass.jpg\" border=\"0\"></a><a "
                "href=\"c_final.asp?selectpic=yes&partno=G1&picid=1&featured=true\"><img "
                "src=\"images/btnSelect.gif\" border=\"0\"></a></td>"
                // An empty file name gives an empty cell that still counts.
                "<td valign=\"bottom\" class=\"stext\"></td>" +
                kPagerRow + "</td></tr></table></td></tr></table><br>");
}

TEST_F(GalleryTest, WithoutShowPictureNoMagnifierNoSelectButtonNoPictureField) {
  addProductWithPictures(3);
  const std::string html = shop("G1");
  EXPECT_EQ(html.find("magglass"), std::string::npos);
  EXPECT_EQ(html.find("btnSelect"), std::string::npos);
  EXPECT_EQ(html.find("Please click on Select"), std::string::npos);
  EXPECT_EQ(html.find("prPicture"), std::string::npos);
}

class OptionsTest : public ProductTest {
 protected:
  std::string options(const std::string& selectPic = "", const std::string& picId = "") {
    const std::string html = shop("O1", 1, selectPic, picId);
    EXPECT_EQ(html.find("::ERROR"), std::string::npos) << html;
    return between(html, "<b>Additional Product Options:</b>", "</form>");
  }
};

TEST_F(OptionsTest, EveryKindInItsOrderWithThePictureField) {
  addProduct(Database::Main,
             {.part = "O1",
              .flags = {"showSizes", "showColors", "showStyles", "showTextures", "showFlavors",
                        "showPackaging", "showSingle", "showGender", "showPicture"}});
  int id = 1;
  for (const char* table : {"prSizes", "prColors", "prStyles", "prTextures", "prFlavors",
                            "prPackaging", "prSingle", "prGender"}) {
    addOption(table, id++, "O1", std::string(table) + " B");
    addOption(table, id++, "O1", std::string(table) + " A");
    addOption(table, id++, "X9", "other product");
  }
  addPicture(40, "O1", "o1-front.jpg", "  Front view  ");
  expectGolden("product/golden/options_all.html", options("yes", " 40 "));
}

TEST_F(OptionsTest, AFlagWithoutRowsShowsThePromptAlone) {
  addProduct(Database::Main, {.part = "O1", .flags = {"showSizes"}});
  EXPECT_EQ(options(),
            "<b>Additional Product Options:</b><br><br><table class=\"text\"><tr class=\"text\">"
            "<td class=\"text\">Sizes:</td><td class=\"text\"><select name=\"prSizes\" "
            "class=\"droplist\"><option value=\"0\">--- Select Size --</option></select></td></tr>"
            "</table><br><br>&nbsp;<input type=\"submit\" class=\"button_orange\" value=\" Buy Now "
            "\" onClick=\"javascript:window.location='cart.asp?action=add&steps=1&part_num=O1&"
            "featured=True';\"><input type=\"hidden\" name=\"prOptions\" value=\"1\"></form>");
}

TEST_F(OptionsTest, NoFlagsMeansNoOptions) {
  addProduct(Database::Main, {.part = "O1"});
  const std::string html = options();
  EXPECT_NE(html.find("<table class=\"text\"></table>--options not available--<br>"),
            std::string::npos);
  EXPECT_NE(html.find("name=\"prOptions\" value=\"0\">"), std::string::npos);
}

TEST_F(OptionsTest, ChosenPictureIdMustBeAWholeNumber) {
  addProduct(Database::Main, {.part = "O1", .flags = {"showPicture"}});
  addPicture(1, "O1", "o1.jpg", "Front");
  const std::string field = "name=\"prPicture\" value=\"";
  const std::string chosen = "<td valign=\"top\" class=\"text\">";
  struct Case {
    std::string picId;
    std::string name;   // in the picture field
    std::string image;  // right of the options table
  };
  const Case cases[] = {
      {"1", "Front", "<img src=\"images/special/o1.jpg\" border=\"0\">"},
      {" 1 ", "Front", "<img src=\"images/special/o1.jpg\" border=\"0\">"},
      {"2", "", ""},
      {"", "", ""},
      {"   ", "", ""},
      {"abc", "", ""},
      {"1 or 1=1", "", ""},
      {"0 union select picture from pictures", "", ""},
      {"-1", "", ""},
      {"1.0", "", ""},
      {"1;delete from pictures", "", ""},
      {"999999999999999999999999", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.picId + "'");
    db::StatementTrace trace;
    const std::string html = options("yes", c.picId);
    EXPECT_NE(html.find(field + c.name + "\" class=\"field\">"), std::string::npos) << html;
    EXPECT_NE(html.find(chosen + c.image + "</td></tr></table>"), std::string::npos) << html;
    // Only a whole number reaches a statement, and then as the number alone.
    std::vector<std::string> byId;
    for (const db::TracedStatement& s : trace.statements()) {
      if (s.sql.find("where id=") != std::string::npos) byId.push_back(s.sql);
    }
    if (c.name.empty()) {
      EXPECT_EQ(byId.empty(), c.picId != "2") << byId.front();
    } else {
      EXPECT_EQ(byId, (std::vector<std::string>{"select descr from pictures where id=1",
                                                "select * from pictures where id=1"}));
    }
  }
  EXPECT_EQ(site.value(Database::Main, "SELECT count(*) FROM pictures"), "1");
  // Without "yes" (exactly) the chosen picture is not shown beside the options.
  for (const char* selectPic : {"", "Yes", "no"}) {
    SCOPED_TRACE(selectPic);
    const std::string html = options(selectPic, "1");
    EXPECT_EQ(html.find("images/special/o1.jpg"), std::string::npos);
    EXPECT_NE(html.find(field + "Front\""), std::string::npos);
  }
}

}  // namespace
}  // namespace kestrin::testing

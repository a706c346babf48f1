#include "search_test_base.h"

namespace kestrin::testing {

void SearchTest::SetUp() {
  CatalogTest::SetUp();
  site.setPreference("optTDdata", "no");
  site.setPreference("colorSchema", "blue");
  site.setPreference("gfontName", "verdana");
}

void SearchTest::addTree(Database db, const std::string& grp, const std::string& descr) {
  addGroup(db, grp, descr);
  addCategory(db, grp, "010", "Category of " + grp);
  addSub(db, grp, "010", "", "All of " + grp);
}

void SearchTest::addCategoryPicture(Database db, const std::string& grp, const std::string& c,
                                    const std::string& descr, const std::string& picture) {
  site.exec(db, "INSERT INTO comcat (grp, cat, descr, picture) VALUES (" + q(grp) + ", " + q(c) +
                    ", " + q(descr) + ", " + q(picture) + ")");
}

void SearchTest::addSubPicture(Database db, const std::string& grp, const std::string& c,
                               const std::string& sub, const std::string& descr,
                               const std::string& picture) {
  site.exec(db, "INSERT INTO comsub (grp, cat, sub, descr, picture) VALUES (" + q(grp) + ", " +
                    q(c) + ", " + q(sub) + ", " + q(descr) + ", " + q(picture) + ")");
}

void SearchTest::addPage(int id, const std::string& title, const std::string& descr,
                         const std::string& pCat, const std::string& pGrp) {
  site.exec(Database::Main,
            "INSERT INTO pages (pageId, pTitle, pDescr, pDetails, pCat, pGrp) VALUES (" +
                std::to_string(id) + ", " + q(title) + ", " + q(descr) + ", '<p>details</p>', " +
                q(pCat) + ", " + q(pGrp) + ")");
}

void SearchTest::addPageNames(const std::string& pCat, const std::string& catName,
                              const std::string& pGrp, const std::string& grpName) {
  site.exec(Database::Main,
            "INSERT INTO pagesCat (pCat, pCatName) VALUES (" + q(pCat) + ", " + q(catName) + ")");
  site.exec(Database::Main,
            "INSERT INTO pagesGrp (pGrp, pgrpname) VALUES (" + q(pGrp) + ", " + q(grpName) + ")");
}

std::vector<std::string> SearchTest::searchLog() const {
  return site.column(Database::Main,
                     "SELECT word || '|' || referer || '|' || stype || '|' || qty FROM searchwords "
                     "ORDER BY stype, word, referer");
}

std::string SearchTest::keywordSearch(const std::string& keyword, const std::string& sType, I2 page,
                                      const std::string& strIP, bool custDb) {
  return cat.search(keyword, sType, page, strIP, "", custDb, SiteFixture::kSiteId,
                    SiteFixture::kPassword);
}

std::string SearchTest::search2(const std::string& keyword, const std::string& sType,
                                const std::string& grp, I2 page, I2 featuredPage, bool custDb) {
  return cat.searchII(keyword, sType, grp, page, "10.0.0.1", "", custDb, featuredPage, "",
                      SiteFixture::kSiteId, SiteFixture::kPassword);
}

std::string SearchTest::smart(const std::string& action, const std::string& pGroup,
                              const std::string& grp, const std::string& c,
                              const std::string& subcat, const std::string& manuf,
                              const std::string& prodline, const std::string& orderby, I2 page,
                              bool custDb) {
  return cat.SmartSearch(action, pGroup, grp, c, subcat, manuf, prodline, orderby, page, "", custDb,
                         0, SiteFixture::kSiteId, SiteFixture::kPassword);
}

std::string SearchTest::filterForm(const std::string& grp, const std::string& c,
                                   const std::string& subcat, const std::string& manuf,
                                   const std::string& prodline, const std::string& orderby,
                                   bool custDb) {
  cat.opendb(true, SiteFixture::kSiteId, SiteFixture::kPassword);
  const std::string result = cat.ViewFilters(grp, c, subcat, manuf, prodline, orderby, custDb);
  EXPECT_EQ(result, "");
  cat.closedb();
  return cat.strR;
}

std::string SearchTest::legacySearch(const std::string& keyword, const std::string& sType, I2 page,
                                     bool custDb, const std::string& strIP) {
  return cat.search_old(keyword, sType, page, strIP, "", custDb, SiteFixture::kSiteId,
                        SiteFixture::kPassword);
}

int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string valuesAfter(const std::string& html, const std::string& mark, char end) {
  std::string values;
  for (size_t at = html.find(mark); at != std::string::npos; at = html.find(mark, at + 1)) {
    const size_t from = at + mark.size();
    values += (values.empty() ? "" : ",") + html.substr(from, html.find(end, from) - from);
  }
  return values;
}

}  // namespace kestrin::testing

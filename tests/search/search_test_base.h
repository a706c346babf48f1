// Sites for the search tests: the catalog rows of the catalog tests, plus content pages,
// category pictures and the search-word log.
#pragma once

#include <string>

#include "catalog_test_base.h"

namespace kestrin::testing {

class SearchTest : public CatalogTest {
 protected:
  void SetUp() override;

  // A group with the category "010" and its empty subcategory: the tree that the featured
  // statements join a product to.
  void addTree(Database db, const std::string& grp, const std::string& descr);
  void addCategoryPicture(Database db, const std::string& grp, const std::string& c,
                          const std::string& descr, const std::string& picture);
  void addSubPicture(Database db, const std::string& grp, const std::string& c,
                     const std::string& sub, const std::string& descr, const std::string& picture);
  void addPage(int id, const std::string& title, const std::string& descr, const std::string& pCat,
               const std::string& pGrp);
  void addPageNames(const std::string& pCat, const std::string& catName, const std::string& pGrp,
                    const std::string& grpName);

  // The search-word log as "word|referer|stype|qty" rows, by type code, word and referer (a
  // fixed order on every backend: the table has no key of its own).
  std::vector<std::string> searchLog() const;

  // Calls on the test site.
  std::string keywordSearch(const std::string& keyword, const std::string& sType, I2 page = 0,
                            const std::string& strIP = "10.0.0.1", bool custDb = false);
  std::string search2(const std::string& keyword, const std::string& sType,
                      const std::string& grp = "", I2 page = 0, I2 featuredPage = 0,
                      bool custDb = false);
  std::string smart(const std::string& action, const std::string& pGroup = "",
                    const std::string& grp = "", const std::string& c = "",
                    const std::string& subcat = "", const std::string& manuf = "",
                    const std::string& prodline = "", const std::string& orderby = "", I2 page = 0,
                    bool custDb = false);
  // ViewFilters as a page runs it: inside an open session, the form read from strR.
  std::string filterForm(const std::string& grp = "", const std::string& c = "",
                         const std::string& subcat = "", const std::string& manuf = "",
                         const std::string& prodline = "", const std::string& orderby = "",
                         bool custDb = false);
  std::string legacySearch(const std::string& keyword, const std::string& sType, I2 page = 0,
                           bool custDb = false, const std::string& strIP = "10.0.0.1");
};

// Number of occurrences of `what` in `text`.
int occurrences(const std::string& text, const std::string& what);
// The texts that follow each `mark` in `html` up to the next `end` character, joined by ",".
std::string valuesAfter(const std::string& html, const std::string& mark, char end);

}  // namespace kestrin::testing

// Search II: the products matching a search, page by page in the results table, on a site that
// reads the distributor catalog under the matching shop products (featured items).
#include "catalog/filters.h"
#include "kestrin/ecat.h"
#include "search_statements.h"
#include "search_words.h"
#include "text.h"

namespace kestrin {

namespace {

// The featured search type of a search type; empty text makes no featured table.
std::string featuredType(const std::string& sType) {
  if (sType == "manuf") return "manupart";
  if (sType == "keyword") return "category";
  if (sType == "all") return "all";
  return "";
}

}  // namespace

std::string eCat::searchII(const std::string& keyword, const std::string& sType,
                           const std::string& grp, I2 page, const std::string& strIP,
                           const std::string& customerid, bool strCustDb, I2 FeaturedPage,
                           const std::string& strFrom, const std::string& siteID,
                           const std::string& sitePassword) {
  const std::string text = keyword, type = sType, group = grp, referer = strIP,
                    customer = customerid, from = strFrom;
  // Called by search, the session is the caller's: it is neither opened nor closed here.
  const bool fromSearch = from == "search";
  if (!fromSearch) opendb(true, siteID, sitePassword);
  strR.clear();
  if (!fromSearch && page.value() == 0) logSearchWord(text, search::logCode(type), referer, false);

  std::string clause = strCustDb ? "" : fullFilterClause(conn, rsfilters, sql);
  // The shop's own groups (codes beginning with z) are left to the featured table.
  if (optTDdata == "yes" && !fromSearch) clause += " and products.grp not like 'z%'";
  // A type other than the three lists nothing.
  const std::optional<std::string> listing = search::listingStatement(type, text, group, clause);
  if (listing) sql = *listing;

  iPageCurrent = page.value() == 0 ? I2(1) : page;
  iPageSize = 15;
  const I2 featuredPage = FeaturedPage.value() == 0 ? I2(1) : FeaturedPage;
  const std::string head =
      "<a HREF=\"search.asp?action=viewitems&grp=" + htmlEscape(group) + "&page=";
  const std::string middle = "&keyword=" + htmlEscape(search::linkText(text)) +
                             "&stype=" + htmlEscape(type) + "&featuredpage=";
  auto link = [&](I2 p, I2 f) { return head + p.text() + middle + f.text() + "\">"; };
  const std::string prevLink = link(iPageCurrent - 1, FeaturedPage);
  const std::string nextLink = link(iPageCurrent + 1, FeaturedPage + 1);
  const std::string featuredPrev = link(iPageCurrent, featuredPage - 1);
  const std::string featuredNext = link(iPageCurrent, featuredPage + 1);

  if (optTDdata == "yes") {
    const std::string kept = sql;
    displayFeatured(featuredType(type), text, "searchII", customer, FeaturedPage, featuredPrev,
                    featuredNext);
    sql = kept;
  }
  if (listing) {
    if (optTDdata != "yes") {
      displayResults(nextLink, prevLink, "searchII", customer, true);
    } else {
      displayResults(nextLink, prevLink, "search2nd", customer, false);
    }
  }
  if (!fromSearch) closedb();
  return strR;
}

}  // namespace kestrin

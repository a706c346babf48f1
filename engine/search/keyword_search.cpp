// The keyword search: the product groups that hold matching products, each linking to its
// Search II listing, and the site's matching content pages; the search-word log.
#include <vector>

#include "catalog/filters.h"
#include "error_modes.h"
#include "kestrin/ecat.h"
#include "search_statements.h"
#include "search_words.h"
#include "text.h"

namespace kestrin {

namespace {

struct ContentPage {
  std::string pageId, title, pCat, pGrp;
};

}  // namespace

std::string eCat::search(const std::string& keyword, const std::string& sType, I2 page,
                         const std::string& strIP, const std::string& customerid, bool strCustDb,
                         const std::string& siteID, const std::string& sitePassword) {
  const std::string text = keyword, type = sType, referer = strIP, customer = customerid;
  const std::string id = siteID, password = sitePassword;
  // On a failing step the session is closed and what was built so far is the answer.
  return withHandler(
      [&] {
        opendb(true, id, password);
        if (page.value() == 0) logSearchWord(text, search::logCode(type), referer, true);
        const std::string clause = strCustDb ? "" : fullFilterClause(conn, rsfilters, sql);

        db::Connection& catalog = optTDdata != "yes" ? conn : connTD;
        // A type other than the three finds no group.
        const std::optional<std::string> groups = search::groupStatement(type, text, clause);
        rs = db::Recordset();
        if (groups) {
          sql = *groups;
          rs = catalog.execute(sql);
        }
        const bool groupFound = rs.isOpen() && !rs.eof();
        strR += "</center>";

        sql = search::contentPagesStatement(text);
        std::vector<ContentPage> pages;
        for (db::Recordset found = conn.execute(sql); !found.eof(); found.moveNext()) {
          pages.push_back({found.field("pageId").text(), found.field("pTitle").text(),
                           found.field("pCat").text(), found.field("pGrp").text()});
        }

        const std::string links =
            "&keyword=" + htmlEscape(search::linkText(text)) + "&sType=" + htmlEscape(type) + "\">";
        if (!groupFound) {
          if (optTDdata != "yes") {
            if (pages.empty()) strR += "<i>No matching products...</i><br>";
          } else {
            // The listing of the distributor catalog replaces what was built so far.
            if (rs.isOpen()) rs.close();
            searchII(text, type, "", page, referer, customer, true, 0, "search", id, password);
          }
        } else {
          strR +=
              "<br>The following are matching item categories. Click on the categories to view "
              "matching products.<br><br>";
          if (optTDdata == "yes") {
            // The shop's own groups (codes beginning with z) that hold matches, first and bold.
            sql = *groups;
            db::Recordset shopGroups = conn.execute(sql);
            for (; !shopGroups.eof(); shopGroups.moveNext()) {
              const std::string grp = shopGroups.field("grp").text();
              sql = "select descr from comgrp where grp='" + sqlEscape(grp) + "' and grp like 'z%'";
              rstemp = conn.executeCached(sql);
              if (rstemp.eof()) continue;
              strR += "- <b><a href=\"search.asp?action=viewitems&grp=" + grp + links +
                      trim(rstemp.field("descr").text()) + "</a><br></b>";
            }
          }
          db::Connection& descriptions = optTDdata == "yes" && !strCustDb ? connTD : conn;
          for (; !rs.eof(); rs.moveNext()) {
            const std::string grp = rs.field("grp").text();
            sql = "kx_grpdescr '" + sqlEscape(grp) + "'";
            rstemp = descriptions.executeCached(sql);
            if (rstemp.eof()) continue;  // a group without a description is left out
            strR += "- <a href=\"search.asp?action=viewitems&grp=" + grp + links +
                    trim(rstemp.field("descr").text()) + "</a><br>";
          }
        }
        strR += "<br>";

        for (const ContentPage& p : pages) {
          sql = "SELECT * FROM pagesCat WHERE pCat='" + sqlEscape(trim(p.pCat)) + "'";
          rstemp = conn.execute(sql);
          const std::string category = rstemp.eof() ? "" : rstemp.field("pCatName").text();
          sql = "SELECT * FROM pagesGrp WHERE pGrp='" + sqlEscape(trim(p.pGrp)) + "'";
          rstemp = conn.execute(sql);
          const std::string group = rstemp.eof() ? "" : rstemp.field("pgrpname").text();
          strR += "- <a href=\"pView.asp?action=viewPDetails&pageId=" + trim(p.pageId) +
                  "&pCatName=" + trim(category) + "&pGrpName=" + trim(group) + "\">" +
                  trim(p.title) + "</a><br>";
        }
        closedb();
        return endCheck(EndCheckForm::Listing, strR);
      },
      [&] {
        closedb();
        return strR;
      });
}

}  // namespace kestrin

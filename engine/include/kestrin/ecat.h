// eCat: the catalog engine's public object. A page creates one per request, calls a method with
// the request's values and the site's id and password, and writes the returned text into its
// answer. Methods open the site's databases themselves (opendb), build their output in strR and
// close the databases (closedb) before they return; the public variables keep their values
// between calls, so a page can read colours, company details or noRecords afterwards.
//
// Failures leave a method as kestrin::Error; see kestrin/error.h for the current error that some
// methods turn into their own result.
#pragma once

#include <chrono>
#include <functional>
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

  // ---- Catalog navigation ----

  // Categories of a group, linking to their subcategory menus or item listings.
  std::string displayCat(const std::string& strGRP, const std::string& strImage = "",
                         bool strCustDb = false, const std::string& siteID = "",
                         const std::string& sitePassword = "");
  // Subcategories of a category, linking to their item listings.
  std::string displaySub(const std::string& grp, const std::string& cat,
                         const std::string& strImage = "", bool strCustDb = false,
                         const std::string& siteID = "", const std::string& sitePassword = "");
  // One page of the products of a category or subcategory, with breadcrumb and featured items.
  std::string displayItems(const std::string& grp, const std::string& cat,
                           const std::string& subcat = "", const std::string& strImage = "",
                           I2 page = 0, const std::string& strKey = "",
                           const std::string& strFilter = "", const std::string& strStype = "",
                           const std::string& customerid = "", bool strCustDb = false,
                           I2 FeaturedPage = 0, const std::string& siteID = "",
                           const std::string& sitePassword = "");
  // Groups of a main category ("Systems", "Storage", ... "Training").
  std::string displayGRP(const std::string& group, const std::string& siteID = "",
                         const std::string& sitePassword = "");
  // The manufacturer menu.
  std::string displayManufList(const std::string& strFrom = "", const std::string& strVendcode = "",
                               const std::string& siteID = "",
                               const std::string& sitePassword = "");
  // One page of a manufacturer's products (a text variant).
  Variant displayManuf(const std::string& vendcode, I2 page = 0, const std::string& grp = "",
                       const std::string& cat = "", const std::string& subcat = "",
                       const std::string& customerid = "", bool strCustDb = false,
                       I2 FeaturedPage = 0, const std::string& siteID = "",
                       const std::string& sitePassword = "");

  // ---- Prices ----

  // Markup factor of a product group (1.15 for a rate of 15), falling back to "m001", then 1.
  // Uses the caller's open session.
  float getRates(const std::string& group = "");
  // Discount factor of a customer (0.9 for a rate of 10); 1 without a customer.
  float getDiscount(const std::string& customerid = "");
  // Markup factor of a handling code (a double); a code without a row fails.
  Variant getHandlingRates(const std::string& id);
  // The customer's rate counted as a markup, else the group's; opens its own session.
  float getRatesII(const std::string& group, const std::string& customerid = "",
                   const std::string& siteID = "", const std::string& sitePassword = "");
  Variant getHandlingRatesII(const std::string& id, const std::string& siteID = "",
                             const std::string& sitePassword = "");

  // ---- Search ----

  // The guided search: action "display" lists the groups of a main category ("Computers", ...
  // "Training"); action "search" lists the products of the chosen group narrowed by the filter
  // form's choices, sorted by `orderby` ("descr", "vend_code", "cost"; anything else by
  // description). Another action gives an empty fragment.
  std::string SmartSearch(const std::string& action, const std::string& pGroup = "",
                          const std::string& grp = "", const std::string& cat = "",
                          const std::string& subcat = "", const std::string& manuf = "",
                          const std::string& prodline = "", const std::string& orderby = "",
                          I2 page = 0, const std::string& customerid = "", bool strCustDb = false,
                          I2 FeaturedPage = 0, const std::string& siteID = "",
                          const std::string& sitePassword = "");
  // Appends the smart search's filter form to strR and returns empty text. Uses the session
  // that the caller opened.
  std::string ViewFilters(const std::string& grp = "", const std::string& cat = "",
                          const std::string& subcat = "", const std::string& manuf = "",
                          const std::string& prodline = "", const std::string& orderby = "",
                          bool strCustDb = false);
  // One page of the products matching a search (sType "manuf", "keyword" or "all"), limited to
  // `grp` when set. strFrom "search": called by search inside its session, which it neither
  // opens nor closes, and the search is not logged.
  std::string searchII(const std::string& keyword, const std::string& sType, const std::string& grp,
                       I2 page = 0, const std::string& strIP = "",
                       const std::string& customerid = "", bool strCustDb = false,
                       I2 FeaturedPage = 0, const std::string& strFrom = "",
                       const std::string& siteID = "", const std::string& sitePassword = "");
  // The product groups and content pages matching a search, as links; logs the search when
  // `page` is 0. A failing step closes the session and answers with what was built.
  std::string search(const std::string& keyword, const std::string& sType, I2 page = 0,
                     const std::string& strIP = "", const std::string& customerid = "",
                     bool strCustDb = false, const std::string& siteID = "",
                     const std::string& sitePassword = "");
  // The legacy one-step search: each matching group with its priced products, one group a page
  // (strCustDb: the featured list, twenty groups a page). Without siteID and sitePassword it
  // opens the default site, as the classic pages call it.
  std::string search_old(const std::string& keyword, const std::string& sType, I2 page = 0,
                         const std::string& strIP = "", const std::string& customerid = "",
                         bool strCustDb = false, const std::string& siteID = "",
                         const std::string& sitePassword = "");

  // ---- Product page ----

  // The body of a product page: item and price, subcategory picture, then for a shop product
  // (strCustDb) its rich description with the picture gallery or its specification table, the
  // order form with its options and the buy button of its price option; for a distributor
  // product its item description file under aPath and its data sheet; then related
  // subcategories. Continue-on-error: a failing step is skipped and the result ends in the
  // "::ERROR::" form with the last statement.
  std::string displayDetail(const std::string& partno, const std::string& aPath = "",
                            const std::string& strImage = "", bool strCustDb = false,
                            const std::string& siteID = "", const std::string& sitePassword = "",
                            const std::string& customerid = "", I2 strPage = 1,
                            const std::string& strSelectPic = "", const std::string& strPicID = "");

  // ---- Cart ----

  // ---- Customers and orders ----

  // ---- Distributor stock ----

  // The stock block of the cart's first step, appended to strR: the item, its price and the
  // real-time stock statement with its Backorder and Buy Now actions. A distributor product
  // (strCustDb False) is asked at Tech Data through the exchange files under aPath/admin/tdo,
  // waiting five seconds for the exchange agent's answer, and at Ingram Micro. Runs in the
  // caller's open session; returns empty text.
  std::string RealInventory(const std::string& partno, const std::string& aPath,
                            const std::string& customerid = "", bool strCustDb = false);
  // Writes the part's stock request file; a failure is appended to strR, not raised.
  void CreateThefile(const std::string& partno, const std::string& aPath);
  // Deletes the part's response file and request file, each where it exists.
  void DeleteTheFile(const std::string& partno, const std::string& aPath);
  // The quantity available at Ingram Micro as decimal text, or "Error". The server and the
  // reseller's account are the site preferences imServer, imCustomerNumber, imBranch and
  // imPassword, read in the caller's open session.
  std::string getQty(const std::string& part_num);

  // The wait between writing a stock request and reading its answer: a real sleep unless
  // replaced (tests replace it, and may write the answer meanwhile).
  using StockWait = std::function<void(std::chrono::milliseconds)>;
  void setStockWait(StockWait wait);

  // ---- Mail ----

  // Sends one message through the site's SMTP server ("smtpserver", host or host:port, port 25
  // by default) with the account of "smtpusername" and "smtppassword". The body goes out as HTML
  // when strHTML is true, else as plain text; To and strCC may list several addresses separated
  // by commas or semicolons; strAttach is accepted and not used. Returns "Passed", or "Not OK:
  // Error: " with the failure, the server and the account (the password masked). Never fails.
  std::string sendEmail(const std::string& strTo, const std::string& strFrom,
                        const std::string& strSubject, const std::string& strMessage, bool strHTML,
                        const std::string& strCC = "", const std::string& strAttach = "",
                        const std::string& siteID = "", const std::string& sitePassword = "");

  // ---- Accounting ----

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
  // The administrator's form of the site settings, posting to setPref.asp; shows the values that
  // opendb with the preferences loaded leaves in the public variables. Fails like any strict
  // method when the site's database does not open.
  std::string setPrefMenu(const std::string& siteID = "", const std::string& sitePassword = "");

  // The folder the engine was loaded from (KESTRIN_APP_PATH overrides it).
  std::string getAppPath();

  // The first failure the last opendb recorded (an unreadable configuration file, a database
  // that did not open, a bad connection string), or the wrong site password it met; number 0
  // when it met none. A method that then fails on the closed connection (3704) reports only that;
  // kestrinctl prints this cause after the error and the page host logs it.
  const ErrorRecord& opendbFailure() const { return opendbFailure_; }

 private:
  // Appends one page of the listing statement in `sql` to strR as the product results table.
  void displayResults(const std::string& nextLink, const std::string& prevLink,
                      const std::string& strFrom, const std::string& customerid, bool strCustDb);
  // Appends the featured shop products that match a request (stype "category", "manuf", "all"
  // or "manupart") above a listing; sets noRecords.
  void displayFeatured(const std::string& stype, const std::string& keyword,
                       const std::string& strFrom, const std::string& customerid, I2 FeaturedPage,
                       const std::string& prevLink, const std::string& nextLink);
  // Appends one page of `sqlText` (run on conn) as the featured table; sets noRecords.
  void displayFeaturedTable(const std::string& nextLink, const std::string& prevLink,
                            I2 FeaturedPage, const std::string& strFrom,
                            const std::string& customerid, bool strCustDb,
                            const std::string& sqlText);
  // The markup rate row of a code through kx_getMarkup, into `into`.
  void lookUpMarkup(const std::string& code, db::Recordset& into);

  // ---- Search (internal) ----

  // Counts a search in the search-word log under its log code: a new row with qty 1, or qty + 1
  // and the new referer. `lookUpReferer` reads the referer column too (as the keyword search
  // does). Clears the current error afterwards.
  void logSearchWord(const std::string& keyword, const std::string& code,
                     const std::string& referer, bool lookUpReferer);

  // ---- Product page (internal) ----

  // Appends page strPage of a product's picture gallery (nothing when it has no pictures).
  void displayPictures(const std::string& partno, I2 strPage);
  // Appends the option selectors of the order form; 1 when at least one was written, else 0.
  int displayOptions(const std::string& partno, const std::string& strSelectPic,
                     const std::string& strPicID);
  // Appends the subcategories of the products whose description begins with `word`.
  void appendRelatedItems(db::Connection& catalog, const std::string& word, const char* flag,
                          const std::string& strImage);

  // ---- Cart (internal) ----

  // ---- Customers and orders (internal) ----

  // ---- Distributor stock (internal) ----

  // Appends the stock statement of a part from the shop's count or the distributors' answers.
  // Never fails: a failing step is recorded as the current error and skipped.
  void ReadTheFile(const std::string& partno, const std::string& aPath, bool strCustDb);
  StockWait stockWait_;

  // ---- Mail (internal) ----

  // ---- Accounting (internal) ----

  // Sets the four scheme colours from a scheme name; an unknown name changes nothing.
  void applyColorScheme(const std::string& scheme);
  // The catalog connection rule: connTD only when optTDdata is "yes" and strCustDb is false.
  db::Connection& catalogConn(bool strCustDb);
  // Runs `sql` on `c` (forward-only result).
  db::Recordset run(db::Connection& c);

  ErrorRecord opendbFailure_;
};

}  // namespace kestrin

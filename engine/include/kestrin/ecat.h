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
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kestrin/db.h"
#include "kestrin/error.h"
#include "kestrin/i2.h"
#include "kestrin/variant.h"

namespace kestrin {

namespace qbxml {
class QBSessionManager;
class MsgSetRequest;
}  // namespace qbxml
namespace accounting {
struct ExportHost;
}  // namespace accounting

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
  // (strCustDb) its rich description with the picture gallery or its technical data table, the
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

  // Changes the cart of `sessionid` by step and lists it: "1" shows the product with its price and
  // real-time stock (or a warning when the cart already holds it), "1a" the form that changes a
  // line's quantity, "2" adds the product at its price with its shipping weight and the nine
  // chosen option ids, "2a" sets a line's quantity (0 removes it). Another step code does
  // nothing. A quantity below the step's minimum answers with the quantity message alone; an
  // error current at the end gives the "::ERROR:" form.
  std::string cartADD(const std::string& steps, const std::string& partno, I2 qty,
                      const std::string& sessionid, const std::string& aPath = "",
                      const std::string& action = "", const std::string& customerid = "",
                      bool strCustDb = false, const std::string& siteID = "",
                      const std::string& sitePassword = "", bool strPci = false, I2 prSizes = 0,
                      I2 prColors = 0, I2 prStyles = 0, I2 prTextures = 0, I2 prFlavors = 0,
                      I2 prPackaging = 0, I2 prSingle = 0, I2 prGender = 0, I2 prPicture = 0);
  // The cart table alone, in its own session (a text variant).
  Variant cartDisplayOnly(const std::string& sessionid, const std::string& action = "",
                          const std::string& steps = "", const std::string& xDescr = "",
                          const std::string& siteID = "", const std::string& sitePassword = "",
                          bool strPci = false, bool strNoShip = false);
  // Appends the cart table of `sessionid` to strR (lines with their options, Change and Remove
  // links, total and shipping weight; fewer on the checkout steps "3b" and "4" and the "CC"
  // description code) and returns empty text. Uses the caller's open session.
  std::string CartDisplay(const std::string& sessionid, const std::string& strSteps = "",
                          const std::string& strXDescription = "", const std::string& action = "",
                          bool strPci = false, bool strNoShip = false);
  // "subtotal|weight" of the cart, or "Failed" when kx_cartTotal gives no row.
  std::string cartTotal(const std::string& sessionid, const std::string& siteID = "",
                        const std::string& sitePassword = "");
  // The cart's lines for an order confirmation, as HTML (<br>) or text (CR LF); "Error" when an
  // error is current at the end.
  std::string CartListItems(const std::string& sessionid, bool isHTML,
                            const std::string& siteID = "", const std::string& sitePassword = "");

  // ---- Customers and orders ----

  // Registers an account under a free username (compared without regard to case) with the next
  // customer id and a markup row of rate 0 (mRate is not used): "Passed|" + id, or the "is
  // taken" message when the username exists; an error current at the end gives the "::ERROR:"
  // form. Two registrations at once never receive the same id.
  std::string AddCustomer(const std::string& username, const std::string& Password,
                          const std::string& cname = "", const std::string& fname = "",
                          const std::string& mname = "", const std::string& lname = "",
                          const std::string& address = "", const std::string& city = "",
                          const std::string& state = "", const std::string& zip = "",
                          const std::string& Country = "", const std::string& phone = "",
                          const std::string& fax = "", const std::string& EMAIL = "",
                          const std::string& mRate = "", const std::string& egroup = "",
                          const std::string& siteID = "", const std::string& sitePassword = "");
  // Rewrites every contact, card and bank column of an account (an omitted argument empties its
  // column); false when an error is current at the end. An unknown id changes nothing.
  bool UpdateCustomer(const std::string& customerid, const std::string& cname = "",
                      const std::string& fname = "", const std::string& mname = "",
                      const std::string& lname = "", const std::string& address = "",
                      const std::string& city = "", const std::string& state = "",
                      const std::string& zip = "", const std::string& Country = "",
                      const std::string& phone = "", const std::string& fax = "",
                      const std::string& EMAIL = "", const std::string& cctype = "",
                      const std::string& CCNumber = "", const std::string& CCExpire = "",
                      const std::string& cebankname = "", const std::string& ceacctno = "",
                      const std::string& ceabarouting = "", const std::string& siteID = "",
                      const std::string& sitePassword = "");
  // "logon=yes|customerid=...|cname=...|...|password=..." when the stored password, trimmed,
  // equals strPassword exactly; otherwise "Failed".
  std::string logon(const std::string& username, const std::string& strPassword,
                    const std::string& siteID = "", const std::string& sitePassword = "");
  // The order number after the highest stored one ("S10001" for the first).
  std::string OrderGetNextOrderID(const std::string& siteID = "",
                                  const std::string& sitePassword = "");
  // Saves the session's cart as an order under the next number: one orderdetail row per cart
  // line whose part is in products, then the orderinfo row, all in one transaction (a failure
  // writes nothing). Card numbers of the four card payments are kept to their last four
  // characters. Two checkouts at once never receive the same number. The cart stays as it is.
  // False when an error is current at the end.
  bool OrderSave(double GrandTotal, double TotalBeforeTaxes, double SubTotal,
                 const std::string& CardType, const std::string& sessionid, float handling,
                 const std::string& customerid = "", const std::string& CCNumber = "",
                 const std::string& CCExpire = "", const std::string& CKNumber = "",
                 const std::string& CKABARouting = "", const std::string& CKBankName = "",
                 float ShipCost = 0, const std::string& ShipMethod = "",
                 const std::string& ShipCompany = "", const std::string& ShipName = "",
                 const std::string& ShipAddress = "", const std::string& shipCity = "",
                 const std::string& ShipState = "", const std::string& ShipZip = "",
                 const std::string& ShipCountry = "", const std::string& CCBankName = "",
                 const std::string& CCbankPhone = "", const std::string& PONum = "",
                 const std::string& siteID = "", const std::string& sitePassword = "");
  // Sets an order's status to any text (Status is left unchanged); an unknown order changes
  // nothing. False when an error is current at the end.
  bool OrderUpdateStatus(const std::string& orderid, std::string& Status,
                         const std::string& siteID = "", const std::string& sitePassword = "");
  // Removes an order and all its lines together. False when an error is current at the end.
  bool OrderDelete(const std::string& orderid, const std::string& siteID = "",
                   const std::string& sitePassword = "");
  // The order history page of a customer: the lines of the orders younger than 30 days, with
  // invoice and tracking links and the return and cancel check boxes posting to
  // update_orders.asp.
  std::string OrderStatus(const std::string& customerid, const std::string& siteID = "",
                          const std::string& sitePassword = "");

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

  // Copy every customer, product or vendor into the company file CompanyFile (one QuickBooks
  // session per record) and write the log ExportCustomerToQBLog.txt, ExportItemsToQBLog.txt or
  // ExportVendorToQBLog.txt to sPath (used as given: it ends with "/"). "Passed", or "Failed ::"
  // with the log so far and the error's description; qbExportItems then adds the company file.
  std::string qbExportCustomer(const std::string& siteID, const std::string& sitePassword,
                               const std::string& sPath = "");
  std::string qbExportItems(const std::string& siteID, const std::string& sitePassword,
                            const std::string& sPath = "");
  // With boOpendb False the vendor export runs on the databases its caller opened.
  std::string qbExportVendor(const std::string& siteID, const std::string& sitePassword,
                             const std::string& sPath = "", bool boOpendb = true);
  // Adds the test customer "wabo" to the company file given (the other arguments are not used)
  // and returns QuickBooks' status and the new ListID as text.
  Variant qbAddCustomer(const std::string& CompanyFile = "", const std::string& customerid = "",
                        const std::string& Name = "", const std::string& address = "",
                        const std::string& address2 = "", const std::string& address3 = "",
                        const std::string& city = "", const std::string& state = "",
                        const Variant& zip = Variant(), const std::string& Country = "",
                        const std::string& phone = "", const std::string& fax = "",
                        const std::string& EMAIL = "", const std::string& fname = "",
                        const std::string& mname = "", const std::string& lname = "");
  // A request set of the newest version the QuickBooks of the session understands; for a
  // QuickBooks that reports no newer version than 1.0 a recommendation to update is appended to
  // strR.
  std::shared_ptr<qbxml::MsgSetRequest> GetLatestMsgSetRequest(
      qbxml::QBSessionManager& SessionManager);
  // The newest qbXML version the QuickBooks of the session reports ("2.1").
  std::string QBFCLatestVersion(qbxml::QBSessionManager& SessionManager);
  // Drops a request for the accounting link server: tType_siteID.txt in the drop folder
  // (FENWIX_DROP, else /var/spool/fenwix/). "Passed" or "Failed".
  std::string Fenwix(const std::string& siteID, const std::string& sitePassword,
                     const std::string& sPath, const std::string& tType);

  // ---- Session and settings ----

  // Reads the site configuration file, checks the password, opens conn and connTD, applies the
  // colour scheme and, with initPref, loads the preferences. Failing steps are recorded as the
  // current error and skipped; a wrong password opens nothing and leaves strR as it was.
  void opendb(bool initPref = true, const std::string& siteID = "",
              const std::string& sitePassword = "");
  // The change counters of the site's main and catalog databases (database, counter value), read
  // with the first steps of opendb alone (configuration file, password, conn and connTD), which
  // are closed again; empty when either database keeps no counter or cannot be opened. The page
  // host reads them once per request to tell whether what it keeps is still current.
  std::vector<std::pair<std::string, std::string>> changeCounters(const std::string& siteID,
                                                                  const std::string& sitePassword);
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
  // The stock note over the listings' stock column: the upsize of the cart row 'upsize', read
  // into rsdate with its statement in `sql`; empty without that row.
  std::string readStockNote();

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

  // Shipping weight of `qty` units of a part: the first word of its kx_getShipWeigth row times
  // qty, 1 when it has no row. A first word that is not a number fails.
  double lineWeight(db::Connection& catalog, const std::string& partno, I2 qty);

  // ---- Customers and orders (internal) ----

  // An account with this username exists (compared as the database compares text).
  bool usernameTaken(const std::string& username);

  // ---- Distributor stock (internal) ----

  // Appends the stock statement of a part from the shop's count or the distributors' answers.
  // Never fails: a failing step is recorded as the current error and skipped.
  void ReadTheFile(const std::string& partno, const std::string& aPath, bool strCustDb);
  StockWait stockWait_;

  // ---- Mail (internal) ----

  // ---- Accounting (internal) ----

  // The export's view of this object: conn, rs, sql, strR, CompanyFile, and the session opened
  // with opendb(False) and closed with closedb when `opensDatabase`.
  accounting::ExportHost exportHost(bool opensDatabase, const std::string& siteID,
                                    const std::string& sitePassword);

  // Sets the four scheme colours from a scheme name; an unknown name changes nothing.
  void applyColorScheme(const std::string& scheme);
  // The catalog connection rule: connTD only when optTDdata is "yes" and strCustDb is false.
  db::Connection& catalogConn(bool strCustDb);
  // Runs `sql` on `c` (forward-only result).
  db::Recordset run(db::Connection& c);

  // opendb, or with `connectionsOnly` its first steps alone (changeCounters).
  void openSite(bool connectionsOnly, bool initPref, const std::string& siteID,
                const std::string& sitePassword);

  ErrorRecord opendbFailure_;
};

}  // namespace kestrin

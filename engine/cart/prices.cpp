// Price factors: group markups, customer discounts and handling codes, from the markup table.
// Factors are single-precision, as every price of the shop is computed with them; a rate of 15
// gives 1.15 held as 1.14999997615814.
#include "kestrin/ecat.h"
#include "text.h"

namespace kestrin {

namespace {

const char* const kDefaultMarkup = "m001";

float markupFactor(double rate) { return static_cast<float>(1 + rate / 100); }
float discountFactor(double rate) { return static_cast<float>((100 - rate) / 100); }

}  // namespace

void eCat::lookUpMarkup(const std::string& code, db::Recordset& into) {
  sql = "kx_getMarkup '" + sqlEscape(code) + "'";
  into = conn.executeCached(sql);
}

float eCat::getRates(const std::string& group) {
  db::Recordset markup;
  // An empty group always takes the default markup, whatever its own lookup would find.
  if (!group.empty()) lookUpMarkup(trim(group), markup);
  if (group.empty() || markup.eof()) lookUpMarkup(kDefaultMarkup, markup);
  return markup.eof() ? 1.0f : markupFactor(markup.field("rate").number());
}

float eCat::getDiscount(const std::string& customerid) {
  if (customerid.empty()) return 1.0f;
  sql = "kx_getCustomerMarkup '" + sqlEscape(customerid) + "'";
  db::Recordset customer = conn.executeCached(sql);
  return customer.eof() ? 1.0f : discountFactor(customer.field("rate").number());
}

Variant eCat::getHandlingRates(const std::string& id) {
  db::Recordset markup;
  lookUpMarkup(id, markup);
  // No fallback: a handling code without a row fails here.
  return Variant(1 + markup.field("rate").number() / 100);
}

float eCat::getRatesII(const std::string& group, const std::string& customerid,
                       const std::string& siteID, const std::string& sitePassword) {
  const std::string grp = group;
  const std::string customer = customerid;
  opendb(true, siteID, sitePassword);
  db::Recordset found;
  if (!customer.empty()) {
    sql = "kx_getCustomerMarkup '" + sqlEscape(customer) + "'";
    found = conn.executeCached(sql);
  }
  if (customer.empty() || found.eof()) {
    lookUpMarkup(trim(grp), found);
    if (found.eof()) lookUpMarkup(kDefaultMarkup, found);
  }
  // Without a group or default row the read fails, and the call with it.
  float factor = markupFactor(found.field("rate").number());
  closedb();
  return factor;
}

Variant eCat::getHandlingRatesII(const std::string& id, const std::string& siteID,
                                 const std::string& sitePassword) {
  const std::string code = id;
  opendb(false, siteID, sitePassword);
  Variant factor = getHandlingRates(code);
  closedb();
  return factor;
}

}  // namespace kestrin

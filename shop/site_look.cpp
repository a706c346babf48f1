#include "site_look.h"

#include <cstdio>
#include <map>

#include "db/change_cache.h"
#include "kestrin/db.h"
#include "kestrin/error.h"
#include "kestrin/methods.h"

namespace kestrin::shop {

namespace {
// The preferences' "one blank" default means "not set".
std::string setOrEmpty(const std::string& v) { return v == " " ? std::string() : v; }
}  // namespace

void applyPageVariables(const SiteLook& look, eCat& cat) {
  for (const auto& [name, value] : look.pageVariables) {
    if (const PublicVariable* v = findVariable(name); v && v->set) v->set(cat, Variant(value));
  }
}

SiteCounters SiteLookCache::counters() const {
  eCat cat;
  SiteCounters counters{cat.changeCounters(engine_.siteId(), engine_.password())};
  // What the opening could not do must not stay as the request's current error.
  clearCurrentError();
  return counters;
}

std::shared_ptr<const SiteLook> SiteLookCache::get(const SiteCounters& counters) const {
  if (!counters.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (kept_ && counters == keptUnder_) return kept_;
  }
  // Made from the tables as they are at or after the reading of `counters`: a change in between
  // raises the counters again, and the next request makes the look anew.
  bool complete = true;
  std::shared_ptr<const SiteLook> look;
  {
    db::CounterDependence watch;
    look = std::make_shared<const SiteLook>(read(complete));
    complete = complete && watch.coveredBy(counters.readings);
  }
  if (!counters.empty() && complete) {
    std::lock_guard<std::mutex> lock(mutex_);
    keptUnder_ = counters;
    kept_ = look;
  }
  return look;
}

SiteLook SiteLookCache::read(bool& complete) const {
  SiteLook look;
  eCat cat;
  cat.opendb(true, engine_.siteId(), engine_.password());
  if (currentError().isSet()) complete = false;
  std::map<std::string, std::string> stored;
  // A failure that opendb skipped (a missing distributor database) must not turn every
  // lookup below into its error form.
  clearCurrentError();
  try {
    for (const char* name :
         {"colorSchema", "dHeadingColor", "dList1Color", "dList2Color", "sHeadingColor",
          "sCatHeadingColor", "sList1Color", "sList2Color", "scTopColor", "scHeadingColor",
          "scList1Color", "scList2Color", "optCCProcessor"}) {
      std::string value = cat.getPref(name, "opendb");
      if (currentError().isSet()) complete = false;
      if (value != "n/a" && !currentError().isSet()) stored[name] = value;
    }
  } catch (const Error& e) {
    complete = false;
    std::fprintf(stderr, "kestrin-shop: the site's preferences cannot be read: error %d: %s\n",
                 e.number(), e.description().c_str());
  }
  cat.closedb();
  look.title = setOrEmpty(cat.siteTitle);
  look.company = setOrEmpty(cat.siteCname);
  look.address = setOrEmpty(cat.siteAddress);
  look.city = setOrEmpty(cat.siteCity);
  look.state = setOrEmpty(cat.siteState);
  look.zip = setOrEmpty(cat.siteZip);
  look.country = setOrEmpty(cat.siteCountry);
  look.phone1 = setOrEmpty(cat.sitePhone1);
  look.phone2 = setOrEmpty(cat.sitePhone2);
  look.fax = setOrEmpty(cat.siteFax);
  look.email = setOrEmpty(cat.siteEmail);
  if (!cat.gfontName.empty()) look.font = cat.gfontName;
  if (!cat.darkColor.empty()) {
    look.dark = cat.darkColor;
    look.group = cat.grpColor;
    look.category = cat.catColor;
    look.border = cat.borderColor;
  }
  look.scheme = stored["colorSchema"];
  const std::pair<const char*, std::string> defaults[] = {
      {"dHeadingColor", look.dark},     {"dList1Color", look.category},
      {"dList2Color", "#FFFFFF"},       {"sHeadingColor", look.dark},
      {"sCatHeadingColor", look.group}, {"sList1Color", look.category},
      {"sList2Color", "#FFFFFF"},       {"scTopColor", look.group},
      {"scHeadingColor", look.dark},    {"scList1Color", look.category},
      {"scList2Color", "#FFFFFF"},      {"optCCProcessor", "none"},
  };
  for (const auto& [name, fallback] : defaults) {
    auto it = stored.find(name);
    look.pageVariables.emplace_back(name, it == stored.end() ? fallback : it->second);
  }
  try {
    eCat menu;
    look.manufacturerMenu = engine_.text(menu, "displayManufList", {});
    if (currentError().isSet()) complete = false;
  } catch (const Error& e) {
    complete = false;
    std::fprintf(stderr, "kestrin-shop: the manufacturer menu failed: error %d: %s (%s)\n",
                 e.number(), e.description().c_str(), e.source().c_str());
  }
  return look;
}

}  // namespace kestrin::shop

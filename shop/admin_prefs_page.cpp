// The admin's preferences page setPref.asp: the engine's form (setPrefMenu) on GET, and on POST
// every field of that form stored with setPref, plus the colour scheme the layout uses.
#include <array>

#include "checkout_charges.h"
#include "kestrin/error.h"
#include "kestrin/methods.h"
#include "page_helpers.h"
#include "text.h"

namespace kestrin::shop {

namespace {

// The form's fields and the preference each is stored under (the form names the font field
// "gFontName"; the preference that is read back is "gfontName").
struct PrefField {
  const char* field;
  const char* preference;
};
const std::array<PrefField, 31> kFields = {{
    {"siteURL", "siteURL"},
    {"gFontName", "gfontName"},
    {"dHeadingColor", "dHeadingColor"},
    {"dList1Color", "dList1Color"},
    {"dList2Color", "dList2Color"},
    {"sHeadingColor", "sHeadingColor"},
    {"sCatHeadingColor", "sCatHeadingColor"},
    {"sList1Color", "sList1Color"},
    {"sList2Color", "sList2Color"},
    {"scTopColor", "scTopColor"},
    {"scHeadingColor", "scHeadingColor"},
    {"scList1Color", "scList1Color"},
    {"scList2Color", "scList2Color"},
    {"siteCname", "siteCname"},
    {"siteTitle", "siteTitle"},
    {"siteAddress", "siteAddress"},
    {"siteCity", "siteCity"},
    {"siteState", "siteState"},
    {"siteZip", "siteZip"},
    {"siteCountry", "siteCountry"},
    {"sitePhone1", "sitePhone1"},
    {"sitePhone2", "sitePhone2"},
    {"siteFax", "siteFax"},
    {"siteEmail", "siteEmail"},
    {"siteEmailSales", "siteEmailSales"},
    {"siteEmailSupport", "siteEmailSupport"},
    {"siteEmailSMS", "siteEmailSMS"},
    {"optInterOrder", "optInterOrder"},
    {"optSSL", "optSSL"},
    {"optCCProcessor", "optCCProcessor"},
    {"optCCUsername", "optCCUsername"},
}};

const char* const kSchemes[] = {"blue", "brick",      "green",  "brown",        "rust",
                                "leaf", "green-grey", "purple", "yellow-brown", "confeti"};

std::string schemeChooser(const std::string& current) {
  std::string html =
      "<p class=\"text\"><b>Colour scheme of the shop:</b> <select name=\"colorSchema\" "
      "class=\"droplist\">";
  for (const char* s : kSchemes) {
    html += std::string("<option value=\"") + s + "\"" + (current == s ? " selected" : "") + ">" +
            s + "</option>";
  }
  return html + "</select></p>";
}

// The checkout's charges, as stored, for the form.
std::string chargeFields(const EngineCaller& engine) {
  eCat cat;
  cat.opendb(true, engine.siteId(), engine.password());
  clearCurrentError();
  std::string html = "<p class=\"text\"><b>Checkout charges:</b></p>";
  for (const ChargePreference& c : kChargePreferences) {
    std::string v = trim(cat.getPref(c.name, "opendb"));
    double number = c.fallback;
    if (currentError().isSet() || !chargeValue(v, number)) v = plainMoney(c.fallback);
    clearCurrentError();
    html += inputField(c.label, c.name, v, false);
  }
  cat.closedb();
  return html;
}

HttpResponse prefsPage(PageContext& ctx) {
  std::string notice;
  if (ctx.isPost() && ctx.value("action") == "update") {
    int saved = 0;
    auto store = [&](const std::string& preference, const std::string& value) {
      eCat cat;
      ctx.shop.engine().text(cat, "setPref", {{"items", preference}, {"descr", value}});
      ++saved;
    };
    for (const PrefField& f : kFields) {
      if (ctx.values.formAll(f.field).empty()) continue;
      store(f.preference, ctx.values.formAll(f.field).front());
    }
    // The card processor's password is the last field of the form.
    if (!ctx.values.formAll("optCCPassword").empty()) {
      store("optCCPassword", ctx.values.formAll("optCCPassword").front());
    }
    std::string scheme = ctx.value("colorSchema");
    for (const char* s : kSchemes) {
      if (scheme == s) store("colorSchema", scheme);
    }
    std::string refused;
    for (const ChargePreference& c : kChargePreferences) {
      std::vector<std::string> posted = ctx.values.formAll(c.name);
      double number = 0;
      if (posted.empty() || trim(posted.front()).empty()) continue;
      if (chargeValue(posted.front(), number)) {
        store(c.name, trim(posted.front()));
      } else {
        refused += "<div class=\"error\">" + htmlEscape(c.label) +
                   " must be a number of 0 or more; it was not saved.</div>";
      }
    }
    notice = "<div class=\"done\">Saved " + std::to_string(saved) + " preferences.</div>" + refused;
  }
  const SiteLook& look = ctx.look();
  eCat cat;
  applyPageVariables(look, cat);
  std::string form = ctx.shop.engine().text(cat, "setPrefMenu", {});
  // The scheme chooser goes inside the engine's form, before its hidden action field.
  size_t at = form.find("<input type=\"hidden\" name=\"action\"");
  if (at != std::string::npos) {
    form.insert(at, schemeChooser(look.scheme) + chargeFields(ctx.shop.engine()));
  }
  return ctx.page("Site preferences", heading("Site preferences") + notice + fragment(ctx, form));
}

}  // namespace

void addAdminPrefsPage(Shop& shop) {
  if (EngineCaller::has("setPrefMenu")) shop.addPage("setPref.asp", prefsPage, true);
}

}  // namespace kestrin::shop

#include "method_table.h"

#include <cmath>

#include "error_modes.h"
#include "kestrin/error.h"
#include "text.h"

namespace kestrin {

MethodArg textArg(std::string name, bool optional) {
  return {std::move(name), ArgKind::Text, optional, Variant(std::string())};
}
MethodArg requiredText(std::string name) { return textArg(std::move(name), false); }
std::vector<MethodArg> withSite(std::vector<MethodArg> args) {
  args.push_back(textArg("siteID"));
  args.push_back(textArg("sitePassword"));
  return args;
}
MethodArg flagArg(std::string name, bool fallback) {
  return {std::move(name), ArgKind::Flag, true, Variant(fallback)};
}
MethodArg int16Arg(std::string name, int fallback) {
  return {std::move(name), ArgKind::Int16, true, Variant(fallback)};
}

const std::vector<MethodInfo>& engineMethods() {
  static const MethodTable table = [] {
    MethodTable t;
    addCoreMethods(t);
    addCatalogMethods(t);
    addPriceMethods(t);
    addSearchMethods(t);
    addProductMethods(t);
    addCartMethods(t);
    addOrderMethods(t);
    addDistributorMethods(t);
    addMailMethods(t);
    addAccountingMethods(t);
    for (MethodInfo& m : t) m.invoke = atMethodBoundary(std::move(m.invoke));
    return t;
  }();
  return table;
}

MethodInfo::Invoke atMethodBoundary(MethodInfo::Invoke invoke) {
  return [invoke = std::move(invoke)](eCat& c, const std::vector<Variant>& values) {
    return atBoundary([&] { return invoke(c, values); });
  };
}

const MethodInfo* findMethod(std::string_view name) {
  for (const MethodInfo& m : engineMethods()) {
    if (m.name == name) return &m;
  }
  return nullptr;
}

Variant convertArgument(ArgKind kind, const std::string& text) {
  switch (kind) {
    case ArgKind::Text:
      return Variant(text);
    case ArgKind::Flag: {
      std::string t = lower(trim(text));
      if (t == "true" || t == "-1" || t == "1") return Variant(true);
      if (t == "false" || t == "0") return Variant(false);
      raise(kErrTypeMismatch, "Type mismatch: '" + text + "' is not True or False", "kestrin");
    }
    case ArgKind::Int16: {
      if (!isNumeric(text))
        raise(kErrTypeMismatch, "Type mismatch: '" + text + "' is not a number", "kestrin");
      return Variant(static_cast<int>(toI2(Variant(text).number()).value()));
    }
    case ArgKind::Single:
      if (!isNumeric(text))
        raise(kErrTypeMismatch, "Type mismatch: '" + text + "' is not a number", "kestrin");
      return Variant(static_cast<float>(Variant(text).number()));
    case ArgKind::Double:
      if (!isNumeric(text))
        raise(kErrTypeMismatch, "Type mismatch: '" + text + "' is not a number", "kestrin");
      return Variant(Variant(text).number());
  }
  return Variant(text);
}

namespace {

PublicVariable textVariable(std::string name, std::string eCat::*member) {
  return {std::move(name), [member](const eCat& c) { return Variant(c.*member); },
          [member](eCat& c, const Variant& v) { c.*member = v.text(); }};
}

PublicVariable i2Variable(std::string name, I2 eCat::*member) {
  return {std::move(name),
          [member](const eCat& c) { return Variant(static_cast<int>((c.*member).value())); },
          [member](eCat& c, const Variant& v) { c.*member = toI2(v.number()); }};
}

PublicVariable connectionVariable(std::string name, db::Connection eCat::*member) {
  return {std::move(name),
          [member](const eCat& c) { return Variant((c.*member).isOpen() ? "open" : "closed"); },
          nullptr};
}

PublicVariable recordsetVariable(std::string name, db::Recordset eCat::*member) {
  return {std::move(name),
          [member](const eCat& c) { return Variant((c.*member).isOpen() ? "open" : "closed"); },
          nullptr};
}

}  // namespace

const std::vector<PublicVariable>& publicVariables() {
  static const std::vector<PublicVariable> vars = [] {
    std::vector<PublicVariable> v;
    auto text = [&v](const char* name, std::string eCat::*m) {
      v.push_back(textVariable(name, m));
    };
    v.push_back(connectionVariable("conn", &eCat::conn));
    v.push_back(recordsetVariable("rs", &eCat::rs));
    v.push_back(recordsetVariable("rsfilters", &eCat::rsfilters));
    v.push_back(recordsetVariable("rstemp", &eCat::rstemp));
    v.push_back(recordsetVariable("rsdate", &eCat::rsdate));
    text("strR", &eCat::strR);
    text("sql", &eCat::sql);
    v.push_back(i2Variable("iPageCurrent", &eCat::iPageCurrent));
    v.push_back(i2Variable("iPageSize", &eCat::iPageSize));
    text("connStringIM", &eCat::connStringIM);
    text("connStringTD", &eCat::connStringTD);
    v.push_back(connectionVariable("connTD", &eCat::connTD));
    text("dHeadingColor", &eCat::dHeadingColor);
    text("dList1Color", &eCat::dList1Color);
    text("dList2Color", &eCat::dList2Color);
    text("sHeadingColor", &eCat::sHeadingColor);
    text("sList1Color", &eCat::sList1Color);
    text("sList2Color", &eCat::sList2Color);
    text("sCatHeadingColor", &eCat::sCatHeadingColor);
    text("gfontName", &eCat::gfontName);
    text("varCheckIM", &eCat::varCheckIM);
    text("siteCname", &eCat::siteCname);
    text("siteTitle", &eCat::siteTitle);
    text("siteAddress", &eCat::siteAddress);
    text("siteCity", &eCat::siteCity);
    text("siteState", &eCat::siteState);
    text("siteZip", &eCat::siteZip);
    text("siteCountry", &eCat::siteCountry);
    text("sitePhone1", &eCat::sitePhone1);
    text("sitePhone2", &eCat::sitePhone2);
    text("siteFax", &eCat::siteFax);
    text("siteEmail", &eCat::siteEmail);
    text("siteEmailSales", &eCat::siteEmailSales);
    text("siteEmailSupport", &eCat::siteEmailSupport);
    text("siteEmailSMS", &eCat::siteEmailSMS);
    text("scTopColor", &eCat::scTopColor);
    text("scHeadingColor", &eCat::scHeadingColor);
    text("scList1Color", &eCat::scList1Color);
    text("scList2Color", &eCat::scList2Color);
    text("optInterOrder", &eCat::optInterOrder);
    text("optSSL", &eCat::optSSL);
    text("optCCEnable", &eCat::optCCEnable);
    text("optCCProcessor", &eCat::optCCProcessor);
    text("optCCUsername", &eCat::optCCUsername);
    text("optCCPassword", &eCat::optCCPassword);
    text("optTDdata", &eCat::optTDdata);
    v.push_back({"noRecords", [](const eCat& c) { return Variant(c.noRecords); },
                 [](eCat& c, const Variant& x) { c.noRecords = x.flag(); }});
    text("darkColor", &eCat::darkColor);
    text("grpColor", &eCat::grpColor);
    text("catColor", &eCat::catColor);
    text("borderColor", &eCat::borderColor);
    text("CompanyFile", &eCat::CompanyFile);
    return v;
  }();
  return vars;
}

const PublicVariable* findVariable(std::string_view name) {
  for (const PublicVariable& v : publicVariables()) {
    if (v.name == name) return &v;
  }
  return nullptr;
}

}  // namespace kestrin

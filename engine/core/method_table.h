// Building the method table: each feature folder contributes its rows through one function.
#pragma once

#include <string>
#include <vector>

#include "kestrin/i2.h"
#include "kestrin/methods.h"

namespace kestrin {

// Typed access to a call's argument values (already converted to their kinds).
class CallArgs {
 public:
  explicit CallArgs(const std::vector<Variant>& values) : values_(values) {}
  std::string text(size_t i) const { return values_.at(i).text(); }
  bool flag(size_t i) const { return values_.at(i).flag(); }
  I2 i2(size_t i) const { return toI2(values_.at(i).number()); }
  float single(size_t i) const { return static_cast<float>(values_.at(i).number()); }
  double number(size_t i) const { return values_.at(i).number(); }

 private:
  const std::vector<Variant>& values_;
};

// Shorthands for argument rows.
MethodArg textArg(std::string name, bool optional = true);
MethodArg flagArg(std::string name, bool fallback = false);
MethodArg int16Arg(std::string name, int fallback = 0);
MethodArg requiredText(std::string name);
// `args` followed by the optional siteID and sitePassword of a method that opens the session.
std::vector<MethodArg> withSite(std::vector<MethodArg> args);

using MethodTable = std::vector<MethodInfo>;

void addCoreMethods(MethodTable& table);
void addCatalogMethods(MethodTable& table);
void addPriceMethods(MethodTable& table);
void addSearchMethods(MethodTable& table);
void addProductMethods(MethodTable& table);
void addCartMethods(MethodTable& table);
void addOrderMethods(MethodTable& table);
void addDistributorMethods(MethodTable& table);
void addMailMethods(MethodTable& table);
// Defined in accounting/, beside the exports.
void addAccountingMethods(MethodTable& table);

}  // namespace kestrin

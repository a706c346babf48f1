#include "engine_call.h"

#include "kestrin/error.h"
#include "kestrin/methods.h"

namespace kestrin::shop {

bool EngineCaller::has(std::string_view method) { return findMethod(method) != nullptr; }

Variant EngineCaller::call(eCat& cat, std::string_view method, const NamedValues& args) const {
  const MethodInfo* info = findMethod(method);
  if (!info) throw std::logic_error("the engine has no method " + std::string(method));
  std::vector<Variant> values;
  values.reserve(info->args.size());
  for (const MethodArg& a : info->args) values.push_back(a.fallback);
  for (const auto& [name, text] : args) {
    size_t i = 0;
    while (i < info->args.size() && info->args[i].name != name) ++i;
    if (i == info->args.size()) {
      throw std::logic_error(info->name + " has no argument " + name);
    }
    // A key the request left out or sent empty means the method's own default.
    if (text.empty() && info->args[i].kind != ArgKind::Text) continue;
    try {
      values[i] = convertArgument(info->args[i].kind, text);
    } catch (const Error& e) {
      throw BadValue(name, text, e.description());
    }
  }
  for (size_t i = 0; i < info->args.size(); ++i) {
    if (info->args[i].name == "siteID") values[i] = Variant(siteId_);
    if (info->args[i].name == "sitePassword") values[i] = Variant(password_);
  }
  if (info->opensItself) return info->invoke(cat, values);
  cat.opendb(true, siteId_, password_);
  Variant result = info->invoke(cat, values);
  cat.closedb();
  return result;
}

}  // namespace kestrin::shop

// Calling the engine as a page does: one method, found in the engine's method table by name,
// with the request's values given by argument name as text. The site's id and password are
// added; methods that rely on their caller's open session run between opendb and closedb.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrin/ecat.h"
#include "kestrin/variant.h"

namespace kestrin::shop {

// A request value that the method cannot take (not a number, not True or False, out of range):
// the shopper's mistake, answered with 400, not a failure of the engine.
class BadValue : public std::runtime_error {
 public:
  BadValue(std::string name, std::string value, const std::string& why)
      : std::runtime_error(why), name_(std::move(name)), value_(std::move(value)) {}
  const std::string& name() const { return name_; }
  const std::string& value() const { return value_; }

 private:
  std::string name_;
  std::string value_;
};

using NamedValues = std::vector<std::pair<std::string, std::string>>;

class EngineCaller {
 public:
  EngineCaller(std::string siteId, std::string password)
      : siteId_(std::move(siteId)), password_(std::move(password)) {}

  // Whether the engine has the method (features arrive one by one).
  static bool has(std::string_view method);

  // Calls `method` on `cat`. Arguments not named, and non-text arguments given as empty text,
  // take the method's own fallbacks; naming an
  // argument the method does not have is a programming error (std::logic_error). Failures of
  // the method propagate as kestrin::Error; unusable values as BadValue.
  Variant call(eCat& cat, std::string_view method, const NamedValues& args) const;
  std::string text(eCat& cat, std::string_view method, const NamedValues& args) const {
    return call(cat, method, args).text();
  }

  const std::string& siteId() const { return siteId_; }
  const std::string& password() const { return password_; }

 private:
  std::string siteId_;
  std::string password_;
};

}  // namespace kestrin::shop

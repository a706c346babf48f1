#include "kestrin/variant.h"

#include "kestrin/error.h"
#include "text.h"

namespace kestrin {

Variant Variant::null() {
  Variant v;
  v.value_ = NullTag{};
  return v;
}

Variant::Kind Variant::kind() const { return static_cast<Kind>(value_.index()); }

std::string Variant::text() const {
  switch (kind()) {
    case Kind::Empty:
    case Kind::Null:
      return {};
    case Kind::Bool:
      return std::get<bool>(value_) ? "True" : "False";
    case Kind::Integer:
      return std::to_string(std::get<int64_t>(value_));
    case Kind::Single:
      return singleText(std::get<float>(value_));
    case Kind::Double:
      return numberText(std::get<double>(value_));
    case Kind::Text:
      return std::get<std::string>(value_);
  }
  return {};
}

bool Variant::isNumeric() const {
  switch (kind()) {
    case Kind::Null:
      return false;
    case Kind::Text:
      return kestrin::isNumeric(std::get<std::string>(value_));
    default:
      return true;
  }
}

double Variant::number() const {
  switch (kind()) {
    case Kind::Empty:
      return 0;
    case Kind::Bool:
      return std::get<bool>(value_) ? -1 : 0;
    case Kind::Integer:
      return static_cast<double>(std::get<int64_t>(value_));
    case Kind::Single:
      return std::get<float>(value_);
    case Kind::Double:
      return std::get<double>(value_);
    case Kind::Text:
      if (kestrin::isNumeric(std::get<std::string>(value_))) {
        std::string t;
        for (char c : std::get<std::string>(value_)) {
          if (c != ',' && c != '$') t += c;
        }
        return val(t);
      }
      break;
    case Kind::Null:
      break;
  }
  raise(kErrTypeMismatch, "Type mismatch", "kestrin");
}

bool Variant::flag() const {
  if (kind() == Kind::Bool) return std::get<bool>(value_);
  if (kind() == Kind::Text) {
    std::string t = lower(trim(std::get<std::string>(value_)));
    if (t == "true") return true;
    if (t == "false") return false;
  }
  return number() != 0;
}

}  // namespace kestrin

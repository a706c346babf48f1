// Variant: a value as the engine's interface passes it (field values, method results and
// arguments): empty, NULL, flag, integer, single, double or text.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace kestrin {

class Variant {
 public:
  enum class Kind { Empty, Null, Bool, Integer, Single, Double, Text };

  Variant() = default;
  static Variant null();
  Variant(bool v) : value_(v) {}                             // NOLINT
  Variant(int v) : value_(static_cast<int64_t>(v)) {}        // NOLINT
  Variant(long v) : value_(static_cast<int64_t>(v)) {}       // NOLINT
  Variant(long long v) : value_(static_cast<int64_t>(v)) {}  // NOLINT
  Variant(float v) : value_(v) {}                            // NOLINT
  Variant(double v) : value_(v) {}                           // NOLINT
  Variant(std::string v) : value_(std::move(v)) {}           // NOLINT
  Variant(const char* v) : value_(std::string(v)) {}         // NOLINT

  Kind kind() const;
  bool isNull() const { return kind() == Kind::Null; }
  bool isEmpty() const { return kind() == Kind::Empty; }

  // Text as the classic conversion writes it: NULL and empty give "", flags True/False,
  // singles in shortest round-trip form, doubles with up to 15 significant digits.
  std::string text() const;
  // The classic numeric test applied to the value.
  bool isNumeric() const;
  // The value as a number; text that is not numeric raises the type-mismatch error (13).
  double number() const;
  bool flag() const;

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) = default;
  };
  std::variant<std::monostate, NullTag, bool, int64_t, float, double, std::string> value_;
};

}  // namespace kestrin

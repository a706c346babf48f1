#include "kestrin/i2.h"

#include <limits>

#include "kestrin/error.h"
#include "text.h"

namespace kestrin {

namespace {
int16_t checked(long long v) {
  if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) {
    raise(kErrOverflow, "Overflow", "kestrin");
  }
  return static_cast<int16_t>(v);
}
}  // namespace

I2::I2(long long value) : value_(checked(value)) {}

I2 toI2(double value) {
  // Compared before any conversion: a double outside the range of long long has no defined
  // integer value.
  if (!(value > -32768.5 && value < 32767.5)) {
    if (value == -32768.5) return I2(-32768);
    raise(kErrOverflow, "Overflow", "kestrin");
  }
  return I2(static_cast<long long>(roundHalfEven(value, 0)));
}

I2 operator+(I2 a, I2 b) { return I2(static_cast<long long>(a.value_) + b.value_); }
I2 operator-(I2 a, I2 b) { return I2(static_cast<long long>(a.value_) - b.value_); }
I2 operator*(I2 a, I2 b) { return I2(static_cast<long long>(a.value_) * b.value_); }

}  // namespace kestrin

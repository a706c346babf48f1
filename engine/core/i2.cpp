#include "kestrin/i2.h"

#include <limits>

#include "kestrin/error.h"

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

I2 operator+(I2 a, I2 b) { return I2(static_cast<long long>(a.value_) + b.value_); }
I2 operator-(I2 a, I2 b) { return I2(static_cast<long long>(a.value_) - b.value_); }
I2 operator*(I2 a, I2 b) { return I2(static_cast<long long>(a.value_) * b.value_); }

}  // namespace kestrin

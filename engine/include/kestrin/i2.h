// I2: the engine's 16-bit signed integer. Construction from a wider value and every arithmetic
// operation raise the overflow error (kestrin::Error 6) instead of wrapping.
#pragma once

#include <cstdint>
#include <string>

namespace kestrin {

class I2 {
 public:
  constexpr I2() = default;
  // Implicit so that pages and defaults can write plain numbers; out-of-range values raise.
  I2(long long value);  // NOLINT(google-explicit-constructor)

  int16_t value() const { return value_; }
  explicit operator int() const { return value_; }

  friend bool operator==(I2 a, I2 b) = default;
  friend auto operator<=>(I2 a, I2 b) = default;

  friend I2 operator+(I2 a, I2 b);
  friend I2 operator-(I2 a, I2 b);
  friend I2 operator*(I2 a, I2 b);
  I2& operator+=(I2 b) { return *this = *this + b; }
  I2& operator-=(I2 b) { return *this = *this - b; }

  std::string text() const { return std::to_string(value_); }

 private:
  int16_t value_ = 0;
};

// The classic conversion of a number to a 16-bit integer: halves round to the even neighbour;
// NaN, infinities and values outside -32768 .. 32767 raise the overflow error (6).
I2 toI2(double value);

}  // namespace kestrin

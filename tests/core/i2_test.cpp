#include "kestrin/i2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kestrin/error.h"

namespace kestrin {
namespace {

int32_t errorNumberOf(void (*f)()) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

TEST(I2Test, ArithmeticWithinRange) {
  I2 a = 32766;
  EXPECT_EQ((a + 1).value(), 32767);
  EXPECT_EQ((I2(-32767) - 1).value(), -32768);
  EXPECT_EQ((I2(100) * 3).value(), 300);
  EXPECT_LT(I2(1), I2(2));
}

TEST(I2Test, OverflowRaisesErrorSix) {
  EXPECT_EQ(errorNumberOf([] { (void)(I2(32767) + 1); }), kErrOverflow);
  EXPECT_EQ(errorNumberOf([] { (void)(I2(-32768) - 1); }), kErrOverflow);
  EXPECT_EQ(errorNumberOf([] { (void)(I2(200) * 200); }), kErrOverflow);
  EXPECT_EQ(errorNumberOf([] { (void)I2(40000); }), kErrOverflow);
  EXPECT_EQ(errorNumberOf([] { (void)I2(-32768); }), 0);
}

TEST(I2Test, NumbersConvertWithHalvesToEvenAndOverflowOutsideTheRange) {
  struct Case {
    double value;
    int expected;  // -99999: overflow
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {2.5, 2},           {3.5, 4},          {-2.5, -2},         {32767.4, 32767},
      {-32768.5, -32768}, {32767.5, -99999}, {-32768.6, -99999}, {1e20, -99999},
      {-1e300, -99999},   {inf, -99999},     {-inf, -99999},     {std::nan(""), -99999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    try {
      EXPECT_EQ(toI2(c.value).value(), c.expected);
    } catch (const Error& e) {
      EXPECT_EQ(c.expected, -99999);
      EXPECT_EQ(e.number(), kErrOverflow);
    }
  }
}

}  // namespace
}  // namespace kestrin

#include "kestrin/i2.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kestrin

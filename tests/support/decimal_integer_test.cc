#include "support/decimal_integer.h"

#include <gtest/gtest.h>

#include <limits>

namespace talvex {
namespace {

TEST(DecimalIntegerTest, ToIntegerReadsTheLeadingNumber) {
  EXPECT_EQ(7, ToInteger("", 7));
  EXPECT_EQ(42, ToInteger("42", 7));
  EXPECT_EQ(42, ToInteger("  \t42abc", 7));
  EXPECT_EQ(-3, ToInteger("-3", 7));
  EXPECT_EQ(3, ToInteger("+3", 7));
  EXPECT_EQ(1, ToInteger("1x", 7));
  // Text that is not empty but has no digits reads as 0, not the default.
  EXPECT_EQ(0, ToInteger("abc", 7));
  EXPECT_EQ(0, ToInteger("-", 7));
  EXPECT_EQ(0, ToInteger(" ", 7));
  EXPECT_EQ(0, ToInteger("--5", 7));
}

TEST(DecimalIntegerTest, ToIntegerWrapsBeyond32Bits) {
  EXPECT_EQ(std::numeric_limits<int>::max(), ToInteger("2147483647", 0));
  EXPECT_EQ(std::numeric_limits<int>::min(), ToInteger("2147483648", 0));
  EXPECT_EQ(std::numeric_limits<int>::min(), ToInteger("-2147483648", 0));
  EXPECT_EQ(1, ToInteger("4294967297", 0));
  // Far beyond 64 bits still wraps modulo 2^32 rather than saturating.
  EXPECT_EQ(0, ToInteger("42949672960000000000000000000000", 0));
}

TEST(DecimalIntegerTest, ToInteger64SaturatesInsteadOfWrapping) {
  EXPECT_EQ(4294967297LL, ToInteger64("4294967297"));
  EXPECT_EQ(-9223372036854775807LL - 1, ToInteger64("-9223372036854775808"));
  EXPECT_EQ(std::numeric_limits<std::int64_t>::max(),
            ToInteger64("99999999999999999999999"));
  EXPECT_EQ(std::numeric_limits<std::int64_t>::min(),
            ToInteger64("-99999999999999999999999"));
  EXPECT_EQ(0, ToInteger64(""));
}

TEST(DecimalIntegerTest, ReadLeadingIntegerReportsOverflow) {
  LeadingInteger big = ReadLeadingInteger("18446744073709551616");
  EXPECT_TRUE(big.overflow);
  EXPECT_EQ(std::numeric_limits<std::uint64_t>::max(), big.magnitude);
  LeadingInteger largest = ReadLeadingInteger("18446744073709551615");
  EXPECT_FALSE(largest.overflow);
  EXPECT_EQ(std::numeric_limits<std::uint64_t>::max(), largest.magnitude);
  LeadingInteger none = ReadLeadingInteger("x1");
  EXPECT_FALSE(none.hasDigits);
  EXPECT_EQ(0u, none.magnitude);
}

TEST(DecimalIntegerTest, IsWholeDecimalTakesOnlyASignAndDigits) {
  for (const char* whole : {"0", "42", "-1", "+7", "007", "99999999999999999999"}) {
    EXPECT_TRUE(IsWholeDecimal(whole)) << whole;
  }
  for (const char* other : {"", "-", "+", "abc", "1x", "x1", " 1", "1 ", "1.5",
                            "--1", "1-", "0x10", "\xd9\xa3"}) {
    EXPECT_FALSE(IsWholeDecimal(other)) << other;
  }
}

}  // namespace
}  // namespace talvex

#include "support/interval.h"

#include <gtest/gtest.h>

#include <limits>

namespace talvex {
namespace {

constexpr IntervalUnit kAllUnits[] = {IntervalUnit::kMinutes,
                                      IntervalUnit::kHours,
                                      IntervalUnit::kDays};

TEST(IntervalTest, ZeroIsZeroInEveryUnit) {
  for (IntervalUnit unit : kAllUnits) {
    EXPECT_EQ(0, IntervalToCount("0", unit));
    EXPECT_EQ("0", CountToInterval(0, unit));
  }
}

TEST(IntervalTest, ConvertsPolicyDurationsBothWays) {
  EXPECT_EQ("-18000000000", CountToInterval(30, IntervalUnit::kMinutes));
  EXPECT_EQ(30, IntervalToCount("-18000000000", IntervalUnit::kMinutes));
  EXPECT_EQ("-36288000000000", CountToInterval(42, IntervalUnit::kDays));
  EXPECT_EQ(42, IntervalToCount("-36288000000000", IntervalUnit::kDays));
  EXPECT_EQ("-78624000000000", CountToInterval(91, IntervalUnit::kDays));
  EXPECT_EQ("-3000000000", CountToInterval(5, IntervalUnit::kMinutes));
  EXPECT_EQ("-36000000000", CountToInterval(1, IntervalUnit::kHours));
}

TEST(IntervalTest, NeverValueIsMinusOneInEveryUnit) {
  for (IntervalUnit unit : kAllUnits) {
    EXPECT_EQ(-1, IntervalToCount("-9223372036854775808", unit));
    EXPECT_EQ("-9223372036854775808", CountToInterval(-1, unit));
  }
  // One less is an ordinary (very long) duration.
  EXPECT_EQ(10675199,
            IntervalToCount("-9223372036854775807", IntervalUnit::kDays));
  // Without the leading minus it is not the never value either.
  EXPECT_EQ(10675199,
            IntervalToCount("9223372036854775808", IntervalUnit::kDays));
}

TEST(IntervalTest, SignDoesNotReachTheCountAndRemaindersTruncate) {
  EXPECT_EQ(30, IntervalToCount("18000000000", IntervalUnit::kMinutes));
  EXPECT_EQ(29, IntervalToCount("-17999999999", IntervalUnit::kMinutes));
  EXPECT_EQ(0, IntervalToCount("-1", IntervalUnit::kMinutes));
  EXPECT_EQ(42, IntervalToCount("-36288000000001", IntervalUnit::kDays));
  EXPECT_EQ("-36288000000000", CountToInterval(42, IntervalUnit::kDays));
}

TEST(IntervalTest, TextWithoutANumberIsZero) {
  EXPECT_EQ(0, IntervalToCount("", IntervalUnit::kDays));
  EXPECT_EQ(0, IntervalToCount("abc", IntervalUnit::kDays));
  EXPECT_EQ(0, IntervalToCount("-", IntervalUnit::kMinutes));
  EXPECT_EQ(30, IntervalToCount("-18000000000xyz", IntervalUnit::kMinutes));
}

TEST(IntervalTest, UnknownUnit) {
  EXPECT_EQ(0, IntervalToCount("-18000000000", static_cast<IntervalUnit>(7)));
  EXPECT_EQ("-5", CountToInterval(5, static_cast<IntervalUnit>(7)));
}

// A quotient beyond 32 bits would wrap into an unrelated, possibly negative
// count; it stops at the longest duration a record can hold instead.
TEST(IntervalTest, QuotientBeyond32BitsIsClamped) {
  constexpr int kLongest = std::numeric_limits<int>::max();
  EXPECT_EQ(kLongest,
            IntervalToCount("-9223372036854775807", IntervalUnit::kMinutes));
  // Hours and days of a 64-bit interval always fit in 32 bits.
  EXPECT_EQ(512409557,
            IntervalToCount("-18446744073709551615", IntervalUnit::kHours));
  EXPECT_EQ(kLongest, IntervalToCount("-99999999999999999999999999",
                                      IntervalUnit::kMinutes));
  // Beyond 64 bits is not mistaken for the never value.
  EXPECT_EQ(kLongest,
            IntervalToCount("-92233720368547758080", IntervalUnit::kMinutes));
  // The clamped count converts back without overflow.
  EXPECT_EQ("-1288490188200000000",
            CountToInterval(kLongest, IntervalUnit::kMinutes));
}

// Counts below -1 have no meaning; they never become a directory value.
TEST(IntervalTest, CountBelowMinusOneGivesNoInterval) {
  for (IntervalUnit unit : kAllUnits) {
    EXPECT_EQ("", CountToInterval(-2, unit));
    EXPECT_EQ("", CountToInterval(std::numeric_limits<int>::min(), unit));
  }
}

TEST(IntervalTest, ProductBeyond64BitsIsClampedToTheLongestDuration) {
  EXPECT_EQ("-9223372036854775807",
            CountToInterval(std::numeric_limits<int>::max(),
                            IntervalUnit::kDays));
  EXPECT_EQ("-9223371936000000000",
            CountToInterval(10675199, IntervalUnit::kDays));
  EXPECT_EQ("-9223372036854775807",
            CountToInterval(10675200, IntervalUnit::kDays));
}

TEST(IntervalTest, CountFitsOnlyWhenItConvertsExactly) {
  EXPECT_EQ(10675199, MaxIntervalCount(IntervalUnit::kDays));
  EXPECT_EQ(256204778, MaxIntervalCount(IntervalUnit::kHours));
  EXPECT_EQ(std::numeric_limits<int>::max(),
            MaxIntervalCount(IntervalUnit::kMinutes));
  EXPECT_TRUE(IntervalCountFits(-1, IntervalUnit::kDays));
  EXPECT_TRUE(IntervalCountFits(0, IntervalUnit::kDays));
  EXPECT_TRUE(IntervalCountFits(10675199, IntervalUnit::kDays));
  EXPECT_FALSE(IntervalCountFits(10675200, IntervalUnit::kDays));
  EXPECT_FALSE(IntervalCountFits(-2, IntervalUnit::kMinutes));
  EXPECT_FALSE(IntervalCountFits(2147483648LL, IntervalUnit::kMinutes));
}

TEST(IntervalTest, EveryFittingCountRoundTrips) {
  for (IntervalUnit unit : kAllUnits) {
    for (int count : {-1, 0, 1, 5, 30, 91, 1000, 99999,
                      MaxIntervalCount(unit) - 1, MaxIntervalCount(unit)}) {
      EXPECT_EQ(count, IntervalToCount(CountToInterval(count, unit), unit))
          << count;
    }
  }
}

}  // namespace
}  // namespace talvex

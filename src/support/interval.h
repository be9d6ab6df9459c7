// Conversion between the directory's interval texts and whole minutes or
// days.
//
// The directory keeps every policy duration as the decimal text of a signed
// 64-bit count of 100-nanosecond units, negative for a real duration; the
// least 64-bit value "-9223372036854775808" means never. Policy records hold
// whole units in 32 bits, with -1 for never.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvex {

enum class IntervalUnit : int {
  kMinutes = 0,
  kHours = 1,
  kDays = 2,
};

inline constexpr char kNeverInterval[] = "-9223372036854775808";
inline constexpr int kNeverCount = -1;

// The count of whole units in a directory interval text. The sign of the
// text does not reach the result ("-18000000000" and "18000000000" are both
// 30 minutes); a remainder is truncated; text without a number gives 0; the
// never value gives -1. A quotient beyond 32 bits is clamped to INT32_MAX,
// the longest duration a record can hold, instead of wrapping into an
// unrelated (possibly short or negative) value. An unknown unit gives 0.
int IntervalToCount(std::string_view text, IntervalUnit unit);

// The directory interval text of a count: "0" for zero, the never value for
// -1, otherwise "-" and the count times the unit's factor. A count below -1
// stands for no duration at all: the result is the empty text, which the
// directory refuses, so such a count never reaches it as a wrong policy. A
// product beyond 64 bits is clamped to the longest real duration,
// "-9223372036854775807". An unknown unit multiplies by 1.
std::string CountToInterval(int count, IntervalUnit unit);

// The largest count that converts exactly in the unit (the lesser of
// INT32_MAX and the longest 64-bit interval in whole units).
int MaxIntervalCount(IntervalUnit unit);

// Whether the count converts without loss: -1 (never) or 0 up to
// MaxIntervalCount. Values that enter the system are checked with this.
bool IntervalCountFits(std::int64_t count, IntervalUnit unit);

}  // namespace talvex

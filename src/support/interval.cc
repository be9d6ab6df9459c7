#include "support/interval.h"

#include <limits>

#include "support/decimal_integer.h"

namespace talvex {
namespace {

// 100-nanosecond units per unit; 0 for an unknown unit code.
std::int64_t UnitFactor(IntervalUnit unit) {
  switch (unit) {
    case IntervalUnit::kMinutes:
      return 600'000'000LL;
    case IntervalUnit::kHours:
      return 36'000'000'000LL;
    case IntervalUnit::kDays:
      return 864'000'000'000LL;
  }
  return 0;
}

constexpr std::uint64_t kNeverMagnitude = 9'223'372'036'854'775'808ULL;
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

}  // namespace

int IntervalToCount(std::string_view text, IntervalUnit unit) {
  std::int64_t factor = UnitFactor(unit);
  if (factor == 0) return 0;
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  LeadingInteger number = ReadLeadingInteger(text);
  if (negative && !number.negative && !number.overflow &&
      number.magnitude == kNeverMagnitude) {
    return kNeverCount;
  }
  std::uint64_t quotient =
      number.magnitude / static_cast<std::uint64_t>(factor);
  if (quotient > static_cast<std::uint64_t>(kInt32Max)) {
    return static_cast<int>(kInt32Max);
  }
  return static_cast<int>(quotient);
}

std::string CountToInterval(int count, IntervalUnit unit) {
  if (count == kNeverCount) return kNeverInterval;
  if (count < kNeverCount) return std::string();
  std::int64_t factor = UnitFactor(unit);
  if (factor == 0) factor = 1;
  if (count == 0) return "0";
  const std::int64_t magnitude =
      count > kInt64Max / factor ? kInt64Max
                                 : static_cast<std::int64_t>(count) * factor;
  std::string interval = "-";
  interval += std::to_string(magnitude);
  return interval;
}

int MaxIntervalCount(IntervalUnit unit) {
  std::int64_t factor = UnitFactor(unit);
  if (factor == 0) factor = 1;
  std::int64_t longest = kInt64Max / factor;
  return static_cast<int>(longest < kInt32Max ? longest : kInt32Max);
}

bool IntervalCountFits(std::int64_t count, IntervalUnit unit) {
  return count == kNeverCount ||
         (count >= 0 && count <= MaxIntervalCount(unit));
}

}  // namespace talvex

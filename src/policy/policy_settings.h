// The ten settings of a password policy, each described once: where the
// directory keeps it (on a PSO, on a domain head), how it is typed on the
// command line, how it is shown and named in JSON, the range Windows
// accepts and which way is stronger. Retrieval, the record, the rules, the
// display, the JSON document, -add and -mod all read this table; adding a
// setting is adding a row.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "support/interval.h"

namespace talvex {

// Also the index of a setting's row and of its value in a record.
enum class SettingId : std::uint8_t {
  kPrecedence,
  kMaxPwdAge,
  kMinPwdLength,
  kPwdHistory,
  kLockoutThreshold,
  kLockoutDuration,
  kLockoutObservation,
  kMinPwdAge,
  kComplexity,
  kReversible,
};
inline constexpr std::size_t kSettingCount = 10;

// How a record holds the value and the directory writes it.
enum class SettingUnit : std::uint8_t {
  kCount,    // a decimal count
  kDays,     // whole days; the directory holds an interval
  kMinutes,  // whole minutes; the directory holds an interval
  kBoolean,  // "TRUE"/"FALSE"
};

// Which of two values is the stronger policy. Durations hold -1 for never,
// which counts as the longest duration there is: "never expires" is the
// loosest maximum age, "until an administrator unlocks" the strictest
// lockout.
enum class Stronger : std::uint8_t {
  kNeither,         // precedence orders policies, it is no strength
  kHigher,          // a plain larger number (length, history, minimum age)
  kLonger,          // a longer duration, never the longest
  kShorter,         // a shorter duration, never the longest
  kLowerButNotOff,  // a lower count, 0 (switched off) the loosest
  kTrue,
  kFalse,
};

struct PolicySetting {
  SettingId id;
  // The record's key word, as "-d" lines and the specified set name it.
  const char* keyWord;
  // Position in name:displayname:precedence:maxpwdage:... of -add and -mod,
  // and the field's name in messages that pair two settings.
  int field;
  const char* fieldName;
  // The switch that overrides the field, and the field's place among the
  // colon-separated parts of its value; null for none.
  const char* overrideSwitch;
  int overridePart;
  const char* psoAttribute;
  // On a domain head: its own attribute, or a bit of its password properties
  // (MS-SAMR DOMAIN_PASSWORD_INFORMATION); neither for precedence.
  const char* domainAttribute;
  std::int64_t propertiesBit;
  SettingUnit unit;
  // As messages name it ("minimum password length").
  const char* label;
  // As the listing labels it, padded to the listing's colon.
  const char* displayLabel;
  // The key inside the JSON document's "settings"; null for precedence,
  // which the document carries beside the settings.
  const char* jsonKey;
  // The schema's range of a count (MS-ADA2); durations range from -1 to
  // the longest interval of their unit.
  std::int64_t minimum;
  std::int64_t maximum;
  Stronger stronger;
  // A new PSO's value when -add leaves the field empty, and how the warning
  // that says so ends.
  int addDefault;
  const char* defaultText;
  // The debug line of a refused value.
  const char* badValueDebug;
};

// Every row, in the order of the -add and -mod fields.
std::span<const PolicySetting> PolicySettings();
const PolicySetting& Setting(SettingId id);
// The row of a record key word, or null.
const PolicySetting* FindSetting(std::string_view keyWord);

// The domain head's attribute that holds complexity and reversible
// encryption as bits.
extern const char kPwdPropertiesAttribute[];

// Durations are held in whole days or minutes and written as intervals.
bool IsDuration(const PolicySetting& setting);
IntervalUnit IntervalUnitOf(const PolicySetting& setting);  // of a duration
const char* UnitName(const PolicySetting& setting);         // "days"/"minutes"

// Whether value a makes a stronger policy than value b.
bool IsStronger(const PolicySetting& setting, int a, int b);

}  // namespace talvex

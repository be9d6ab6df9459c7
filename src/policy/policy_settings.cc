#include "policy/policy_settings.h"

#include <cstdint>
#include <limits>

namespace talvex {
namespace {

using enum SettingId;
using enum SettingUnit;

constexpr std::int64_t kMaxInt32 = std::numeric_limits<std::int32_t>::max();
// The schema's upper bounds (MS-ADA2: msDS-MinimumPasswordLength,
// msDS-PasswordHistoryLength, msDS-LockoutThreshold); the domain head's
// attributes take the same.
constexpr std::int64_t kMaxPasswordLength = 255;
constexpr std::int64_t kMaxCount16 = 65535;

// pwdProperties bits DOMAIN_PASSWORD_COMPLEX and
// DOMAIN_PASSWORD_STORE_CLEARTEXT (MS-SAMR, DOMAIN_PASSWORD_INFORMATION).
constexpr std::int64_t kPasswordComplex = 1;
constexpr std::int64_t kPasswordStoreCleartext = 16;

constexpr PolicySetting kSettings[] = {
    {kPrecedence, "precedence", 2, "precedence", nullptr, 0,
     "msDS-PasswordSettingsPrecedence", nullptr, 0, kCount, "policy precedence",
     "Policy Precedence  : ", nullptr, 1, kMaxInt32, Stronger::kNeither, 0, "",
     "Bad precedence value"},
    {kMaxPwdAge, "maxpwdage", 3, "maxpwdage", "pwdage", 0,
     "msDS-MaximumPasswordAge", "maxPwdAge", 0, kDays, "maximum password age",
     "Max Pwd Age        : ", "maxPasswordAgeDays", -1, 0, Stronger::kShorter,
     91, " days for maximum password age.", "Bad maxpwdage value"},
    {kMinPwdLength, "minpwdlen", 4, "minlength", "pwdlen", 0,
     "msDS-MinimumPasswordLength", "minPwdLength", 0, kCount,
     "minimum password length", "Min Pwd Length     : ", "minPasswordLength", 0,
     kMaxPasswordLength, Stronger::kHigher, 15,
     " characters for minimum password length.", "Bad minpwdlength value"},
    {kPwdHistory, "pwdhistory", 5, "history", "pwdhist", 0,
     "msDS-PasswordHistoryLength", "pwdHistoryLength", 0, kCount,
     "password history", "Pwd History        : ", "passwordHistoryLength", 0,
     kMaxCount16, Stronger::kHigher, 24,
     " passwords for minimum password history.", "Bad pwdhistory value"},
    {kLockoutThreshold, "lockoutthreshold", 6, "lo_count", "lockout", 0,
     "msDS-LockoutThreshold", "lockoutThreshold", 0, kCount,
     "lockout threshold", "Lockout Threshold  : ", "lockoutThreshold", 0,
     kMaxCount16, Stronger::kLowerButNotOff, 25,
     " bad passwords for lockout threshold.", "Bad lockoutthreshold value"},
    {kLockoutDuration, "lockoutduration", 7, "lo_duration", "lockout", 1,
     "msDS-LockoutDuration", "lockoutDuration", 0, kMinutes, "lockout duration",
     "Lockout Duration   : ", "lockoutDurationMinutes", -1, 0,
     Stronger::kLonger, 5, " minutes for lockout duration.",
     "Bad lockoutduration value"},
    {kLockoutObservation, "lockoutobservation", 8, "lo_observe", "lockout", 2,
     "msDS-LockoutObservationWindow", "lockOutObservationWindow", 0, kMinutes,
     "lockout observation", "Lockout Observation: ",
     "lockoutObservationWindowMinutes", -1, 0, Stronger::kLonger, 5,
     " minutes for lockout observation.", "Bad lockoutobservation value"},
    // A plain comparison: the never value of a minimum age counts as no
    // minimum, as it always has when policies are tightened.
    {kMinPwdAge, "minpwdage", 9, "minpwdage", "pwdage", 1,
     "msDS-MinimumPasswordAge", "minPwdAge", 0, kDays, "minimum password age",
     "Min Pwd Age        : ", "minPasswordAgeDays", -1, 0, Stronger::kHigher, 0,
     " days for minimum password age.", "Bad minpwdage value"},
    {kComplexity, "complexity", 10, "complexity", "pwdcomplex", 0,
     "msDS-PasswordComplexityEnabled", nullptr, kPasswordComplex, kBoolean,
     "complexity", "Pwd Complexity     : ", "complexityEnabled", 0, 1,
     Stronger::kTrue, 1, " for password complexity.", "Bad complexity value"},
    {kReversible, "reversible", 11, "reversible", "pwdreverse", 0,
     "msDS-PasswordReversibleEncryptionEnabled", nullptr,
     kPasswordStoreCleartext, kBoolean, "reversible encryption",
     "Pwd Reversible     : ", "reversibleEncryptionEnabled", 0, 1,
     Stronger::kFalse, 0, " for reversible encryption passwords.",
     "Bad reversible value"},
};
static_assert(std::size(kSettings) == kSettingCount);

constexpr bool RowsInIdOrder() {
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    if (static_cast<std::size_t>(kSettings[i].id) != i) return false;
  }
  return true;
}
static_assert(RowsInIdOrder(), "a row's place is its id");

// The never value (-1) is the longest duration.
bool LongerDuration(int a, int b) {
  if (a == b) return false;
  if (a == -1) return true;
  if (b == -1) return false;
  return a > b;
}

}  // namespace

const char kPwdPropertiesAttribute[] = "pwdProperties";

std::span<const PolicySetting> PolicySettings() { return kSettings; }

const PolicySetting& Setting(SettingId id) {
  return kSettings[static_cast<std::size_t>(id)];
}

const PolicySetting* FindSetting(std::string_view keyWord) {
  for (const PolicySetting& setting : kSettings) {
    if (keyWord == setting.keyWord) return &setting;
  }
  return nullptr;
}

bool IsDuration(const PolicySetting& setting) {
  return setting.unit == kDays || setting.unit == kMinutes;
}

IntervalUnit IntervalUnitOf(const PolicySetting& setting) {
  return setting.unit == kDays ? IntervalUnit::kDays : IntervalUnit::kMinutes;
}

const char* UnitName(const PolicySetting& setting) {
  return setting.unit == kDays ? "days" : "minutes";
}

bool IsStronger(const PolicySetting& setting, int a, int b) {
  switch (setting.stronger) {
    case Stronger::kNeither:
      return false;
    case Stronger::kHigher:
      return a > b;
    case Stronger::kLonger:
      return LongerDuration(a, b);
    case Stronger::kShorter:
      return LongerDuration(b, a);
    case Stronger::kLowerButNotOff:
      return a != 0 && (b == 0 || a < b);
    case Stronger::kTrue:
      return a != 0 && b == 0;
    case Stronger::kFalse:
      return a == 0 && b != 0;
  }
  return false;
}

}  // namespace talvex

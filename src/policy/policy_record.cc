#include "policy/policy_record.h"

#include <cstdint>
#include <iterator>
#include <limits>
#include <string_view>

#include "directory/distinguished_name.h"
#include "support/decimal_integer.h"
#include "support/interval.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// The leading decimal integer of the text (none gives 0). A value beyond
// the 32-bit range stops at its end rather than wrapping into some other
// setting.
int ReadDecimal(const std::string& text) {
  std::int64_t value = ToInteger64(text);
  if (value > std::numeric_limits<int>::max()) {
    return std::numeric_limits<int>::max();
  }
  if (value < std::numeric_limits<int>::min()) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(value);
}

bool IsTrueText(const std::string& text) { return UpperCase(text) == "TRUE"; }

// The never value (-1) of a duration counts as the longest duration there
// is: "never expires" is the loosest maximum age, "until an administrator
// unlocks" the strictest lockout duration.
bool LongerDuration(int a, int b) {
  if (a == b) return false;
  if (a == -1) return true;
  if (b == -1) return false;
  return a > b;
}

}  // namespace

// The key words in the order of their bits.
enum class PolicyRecord::KeyWord : std::uint8_t {
  kDn,
  kName,
  kDisplayName,
  kAdminDisplayName,
  kLockoutDuration,
  kLockoutObservation,
  kMaxPwdAge,
  kMinPwdAge,
  kLockoutThreshold,
  kMinPwdLength,
  kPwdHistory,
  kPrecedence,
  kComplexity,
  kReversible,
};

namespace {

constexpr const char* kKeyWordTexts[] = {
    "dn",
    "name",
    "displayname",
    "admindisplayname",
    "lockoutduration",
    "lockoutobservation",
    "maxpwdage",
    "minpwdage",
    "lockoutthreshold",
    "minpwdlen",
    "pwdhistory",
    "precedence",
    "complexity",
    "reversible",
};

}  // namespace

PolicyRecord::PolicyRecord() = default;

PolicyRecord::PolicyRecord(bool withDefaults)
    : PolicyRecord(withDefaults, false) {}

PolicyRecord::PolicyRecord(bool withDefaults, bool changeSpecification)
    : changeSpecification_(changeSpecification) {
  if (!withDefaults) return;
  isPso_ = true;
  lockoutThreshold_ = 25;
  lockoutDuration_ = 5;
  lockoutObservation_ = 5;
  maxPwdAge_ = 91;
  minPwdAge_ = 0;
  minPwdLength_ = 15;
  pwdHistory_ = 24;
  complexity_ = true;
  reversible_ = false;
}

void PolicyRecord::Mark(KeyWord keyWord, const std::string& text) {
  if (!text.empty()) specified_ |= 1u << static_cast<unsigned>(keyWord);
}

bool PolicyRecord::IsSpecified(const std::string& keyWord) const {
  for (std::size_t i = 0; i < std::size(kKeyWordTexts); ++i) {
    if (keyWord == kKeyWordTexts[i]) return (specified_ >> i & 1u) != 0;
  }
  return false;
}

namespace {

// The bit of a key word, or 0 for a text that is none.
std::uint16_t KeyWordBit(const std::string& keyWord) {
  for (std::size_t i = 0; i < std::size(kKeyWordTexts); ++i) {
    if (keyWord == kKeyWordTexts[i]) return static_cast<std::uint16_t>(1u << i);
  }
  return 0;
}

}  // namespace

void PolicyRecord::MarkUnset(const std::string& keyWord) {
  unset_ |= KeyWordBit(keyWord);
}

void PolicyRecord::MarkInvalid(const std::string& keyWord,
                               const std::string& text) {
  invalid_.emplace_back(keyWord, text);
}

bool PolicyRecord::IsUnset(const std::string& keyWord) const {
  return (unset_ & KeyWordBit(keyWord)) != 0;
}

const std::string* PolicyRecord::InvalidText(const std::string& keyWord) const {
  for (const auto& [word, text] : invalid_) {
    if (word == keyWord) return &text;
  }
  return nullptr;
}

std::set<std::string> PolicyRecord::specified() const {
  std::set<std::string> keyWords;
  for (std::size_t i = 0; i < std::size(kKeyWordTexts); ++i) {
    if ((specified_ >> i & 1u) != 0) keyWords.insert(kKeyWordTexts[i]);
  }
  return keyWords;
}

void PolicyRecord::SetDN(const std::string& dn) {
  dn_ = dn;
  Mark(KeyWord::kDn, dn);
  // A change specification names the policy to change; its other names are
  // only what the user typed.
  if (changeSpecification_) return;
  if (name_.empty()) {
    std::string rdn = GetDNPart(dn, 0);
    name_ = rdn.size() > 3 ? rdn.substr(3) : std::string();
  }
  if (displayName_.empty()) displayName_ = name_;
  if (adminDisplayName_.empty()) adminDisplayName_ = name_;
  if (domain_.empty()) domain_ = DNToDNSName(dn);
}

void PolicyRecord::SetName(const std::string& name) {
  name_ = name;
  Mark(KeyWord::kName, name);
  if (changeSpecification_) return;
  if (displayName_.empty()) displayName_ = name;
  if (adminDisplayName_.empty()) adminDisplayName_ = name;
}

void PolicyRecord::SetDisplayName(const std::string& name) {
  displayName_ = name;
  Mark(KeyWord::kDisplayName, name);
  if (adminDisplayName_.empty()) adminDisplayName_ = name;
}

void PolicyRecord::SetAdminDisplayName(const std::string& name) {
  adminDisplayName_ = name;
  Mark(KeyWord::kAdminDisplayName, name);
}

void PolicyRecord::SetCanonicalName(const std::string& name) {
  canonicalName_ = name;
}

void PolicyRecord::SetDomain(const std::string& domain) { domain_ = domain; }

void PolicyRecord::SetRawProperties(const std::string& properties) {
  rawProperties_ = properties;
}

void PolicyRecord::SetIsPSO(bool isPso) { isPso_ = isPso; }

void PolicyRecord::SetLockoutDurationInterval(const std::string& interval) {
  lockoutDuration_ = IntervalToCount(interval, IntervalUnit::kMinutes);
  Mark(KeyWord::kLockoutDuration, interval);
}

void PolicyRecord::SetLockoutObservationInterval(const std::string& interval) {
  lockoutObservation_ = IntervalToCount(interval, IntervalUnit::kMinutes);
  Mark(KeyWord::kLockoutObservation, interval);
}

void PolicyRecord::SetMaxPwdAgeInterval(const std::string& interval) {
  maxPwdAge_ = IntervalToCount(interval, IntervalUnit::kDays);
  Mark(KeyWord::kMaxPwdAge, interval);
}

void PolicyRecord::SetMinPwdAgeInterval(const std::string& interval) {
  minPwdAge_ = IntervalToCount(interval, IntervalUnit::kDays);
  Mark(KeyWord::kMinPwdAge, interval);
}

void PolicyRecord::SetLockoutDuration(const std::string& minutes) {
  lockoutDuration_ = ReadDecimal(minutes);
  Mark(KeyWord::kLockoutDuration, minutes);
}

void PolicyRecord::SetLockoutObservation(const std::string& minutes) {
  lockoutObservation_ = ReadDecimal(minutes);
  Mark(KeyWord::kLockoutObservation, minutes);
}

void PolicyRecord::SetMaxPwdAge(const std::string& days) {
  maxPwdAge_ = ReadDecimal(days);
  Mark(KeyWord::kMaxPwdAge, days);
}

void PolicyRecord::SetMinPwdAge(const std::string& days) {
  minPwdAge_ = ReadDecimal(days);
  Mark(KeyWord::kMinPwdAge, days);
}

void PolicyRecord::SetLockoutThreshold(const std::string& count) {
  lockoutThreshold_ = ReadDecimal(count);
  Mark(KeyWord::kLockoutThreshold, count);
}

void PolicyRecord::SetMinPwdLength(const std::string& length) {
  minPwdLength_ = ReadDecimal(length);
  Mark(KeyWord::kMinPwdLength, length);
}

void PolicyRecord::SetPwdHistory(const std::string& count) {
  pwdHistory_ = ReadDecimal(count);
  Mark(KeyWord::kPwdHistory, count);
}

void PolicyRecord::SetPrecedence(const std::string& precedence) {
  precedence_ = ReadDecimal(precedence);
  Mark(KeyWord::kPrecedence, precedence);
}

void PolicyRecord::SetComplexity(const std::string& value) {
  // An empty value in a change specification means "leave as it is".
  if (!(changeSpecification_ && value.empty())) complexity_ = IsTrueText(value);
  Mark(KeyWord::kComplexity, value);
}

void PolicyRecord::SetReversible(const std::string& value) {
  if (!(changeSpecification_ && value.empty())) reversible_ = IsTrueText(value);
  Mark(KeyWord::kReversible, value);
}

std::string PolicyRecord::PrecedenceText() const {
  return std::to_string(precedence_);
}
std::string PolicyRecord::LockoutThresholdText() const {
  return std::to_string(lockoutThreshold_);
}
std::string PolicyRecord::LockoutDurationText() const {
  return std::to_string(lockoutDuration_);
}
std::string PolicyRecord::LockoutObservationText() const {
  return std::to_string(lockoutObservation_);
}
std::string PolicyRecord::MaxPwdAgeText() const {
  return std::to_string(maxPwdAge_);
}
std::string PolicyRecord::MinPwdAgeText() const {
  return std::to_string(minPwdAge_);
}
std::string PolicyRecord::MinPwdLengthText() const {
  return std::to_string(minPwdLength_);
}
std::string PolicyRecord::PwdHistoryText() const {
  return std::to_string(pwdHistory_);
}
std::string PolicyRecord::ComplexityText() const {
  return complexity_ ? "TRUE" : "FALSE";
}
std::string PolicyRecord::ReversibleText() const {
  return reversible_ ? "TRUE" : "FALSE";
}

std::string PolicyRecord::LockoutDurationInterval() const {
  return CountToInterval(lockoutDuration_, IntervalUnit::kMinutes);
}
std::string PolicyRecord::LockoutObservationInterval() const {
  return CountToInterval(lockoutObservation_, IntervalUnit::kMinutes);
}
std::string PolicyRecord::MaxPwdAgeInterval() const {
  return CountToInterval(maxPwdAge_, IntervalUnit::kDays);
}
std::string PolicyRecord::MinPwdAgeInterval() const {
  return CountToInterval(minPwdAge_, IntervalUnit::kDays);
}

bool SameSettings(const PolicyRecord& a, const PolicyRecord& b) {
  return a.isPSO() == b.isPSO() && a.lockoutDuration() == b.lockoutDuration() &&
         a.lockoutObservation() == b.lockoutObservation() &&
         a.lockoutThreshold() == b.lockoutThreshold() &&
         a.maxPwdAge() == b.maxPwdAge() && a.minPwdAge() == b.minPwdAge() &&
         a.minPwdLength() == b.minPwdLength() &&
         a.pwdHistory() == b.pwdHistory() && a.complexity() == b.complexity() &&
         a.reversible() == b.reversible();
}

void CopySettings(PolicyRecord& to, const PolicyRecord& from) {
  to.lockoutDuration_ = from.lockoutDuration_;
  to.lockoutObservation_ = from.lockoutObservation_;
  to.lockoutThreshold_ = from.lockoutThreshold_;
  to.maxPwdAge_ = from.maxPwdAge_;
  to.minPwdAge_ = from.minPwdAge_;
  to.minPwdLength_ = from.minPwdLength_;
  to.pwdHistory_ = from.pwdHistory_;
  to.complexity_ = from.complexity_;
  to.reversible_ = from.reversible_;
  to.precedence_ = from.precedence_;
}

void Tighten(PolicyRecord& to, const PolicyRecord& from) {
  if (LongerDuration(from.lockoutDuration_, to.lockoutDuration_)) {
    to.lockoutDuration_ = from.lockoutDuration_;
  }
  if (LongerDuration(from.lockoutObservation_, to.lockoutObservation_)) {
    to.lockoutObservation_ = from.lockoutObservation_;
  }
  // A threshold of 0 means no lockout at all, the loosest setting.
  if (from.lockoutThreshold_ != 0 &&
      (to.lockoutThreshold_ == 0 ||
       from.lockoutThreshold_ < to.lockoutThreshold_)) {
    to.lockoutThreshold_ = from.lockoutThreshold_;
  }
  if (LongerDuration(to.maxPwdAge_, from.maxPwdAge_)) {
    to.maxPwdAge_ = from.maxPwdAge_;
  }
  if (from.minPwdAge_ > to.minPwdAge_) to.minPwdAge_ = from.minPwdAge_;
  if (from.minPwdLength_ > to.minPwdLength_) {
    to.minPwdLength_ = from.minPwdLength_;
  }
  if (from.pwdHistory_ > to.pwdHistory_) to.pwdHistory_ = from.pwdHistory_;
  to.complexity_ = to.complexity_ || from.complexity_;
  if (!from.reversible_) to.reversible_ = false;
}

}  // namespace talvex

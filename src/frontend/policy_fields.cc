#include "frontend/policy_fields.h"

#include <cstdint>
#include <limits>

#include "policy/policy_rules.h"
#include "support/decimal_integer.h"
#include "support/interval.h"
#include "support/output.h"
#include "support/text_case.h"

namespace talvex {
namespace {

enum FieldIndex {
  kName = 0,
  kDisplayName = 1,
  kPrecedence = 2,
  kMaxPwdAge = 3,
  kMinLength = 4,
  kHistory = 5,
  kLockoutCount = 6,
  kLockoutDuration = 7,
  kLockoutObserve = 8,
  kMinPwdAge = 9,
  kComplexity = 10,
  kReversible = 11,
};

// An override switch and the fields its value (split at colons) replaces.
struct OverrideSwitch {
  const char* name;
  std::vector<int> fields;
  bool upperCase;
};

const std::vector<OverrideSwitch>& OverrideSwitches() {
  static const std::vector<OverrideSwitch> switches = {
      {"pwdage", {kMaxPwdAge, kMinPwdAge}, false},
      {"lockout", {kLockoutCount, kLockoutDuration, kLockoutObserve}, false},
      {"pwdlen", {kMinLength}, false},
      {"pwdhist", {kHistory}, false},
      {"pwdcomplex", {kComplexity}, true},
      {"pwdreverse", {kReversible}, true},
  };
  return switches;
}

// A setting given by a field: how it is set, read back for the default
// report, and named in messages.
struct SettingField {
  int index;
  void (PolicyRecord::*set)(const std::string&);
  std::string (PolicyRecord::*text)() const;
  const char* defaultUnit;
};

const std::vector<SettingField>& SettingFields() {
  static const std::vector<SettingField> fields = {
      {kMaxPwdAge, &PolicyRecord::SetMaxPwdAge, &PolicyRecord::MaxPwdAgeText,
       " days for maximum password age."},
      {kMinLength, &PolicyRecord::SetMinPwdLength,
       &PolicyRecord::MinPwdLengthText,
       " characters for minimum password length."},
      {kHistory, &PolicyRecord::SetPwdHistory, &PolicyRecord::PwdHistoryText,
       " passwords for minimum password history."},
      {kLockoutCount, &PolicyRecord::SetLockoutThreshold,
       &PolicyRecord::LockoutThresholdText,
       " bad passwords for lockout threshold."},
      {kLockoutDuration, &PolicyRecord::SetLockoutDuration,
       &PolicyRecord::LockoutDurationText, " minutes for lockout duration."},
      {kLockoutObserve, &PolicyRecord::SetLockoutObservation,
       &PolicyRecord::LockoutObservationText,
       " minutes for lockout observation."},
      {kMinPwdAge, &PolicyRecord::SetMinPwdAge, &PolicyRecord::MinPwdAgeText,
       " days for minimum password age."},
      {kComplexity, &PolicyRecord::SetComplexity,
       &PolicyRecord::ComplexityText, " for password complexity."},
      {kReversible, &PolicyRecord::SetReversible,
       &PolicyRecord::ReversibleText, " for reversible encryption passwords."},
  };
  return fields;
}

// A duration field and the range that converts to a directory interval.
struct DurationField {
  int index;
  const char* label;
  IntervalUnit unit;
  const char* unitName;
  const char* debugText;
};

// A count field and the key word of its range.
struct CountField {
  int index;
  const char* keyWord;
  const char* debugText;
};

// Collects the messages and whether any check failed.
class Checks {
 public:
  explicit Checks(std::vector<std::string>* messages) : messages_(messages) {}

  void Fail(std::initializer_list<std::string> lines,
            const char* debugText) {
    messages_->push_back("ERROR:");
    for (const std::string& line : lines) messages_->push_back(line);
    messages_->push_back("ERROR:");
    if (Output().debugLevel >= 1) PrintDebugLine(debugText);
    failed_ = true;
  }

  void Warn(const std::string& line) {
    messages_->push_back(line);
    warned_ = true;
  }

  bool failed() const { return failed_; }
  bool warned() const { return warned_; }

 private:
  std::vector<std::string>* messages_;
  bool failed_ = false;
  bool warned_ = false;
};

bool FitsInt32(std::int64_t value) {
  return value >= std::numeric_limits<std::int32_t>::min() &&
         value <= std::numeric_limits<std::int32_t>::max();
}

// A number that does not fit 32 bits would wrap into an unrelated setting
// (4294967297 into 1); refuse it instead.
void CheckFits(Checks& checks, const std::string& text, const char* label,
               const char* debugText) {
  if (!text.empty() && !FitsInt32(ToInteger64(text))) {
    checks.Fail({std::string("ERROR: Value for ") + label +
                     " does not fit in 32 bits.",
                 "ERROR: Value - " + text},
                debugText);
  }
}

// Only a whole decimal number is a value: reading the leading digits would
// turn "abc" into 0 (passwords that never expire, lockout off) and "1x"
// into 1. Returns whether the text is one.
bool CheckWholeNumber(Checks& checks, const std::string& text,
                      const char* label, const char* debugText) {
  if (IsWholeDecimal(text)) return true;
  checks.Fail({std::string("ERROR: Value for ") + label +
                   " is not a whole decimal number.",
               "ERROR: Value - " + text},
              debugText);
  return false;
}

const SettingRange& RangeOf(const char* keyWord) {
  for (const SettingRange& range : SettingRanges()) {
    if (std::string_view(range.keyWord) == keyWord) return range;
  }
  return SettingRanges().front();
}

// A count setting: a whole number within 32 bits and within the schema's
// range of its attribute, which a Windows controller enforces. Returns
// whether the text passed.
bool CheckCount(Checks& checks, const std::string& text, const char* keyWord,
                const char* debugText) {
  const SettingRange& range = RangeOf(keyWord);
  if (!CheckWholeNumber(checks, text, range.label, debugText)) return false;
  std::int64_t value = ToInteger64(text);
  if (!FitsInt32(value)) {
    CheckFits(checks, text, range.label, debugText);
    return false;
  }
  if (value >= range.minimum && value <= range.maximum) return true;
  // Too low a precedence and too long a minimum length keep the one-line
  // blocks users have always seen.
  bool low = value < range.minimum;
  std::string_view key = keyWord;
  if ((key == "precedence" && low) || (key == "minpwdlen" && !low)) {
    checks.Fail({RangeMessage(range, value)}, debugText);
  } else {
    checks.Fail({RangeMessage(range, value), "ERROR: Value - " + text},
                debugText);
  }
  return false;
}

// A duration becomes a directory interval of 100-ns units: only -1 (never)
// and 0 up to the longest interval have a meaning; anything else would be
// written as some other duration.
void CheckDuration(Checks& checks, const std::vector<std::string>& fields,
                   const DurationField& duration) {
  const std::string& text = fields[duration.index];
  if (text.empty()) return;
  if (!CheckWholeNumber(checks, text, duration.label, duration.debugText)) {
    return;
  }
  std::int64_t value = ToInteger64(text);
  if (value < kNeverCount) {
    checks.Fail({std::string("ERROR: Minimum value for ") + duration.label +
                     " is -1 (never).",
                 "ERROR: Value - " + text},
                duration.debugText);
  } else if (!IntervalCountFits(value, duration.unit)) {
    checks.Fail({std::string("ERROR: Maximum value for ") + duration.label +
                     " is " + std::to_string(MaxIntervalCount(duration.unit)) +
                     " " + duration.unitName + ".",
                 "ERROR: Value - " + text},
                duration.debugText);
  }
}

void CheckBoolean(Checks& checks, const std::string& text,
                  const char* message, const char* debugText) {
  if (text.empty()) return;
  std::string lower = LowerCase(text);
  if (lower != "true" && lower != "false") {
    checks.Fail({message, "ERROR: Value - " + text}, debugText);
  }
}

}  // namespace

std::vector<std::string> SplitFields(std::string_view text, int count) {
  std::vector<std::string> fields;
  if (count < 1) return fields;
  while (static_cast<int>(fields.size()) < count - 1) {
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) break;
    fields.emplace_back(text.substr(0, colon));
    text.remove_prefix(colon + 1);
  }
  fields.emplace_back(text);
  fields.resize(static_cast<std::size_t>(count));
  return fields;
}

bool ParsePolicySpecification(const CommandLine& commandLine,
                              PolicyRecord* record,
                              std::vector<std::string> fields, bool isAdd,
                              std::vector<std::string>* messages) {
  fields.resize(kSpecificationFieldCount);

  std::vector<std::string> overrides(kSpecificationFieldCount);
  for (const OverrideSwitch& override : OverrideSwitches()) {
    if (!commandLine.HasSwitch(override.name)) continue;
    std::string value = commandLine.SwitchValue(override.name, "");
    if (override.upperCase) value = UpperCase(value);
    std::vector<std::string> parts =
        SplitFields(value, static_cast<int>(override.fields.size()));
    for (std::size_t i = 0; i < parts.size(); ++i) {
      overrides[override.fields[i]] = parts[i];
    }
  }
  for (int i = 0; i < kSpecificationFieldCount; ++i) {
    if (!overrides[i].empty()) fields[i] = overrides[i];
  }

  Checks checks(messages);
  const std::string& name = fields[kName];
  const std::string& displayName = fields[kDisplayName];
  const std::string& precedence = fields[kPrecedence];
  if (isAdd) {
    if (name.empty()) {
      checks.Fail({"ERROR: Must specify name in parameter for -add."},
                  "No name specified");
    } else {
      record->SetName(name);
    }
    if (displayName.empty()) {
      checks.Warn("WARN: Using name " + name + " for displayName.");
      record->SetDisplayName(name);
    } else {
      record->SetDisplayName(displayName);
    }
    if (precedence.empty()) {
      checks.Fail({"ERROR: Must specify precedence in parameter for -add."},
                  "No precedence specified");
    } else if (CheckCount(checks, precedence, "precedence",
                          "Bad precedence value")) {
      record->SetPrecedence(precedence);
    }
  } else {
    if (!name.empty()) record->SetName(name);
    if (!displayName.empty()) record->SetDisplayName(displayName);
    if (!precedence.empty() &&
        CheckCount(checks, precedence, "precedence", "Bad precedence value")) {
      record->SetPrecedence(precedence);
    }
  }

  static const CountField kCountFields[] = {
      {kMinLength, "minpwdlen", "Bad minpwdlength value"},
      {kHistory, "pwdhistory", "Bad pwdhistory value"},
      {kLockoutCount, "lockoutthreshold", "Bad lockoutthreshold value"},
  };
  static const DurationField kDurationFields[] = {
      {kMaxPwdAge, "maximum password age", IntervalUnit::kDays, "days",
       "Bad maxpwdage value"},
      {kLockoutDuration, "lockout duration", IntervalUnit::kMinutes,
       "minutes", "Bad lockoutduration value"},
      {kLockoutObserve, "lockout observation", IntervalUnit::kMinutes,
       "minutes", "Bad lockoutobservation value"},
      {kMinPwdAge, "minimum password age", IntervalUnit::kDays, "days",
       "Bad minpwdage value"},
  };
  for (const CountField& count : kCountFields) {
    const std::string& text = fields[count.index];
    if (!text.empty()) CheckCount(checks, text, count.keyWord, count.debugText);
  }
  for (const DurationField& duration : kDurationFields) {
    CheckDuration(checks, fields, duration);
  }

  CheckBoolean(checks, fields[kComplexity],
               "ERROR: Complexity setting must be TRUE or FALSE.",
               "Bad complexity value");
  CheckBoolean(checks, fields[kReversible],
               "ERROR: Reversible encryption setting must be TRUE or FALSE.",
               "Bad reversible value");

  if (checks.failed()) return false;

  if (Output().debugLevel >= 1) {
    PrintDebugLine("Values specified ok, setting any defaults as necessary.");
  }
  for (const SettingField& setting : SettingFields()) {
    const std::string& text = fields[setting.index];
    if (!text.empty()) {
      (record->*setting.set)(text);
    } else if (isAdd) {
      checks.Warn("WARN: Using default " + (record->*setting.text)() +
                  setting.defaultUnit);
    }
  }
  if (checks.warned()) messages->push_back("");

  // The new PSO is complete only now, with its defaults: the rules between
  // two settings (a minimum age above the default maximum, say) can break
  // only here.
  if (isAdd) {
    std::vector<std::string> broken = CheckPolicyRules(*record);
    if (!broken.empty()) {
      messages->push_back("ERROR:");
      messages->insert(messages->end(), broken.begin(), broken.end());
      messages->push_back("ERROR:");
      if (Output().debugLevel >= 1) PrintDebugLine("Values break a policy rule");
      return false;
    }
  }
  return true;
}

}  // namespace talvex

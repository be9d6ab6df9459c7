#include "frontend/policy_fields.h"

#include <cstdint>
#include <limits>

#include "policy/policy_rules.h"
#include "policy/policy_settings.h"
#include "support/decimal_integer.h"
#include "support/interval.h"
#include "support/output.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// The fields before the settings' own.
constexpr int kName = 0;
constexpr int kDisplayName = 1;

// The number of colon-separated parts of an override switch's value: one
// per field it replaces.
int OverrideParts(const char* overrideSwitch) {
  int parts = 0;
  for (const PolicySetting& setting : PolicySettings()) {
    if (setting.overrideSwitch != nullptr &&
        std::string_view(setting.overrideSwitch) == overrideSwitch) {
      ++parts;
    }
  }
  return parts;
}

// Collects the messages and whether any check failed.
class Checks {
 public:
  explicit Checks(std::vector<std::string>* messages) : messages_(messages) {}

  void Fail(std::initializer_list<std::string> lines, const char* debugText) {
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
    checks.Fail(
        {std::string("ERROR: Value for ") + label + " does not fit in 32 bits.",
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

// A count setting: a whole number within 32 bits and within the schema's
// range of its attribute, which a Windows controller enforces. Returns
// whether the text passed.
bool CheckCount(Checks& checks, const std::string& text,
                const PolicySetting& setting) {
  const char* debugText = setting.badValueDebug;
  if (!CheckWholeNumber(checks, text, setting.label, debugText)) return false;
  std::int64_t value = ToInteger64(text);
  if (!FitsInt32(value)) {
    CheckFits(checks, text, setting.label, debugText);
    return false;
  }
  if (value >= setting.minimum && value <= setting.maximum) return true;
  // Too low a precedence and too long a minimum length keep the one-line
  // blocks users have always seen.
  bool low = value < setting.minimum;
  if ((setting.id == SettingId::kPrecedence && low) ||
      (setting.id == SettingId::kMinPwdLength && !low)) {
    checks.Fail({RangeMessage(setting, value)}, debugText);
  } else {
    checks.Fail({RangeMessage(setting, value), "ERROR: Value - " + text},
                debugText);
  }
  return false;
}

// A duration becomes a directory interval of 100-ns units: only -1 (never)
// and 0 up to the longest interval have a meaning; anything else would be
// written as some other duration.
void CheckDuration(Checks& checks, const std::string& text,
                   const PolicySetting& setting) {
  if (text.empty()) return;
  if (!CheckWholeNumber(checks, text, setting.label, setting.badValueDebug)) {
    return;
  }
  std::int64_t value = ToInteger64(text);
  if (value < kNeverCount ||
      !IntervalCountFits(value, IntervalUnitOf(setting))) {
    checks.Fail(
        {DurationRangeMessage(setting, value), "ERROR: Value - " + text},
        setting.badValueDebug);
  }
}

void CheckBoolean(Checks& checks, const std::string& text,
                  const PolicySetting& setting) {
  if (text.empty()) return;
  std::string lower = LowerCase(text);
  if (lower != "true" && lower != "false") {
    std::string label = setting.label;
    label[0] = static_cast<char>(label[0] - 'a' + 'A');
    checks.Fail({"ERROR: " + label + " setting must be TRUE or FALSE.",
                 "ERROR: Value - " + text},
                setting.badValueDebug);
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

  for (const PolicySetting& setting : PolicySettings()) {
    if (setting.overrideSwitch == nullptr ||
        !commandLine.HasSwitch(setting.overrideSwitch)) {
      continue;
    }
    std::string value = commandLine.SwitchValue(setting.overrideSwitch, "");
    if (setting.unit == SettingUnit::kBoolean) value = UpperCase(value);
    std::string part = SplitFields(
        value, OverrideParts(setting.overrideSwitch))[static_cast<std::size_t>(
        setting.overridePart)];
    if (!part.empty()) fields[setting.field] = part;
  }

  Checks checks(messages);
  const std::string& name = fields[kName];
  const std::string& displayName = fields[kDisplayName];
  const PolicySetting& precedenceSetting = Setting(SettingId::kPrecedence);
  const std::string& precedence = fields[precedenceSetting.field];
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
    } else if (CheckCount(checks, precedence, precedenceSetting)) {
      record->SetPrecedence(precedence);
    }
  } else {
    if (!name.empty()) record->SetName(name);
    if (!displayName.empty()) record->SetDisplayName(displayName);
    if (!precedence.empty() &&
        CheckCount(checks, precedence, precedenceSetting)) {
      record->SetPrecedence(precedence);
    }
  }

  // The counts, then the durations, then the two switches, each in the
  // order of the fields.
  for (const PolicySetting& setting : PolicySettings()) {
    const std::string& text = fields[setting.field];
    if (setting.unit == SettingUnit::kCount &&
        setting.id != SettingId::kPrecedence && !text.empty()) {
      CheckCount(checks, text, setting);
    }
  }
  for (const PolicySetting& setting : PolicySettings()) {
    if (IsDuration(setting))
      CheckDuration(checks, fields[setting.field], setting);
  }
  for (const PolicySetting& setting : PolicySettings()) {
    if (setting.unit == SettingUnit::kBoolean) {
      CheckBoolean(checks, fields[setting.field], setting);
    }
  }

  if (checks.failed()) return false;

  if (Output().debugLevel >= 1) {
    PrintDebugLine("Values specified ok, setting any defaults as necessary.");
  }
  for (const PolicySetting& setting : PolicySettings()) {
    if (setting.id == SettingId::kPrecedence) continue;
    const std::string& text = fields[setting.field];
    if (!text.empty()) {
      record->SetSetting(setting.id, text);
    } else if (isAdd) {
      checks.Warn("WARN: Using default " + record->Text(setting.id) +
                  setting.defaultText);
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
      if (Output().debugLevel >= 1)
        PrintDebugLine("Values break a policy rule");
      return false;
    }
  }
  return true;
}

}  // namespace talvex

#include "policy/policy_entry.h"

#include <cstdint>
#include <string>

#include "policy/policy_settings.h"
#include "policy/setting_text_check.h"
#include "support/decimal_integer.h"

namespace talvex {
namespace {

constexpr char kDomainPolicyPrecedence[] = "2147483647";

// The first value of the attribute ("" for one without values), or null
// when the entry lacks it.
template <class Entry>
const std::string* FirstValueIfAny(const Entry& entry,
                                   std::string_view attribute) {
  const std::vector<std::string>* values = FindAttribute(entry, attribute);
  if (values == nullptr) return nullptr;
  static const std::string kEmpty;
  return values->empty() ? &kEmpty : &values->front();
}

// The identity attributes, in the order they are set: the name before the
// display names, which it fills when the entry lacks them.
const std::string& DnOf(const Record& entry) {
  static const std::string kNone;
  const std::vector<std::string>* values = FindAttribute(entry, kDnKey);
  return values == nullptr || values->empty() ? kNone : values->front();
}
const std::string& DnOf(const LdapEntry& entry) { return entry.dn; }

template <class Entry>
void SetIdentity(const Entry& entry, PolicyRecord* record) {
  const struct {
    const char* attribute;
    void (PolicyRecord::*set)(const std::string&);
  } kIdentity[] = {
      {"name", &PolicyRecord::SetName},
      {"canonicalName", &PolicyRecord::SetCanonicalName},
      {"displayName", &PolicyRecord::SetDisplayName},
      {"adminDisplayName", &PolicyRecord::SetAdminDisplayName},
  };
  record->SetDN(DnOf(entry));
  for (const auto& identity : kIdentity) {
    if (const std::string* value = FirstValueIfAny(entry, identity.attribute)) {
      (record->*identity.set)(*value);
    }
  }
}

SettingSyntax SyntaxOf(const PolicySetting& setting) {
  switch (setting.unit) {
    case SettingUnit::kCount:
      return SettingSyntax::kInteger;
    case SettingUnit::kDays:
      return SettingSyntax::kIntervalDays;
    case SettingUnit::kMinutes:
      return SettingSyntax::kIntervalMinutes;
    case SettingUnit::kBoolean:
      return SettingSyntax::kBoolean;
  }
  return SettingSyntax::kText;
}

// Every setting is single-valued in the schema; a second value (a broken
// or hostile server) leaves it unclear which one is in force, so the
// setting shows all of them as invalid ("5, 7") rather than the first.
std::string JoinedValues(const std::vector<std::string>& values) {
  std::string text;
  for (const std::string& value : values) {
    if (!text.empty()) text += ", ";
    text += value;
  }
  return text;
}

// Marks the setting invalid unless the attribute's values are one value of
// the syntax.
void CheckValues(const std::vector<std::string>& values,
                 const std::string& first, SettingSyntax syntax, SettingId id,
                 PolicyRecord* record) {
  if (values.size() > 1) {
    record->MarkInvalid(id, JoinedValues(values));
  } else if (!IsValidSettingText(first, syntax)) {
    record->MarkInvalid(id, first);
  }
}

template <class Entry>
void SetSetting(const Entry& entry, const PolicySetting& setting,
                const char* attribute, PolicyRecord* record) {
  const std::vector<std::string>* values = FindAttribute(entry, attribute);
  if (values == nullptr) {
    record->MarkUnset(setting.id);
    return;
  }
  static const std::string kEmpty;
  const std::string& first = values->empty() ? kEmpty : values->front();
  const SettingSyntax syntax = SyntaxOf(setting);
  int number = 0;
  if (values->size() == 1 && ReadPlainSettingNumber(first, syntax, &number)) {
    record->SetDirectoryNumber(setting.id, number);
    return;
  }
  record->SetFromDirectory(setting.id, first);
  CheckValues(*values, first, syntax, setting.id, record);
}

}  // namespace

const AttributeSet& PsoAttributes() {
  static const AttributeSet attributes = [] {
    AttributeSet set = {"adminDisplayName", "displayName", "name",
                        "canonicalName"};
    for (const PolicySetting& setting : PolicySettings()) {
      set.insert(setting.psoAttribute);
    }
    return set;
  }();
  return attributes;
}

const AttributeSet& DomainPolicyAttributes() {
  static const AttributeSet attributes = [] {
    AttributeSet set = {"name", "canonicalName", kPwdPropertiesAttribute};
    for (const PolicySetting& setting : PolicySettings()) {
      if (setting.domainAttribute != nullptr) {
        set.insert(setting.domainAttribute);
      }
    }
    return set;
  }();
  return attributes;
}

namespace {

template <class Entry>
PolicyRecord PsoFrom(const Entry& entry) {
  PolicyRecord record;
  record.SetIsPSO(true);
  SetIdentity(entry, &record);
  for (const PolicySetting& setting : PolicySettings()) {
    SetSetting(entry, setting, setting.psoAttribute, &record);
  }
  return record;
}

}  // namespace

PolicyRecord PsoFromEntry(const Record& entry) { return PsoFrom(entry); }
PolicyRecord PsoFromEntry(const LdapEntry& entry) { return PsoFrom(entry); }

PolicyRecord DomainPolicyFromEntry(const Record& entry) {
  PolicyRecord record;
  record.SetIsPSO(false);
  record.SetPrecedence(kDomainPolicyPrecedence);
  SetIdentity(entry, &record);
  const std::string* properties =
      FirstValueIfAny(entry, kPwdPropertiesAttribute);
  if (properties != nullptr) record.SetRawProperties(*properties);
  const std::int64_t bits = properties ? ToInteger64(*properties) : 0;
  for (const PolicySetting& setting : PolicySettings()) {
    if (setting.domainAttribute != nullptr) {
      SetSetting(entry, setting, setting.domainAttribute, &record);
    } else if (setting.propertiesBit == 0) {
      continue;
    } else if (properties == nullptr) {
      record.MarkUnset(setting.id);
    } else {
      record.SetSetting(setting.id,
                        (bits & setting.propertiesBit) ? "TRUE" : "FALSE");
      CheckValues(*FindAttribute(entry, kPwdPropertiesAttribute), *properties,
                  SettingSyntax::kInteger, setting.id, &record);
    }
  }
  return record;
}

}  // namespace talvex

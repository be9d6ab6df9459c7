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

bool IsTrueText(const std::string& text) { return UpperCaseEquals(text, "TRUE"); }

}  // namespace

// The identity key words in the order of their bits; the settings' bits
// follow, in the order of their ids.
enum class PolicyRecord::KeyWord : std::uint8_t {
  kDn,
  kName,
  kDisplayName,
  kAdminDisplayName,
};

namespace {

constexpr const char* kIdentityKeyWords[] = {
    "dn",
    "name",
    "displayname",
    "admindisplayname",
};
constexpr unsigned kSettingBitBase = std::size(kIdentityKeyWords);

// The bit of a key word, or 0 for a text that is none.
std::uint16_t KeyWordBit(const std::string& keyWord) {
  for (std::size_t i = 0; i < std::size(kIdentityKeyWords); ++i) {
    if (keyWord == kIdentityKeyWords[i]) {
      return static_cast<std::uint16_t>(1u << i);
    }
  }
  const PolicySetting* setting = FindSetting(keyWord);
  if (setting == nullptr) return 0;
  return static_cast<std::uint16_t>(
      1u << (kSettingBitBase + static_cast<unsigned>(setting->id)));
}

std::uint16_t SettingBit(SettingId id) {
  return static_cast<std::uint16_t>(
      1u << (kSettingBitBase + static_cast<unsigned>(id)));
}

}  // namespace

PolicyRecord::PolicyRecord() = default;

PolicyRecord::PolicyRecord(bool withDefaults)
    : PolicyRecord(withDefaults, false) {}

PolicyRecord::PolicyRecord(bool withDefaults, bool changeSpecification)
    : changeSpecification_(changeSpecification) {
  if (!withDefaults) return;
  isPso_ = true;
  for (const PolicySetting& setting : PolicySettings()) {
    values_[Index(setting.id)] = setting.addDefault;
  }
}

void PolicyRecord::Mark(KeyWord keyWord, const std::string& text) {
  if (!text.empty()) specified_ |= 1u << static_cast<unsigned>(keyWord);
}

void PolicyRecord::Mark(SettingId id, const std::string& text) {
  if (!text.empty()) specified_ |= SettingBit(id);
}

bool PolicyRecord::IsSpecified(const std::string& keyWord) const {
  return (specified_ & KeyWordBit(keyWord)) != 0;
}

bool PolicyRecord::IsSpecified(SettingId id) const {
  return (specified_ & SettingBit(id)) != 0;
}

void PolicyRecord::MarkUnset(SettingId id) { unset_ |= SettingBit(id); }

void PolicyRecord::MarkInvalid(SettingId id, const std::string& text) {
  invalid_.emplace_back(id, text);
}

bool PolicyRecord::IsUnset(SettingId id) const {
  return (unset_ & SettingBit(id)) != 0;
}

const std::string* PolicyRecord::InvalidText(SettingId id) const {
  for (const auto& [invalid, text] : invalid_) {
    if (invalid == id) return &text;
  }
  return nullptr;
}

std::set<std::string> PolicyRecord::specified() const {
  std::set<std::string> keyWords;
  for (std::size_t i = 0; i < std::size(kIdentityKeyWords); ++i) {
    if ((specified_ >> i & 1u) != 0) keyWords.insert(kIdentityKeyWords[i]);
  }
  for (const PolicySetting& setting : PolicySettings()) {
    if (IsSpecified(setting.id)) keyWords.insert(setting.keyWord);
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
    std::string_view rdn = DnPart(dn, 0);
    name_.assign(rdn.size() > 3 ? rdn.substr(3) : std::string_view());
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

void PolicyRecord::SetFromDirectory(SettingId id, const std::string& text) {
  const PolicySetting& setting = Setting(id);
  if (!IsDuration(setting)) return SetSetting(id, text);
  values_[Index(id)] = IntervalToCount(text, IntervalUnitOf(setting));
  Mark(id, text);
}

void PolicyRecord::SetDirectoryNumber(SettingId id, int value) {
  values_[Index(id)] = value;
  specified_ |= SettingBit(id);
}

void PolicyRecord::SetSetting(SettingId id, const std::string& text) {
  if (Setting(id).unit != SettingUnit::kBoolean) {
    values_[Index(id)] = ReadDecimal(text);
  } else if (!(changeSpecification_ && text.empty())) {
    // An empty value in a change specification means "leave as it is".
    values_[Index(id)] = IsTrueText(text) ? 1 : 0;
  }
  Mark(id, text);
}

std::string PolicyRecord::Text(SettingId id) const {
  int value = Value(id);
  if (Setting(id).unit == SettingUnit::kBoolean) {
    return value != 0 ? "TRUE" : "FALSE";
  }
  return std::to_string(value);
}

std::string PolicyRecord::DirectoryText(SettingId id) const {
  const PolicySetting& setting = Setting(id);
  if (!IsDuration(setting)) return Text(id);
  return CountToInterval(Value(id), IntervalUnitOf(setting));
}

bool SameSettings(const PolicyRecord& a, const PolicyRecord& b) {
  if (a.isPSO() != b.isPSO()) return false;
  for (const PolicySetting& setting : PolicySettings()) {
    if (setting.id != SettingId::kPrecedence &&
        a.Value(setting.id) != b.Value(setting.id)) {
      return false;
    }
  }
  return true;
}

void CopySettings(PolicyRecord& to, const PolicyRecord& from) {
  for (const PolicySetting& setting : PolicySettings()) {
    to.SetValue(setting.id, from.Value(setting.id));
  }
}

void Tighten(PolicyRecord& to, const PolicyRecord& from) {
  for (const PolicySetting& setting : PolicySettings()) {
    if (IsStronger(setting, from.Value(setting.id), to.Value(setting.id))) {
      to.SetValue(setting.id, from.Value(setting.id));
    }
  }
}

}  // namespace talvex

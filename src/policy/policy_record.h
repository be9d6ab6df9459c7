// One password policy: a Password Settings Object or a domain's policy.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "policy/policy_settings.h"

namespace talvex {

class PolicyRecord {
 public:
  // Without defaults: a domain policy, every setting 0 or false.
  PolicyRecord();
  // With defaults: a PSO with the default settings.
  explicit PolicyRecord(bool withDefaults);
  PolicyRecord(bool withDefaults, bool changeSpecification);

  // Identity setters. Those that take a key word mark it as specified when
  // the text is not empty.
  void SetDN(const std::string& dn);                  // "dn"
  void SetName(const std::string& name);              // "name"
  void SetDisplayName(const std::string& name);       // "displayname"
  void SetAdminDisplayName(const std::string& name);  // "admindisplayname"
  void SetCanonicalName(const std::string& name);
  void SetDomain(const std::string& domain);
  void SetRawProperties(const std::string& properties);
  void SetIsPSO(bool isPso);

  // A setting from the directory's text: an interval of 100-ns units for
  // a duration, a decimal count, or "TRUE"/"FALSE".
  void SetFromDirectory(SettingId id, const std::string& text);
  // A setting as the user gives it: whole minutes or days, a count, or
  // "TRUE"/"FALSE" in any case.
  void SetSetting(SettingId id, const std::string& text);
  // A setting whose directory text was read already: the record's number
  // for it (a count, or whole minutes or days), marked as specified.
  void SetDirectoryNumber(SettingId id, int value);
  void SetValue(SettingId id, int value) { values_[Index(id)] = value; }

  // Count form: decimal texts of minutes or days.
  void SetLockoutDuration(const std::string& minutes) {
    SetSetting(SettingId::kLockoutDuration, minutes);
  }
  void SetLockoutObservation(const std::string& minutes) {
    SetSetting(SettingId::kLockoutObservation, minutes);
  }
  void SetMaxPwdAge(const std::string& days) {
    SetSetting(SettingId::kMaxPwdAge, days);
  }
  void SetMinPwdAge(const std::string& days) {
    SetSetting(SettingId::kMinPwdAge, days);
  }
  void SetLockoutThreshold(const std::string& count) {
    SetSetting(SettingId::kLockoutThreshold, count);
  }
  void SetMinPwdLength(const std::string& length) {
    SetSetting(SettingId::kMinPwdLength, length);
  }
  void SetPwdHistory(const std::string& count) {
    SetSetting(SettingId::kPwdHistory, count);
  }
  void SetPrecedence(const std::string& precedence) {
    SetSetting(SettingId::kPrecedence, precedence);
  }
  void SetComplexity(const std::string& value) {
    SetSetting(SettingId::kComplexity, value);
  }
  void SetReversible(const std::string& value) {
    SetSetting(SettingId::kReversible, value);
  }

  // Text getters.
  const std::string& dn() const { return dn_; }
  const std::string& domain() const { return domain_; }
  const std::string& name() const { return name_; }
  const std::string& canonicalName() const { return canonicalName_; }
  const std::string& displayName() const { return displayName_; }
  const std::string& adminDisplayName() const { return adminDisplayName_; }
  const std::string& rawProperties() const { return rawProperties_; }
  bool isPSO() const { return isPso_; }
  bool isChangeSpecification() const { return changeSpecification_; }
  bool IsSpecified(const std::string& keyWord) const;
  bool IsSpecified(SettingId id) const;
  // The key words marked as specified.
  std::set<std::string> specified() const;

  // Settings as the directory held them, marked by the retrieval: a setting
  // the entry lacked ("unset": the account may not read it, or it was never
  // written) or whose text is no value the record can hold ("invalid"). The
  // setting itself then holds 0 or false, which is not what the directory
  // holds, so it must not be shown as such.
  void MarkUnset(SettingId id);
  void MarkInvalid(SettingId id, const std::string& text);
  bool IsUnset(SettingId id) const;
  // The text as read of a setting marked invalid, or null.
  const std::string* InvalidText(SettingId id) const;
  bool HasUnsetSettings() const { return unset_ != 0; }
  bool HasInvalidSettings() const { return !invalid_.empty(); }

  // Settings as numbers (booleans 1 or 0), and as text: decimal, or
  // "TRUE"/"FALSE".
  int Value(SettingId id) const { return values_[Index(id)]; }
  std::string Text(SettingId id) const;
  // As the directory holds it: durations as interval texts of 100-ns units.
  std::string DirectoryText(SettingId id) const;

  int precedence() const { return Value(SettingId::kPrecedence); }
  bool complexity() const { return Value(SettingId::kComplexity) != 0; }
  bool reversible() const { return Value(SettingId::kReversible) != 0; }

 private:
  static std::size_t Index(SettingId id) {
    return static_cast<std::size_t>(id);
  }
  // Index of an identity key word; the settings' key words follow them.
  enum class KeyWord : std::uint8_t;
  void Mark(KeyWord keyWord, const std::string& text);
  void Mark(SettingId id, const std::string& text);

  std::string dn_;
  std::string domain_;
  std::string name_;
  std::string canonicalName_;
  std::string displayName_;
  std::string adminDisplayName_;
  std::string rawProperties_;
  bool isPso_ = false;
  bool changeSpecification_ = false;
  // One bit per key word: a record is kept for every policy of a domain,
  // so the marks cost no allocation.
  std::uint16_t specified_ = 0;
  std::uint16_t unset_ = 0;
  // Setting and text as read; empty for nearly every record.
  std::vector<std::pair<SettingId, std::string>> invalid_;
  std::array<int, kSettingCount> values_{};
};

// Same type and equal values of the nine settings (precedence and names are
// not compared).
bool SameSettings(const PolicyRecord& a, const PolicyRecord& b);
// The nine settings and the precedence of `from` into `to`.
void CopySettings(PolicyRecord& to, const PolicyRecord& from);
// Merges `from` into `to`, keeping the stricter value of each setting:
// longer lockouts and observation windows, a lower non-zero threshold (0 is
// no lockout at all), a shorter maximum age, a longer minimum age, length
// and history, complexity on, reversible encryption off. The never value
// (-1) of a duration counts as the longest: a maximum age that never
// expires is the loosest, a lockout until an administrator unlocks the
// strictest.
void Tighten(PolicyRecord& to, const PolicyRecord& from);

}  // namespace talvex

// One password policy: a Password Settings Object or a domain's policy.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace talvex {

class PolicyRecord;
void CopySettings(PolicyRecord& to, const PolicyRecord& from);
void Tighten(PolicyRecord& to, const PolicyRecord& from);

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

  // Directory form: interval texts of 100-ns units.
  void SetLockoutDurationInterval(const std::string& interval);     // minutes
  void SetLockoutObservationInterval(const std::string& interval);  // minutes
  void SetMaxPwdAgeInterval(const std::string& interval);           // days
  void SetMinPwdAgeInterval(const std::string& interval);           // days
  // Count form: decimal texts of minutes or days.
  void SetLockoutDuration(const std::string& minutes);
  void SetLockoutObservation(const std::string& minutes);
  void SetMaxPwdAge(const std::string& days);
  void SetMinPwdAge(const std::string& days);
  void SetLockoutThreshold(const std::string& count);
  void SetMinPwdLength(const std::string& length);
  void SetPwdHistory(const std::string& count);
  void SetPrecedence(const std::string& precedence);
  void SetComplexity(const std::string& value);  // "TRUE"/"FALSE", any case
  void SetReversible(const std::string& value);

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
  // The key words marked as specified.
  std::set<std::string> specified() const;

  // Settings as the directory held them, marked by the retrieval: a setting
  // the entry lacked ("unset": the account may not read it, or it was never
  // written) or whose text is no value the record can hold ("invalid"). The
  // setting itself then holds 0 or false, which is not what the directory
  // holds, so it must not be shown as such.
  void MarkUnset(const std::string& keyWord);
  void MarkInvalid(const std::string& keyWord, const std::string& text);
  bool IsUnset(const std::string& keyWord) const;
  // The text as read of a setting marked invalid, or null.
  const std::string* InvalidText(const std::string& keyWord) const;
  bool HasUnsetSettings() const { return unset_ != 0; }
  bool HasInvalidSettings() const { return !invalid_.empty(); }

  // Settings as numbers.
  int precedence() const { return precedence_; }
  int lockoutThreshold() const { return lockoutThreshold_; }
  int lockoutDuration() const { return lockoutDuration_; }
  int lockoutObservation() const { return lockoutObservation_; }
  int maxPwdAge() const { return maxPwdAge_; }
  int minPwdAge() const { return minPwdAge_; }
  int minPwdLength() const { return minPwdLength_; }
  int pwdHistory() const { return pwdHistory_; }
  bool complexity() const { return complexity_; }
  bool reversible() const { return reversible_; }

  // Settings as text: decimal, or "TRUE"/"FALSE".
  std::string PrecedenceText() const;
  std::string LockoutThresholdText() const;
  std::string LockoutDurationText() const;
  std::string LockoutObservationText() const;
  std::string MaxPwdAgeText() const;
  std::string MinPwdAgeText() const;
  std::string MinPwdLengthText() const;
  std::string PwdHistoryText() const;
  std::string ComplexityText() const;
  std::string ReversibleText() const;

  // Directory interval texts of the four durations.
  std::string LockoutDurationInterval() const;
  std::string LockoutObservationInterval() const;
  std::string MaxPwdAgeInterval() const;
  std::string MinPwdAgeInterval() const;

 private:
  friend void CopySettings(PolicyRecord& to, const PolicyRecord& from);
  friend void Tighten(PolicyRecord& to, const PolicyRecord& from);

  // Index of a key word in the record's fixed list of them.
  enum class KeyWord : std::uint8_t;
  void Mark(KeyWord keyWord, const std::string& text);

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
  // Key word and text as read; empty for nearly every record.
  std::vector<std::pair<std::string, std::string>> invalid_;
  int precedence_ = 0;
  int lockoutThreshold_ = 0;
  int lockoutDuration_ = 0;
  int lockoutObservation_ = 0;
  int maxPwdAge_ = 0;
  int minPwdAge_ = 0;
  int minPwdLength_ = 0;
  int pwdHistory_ = 0;
  bool complexity_ = false;
  bool reversible_ = false;
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

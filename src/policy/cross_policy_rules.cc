#include "policy/cross_policy_rules.h"

#include <algorithm>

#include "directory/distinguished_name.h"
#include "policy/policy_display.h"
#include "policy/policy_settings.h"
#include "support/interval.h"

namespace talvex {
namespace {

using enum SettingId;
using Findings = std::vector<AuditFinding>;

bool Readable(const PolicyRecord& record, SettingId id) {
  return !record.IsUnset(id) && record.InvalidText(id) == nullptr;
}

AuditFinding SettingFinding(const PolicyRecord& record, SettingId id,
                            const char* rule) {
  return {.dn = record.dn(),
          .setting = id,
          .rule = rule,
          .found = record.Value(id)};
}

const AuditedPolicy* DomainPolicyOf(const AuditedPolicy& pso,
                                    const std::vector<AuditedPolicy>& all) {
  for (const AuditedPolicy& policy : all) {
    if (!policy.record->isPSO() && policy.domain == pso.domain) return &policy;
  }
  return nullptr;
}

// A PSO replaces its domain's policy for the users it reaches: a weaker
// setting there loosens the domain's rule for them.
void WeakerThanDomain(const AuditedPolicy& policy,
                      const std::vector<AuditedPolicy>& all, Findings* out) {
  const PolicyRecord& pso = *policy.record;
  if (!pso.isPSO()) return;
  const AuditedPolicy* domain = DomainPolicyOf(policy, all);
  if (domain == nullptr) return;
  const PolicyRecord& domainRecord = *domain->record;
  for (SettingId id : ListedSettings()) {
    const PolicySetting& setting = Setting(id);
    if (setting.stronger == Stronger::kNeither || !Readable(pso, id) ||
        !Readable(domainRecord, id)) {
      continue;
    }
    const int domainValue = domainRecord.Value(id);
    if (!IsStronger(setting, domainValue, pso.Value(id))) continue;
    AuditFinding finding = SettingFinding(pso, id, "weakerThanDomain");
    finding.required = SettingValueText(id, domainValue) + " or stronger";
    finding.detail = std::string(setting.label) +
                     " weaker than the domain policy's (" +
                     SettingValueText(id, domainValue) + ")";
    out->push_back(std::move(finding));
  }
}

void LockoutOff(const AuditedPolicy& policy, const std::vector<AuditedPolicy>&,
                Findings* out) {
  const PolicyRecord& record = *policy.record;
  if (!Readable(record, kLockoutThreshold) ||
      record.Value(SettingId::kLockoutThreshold) != 0)
    return;
  AuditFinding finding =
      SettingFinding(record, kLockoutThreshold, "lockoutOff");
  finding.detail =
      "account lockout is off: passwords can be guessed without limit";
  out->push_back(std::move(finding));
}

void ReversibleOn(const AuditedPolicy& policy,
                  const std::vector<AuditedPolicy>&, Findings* out) {
  const PolicyRecord& record = *policy.record;
  if (!Readable(record, kReversible) || !record.reversible()) return;
  AuditFinding finding = SettingFinding(record, kReversible, "reversibleOn");
  finding.required = SettingValueText(kReversible, 0);
  finding.detail = "passwords are stored with reversible encryption";
  out->push_back(std::move(finding));
}

bool Names(const AuditedPolicy& pso, const std::string& subjectDn) {
  for (const AuditedSubject& subject : pso.subjects) {
    if (SameDn(subject.dn, subjectDn)) return true;
  }
  return false;
}

// Windows (and Samba) break a precedence tie with the lower objectGUID,
// which no listing shows; the finding names the PSO picked.
void PrecedenceTie(const AuditedPolicy& policy,
                   const std::vector<AuditedPolicy>& all, Findings* out) {
  const PolicyRecord& record = *policy.record;
  if (!record.isPSO()) return;
  std::vector<const AuditedPolicy*> tied;
  for (const AuditedPolicy& other : all) {
    if (other.record->isPSO() && other.domain == policy.domain &&
        other.record->precedence() == record.precedence()) {
      tied.push_back(&other);
    }
  }
  if (tied.size() < 2) return;
  const AuditedPolicy* picked = tied.front();
  std::string others;
  for (const AuditedPolicy* other : tied) {
    if (LowerGuid(other->guidBytes, picked->guidBytes)) picked = other;
    if (other == &policy) continue;
    others += (others.empty() ? "" : "; ") + other->record->dn();
  }
  // Precedence orders policies; it is no setting of the document's.
  AuditFinding finding{.dn = record.dn(), .rule = "precedenceTie"};
  finding.picked = picked->record->dn();
  finding.detail = "precedence " + std::to_string(record.precedence()) +
                   " also held by " + others +
                   "; where they meet the directory picks " +
                   picked->record->dn() + " (lowest objectGUID)";
  // The subjects this PSO shares with another of the tie, and what the
  // directory computed for the users among them.
  std::string shared;
  for (const AuditedSubject& subject : policy.subjects) {
    bool named = false;
    for (const AuditedPolicy* other : tied) {
      if (other != &policy && Names(*other, subject.dn)) named = true;
    }
    if (!named) continue;
    shared += (shared.empty() ? "" : "; ") + subject.dn;
    if (!subject.resultantPso.empty() &&
        !SameDn(subject.resultantPso, picked->record->dn())) {
      shared += " (its msDS-ResultantPSO is " + subject.resultantPso + ")";
    }
  }
  if (!shared.empty()) finding.detail += "; shared subjects: " + shared;
  out->push_back(std::move(finding));
}

void Unused(const AuditedPolicy& policy, const std::vector<AuditedPolicy>&,
            Findings* out) {
  if (!policy.record->isPSO() || !policy.subjects.empty()) return;
  out->push_back({.dn = policy.record->dn(),
                  .rule = "unused",
                  .detail = "the PSO applies to no user or group"});
}

void IneffectiveSubject(const AuditedPolicy& policy,
                        const std::vector<AuditedPolicy>&, Findings* out) {
  for (const AuditedSubject& subject : policy.subjects) {
    std::string why;
    if (subject.otherDomain) {
      why = "is in another domain; a PSO reaches only its own domain";
    } else if (!subject.type.takesEffect) {
      why = "is a " + subject.type.kind +
            "; a PSO acts only on users, inetOrgPersons and global security "
            "groups";
      if (subject.type.universalSecurityGroup)
        why +=
            " (Samba 4.17 counts universal security groups too, Windows "
            "does not)";
    } else {
      continue;
    }
    out->push_back({.dn = policy.record->dn(),
                    .rule = "ineffectiveSubject",
                    .detail = "linked to " + subject.dn + ", which " + why});
  }
}

// Windows refuses these values when they are written (an observation
// window longer than the lockout, a minimum age above the maximum); Samba
// accepts them, so a directory may hold them.
void WindowsRule(const AuditedPolicy& policy, const std::vector<AuditedPolicy>&,
                 Findings* out) {
  const PolicyRecord& record = *policy.record;
  // The lockout duration's order: never is the longest.
  if (Readable(record, kLockoutObservation) &&
      Readable(record, kLockoutDuration) &&
      IsStronger(Setting(kLockoutDuration),
                 record.Value(SettingId::kLockoutObservation),
                 record.Value(SettingId::kLockoutDuration))) {
    AuditFinding finding =
        SettingFinding(record, kLockoutObservation, "windowsRule");
    finding.required =
        SettingValueText(kLockoutDuration,
                         record.Value(SettingId::kLockoutDuration)) +
        " or less";
    finding.detail =
        "observation window longer than the lockout duration (" +
        SettingValueText(kLockoutDuration,
                         record.Value(SettingId::kLockoutDuration)) +
        ")";
    out->push_back(std::move(finding));
  }
  // A maximum age of never (or 0) sets no maximum.
  if (Readable(record, kMinPwdAge) && Readable(record, kMaxPwdAge) &&
      record.Value(SettingId::kMaxPwdAge) > 0 &&
      record.Value(SettingId::kMinPwdAge) >
          record.Value(SettingId::kMaxPwdAge)) {
    AuditFinding finding = SettingFinding(record, kMinPwdAge, "windowsRule");
    finding.required =
        SettingValueText(kMaxPwdAge, record.Value(SettingId::kMaxPwdAge)) +
        " or less";
    finding.detail =
        "minimum password age above the maximum age (" +
        SettingValueText(kMaxPwdAge, record.Value(SettingId::kMaxPwdAge)) + ")";
    out->push_back(std::move(finding));
  }
}

using Rule = void (*)(const AuditedPolicy&, const std::vector<AuditedPolicy>&,
                      Findings*);
constexpr Rule kRules[] = {WeakerThanDomain, LockoutOff, ReversibleOn,
                           PrecedenceTie,    Unused,     IneffectiveSubject,
                           WindowsRule};

}  // namespace

bool LowerGuid(const std::string& a, const std::string& b) {
  // Unsigned bytes: std::string compares char, which may be signed.
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
      });
}

std::vector<AuditFinding> CheckCrossPolicyRules(
    const std::vector<AuditedPolicy>& policies) {
  Findings findings;
  for (const AuditedPolicy& policy : policies) {
    for (Rule rule : kRules) rule(policy, policies, &findings);
  }
  return findings;
}

}  // namespace talvex

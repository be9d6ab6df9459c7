// Filling a policy record from a directory entry, attribute by attribute.
#pragma once

#include <span>
#include <string>

#include "directory/record_set.h"
#include "policy/policy_record.h"
#include "policy/setting_text_check.h"

namespace talvex {

// One attribute of an entry and the record setter that takes its first
// value. A setting names its key word and syntax, so that a value the entry
// lacks, or one the record cannot hold, is marked on the record.
struct AttributeSetter {
  const char* attribute;
  void (PolicyRecord::*setter)(const std::string&);
  const char* keyWord = nullptr;
  SettingSyntax syntax = SettingSyntax::kText;
};

// The identity attributes that PSOs and domain heads share, in the order
// they are set: the name before the display names, which it fills when the
// entry lacks them.
inline constexpr AttributeSetter kIdentityAttributes[] = {
    {"name", &PolicyRecord::SetName},
    {"canonicalName", &PolicyRecord::SetCanonicalName},
    {"displayName", &PolicyRecord::SetDisplayName},
    {"adminDisplayName", &PolicyRecord::SetAdminDisplayName},
};

// The first value of the attribute, or null when the entry lacks it.
const std::string* FirstValueIfAny(const Record& entry,
                                   const std::string& attribute);

// Calls each setter, in table order, with the first value of its attribute
// when the entry has that attribute. A setting (one with a key word) that
// the entry lacks is marked unset, one whose text is not valid for its
// syntax is marked invalid.
void SetFromEntry(const Record& entry, std::span<const AttributeSetter> setters,
                  PolicyRecord* record);

}  // namespace talvex

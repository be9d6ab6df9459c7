// Filling a policy record from a directory entry, attribute by attribute.
#pragma once

#include <span>
#include <string>

#include "directory/record_set.h"
#include "policy/policy_record.h"

namespace talvex {

// One attribute of an entry and the record setter that takes its first
// value.
struct AttributeSetter {
  const char* attribute;
  void (PolicyRecord::*setter)(const std::string&);
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
// when the entry has that attribute.
void SetFromEntry(const Record& entry, std::span<const AttributeSetter> setters,
                  PolicyRecord* record);

}  // namespace talvex

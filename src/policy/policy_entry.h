// A policy record from a directory entry: the attributes to ask for and
// the record built from what the entry holds.
#pragma once

#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "policy/policy_record.h"

namespace talvex {

// Identity and settings of a Password Settings Object.
const AttributeSet& PsoAttributes();
// Name and settings of a domain head.
const AttributeSet& DomainPolicyAttributes();

// Each setting the entry lacks is marked unset (the account may not read
// it, or it was never written), each whose text is no value of the setting
// marked invalid.
PolicyRecord PsoFromEntry(const Record& entry);
// The same from an entry as read (LdapGetEntryPages).
PolicyRecord PsoFromEntry(const LdapEntry& entry);
// A domain policy has no precedence of its own: it gets the highest, so
// that it loses to every PSO. Complexity and reversible encryption are
// bits of the domain's properties, whose text is kept as read so that a later
// change of the two bits leaves the others as the domain has them.
PolicyRecord DomainPolicyFromEntry(const Record& entry);

}  // namespace talvex

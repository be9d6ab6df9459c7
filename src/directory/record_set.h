// Search results as text: one record per entry.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "directory/ldap_client.h"

namespace talvex {

// Attribute name (exactly as the server names it) to its values as text, in
// server order. The pseudo-attribute "_dn" holds the entry's DN.
// std::less<> finds an attribute by a string_view without a copy of the name.
using Record = std::map<std::string, std::vector<std::string>, std::less<>>;
using RecordSet = std::vector<Record>;

inline constexpr char kDnKey[] = "_dn";

// The values of the attribute, or null when the record lacks it. Servers
// return attribute names in the schema's spelling ("sAMAccountName" when
// "samaccountname" was asked for), so the name is compared without regard to
// case; a ranged name ("member;range=0-1499", sent for large multi-valued
// attributes) counts as the attribute itself.
const std::vector<std::string>* FindAttribute(const Record& record,
                                              std::string_view name);

// The same for an entry as read, before it became a record, giving what
// FindAttribute of its record would give: an exact name's values (its last
// ones when the entry carries the name twice), else the first match in the
// record's order of names.
const std::vector<std::string>* FindAttribute(const LdapEntry& entry,
                                              std::string_view name);

// The first value, or "" when there is none.
std::string FirstAttributeValue(const Record& record, std::string_view name);
inline std::string FirstValue(const Record& record, std::string_view name) {
  return FirstAttributeValue(record, name);
}

}  // namespace talvex

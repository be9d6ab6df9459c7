// Reading attributes of a search record by the schema's name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "directory/record_set.h"

namespace talvex {

// The values of the attribute, or null when the record lacks it. Servers
// return attribute names in the schema's spelling ("sAMAccountName" when
// "samaccountname" was asked for), so the name is compared without regard to
// case; a ranged name ("member;range=0-1499", sent for large multi-valued
// attributes) counts as the attribute itself.
const std::vector<std::string>* FindAttribute(const Record& record,
                                              std::string_view name);

// The first value, or "" when there is none.
std::string FirstAttributeValue(const Record& record, std::string_view name);

}  // namespace talvex

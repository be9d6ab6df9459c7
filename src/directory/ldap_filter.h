// Search filter text: the form the LDAP client library accepts, and values
// typed by users made safe to put into a filter.
#pragma once

#include <string>

namespace talvex {

// The same filter with exactly one outer pair of parentheses and every
// component in its own pair: "((a=b))" -> "(a=b)", "(!a=*)" -> "(!(a=*))",
// "a=b" -> "(a=b)". The Windows client takes the loose forms; libldap
// refuses them before sending (-7). A text that cannot be read as a filter
// is returned unchanged, so the library reports it.
std::string NormalizeFilter(const std::string& filter);

// Escapes a value for an equality or substring filter (RFC 4515): "(", ")",
// "\" and NUL always; "*" too unless keepWildcard, which leaves it a
// wildcard of the filter.
std::string EscapeFilterValue(const std::string& value, bool keepWildcard);

}  // namespace talvex

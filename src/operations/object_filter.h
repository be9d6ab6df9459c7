// The filter that names one directory object by account name, user
// principal name or DN, as the membership and effective-policy actions take
// it from the command line.
#pragma once

#include <string>

namespace talvex {

// A value holding "dc=" (any case) is a DN: "(distinguishedName=<value>)";
// anything else: "|(samaccountname=<value>)(userprincipalname=<value>)",
// without outer parentheses (the search routines add them). The value is
// escaped (RFC 4515) including "*": it names one object, so "*" must not
// become a wildcard that picks whichever object the server returns first.
std::string ObjectFilter(const std::string& value);

}  // namespace talvex

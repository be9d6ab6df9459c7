// The colon-delimited policy given to -add and -mod, completed by the
// override switches -pwdage, -lockout, -pwdlen, -pwdhist, -pwdcomplex and
// -pwdreverse.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "frontend/command_line.h"
#include "policy/policy_record.h"

namespace talvex {

// name:displayname:precedence:maxpwdage:minlength:history:lo_count:
// lo_duration:lo_observe:minpwdage:complexity:reversible
inline constexpr int kSpecificationFieldCount = 12;

// Cuts the text at its first count-1 colons: the last field keeps any
// further colons; missing fields at the end are empty. Always returns
// exactly `count` fields (none for a count below 1).
std::vector<std::string> SplitFields(std::string_view text, int count);

// Fills *record from the twelve fields and the override switches. For an
// add (isAdd) the name and precedence are required and every field not
// given is reported with its default; for a modification only the fields
// given are set (and marked as specified). Appends the error and warning
// lines to *messages for the caller to print; returns false when any check
// failed, after all checks have run.
bool ParsePolicySpecification(const CommandLine& commandLine,
                              PolicyRecord* record,
                              std::vector<std::string> fields, bool isAdd,
                              std::vector<std::string>* messages);

}  // namespace talvex

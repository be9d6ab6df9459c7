// The sixteen-line display of a policy and the two listing orders.
#pragma once

#include <string>

#include "policy/policy_record.h"

namespace talvex {

// Prints the sixteen labelled lines of the record, each after the prefix.
void DisplayPolicy(const PolicyRecord& record, const std::string& prefix);
// Domain policies first, then by canonical name (byte order).
bool DefaultOrder(const PolicyRecord& a, const PolicyRecord& b);
// By domain (byte order), then by precedence.
bool PrecedenceOrder(const PolicyRecord& a, const PolicyRecord& b);

// The record as debug lines: the heading ("Domain Policy" or "Password
// Settings Object"), then seventeen labelled lines. The caller checks the
// debug level.
void DebugPolicy(const std::string& heading, const PolicyRecord& record);

}  // namespace talvex

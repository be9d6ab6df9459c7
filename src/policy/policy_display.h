// The sixteen-line display of a policy and the two listing orders.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "policy/policy_record.h"
#include "policy/policy_settings.h"

namespace talvex {

// Prints the sixteen labelled lines of the record, each after the prefix.
void DisplayPolicy(const PolicyRecord& record, const std::string& prefix);
// A setting as shown: its value, or "(unset)" / "(invalid: text)" when the
// directory did not hold a value the record could take.
std::string SettingText(const PolicyRecord& record, SettingId id);
// The nine settings in the listing's order (precedence is shown among the
// names); the JSON document names them in the same order.
std::span<const SettingId> ListedSettings();
// One warning block when any of the records shown has unset or invalid
// settings; for PSOs, whose settings are all mandatory, it says that the
// bind's account lacks the rights to read them.
void WarnUnsetOrInvalidSettings(const std::vector<const PolicyRecord*>& shown);
// Domain policies first, then by canonical name (byte order).
bool DefaultOrder(const PolicyRecord& a, const PolicyRecord& b);
// By domain (byte order), then by precedence.
bool PrecedenceOrder(const PolicyRecord& a, const PolicyRecord& b);

// The record as debug lines: the heading ("Domain Policy" or "Password
// Settings Object"), then seventeen labelled lines. The caller checks the
// debug level.
void DebugPolicy(const std::string& heading, const PolicyRecord& record);

}  // namespace talvex

// The parts every JSON document of the tool shares, and its one writer.
//
// The format is published as docs/talvex-output.schema.json; the names below
// are part of that contract and change only with formatVersion.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "operations/run_state.h"
#include "policy/policy_record.h"

namespace talvex {

// Keys stay in the order written, so that a document reads like the listing.
using JsonDocument = nlohmann::ordered_json;

// formatVersion, action, the controller (and global catalog) the run used
// and the domain it worked in.
JsonDocument DocumentHead(const RunState& state, const std::string& action);

// One policy: identity, precedence and the nine settings, durations in the
// unit their key names, the never value as null.
JsonDocument PolicyJson(const PolicyRecord& record);

// The "settings" object of a policy: the nine settings by their JSON keys.
JsonDocument SettingsJson(const PolicyRecord& record);

// A setting's value as "settings" carries it: durations in their unit and
// never as null, booleans as true/false, counts as numbers.
JsonDocument SettingJson(SettingId id, int value);

// A text, or null when it is empty (the directory has no such value).
JsonDocument TextOrNull(const std::string& text);

// The document on standard output, UTF-8, with one trailing line end.
void PrintJsonDocument(const JsonDocument& document);

}  // namespace talvex

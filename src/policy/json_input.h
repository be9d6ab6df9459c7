// What the JSON files a user writes for the tool share: settings named by
// the keys of the -json output, and places of syntax errors.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "policy/policy_settings.h"

namespace talvex {

// The row of a setting by its key in a document's "settings", or null.
const PolicySetting* SettingOfJsonKey(std::string_view key);
// Every settings key, comma-separated, for the message of an unknown one.
std::string SettingKeys();
// "line L, column C" of the byte a JSON parser stopped at.
std::string LineAndColumn(std::string_view text, std::size_t byte);

// Parses the text into *json (nlohmann's json or ordered_json); when it is
// no JSON, false with *place (line and column) and *reason set.
template <typename Json>
bool ParseJsonText(std::string_view text, Json* json, std::string* place,
                   std::string* reason) {
  try {
    *json = Json::parse(text);
  } catch (const typename Json::parse_error& error) {
    *place = LineAndColumn(text, error.byte);
    *reason = "not valid JSON";
    return false;
  }
  return true;
}

// Where a document that is JSON breaks the rules of its format, and why.
struct ParseFailure {
  std::string place;  // a JSON pointer
  std::string reason;
};

// Parses the text and reads it into *out with read, which reports what it
// finds wrong in *failure; *out is left alone unless the whole document
// reads. On failure *place and *reason say where and why.
template <typename Json, typename T>
bool ParseJsonDocument(std::string_view text, T* out, std::string* place,
                       std::string* reason,
                       bool (*read)(const Json&, T*, ParseFailure*)) {
  Json json;
  if (!ParseJsonText(text, &json, place, reason)) return false;
  ParseFailure failure;
  T value;
  if (!read(json, &value, &failure)) {
    *place = failure.place;
    *reason = failure.reason;
    return false;
  }
  *out = std::move(value);
  return true;
}

}  // namespace talvex

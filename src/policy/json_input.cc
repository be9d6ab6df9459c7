#include "policy/json_input.h"

#include "policy/policy_display.h"

namespace talvex {

std::string SettingKeys() {
  std::string keys;
  for (SettingId id : ListedSettings()) {
    if (!keys.empty()) keys += ", ";
    keys += Setting(id).jsonKey;
  }
  return keys;
}

const PolicySetting* SettingOfJsonKey(std::string_view key) {
  for (const PolicySetting& setting : PolicySettings()) {
    if (setting.jsonKey != nullptr && key == setting.jsonKey) return &setting;
  }
  return nullptr;
}

std::string LineAndColumn(std::string_view text, std::size_t byte) {
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace talvex

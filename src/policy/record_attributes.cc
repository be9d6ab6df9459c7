#include "policy/record_attributes.h"

namespace talvex {

const std::string* FirstValueIfAny(const Record& entry,
                                   const std::string& attribute) {
  auto it = entry.find(attribute);
  if (it == entry.end()) return nullptr;
  static const std::string kEmpty;
  return it->second.empty() ? &kEmpty : &it->second.front();
}

void SetFromEntry(const Record& entry, std::span<const AttributeSetter> setters,
                  PolicyRecord* record) {
  for (const AttributeSetter& setter : setters) {
    const std::string* value = FirstValueIfAny(entry, setter.attribute);
    if (value != nullptr) (record->*setter.setter)(*value);
    if (setter.keyWord == nullptr) continue;
    if (value == nullptr) {
      record->MarkUnset(setter.keyWord);
    } else if (!IsValidSettingText(*value, setter.syntax)) {
      record->MarkInvalid(setter.keyWord, *value);
    }
  }
}

}  // namespace talvex

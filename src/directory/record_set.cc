#include "directory/record_set.h"

#include "support/text_case.h"

namespace talvex {

namespace {

// name, or "name;options" (a ranged form), without regard to ASCII case.
bool NamesAttribute(std::string_view key, std::string_view name) {
  return key.size() >= name.size() &&
         EqualsIgnoringAsciiCase(key.substr(0, name.size()), name) &&
         (key.size() == name.size() || key[name.size()] == ';');
}

}  // namespace

const std::vector<std::string>* FindAttribute(const Record& record,
                                              std::string_view name) {
  auto exact = record.find(name);
  if (exact != record.end()) return &exact->second;
  // Attribute names are ASCII; compared in place, without a lower-cased
  // copy of every name of the record.
  for (const auto& [key, values] : record) {
    if (NamesAttribute(key, name)) return &values;
  }
  return nullptr;
}

const std::vector<std::string>* FindAttribute(const LdapEntry& entry,
                                              std::string_view name) {
  // The name as asked for is what servers send; the other spellings are
  // looked for only without it.
  const LdapAttribute* exact = nullptr;
  for (const LdapAttribute& attribute : entry.attributes) {
    if (attribute.name == name) exact = &attribute;
  }
  if (exact != nullptr) return &exact->values;
  const LdapAttribute* first = nullptr;
  for (const LdapAttribute& attribute : entry.attributes) {
    if (NamesAttribute(attribute.name, name) &&
        (first == nullptr || attribute.name <= first->name)) {
      first = &attribute;
    }
  }
  return first != nullptr ? &first->values : nullptr;
}

std::string FirstAttributeValue(const Record& record, std::string_view name) {
  const std::vector<std::string>* values = FindAttribute(record, name);
  if (values == nullptr || values->empty()) return std::string();
  return values->front();
}

}  // namespace talvex

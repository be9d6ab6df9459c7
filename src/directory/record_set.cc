#include "directory/record_set.h"

#include "support/text_case.h"

namespace talvex {

const std::vector<std::string>* FindAttribute(const Record& record,
                                              std::string_view name) {
  auto exact = record.find(name);
  if (exact != record.end()) return &exact->second;
  // Attribute names are ASCII; compared in place, without a lower-cased
  // copy of every name of the record.
  for (const auto& [key, values] : record) {
    if (key.size() >= name.size() &&
        EqualsIgnoringAsciiCase(std::string_view(key).substr(0, name.size()),
                                name) &&
        (key.size() == name.size() || key[name.size()] == ';')) {
      return &values;
    }
  }
  return nullptr;
}

std::string FirstAttributeValue(const Record& record, std::string_view name) {
  const std::vector<std::string>* values = FindAttribute(record, name);
  if (values == nullptr || values->empty()) return std::string();
  return values->front();
}

}  // namespace talvex

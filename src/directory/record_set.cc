#include "directory/record_set.h"

#include "support/text_case.h"

namespace talvex {

const std::vector<std::string>* FindAttribute(const Record& record,
                                              std::string_view name) {
  auto exact = record.find(std::string(name));
  if (exact != record.end()) return &exact->second;
  std::string wanted = LowerCase(name);
  for (const auto& [key, values] : record) {
    std::string lowered = LowerCase(key);
    if (lowered == wanted ||
        (lowered.size() > wanted.size() && lowered.starts_with(wanted) &&
         lowered[wanted.size()] == ';')) {
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

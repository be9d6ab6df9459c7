#include "directory/value_conversion.h"

#include "directory/binary_attribute_tables.h"
#include "directory/binary_value_text.h"
#include "directory/security_text.h"
#include "support/output.h"

namespace talvex {

namespace {

void ConvertValues(BinaryKind kind, std::vector<std::string>* values) {
  if (kind == BinaryKind::kText) return;
  for (std::string& value : *values) {
    switch (kind) {
      case BinaryKind::kSecurityDescriptor:
        value = SecurityDescriptorText(value);
        break;
      case BinaryKind::kSid:
        value = SidValueText(value);
        break;
      case BinaryKind::kGuid:
        value = GuidToText(value);
        break;
      default:
        value = FormatHexBytes(value.data(), value.size());
        break;
    }
  }
}

}  // namespace

std::vector<std::string> ConvertAttributeValues(
    const std::string& attribute, std::vector<std::string> values) {
  ConvertValues(BinaryKindOf(attribute), &values);
  return values;
}

void SearchValueConverter::Convert(std::size_t position,
                                   const std::string& attribute,
                                   std::vector<std::string>* values) {
  if (position >= kinds_.size()) kinds_.resize(position + 1);
  auto& [name, kind] = kinds_[position];
  if (name != attribute || name.empty()) {
    name = attribute;
    kind = BinaryKindOf(attribute);
  }
  ConvertValues(kind, values);
}

}  // namespace talvex

#include "directory/value_conversion.h"

#include "directory/binary_attribute_tables.h"
#include "directory/binary_value_text.h"
#include "directory/security_text.h"
#include "support/output.h"

namespace talvex {

namespace {

std::vector<std::string> ConvertValues(BinaryKind kind,
                                       std::vector<std::string> values) {
  if (kind == BinaryKind::kText) return values;
  for (std::string& value : values) {
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
  return values;
}

}  // namespace

std::vector<std::string> ConvertAttributeValues(
    const std::string& attribute, std::vector<std::string> values) {
  return ConvertValues(BinaryKindOf(attribute), std::move(values));
}

std::vector<std::string> SearchValueConverter::Convert(
    std::size_t position, const std::string& attribute,
    std::vector<std::string> values) {
  if (position >= kinds_.size()) kinds_.resize(position + 1);
  auto& [name, kind] = kinds_[position];
  if (name != attribute || name.empty()) {
    name = attribute;
    kind = BinaryKindOf(attribute);
  }
  return ConvertValues(kind, std::move(values));
}

}  // namespace talvex

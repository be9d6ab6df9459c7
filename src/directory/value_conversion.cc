#include "directory/value_conversion.h"

#include "directory/binary_attribute_tables.h"
#include "directory/binary_value_text.h"
#include "directory/sddl_encoder.h"
#include "support/output.h"

namespace talvex {

std::vector<std::string> ConvertAttributeValues(
    const std::string& attribute, const std::vector<std::string>& values) {
  BinaryKind kind = BinaryKindOf(attribute);
  if (kind == BinaryKind::kText) return values;
  std::vector<std::string> texts;
  texts.reserve(values.size());
  for (const auto& value : values) {
    switch (kind) {
      case BinaryKind::kSecurityDescriptor:
        texts.push_back(SecurityDescriptorToSddl(value));
        break;
      case BinaryKind::kSid:
        texts.push_back(SidToText(value));
        break;
      case BinaryKind::kGuid:
        texts.push_back(GuidToText(value));
        break;
      default:
        texts.push_back(FormatHexBytes(value.data(), value.size()));
        break;
    }
  }
  return texts;
}

}  // namespace talvex

// Linux has no system conversion: our own encoders write the text the
// Windows conversions write.
#include "directory/security_text.h"

#include "directory/binary_value_text.h"
#include "directory/sddl_encoder.h"

namespace talvex {

std::string SidValueText(std::string_view bytes) { return SidToText(bytes); }

std::string SecurityDescriptorText(std::string_view bytes) {
  return SecurityDescriptorToSddl(bytes);
}

}  // namespace talvex

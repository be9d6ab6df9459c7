// Binary SIDs and security descriptors as text, by the platform's own
// conversion where it has one.
#pragma once

#include <string>
#include <string_view>

namespace talvex {

// "S-1-5-21-..."; "" when the bytes are not a SID.
std::string SidValueText(std::string_view bytes);
// SDDL with owner, group, DACL and SACL; "" when the bytes are not a
// security descriptor.
std::string SecurityDescriptorText(std::string_view bytes);

}  // namespace talvex

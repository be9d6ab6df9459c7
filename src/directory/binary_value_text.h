// Standard text forms of binary SID and GUID values.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talvex {

// The length of the SID that starts at bytes[0] (8 + 4 per sub-authority),
// or 0 when the bytes are too short for it or its revision is not 1.
std::size_t SidLength(std::string_view bytes);
// "S-1-5-21-..."; "" when the bytes are not a SID.
std::string SidToText(std::string_view bytes);

// "{33221100-5544-7766-8899-AABBCCDDEEFF}": the first three groups are read
// little-endian, the last two in stored order. A value shorter than 16 bytes
// cannot be a GUID and is shown in hexadecimal instead.
std::string GuidToText(std::string_view bytes);
// The same GUID without braces, in lower case (the SDDL form).
std::string GuidToLowerText(std::string_view bytes);
// The 16 bytes as stored of a GUID text of either form (braces optional,
// any case); "" when the text is no GUID.
std::string GuidTextToBytes(std::string_view text);

}  // namespace talvex

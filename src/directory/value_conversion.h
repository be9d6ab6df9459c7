// Attribute values as text: binary attributes by their kind, the rest as
// the server's own strings.
#pragma once

#include <string>
#include <vector>

namespace talvex {

// SIDs as S-1-... text, security descriptors as SDDL, GUIDs in registry
// format, other binary attributes in hexadecimal (FormatHexBytes); values
// of attributes in no binary table unchanged.
std::vector<std::string> ConvertAttributeValues(
    const std::string& attribute, const std::vector<std::string>& values);

}  // namespace talvex

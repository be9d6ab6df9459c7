// Attribute values as text: binary attributes by their kind, the rest as
// the server's own strings.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "directory/binary_attribute_tables.h"

namespace talvex {

// SIDs as S-1-... text, security descriptors as SDDL, GUIDs in registry
// format, other binary attributes in hexadecimal (FormatHexBytes); values
// of attributes in no binary table unchanged. Values passed by move are
// turned into text in place, text values without a copy.
std::vector<std::string> ConvertAttributeValues(
    const std::string& attribute, std::vector<std::string> values);

// The same for the entries of one search. Its entries mostly carry the same
// attributes in the same order, so the kind of the attribute at each
// position is remembered and the tables are searched again only when
// another name turns up there. Lives no longer than the search: the tables
// may be filled by a later bind.
class SearchValueConverter {
 public:
  // Turns the values into text where they stand.
  void Convert(std::size_t position, const std::string& attribute,
               std::vector<std::string>* values);

 private:
  std::vector<std::pair<std::string, BinaryKind>> kinds_;
};

}  // namespace talvex

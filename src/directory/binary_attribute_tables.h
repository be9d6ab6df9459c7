// The attributes whose values are binary, and how each kind is shown.
#pragma once

#include <string>

namespace talvex {

enum class BinaryKind { kText, kSid, kSecurityDescriptor, kGuid, kBinary };

// Loads the four tables (once; filling again leaves them as they are).
// Called after every successful bind, so that values can be turned into
// text from then on.
void FillBinaryAttributeTables();

// The kind of an attribute, by its name exactly as the server reports it
// (case-sensitive); kText for names in no table and before the fill.
BinaryKind BinaryKindOf(const std::string& attribute);

}  // namespace talvex

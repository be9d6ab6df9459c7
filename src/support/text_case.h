// Letter-case conversion of UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace talvex {

// Lower-/upper-cases every letter, not only ASCII ones: the directory
// compares names without regard to case, so "Ärzte" and "ärzte" are one
// name. Bytes that are not valid UTF-8 are kept as they are.
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);

}  // namespace talvex

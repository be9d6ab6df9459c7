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

// ASCII letters only, for names that are ASCII by their definition (DNS
// host names, Kerberos realms, attribute types): other bytes stay as they
// are, whatever they spell.
std::string AsciiLowerCase(std::string_view text);
std::string AsciiUpperCase(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
// UpperCase(text) == upper, without the upper-cased copy when the text is
// ASCII (upper: an upper-case ASCII word such as "TRUE").
bool UpperCaseEquals(std::string_view text, std::string_view upper);

// Orders texts without regard to ASCII case (for attribute names, which
// are case-insensitive); transparent, so that sets of names can be asked
// with a string_view.
struct LessIgnoringAsciiCase {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

}  // namespace talvex

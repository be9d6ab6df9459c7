// Distinguished names as text (RFC 4514): parsing, escaping and comparison
// without regard to case. Our own code on every platform, so that a DN is
// read the same way whichever LDAP library carries it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvex {

// One "type=value" of an RDN: the type as written, the value with its
// escapes undone ("Sales\, East" -> "Sales, East"; a "#" hex value gives
// the bytes it spells).
struct DnAttribute {
  std::string type;
  std::string value;
};

// One RDN: its text as the DN writes it (escapes kept, without the blanks
// around separators) and its attributes, several when joined with "+".
struct RelativeDn {
  std::string text;
  std::vector<DnAttribute> attributes;
};

class DistinguishedName {
 public:
  // Reads the text of a DN; false when the text is no DN. "" is the empty
  // DN (the RootDSE), with no RDNs.
  static bool Parse(std::string_view text, DistinguishedName* dn);
  // The RDNs' texts only, for callers that need no values: the same check
  // of the text, without building the values.
  static bool Split(std::string_view text, std::vector<std::string_view>* rdns);

  const std::vector<RelativeDn>& rdns() const { return rdns_; }

 private:
  std::vector<RelativeDn> rdns_;
};

// Escapes a value for use in an RDN: ",", "+", "\"", "\\", "<", ">", ";",
// "=", a leading "#" or blank, a trailing blank and NUL, so that a name such
// as "Sales, East" names one object and cannot add a level to the DN.
std::string EscapeRdnValue(std::string_view value);

// Whether two texts name the same entry: types compared without regard to
// ASCII case, values without regard to case (letters beyond ASCII too, as
// the directory compares names), whatever the escapes and blanks, and the
// attributes of a multi-valued RDN in any order. Texts that are no DN are
// compared as lower-cased text.
bool SameDn(std::string_view a, std::string_view b);

// "DC=corp,DC=example,DC=com" -> "corp.example.com", the values as written;
// "" when the text is no DN or has an RDN that is not a single DC value.
std::string DnsNameOfDomainDn(std::string_view dn);

}  // namespace talvex

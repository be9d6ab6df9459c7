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

// The RDN at the index, with its type ("CN=pso1"); "" when there is none.
std::string GetDNPart(const std::string& dn, int index);
// The same as a view into dn, without a copy.
std::string_view DnPart(std::string_view dn, int index);
// "CN=x,DC=Corp,DC=Example,DC=Com" -> "corp.example.com".
std::string DNToDNSName(const std::string& dn);
// "DC=corp,DC=example,DC=com" -> "DC=com,DC=example,DC=corp".
std::string ReverseDN(const std::string& dn);

// The DN of the domain that holds an object: the DN from its first DC= RDN
// on ("" when it has none), so that a "dc=" inside a value does not count.
std::string DomainDnOf(std::string_view dn);

// The RDN a rename to the new value gives the object: the type of its first
// RDN kept (CN= for a PSO), the value escaped, so that a "," or "+" in a
// name stays part of it instead of changing the DN's structure.
std::string RenamedRdn(std::string_view dn, std::string_view value);
// The object's DN after that rename: the new RDN in the same parent.
std::string RenamedDn(std::string_view dn, std::string_view value);

}  // namespace talvex

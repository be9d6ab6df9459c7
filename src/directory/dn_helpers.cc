#include "directory/dn_helpers.h"

#include <string_view>
#include <vector>

#include "directory/distinguished_name.h"
#include "support/text_case.h"

namespace talvex {

std::string GetDNPart(const std::string& dn, int index) {
  if (dn.empty() || index < 0) return std::string();
  std::vector<std::string_view> rdns;
  if (!DistinguishedName::Split(dn, &rdns)) return std::string();
  if (static_cast<std::size_t>(index) >= rdns.size()) return std::string();
  return std::string(rdns[static_cast<std::size_t>(index)]);
}

// Plain text work, no parsing: the lower-cased text cut at every ",dc=",
// the pieces from the first DC component on joined with dots.
std::string DNToDNSName(const std::string& dn) {
  constexpr std::string_view kSeparator = ",dc=";
  std::string text = LowerCase("," + dn + ",DC=");
  std::string_view rest(text);
  rest.remove_prefix(rest.find(kSeparator));
  std::string name;
  name.reserve(dn.size());
  while (!rest.empty()) {
    rest.remove_prefix(kSeparator.size());
    std::size_t next = rest.find(kSeparator);
    std::string_view piece = rest.substr(0, next);
    if (!piece.empty()) {
      name += piece;
      name += '.';
    }
    if (next == std::string_view::npos) break;
    rest.remove_prefix(next);
  }
  if (!name.empty()) name.pop_back();
  return name;
}

std::string ReverseDN(const std::string& dn) {
  std::vector<std::string_view> rdns;
  if (!DistinguishedName::Split(dn, &rdns)) return std::string();
  std::string result;
  result.reserve(dn.size());
  for (auto rdn = rdns.rbegin(); rdn != rdns.rend(); ++rdn) {
    if (!result.empty()) result += ',';
    result += *rdn;
  }
  return result;
}

}  // namespace talvex

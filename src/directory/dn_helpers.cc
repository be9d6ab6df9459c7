#include "directory/dn_helpers.h"

#include <ldap.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

#include "directory/openldap/ldap_handles.h"
#include "support/text_case.h"

namespace talvex {
namespace {

struct LdapDnDeleter {
  void operator()(LDAPDN dn) const { ldap_dnfree(dn); }
};
using LdapDnPtr = std::unique_ptr<std::remove_pointer_t<LDAPDN>, LdapDnDeleter>;

// The DN's text cut at its unescaped commas, each piece without the blanks
// that may surround a separator.
std::vector<std::string> CutAtSeparators(const std::string& dn) {
  std::vector<std::string> pieces;
  std::string current;
  std::size_t keep = 0;  // length up to the last character that must stay
  auto finish = [&] {
    current.erase(keep);
    std::size_t start = current.find_first_not_of(' ');
    pieces.push_back(start == std::string::npos ? std::string()
                                                : current.substr(start));
    current.clear();
    keep = 0;
  };
  for (std::size_t i = 0; i < dn.size(); ++i) {
    char c = dn[i];
    if (c == '\\' && i + 1 < dn.size()) {
      current += c;
      current += dn[++i];
      keep = current.size();
    } else if (c == ',') {
      finish();
    } else {
      current += c;
      if (c != ' ') keep = current.size();
    }
  }
  finish();
  return pieces;
}

// The RDNs of the DN, each "type=value" with the value escaped as in the DN
// itself. libldap's parser decides what a valid DN is and how many RDNs it
// has; its own rendering (which writes every escape in hex, "\2C" for "\,")
// is used only when a piece of the text cannot be matched to an RDN.
// Empty for a DN libldap cannot parse.
std::vector<std::string> SplitDn(const std::string& dn) {
  std::vector<std::string> rdns;
  LDAPDN parsed = nullptr;
  if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) {
    return rdns;
  }
  LdapDnPtr owner(parsed);
  for (int i = 0; parsed != nullptr && parsed[i] != nullptr; ++i) {
    char* text = nullptr;
    // Pretty: UTF-8 stays as it is instead of being hex-escaped.
    if (ldap_rdn2str(parsed[i], &text,
                     LDAP_DN_FORMAT_LDAPV3 | LDAP_DN_PRETTY) != LDAP_SUCCESS) {
      return {};
    }
    LdapStringPtr textOwner(text);
    rdns.emplace_back(text);
  }
  std::vector<std::string> pieces = CutAtSeparators(dn);
  return pieces.size() == rdns.size() ? pieces : rdns;
}

}  // namespace

std::string GetDNPart(const std::string& dn, int index) {
  if (dn.empty() || index < 0) return std::string();
  std::vector<std::string> rdns = SplitDn(dn);
  if (static_cast<std::size_t>(index) >= rdns.size()) return std::string();
  return rdns[static_cast<std::size_t>(index)];
}

std::string DNToDNSName(const std::string& dn) {
  std::string text = LowerCase("," + dn + ",DC=");
  const std::string separator = ",dc=";
  std::size_t first = text.find(separator);
  if (first != 0 && first != std::string::npos) text.erase(0, first);

  std::string name;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t next = text.find(separator, start);
    std::string piece = text.substr(
        start, next == std::string::npos ? std::string::npos : next - start);
    if (!piece.empty()) name += piece + ".";
    if (next == std::string::npos) break;
    start = next + separator.size();
  }
  if (!name.empty()) name.pop_back();
  return name;
}

std::string ReverseDN(const std::string& dn) {
  std::vector<std::string> rdns = SplitDn(dn);
  std::reverse(rdns.begin(), rdns.end());
  std::string result;
  for (const auto& rdn : rdns) {
    if (!result.empty()) result += ',';
    result += rdn;
  }
  return result;
}

std::string EscapeRdnValue(const std::string& value) {
  std::string escaped;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\0') {
      escaped += "\\00";
      continue;
    }
    bool special = c == ',' || c == '+' || c == '"' || c == '\\' || c == '<' ||
                   c == '>' || c == ';' || c == '=' ||
                   (i == 0 && (c == '#' || c == ' ')) ||
                   (i + 1 == value.size() && c == ' ');
    if (special) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace talvex

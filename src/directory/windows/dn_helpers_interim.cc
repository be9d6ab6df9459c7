// Interim DN helpers of the Windows build, without libldap's DN parser.
#include "directory/dn_helpers.h"

#include <algorithm>
#include <vector>

#include "support/text_case.h"

namespace talvex {
namespace {

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
// itself. Until the platform-free DN module replaces this file, the Windows
// build cuts at unescaped commas without checking the DN further.
std::vector<std::string> SplitDn(const std::string& dn) {
  return CutAtSeparators(dn);
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

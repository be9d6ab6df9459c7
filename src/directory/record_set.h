// Search results as text: one record per entry.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace talvex {

// Attribute name (exactly as the server names it) to its values as text, in
// server order. The pseudo-attribute "_dn" holds the entry's DN.
using Record = std::map<std::string, std::vector<std::string>>;
using RecordSet = std::vector<Record>;

inline constexpr char kDnKey[] = "_dn";

// The first value of an attribute, or "" when the record lacks it.
inline std::string FirstValue(const Record& record, const std::string& name) {
  auto it = record.find(name);
  if (it == record.end() || it->second.empty()) return std::string();
  return it->second.front();
}

}  // namespace talvex

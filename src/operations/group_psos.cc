#include "operations/group_psos.h"

#include <algorithm>
#include <set>

#include "directory/ldap_filter.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kPageSize = 100;
// Groups asked for in one search, so that a user in hundreds of groups
// costs a few requests per nesting level and no filter grows without bound.
constexpr std::size_t kGroupsPerSearch = 50;

std::string AnyOfDns(const std::vector<std::string>& dns, std::size_t first,
                     std::size_t count) {
  std::string filter = "(|";
  for (std::size_t i = first; i < first + count; ++i) {
    filter += "(distinguishedName=" +
              EscapeFilterValue(dns[i], /*keepWildcard=*/false) + ")";
  }
  return filter + ")";
}

}  // namespace

int FindGroupPsos(LdapConnection& connection, const std::string& searchBase,
                  const std::string& objectDn, std::vector<GroupPso>* found) {
  static const AttributeSet kObjectAttributes = {"memberOf"};
  static const AttributeSet kGroupAttributes = {"memberOf", "msDS-PSOApplied"};
  RecordSet object;
  int status = LdapGetRecs(connection, objectDn, "base", "(objectClass=*)",
                           kObjectAttributes, ControlMap(),
                           {.pageSize = kPageSize}, &object);
  if (status != 0) return status;
  if (object.empty()) return 0;

  // DNs compare without regard to case.
  std::set<std::string> seen;
  std::vector<std::string> level;
  auto enqueue = [&](const Record& record, std::vector<std::string>* next) {
    if (const auto* groups = FindAttribute(record, "memberOf")) {
      for (const std::string& group : *groups) {
        if (seen.insert(LowerCase(group)).second) next->push_back(group);
      }
    }
  };
  enqueue(object.front(), &level);
  while (!level.empty()) {
    std::vector<std::string> next;
    for (std::size_t first = 0; first < level.size();
         first += kGroupsPerSearch) {
      std::size_t count = std::min(kGroupsPerSearch, level.size() - first);
      RecordSet groups;
      status = LdapGetRecs(connection, searchBase, "subtree",
                           AnyOfDns(level, first, count), kGroupAttributes,
                           ControlMap(), {.pageSize = kPageSize}, &groups);
      if (status != 0) return status;
      for (const Record& group : groups) {
        if (const auto* psos = FindAttribute(group, "msDS-PSOApplied")) {
          for (const std::string& pso : *psos) {
            found->push_back(
                {.psoDn = pso, .groupDn = FirstValue(group, kDnKey)});
          }
        }
        enqueue(group, &next);
      }
    }
    level = std::move(next);
  }
  return 0;
}

}  // namespace talvex

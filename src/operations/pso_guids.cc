#include "operations/pso_guids.h"

#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "operations/run_failure.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kPageSize = 1000;

}  // namespace

std::map<std::string, std::string> ReadPsoGuids(RunState& state) {
  const std::string& base = state.serverInfo.defaultNamingContext;
  std::map<std::string, std::string> guids;
  int status = LdapGetRecPages(
      *state.mainConnection, base, "subtree",
      "objectCategory=msDS-PasswordSettings", {"objectGUID"}, ControlMap(),
      {.pageSize = kPageSize}, [&guids](RecordSet& page) {
        for (const Record& entry : page) {
          guids[LowerCase(FirstValue(entry, kDnKey))] =
              FirstAttributeValue(entry, "objectGUID");
        }
      });
  if (status != 0) {
    FailLdapCall(state,
                 "ERROR: ldap_search_s (" + base + "): ", state.controllerName,
                 status);
  }
  return guids;
}

AppliedMemberRecordsByPso ReadPsoSubjects(
    RunState& state, const std::vector<const PolicyRecord*>& psos) {
  AppliedMemberRecordsByPso members;
  if (psos.empty()) return members;
  std::vector<std::string> dns;
  for (const PolicyRecord* record : psos) dns.push_back(record->dn());
  int status =
      GetAppliedMemberRecords(*state.mainConnection,
                              state.serverInfo.defaultNamingContext, dns,
                              &members, {"objectSid"});
  if (status != 0) {
    FailLdapCall(state, "ERROR: ldap_search_s (" + dns.front() + "): ",
                 state.controllerName, status);
  }
  return members;
}

}  // namespace talvex

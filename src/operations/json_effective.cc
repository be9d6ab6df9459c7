#include "operations/json_effective.h"

#include <vector>

#include "operations/group_psos.h"
#include "operations/json_document.h"
#include "operations/run_failure.h"

namespace talvex {
namespace {

JsonDocument AppliedPolicies(RunState& state, const EffectiveUser& user) {
  JsonDocument list = JsonDocument::array();
  for (const std::string& pso : user.appliedPsos) {
    list.push_back({{"dn", pso}, {"through", "user"}, {"groupDn", nullptr}});
  }
  const std::string& base = state.serverInfo.defaultNamingContext;
  std::vector<GroupPso> viaGroups;
  int status = FindGroupPsos(*state.mainConnection, base, user.dn, &viaGroups);
  if (status != 0) {
    FailLdapCall(state,
                 "ERROR: LdapGetRecs (" + base + "): ", state.controllerName,
                 status);
  }
  for (const GroupPso& found : viaGroups) {
    list.push_back({{"dn", found.psoDn},
                    {"through", "group"},
                    {"groupDn", found.groupDn}});
  }
  return list;
}

JsonDocument EffectivePolicy(const RunState& state, const EffectiveUser& user,
                             const PolicyRecord* effective) {
  JsonDocument answer;
  if (user.resultantPso.empty()) {
    answer["source"] = "domainPolicy";
    answer["dn"] = effective != nullptr ? effective->dn() : state.domainDn;
  } else {
    answer["source"] = "pso";
    answer["dn"] = user.resultantPso;
  }
  answer["policy"] =
      effective != nullptr ? PolicyJson(*effective) : JsonDocument(nullptr);
  return answer;
}

}  // namespace

void PrintEffectiveDocument(RunState& state, const EffectiveUser& user,
                            const PolicyRecord* effective) {
  JsonDocument document = DocumentHead(state, "effective");
  document["user"] = {{"dn", user.dn},
                      {"objectType", TextOrNull(user.type)},
                      {"accountName", user.accountName},
                      {"principalName", TextOrNull(user.principalName)}};
  document["appliedPolicies"] = AppliedPolicies(state, user);
  document["effectivePolicy"] = EffectivePolicy(state, user, effective);
  document["directoryResultantPso"] = TextOrNull(user.resultantPso);
  PrintJsonDocument(document);
}

}  // namespace talvex

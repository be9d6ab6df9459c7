#include "operations/json_view.h"

#include "directory/record_set.h"
#include "operations/applied_members.h"
#include "operations/json_document.h"
#include "operations/run_failure.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// One object a PSO applies to: the facts of the listing's member line.
JsonDocument SubjectJson(const Record& member, const std::string& psoDn) {
  const std::vector<std::string>* classes =
      FindAttribute(member, "objectClass");
  std::optional<bool> resultant = ResultantIsPso(member, psoDn);
  JsonDocument subject;
  subject["dn"] = FirstValue(member, kDnKey);
  subject["objectType"] = classes != nullptr && !classes->empty()
                              ? JsonDocument(classes->back())
                              : JsonDocument(nullptr);
  subject["accountName"] =
      TextOrNull(FirstAttributeValue(member, "sAMAccountName"));
  subject["principalName"] =
      TextOrNull(FirstAttributeValue(member, "userPrincipalName"));
  subject["resultant"] =
      resultant ? JsonDocument(*resultant) : JsonDocument(nullptr);
  // A group with members of its own: the PSO reaches further than listed.
  subject["nestedMembers"] = FindAttribute(member, "member") != nullptr;
  // A group that is not a global security group: linked, and ignored. Only
  // such subjects carry the key.
  if (!TakesEffect(member)) subject["noEffect"] = Subject(member).kind;
  return subject;
}

JsonDocument AppliedTo(const AppliedMemberRecordsByPso& members,
                       const PolicyRecord& record) {
  JsonDocument subjects = JsonDocument::array();
  auto it = members.find(LowerCase(record.dn()));
  if (it == members.end()) return subjects;
  for (const Record& member : it->second)
    subjects.push_back(SubjectJson(member, record.dn()));
  return subjects;
}

// The subjects of every listed PSO with one search, as the text listing
// reads them.
AppliedMemberRecordsByPso ReadAppliedMembers(
    RunState& state, const std::vector<const PolicyRecord*>& policies) {
  std::vector<std::string> psoDns;
  for (const PolicyRecord* record : policies) psoDns.push_back(record->dn());
  AppliedMemberRecordsByPso members;
  int status = GetAppliedMemberRecords(*state.mainConnection,
                                       state.serverInfo.defaultNamingContext,
                                       psoDns, &members);
  if (status != 0) {
    FailLdapCall(state,
                 "ERROR: ldap_search_s (" + policies.front()->dn() + "): ",
                 state.controllerName, status);
  }
  return members;
}

}  // namespace

void PrintViewDocument(RunState& state,
                       const std::vector<const PolicyRecord*>& policies) {
  bool applied = state.config->action == ActionCode::kApplied;
  JsonDocument document = DocumentHead(state, applied ? "applied" : "view");
  AppliedMemberRecordsByPso members;
  if (applied && !policies.empty())
    members = ReadAppliedMembers(state, policies);
  JsonDocument list = JsonDocument::array();
  for (const PolicyRecord* record : policies) {
    JsonDocument policy = PolicyJson(*record);
    if (applied) policy["appliedTo"] = AppliedTo(members, *record);
    list.push_back(std::move(policy));
  }
  document["policies"] = std::move(list);
  PrintJsonDocument(document);
}

}  // namespace talvex

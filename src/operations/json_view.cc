#include "operations/json_view.h"

#include "operations/applied_members.h"
#include "operations/json_document.h"
#include "operations/record_attribute.h"
#include "operations/run_failure.h"

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
  return subject;
}

JsonDocument AppliedTo(RunState& state, const PolicyRecord& record) {
  RecordSet members;
  int status = SearchAppliedMembers(*state.mainConnection,
                                    state.serverInfo.defaultNamingContext,
                                    record.dn(), &members);
  if (status != 0) {
    FailLdapCall(state, "ERROR: ldap_search_s (" + record.dn() + "): ",
                 state.config->host, status);
  }
  JsonDocument subjects = JsonDocument::array();
  for (const Record& member : members)
    subjects.push_back(SubjectJson(member, record.dn()));
  return subjects;
}

}  // namespace

void PrintViewDocument(RunState& state,
                       const std::vector<const PolicyRecord*>& policies) {
  bool applied = state.config->action == ActionCode::kApplied;
  JsonDocument document = DocumentHead(state, applied ? "applied" : "view");
  JsonDocument list = JsonDocument::array();
  for (const PolicyRecord* record : policies) {
    JsonDocument policy = PolicyJson(*record);
    if (applied) policy["appliedTo"] = AppliedTo(state, *record);
    list.push_back(std::move(policy));
  }
  document["policies"] = std::move(list);
  PrintJsonDocument(document);
}

}  // namespace talvex

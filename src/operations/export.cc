// The Export section: the selected policies of one domain as one document
// meant to be kept in version control and edited by hand. Its format is
// docs/talvex-policies.schema.json; PSOs are ordered by name and subjects
// by DN, so that an unchanged domain exports the same bytes every time.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "directory/distinguished_name.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "operations/actions.h"
#include "operations/applied_members.h"
#include "operations/json_document.h"
#include "operations/pso_guids.h"
#include "operations/run_failure.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kPoliciesFormatVersion = 1;
// One object a PSO applies to, by every name a sync can find it again by:
// its SID in the same domain, its DN, its account name in another domain.
JsonDocument SubjectJson(const Record& member) {
  const std::vector<std::string>* classes =
      FindAttribute(member, "objectClass");
  JsonDocument subject;
  subject["dn"] = FirstValue(member, kDnKey);
  subject["accountName"] =
      TextOrNull(FirstAttributeValue(member, "sAMAccountName"));
  subject["objectSid"] = TextOrNull(FirstAttributeValue(member, "objectSid"));
  subject["objectClass"] = classes != nullptr && !classes->empty()
                               ? JsonDocument(classes->back())
                               : JsonDocument(nullptr);
  return subject;
}

JsonDocument SubjectsJson(RecordSet members) {
  std::stable_sort(members.begin(), members.end(),
                   [](const Record& a, const Record& b) {
                     return LowerCase(FirstValue(a, kDnKey)) <
                            LowerCase(FirstValue(b, kDnKey));
                   });
  JsonDocument subjects = JsonDocument::array();
  for (const Record& member : members) subjects.push_back(SubjectJson(member));
  return subjects;
}

JsonDocument PsoJson(const PolicyRecord& record, const std::string& guid,
                     RecordSet members) {
  JsonDocument pso;
  pso["name"] = record.name();
  pso["displayName"] = TextOrNull(record.displayName());
  pso["precedence"] = record.precedence();
  pso["settings"] = SettingsJson(record);
  pso["objectGUID"] = TextOrNull(guid);
  pso["subjects"] = SubjectsJson(std::move(members));
  return pso;
}

}  // namespace

void RunExport(RunState& state) {
  std::vector<const PolicyRecord*> psos;
  const PolicyRecord* domainPolicy = nullptr;
  for (const auto& [key, record] : state.policies) {
    if (record.isPSO()) {
      psos.push_back(&record);
    } else if (domainPolicy == nullptr) {
      domainPolicy = &record;
    }
  }
  std::stable_sort(psos.begin(), psos.end(),
                   [](const PolicyRecord* a, const PolicyRecord* b) {
                     return LowerCase(a->name()) < LowerCase(b->name());
                   });

  std::map<std::string, std::string> guids;
  AppliedMemberRecordsByPso members;
  if (!psos.empty()) {
    guids = ReadPsoGuids(state);
    members = ReadPsoSubjects(state, psos);
  }

  JsonDocument document;
  document["formatVersion"] = kPoliciesFormatVersion;
  document["domain"] = {{"dn", state.domainDn},
                        {"dnsName", DNToDNSName(state.domainDn)}};
  if (domainPolicy != nullptr) {
    document["domainPolicy"] = {{"settings", SettingsJson(*domainPolicy)}};
  }
  JsonDocument list = JsonDocument::array();
  for (const PolicyRecord* record : psos) {
    const std::string key = LowerCase(record->dn());
    auto guid = guids.find(key);
    auto linked = members.find(key);
    list.push_back(PsoJson(
        *record, guid != guids.end() ? guid->second : "",
        linked != members.end() ? std::move(linked->second) : RecordSet()));
  }
  document["psos"] = std::move(list);
  PrintJsonDocument(document);
}

}  // namespace talvex

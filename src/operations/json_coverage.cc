#include "operations/json_coverage.h"

#include "directory/distinguished_name.h"
#include "operations/coverage.h"
#include "operations/json_document.h"

namespace talvex {
namespace {

JsonDocument PsoJson(const CoveredPso& pso) {
  JsonDocument json;
  json["type"] = "pso";
  json["dn"] = pso.dn;
  json["name"] = CoveredPsoName(pso);
  json["precedence"] = pso.record != nullptr
                           ? JsonDocument(pso.record->precedence())
                           : JsonDocument(nullptr);
  json["readable"] = pso.record != nullptr;
  json["accounts"] = pso.accounts;
  return json;
}

JsonDocument DomainPolicyJson(const DomainCoverage& coverage) {
  JsonDocument json;
  json["type"] = "domainPolicy";
  json["dn"] = coverage.domainDn;
  json["name"] = coverage.domainPolicy != nullptr
                     ? coverage.domainPolicy->name()
                     : DNToDNSName(coverage.domainDn);
  json["precedence"] = nullptr;
  json["readable"] = coverage.domainPolicy != nullptr;
  json["accounts"] = coverage.domainPolicyAccounts;
  return json;
}

JsonDocument AccountJson(const CoveredAccount& account) {
  const GoverningPso& governing = account.governing;
  JsonDocument json;
  json["dn"] = account.dn;
  json["accountName"] = TextOrNull(account.accountName);
  json["principalName"] = TextOrNull(account.principalName);
  json["pso"] = TextOrNull(governing.psoDn);
  json["reason"] = ReasonWord(governing.reason);
  json["groupDn"] = TextOrNull(governing.groupDn);
  json["tie"] = governing.tie;
  json["undetermined"] = governing.undetermined;
  json["outranked"] = governing.outranked;
  json["directoryResultantPso"] = TextOrNull(account.directoryPso);
  json["check"] = CheckWord(account.check);
  json["universalGroupDn"] = TextOrNull(account.universalGroupDn);
  JsonDocument& marks = json["marks"] = JsonDocument::array();
  for (const char* mark : account.marks) marks.push_back(mark);
  return json;
}

}  // namespace

void PrintCoverageDocument(const RunState& state,
                           const std::vector<DomainCoverage>& covered) {
  JsonDocument document = DocumentHead(state, "coverage");
  JsonDocument& list = document["coverage"] = JsonDocument::array();
  for (const DomainCoverage& coverage : covered) {
    JsonDocument item;
    item["domain"] = {{"dn", coverage.domainDn},
                      {"dnsName", DNToDNSName(coverage.domainDn)}};
    item["base"] = coverage.base;
    JsonDocument& policies = item["policies"] = JsonDocument::array();
    for (const CoveredPso& pso : coverage.psos)
      policies.push_back(PsoJson(pso));
    policies.push_back(DomainPolicyJson(coverage));
    item["undetermined"] = coverage.undetermined;
    JsonDocument& accounts = item["accounts"] = JsonDocument::array();
    for (const CoveredAccount& account : coverage.accounts)
      accounts.push_back(AccountJson(account));
    list.push_back(std::move(item));
  }
  PrintJsonDocument(document);
}

}  // namespace talvex

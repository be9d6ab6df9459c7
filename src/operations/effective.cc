// The Effective section: which PSOs name one user, and which password
// policy governs it (the directory's resultant PSO, else the domain policy).
#include <string>
#include <vector>

#include "directory/distinguished_name.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "operations/actions.h"
#include "operations/effective_user.h"
#include "operations/json_effective.h"
#include "operations/object_filter.h"
#include "operations/run_failure.h"
#include "policy/domain_policy_retrieval.h"
#include "policy/policy_display.h"
#include "policy/policy_settings.h"
#include "policy/pso_retrieval.h"
#include "support/output.h"
#include "support/text_case.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

constexpr SearchPaging kUserPaging{.pageSize = 100};

const AttributeSet& UserAttributes() {
  static const AttributeSet kAttributes = {
      "objectClass", "samaccountname", "userprincipalname", "msDS-ResultantPSO",
      "msDS-PSOApplied"};
  return kAttributes;
}

Record FindUser(RunState& state, const std::string& value) {
  const std::string& base = state.serverInfo.defaultNamingContext;
  RecordSet found;
  int status =
      LdapGetRecs(*state.mainConnection, base, "subtree", ObjectFilter(value),
                  UserAttributes(), ControlMap(), kUserPaging, &found);
  if (status != 0)
    FailLdapCall(state,
                 "ERROR: LdapGetRecs (" + base + "): ", state.controllerName,
                 status);
  if (found.empty()) {
    PrintLine("");
    PrintLine("ERROR:");
    PrintLine("ERROR: No objects matched.");
    PrintLine("ERROR:");
    ShowUsageHint();
  }
  if (found.size() > 1) {
    PrintLine("");
    PrintLine("ERROR:");
    PrintLine(
        "ERROR: More than one object matched, use better criteria or specify "
        "DN.");
    ShowUsageHint();
  }
  return found.front();
}

EffectiveUser ReadUser(const Record& record) {
  EffectiveUser user;
  user.dn = FirstValue(record, kDnKey);
  const std::vector<std::string>* classes =
      FindAttribute(record, "objectClass");
  if (classes != nullptr && !classes->empty()) user.type = classes->back();
  user.accountName = FirstAttributeValue(record, "sAMAccountName");
  user.principalName = FirstAttributeValue(record, "userPrincipalName");
  user.resultantPso = FirstAttributeValue(record, "msDS-ResultantPSO");
  if (const auto* applied = FindAttribute(record, "msDS-PSOApplied")) {
    user.appliedPsos = *applied;
  }
  return user;
}

// The policy that governs the user, read into a list of its own.
PolicyList ReadGoverningPolicy(RunState& state, const EffectiveUser& user) {
  PolicyList governing;
  int ldapError = 0;
  int systemError = 0;
  if (user.resultantPso.empty()) {
    if (!GetDomGPOs(state.access, &governing, state.domainDn,
                    /*allDomains=*/false, state.domainList, &ldapError,
                    &systemError)) {
      FailDomainPolicyRetrieval(state, ldapError, systemError);
    }
  } else {
    PsoSelection selection{.name = "*"};
    if (!GetPSOs(
            state.access, &governing, *state.mainConnection, user.resultantPso,
            /*globalCatalog=*/false, selection, &ldapError, &systemError)) {
      FailPsoRetrieval(state, ldapError, systemError);
    }
  }
  return governing;
}

// Whether the account of this bind can read the PSO's settings: PSOs are
// readable by domain administrators only, while the user's
// msDS-ResultantPSO and msDS-PSOApplied may still name them.
const AttributeSet& PrecedenceOnly() {
  static const AttributeSet kAttributes = {
      Setting(SettingId::kPrecedence).psoAttribute};
  return kAttributes;
}

bool CanReadPso(RunState& state, const std::string& dn) {
  Record record;
  int status = LdapGetRec(*state.mainConnection, dn, "base", "objectclass=*",
                          PrecedenceOnly(), ControlMap(), &record);
  return status == 0 &&
         FindAttribute(record, Setting(SettingId::kPrecedence).psoAttribute);
}

// The PSOs of the user whose readability UnreadablePsos asks about, in its
// order; the resultant one only when the governing policy was not read.
std::vector<std::string> PsosToCheck(const EffectiveUser& user,
                                     bool governingRead) {
  std::vector<std::string> dns;
  if (!user.resultantPso.empty() && !governingRead)
    dns.push_back(user.resultantPso);
  for (const std::string& dn : user.appliedPsos) {
    if (LowerCase(dn) != LowerCase(user.resultantPso)) dns.push_back(dn);
  }
  return dns;
}

// The reads that follow the user's search, which depend on its answer only,
// go out together: the governing policy and every PSO whose readability is
// checked. Over a slow link they then cost one round trip, not one each.
void SendReadsAfterUserAhead(RunState& state, const EffectiveUser& user,
                             bool governingRead, bool textAnswer) {
  LdapConnection& connection = *state.mainConnection;
  if (governingRead) {
    if (!user.resultantPso.empty()) {
      SendPsoSearchAhead(connection, user.resultantPso, {.name = "*"});
    } else if (SameDn(state.domainDn,
                      state.serverInfo.defaultNamingContext)) {
      SendDomainPolicyAhead(connection, state.domainDn);
    }
  }
  if (!textAnswer) return;
  for (const std::string& dn : PsosToCheck(user, governingRead)) {
    LdapSendAheadRec(connection, dn, "base", "objectclass=*", PrecedenceOnly(),
                     ControlMap());
  }
}

// The PSOs named for the user that this account cannot read, resultant
// first; the governing policy was read into `governing` unless -dn.
std::vector<std::string> UnreadablePsos(RunState& state,
                                        const EffectiveUser& user,
                                        const PolicyList& governing,
                                        bool governingRead) {
  std::vector<std::string> unreadable;
  // A governing PSO that was read tells by its own settings.
  if (!user.resultantPso.empty() && governingRead &&
      (governing.empty() || governing.begin()->second.HasUnsetSettings())) {
    unreadable.push_back(user.resultantPso);
  }
  for (const std::string& dn : PsosToCheck(user, governingRead)) {
    if (!CanReadPso(state, dn)) unreadable.push_back(dn);
  }
  return unreadable;
}

void WarnUnreadablePsos(const std::vector<std::string>& unreadable) {
  PrintLine("WARN:");
  PrintLine(
      "WARN: The account of this bind lacks the rights to read these PSOs "
      "(PSOs are readable");
  PrintLine(
      "WARN: by domain administrators only), so the PSOs that apply and the "
      "effective policy");
  PrintLine("WARN: cannot be shown in full:");
  for (const std::string& dn : unreadable) {
    PrintLine("WARN:   " + VisibleText(dn));
  }
  PrintLine("WARN:");
}

}  // namespace

void SendEffectiveUserSearchAhead(RunState& state) {
  LdapSendAhead(*state.mainConnection, state.serverInfo.defaultNamingContext,
                "subtree", ObjectFilter(state.config->effectiveUser),
                UserAttributes(), ControlMap(), kUserPaging);
}

void RunEffective(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Effective");

  EffectiveUser user = ReadUser(FindUser(state, config.effectiveUser));
  if (user.accountName.empty() || user.type == "group") {
    PrintLine("");
    PrintLine("ERROR:");
    PrintLine("ERROR: Object isn't a user type object.");
    PrintLine("ERROR:");
    ShowUsageHint();
  }

  PolicyList governing;
  // -dn shortens the text answer; a JSON document is always whole.
  const bool governingRead = !config.dnOnly || config.json;
  SendReadsAfterUserAhead(state, user, governingRead, !config.json);
  if (governingRead) governing = ReadGoverningPolicy(state, user);
  // A governing policy that could not be read (its object is gone or hidden)
  // leaves the list empty; the answer is then given without its display.
  const PolicyRecord* effective =
      governing.empty() ? nullptr : &governing.begin()->second;
  if (config.json) {
    PrintEffectiveDocument(state, user, effective);
    return;
  }

  PrintLine("");
  PrintLine("User: " + VisibleText(user.accountName) + " | " +
            VisibleText(user.principalName) + " | " + VisibleText(user.dn));
  const std::vector<std::string> unreadable =
      UnreadablePsos(state, user, governing, !config.dnOnly);
  PrintLine("Applied PSOs:");
  // With PSOs hidden from this account an empty list is no answer: the
  // directory may withhold msDS-PSOApplied as well.
  if (user.appliedPsos.empty()) {
    PrintLine(unreadable.empty() ? "  NONE "
                                 : "  UNKNOWN (PSOs cannot be read with the "
                                   "rights of this account)");
  }
  for (const std::string& pso : user.appliedPsos)
    PrintLine("  " + VisibleText(pso));

  std::string effectiveText = user.resultantPso;
  if (effectiveText.empty()) {
    effectiveText = "Domain Policy";
    if (!config.dnOnly) {
      effectiveText += " ";
      if (effective != nullptr) effectiveText += effective->domain();
    }
  }
  PrintLine("Effective PSO: " + VisibleText(effectiveText));
  if (!config.dnOnly && effective != nullptr) {
    DisplayPolicy(*effective, "");
    PrintLine("");
  }
  if (!unreadable.empty()) {
    WarnUnreadablePsos(unreadable);
  } else if (!config.dnOnly && effective != nullptr) {
    WarnUnsetOrInvalidSettings({effective});
  }
}

}  // namespace talvex

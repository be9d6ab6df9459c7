// The Coverage section: which policy governs every user account of a
// domain, and why, beside the directory's own answer. It only reads.
#include "operations/coverage.h"

#include <string>
#include <vector>

#include "directory/distinguished_name.h"
#include "directory/record_set.h"
#include "operations/actions.h"
#include "operations/json_coverage.h"
#include "operations/run_failure.h"
#include "support/output.h"
#include "support/progress_line.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// The in-chain matching rule names a group's members through any nesting
// in one search. Samba 4.17 answers it but evaluates it entry by entry
// under the base (in the lab about 200 ms a search over 1,700 accounts,
// against 10 ms for an indexed memberOf equality), so a controller that
// does not advertise the Windows Server 2012 capability
// (LDAP_CAP_ACTIVE_DIRECTORY_W8_OID), as Samba does not, is walked level by
// level instead.
constexpr char kInChainCapability[] = "1.2.840.113556.1.4.2237";

std::string DomainPolicyName(const DomainCoverage& coverage) {
  return "Domain Policy " + DNToDNSName(coverage.domainDn);
}

std::string Joined(const std::vector<std::string>& dns) {
  std::string text;
  for (const std::string& dn : dns) text += (text.empty() ? "" : "; ") + dn;
  return text;
}

void PrintUnderlined(const std::string& heading) {
  PrintLine("");
  PrintLine(heading);
  PrintLine(std::string(heading.size(), '-'));
}

// One line per account: name, principal name, DN, reason, marks; then what
// else reached it and, when it is not the same, the directory's answer.
void PrintAccount(const CoveredAccount& account) {
  const GoverningPso& governing = account.governing;
  std::string reason = ReasonWord(governing.reason);
  if (!governing.groupDn.empty()) reason += " " + governing.groupDn;
  if (governing.tie) reason += " (tie)";
  std::string line = "      " + account.accountName + " | " +
                     account.principalName + " | " + account.dn + " | " +
                     reason;
  std::string marks;
  for (const char* mark : account.marks)
    marks += (marks.empty() ? "" : ", ") + std::string(mark);
  if (!marks.empty()) line += " | " + marks;
  PrintLine(VisibleText(line));
  if (!governing.outranked.empty()) {
    PrintLine(
        VisibleText(std::string(governing.undetermined ? "        one of: "
                                                       : "        outranks: ") +
                    Joined(governing.outranked)));
  }
  if (account.check == CoverageCheck::kAgrees) return;
  std::string directory =
      account.directoryPso.empty() ? "domain policy" : account.directoryPso;
  directory += std::string(" (") + CheckWord(account.check);
  if (!account.universalGroupDn.empty())
    directory += ": it counts universal security group " +
                 account.universalGroupDn + ", as Samba does";
  PrintLine(VisibleText("        directory: " + directory + ")"));
}

template <typename Pick>
void PrintAccountsWhere(const DomainCoverage& coverage, Pick pick) {
  for (const CoveredAccount& account : coverage.accounts) {
    if (pick(account)) PrintAccount(account);
  }
}

void PrintBlocks(const DomainCoverage& coverage) {
  for (const CoveredPso& pso : coverage.psos) {
    std::string precedence =
        pso.record != nullptr
            ? std::to_string(pso.record->precedence())
            : "unknown (cannot be read with the rights of this account)";
    PrintLine(VisibleText("  PSO " + CoveredPsoName(pso) + ", precedence " +
                          precedence));
    PrintLine(VisibleText("    DN: " + pso.dn));
    PrintLine("    Accounts: " + std::to_string(pso.accounts));
    PrintAccountsWhere(coverage, [&](const CoveredAccount& account) {
      return SameDn(account.governing.psoDn, pso.dn) &&
             !account.governing.psoDn.empty();
    });
    PrintLine("");
  }
  PrintLine(VisibleText("  " + DomainPolicyName(coverage)));
  PrintLine(VisibleText("    DN: " + coverage.domainDn));
  PrintLine("    Accounts: " + std::to_string(coverage.domainPolicyAccounts));
  PrintAccountsWhere(coverage, [](const CoveredAccount& account) {
    return account.governing.psoDn.empty() && !account.governing.undetermined;
  });
  if (coverage.undetermined != 0) {
    PrintLine("");
    PrintLine(
        "  Undetermined: PSOs that cannot be read with the rights of this "
        "account compete");
    PrintLine("    Accounts: " + std::to_string(coverage.undetermined));
    PrintAccountsWhere(coverage, [](const CoveredAccount& account) {
      return account.governing.undetermined;
    });
  }
}

void PrintNamedAccounts(const std::string& heading,
                        const DomainCoverage& coverage,
                        bool (*pick)(const CoveredAccount&)) {
  std::vector<const CoveredAccount*> picked;
  for (const CoveredAccount& account : coverage.accounts) {
    if (pick(account)) picked.push_back(&account);
  }
  PrintLine("  " + heading + ": " + std::to_string(picked.size()));
  for (const CoveredAccount* account : picked)
    PrintLine(VisibleText("    " + account->accountName + " | " + account->dn));
}

void PrintSummary(const DomainCoverage& coverage) {
  PrintUnderlined("Summary");
  for (const CoveredPso& pso : coverage.psos)
    PrintLine(VisibleText("  " + CoveredPsoName(pso) + ": " +
                          std::to_string(pso.accounts)));
  PrintLine(VisibleText("  " + DomainPolicyName(coverage) + ": " +
                        std::to_string(coverage.domainPolicyAccounts)));
  if (coverage.undetermined != 0)
    PrintLine("  Undetermined: " + std::to_string(coverage.undetermined));
  // The accounts a review looks for first: administrators left on the
  // domain's default, and winners no listing shows.
  PrintNamedAccounts("Privileged accounts on the domain policy", coverage,
                     [](const CoveredAccount& account) {
                       return account.privileged &&
                              account.governing.psoDn.empty() &&
                              !account.governing.undetermined;
                     });
  PrintNamedAccounts(
      "Decided by a precedence tie", coverage,
      [](const CoveredAccount& account) { return account.governing.tie; });
  std::size_t counts[3] = {0, 0, 0};
  for (const CoveredAccount& account : coverage.accounts)
    ++counts[static_cast<int>(account.check)];
  PrintLine("  msDS-ResultantPSO: " + std::to_string(counts[0]) + " agree, " +
            std::to_string(counts[1]) + " differ, " +
            std::to_string(counts[2]) + " unreadable");
}

void WarnUnreadablePsos(const DomainCoverage& coverage) {
  std::vector<std::string> unreadable;
  for (const CoveredPso& pso : coverage.psos) {
    if (pso.record == nullptr) unreadable.push_back(pso.dn);
  }
  if (unreadable.empty()) return;
  PrintLine("WARN:");
  PrintLine(
      "WARN: The account of this bind lacks the rights to read these PSOs "
      "(PSOs are readable");
  PrintLine(
      "WARN: by domain administrators only): their precedence is unknown, "
      "and accounts they");
  PrintLine("WARN: compete for cannot be decided:");
  for (const std::string& dn : unreadable)
    PrintLine("WARN:   " + VisibleText(dn));
  PrintLine("WARN:");
}

void PrintCoverage(const DomainCoverage& coverage) {
  PrintUnderlined(
      VisibleText("Policy Coverage of " + DNToDNSName(coverage.domainDn)));
  if (!SameDn(coverage.base, coverage.domainDn))
    PrintLine(VisibleText("  Accounts under " + coverage.base));
  PrintLine("");
  PrintBlocks(coverage);
  PrintSummary(coverage);
  const std::size_t covered = coverage.accounts.size() -
                              coverage.domainPolicyAccounts -
                              coverage.undetermined;
  PrintLine("");
  PrintLine("Covered " + std::to_string(coverage.accounts.size()) +
            " accounts: " + std::to_string(covered) + " by a PSO, " +
            std::to_string(coverage.domainPolicyAccounts) +
            " by the domain policy.");
  WarnUnreadablePsos(coverage);
}

// The domains covered: the run's, or with -alldoms every domain of the
// forest, each through its own controller.
std::vector<std::string> CoveredDomains(const RunState& state) {
  if (state.config->allDomainsForPsos && !state.domainList.empty())
    return state.domainList;
  return {state.domainDn};
}

LdapConnection& ConnectionFor(RunState& state, const std::string& domainDn) {
  if (SameDn(domainDn, state.serverInfo.defaultNamingContext))
    return *state.mainConnection;
  int ldapError = 0;
  int systemError = 0;
  LdapConnection* connection = ConnectToDomainController(
      state.access, DNToDNSName(domainDn), &ldapError, &systemError);
  if (connection == nullptr) {
    FailPsoRetrieval(state, ldapError, systemError,
                     /*treatNoSuchObjectAsNoMatch=*/false);
  }
  return *connection;
}

}  // namespace

std::string CoveredPsoName(const CoveredPso& pso) {
  if (pso.record != nullptr) return pso.record->name();
  DistinguishedName dn;
  if (DistinguishedName::Parse(pso.dn, &dn) && !dn.rdns().empty() &&
      !dn.rdns().front().attributes.empty())
    return dn.rdns().front().attributes.front().value;
  return pso.dn;
}

void RunCoverage(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) PrintDebugLine("Operation: Coverage");
  const bool inChain =
      state.serverInfo.supportedCapabilities.count(kInChainCapability) != 0;

  std::vector<DomainCoverage> covered;
  for (const std::string& domainDn : CoveredDomains(state)) {
    LdapConnection& connection = ConnectionFor(state, domainDn);
    CoverageScope scope{
        .domainDn = domainDn,
        .base = config.coverageBase.empty() ? domainDn : config.coverageBase,
        .inChain = inChain};
    DomainCoverage& coverage = covered.emplace_back();
    std::string failedBase;
    int status = 0;
    {
      ProgressLine progress("Reading the accounts...");
      status = ReadDomainCoverage(
          connection, scope, state.policies,
          [&progress](std::size_t read) { progress.Update(read); }, &coverage,
          &failedBase);
    }
    if (status != 0) {
      FailLdapCall(state, "ERROR: ldap_search_s (" + failedBase + "): ",
                   state.controllerName, status);
    }
  }
  if (config.json) {
    PrintCoverageDocument(state, covered);
    return;
  }
  for (const DomainCoverage& coverage : covered) PrintCoverage(coverage);
}

}  // namespace talvex

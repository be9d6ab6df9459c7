// The policy that governs every user account of a domain (or of one
// subtree of it), computed from a few searches and set beside the
// directory's own answer, msDS-ResultantPSO.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "directory/ldap_client.h"
#include "policy/governing_pso.h"
#include "policy/policy_list.h"

namespace talvex {

// How the computed answer compares with the directory's.
enum class CoverageCheck {
  kAgrees,
  kDiffers,
  // The answer involves PSOs this bind cannot read: the computation cannot
  // rank them, or the directory withheld its answer.
  kUnreadable,
};
const char* CheckWord(CoverageCheck check);  // "agrees", "differs", ...

struct CoveredAccount {
  std::string dn;
  std::string accountName;
  std::string principalName;
  GoverningPso governing;
  std::string directoryPso;  // msDS-ResultantPSO, "" when it has none
  CoverageCheck check = CoverageCheck::kAgrees;
  // The directory's answer is the one a universal security group gives
  // (Samba counts them): that group.
  std::string universalGroupDn = {};
  // disabled, passwordNeverExpires, passwordNotRequired (userAccountControl),
  // privileged (adminCount), in that order.
  std::vector<const char*> marks = {};
  bool privileged = false;
};

struct CoveredPso {
  std::string dn;
  const PolicyRecord* record = nullptr;  // null: the bind cannot read it
  std::string guidBytes = {};
  std::size_t accounts = 0;
};

struct DomainCoverage {
  std::string domainDn;
  std::string base;  // the subtree whose accounts were read
  const PolicyRecord* domainPolicy = nullptr;
  // Every PSO of the domain and every PSO an account is linked to, in the
  // order the directory ranks them; those that cannot be read last.
  std::vector<CoveredPso> psos;
  std::vector<CoveredAccount> accounts;  // by account name
  std::size_t domainPolicyAccounts = 0;
  std::size_t undetermined = 0;
};

// Where a coverage read goes: the domain, the subtree of its accounts, and
// whether the controller evaluates the in-chain matching rule
// (LDAP_MATCHING_RULE_IN_CHAIN) or group nesting is walked level by level.
struct CoverageScope {
  std::string domainDn;
  std::string base;
  bool inChain = true;
};

// Called after each page of accounts read, with the count so far.
using CoverageProgress = std::function<void(std::size_t accountsRead)>;

// Reads the domain's PSO identities, the groups PSOs are linked to, their
// members (one search per group) and the accounts (one paged search), and
// decides each account's policy. policies holds the run's retrieved
// records. Returns the LDAP code of the first failed search, with
// *failedBase its base, else 0.
int ReadDomainCoverage(LdapConnection& connection, const CoverageScope& scope,
                       const PolicyList& policies,
                       const CoverageProgress& progress,
                       DomainCoverage* coverage, std::string* failedBase);

}  // namespace talvex

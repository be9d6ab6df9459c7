// The run state of a changing action against fake domain controllers, wired
// as the executor wires the real ones, with the policy list filled by the
// real retrieval routines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captured_text.h"
#include "directory/distinguished_name.h"
#include "fakes/fake_dc_locator.h"
#include "fakes/fake_ldap_client.h"
#include "operations/run_state.h"
#include "output_capture.h"
#include "policy/domain_policy_retrieval.h"
#include "policy/pso_retrieval.h"

namespace talvex {

inline constexpr char kCorpDn[] = "DC=corp,DC=example,DC=com";
inline constexpr char kCorpDc[] = "dc1.corp.example.com";
inline constexpr char kPsoContainer[] =
    "CN=Password Settings Container,CN=System,DC=corp,DC=example,DC=com";
inline constexpr char kUsageHint[] =
    "\nType Talvex /? for usage assistance.\n\n\n";
inline constexpr char kNotForReal[] =
    "***************************************************\n"
    "***This is not for real, -forreal not specified.***\n"
    "***************************************************\n";

inline std::string PsoDnOf(const std::string& escapedName,
                           const std::string& domainDn = kCorpDn) {
  return "CN=" + escapedName + ",CN=Password Settings Container,CN=System," +
         domainDn;
}

// Lines joined, each with its line end.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

class ChangesTest : public ::testing::Test {
 protected:
  ChangesTest() : corp_(AddDomain(kCorpDc, kCorpDn, "corp.example.com")) {
    state_.config = &config_;
    state_.client = &client_;
    state_.locator = &locator_;
    state_.access.client = &client_;
    state_.access.locator = &locator_;
    state_.access.cache = &state_.cache;
    state_.mainConnection =
        state_.cache.Enter(kCorpDc, client_.Connect(kCorpDc));
    state_.serverInfo.defaultNamingContext = kCorpDn;
    state_.domainDn = kCorpDn;
    state_.domainList = {kCorpDn};
    state_.controllerName = kCorpDc;
  }

  FakeDirectory& AddDomain(const std::string& host, const std::string& dn,
                           const std::string& dnsName) {
    FakeDirectory& directory = client_.AddDomain(host, dn);
    locator_.AddController(dnsName, {.name = host});
    return directory;
  }

  // The policy list as the executor's preparation fills it.
  void LoadPsos(const PsoSelection& selection = {}) {
    int ldapError = 0;
    int systemError = 0;
    ASSERT_TRUE(GetPSOs(state_.access, &state_.policies, *state_.mainConnection,
                        kCorpDn, false, selection, &ldapError, &systemError));
  }
  void LoadDomainPolicies(bool allDomains = false) {
    int ldapError = 0;
    int systemError = 0;
    ASSERT_TRUE(GetDomGPOs(state_.access, &state_.policies, kCorpDn, allDomains,
                           state_.domainList, &ldapError, &systemError));
  }

  // PSO DNs the corp directory holds, lower-cased, in order.
  std::vector<std::string> PsoDns() const {
    std::vector<std::string> dns;
    for (const auto& dn : corp_.EntryDns()) {
      std::string lower = FakeNormalizeDn(dn);
      if (lower.ends_with(FakeNormalizeDn(kPsoContainer)) &&
          lower != FakeNormalizeDn(kPsoContainer)) {
        dns.push_back(lower);
      }
    }
    return dns;
  }

  FakeLdapClient client_;
  FakeDcLocator locator_;
  FakeDirectory& corp_;
  RunConfig config_;
  RunState state_;
  ScopedOutputSettings output_{0};
};

}  // namespace talvex

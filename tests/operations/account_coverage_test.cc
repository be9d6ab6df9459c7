#include "operations/account_coverage.h"

#include <gtest/gtest.h>

#include "operations/executor_fixture.h"

namespace talvex::executor_test {
namespace {

// A controller without the in-chain rule: nesting is walked one level per
// search (a loop included), never one search per account.
TEST_F(ExecutorTest, CoverageWalksNestedGroupsLevelByLevel) {
  FakeDirectory& corp = Corp();
  const std::string deep = corp.AddUser(kUsers, "deep", kCorpDns);
  const std::string named = corp.AddUser(kUsers, "named", kCorpDns);
  const std::string wks = "CN=wks," + std::string(kUsers);
  corp.AddEntry(wks, {{"objectClass", {"top", "user", "computer"}},
                      {"sAMAccountName", {"wks$"}}});
  const std::string inner = corp.AddGroup(kUsers, "inner", {deep, wks});
  const std::string mid = corp.AddGroup(kUsers, "mid", {inner});
  const std::string outer = corp.AddGroup(kUsers, "outer", {mid});
  corp.SetValues(inner, "member", {deep, wks, outer});
  for (const std::string& group : {inner, mid, outer})
    corp.SetValues(group, "groupType", {"-2147483646"});
  PolicyList policies;
  for (const auto& [name, subject] :
       {std::pair{"viagroup", outer}, std::pair{"direct", named}}) {
    const std::string dn =
        corp.AddPso(kCorpDn, name, 10, {{"msDS-PSOAppliesTo", {subject}}});
    PolicyRecord record(true);
    record.SetDN(dn);
    record.SetPrecedence("10");
    policies.emplace(LowerCase(dn), record);
  }
  RunState& state = Prepare();
  client_.ClearLog();

  DomainCoverage coverage;
  std::string failedBase;
  ASSERT_EQ(0, ReadDomainCoverage(
                   *state.mainConnection,
                   {.domainDn = kCorpDn, .base = kCorpDn, .inChain = false},
                   policies, nullptr, &coverage, &failedBase));
  // GUIDs, linked groups, three levels (outer, mid, inner), the accounts.
  EXPECT_EQ(6, client_.Count(FakeOp::kSearch));
  std::map<std::string, std::pair<std::string, std::string>> rows;
  for (const CoveredAccount& account : coverage.accounts)
    rows[account.dn] = {account.governing.psoDn,
                        ReasonWord(account.governing.reason)};
  EXPECT_EQ((std::pair<std::string, std::string>{PsoDnIn(kCorpDn, "viagroup"),
                                                 "group"}),
            rows[deep]);
  EXPECT_EQ((std::pair<std::string, std::string>{PsoDnIn(kCorpDn, "direct"),
                                                 "direct"}),
            rows[named]);
  EXPECT_EQ(0u, rows.count(wks));
  EXPECT_EQ(outer, coverage.accounts.front().governing.groupDn);
}

}  // namespace
}  // namespace talvex::executor_test

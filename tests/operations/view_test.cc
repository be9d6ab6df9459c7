// The View section, run through the executor against the fake forest.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "operations/actions.h"
#include "operations/executor_fixture.h"

namespace talvex::executor_test {
namespace {

using ::testing::ElementsAre;
using ::testing::Eq;
using ::testing::HasSubstr;

std::vector<std::string> MatchingLines(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.starts_with(prefix)) lines.push_back(line);
  }
  return lines;
}

class ViewTest : public ExecutorTest {
 protected:
  std::string Listing(const std::string& lines) {
    return std::string(kHost) + "Retrieving PSOs...\n\nPolicy Listing\n--------------\n" +
           lines;
  }
};

TEST_F(ViewTest, NothingSelectedFound) {
  View("nosuch");
  RunResult run = Execute();
  EXPECT_EQ(std::string(kHost) +
                "Retrieving PSOs...\n\nNo PSO's to display with the specified criteria.\n\n",
            run.out);
  EXPECT_EQ(0, run.status);
}

TEST_F(ViewTest, DnWithPrecedenceFillsAFourteenCharacterField) {
  Corp().AddPso(kCorpDn, "p10", 10);
  Corp().AddPso(kCorpDn, "pmin", 0, {{"msDS-PasswordSettingsPrecedence", {"-2147483648"}}});
  View();
  config_.domainPolicySelected = true;
  config_.dnWithPrecedence = config_.dnOnly = true;
  config_.sortByPrecedence = 1;
  RunResult run = Execute();
  EXPECT_EQ(std::string(kHost) +
                "Retrieving Domain Policy...\nRetrieving PSOs...\n"
                "\nPolicy Listing\n--------------\n"
                "    (-2147483648) " + PsoDnIn(kCorpDn, "pmin") + "\n"
                "    (10)          " + PsoDnIn(kCorpDn, "p10") + "\n"
                "    (2147483647)  DC=corp,DC=example,DC=com\n",
            run.out);
}

TEST_F(ViewTest, DefaultOrderPutsDomainPoliciesFirstThenCanonicalNames) {
  Corp().AddPso(kCorpDn, "b-pso", 1);
  Corp().AddPso(kCorpDn, "a-pso", 2);
  Corp().AddPso(kCorpDn, "A-pso2", 3);
  View();
  config_.domainPolicySelected = true;
  RunResult run = Execute();
  EXPECT_THAT(MatchingLines(run.out, "  Policy #"),
              ElementsAre("  Policy #1", "  Policy #2", "  Policy #3", "  Policy #4"));
  EXPECT_THAT(MatchingLines(run.out, "    Name "),
              ElementsAre("    Name               : corp", "    Name               : A-pso2",
                          "    Name               : a-pso", "    Name               : b-pso"));
}

TEST_F(ViewTest, PrecedenceOrderWithinADomainPolicyLast) {
  Corp().AddPso(kCorpDn, "b-pso", 1);
  Corp().AddPso(kCorpDn, "a-pso", 2);
  View();
  config_.domainPolicySelected = true;
  config_.sortByPrecedence = 1;
  RunResult run = Execute();
  EXPECT_THAT(MatchingLines(run.out, "    Name "),
              ElementsAre("    Name               : b-pso", "    Name               : a-pso",
                          "    Name               : corp"));
  EXPECT_THAT(MatchingLines(run.out, "  Policy #"),
              ElementsAre("  Policy #1", "  Policy #2", "  Policy #3"));
}

TEST_F(ViewTest, DnOnlyListsNoCounterAndNoDisplay) {
  Corp().AddPso(kCorpDn, "pso1", 1);
  View();
  config_.dnOnly = true;
  RunResult run = Execute();
  EXPECT_EQ(Listing("    " + PsoDnIn(kCorpDn, "pso1") + "\n"), run.out);
}

// ---- The applied listing ------------------------------------------------------

class AppliedTest : public ViewTest {
 protected:
  AppliedTest() {
    alice_ = Corp().AddUser(kUsers, "alice", kCorpDns);
    carol_ = "CN=carol," + std::string(kUsers);
    Corp().AddEntry(carol_, {{"objectClass", {"top", "person", "organizationalPerson", "user"}},
                             {"sAMAccountName", {"carol"}}});
    // An object without an account name shows no parentheses, UPN or not.
    contact_ = "CN=ext," + std::string(kUsers);
    Corp().AddEntry(contact_, {{"objectClass", {"top", "person", "contact"}},
                               {"userPrincipalName", {"ext@example.org"}}});
    group_ = Corp().AddGroup(kUsers, "staff", {carol_});
    low_ = Corp().AddPso(kCorpDn, "low", 5, {{"msDS-PSOAppliesTo", {alice_}}});
    high_ = Corp().AddPso(kCorpDn, "high", 9,
                          {{"msDS-PSOAppliesTo", {alice_, carol_, group_, contact_}}});
    none_ = Corp().AddPso(kCorpDn, "none", 20);
    config_.action = ActionCode::kApplied;
    config_.psoSelected = true;
    config_.dnOnly = true;
  }
  std::string alice_, carol_, contact_, group_, low_, high_, none_;
};

TEST_F(AppliedTest, MemberLinesAfterEachPso) {
  RunResult run = Execute();
  EXPECT_EQ(Listing(
                "    " + high_ + "\n"
                "    Applied To:\n"
                "      -[user]             " + alice_ + "  (alice | alice@corp.example.com)\n"
                "      +[user]             " + carol_ + "  (carol)\n"
                "       [contact]          " + contact_ + "\n"
                "       [group]            " + group_ + "  (staff) ***Nesting Detected***\n"
                "\n"
                "    " + low_ + "\n"
                "    Applied To:\n"
                "      +[user]             " + alice_ + "  (alice | alice@corp.example.com)\n"
                "\n"
                "    " + none_ + "\n"
                "    Applied To:\n"
                "      NONE\n"
                "\n"),
            run.out);
  EXPECT_EQ(0, run.status);
}

TEST_F(AppliedTest, DebugNamesTheAppliedAction) {
  Output().debugLevel = 1;
  config_.psoName = "none";
  RunResult run = Execute();
  EXPECT_THAT(run.out, HasSubstr("\nDEBUG: Operation: View - 512\n"));
}

TEST_F(AppliedTest, FullDisplayThenMembers) {
  config_.dnOnly = false;
  config_.psoName = "low";
  RunResult run = Execute();
  EXPECT_THAT(run.out, HasSubstr("    Pwd Reversible     : FALSE\n\n    Applied To:\n"
                                 "      +[user]             " + alice_));
}

TEST_F(AppliedTest, MembersOfOtherDomainsAreNotListed) {
  AddDomain(kChildDc, kChildDn, kChildDns);
  std::string far = client_.Domain(kChildDn).AddUser("CN=Users," + std::string(kChildDn),
                                                     "far", kChildDns);
  Corp().SetValues(none_, "msDS-PSOAppliesTo", {far});
  config_.psoName = "none";
  RunResult run = Execute();
  EXPECT_EQ(Listing("    " + none_ + "\n    Applied To:\n      NONE\n\n"), run.out);
  // The membership search stays in the run's own domain.
  EXPECT_EQ(kCorpDn, client_.Last(FakeOp::kSearch).search.base);
}

TEST_F(AppliedTest, FailedMembershipSearchEndsWithItsCode) {
  RunState& state = Prepare();
  PolicyRecord record(true);
  record.SetDN(none_);
  state.policies[LowerCase(none_)] = record;
  client_.FailNext(FakeOp::kSearch, 51, "server busy");
  EXPECT_RUN_ENDS(
      RunView(state), 51,
      Eq("\nPolicy Listing\n--------------\n    " + none_ + "\n"
         "ERROR: ldap_search_s (" + none_ + "): : [dc1.corp.example.com] Error 0x33 (51) - " +
         FakeLdapErrorText(51) + "\nExtended Error: server busy\n" + kFailed + "\n"));
}

}  // namespace
}  // namespace talvex::executor_test

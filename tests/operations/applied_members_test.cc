#include "operations/applied_members.h"

#include <gtest/gtest.h>

#include "operations/executor_fixture.h"

namespace talvex::executor_test {
namespace {

const std::string kPso = PsoDnIn(kCorpDn, "pso1");
const std::string kOther = PsoDnIn(kCorpDn, "pso2");

Record Member(const std::string& dn, Record attributes) {
  attributes[kDnKey] = {dn};
  return attributes;
}

TEST(FormatMemberLineTest, UserWonByTheListedPso) {
  Record user = Member("CN=jdoe,OU=Staff,DC=corp,DC=example,DC=com",
                       {{"objectClass", {"top", "person", "organizationalPerson", "user"}},
                        {"sAMAccountName", {"jdoe"}},
                        {"userPrincipalName", {"jdoe@corp.example.com"}},
                        {"msDS-ResultantPSO", {kPso}}});
  EXPECT_EQ("+[user]             CN=jdoe,OU=Staff,DC=corp,DC=example,DC=com"
            "  (jdoe | jdoe@corp.example.com)",
            FormatMemberLine(user, kPso));
}

TEST(FormatMemberLineTest, ResultantComparedWithoutRegardToCase) {
  Record user = Member("CN=u,DC=corp", {{"objectClass", {"user"}},
                                       {"msDS-ResultantPSO", {LowerCase(kPso)}}});
  EXPECT_EQ('+', FormatMemberLine(user, kPso)[0]);
}

TEST(FormatMemberLineTest, UserGovernedByAnotherPsoWithoutUpn) {
  Record user = Member("CN=carol,DC=corp", {{"objectClass", {"user"}},
                                           {"sAMAccountName", {"carol"}},
                                           {"msDS-ResultantPSO", {kOther}}});
  EXPECT_EQ("-[user]             CN=carol,DC=corp  (carol)", FormatMemberLine(user, kPso));
}

TEST(FormatMemberLineTest, GroupWithMembersIsMarkedAsNesting) {
  // Servers spell attribute names their own way and send the members of a
  // large group as a range.
  Record group = Member("CN=g,DC=corp", {{"objectClass", {"top", "group"}},
                                        {"sAMAccountName", {"g"}},
                                        {"member;range=0-1499", {"CN=a,DC=corp"}}});
  EXPECT_EQ(" [group]            CN=g,DC=corp  (g) ***Nesting Detected***",
            FormatMemberLine(group, kPso));
}

TEST(FormatMemberLineTest, NoAccountNameNoParenthesesEvenWithUpn) {
  Record contact = Member("CN=c,DC=corp", {{"objectClass", {"contact"}},
                                          {"userPrincipalName", {"c@example.org"}}});
  EXPECT_EQ(" [contact]          CN=c,DC=corp", FormatMemberLine(contact, kPso));
}

TEST(FormatMemberLineTest, MissingClassAndLongClassName) {
  EXPECT_EQ(" []                 CN=x", FormatMemberLine(Member("CN=x", {}), kPso));
  Record odd = Member("CN=y", {{"objectClass", {"msDS-ManagedServiceAccount"}}});
  EXPECT_EQ(" [msDS-ManagedServiceAccount] CN=y", FormatMemberLine(odd, kPso));
}

TEST_F(ExecutorTest, GetAppliedMembersMatchesThePsoDnLiterally) {
  // A PSO whose name holds filter characters must find its own members, and
  // "*" must not turn the DN into a pattern.
  std::string user = Corp().AddUser(kUsers, "u1", kCorpDns);
  std::string odd = Corp().AddPso(kCorpDn, "a*(b)", 5, {{"msDS-PSOAppliesTo", {user}}});
  Corp().AddPso(kCorpDn, "a-other(b)", 6, {{"msDS-PSOAppliesTo", {user}}});
  RunState& state = Prepare();
  std::vector<std::string> lines;
  EXPECT_EQ(0, GetAppliedMembers(*state.mainConnection, kCorpDn, odd, &lines));
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("+[user]             " + user + "  (u1 | u1@corp.example.com)", lines[0]);
  EXPECT_EQ(std::string::npos, client_.Last(FakeOp::kSearch).search.filter.find("a*("));
}

TEST_F(ExecutorTest, MembersOfManyPsosComeFromOneSearch) {
  std::string u1 = Corp().AddUser(kUsers, "u1", kCorpDns);
  std::string u2 = Corp().AddUser(kUsers, "u2", kCorpDns);
  std::string both = Corp().AddPso(kCorpDn, "both", 5, {{"msDS-PSOAppliesTo", {u1, u2}}});
  std::string one = Corp().AddPso(kCorpDn, "one", 6, {{"msDS-PSOAppliesTo", {u2}}});
  // Not asked for: its members are filed nowhere.
  Corp().AddPso(kCorpDn, "unlisted", 7, {{"msDS-PSOAppliesTo", {u1}}});
  RunState& state = Prepare();
  // Few PSOs are named in the filter; many are read by presence.
  for (int extra : {0, 25}) {
    SCOPED_TRACE(extra);
    std::vector<std::string> psos = {both, one};
    for (int i = 0; i < extra; ++i) psos.push_back(PsoDnIn(kCorpDn, "none" + std::to_string(i)));
    client_.ClearLog();
    AppliedMembersByPso members;
    ASSERT_EQ(0, GetAppliedMembers(*state.mainConnection, kCorpDn, psos, &members));
    EXPECT_EQ(1, client_.Count(FakeOp::kSearch));
    EXPECT_EQ(extra == 0 ? "(|(msDS-PSOApplied=" + both + ")(msDS-PSOApplied=" + one + "))"
                         : "(msDS-PSOApplied=*)",
              client_.Last(FakeOp::kSearch).search.filter);
    ASSERT_EQ(2u, members.size());
    EXPECT_EQ(2u, members[LowerCase(both)].size());
    ASSERT_EQ(1u, members[LowerCase(one)].size());
    EXPECT_EQ("-[user]             " + u2 + "  (u2 | u2@corp.example.com)",
              members[LowerCase(one)][0]);
  }
}

TEST_F(ExecutorTest, GetAppliedMembersReturnsTheSearchCode) {
  RunState& state = Prepare();
  client_.FailNext(FakeOp::kSearch, ldap_result::kNoSuchObject);
  std::vector<std::string> lines;
  EXPECT_EQ(32, GetAppliedMembers(*state.mainConnection, kCorpDn, PsoDnIn(kCorpDn, "x"),
                                  &lines));
  EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace talvex::executor_test

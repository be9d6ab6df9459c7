// Apply, unapply and clear, run through the executor against the fake.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "operations/executor_fixture.h"

namespace talvex::executor_test {
namespace {

using ::testing::ElementsAre;
using ::testing::Eq;
using ::testing::IsEmpty;

class MembershipTest : public ExecutorTest {
 protected:
  MembershipTest() {
    jdoe_ = Corp().AddUser(kUsers, "jdoe", kCorpDns);
    group_ = Corp().AddGroup(kUsers, "staff");
    pso_ = Corp().AddPso(kCorpDn, "pso1", 10);
    Corp().AddPso(kCorpDn, "pso2", 20);
    config_.psoSelected = true;
    config_.psoName = "pso1";
  }

  void Apply(const std::string& target, bool forReal = true) {
    config_.action = ActionCode::kApplyTo;
    config_.memberTarget = target;
    config_.forReal = forReal;
  }
  void Unapply(const std::string& target) {
    Apply(target);
    config_.action = ActionCode::kUnApplyTo;
  }
  void Clear(bool forReal = true) {
    config_.action = ActionCode::kClearApplied;
    config_.forReal = forReal;
  }

  std::vector<std::string> Members() {
    return Corp().Values(pso_, "msDS-PSOAppliesTo");
  }

  std::string Updated(const std::string& object) {
    return std::string(kHost) + "Retrieving PSOs...\nApplying PSO " + pso_ +
           "\nto object " + object + "\nPSO successfully updated.\n\n";
  }

  std::string Refused(const std::string& lines) {
    return std::string(kHost) + "Retrieving PSOs...\n" + lines + kUsageHint;
  }

  std::string jdoe_, group_, pso_;
};

TEST_F(MembershipTest, ApplyByAccountNameUpnOrDn) {
  for (const std::string target :
       {"jdoe", "jdoe@corp.example.com",
        "CN=jdoe,CN=Users,DC=corp,DC=example,DC=com",
        "cn=jdoe,cn=users,dc=corp,dc=example,dc=com"}) {
    SCOPED_TRACE(target);
    Corp().SetValues(pso_, "msDS-PSOAppliesTo", {});
    Apply(target);
    RunResult run = Execute();
    EXPECT_EQ(Updated(jdoe_), run.out);
    EXPECT_EQ("", run.err);
    EXPECT_THAT(Members(), ElementsAre(jdoe_));
  }
  FakeRequest modify = client_.Last(FakeOp::kModify);
  EXPECT_EQ(pso_, modify.dn);
  ASSERT_EQ(1u, modify.modifications.size());
  EXPECT_EQ(LdapModOp::kAdd, modify.modifications[0].op);
  EXPECT_EQ("msDS-PSOAppliesTo", modify.modifications[0].attribute);
  EXPECT_THAT(modify.modifications[0].values, ElementsAre(jdoe_));
}

TEST_F(MembershipTest, DnFormSearchesByDistinguishedName) {
  Apply("CN=staff,CN=Users,Dc=corp,Dc=example,Dc=com");
  Execute();
  // The object's search, the last: it reads the object's class too.
  std::vector<FakeRequest> searches = client_.Requests(FakeOp::kSearch);
  ASSERT_LE(2u, searches.size());
  EXPECT_EQ("(distinguishedName=CN=staff,CN=Users,Dc=corp,Dc=example,Dc=com)",
            searches.back().search.filter);
  EXPECT_THAT(searches.back().search.attributes,
              ElementsAre("distinguishedName", "objectClass", "groupType"));
  EXPECT_THAT(Members(), ElementsAre(group_));
}

// A PSO governs users (inetOrgPerson included) and groups only; links to
// anything else are refused, but can still be removed.
TEST_F(MembershipTest, ObjectsAPsoCannotGovernAreRefusedButCanBeUnapplied) {
  std::string person = "CN=ip,CN=Users,DC=corp,DC=example,DC=com";
  Corp().AddEntry(
      person,
      {{"objectClass",
        {"top", "person", "organizationalPerson", "user", "inetOrgPerson"}},
       {"sAMAccountName", {"ip"}}});
  const struct {
    std::string dn;
    std::vector<std::string> classes;  // empty: the entry exists already
    const char* shownClass;            // nullptr: accepted
  } cases[] = {
      {"CN=ws1,CN=Users,DC=corp,DC=example,DC=com",
       {"top", "person", "organizationalPerson", "user", "computer"},
       "computer"},
      {"CN=ext,CN=Users,DC=corp,DC=example,DC=com",
       {"top", "person", "organizationalPerson", "contact"},
       "contact"},
      {"OU=Staff,DC=corp,DC=example,DC=com",
       {"top", "organizationalUnit"},
       "organizationalUnit"},
      {"CN=box,DC=corp,DC=example,DC=com", {"top", "container"}, "container"},
      {kCorpDn, {"top", "domain", "domainDNS"}, "domainDNS"},
      {PsoDnIn(kCorpDn, "pso2"), {}, "msDS-PasswordSettings"},
      {person, {}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dn);
    if (!c.classes.empty()) Corp().SetValues(c.dn, "objectClass", c.classes);
    if (!Corp().HasEntry(c.dn))
      Corp().AddEntry(c.dn, {{"objectClass", c.classes}});
    Apply(c.dn);
    if (c.shownClass == nullptr) {
      EXPECT_EQ(Updated(c.dn), Execute().out);
      continue;
    }
    EXPECT_RUN_ENDS(
        ExecuteToEnd(), 1,
        Eq(Refused(
            "ERROR:\nERROR: Invalid object for this PSO. (" + c.dn +
            ")\nERROR: The object is of class " + c.shownClass +
            "; a PSO applies only to users (including inetOrgPerson) and "
            "groups.\nERROR:\n")));
  }
  // A link another tool wrote is removed without a question.
  std::string computer = "CN=ws1,CN=Users,DC=corp,DC=example,DC=com";
  Corp().SetValues(pso_, "msDS-PSOAppliesTo", {computer, person});
  Unapply(computer);
  EXPECT_EQ(Updated(computer), Execute().out);
  EXPECT_THAT(Members(), ElementsAre(person));
}

TEST_F(MembershipTest, UnapplyRemovesTheValue) {
  Corp().SetValues(pso_, "msDS-PSOAppliesTo", {jdoe_, group_});
  Unapply("staff");
  RunResult run = Execute();
  EXPECT_EQ(Updated(group_), run.out);
  EXPECT_THAT(Members(), ElementsAre(jdoe_));
  EXPECT_EQ(LdapModOp::kDelete,
            client_.Last(FakeOp::kModify).modifications[0].op);
}

TEST_F(MembershipTest, DryRunChangesNothing) {
  Apply("jdoe", /*forReal=*/false);
  RunResult run = Execute();
  EXPECT_EQ(std::string(kHost) + "Retrieving PSOs...\n\n" + kNotForReal +
                "Modification to make had this been for real.\n  " + pso_ +
                "\n\n",
            run.out);
  EXPECT_EQ(0, client_.Count(FakeOp::kModify));
  EXPECT_THAT(Members(), IsEmpty());
}

TEST_F(MembershipTest, UnknownObjectIsRefused) {
  Apply("nobody");
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), 1,
      Eq(Refused(
          "ERROR:\nERROR: Invalid object for this PSO. (nobody)\nERROR:\n")));
}

TEST_F(MembershipTest, AsteriskNamesNoObject) {
  // Escaped, "*" cannot match whatever object comes first.
  Apply("*");
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), 1,
      Eq(Refused("ERROR:\nERROR: Invalid object for this PSO. (*)\nERROR:\n")));
}

TEST_F(MembershipTest, AnAccountNamedWithAnAsteriskIsFound) {
  std::string odd = Corp().AddUser(kUsers, "odd*name", kCorpDns);
  Corp().AddUser(kUsers, "odd-other-name", kCorpDns);
  Apply("odd*name");
  RunResult run = Execute();
  EXPECT_EQ(Updated(odd), run.out);
  EXPECT_THAT(Members(), ElementsAre(odd));
}

TEST_F(MembershipTest, SeveralPsosAreRefusedBeforeAnyChange) {
  config_.psoName = "pso*";
  Apply("jdoe");
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), 1,
      Eq(Refused("ERROR:\n"
                 "ERROR: Can only apply a single PSO to an object at a time.\n"
                 "ERROR: 2 PSOs returned with specified criteria.\n"
                 "ERROR:\n")));
}

TEST_F(MembershipTest, NoPsoSelected) {
  config_.psoName = "none";
  Apply("jdoe");
  RunResult run = Execute();
  EXPECT_EQ(
      std::string(kHost) +
          "Retrieving PSOs...\n\nNo PSO found matching specified criteria.\n\n",
      run.out);
  EXPECT_EQ(0, run.status);
}

TEST_F(MembershipTest, UnapplyOfAnObjectNotNamedEndsWithTheServersCode) {
  Unapply("jdoe");
  std::string diagnostic = "00002085: AtrErr";
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), ldap_result::kNoSuchAttribute,
      ::testing::AllOf(
          ::testing::StartsWith(
              std::string(kHost) + "Retrieving PSOs...\nApplying PSO " + pso_ +
              "\nto object " + jdoe_ + "\n" + "ERROR: ldap_modify_s (" + pso_ +
              "): : [dc1.corp.example.com] Error 0x10 (16) - " +
              FakeLdapErrorText(16) + "\nExtended Error: " + diagnostic),
          ::testing::EndsWith(std::string(kFailed) + "\n")));
}

TEST_F(MembershipTest, ClearRemovesEveryValue) {
  Corp().SetValues(pso_, "msDS-PSOAppliesTo", {jdoe_, group_});
  Clear();
  RunResult run = Execute();
  EXPECT_EQ(std::string(kHost) + "Retrieving PSOs...\nClearing PSO " + pso_ +
                "\nPSO successfully updated.\n\n",
            run.out);
  EXPECT_THAT(Members(), IsEmpty());
}

TEST_F(MembershipTest, ClearDryRun) {
  Corp().SetValues(pso_, "msDS-PSOAppliesTo", {jdoe_});
  Clear(/*forReal=*/false);
  RunResult run = Execute();
  EXPECT_EQ(std::string(kHost) + "Retrieving PSOs...\n\n" + kNotForReal +
                "PSO to have clear applied to members from had this been for "
                "real.\n  " +
                pso_ + "\n\n",
            run.out);
  EXPECT_THAT(Members(), ElementsAre(jdoe_));
}

TEST_F(MembershipTest, ClearOfSeveralPsosIsRefused) {
  config_.psoName = "pso*";
  Clear();
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), 1,
      Eq(Refused("ERROR:\nERROR: -clearapplied only allowed on single PSO.\n"
                 "ERROR: More specifically specify a PSO - use DN\nERROR:\n")));
}

TEST_F(MembershipTest, ClearRefusedByTheServer) {
  Corp().SetValues(pso_, "msDS-PSOAppliesTo", {jdoe_});
  Clear();
  client_.FailNext(FakeOp::kModify, ldap_result::kInsufficientAccess,
                   "no write access");
  EXPECT_RUN_ENDS(ExecuteToEnd(), 50,
                  Eq(std::string(kHost) + "Retrieving PSOs...\nClearing PSO " +
                     pso_ + "\n" + "ERROR: ldap_modify_s (" + pso_ +
                     "): : [dc1.corp.example.com] Error 0x32 "
                     "(50) - " +
                     FakeLdapErrorText(50) +
                     "\nExtended Error: no write access\n" + kFailed + "\n"));
}

}  // namespace
}  // namespace talvex::executor_test

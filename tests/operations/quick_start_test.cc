#include "operations/quick_start.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "changes_fixture.h"
#include "operations/actions.h"

namespace talvex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A domain policy as the retrieval builds it.
PolicyRecord DomainPolicy(const std::string& maxAgeDays,
                          const std::string& threshold) {
  PolicyRecord policy;
  policy.SetPrecedence("2147483647");
  policy.SetDN(kCorpDn);
  policy.SetMaxPwdAge(maxAgeDays);
  policy.SetMinPwdAge("1");
  policy.SetMinPwdLength("7");
  policy.SetPwdHistory("24");
  policy.SetLockoutThreshold(threshold);
  policy.SetLockoutDuration("30");
  policy.SetLockoutObservation("30");
  policy.SetComplexity("TRUE");
  policy.SetReversible("FALSE");
  return policy;
}

struct Settings {
  int maxAge, minAge, minLength, history, threshold, duration, window;
};

Settings Of(const PolicyRecord& r) {
  return {r.Value(SettingId::kMaxPwdAge),
          r.Value(SettingId::kMinPwdAge),
          r.Value(SettingId::kMinPwdLength),
          r.Value(SettingId::kPwdHistory),
          r.Value(SettingId::kLockoutThreshold),
          r.Value(SettingId::kLockoutDuration),
          r.Value(SettingId::kLockoutObservation)};
}

bool operator==(const Settings& a, const Settings& b) {
  return a.maxAge == b.maxAge && a.minAge == b.minAge &&
         a.minLength == b.minLength && a.history == b.history &&
         a.threshold == b.threshold && a.duration == b.duration &&
         a.window == b.window;
}

void PrintTo(const Settings& s, std::ostream* os) {
  *os << "max " << s.maxAge << " min " << s.minAge << " len " << s.minLength
      << " hist " << s.history << " thr " << s.threshold << " dur "
      << s.duration << " win " << s.window;
}

TEST(BuildQuickStartPSOsTest, PairIsTightenedAgainstTheDomainAtItsOwnStep) {
  struct Case {
    const char* maxAge;
    const char* threshold;
    Settings admin;
    Settings service;
  };
  for (const Case& c : {
           // The lab's provisioned domain: 42 days, no lockout.
           Case{"42",
                "0",
                {35, 1, 15, 24, 25, 30, 30},
                {364, 1, 15, 24, 0, 0, 0}},
           Case{"30",
                "0",
                {30, 1, 15, 24, 25, 30, 30},
                {364, 1, 15, 24, 0, 0, 0}},
           Case{"42",
                "10",
                {35, 1, 15, 24, 10, 30, 30},
                {364, 1, 15, 24, 0, 0, 0}},
           // Passwords that never expire are the loosest maximum age.
           Case{"-1",
                "50",
                {35, 1, 15, 24, 25, 30, 30},
                {364, 1, 15, 24, 0, 0, 0}},
       }) {
    std::vector<PolicyRecord> pair;
    BuildQuickStartPSOs(&pair, DomainPolicy(c.maxAge, c.threshold));
    ASSERT_EQ(2u, pair.size());
    EXPECT_EQ(c.admin, Of(pair[0])) << c.maxAge << " " << c.threshold;
    EXPECT_EQ(c.service, Of(pair[1])) << c.maxAge << " " << c.threshold;
  }
  std::vector<PolicyRecord> pair;
  BuildQuickStartPSOs(&pair, DomainPolicy("42", "0"));
  EXPECT_EQ("pwd_policy_admin", pair[0].name());
  EXPECT_EQ("TALVEX: Admin Password Policy", pair[0].displayName());
  EXPECT_EQ("pwd_policy_serviceid", pair[1].name());
  EXPECT_EQ("TALVEX: Service ID Password Policy", pair[1].displayName());
  for (const PolicyRecord& pso : pair) {
    EXPECT_TRUE(pso.isPSO());
    EXPECT_EQ(100, pso.precedence());
    EXPECT_TRUE(pso.complexity());
    EXPECT_FALSE(pso.reversible());
  }
}

class QuickStartTest : public ChangesTest {
 protected:
  QuickStartTest() { config_.domainPolicySelected = true; }
  std::string Run() {
    OutputCapture capture;
    RunQuickStart(state_);
    capture.Stop();
    return capture.Stdout();
  }
};

TEST_F(QuickStartTest, DryRunListsThreePsosWithTheirDisplays) {
  LoadDomainPolicies();
  std::string out = Run();
  std::string copy = PsoDnOf("DomPol_corp.example.com");
  std::string admin = PsoDnOf("pwd_policy_admin");
  std::string service = PsoDnOf("pwd_policy_serviceid");
  EXPECT_THAT(
      out, ::testing::StartsWith(
               std::string(kNotForReal) +
               "PSOs that would have been created had this been for real.\n\n"
               "  " +
               copy +
               "\n\n"
               "    Type               : Policy Settings Object\n"
               "    Domain             : corp.example.com\n"
               "    Policy Precedence  : 2147483646\n"
               "    DN                 : " +
               copy +
               "\n"
               "    Name               : DomPol_corp.example.com\n"
               "    Canonical Name     : \n"
               "    Display Name       : TALVEX: Copy of Domain Policy for "
               "corp.example.com\n"));
  EXPECT_THAT(out, HasSubstr("    Pwd Reversible     : FALSE\n\n\n  " + admin +
                             "\n\n"));
  EXPECT_THAT(out, HasSubstr("    Pwd Reversible     : FALSE\n\n\n  " +
                             service + "\n\n"));
  EXPECT_TRUE(out.ends_with("    Pwd Reversible     : FALSE\n\n\n"));
  EXPECT_EQ(0, client_.Count(FakeOp::kAdd));
}

TEST_F(QuickStartTest, CreatesTheCopyAndThePairThenSkipsThemOnASecondRun) {
  config_.forReal = true;
  LoadDomainPolicies();
  std::string out = Run();
  EXPECT_THAT(out, ::testing::StartsWith("Creating new PSOs:\n  " +
                                         PsoDnOf("DomPol_corp.example.com") +
                                         "\n  PSO successfully created.\n\n"));
  EXPECT_THAT(PsoDns(),
              ElementsAre(FakeNormalizeDn(PsoDnOf("DomPol_corp.example.com")),
                          FakeNormalizeDn(PsoDnOf("pwd_policy_admin")),
                          FakeNormalizeDn(PsoDnOf("pwd_policy_serviceid"))));
  std::string copy = PsoDnOf("DomPol_corp.example.com");
  EXPECT_EQ("2147483646",
            corp_.FirstValue(copy, "msDS-PasswordSettingsPrecedence"));
  EXPECT_EQ("-36288000000000",
            corp_.FirstValue(copy, "msDS-MaximumPasswordAge"));
  EXPECT_EQ("DomPol_corp.example.com",
            corp_.FirstValue(copy, "adminDisplayName"));
  EXPECT_EQ("100", corp_.FirstValue(PsoDnOf("pwd_policy_admin"),
                                    "msDS-PasswordSettingsPrecedence"));

  client_.ClearLog();
  std::string again = Run();
  std::string skipped;
  for (const char* name : {"DomPol_corp.example.com", "pwd_policy_admin",
                           "pwd_policy_serviceid"}) {
    skipped += "  " + PsoDnOf(name) +
               "\n  WARN: Policy Name specified already exists. Skipping.\n\n";
  }
  EXPECT_EQ("Creating new PSOs:\n" + skipped, again);
  EXPECT_EQ(0, client_.Count(FakeOp::kAdd));
}

TEST_F(QuickStartTest, AllDomainsGivesOneCopyEachInTheConnectedDomain) {
  FakeDirectory& child =
      AddDomain("dc1.child.corp.example.com",
                "DC=child,DC=corp,DC=example,DC=com", "child.corp.example.com");
  FakeDirectory& other =
      AddDomain("dc1.other.org", "DC=other,DC=org", "other.org");
  child.SetValues("DC=child,DC=corp,DC=example,DC=com", "lockoutThreshold",
                  {"10"});
  other.SetValues("DC=other,DC=org", "maxPwdAge", {"-25920000000000"});
  state_.domainList = {kCorpDn, "DC=child,DC=corp,DC=example,DC=com",
                       "DC=other,DC=org"};
  config_.forReal = true;
  LoadDomainPolicies(/*allDomains=*/true);
  Run();
  EXPECT_EQ(5u, PsoDns().size());
  EXPECT_EQ("10", corp_.FirstValue(PsoDnOf("DomPol_child.corp.example.com"),
                                   "msDS-LockoutThreshold"));
  EXPECT_EQ("-25920000000000", corp_.FirstValue(PsoDnOf("DomPol_other.org"),
                                                "msDS-MaximumPasswordAge"));
  // The pair follows the connected domain only.
  EXPECT_EQ("25", corp_.FirstValue(PsoDnOf("pwd_policy_admin"),
                                   "msDS-LockoutThreshold"));
  EXPECT_EQ("-30240000000000", corp_.FirstValue(PsoDnOf("pwd_policy_admin"),
                                                "msDS-MaximumPasswordAge"));
  EXPECT_TRUE(child.EntryDns().size() > 0);
  for (const auto& dn : child.EntryDns())
    EXPECT_EQ(std::string::npos, dn.find("DomPol_"));
}

TEST_F(QuickStartTest, NoDomainPolicyStillProcessesThePair) {
  std::string out = Run();
  EXPECT_THAT(
      out,
      HasSubstr("\n\nNo Domain Policies retrieved... this is quite odd.\n\n  " +
                PsoDnOf("pwd_policy_admin") + "\n"));
  EXPECT_THAT(out, HasSubstr("  " + PsoDnOf("pwd_policy_serviceid") + "\n"));
}

TEST_F(QuickStartTest, RefusedAddEndsWithItsCodeAndKeepsEarlierPsos) {
  config_.forReal = true;
  LoadDomainPolicies();
  client_.FailNext(FakeOp::kAdd, 53, "", /*skip=*/1);
  EXPECT_RUN_ENDS(
      RunQuickStart(state_), 53,
      HasSubstr("ERROR: ldap_add_s (" + PsoDnOf("pwd_policy_admin") +
                "): : [dc1.corp.example.com] Error 0x35 (53) - Server is "
                "unwilling to perform\n"));
}

// A domain whose minimum age (50 days) outlasts its maximum (42) gives a
// copy and an administrators PSO that a Windows controller would refuse:
// the run ends before the first add, so no part of the set is created.
TEST_F(QuickStartTest, PsosBreakingWindowsRulesAreRefusedBeforeAnyAdd) {
  corp_.SetValues(kCorpDn, "minPwdAge", {"-43200000000000"});
  config_.forReal = true;
  LoadDomainPolicies();
  EXPECT_RUN_ENDS(
      RunQuickStart(state_), 1,
      ::testing::AllOf(
          ::testing::StartsWith(
              "Creating new PSOs:\nERROR:\n"
              "ERROR: Minimum password age must not be longer than maximum "
              "password age.\n"
              "ERROR: Value - minpwdage 50 days, maxpwdage 42 days\n"
              "ERROR: Policy Setting object - DomPol_corp.example.com (" +
              PsoDnOf("DomPol_corp.example.com") +
              ")\n"
              "ERROR: Minimum password age must not be longer than maximum "
              "password age.\n"
              "ERROR: Value - minpwdage 50 days, maxpwdage 35 days\n"
              "ERROR: Policy Setting object - pwd_policy_admin (" +
              PsoDnOf("pwd_policy_admin") +
              ")\n"
              "ERROR: No PSO was created.\nERROR:\n"),
          ::testing::Not(HasSubstr("successfully created"))));
}

TEST_F(QuickStartTest, FailedReadOfExistingPsosEndsTheRun) {
  LoadDomainPolicies();
  client_.FailNext(FakeOp::kSearch, 32, "0000208D: NameErr: DSID-03100241");
  EXPECT_RUN_ENDS(
      RunQuickStart(state_), 32,
      HasSubstr("ERROR:\nERROR: GetPSOs (LDAP): : [dc1.corp.example.com] Error "
                "0x20 (32) - No such object\n"));
}

}  // namespace
}  // namespace talvex

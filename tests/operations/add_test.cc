#include "operations/add.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "changes_fixture.h"
#include "operations/actions.h"

namespace talvex {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::Eq;
using ::testing::HasSubstr;

// A record as the -add specification leaves it: defaults, then the fields.
PolicyRecord AddSpecification(const std::string& name,
                              const std::string& precedence) {
  PolicyRecord record(true);
  record.SetName(name);
  record.SetPrecedence(precedence);
  return record;
}

std::vector<std::string> DefaultDisplay(const std::string& dn,
                                        const std::string& name,
                                        const std::string& precedence) {
  return {"    Type               : Policy Settings Object",
          "    Domain             : corp.example.com",
          "    Policy Precedence  : " + precedence,
          "    DN                 : " + dn,
          "    Name               : " + name,
          "    Canonical Name     : ",
          "    Display Name       : " + name,
          "    Lockout Threshold  : 25",
          "    Lockout Duration   : 5",
          "    Lockout Observation: 5",
          "    Min Pwd Age        : 0",
          "    Max Pwd Age        : 91",
          "    Min Pwd Length     : 15",
          "    Pwd History        : 24",
          "    Pwd Complexity     : TRUE",
          "    Pwd Reversible     : FALSE"};
}

std::vector<std::string> PrecedenceWarning(const std::string& name,
                                           const std::string& dn) {
  return {"  WARN:",
          "  WARN: A policy setting object already exists with the same "
          "precedence.",
          "  WARN: Policy Setting object - " + name,
          "  WARN:     (" + dn + ")",
          "  WARN: When a single user has two policies assigned with the same",
          "  WARN: precedence at the same scope (i.e. directly applied or",
          "  WARN: or applied via group), the policy with the lowest GUID will "
          "apply."};
}

class AddPSOTest : public ChangesTest {};

TEST_F(AddPSOTest, RequestHoldsThirteenAttributesSortedByName) {
  PolicyRecord record = AddSpecification("pso1", "7");
  record.SetDisplayName("Shown");
  record.SetLockoutDuration("30");
  record.SetLockoutObservation("-1");
  record.SetMaxPwdAge("42");
  record.SetMinPwdAge("2");
  record.SetReversible("true");
  record.SetDN(PsoDnOf("pso1"));

  EXPECT_EQ(0, AddPSO(record, *state_.mainConnection));

  FakeRequest add = client_.Last(FakeOp::kAdd);
  EXPECT_EQ(PsoDnOf("pso1"), add.dn);
  std::vector<std::string> sent;
  for (const auto& modification : add.modifications) {
    EXPECT_EQ(LdapModOp::kAdd, modification.op);
    ASSERT_EQ(1u, modification.values.size()) << modification.attribute;
    sent.push_back(modification.attribute + "=" + modification.values[0]);
  }
  EXPECT_THAT(sent,
              ElementsAre("adminDisplayName=pso1", "displayName=Shown",
                          "msDS-LockoutDuration=-18000000000",
                          "msDS-LockoutObservationWindow=-9223372036854775808",
                          "msDS-LockoutThreshold=25",
                          "msDS-MaximumPasswordAge=-36288000000000",
                          "msDS-MinimumPasswordAge=-1728000000000",
                          "msDS-MinimumPasswordLength=15",
                          "msDS-PasswordComplexityEnabled=TRUE",
                          "msDS-PasswordHistoryLength=24",
                          "msDS-PasswordReversibleEncryptionEnabled=TRUE",
                          "msDS-PasswordSettingsPrecedence=7",
                          "objectClass=msDS-PasswordSettings"));
  EXPECT_EQ("pso1", corp_.FirstValue(PsoDnOf("pso1"), "name"));
}

TEST_F(AddPSOTest, RecordWithoutDnGives34AndSendsNothing) {
  EXPECT_EQ(34, AddPSO(AddSpecification("pso1", "7"), *state_.mainConnection));
  EXPECT_EQ(0, client_.Count(FakeOp::kAdd));
}

TEST_F(AddPSOTest, DebugLevelFiveShowsTheRequest) {
  ScopedOutputSettings debug(5);
  PolicyRecord record = AddSpecification("pso1", "7");
  record.SetDN(PsoDnOf("pso1"));
  OutputCapture capture;
  AddPSO(record, *state_.mainConnection);
  capture.Stop();
  std::string out = capture.Stdout();
  EXPECT_THAT(out,
              ::testing::StartsWith("DEBUG: Adding Object: " + PsoDnOf("pso1") +
                                    "\nDEBUG:    adminDisplayName = pso1\n"
                                    "DEBUG:    displayName = pso1\n"));
  EXPECT_THAT(out, EndsWith("DEBUG:    objectClass = msDS-PasswordSettings\n"));
}

TEST_F(AddPSOTest, DryRunInAnEmptyDomainShowsTheDefaults) {
  config_.addSpec = AddSpecification("newpso10", "1");
  LoadPsos();
  OutputCapture capture;
  RunAdd(state_);
  capture.Stop();
  std::string dn = PsoDnOf("newpso10");
  EXPECT_EQ("Checking existing policies...\n\n" + std::string(kNotForReal) +
                "PSO that would have been created had this been for real.\n\n" +
                Lines(DefaultDisplay(dn, "newpso10", "1")) + "\n",
            capture.Stdout());
  EXPECT_EQ(0, client_.Count(FakeOp::kAdd));
}

TEST_F(AddPSOTest, ForRealCreatesThePso) {
  config_.addSpec = AddSpecification("newpso", "3");
  config_.forReal = true;
  LoadPsos();
  OutputCapture capture;
  RunAdd(state_);
  capture.Stop();
  std::string dn = PsoDnOf("newpso");
  EXPECT_EQ("Checking existing policies...\n\nCreating new PSO: " + dn +
                "\nPSO successfully created.\n\n" +
                Lines(DefaultDisplay(dn, "newpso", "3")) + "\n",
            capture.Stdout());
  EXPECT_TRUE(corp_.HasEntry(dn));
}

TEST_F(AddPSOTest, NameWithDnCharactersIsOneRdnValue) {
  config_.addSpec = AddSpecification("a,OU=x", "3");
  config_.forReal = true;
  LoadPsos();
  OutputCapture capture;
  RunAdd(state_);
  capture.Stop();
  EXPECT_EQ(PsoDnOf("a\\,OU\\=x"), client_.Last(FakeOp::kAdd).dn);
  EXPECT_THAT(PsoDns(), ElementsAre(FakeNormalizeDn(PsoDnOf("a\\,OU\\=x"))));
  EXPECT_EQ("a,OU=x", corp_.FirstValue(PsoDnOf("a\\,OU\\=x"), "name"));
}

TEST_F(AddPSOTest, NameInUseStopsWhateverTheLetterCaseEvenWithOverride) {
  std::string existing = corp_.AddPso(kCorpDn, "Ärzte", 50);
  corp_.AddPso(kCorpDn, "Test", 51);
  config_.override = true;
  config_.forReal = true;
  LoadPsos();
  for (const char* name : {"ärzte", "ÄRZTE"}) {
    config_.addSpec = AddSpecification(name, "1");
    EXPECT_RUN_ENDS(RunAdd(state_), 1,
                    Eq("Checking existing policies...\nERROR:\n"
                       "ERROR: Password Settings Object Name is not unique.\n"
                       "ERROR: Existing Object: \nERROR:     " +
                       existing + "\nERROR:\n" + kUsageHint));
  }
  config_.addSpec = AddSpecification("test", "1");
  EXPECT_RUN_ENDS(RunAdd(state_), 1,
                  HasSubstr("ERROR:     " + PsoDnOf("Test") + "\n"));
}

TEST_F(AddPSOTest, SameSettingsStopWithoutOverride) {
  // The new PSO's settings are the defaults; give an existing PSO the same.
  std::string twin =
      corp_.AddPso(kCorpDn, "twin", 60,
                   {{"msDS-LockoutThreshold", {"25"}},
                    {"msDS-LockoutDuration", {"-3000000000"}},
                    {"msDS-LockoutObservationWindow", {"-3000000000"}},
                    {"msDS-MaximumPasswordAge", {"-78624000000000"}},
                    {"msDS-MinimumPasswordAge", {"0"}},
                    {"msDS-MinimumPasswordLength", {"15"}}});
  config_.addSpec = AddSpecification("other", "61");
  config_.forReal = true;
  LoadPsos();
  std::string warning =
      Lines({"  WARN:",
             "  WARN: A policy setting object already exists with the same "
             "settings.",
             "  WARN: Policy Setting object - twin (" + twin + ")"});
  EXPECT_RUN_ENDS(RunAdd(state_), 1,
                  Eq("Checking existing policies...\n" + warning +
                     "  ERROR: Creation of new policy terminated.\n"
                     "  ERROR: Use -override switch to force object creation.\n"
                     "  ERROR:\n" +
                     kUsageHint));

  config_.override = true;
  OutputCapture capture;
  RunAdd(state_);
  capture.Stop();
  EXPECT_THAT(
      capture.Stdout(),
      ::testing::StartsWith("Checking existing policies...\n" + warning +
                            "  WARN: Override specified, creating object.\n"
                            "  WARN:\n\nCreating new PSO: " +
                            PsoDnOf("other")));
  EXPECT_TRUE(corp_.HasEntry(PsoDnOf("other")));
}

TEST_F(AddPSOTest, EachPrecedenceClashGivesItsOwnWarningAfterTheSettingsBlock) {
  std::string first =
      corp_.AddPso(kCorpDn, "alpha", 9,
                   {{"msDS-LockoutThreshold", {"25"}},
                    {"msDS-LockoutDuration", {"-3000000000"}},
                    {"msDS-LockoutObservationWindow", {"-3000000000"}},
                    {"msDS-MaximumPasswordAge", {"-78624000000000"}},
                    {"msDS-MinimumPasswordAge", {"0"}},
                    {"msDS-MinimumPasswordLength", {"15"}}});
  std::string second = corp_.AddPso(kCorpDn, "beta", 9);
  corp_.AddPso(kCorpDn, "gamma", 10);
  config_.addSpec = AddSpecification("new", "9");
  config_.override = true;
  LoadPsos();
  OutputCapture capture;
  RunAdd(state_);
  capture.Stop();
  std::vector<std::string> expected = {
      "Checking existing policies...",
      "  WARN:",
      "  WARN: A policy setting object already exists with the same settings.",
      "  WARN: Policy Setting object - alpha (" + first + ")",
      "  WARN: Override specified, creating object.",
      "  WARN:"};
  for (const auto& line : PrecedenceWarning("alpha", first))
    expected.push_back(line);
  for (const auto& line : PrecedenceWarning("beta", second))
    expected.push_back(line);
  expected.push_back("");
  EXPECT_THAT(capture.Stdout(),
              ::testing::StartsWith(Lines(expected) + kNotForReal));
}

TEST_F(AddPSOTest, RefusedAddEndsWithTheLdapCode) {
  config_.addSpec = AddSpecification("newpso", "3");
  config_.forReal = true;
  LoadPsos();
  client_.FailNext(FakeOp::kAdd, 50,
                   "00002098: SecErr: DSID-03150F94, problem 4003");
  std::string dn = PsoDnOf("newpso");
  EXPECT_RUN_ENDS(
      RunAdd(state_), 50,
      Eq("Checking existing policies...\n\nCreating new PSO: " + dn +
         "\nERROR: ldap_add_s (" + dn +
         "): : [dc1.corp.example.com] Error 0x32 "
         "(50) - Insufficient access\nExtended Error: 00002098: SecErr: "
         "DSID-03150F94, problem 4003\n\nThe command did not complete "
         "successfully.\n\n"));
}

}  // namespace
}  // namespace talvex

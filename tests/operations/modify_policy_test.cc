#include "operations/modify_policy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "changes_fixture.h"

namespace talvex {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A record as the -mod specification leaves it.
PolicyRecord PsoChange() {
  PolicyRecord record(false, true);
  record.SetIsPSO(true);
  return record;
}

PolicyRecord DomainChange(const std::string& rawProperties) {
  PolicyRecord record(false, true);
  record.SetRawProperties(rawProperties);
  return record;
}

TEST(PolicyChangeLinesTest, PsoLockoutValuesAlone) {
  PolicyRecord change = PsoChange();
  change.SetLockoutThreshold("3");
  change.SetLockoutDuration("10");
  change.SetLockoutObservation("20");
  EXPECT_THAT(
      PolicyChangeLines(change),
      ElementsAre("msDS-LockoutThreshold:3", "msDS-LockoutDuration:-6000000000",
                  "msDS-LockoutObservationWindow:-12000000000"));
}

TEST(PolicyChangeLinesTest, EveryPsoSettingInTableOrder) {
  PolicyRecord change = PsoChange();
  change.SetName("renamed");
  change.SetDisplayName("Shown");
  change.SetPrecedence("5");
  change.SetMaxPwdAge("-1");
  change.SetMinPwdLength("12");
  change.SetPwdHistory("4");
  change.SetLockoutThreshold("0");
  change.SetLockoutDuration("0");
  change.SetLockoutObservation("1");
  change.SetMinPwdAge("1");
  change.SetComplexity("FALSE");
  change.SetReversible("true");
  // The name is no attribute change (it renames); the admin display name
  // follows the display name without being named itself.
  EXPECT_THAT(
      PolicyChangeLines(change),
      ElementsAre("displayName:Shown", "msDS-PasswordSettingsPrecedence:5",
                  "msDS-LockoutThreshold:0", "msDS-LockoutDuration:0",
                  "msDS-LockoutObservationWindow:-600000000",
                  "msDS-MaximumPasswordAge:-9223372036854775808",
                  "msDS-MinimumPasswordAge:-864000000000",
                  "msDS-MinimumPasswordLength:12",
                  "msDS-PasswordHistoryLength:4",
                  "msDS-PasswordComplexityEnabled:FALSE",
                  "msDS-PasswordReversibleEncryptionEnabled:TRUE"));
}

TEST(PolicyChangeLinesTest, DomainPolicyFoldsBooleansIntoPwdPropertiesLast) {
  PolicyRecord change = DomainChange("17");
  change.SetComplexity("false");
  change.SetMaxPwdAge("30");
  change.SetLockoutThreshold("10");
  EXPECT_THAT(PolicyChangeLines(change),
              ElementsAre("lockoutThreshold:10", "maxPwdAge:-25920000000000",
                          "pwdProperties:16"));
}

TEST(PolicyChangeLinesTest, PwdPropertiesKeepsEveryOtherBit) {
  struct Case {
    const char* raw;
    const char* complexity;
    const char* reversible;
    const char* line;
  };
  for (const Case& c : {Case{"57", "false", "", "pwdProperties:56"},
                        Case{"56", "true", "", "pwdProperties:57"},
                        Case{"57", "", "false", "pwdProperties:41"},
                        Case{"8", "true", "true", "pwdProperties:25"},
                        Case{"", "true", "", "pwdProperties:1"},
                        Case{"junk", "", "true", "pwdProperties:16"}}) {
    PolicyRecord change = DomainChange(c.raw);
    change.SetComplexity(c.complexity);
    change.SetReversible(c.reversible);
    EXPECT_THAT(PolicyChangeLines(change), ElementsAre(c.line)) << c.raw;
  }
}

TEST(PolicyChangeLinesTest, DomainPolicyHasNoPrecedenceAndNothingNamedNoLines) {
  PolicyRecord change = DomainChange("1");
  change.SetPrecedence("4");
  EXPECT_THAT(PolicyChangeLines(change), IsEmpty());
  EXPECT_THAT(PolicyChangeLines(PsoChange()), IsEmpty());
}

class ModifyPolicyTest : public ChangesTest {
 protected:
  PolicyRecord Target(const std::string& dn) {
    PolicyRecord change = PsoChange();
    change.SetDN(dn);
    return change;
  }
  OutputCapture capture_;
};

TEST_F(ModifyPolicyTest, WritesTheSettingsThenRenames) {
  std::string dn = corp_.AddPso(kCorpDn, "old", 5);
  PolicyRecord change = Target(dn);
  change.SetName("new");
  change.SetLockoutThreshold("7");
  EXPECT_EQ(0, ModifyPolicy(change, client_, *state_.mainConnection));

  std::vector<FakeRequest> writes;
  for (const auto& request : client_.Requests()) {
    if (request.kind == FakeOp::kModify || request.kind == FakeOp::kRename) {
      writes.push_back(request);
    }
  }
  ASSERT_EQ(2u, writes.size());
  EXPECT_EQ(FakeOp::kModify, writes[0].kind);
  EXPECT_EQ(dn, writes[0].dn);
  ASSERT_EQ(1u, writes[0].modifications.size());
  EXPECT_EQ(LdapModOp::kReplace, writes[0].modifications[0].op);
  EXPECT_EQ("msDS-LockoutThreshold", writes[0].modifications[0].attribute);
  EXPECT_THAT(writes[0].modifications[0].values, ElementsAre("7"));
  EXPECT_EQ(FakeOp::kRename, writes[1].kind);
  EXPECT_EQ("CN=new", writes[1].newRdn);
  EXPECT_TRUE(writes[1].deleteOldRdn);
  EXPECT_EQ(PsoDnOf("new"), change.dn());
  EXPECT_EQ("7", corp_.FirstValue(PsoDnOf("new"), "msDS-LockoutThreshold"));
}

TEST_F(ModifyPolicyTest, NewNameWithDnCharactersStaysOneRdnValue) {
  std::string dn = corp_.AddPso(kCorpDn, "old", 5);
  PolicyRecord change = Target(dn);
  change.SetName("a,OU=x+CN=y");
  EXPECT_EQ(0, ModifyPolicy(change, client_, *state_.mainConnection));
  EXPECT_EQ("CN=a\\,OU\\=x\\+CN\\=y", client_.Last(FakeOp::kRename).newRdn);
  EXPECT_EQ(PsoDnOf("a\\,OU\\=x\\+CN\\=y"), change.dn());
  EXPECT_EQ("a,OU=x+CN=y", corp_.FirstValue(change.dn(), "name"));
}

TEST_F(ModifyPolicyTest, RefusedChangeIsReturnedAndNothingIsRenamed) {
  std::string dn = corp_.AddPso(kCorpDn, "old", 5);
  PolicyRecord change = Target(dn);
  change.SetName("new");
  change.SetMinPwdLength("-1");
  client_.FailNext(FakeOp::kModify, 21, "objectclass_attrs: invalid value");
  EXPECT_EQ(21, ModifyPolicy(change, client_, *state_.mainConnection));
  EXPECT_EQ(0, client_.Count(FakeOp::kRename));
  EXPECT_EQ(dn, change.dn());
  EXPECT_TRUE(corp_.HasEntry(dn));
}

TEST_F(ModifyPolicyTest, RefusedRenameKeepsTheWrittenSettingsAndTheDn) {
  std::string dn = corp_.AddPso(kCorpDn, "old", 5);
  PolicyRecord change = Target(dn);
  change.SetName("new");
  change.SetPwdHistory("3");
  client_.FailNext(FakeOp::kRename, 68);
  EXPECT_EQ(68, ModifyPolicy(change, client_, *state_.mainConnection));
  EXPECT_EQ(dn, change.dn());
  EXPECT_EQ("3", corp_.FirstValue(dn, "msDS-PasswordHistoryLength"));
}

TEST_F(ModifyPolicyTest, NoDnGives34AndNothingNamedSendsNothing) {
  PolicyRecord change = PsoChange();
  change.SetLockoutThreshold("1");
  EXPECT_EQ(34, ModifyPolicy(change, client_, *state_.mainConnection));
  PolicyRecord nothing = Target(corp_.AddPso(kCorpDn, "p", 5));
  EXPECT_EQ(0, ModifyPolicy(nothing, client_, *state_.mainConnection));
  EXPECT_EQ(0, client_.Count(FakeOp::kModify));
  EXPECT_EQ(0, client_.Count(FakeOp::kRename));
}

TEST_F(ModifyPolicyTest, DomainPolicyNameIsNeverARename) {
  PolicyRecord change = DomainChange("17");
  change.SetDN(kCorpDn);
  change.SetName("other");
  change.SetComplexity("false");
  EXPECT_EQ(0, ModifyPolicy(change, client_, *state_.mainConnection));
  EXPECT_EQ(0, client_.Count(FakeOp::kRename));
  EXPECT_EQ("16", corp_.FirstValue(kCorpDn, "pwdProperties"));
}

TEST_F(ModifyPolicyTest, DebugLevelFiveShowsTheChangesAndTheRename) {
  ScopedOutputSettings debug(5);
  std::string dn = corp_.AddPso(kCorpDn, "old", 5);
  PolicyRecord change = Target(dn);
  change.SetName("new");
  change.SetPwdHistory("3");
  ModifyPolicy(change, client_, *state_.mainConnection);
  capture_.Stop();
  std::string out = capture_.Stdout();
  EXPECT_THAT(
      out, ::testing::StartsWith("DEBUG: Modifying Object: " + dn +
                                 "\nDEBUG:    msDS-PasswordHistoryLength:3\n"));
  EXPECT_THAT(out, ::testing::HasSubstr("DEBUG: Modifying Object (Rename): " +
                                        dn + " to new\n"));
}

}  // namespace
}  // namespace talvex

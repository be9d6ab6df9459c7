// The modify and rename actions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "changes_fixture.h"
#include "operations/actions.h"

namespace talvex {
namespace {

using ::testing::Eq;
using ::testing::HasSubstr;

class ModifyActionTest : public ChangesTest {
 protected:
  ModifyActionTest() { config_.modSpec.SetIsPSO(true); }

  std::vector<std::string> PsoDisplay(const std::string& dn,
                                      const std::string& name,
                                      const std::string& canonicalName,
                                      const std::string& threshold) {
    return {"    Type               : Policy Settings Object",
            "    Domain             : corp.example.com",
            "    Policy Precedence  : 5",
            "    DN                 : " + dn,
            "    Name               : " + name,
            "    Canonical Name     : " + canonicalName,
            "    Display Name       : old",
            "    Lockout Threshold  : " + threshold,
            "    Lockout Duration   : 30",
            "    Lockout Observation: 30",
            "    Min Pwd Age        : 1",
            "    Max Pwd Age        : 42",
            "    Min Pwd Length     : 8",
            "    Pwd History        : 24",
            "    Pwd Complexity     : TRUE",
            "    Pwd Reversible     : FALSE"};
  }

  std::string Run(void (*action)(RunState&)) {
    OutputCapture capture;
    action(state_);
    capture.Stop();
    return capture.Stdout();
  }
};

TEST_F(ModifyActionTest, DryRunShowsThePolicyAsItIs) {
  std::string dn = corp_.AddPso(kCorpDn, "old", 5, {{"displayName", {"old"}}});
  config_.modSpec.SetLockoutThreshold("9");
  LoadPsos({.name = "old"});
  const int searches = client_.Count(FakeOp::kSearch);
  std::string out = Run(RunModify);
  // Nothing was written, so the policy the selection read is shown as it is.
  EXPECT_EQ(searches, client_.Count(FakeOp::kSearch));
  EXPECT_EQ(
      "\n" + std::string(kNotForReal) +
          "DN to be modified had this been for real.\n  " + dn +
          "\n\nCurrent Policy Settings - " + dn + "\n" +
          Lines(PsoDisplay(
              dn, "old",
              "corp.example.com/System/Password Settings Container/old", "0")) +
          "\n",
      out);
  EXPECT_EQ(0, client_.Count(FakeOp::kModify));
}

TEST_F(ModifyActionTest, ForRealWritesRenamesAndShowsTheNewDn) {
  std::string dn = corp_.AddPso(kCorpDn, "old", 5, {{"displayName", {"old"}}});
  config_.modSpec.SetName("new");
  config_.modSpec.SetLockoutThreshold("9");
  config_.forReal = true;
  LoadPsos({.name = "old"});
  std::string out = Run(RunModify);
  std::string renamed = PsoDnOf("new");
  EXPECT_EQ(
      "Modifying PSO:\n  " + dn + "\nPSO successfully updated.\n\n" +
          "Current Policy Settings - " + renamed + "\n" +
          Lines(PsoDisplay(
              renamed, "new",
              "corp.example.com/System/Password Settings Container/new", "9")) +
          "\n",
      out);
  EXPECT_FALSE(corp_.HasEntry(dn));
}

// On Windows the Default Domain Policy GPO rewrites the domain head's
// settings at every refresh: said after the change and in the dry run.
constexpr char kGroupPolicyWarning[] =
    "WARN:\n"
    "WARN: The Default Domain Policy GPO rewrites these settings at every "
    "Group "
    "Policy refresh;\n"
    "WARN: a change made here is reverted then. The domain password policy is "
    "kept in that GPO:\n"
    "WARN: change it there to make the change last.\n"
    "WARN:\n";

TEST_F(ModifyActionTest, DomainPolicyComplexityOffClearsOnlyThatBit) {
  corp_.SetValues(kCorpDn, "pwdProperties", {"17"});
  config_.modSpec = PolicyRecord(false, true);
  config_.modSpec.SetComplexity("false");
  config_.forReal = true;
  LoadDomainPolicies();
  std::string out = Run(RunModify);
  EXPECT_EQ("16", corp_.FirstValue(kCorpDn, "pwdProperties"));
  EXPECT_THAT(out, ::testing::StartsWith(
                       "Modifying Domain Policy:\n  DC=corp,DC=example,DC=com\n"
                       "Domain Policy successfully updated.\n\n" +
                       std::string(kGroupPolicyWarning) +
                       "\nCurrent Policy Settings - DC=corp,DC=example,DC=com\n"
                       "    Type               : Domain Policy\n"));
  EXPECT_THAT(out, HasSubstr("    Pwd Complexity     : FALSE\n"
                             "    Pwd Reversible     : TRUE\n"));
}

TEST_F(ModifyActionTest, SpecificationFollowsTheTypeOfTheOneMatch) {
  // -allpwdpols in a domain without PSOs: the -mod values are marked as a
  // PSO's, the one match is the domain policy.
  corp_.SetValues(kCorpDn, "pwdProperties", {"17"});
  config_.modSpec.SetComplexity("false");
  config_.modSpec.SetLockoutThreshold("4");
  config_.forReal = true;
  LoadDomainPolicies();
  LoadPsos();
  std::string out = Run(RunModify);
  EXPECT_THAT(out, ::testing::StartsWith("Modifying Domain Policy:\n"));
  EXPECT_EQ("16", corp_.FirstValue(kCorpDn, "pwdProperties"));
  EXPECT_EQ("4", corp_.FirstValue(kCorpDn, "lockoutThreshold"));
  EXPECT_TRUE(corp_.Values(kCorpDn, "msDS-LockoutThreshold").empty());
}

TEST_F(ModifyActionTest, RefusedChangeEndsWithItsCodeAndNoRename) {
  std::string dn = corp_.AddPso(kCorpDn, "old", 5);
  config_.modSpec.SetName("new");
  config_.modSpec.SetMinPwdLength("-1");
  config_.forReal = true;
  LoadPsos({.name = "old"});
  client_.FailNext(FakeOp::kModify, 21, "objectclass_attrs: invalid value");
  EXPECT_RUN_ENDS(
      RunModify(state_), 21,
      Eq("Modifying PSO:\n  " + dn + "\n" + "LDAP_MODIFY_SW: [" + dn +
         "] Error 0x15 (21) - Invalid syntax\n"
         "Extended Error: objectclass_attrs: invalid value\n"
         "ERROR: ldap_modify_s/ldap_rename_ext_s (" +
         dn +
         "): : [dc1.corp.example.com] Error 0x15 (21) - Invalid syntax\n"
         "Extended Error: objectclass_attrs: invalid value\n"
         "\nThe command did not complete successfully.\n\n"));
}

// A server that answers the change with success and keeps the old values
// ends the run as a failure naming each setting that did not change.
TEST_F(ModifyActionTest, ChangeTheServerDidNotMakeEndsAsAFailure) {
  const std::string pso = corp_.AddPso(kCorpDn, "lied", 5);
  corp_.SetValues(pso, "msDS-LockoutThreshold", {"3"});
  corp_.SetValues(kCorpDn, "lockoutThreshold", {"3"});
  corp_.SetValues(kCorpDn, "pwdProperties", {"1"});
  client_.Lie(FakeLie::kIgnoredWrites);
  for (const std::string& dn : {pso, std::string(kCorpDn)}) {
    SCOPED_TRACE(dn);
    state_.policies.clear();
    config_.modSpec = PolicyRecord(false, true);
    config_.modSpec.SetIsPSO(dn == pso);
    config_.modSpec.SetLockoutThreshold("7");
    config_.modSpec.SetComplexity("FALSE");
    config_.forReal = true;
    if (dn == pso) {
      LoadPsos({.name = "lied"});
    } else {
      LoadDomainPolicies();
    }
    EXPECT_RUN_ENDS(
        RunModify(state_), ldap_result::kLocalError,
        HasSubstr("ERROR: The server reported the change as made, but " + dn +
                  " still holds:\n"
                  "ERROR:   lockout threshold (written 7, read back 3)\n"
                  "ERROR:   complexity (written FALSE, read back TRUE)\n"
                  "ERROR:\n\nThe command did not complete successfully.\n"));
  }
}

TEST_F(ModifyActionTest, NothingSelectedAndTwoSelected) {
  LoadPsos({.name = "none"});
  EXPECT_EQ("\nNo PSO to modify with the specified criteria.\n\n",
            Run(RunModify));
  EXPECT_EQ("\nNo PSO to rename with the specified criteria.\n\n",
            Run(RunRename));

  corp_.AddPso(kCorpDn, "p1", 5);
  corp_.AddPso(kCorpDn, "p2", 6);
  LoadPsos({.name = "p*"});
  config_.forReal = true;
  config_.renameTo = "x";
  EXPECT_RUN_ENDS(RunModify(state_), 1,
                  Eq("ERROR:\nERROR: Can only modify one object at a time, be "
                     "more specific "
                     "with selection criteria.\nERROR:\n" +
                     std::string(kUsageHint)));
  EXPECT_RUN_ENDS(RunRename(state_), 1,
                  Eq("ERROR:\nERROR: Can only rename one object at a time, be "
                     "more specific "
                     "with selection criteria.\nERROR:\n" +
                     std::string(kUsageHint)));
}

TEST_F(ModifyActionTest, RenameDryRunNamesTheNewNameAndChangesNothing) {
  std::string dn = corp_.AddPso(kCorpDn, "old", 5);
  config_.renameTo = "new";
  LoadPsos({.name = "old"});
  EXPECT_EQ("\n" + std::string(kNotForReal) +
                "DN to be renamed had this been for real. (newname=new)\n  " +
                dn + "\n",
            Run(RunRename));
  EXPECT_EQ(0, client_.Count(FakeOp::kRename));
}

TEST_F(ModifyActionTest, RenameTakesTypedAndPlainNamesAndKeepsOddNamesWhole) {
  struct Case {
    const char* newName;
    const char* newRdn;
  };
  for (const Case& c : {Case{"new", "CN=new"}, Case{"CN=new2", "CN=new2"},
                        Case{"a,OU=x", "CN=a\\,OU\\=x"}}) {
    state_.policies.clear();
    std::string dn = corp_.AddPso(kCorpDn, "old", 5);
    LoadPsos({.name = "old"});
    config_.renameTo = c.newName;
    config_.forReal = true;
    EXPECT_EQ("Renaming PSO:\n  " + dn + "\nPSO successfully renamed.\n",
              Run(RunRename));
    EXPECT_EQ(c.newRdn, client_.Last(FakeOp::kRename).newRdn);
    EXPECT_TRUE(corp_.HasEntry(PsoDnOf(std::string(c.newRdn).substr(3))));
  }
}

TEST_F(ModifyActionTest, RefusedRenameEndsWithItsCode) {
  std::string dn = corp_.AddPso(kCorpDn, "old", 5);
  corp_.AddPso(kCorpDn, "taken", 6);
  LoadPsos({.name = "old"});
  config_.renameTo = "taken";
  config_.forReal = true;
  EXPECT_RUN_ENDS(
      RunRename(state_), 68,
      HasSubstr(
          "ERROR: ldap_rename_ext_s (" + dn +
          "): : [dc1.corp.example.com] Error 0x44 (68) - Already exists\n"));
}

}  // namespace
}  // namespace talvex

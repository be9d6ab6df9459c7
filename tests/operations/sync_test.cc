#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operations/deletion_protection.h"
#include "operations/executor_fixture.h"
#include "policy/policy_code.h"
#include "policy/pso_subject.h"

namespace talvex::executor_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Document(int threshold, const std::string& subjectDn) {
  return R"({"formatVersion": 1, "psos": [{"name": "alpha", "precedence": 10,
    "settings": {"lockoutThreshold": )" +
         std::to_string(threshold) + R"(, "lockoutDurationMinutes": 30,
      "lockoutObservationWindowMinutes": 30, "minPasswordAgeDays": 1,
      "maxPasswordAgeDays": 42, "minPasswordLength": 8,
      "passwordHistoryLength": 24, "complexityEnabled": true,
      "reversibleEncryptionEnabled": false},
    "subjects": [{"dn": ")" +
         subjectDn + R"("}]}]})";
}

// Every change of one PSO, settings and subjects alike, goes in one modify:
// the directory applies it whole, so no user is ever between two halves
// of the change. The read-back then finds the domain as the file says.
TEST_F(ExecutorTest, SyncChangesOnePsoWithOneModify) {
  const std::string alpha = Corp().AddPso(kCorpDn, "alpha", 10);
  const std::string u1 = Corp().AddUser(kUsers, "u1", kCorpDns);
  const std::string u2 = Corp().AddUser(kUsers, "u2", kCorpDns);
  Corp().SetValues(alpha, "msDS-PSOAppliesTo", {u1});
  config_.action = ActionCode::kSync;
  config_.psoSelected = true;
  config_.forReal = true;
  config_.syncFile = "p.json";
  std::string place, reason;
  ASSERT_TRUE(
      ParsePolicyCode(Document(5, u2), &config_.policyCode, &place, &reason))
      << place << ": " << reason;

  RunResult result = Execute();
  EXPECT_EQ(0, result.status) << result.out << result.err;
  std::vector<FakeRequest> modifies = client_.Requests(FakeOp::kModify);
  ASSERT_EQ(1u, modifies.size()) << result.out;
  EXPECT_EQ(alpha, modifies[0].dn);
  std::vector<std::string> changes;
  for (const LdapModification& change : modifies[0].modifications) {
    std::string line = std::to_string(static_cast<int>(change.op)) + " " +
                       change.attribute;
    for (const std::string& value : change.values) line += " " + value;
    changes.push_back(line);
  }
  EXPECT_THAT(changes, ElementsAre("2 msDS-LockoutThreshold 5",
                                   "1 msDS-PSOAppliesTo " + u1,
                                   "0 msDS-PSOAppliesTo " + u2));
  EXPECT_THAT(result.out, HasSubstr("\nThe domain matches p.json.\n"));
}

// The domain policy is written last, its two switches as bits of one
// attribute whose other bits stay as the domain has them.
TEST_F(ExecutorTest, SyncWritesTheDomainPolicyKeepingOtherPropertyBits) {
  Corp().SetValues(kCorpDn, "pwdProperties", {"9"});  // complex, lockout admins
  config_.action = ActionCode::kSync;
  config_.psoSelected = true;
  config_.domainPolicySelected = true;
  config_.forReal = true;
  config_.syncFile = "p.json";
  std::string place, reason;
  ASSERT_TRUE(ParsePolicyCode(R"({"formatVersion": 1, "psos": [],
    "domainPolicy": {"settings": {"lockoutThreshold": 0,
      "lockoutDurationMinutes": 30, "lockoutObservationWindowMinutes": 30,
      "minPasswordAgeDays": 1, "maxPasswordAgeDays": 42,
      "minPasswordLength": 12, "passwordHistoryLength": 24,
      "complexityEnabled": false, "reversibleEncryptionEnabled": false}}})",
                              &config_.policyCode, &place, &reason))
      << place << ": " << reason;

  RunResult result = Execute();
  EXPECT_EQ(0, result.status) << result.out << result.err;
  std::vector<FakeRequest> modifies = client_.Requests(FakeOp::kModify);
  ASSERT_EQ(1u, modifies.size()) << result.out;
  EXPECT_EQ(kCorpDn, modifies[0].dn);
  std::vector<std::string> changes;
  for (const LdapModification& change : modifies[0].modifications)
    changes.push_back(change.attribute + "=" + change.values.at(0));
  EXPECT_THAT(changes, ElementsAre("minPwdLength=12", "pwdProperties=8"));
  EXPECT_THAT(result.out, HasSubstr("Default Domain Policy GPO rewrites"));
}

// A file exported from one domain makes another domain match it: the
// subjects' SIDs and DNs are not found there, their account names are.
TEST_F(ExecutorTest, SyncTakesAnotherDomainsExportByAccountNames) {
  const std::string alpha = Corp().AddPso(kCorpDn, "alpha", 10);
  Corp().SetValues(alpha, "msDS-PSOAppliesTo",
                   {Corp().AddUser(kUsers, "u1", kCorpDns)});
  config_.action = ActionCode::kExport;
  config_.psoSelected = true;
  config_.json = true;
  Output().jsonDocument = true;
  RunResult exported = Execute();
  ASSERT_EQ(0, exported.status) << exported.err;

  FakeDirectory& other = AddDomain(kAlphaDc, kAlphaDn, kAlphaDns);
  const std::string u1 = other.AddUser("CN=Users," + std::string(kAlphaDn),
                                       "u1", kAlphaDns);
  config_ = RunConfig{};
  Output() = OutputSettings{};
  config_.action = ActionCode::kSync;
  config_.psoSelected = true;
  config_.forReal = true;
  config_.domain = kAlphaDns;
  config_.syncFile = "corp.json";
  std::string place, reason;
  ASSERT_TRUE(ParsePolicyCode(exported.out, &config_.policyCode, &place,
                              &reason))
      << place << ": " << reason;

  RunResult result = Execute();
  EXPECT_EQ(0, result.status) << result.out << result.err;
  std::vector<FakeRequest> adds = client_.Requests(FakeOp::kAdd);
  ASSERT_EQ(1u, adds.size()) << result.out;
  EXPECT_EQ(PsoDnIn(kAlphaDn, "alpha"), adds[0].dn);
  EXPECT_EQ(kPsoAppliesToAttribute, adds[0].modifications.back().attribute);
  EXPECT_THAT(adds[0].modifications.back().values, ElementsAre(u1));
  EXPECT_THAT(result.out, HasSubstr("\nThe domain matches corp.json.\n"));
}

// Protection from accidental deletion is the deny of DELETE or DELETE_TREE
// to Everyone on the object itself.
TEST(DeletionProtectionTest, DenyOfDeleteToEveryone) {
  struct Case {
    const char* sddl;
    bool denies;
  } cases[] = {
      {"O:DAG:DAD:PAI(D;;DTSD;;;WD)(A;;RPWP;;;DA)", true},
      {"D:(D;;SD;;;S-1-1-0)", true},
      {"D:(D;;0x10000;;;WD)", true},
      {"D:(D;CI;DT;;;WD)", true},
      {"D:(A;;SDDT;;;WD)", false},              // an allow
      {"D:(D;;SD;;;AU)", false},                // not Everyone
      {"D:(D;CIIO;SD;;;WD)", false},            // for the children only
      {"D:(OD;;SD;bf967a86-0de6-11d0-a285-00aa003049e2;;WD)", false},
      {"D:(D;;RPWP;;;WD)", false},              // "PW" is no "SD" pair
      {"D:(A;;RP;;;WD)S:(D;;SD;;;WD)", false},  // a SACL denies nothing
  };
  for (const Case& c : cases) EXPECT_EQ(c.denies, DeniesDeletion(c.sddl)) << c.sddl;
}

}  // namespace
}  // namespace talvex::executor_test

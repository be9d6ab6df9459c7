#include "policy/policy_code.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

constexpr char kSettings[] =
    R"("settings": {"lockoutThreshold": 3, "lockoutDurationMinutes": 10,
       "lockoutObservationWindowMinutes": 10, "minPasswordAgeDays": 1,
       "maxPasswordAgeDays": null, "minPasswordLength": 10,
       "passwordHistoryLength": 5, "complexityEnabled": true,
       "reversibleEncryptionEnabled": false})";

std::string Document(const std::string& pso) {
  return R"({"formatVersion": 1, "psos": [{"name": "p", "precedence": 5, )" +
         std::string(kSettings) + pso + "}]}";
}

TEST(PolicyCodeTest, ReadsTheExportFormat) {
  PolicyCode code;
  std::string place, reason;
  ASSERT_TRUE(ParsePolicyCode(
      Document(R"(, "objectGUID": "{00000000-0000-0000-0000-000000000001}",
                 "subjects": [{"dn": "CN=u,DC=x", "objectSid": null}])"),
      &code, &place, &reason))
      << place << ": " << reason;
  ASSERT_EQ(1u, code.psos.size());
  const CodePso& pso = code.psos[0];
  EXPECT_EQ("p", pso.record.name());
  EXPECT_EQ(5, pso.record.precedence());
  EXPECT_EQ(-1, pso.record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(1, pso.record.Value(SettingId::kComplexity));
  EXPECT_EQ("CN=u,DC=x", pso.subjects[0].dn);
  EXPECT_EQ("/psos/0/subjects/0", pso.subjects[0].place);
  EXPECT_FALSE(code.hasDomainPolicy);
  EXPECT_TRUE(CheckPolicyCodeRules(code).empty());
}

// Each refusal names the place and the reason.
TEST(PolicyCodeTest, RefusalsNameThePlace) {
  struct Case {
    std::string text;
    std::string place;
    std::string reason;
  };
  const Case cases[] = {
      {"[1", "line 1, column 3", "not valid JSON"},
      {"[]", "/", "the document is a JSON object"},
      {R"({"formatVersion": 2, "psos": []})", "/formatVersion", "expected 1"},
      {R"({"formatVersion": 1})", "/psos", "expected an array"},
      {R"({"formatVersion": 1, "psos": [], "x": 1})", "/x", "unknown key"},
      {Document(R"(, "colour": 1)"), "/psos/0/colour", "unknown key"},
      {R"({"formatVersion": 1, "psos": [{"name": "p", "precedence": "5"}]})",
       "/psos/0/precedence", "expected a whole number"},
      {R"({"formatVersion": 1, "psos": [{"name": "p", "precedence": 5,
           "settings": {"lockoutThreshold": true}}]})",
       "/psos/0/settings/lockoutThreshold", "expected a whole number"},
      {R"({"formatVersion": 1, "psos": [{"name": "p", "precedence": 5,
           "settings": {"maxPasswordAgeDays": -1}}]})",
       "/psos/0/settings/maxPasswordAgeDays",
       "expected whole days (0 or more) or null for never"},
      {R"({"formatVersion": 1, "psos": [{"name": "p", "precedence": 5,
           "settings": {}}]})",
       "/psos/0/settings/lockoutThreshold", "missing"},
      {Document(R"(, "subjects": [{"objectClass": "user"}])"),
       "/psos/0/subjects/0", "expected a dn, accountName or objectSid"},
  };
  for (const Case& c : cases) {
    PolicyCode code;
    std::string place, reason;
    EXPECT_FALSE(ParsePolicyCode(c.text, &code, &place, &reason)) << c.text;
    EXPECT_EQ(c.place, place) << c.text;
    EXPECT_EQ(c.reason, reason) << c.text;
  }
}

TEST(PolicyCodeTest, WindowsRulesNameThePolicy) {
  PolicyCode code;
  std::string place, reason;
  ASSERT_TRUE(
      ParsePolicyCode(R"({"formatVersion": 1, "psos": [], "domainPolicy": {)" +
                          std::string(kSettings) + "}}",
                      &code, &place, &reason));
  EXPECT_TRUE(CheckPolicyCodeRules(code).empty());
  code.domainPolicy.SetValue(SettingId::kLockoutObservation, 20);
  std::vector<std::string> lines = CheckPolicyCodeRules(code);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("ERROR: At /domainPolicy:", lines[0]);
}

}  // namespace
}  // namespace talvex

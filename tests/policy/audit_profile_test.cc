#include "policy/audit_profile.h"

#include <gtest/gtest.h>

#include <string>

#include "directory/binary_value_text.h"
#include "policy/cross_policy_rules.h"

namespace talvex {
namespace {

using enum SettingId;

// Each built-in profile's bounds as the baselines publish them: the value
// at the boundary passes, one step past it (in the setting's weaker
// direction) fails. Never (-1) is the longest duration.
TEST(AuditProfileTest, BuiltInProfilesPassTheirBoundaryAndFailOneStepPast) {
  const struct {
    const char* profile;
    SettingId id;
    int passes;
    int fails;
  } kCases[] = {
      {"cis", kPwdHistory, 24, 23},
      {"cis", kMaxPwdAge, 365, 366},
      {"cis", kMaxPwdAge, 1, -1},
      {"cis", kMinPwdAge, 1, 0},
      {"cis", kMinPwdAge, 1, -1},
      {"cis", kMinPwdLength, 14, 13},
      {"cis", kComplexity, 1, 0},
      {"cis", kReversible, 0, 1},
      {"cis", kLockoutDuration, 15, 14},
      {"cis", kLockoutDuration, -1, 14},
      {"cis", kLockoutThreshold, 5, 6},
      {"cis", kLockoutThreshold, 1, 0},
      {"cis", kLockoutObservation, 15, 14},
      {"stig", kPwdHistory, 24, 23},
      {"stig", kMaxPwdAge, 60, 61},
      {"stig", kMaxPwdAge, 60, -1},
      {"stig", kMinPwdAge, 1, 0},
      {"stig", kMinPwdLength, 14, 13},
      {"stig", kComplexity, 1, 0},
      {"stig", kReversible, 0, 1},
      {"stig", kLockoutDuration, -1, 14},
      {"stig", kLockoutDuration, 15, 14},
      {"stig", kLockoutThreshold, 3, 4},
      {"stig", kLockoutThreshold, 1, 0},
      {"stig", kLockoutObservation, 15, 14},
      {"msbaseline", kPwdHistory, 24, 23},
      {"msbaseline", kMinPwdLength, 14, 13},
      {"msbaseline", kComplexity, 1, 0},
      {"msbaseline", kReversible, 0, 1},
      {"msbaseline", kLockoutDuration, 10, 9},
      {"msbaseline", kLockoutThreshold, 10, 11},
      {"msbaseline", kLockoutThreshold, 1, 0},
      {"msbaseline", kLockoutObservation, 10, 9},
      {"nist", kMaxPwdAge, -1, 36500},
      {"nist", kMinPwdLength, 15, 14},
      {"nist", kComplexity, 0, 1},
      {"nist", kReversible, 0, 1},
      {"nist", kLockoutThreshold, 100, 101},
      {"nist", kLockoutThreshold, 1, 0},
  };
  for (const auto& c : kCases) {
    const AuditProfile* profile = FindBuiltInProfile(c.profile);
    ASSERT_NE(profile, nullptr) << c.profile;
    const std::string where =
        std::string(c.profile) + " " + Setting(c.id).jsonKey + " " +
        std::to_string(c.passes) + "/" + std::to_string(c.fails);
    for (int value : {c.passes, c.fails}) {
      PolicyRecord record(true);
      record.SetDN("CN=p");
      record.SetValue(c.id, value);
      bool flagged = false;
      for (const AuditFinding& finding : CheckProfile(*profile, record)) {
        if (finding.setting == c.id) flagged = true;
      }
      EXPECT_EQ(flagged, value == c.fails) << where << " value " << value;
    }
  }
  // A setting no baseline names is never a finding of that baseline.
  PolicyRecord record(true);
  record.SetValue(kMinPwdAge, 0);
  for (const AuditFinding& finding :
       CheckProfile(*FindBuiltInProfile("nist"), record)) {
    EXPECT_NE(finding.setting, kMinPwdAge);
  }
}

// A profile file is refused with the place and the reason.
TEST(AuditProfileTest, ProfileFileRefusalsNamePlaceAndReason) {
  const struct {
    const char* text;
    const char* place;
    const char* reason;
  } kCases[] = {
      {"{\"name\": \"x\",\n \"settings\": {", "line 2, column 15",
       "not valid JSON"},
      {"[]", "/", "a profile is a JSON object"},
      {"{\"settings\": {\"minPasswordLength\": {\"minimum\": 8}}}", "/name",
       "expected the profile's name, a non-empty text"},
      {"{\"name\": \"x\", \"color\": 1, \"settings\": {}}", "/color",
       "unknown key"},
      {"{\"name\": \"x\", \"settings\": {}}", "/settings",
       "expected an object naming at least one setting"},
      {"{\"name\": \"x\", \"settings\": {\"precedence\": {\"minimum\": 1}}}",
       "/settings/precedence", "no such setting; the settings are "},
      {"{\"name\": \"x\", \"settings\": {\"minPasswordLength\": 8}}",
       "/settings/minPasswordLength", "expected an object with minimum"},
      {"{\"name\": \"x\", \"settings\": {\"minPasswordLength\": "
       "{\"minimum\": 256}}}",
       "/settings/minPasswordLength/minimum", "out of range 0 to 255"},
      {"{\"name\": \"x\", \"settings\": {\"minPasswordLength\": "
       "{\"minimum\": \"never\"}}}",
       "/settings/minPasswordLength/minimum", "expected a whole number"},
      {"{\"name\": \"x\", \"settings\": {\"maxPasswordAgeDays\": "
       "{\"maximum\": \"soon\"}}}",
       "/settings/maxPasswordAgeDays/maximum",
       "expected a whole number or \"never\""},
      {"{\"name\": \"x\", \"settings\": {\"complexityEnabled\": "
       "{\"minimum\": 1}}}",
       "/settings/complexityEnabled/minimum",
       "a TRUE/FALSE setting takes only \"required\""},
      {"{\"name\": \"x\", \"settings\": {\"complexityEnabled\": "
       "{\"required\": 1}}}",
       "/settings/complexityEnabled/required", "expected true or false"},
      {"{\"name\": \"x\", \"settings\": {\"minPasswordLength\": "
       "{\"allowNeverOrOff\": true}}}",
       "/settings/minPasswordLength/allowNeverOrOff",
       "the setting has no never or off value"},
      {"{\"name\": \"x\", \"settings\": {\"lockoutThreshold\": "
       "{\"minimum\": 5, \"maximum\": 3}}}",
       "/settings/lockoutThreshold", "minimum above maximum"},
      {"{\"name\": \"x\", \"settings\": {\"maxPasswordAgeDays\": "
       "{\"minimum\": \"never\", \"maximum\": 90}}}",
       "/settings/maxPasswordAgeDays", "minimum above maximum"},
      {"{\"name\": \"x\", \"settings\": {\"lockoutThreshold\": "
       "{\"required\": 3, \"maximum\": 5}}}",
       "/settings/lockoutThreshold",
       "\"required\" cannot be given with a minimum or maximum"},
      {"{\"name\": \"x\", \"settings\": {\"lockoutThreshold\": "
       "{\"most\": 5}}}",
       "/settings/lockoutThreshold/most", "unknown key"},
  };
  for (const auto& c : kCases) {
    AuditProfile profile;
    std::string place, reason;
    EXPECT_FALSE(ParseAuditProfile(c.text, &profile, &place, &reason))
        << c.text;
    EXPECT_EQ(place, c.place) << c.text;
    EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << c.text << " -> " << reason;
  }

  // What a good file says, it means.
  AuditProfile profile;
  std::string place, reason;
  ASSERT_TRUE(ParseAuditProfile(
      R"({"name": "corp", "settings": {
            "maxPasswordAgeDays": {"maximum": 90, "allowNeverOrOff": true},
            "complexityEnabled": {"required": true}}})",
      &profile, &place, &reason))
      << place << ": " << reason;
  ASSERT_EQ(profile.requirements.size(), 2u);
  EXPECT_TRUE(MeetsRequirement(profile.requirements[0], -1));
  EXPECT_FALSE(MeetsRequirement(profile.requirements[0], 91));
  EXPECT_EQ(RequirementText(profile.requirements[0]), "90 or less, or never");
  EXPECT_FALSE(MeetsRequirement(profile.requirements[1], 0));
}

// The directory breaks a precedence tie with the lower objectGUID as
// stored: the text's first groups are byte-swapped, so text order misleads.
TEST(AuditProfileTest, TieGoesToTheLowerStoredGuidNotTheLowerText) {
  const std::string a =
      GuidTextToBytes("{01000000-0000-0000-0000-000000000000}");
  const std::string b =
      GuidTextToBytes("{00000002-0000-0000-0000-000000000000}");
  ASSERT_EQ(a.size(), 16u);
  EXPECT_EQ(GuidToText(a), "{01000000-0000-0000-0000-000000000000}");
  // Stored, a starts 00 00 00 01 and b starts 02 00 00 00.
  EXPECT_TRUE(LowerGuid(a, b));
  EXPECT_FALSE(LowerGuid(b, a));
  EXPECT_EQ(GuidTextToBytes("{0100000-0000-0000-0000-000000000000}"), "");
}

}  // namespace
}  // namespace talvex

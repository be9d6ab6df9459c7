#include "policy/policy_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvex {
namespace {

using Strings = std::vector<std::string>;

// A PSO with defaults, precedence 1 and the durations given (-1 never, 0 zero).
PolicyRecord Pso(int maxAge, int minAge, int duration, int observation) {
  PolicyRecord record(true);
  record.SetPrecedence("1");
  record.SetMaxPwdAge(std::to_string(maxAge));
  record.SetMinPwdAge(std::to_string(minAge));
  record.SetLockoutDuration(std::to_string(duration));
  record.SetLockoutObservation(std::to_string(observation));
  return record;
}

const char kAgeRule[] =
    "ERROR: Minimum password age must not be longer than maximum password "
    "age.";
const char kLockoutRule[] =
    "ERROR: Lockout observation must not be longer than lockout duration.";
const char kNeverLocked[] =
    "ERROR: For accounts locked until an administrator unlocks them, the "
    "lockout duration is -1 (never).";

TEST(PolicyRulesTest, ShorterSettingMayNotOutlastTheLongerOne) {
  struct Case {
    PolicyRecord policy;
    Strings broken;
  } cases[] = {
      {Pso(42, 1, 30, 30), {}},
      {Pso(-1, 999, 5, 5), {}},   // never expires: any minimum age
      {Pso(-1, -1, -1, -1), {}},  // never against never
      {Pso(0, 0, 0, 0), {}},      // the quick start's service PSO
      {Pso(10, 30, 5, 5),
       {kAgeRule, "ERROR: Value - minpwdage 30 days, maxpwdage 10 days"}},
      {Pso(10, -1, 5, 5),
       {kAgeRule, "ERROR: Value - minpwdage -1 (never), maxpwdage 10 days"}},
      {Pso(0, 1, 5, 5),
       {kAgeRule, "ERROR: Value - minpwdage 1 days, maxpwdage 0 days",
        "ERROR: For passwords that never expire, the maximum password age is "
        "-1 (never)."}},
      // 0 locks an account for no time at all, as the controller compares
      // the values; "until unlocked" is -1.
      {Pso(42, 0, 0, 30),
       {kLockoutRule,
        "ERROR: Value - lo_observe 30 minutes, lo_duration 0 minutes",
        kNeverLocked}},
      {Pso(42, 0, 5, -1),
       {kLockoutRule,
        "ERROR: Value - lo_observe -1 (never), lo_duration 5 minutes"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.broken, CheckPolicyRules(c.policy))
        << c.policy.Text(SettingId::kMaxPwdAge) << " "
        << c.policy.Text(SettingId::kMinPwdAge) << " "
        << c.policy.Text(SettingId::kLockoutDuration) << " "
        << c.policy.Text(SettingId::kLockoutObservation);
  }
}

TEST(PolicyRulesTest, CountsAndDurationsOutsideTheirRanges) {
  PolicyRecord policy(true);
  policy.SetPrecedence("0");
  policy.SetMinPwdLength("256");
  policy.SetPwdHistory("65536");
  policy.SetLockoutThreshold("-1");
  policy.SetMaxPwdAge("10675200");
  policy.SetLockoutDuration("-2");
  policy.SetLockoutObservation("-2");
  EXPECT_EQ((Strings{
                "ERROR: Minimum value for policy precedence is 1.",
                "ERROR: Value - 0",
                "ERROR: Maximum value for minimum password length is 255.",
                "ERROR: Value - 256",
                "ERROR: Maximum value for password history is 65535.",
                "ERROR: Value - 65536",
                "ERROR: Minimum value for lockout threshold is 0.",
                "ERROR: Value - -1",
                "ERROR: Maximum value for maximum password age is 10675199 "
                "days.",
                "ERROR: Value - 10675200",
                "ERROR: Minimum value for lockout duration is -1 (never).",
                "ERROR: Value - -2",
                "ERROR: Minimum value for lockout observation is -1 (never).",
                "ERROR: Value - -2",
            }),
            CheckPolicyRules(policy));
}

// A change is checked with the values it leaves alone, and only for the
// pairs it touches.
TEST(PolicyRulesTest, ChangesAreCheckedMergedWithTheCurrentValues) {
  PolicyRecord current = Pso(42, 1, 30, 30);
  struct Case {
    const char* maxAge;
    const char* minAge;
    const char* observation;
    Strings broken;
  } cases[] = {
      {"", "", "", {}},
      {"", "42", "", {}},
      {"",
       "43",
       "",
       {kAgeRule, "ERROR: Value - minpwdage 43 days, maxpwdage 42 days"}},
      {"0",
       "",
       "",
       {kAgeRule, "ERROR: Value - minpwdage 1 days, maxpwdage 0 days",
        "ERROR: For passwords that never expire, the maximum password age is "
        "-1 (never)."}},
      {"-1",
       "",
       "31",
       {kLockoutRule,
        "ERROR: Value - lo_observe 31 minutes, lo_duration 30 minutes"}},
  };
  for (const Case& c : cases) {
    PolicyRecord changes(false, true);
    changes.SetMaxPwdAge(c.maxAge);
    changes.SetMinPwdAge(c.minAge);
    changes.SetLockoutObservation(c.observation);
    EXPECT_EQ(c.broken, CheckChangedSettingPairs(current, changes))
        << c.maxAge << "/" << c.minAge << "/" << c.observation;
  }
  // A pair the change leaves alone is not checked, however it stands.
  PolicyRecord lockoutOnly(false, true);
  lockoutOnly.SetLockoutThreshold("3");
  EXPECT_EQ(Strings{},
            CheckChangedSettingPairs(Pso(10, 30, 0, 30), lockoutOnly));
}

}  // namespace
}  // namespace talvex

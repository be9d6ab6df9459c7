#include "frontend/policy_fields.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "captured_text.h"
#include "support/output.h"

namespace talvex {
namespace {

using Strings = std::vector<std::string>;

struct Parsed {
  bool ok = false;
  Strings messages;
  PolicyRecord record;
};

class PolicySpecificationTest : public ::testing::Test {
 protected:
  void SetUp() override { Output() = OutputSettings(); }
  void TearDown() override { Output() = OutputSettings(); }

  // Parses `specification` as the value of -add (isAdd) or -mod, with
  // override switches given as further command-line tokens.
  static Parsed Parse(const std::string& specification, bool isAdd,
                      const Strings& overrides = {}) {
    std::vector<const char*> argv = {"talvex"};
    for (const std::string& token : overrides) argv.push_back(token.c_str());
    CommandLine commandLine =
        BuildCommandLine(static_cast<int>(argv.size()), argv.data(), false);
    Parsed parsed;
    parsed.record = isAdd ? PolicyRecord(true) : PolicyRecord(false, true);
    parsed.ok = ParsePolicySpecification(
        commandLine, &parsed.record,
        SplitFields(specification, kSpecificationFieldCount), isAdd,
        &parsed.messages);
    return parsed;
  }

  static Strings ErrorBlock(const Strings& lines) {
    Strings block = {"ERROR:"};
    block.insert(block.end(), lines.begin(), lines.end());
    block.push_back("ERROR:");
    return block;
  }
};

TEST_F(PolicySpecificationTest, SplitFieldsCutsAtTheFirstColonsOnly) {
  EXPECT_EQ((Strings{"a", "b", "c:d:e"}), SplitFields("a:b:c:d:e", 3));
  EXPECT_EQ((Strings{"a", "", ""}), SplitFields("a", 3));
  EXPECT_EQ((Strings{"", ""}), SplitFields("", 2));
  EXPECT_EQ((Strings{"", "", ""}), SplitFields("::", 3));
  EXPECT_EQ((Strings{"x:y"}), SplitFields("x:y", 1));
  EXPECT_EQ(Strings{}, SplitFields("x", 0));
  EXPECT_EQ(12u, SplitFields("a:b", 12).size());
}

TEST_F(PolicySpecificationTest, AddWithNameAndPrecedenceReportsEveryDefault) {
  Parsed parsed = Parse("newpso10::1", true);
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ((Strings{
                "WARN: Using name newpso10 for displayName.",
                "WARN: Using default 91 days for maximum password age.",
                "WARN: Using default 15 characters for minimum password "
                "length.",
                "WARN: Using default 24 passwords for minimum password "
                "history.",
                "WARN: Using default 25 bad passwords for lockout threshold.",
                "WARN: Using default 5 minutes for lockout duration.",
                "WARN: Using default 5 minutes for lockout observation.",
                "WARN: Using default 0 days for minimum password age.",
                "WARN: Using default TRUE for password complexity.",
                "WARN: Using default FALSE for reversible encryption "
                "passwords.",
                "",
            }),
            parsed.messages);
  EXPECT_EQ("newpso10", parsed.record.name());
  EXPECT_EQ("newpso10", parsed.record.displayName());
  EXPECT_EQ(1, parsed.record.precedence());
  EXPECT_EQ(91, parsed.record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ((std::set<std::string>{"displayname", "name", "precedence"}),
            parsed.record.specified());
}

TEST_F(PolicySpecificationTest, CompleteAddHasNoWarningsAndNoEmptyLine) {
  Parsed parsed = Parse("testpso-1::1000:100:6:30:50:1:1:0:true:true", true);
  ASSERT_TRUE(parsed.ok);
  // No default is reported; the empty display name still is, with the
  // empty line that follows any warning.
  EXPECT_EQ((Strings{"WARN: Using name testpso-1 for displayName.", ""}),
            parsed.messages);
  Parsed named = Parse("p:Shown:1000:100:6:30:50:1:1:0:true:true", true);
  ASSERT_TRUE(named.ok);
  EXPECT_EQ(Strings{}, named.messages);
  const PolicyRecord& record = named.record;
  EXPECT_EQ("Shown", record.displayName());
  EXPECT_EQ(1000, record.precedence());
  EXPECT_EQ(100, record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(6, record.Value(SettingId::kMinPwdLength));
  EXPECT_EQ(30, record.Value(SettingId::kPwdHistory));
  EXPECT_EQ(50, record.Value(SettingId::kLockoutThreshold));
  EXPECT_EQ(1, record.Value(SettingId::kLockoutDuration));
  EXPECT_EQ(1, record.Value(SettingId::kLockoutObservation));
  EXPECT_EQ(0, record.Value(SettingId::kMinPwdAge));
  EXPECT_TRUE(record.complexity());
  EXPECT_TRUE(record.reversible());
}

TEST_F(PolicySpecificationTest, OverrideSwitchesReplaceFields) {
  Parsed parsed =
      Parse("p:p:1:1:2:3:4:5:6:7:false:false", true,
            {"-lockout", "99:98:97", "-pwdage", "101:100", "-pwdlen", "12",
             "-pwdhist", "13", "-pwdcomplex", "true", "-pwdreverse", "True"});
  ASSERT_TRUE(parsed.ok) << parsed.messages.front();
  const PolicyRecord& record = parsed.record;
  EXPECT_EQ(99, record.Value(SettingId::kLockoutThreshold));
  EXPECT_EQ(98, record.Value(SettingId::kLockoutDuration));
  EXPECT_EQ(97, record.Value(SettingId::kLockoutObservation));
  EXPECT_EQ(101, record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(100, record.Value(SettingId::kMinPwdAge));
  EXPECT_EQ(12, record.Value(SettingId::kMinPwdLength));
  EXPECT_EQ(13, record.Value(SettingId::kPwdHistory));
  EXPECT_TRUE(record.complexity());
  EXPECT_TRUE(record.reversible());
}

TEST_F(PolicySpecificationTest, PartialOverrideReplacesOnlyNonEmptyParts) {
  Parsed parsed = Parse(":::10::::1:2:3", false, {"-pwdage", "100"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(100, parsed.record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(3, parsed.record.Value(SettingId::kMinPwdAge));
  Parsed lockout = Parse("::::::5:6:7", false, {"-lockout", ":60"});
  ASSERT_TRUE(lockout.ok);
  EXPECT_EQ(5, lockout.record.Value(SettingId::kLockoutThreshold));
  EXPECT_EQ(60, lockout.record.Value(SettingId::kLockoutDuration));
  EXPECT_EQ(7, lockout.record.Value(SettingId::kLockoutObservation));
}

TEST_F(PolicySpecificationTest, ComplexityMustBeTrueOrFalse) {
  Parsed parsed = Parse("p:p:1", true, {"-pwdcomplex", "yes"});
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(ErrorBlock({"ERROR: Complexity setting must be TRUE or FALSE.",
                        "ERROR: Value - YES"}),
            parsed.messages);
  Parsed reversible = Parse(":::::::::::maybe", false);
  EXPECT_FALSE(reversible.ok);
  EXPECT_EQ(ErrorBlock({"ERROR: Reversible encryption setting must be TRUE "
                        "or FALSE.",
                        "ERROR: Value - maybe"}),
            reversible.messages);
}

TEST_F(PolicySpecificationTest, PrecedenceBelowOneFails) {
  for (const char* precedence : {"0", "-3"}) {
    Parsed parsed = Parse(std::string("p:p:") + precedence, true);
    EXPECT_FALSE(parsed.ok) << precedence;
    EXPECT_EQ(ErrorBlock({"ERROR: Minimum value for policy precedence is 1."}),
              parsed.messages);
  }
  Parsed modify = Parse("::0", false);
  EXPECT_FALSE(modify.ok);
}

TEST_F(PolicySpecificationTest, MinimumLengthFrom0To255) {
  Parsed tooLong = Parse("p:p:1::256", true);
  EXPECT_FALSE(tooLong.ok);
  EXPECT_EQ(
      ErrorBlock({"ERROR: Maximum value for minimum password length is 255."}),
      tooLong.messages);
  EXPECT_TRUE(Parse("p:p:1::255", true).ok);
  EXPECT_TRUE(Parse("p:p:1::0", true).ok);
  Parsed negative = Parse("p:p:1::-1", true);
  EXPECT_FALSE(negative.ok);
  EXPECT_EQ(ErrorBlock({"ERROR: Minimum value for minimum password length is "
                        "0.",
                        "ERROR: Value - -1"}),
            negative.messages);
}

// A typo must not become 0 (passwords that never expire, lockout off) or
// the digits before it.
TEST_F(PolicySpecificationTest, ValuesThatAreNotWholeNumbersFail) {
  struct Case {
    std::string specification;
    Strings overrides;
    Strings messages;
  } cases[] = {
      {":::abc",
       {},
       ErrorBlock({"ERROR: Value for maximum password age is "
                   "not a whole decimal number.",
                   "ERROR: Value - abc"})},
      {"::::::lots",
       {},
       ErrorBlock({"ERROR: Value for lockout threshold is "
                   "not a whole decimal number.",
                   "ERROR: Value - lots"})},
      {"p:p:1x",
       {},
       ErrorBlock({"ERROR: Value for policy precedence is not "
                   "a whole decimal number.",
                   "ERROR: Value - 1x"})},
      {"p:p:abc",
       {},
       ErrorBlock({"ERROR: Value for policy precedence is not "
                   "a whole decimal number.",
                   "ERROR: Value - abc"})},
      {"",
       {"-lockout", "x:y:z"},
       {"ERROR:",
        "ERROR: Value for lockout threshold is not a whole decimal "
        "number.",
        "ERROR: Value - x", "ERROR:", "ERROR:",
        "ERROR: Value for lockout duration is not a whole decimal "
        "number.",
        "ERROR: Value - y", "ERROR:", "ERROR:",
        "ERROR: Value for lockout observation is not a whole "
        "decimal number.",
        "ERROR: Value - z", "ERROR:"}},
      {"",
       {"-pwdage", " 5:1.5", "-pwdlen", "8 ", "-pwdhist", "+"},
       {"ERROR:",
        "ERROR: Value for minimum password length is not a whole "
        "decimal number.",
        "ERROR: Value - 8 ", "ERROR:", "ERROR:",
        "ERROR: Value for password history is not a whole decimal "
        "number.",
        "ERROR: Value - +", "ERROR:", "ERROR:",
        "ERROR: Value for maximum password age is not a whole "
        "decimal number.",
        "ERROR: Value -  5", "ERROR:", "ERROR:",
        "ERROR: Value for minimum password age is not a whole "
        "decimal number.",
        "ERROR: Value - 1.5", "ERROR:"}},
  };
  for (const Case& c : cases) {
    Parsed parsed = Parse(c.specification, false, c.overrides);
    EXPECT_FALSE(parsed.ok) << c.specification;
    EXPECT_EQ(c.messages, parsed.messages) << c.specification;
  }
  Parsed signs = Parse(":::+42::-0", false);
  ASSERT_TRUE(signs.ok);
  EXPECT_EQ(42, signs.record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(0, signs.record.Value(SettingId::kPwdHistory));
}

// The schema's ranges, which a Windows controller enforces and Samba does
// not.
TEST_F(PolicySpecificationTest, CountsOutsideTheSchemaRangesFail) {
  struct Case {
    std::string specification;
    Strings messages;
  } cases[] = {
      {":::::65536", ErrorBlock({"ERROR: Maximum value for password history "
                                 "is 65535.",
                                 "ERROR: Value - 65536"})},
      {":::::-1", ErrorBlock({"ERROR: Minimum value for password history is "
                              "0.",
                              "ERROR: Value - -1"})},
      {"::::::65536", ErrorBlock({"ERROR: Maximum value for lockout "
                                  "threshold is 65535.",
                                  "ERROR: Value - 65536"})},
      {"::::::-1", ErrorBlock({"ERROR: Minimum value for lockout threshold "
                               "is 0.",
                               "ERROR: Value - -1"})},
      {":::::65535:65535", {}},
  };
  for (const Case& c : cases) {
    Parsed parsed = Parse(c.specification, false);
    EXPECT_EQ(c.messages.empty(), parsed.ok) << c.specification;
    EXPECT_EQ(c.messages, parsed.messages) << c.specification;
  }
}

// The defaults take part: a minimum age above the default maximum of 91
// days is refused, after the defaults that explain it.
TEST_F(PolicySpecificationTest, AddBreakingARuleBetweenSettingsFails) {
  Parsed parsed = Parse("p:p:1:::::5:30:100", true);
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(
      (Strings{"WARN: Using default 91 days for maximum password age.",
               "WARN: Using default 15 characters for minimum password "
               "length.",
               "WARN: Using default 24 passwords for minimum password "
               "history.",
               "WARN: Using default 25 bad passwords for lockout threshold.",
               "WARN: Using default TRUE for password complexity.",
               "WARN: Using default FALSE for reversible encryption "
               "passwords.",
               "", "ERROR:",
               "ERROR: Minimum password age must not be longer than maximum "
               "password age.",
               "ERROR: Value - minpwdage 100 days, maxpwdage 91 days",
               "ERROR: Lockout observation must not be longer than lockout "
               "duration.",
               "ERROR: Value - lo_observe 30 minutes, lo_duration 5 minutes",
               "ERROR:"}),
      parsed.messages);
  EXPECT_TRUE(Parse("p:p:1:-1::::-1:30:100", true).ok);
}

TEST_F(PolicySpecificationTest, ExtraFieldsEndUpInReversible) {
  Parsed parsed = Parse("p:p:1:1:1:1:1:1:1:1:true:false:extra", true);
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(ErrorBlock({"ERROR: Reversible encryption setting must be TRUE "
                        "or FALSE.",
                        "ERROR: Value - false:extra"}),
            parsed.messages);
}

TEST_F(PolicySpecificationTest, EmptyAddReportsEveryProblemInOrder) {
  Parsed parsed = Parse("", true);
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(
      (Strings{"ERROR:", "ERROR: Must specify name in parameter for -add.",
               "ERROR:", "WARN: Using name  for displayName.", "ERROR:",
               "ERROR: Must specify precedence in parameter for -add.",
               "ERROR:"}),
      parsed.messages);
}

TEST_F(PolicySpecificationTest, ModifySetsOnlyWhatIsGiven) {
  Parsed parsed = Parse(":::42", false);
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(Strings{}, parsed.messages);
  EXPECT_EQ(std::set<std::string>{"maxpwdage"}, parsed.record.specified());
  EXPECT_EQ(42, parsed.record.Value(SettingId::kMaxPwdAge));
  Parsed renamed = Parse("newname", false);
  ASSERT_TRUE(renamed.ok);
  EXPECT_EQ("newname", renamed.record.name());
  EXPECT_EQ(std::set<std::string>{"name"}, renamed.record.specified());
}

TEST_F(PolicySpecificationTest, DebugLinesAppearAtOnce) {
  Output().debugLevel = 1;
  FlushStandardOutput();
  testing::internal::CaptureStdout();
  Parse(":", true, {"-pwdcomplex", "x", "-pwdreverse", "y", "-pwdlen", "300"});
  Parse("p::1", true);
  std::string shown = CapturedStdoutText();
  EXPECT_EQ(
      "DEBUG: No name specified\n"
      "DEBUG: No precedence specified\n"
      "DEBUG: Bad minpwdlength value\n"
      "DEBUG: Bad complexity value\n"
      "DEBUG: Bad reversible value\n"
      "DEBUG: Values specified ok, setting any defaults as necessary.\n",
      shown);
}

// Durations become directory intervals; a value that cannot be one would be
// written as some other duration, so it is refused where it is typed.
TEST_F(PolicySpecificationTest, DurationsOutsideTheIntervalRangeFail) {
  Parsed negative = Parse(":::-5", false);
  EXPECT_FALSE(negative.ok);
  EXPECT_EQ(ErrorBlock({"ERROR: Minimum value for maximum password age is -1 "
                        "(never).",
                        "ERROR: Value - -5"}),
            negative.messages);
  Parsed tooLong = Parse("p:p:1", true, {"-lockout", "1:2147483648:-2"});
  EXPECT_FALSE(tooLong.ok);
  EXPECT_EQ((Strings{"ERROR:",
                     "ERROR: Maximum value for lockout duration is 2147483647 "
                     "minutes.",
                     "ERROR: Value - 2147483648", "ERROR:", "ERROR:",
                     "ERROR: Minimum value for lockout observation is -1 "
                     "(never).",
                     "ERROR: Value - -2", "ERROR:"}),
            tooLong.messages);
  Parsed days = Parse(":::::::::10675200", false);
  EXPECT_FALSE(days.ok);
  EXPECT_EQ(ErrorBlock({"ERROR: Maximum value for minimum password age is "
                        "10675199 days.",
                        "ERROR: Value - 10675200"}),
            days.messages);
}

TEST_F(PolicySpecificationTest, NeverAndLongestDurationsPass) {
  Parsed parsed = Parse(":::-1::::-1:2147483647:10675199", false);
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(-1, parsed.record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(-1, parsed.record.Value(SettingId::kLockoutDuration));
  EXPECT_EQ(2147483647, parsed.record.Value(SettingId::kLockoutObservation));
  EXPECT_EQ(10675199, parsed.record.Value(SettingId::kMinPwdAge));
}

TEST_F(PolicySpecificationTest, NumbersBeyond32BitsFailInsteadOfWrapping) {
  Parsed precedence = Parse("p:p:4294967297", true);
  EXPECT_FALSE(precedence.ok);
  EXPECT_EQ(ErrorBlock({"ERROR: Value for policy precedence does not fit in "
                        "32 bits.",
                        "ERROR: Value - 4294967297"}),
            precedence.messages);
  Parsed counts = Parse(":::::4294967296:-4294967296", false);
  EXPECT_FALSE(counts.ok);
  EXPECT_EQ((Strings{"ERROR:",
                     "ERROR: Value for password history does not fit in 32 "
                     "bits.",
                     "ERROR: Value - 4294967296", "ERROR:", "ERROR:",
                     "ERROR: Value for lockout threshold does not fit in 32 "
                     "bits.",
                     "ERROR: Value - -4294967296", "ERROR:"}),
            counts.messages);
  Parsed length = Parse("::::4294967297", false);
  EXPECT_FALSE(length.ok);
  EXPECT_EQ(ErrorBlock({"ERROR: Value for minimum password length does not "
                        "fit in 32 bits.",
                        "ERROR: Value - 4294967297"}),
            length.messages);
}

}  // namespace
}  // namespace talvex

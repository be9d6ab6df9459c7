// Property tests of the switch parser and the -add/-mod value parser over
// random token lists: no crash, no read past the end, and the invariants
// that the rest of the program relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "frontend/command_line.h"
#include "frontend/policy_fields.h"
#include "frontend/switch_table.h"
#include "support/decimal_integer.h"
#include "support/interval.h"
#include "support/output.h"

namespace talvex {
namespace {

constexpr int kCases = 4000;

class TokenGenerator {
 public:
  explicit TokenGenerator(unsigned seed) : random_(seed) {}

  int Below(int limit) {
    return std::uniform_int_distribution<int>(0, limit - 1)(random_);
  }

  std::string RandomBytes(int maxLength) {
    std::string text;
    int length = Below(maxLength + 1);
    for (int i = 0; i < length; ++i) {
      // Mostly the characters that mean something here, sometimes any byte.
      static const char kInteresting[] = ":-/+0123456789 aZ\xc3\x84\t";
      if (Below(4) == 0) {
        text += static_cast<char>(Below(256));
      } else {
        text += kInteresting[Below(sizeof kInteresting - 1)];
      }
    }
    return text;
  }

  std::string Number() {
    static const char* kNumbers[] = {"0",
                                     "1",
                                     "-1",
                                     "255",
                                     "256",
                                     "2147483647",
                                     "2147483648",
                                     "-2147483649",
                                     "4294967297",
                                     "10675199",
                                     "10675200",
                                     "99999999999999999999",
                                     "-9223372036854775808",
                                     "true",
                                     "FALSE",
                                     "x",
                                     ""};
    return kNumbers[Below(sizeof kNumbers / sizeof kNumbers[0])];
  }

  std::string Specification() {
    std::string text;
    int fields = Below(16);
    for (int i = 0; i < fields; ++i) {
      if (i > 0) text += ':';
      text += Below(3) == 0 ? RandomBytes(6) : Number();
    }
    return text;
  }

  std::string Token() {
    const SwitchTable& table = ApplicationSwitchTable();
    switch (Below(6)) {
      case 0:
      case 1: {
        std::string name(
            ReadSwitchDeclaration(table[Below(static_cast<int>(table.size()))])
                .name);
        if (Below(3) == 0) {
          for (char& c : name) c = static_cast<char>(std::toupper(c));
        }
        return (Below(2) == 0 ? "-" : "/") + name;
      }
      case 2:
        return Specification();
      case 3:
        return Number();
      default:
        return RandomBytes(12);
    }
  }

  std::vector<std::string> Tokens() {
    std::vector<std::string> tokens;
    int count = Below(12);
    for (int i = 0; i < count; ++i) tokens.push_back(Token());
    return tokens;
  }

 private:
  std::mt19937 random_;
};

CommandLine Build(const std::vector<std::string>& tokens) {
  std::vector<const char*> argv = {"talvex"};
  for (const std::string& token : tokens) argv.push_back(token.c_str());
  return BuildCommandLine(static_cast<int>(argv.size()), argv.data(), false);
}

// A "/" token with a further "/" is an absolute path, not a switch.
bool IsSwitchToken(const std::string& token) {
  return !token.empty() &&
         ((token[0] == '/' && token.find('/', 1) == std::string::npos) ||
          (token[0] == '-' &&
           (token.size() < 2 || token[1] < '0' || token[1] > '9')));
}

TEST(ParserFuzzTest, SwitchParserInvariantsHoldForRandomTokens) {
  TokenGenerator generator(20240607);
  const SwitchTable& table = ApplicationSwitchTable();
  std::set<std::string> declared;
  for (const std::string& entry : table) {
    declared.emplace(ReadSwitchDeclaration(entry).name);
  }
  for (int i = 0; i < kCases; ++i) {
    std::vector<std::string> tokens = generator.Tokens();
    CommandLine commandLine = Build(tokens);
    int switchTokens = static_cast<int>(
        std::count_if(tokens.begin(), tokens.end(), IsSwitchToken));
    ASSERT_LE(commandLine.SwitchCount(), switchTokens);
    ASSERT_EQ(switchTokens > 0, commandLine.SwitchCount() > 0);
    ASSERT_LE(commandLine.ArgumentCount() + commandLine.SwitchCount(),
              static_cast<int>(tokens.size()));
    for (const std::string& argument : commandLine.arguments) {
      ASSERT_FALSE(IsSwitchToken(argument)) << argument;
    }

    int bad = commandLine.ValidateSwitches(table);
    ASSERT_EQ(bad, commandLine.unknownCount + commandLine.missingCount);
    ASSERT_EQ(0, commandLine.missingCount);
    ASSERT_EQ(commandLine.unknownCount,
              static_cast<int>(commandLine.unknownSwitches.size()));
    ASSERT_TRUE(std::is_sorted(commandLine.unknownSwitches.begin(),
                               commandLine.unknownSwitches.end()));
    for (const std::string& name : commandLine.unknownSwitches) {
      ASSERT_EQ(0u, declared.count(name)) << name;
      ASSERT_TRUE(commandLine.HasSwitch(name));
    }
    for (const auto& [name, value] : commandLine.switches) {
      bool known = declared.count(name) != 0;
      bool listed = std::binary_search(commandLine.unknownSwitches.begin(),
                                       commandLine.unknownSwitches.end(), name);
      ASSERT_NE(known, listed) << name;
    }
    for (const std::string& entry : table) {
      SwitchDeclaration declaration = ReadSwitchDeclaration(entry);
      if (declaration.kind == SwitchKind::kFlag) {
        ASSERT_EQ("", commandLine.SwitchValue(declaration.name, ""));
      }
    }
  }
}

std::vector<std::string> JoinedFields(const std::string& text, int count) {
  return SplitFields(text, count);
}

TEST(ParserFuzzTest, SpecificationParserInvariantsHoldForRandomInput) {
  Output() = OutputSettings();
  TokenGenerator generator(77);
  for (int i = 0; i < kCases; ++i) {
    std::string specification = generator.Specification();
    for (int count : {1, 2, 3, 12}) {
      std::vector<std::string> fields = JoinedFields(specification, count);
      ASSERT_EQ(static_cast<std::size_t>(count), fields.size());
      std::string joined = fields[0];
      for (int f = 1; f < count; ++f) joined += ":" + fields[f];
      // Nothing is lost or invented: the fields joined give back the text,
      // plus a colon for each missing field.
      std::size_t colons =
          std::count(specification.begin(), specification.end(), ':');
      std::size_t missing = colons >= static_cast<std::size_t>(count - 1)
                                ? 0
                                : static_cast<std::size_t>(count - 1) - colons;
      ASSERT_EQ(specification + std::string(missing, ':'), joined);
    }

    std::vector<std::string> tokens = generator.Tokens();
    CommandLine commandLine = Build(tokens);
    bool isAdd = generator.Below(2) == 0;
    PolicyRecord record =
        isAdd ? PolicyRecord(true) : PolicyRecord(false, true);
    std::vector<std::string> messages;
    bool ok = ParsePolicySpecification(
        commandLine, &record,
        SplitFields(specification, kSpecificationFieldCount), isAdd, &messages);

    bool anyError = false;
    for (const std::string& line : messages) {
      ASSERT_TRUE(line.rfind("ERROR:", 0) == 0 || line.rfind("WARN:", 0) == 0 ||
                  line.empty())
          << line;
      anyError = anyError || line.rfind("ERROR:", 0) == 0;
    }
    ASSERT_EQ(!ok, anyError) << specification;
    if (!ok) continue;
    if (isAdd) {
      ASSERT_FALSE(record.name().empty());
      ASSERT_GE(record.precedence(), 1);
    }
    ASSERT_LE(record.Value(SettingId::kMinPwdLength), 255);
    ASSERT_TRUE(IntervalCountFits(record.Value(SettingId::kMaxPwdAge),
                                  IntervalUnit::kDays));
    ASSERT_TRUE(IntervalCountFits(record.Value(SettingId::kMinPwdAge),
                                  IntervalUnit::kDays));
    ASSERT_TRUE(IntervalCountFits(record.Value(SettingId::kLockoutDuration),
                                  IntervalUnit::kMinutes));
    ASSERT_TRUE(IntervalCountFits(record.Value(SettingId::kLockoutObservation),
                                  IntervalUnit::kMinutes));
    ASSERT_NE("", record.DirectoryText(SettingId::kMaxPwdAge));
    ASSERT_NE("", record.DirectoryText(SettingId::kLockoutDuration));
  }
}

TEST(ParserFuzzTest, IntervalConversionIsTotal) {
  TokenGenerator generator(5);
  for (int i = 0; i < kCases; ++i) {
    std::string text = generator.Below(2) == 0 ? generator.RandomBytes(24)
                                               : generator.Number();
    for (IntervalUnit unit :
         {IntervalUnit::kMinutes, IntervalUnit::kHours, IntervalUnit::kDays}) {
      int count = IntervalToCount(text, unit);
      ASSERT_GE(count, -1) << text;
      std::string back = CountToInterval(count, unit);
      ASSERT_FALSE(back.empty());
      // What goes back to the directory is never longer than what came.
      ASSERT_LE(IntervalToCount(back, unit), count == -1 ? -1 : count);
    }
    int anyCount = ToInteger(text, 0);
    std::string interval = CountToInterval(anyCount, IntervalUnit::kDays);
    ASSERT_EQ(anyCount < -1, interval.empty());
  }
}

}  // namespace
}  // namespace talvex

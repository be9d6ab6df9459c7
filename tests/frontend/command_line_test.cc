#include "frontend/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/switch_table.h"

namespace talvex {
namespace {

using Strings = std::vector<std::string>;

CommandLine Parse(const Strings& tokens) {
  std::vector<const char*> argv = {"/usr/bin/talvex"};
  for (const std::string& token : tokens) argv.push_back(token.c_str());
  return BuildCommandLine(static_cast<int>(argv.size()), argv.data(),
                          /*keepCase=*/false);
}

// -sync and -audit name a file: the token after them is their value
// whatever it starts with; after any other switch a switch-like token stays
// a switch.
TEST(CommandLineTest, FileSwitchesTakeTheNextTokenWhateverItStartsWith) {
  for (const char* name : {"sync", "audit"}) {
    for (const char* value : {"/p.json", "-", "-x", "/etc/p.json"}) {
      CommandLine commandLine = Parse({std::string("-") + name, value, "-q"});
      EXPECT_EQ(value, commandLine.SwitchValue(name, "(absent)")) << name;
      EXPECT_TRUE(commandLine.HasSwitch("q")) << value;
      EXPECT_TRUE(commandLine.arguments.empty()) << value;
    }
  }
  EXPECT_EQ("", Parse({"-pso", "/p.json"}).SwitchValue("pso", "(absent)"));
}

TEST(CommandLineTest, ProgramPathIsNeverAnArgument) {
  CommandLine commandLine = Parse({});
  EXPECT_EQ("/usr/bin/talvex", commandLine.programPath);
  EXPECT_EQ(0, commandLine.ArgumentCount());
  EXPECT_EQ(0, commandLine.SwitchCount());
  EXPECT_EQ(-1, commandLine.unknownCount);
}

TEST(CommandLineTest, NoArgumentVectorAtAll) {
  CommandLine commandLine = BuildCommandLine(0, nullptr, false);
  EXPECT_EQ("", commandLine.programPath);
  EXPECT_EQ(0, commandLine.SwitchCount());
}

TEST(CommandLineTest, NamesAreLowerCasedValuesKeepTheirCase) {
  CommandLine commandLine = Parse({"/VIEW", "/Pso", "Test"});
  EXPECT_EQ(2, commandLine.SwitchCount());
  EXPECT_TRUE(commandLine.HasSwitch("view"));
  EXPECT_TRUE(commandLine.HasSwitch("VIEW"));
  EXPECT_EQ("", commandLine.SwitchValue("view", "default"));
  EXPECT_EQ("Test", commandLine.SwitchValue("PSO", ""));
  EXPECT_EQ("default", commandLine.SwitchValue("dompol", "default"));
}

TEST(CommandLineTest, KeepCaseKeepsNames) {
  const char* argv[] = {"talvex", "-View"};
  CommandLine commandLine = BuildCommandLine(2, argv, /*keepCase=*/true);
  EXPECT_TRUE(commandLine.HasSwitch("View"));
  EXPECT_FALSE(commandLine.HasSwitch("view"));
}

TEST(CommandLineTest, UnicodeSwitchNamesAreLowerCased) {
  CommandLine commandLine = Parse({"-ÄRZTE"});
  EXPECT_TRUE(commandLine.HasSwitch("ärzte"));
}

TEST(CommandLineTest, DashDigitIsAValueSlashDigitASwitch) {
  CommandLine commandLine = Parse({"-p", "-5", "/5", "-12"});
  EXPECT_EQ("-5", commandLine.SwitchValue("p", ""));
  EXPECT_EQ("-12", commandLine.SwitchValue("5", ""));
  EXPECT_EQ(0, commandLine.ArgumentCount());
}

TEST(CommandLineTest, SlashTokenHoldingAnotherSlashIsAPathValue) {
  CommandLine commandLine = Parse({"/audit", "/etc/talvex/corp.json", "/pso"});
  EXPECT_EQ("/etc/talvex/corp.json", commandLine.SwitchValue("audit", ""));
  EXPECT_TRUE(commandLine.HasSwitch("pso"));
  EXPECT_EQ(2, commandLine.SwitchCount());
}

TEST(CommandLineTest, LoneDashOrSlashIsASwitchWithEmptyName) {
  CommandLine commandLine = Parse({"-", "x"});
  EXPECT_TRUE(commandLine.HasSwitch(""));
  // The empty name takes no value.
  EXPECT_EQ(Strings{"x"}, commandLine.arguments);
  EXPECT_EQ(1, commandLine.ValidateSwitches(ApplicationSwitchTable()));
  EXPECT_EQ(Strings{""}, commandLine.unknownSwitches);
  EXPECT_TRUE(Parse({"/"}).HasSwitch(""));
}

TEST(CommandLineTest, SwitchTakesOnlyTheTokenDirectlyAfterIt) {
  CommandLine commandLine = Parse({"/pso", "a", "b", "c"});
  EXPECT_EQ("a", commandLine.SwitchValue("pso", ""));
  EXPECT_EQ((Strings{"b", "c"}), commandLine.arguments);
}

TEST(CommandLineTest, RepeatedSwitchKeepsTheLastValue) {
  EXPECT_EQ("b", Parse({"/pso", "a", "/pso", "b"}).SwitchValue("pso", ""));
  // Repeated without a value: the earlier value is lost.
  EXPECT_EQ("", Parse({"/pso", "a", "/pso"}).SwitchValue("pso", "x"));
}

TEST(CommandLineTest, EmptyTokenIsAValue) {
  CommandLine commandLine = Parse({"-pso", "", ""});
  EXPECT_EQ("", commandLine.SwitchValue("pso", "x"));
  EXPECT_EQ(Strings{""}, commandLine.arguments);
}

TEST(CommandLineTest, ValidationMovesFlagValuesToArguments) {
  CommandLine commandLine = Parse({"/view", "extra", "/pso", "p"});
  EXPECT_EQ("extra", commandLine.SwitchValue("view", ""));
  EXPECT_EQ(0, commandLine.ValidateSwitches(ApplicationSwitchTable()));
  EXPECT_EQ("", commandLine.SwitchValue("view", "x"));
  EXPECT_EQ(Strings{"extra"}, commandLine.arguments);
  EXPECT_EQ("p", commandLine.SwitchValue("pso", ""));
  EXPECT_EQ(0, commandLine.unknownCount);
  // Validating again changes nothing.
  EXPECT_EQ(0, commandLine.ValidateSwitches(ApplicationSwitchTable()));
  EXPECT_EQ(Strings{"extra"}, commandLine.arguments);
}

TEST(CommandLineTest, SimpleIsAValueSwitch) {
  CommandLine commandLine = Parse({"-simple", "foo"});
  EXPECT_EQ(0, commandLine.ValidateSwitches(ApplicationSwitchTable()));
  EXPECT_EQ(0, commandLine.ArgumentCount());
}

TEST(CommandLineTest, UnknownSwitchesInNameOrderWithoutAbbreviations) {
  CommandLine commandLine = Parse({"/zeta", "/view", "/vie", "/Alpha"});
  EXPECT_EQ(3, commandLine.ValidateSwitches(ApplicationSwitchTable()));
  EXPECT_EQ((Strings{"alpha", "vie", "zeta"}), commandLine.unknownSwitches);
  EXPECT_EQ(3, commandLine.unknownCount);
  EXPECT_EQ(0, commandLine.missingCount);
}

TEST(CommandLineTest, RequiredSwitchesAreReportedMissing) {
  const SwitchTable table = {"^host", ":flag", "^port", "name"};
  CommandLine commandLine = Parse({"-port", "1", "-flag", "arg"});
  EXPECT_EQ(1, commandLine.ValidateSwitches(table));
  EXPECT_EQ(Strings{"host"}, commandLine.missingSwitches);
  EXPECT_EQ(1, commandLine.missingCount);
  EXPECT_EQ(0, commandLine.unknownCount);
  EXPECT_EQ(Strings{"arg"}, commandLine.arguments);
}

TEST(CommandLineTest, ApplicationTableDeclaresFortyThreeSwitchesFirst) {
  const SwitchTable& table = ApplicationSwitchTable();
  // The 43 switches of the tool, then the connection security flags, then
  // -json, then -audit, then -coverage and its -base, then -export, -sync
  // and its -prune.
  ASSERT_EQ(52u, table.size());
  EXPECT_EQ(":?", table.front());
  EXPECT_EQ("effective", table[42]);
  EXPECT_EQ(":ssl", table[43]);
  EXPECT_EQ(":starttls", table[44]);
  EXPECT_EQ(":json", table[45]);
  EXPECT_EQ("audit", table[46]);
  EXPECT_EQ(":coverage", table[47]);
  EXPECT_EQ("base", table[48]);
  EXPECT_EQ(":export", table[49]);
  EXPECT_EQ("sync", table[50]);
  EXPECT_EQ(":prune", table[51]);
  int flags = 0;
  for (const std::string& entry : table) {
    SwitchDeclaration declaration = ReadSwitchDeclaration(entry);
    EXPECT_NE(SwitchKind::kRequiredValue, declaration.kind) << entry;
    if (declaration.kind == SwitchKind::kFlag) ++flags;
  }
  EXPECT_EQ(26, flags);
}

}  // namespace
}  // namespace talvex

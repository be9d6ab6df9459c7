#include "frontend/application_switches.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "captured_text.h"
#include "output_capture.h"
#include "support/output.h"

namespace talvex {
namespace {

using Strings = std::vector<std::string>;

// Runs the switch processing on tokens that it accepts; what it printed is
// kept in `shown`. Refusals end the process and are tested by running the
// binary (tests/e2e).
class ApplicationSwitchesTest : public ::testing::Test {
 protected:
  void SetUp() override { Output() = OutputSettings(); }
  void TearDown() override { Output() = OutputSettings(); }

  RunConfig Process(Strings tokens) {
    tokens.insert(tokens.begin(), "-q");
    std::vector<const char*> argv = {"talvex"};
    for (const std::string& token : tokens) argv.push_back(token.c_str());
    CommandLine commandLine =
        BuildCommandLine(static_cast<int>(argv.size()), argv.data(), false);
    RunConfig config;
    FlushStandardOutput();
    testing::internal::CaptureStdout();
    ProcessApplicationSwitches(commandLine, &config);
    shown = CapturedStdoutText();
    arguments = commandLine.arguments;
    passwordInTable = commandLine.SwitchValue("up", "(absent)");
    return config;
  }

  std::string shown;
  Strings arguments;
  std::string passwordInTable;
};

TEST_F(ApplicationSwitchesTest, ViewOfAllPsosReadsConnectionSwitches) {
  RunConfig config = Process({"-view", "-pso", "-h", "dc1", "-gch", "gc1", "-p",
                              "636", "-domain", "corp.example.com", "-u",
                              "admin", "-up", "pw", "-simple", "foo"});
  EXPECT_EQ("", shown);
  EXPECT_EQ(ActionCode::kView, config.action);
  EXPECT_TRUE(config.psoSelected);
  EXPECT_EQ("", config.psoName);
  EXPECT_EQ("dc1", config.host);
  EXPECT_EQ("gc1", config.gcHost);
  EXPECT_EQ(636, config.port);
  EXPECT_EQ("corp.example.com", config.domain);
  EXPECT_EQ("admin", config.userId);
  EXPECT_EQ("pw", config.password);
  // The configuration holds the one copy.
  EXPECT_EQ("", passwordInTable);
  EXPECT_TRUE(config.simpleBind);
  EXPECT_EQ(Strings{}, arguments);
}

TEST_F(ApplicationSwitchesTest, PortDefaultsToZero) {
  EXPECT_EQ(0, Process({"-view", "-dompol"}).port);
  EXPECT_EQ(0, Process({"-view", "-dompol", "-p"}).port);
}

TEST_F(ApplicationSwitchesTest, DomainOverridesAllDomains) {
  RunConfig config =
      Process({"-alldoms", "-domain", "x", "-add", "p::1", "-pwdlen", "10"});
  EXPECT_EQ(ActionCode::kAdd, config.action);
  EXPECT_FALSE(config.allDomainsForDomainPolicy);
  EXPECT_FALSE(config.allDomainsForPsos);
  EXPECT_TRUE(config.psoSelected);
  EXPECT_TRUE(config.addSpec.isPSO());
  EXPECT_EQ(10, config.addSpec.Value(SettingId::kMinPwdLength));
  EXPECT_EQ(0u, shown.find("WARN:\nWARN: Switch -alldoms overridden by "
                           "-domain switch.\nWARN:\nWARN: Using name p for "
                           "displayName.\n"));
}

TEST_F(ApplicationSwitchesTest, AllDomainsWithoutDomain) {
  RunConfig config = Process({"-view", "-allpwdpols", "-alldoms", "-pso", "x"});
  EXPECT_TRUE(config.allDomainsForDomainPolicy);
  EXPECT_TRUE(config.allDomainsForPsos);
  EXPECT_TRUE(config.domainPolicySelected);
  // -allpwdpols selects every PSO whatever -pso named.
  EXPECT_EQ("", config.psoName);
}

TEST_F(ApplicationSwitchesTest, DeleteAddsUnusedForSafety) {
  RunConfig config = Process({"-del", "-pso", "p"});
  EXPECT_EQ(ActionCode::kDelete, config.action);
  EXPECT_TRUE(config.unusedOnly);
  EXPECT_EQ("WARN: Added -unused switch for safety.\n", shown);

  RunConfig overridden = Process({"-del", "-pso", "p", "-override"});
  EXPECT_FALSE(overridden.unusedOnly);
  EXPECT_EQ("", shown);

  RunConfig used = Process({"-multidel", "-used", "-override"});
  EXPECT_EQ(ActionCode::kMultiDelete, used.action);
  EXPECT_TRUE(used.usedOnly);
  EXPECT_FALSE(used.unusedOnly);
}

TEST_F(ApplicationSwitchesTest, DeleteAndMultiDeleteTogetherIsMultiDelete) {
  RunConfig config = Process({"-del", "-multidel", "-unused", "-domain", "x"});
  EXPECT_EQ(ActionCode::kMultiDelete, config.action);
  EXPECT_EQ("", shown);
}

TEST_F(ApplicationSwitchesTest, EffectiveDropsEverySelection) {
  RunConfig config = Process({"-effective", "u", "-used", "-pso", "p"});
  EXPECT_EQ(ActionCode::kEffective, config.action);
  EXPECT_EQ("u", config.effectiveUser);
  EXPECT_FALSE(config.usedOnly);
  EXPECT_FALSE(config.psoSelected);
}

TEST_F(ApplicationSwitchesTest, SortOrders) {
  EXPECT_EQ(1,
            Process({"-view", "-pso", "-sort", "PRECEDENCE"}).sortByPrecedence);
  EXPECT_EQ(0, Process({"-view", "-pso", "-sort", "name"}).sortByPrecedence);
  RunConfig config = Process({"-view", "-pso", "-dnprec"});
  EXPECT_EQ(1, config.sortByPrecedence);
  EXPECT_TRUE(config.dnOnly);
  EXPECT_TRUE(config.dnWithPrecedence);
  EXPECT_TRUE(Process({"-view", "-pso", "-dn"}).dnOnly);
}

TEST_F(ApplicationSwitchesTest, QuickStartWorksOnTheDomainPolicyOnly) {
  RunConfig config = Process({"-quickstart", "-pso", "x", "-forreal"});
  EXPECT_EQ(ActionCode::kQuickStart, config.action);
  EXPECT_FALSE(config.psoSelected);
  EXPECT_EQ("", config.psoName);
  EXPECT_TRUE(config.domainPolicySelected);
  EXPECT_TRUE(config.forReal);
}

TEST_F(ApplicationSwitchesTest, ApplyToWinsOverUnApplyTo) {
  RunConfig config =
      Process({"-applyto", "alice", "-unapplyto", "bob", "-pso", "p"});
  EXPECT_EQ(ActionCode::kApplyTo, config.action);
  EXPECT_EQ("alice", config.memberTarget);
  RunConfig unapply = Process({"-unapplyto", "bob"});
  EXPECT_EQ(ActionCode::kUnApplyTo, unapply.action);
  EXPECT_EQ("bob", unapply.memberTarget);
}

TEST_F(ApplicationSwitchesTest, ModifyOfAPsoMarksTheSpecificationAsPso) {
  RunConfig config = Process({"-mod", ":::42", "-pso", "p"});
  EXPECT_EQ(ActionCode::kModify, config.action);
  EXPECT_TRUE(config.modSpec.isPSO());
  EXPECT_TRUE(config.modSpec.isChangeSpecification());
  EXPECT_EQ(42, config.modSpec.Value(SettingId::kMaxPwdAge));
  RunConfig domain = Process({"-mod", ":::42", "-dompol"});
  EXPECT_FALSE(domain.modSpec.isPSO());
}

TEST_F(ApplicationSwitchesTest, OtherActionsNeedNoSelection) {
  EXPECT_EQ(ActionCode::kRename, Process({"-rename", "n"}).action);
  EXPECT_EQ(ActionCode::kApplied, Process({"-applied"}).action);
  EXPECT_EQ(ActionCode::kClearApplied, Process({"-clearapplied"}).action);
  EXPECT_EQ("n", Process({"-rename", "n"}).renameTo);
}

TEST_F(ApplicationSwitchesTest, DebugLevelShowsSwitchProcessing) {
  Process({"-view", "-pso", "-d", "2"});
  EXPECT_EQ(2, Output().debugLevel);
  EXPECT_EQ(
      "DEBUG: \nDEBUG: Debug strings enabled.\nDEBUG: \n"
      "DEBUG: Processing Application Specific Switches...\n",
      shown);
}

TEST_F(ApplicationSwitchesTest, VerboseLevels) {
  Process({"-view", "-pso", "-v"});
  EXPECT_EQ(5, Output().verboseLevel);
  Process({"-view", "-pso", "-v", "2"});
  EXPECT_EQ(2, Output().verboseLevel);
  Process({"-view", "-pso", "-v", "2", "-vv"});
  EXPECT_EQ(9, Output().verboseLevel);
  Output() = OutputSettings();
  Process({"-view", "-pso", "-vv"});
  EXPECT_EQ(9, Output().verboseLevel);
  Process({"-view", "-pso", "-d"});
  EXPECT_EQ(1, Output().debugLevel);
  EXPECT_TRUE(Output().quiet);
}

TEST_F(ApplicationSwitchesTest, JsonGoesWithTheReadingActionsOnly) {
  for (const Strings& tokens :
       {Strings{"-view", "-pso", "-json", "-alldoms", "-domain", "x"},
        Strings{"-applied", "-pso", "-json"},
        Strings{"-effective", "u", "-json"}}) {
    FlushStandardOutput();
    testing::internal::CaptureStderr();
    RunConfig config = Process(tokens);
    std::string errors = CapturedStderrText();
    EXPECT_TRUE(config.json) << tokens[0];
    EXPECT_TRUE(Output().jsonDocument) << tokens[0];
    EXPECT_EQ("", shown) << tokens[0];
    EXPECT_EQ(tokens[0] == "-view"
                  ? "WARN:\nWARN: Switch -alldoms overridden by "
                    "-domain switch.\nWARN:\n"
                  : "",
              errors);
  }
  for (const Strings& tokens :
       {Strings{"-add", "p::1", "-json"}, Strings{"-del", "-pso", "-json"},
        Strings{"-clearapplied", "-pso", "p", "-json"}}) {
    EXPECT_EXIT(Process(tokens), testing::ExitedWithCode(1),
                CapturedText("ERROR: -json is only valid with -view, -applied "
                             "or -effective."))
        << tokens[0];
  }
}

// -export answers with a document, of everything unless selected, of one
// domain only.
TEST_F(ApplicationSwitchesTest, ExportSelection) {
  struct Case {
    Strings tokens;
    bool domainPolicy;
    bool psos;
    std::string psoName;
  };
  for (const Case& c : {Case{{"-export"}, true, true, ""},
                        Case{{"-export", "-pso", "p"}, false, true, "p"},
                        Case{{"-export", "-dompol"}, true, false, ""},
                        Case{{"-export", "-alldoms", "-domain", "x"}, true,
                             true, ""}}) {
    FlushStandardOutput();
    testing::internal::CaptureStderr();
    RunConfig config = Process(c.tokens);
    CapturedStderrText();
    EXPECT_EQ(ActionCode::kExport, config.action);
    EXPECT_TRUE(config.json);
    EXPECT_TRUE(Output().jsonDocument);
    EXPECT_EQ("", shown);
    EXPECT_EQ(c.domainPolicy, config.domainPolicySelected) << c.tokens.size();
    EXPECT_EQ(c.psos, config.psoSelected) << c.tokens.size();
    EXPECT_EQ(c.psoName, config.psoName);
    Output() = OutputSettings();
  }
  EXPECT_EXIT(Process({"-export", "-alldoms"}), testing::ExitedWithCode(1),
              CapturedText("ERROR: -export works on one domain: -alldoms is "
                           "not valid with it."));
  EXPECT_EXIT(Process({"-export", "-view", "-pso"}),
              testing::ExitedWithCode(1),
              CapturedText("ERROR: Only one Action switch can be specified."));
}

// -sync plans the whole domain against a file read before any contact;
// the messages are checked on the binary (tests/e2e/test_policy_code.py).
TEST_F(ApplicationSwitchesTest, SyncRefusals) {
  for (const Strings& tokens :
       {Strings{"-sync", "f", "-forreal"}, Strings{"-sync", "f", "-pso", "p"},
        Strings{"-sync", "f", "-alldoms"}, Strings{"-sync"},
        Strings{"-sync", "/nonexistent/p.json"}}) {
    EXPECT_EXIT(Process(tokens), testing::ExitedWithCode(1), "")
        << tokens.back();
  }
}

TEST_F(ApplicationSwitchesTest, RefusalsEndWithExitCodeOne) {
  EXPECT_EXIT(Process({"-pso"}), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(Process({"-view", "-pso", "-add", "x"}),
              testing::ExitedWithCode(1), "");
}

// Standard input at its end is a cancelled prompt: the run ends before any
// bind, with ERROR_CANCELLED (1223, of which Linux keeps 199).
TEST_F(ApplicationSwitchesTest, CancelledPasswordPromptEndsTheRun) {
  EXPECT_EXIT(
      {
        if (freopen(NullDevicePath(), "r", stdin) == nullptr) std::exit(2);
        Process({"-view", "-pso", "-u", "admin", "-up", "*"});
      },
      testing::ExitedWithCode(ExitStatusOf(1223)), "");
}

TEST_F(ApplicationSwitchesTest, TlsSwitchesAreExclusive) {
  RunConfig ssl = Process({"-view", "-pso", "/SSL"});
  EXPECT_TRUE(ssl.ssl);
  EXPECT_FALSE(ssl.startTls);
  RunConfig startTls = Process({"-view", "-pso", "-starttls"});
  EXPECT_FALSE(startTls.ssl);
  EXPECT_TRUE(startTls.startTls);
  EXPECT_EXIT(Process({"-view", "-pso", "-ssl", "-starttls"}),
              testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace talvex

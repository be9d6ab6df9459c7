#include "operations/pre_action_checks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "operations/executor_fixture.h"

namespace talvex::executor_test {
namespace {

using ::testing::Eq;

class ValidationTestsTest : public ::testing::Test {
 protected:
  ValidationTestsTest() {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    saved_ = Output();
    Output() = OutputSettings{};
    server_.dnsHostName = "dc1.corp.example.com";
    server_.defaultNamingContext = "DC=corp,DC=example,DC=com";
    server_.domainControllerFunctionality = 3;
    server_.domainFunctionality = 3;
    server_.domainControllerModeName = "Windows Longhorn";
    server_.domainModeName = "Windows Longhorn Domain Mode";
  }
  ~ValidationTestsTest() override { Output() = saved_; }

  std::string Run() {
    ConsoleCapture capture;
    RunValidationTests(server_, config_);
    return capture.Finish().first;
  }

  void RunToEnd() { RunValidationTests(server_, config_); }

  void LevelTwoController() {
    server_.domainControllerFunctionality = 2;
    server_.domainControllerModeName = "Windows Server 2003";
  }

  ServerInfo server_;
  RunConfig config_;
  OutputSettings saved_;
};

TEST_F(ValidationTestsTest, QuietWhenEverythingPasses) {
  config_.action = ActionCode::kAdd;
  EXPECT_EQ("", Run());
}

TEST_F(ValidationTestsTest, VerboseShowsEachResultOnItsLabelsLine) {
  Output().verboseLevel = 5;
  config_.action = ActionCode::kAdd;
  EXPECT_EQ(
      "Performing validation tests...\n"
      "  ADAM/ADLDS Test: Passed.\n"
      "  DC OS Test     : Passed.\n"
      "  Domain Test    : Passed.\n",
      Run());
}

TEST_F(ValidationTestsTest, ApplicationModeIsRefusedForEveryAction) {
  server_.isAdam = true;
  Output().verboseLevel = 1;
  config_.action = ActionCode::kView;
  EXPECT_RUN_ENDS(
      RunToEnd(), 1,
      Eq("Performing validation tests...\n"
         "  ADAM/ADLDS Test: Failed.\n"
         "ERROR:\n"
         "ERROR: Granular Password Policy is not supported on ADAM or ADLDS.\n"
         "ERROR:\n" +
         std::string(kUsageHint)));
}

TEST_F(ValidationTestsTest, ViewAndExportOverrideTheLevelTests) {
  LevelTwoController();
  server_.domainFunctionality = 0;
  Output().verboseLevel = 1;
  for (ActionCode action : {ActionCode::kView, ActionCode::kExport}) {
    config_.action = action;
    EXPECT_EQ(
        "Performing validation tests...\n"
        "  ADAM/ADLDS Test: Passed.\n"
        "  View/Export Mode Override.\n",
        Run())
        << static_cast<int>(action);
  }
}

TEST_F(ValidationTestsTest, DomainPolicyOnlyModifyOverridesTheLevelTests) {
  LevelTwoController();
  Output().verboseLevel = 1;
  config_.action = ActionCode::kModify;
  config_.domainPolicySelected = true;
  EXPECT_EQ(
      "Performing validation tests...\n"
      "  ADAM/ADLDS Test: Passed.\n"
      "  Domain Policy Update Mode Override.\n",
      Run());
}

TEST_F(ValidationTestsTest, ModifyWithPsosOnAnOldControllerFails) {
  LevelTwoController();
  config_.action = ActionCode::kModify;
  config_.domainPolicySelected = true;
  config_.psoSelected = true;
  EXPECT_RUN_ENDS(
      RunToEnd(), 1,
      Eq("ERROR:\n"
         "ERROR: Granular Password Policy requires Longhorn Server.\n"
         "ERROR: This server (dc1.corp.example.com) appears to be Windows "
         "Server 2003\n"
         "ERROR:\n" +
         std::string(kUsageHint)));
}

TEST_F(ValidationTestsTest, VerboseFailureShowsFailedOnTheLabelsLine) {
  LevelTwoController();
  Output().verboseLevel = 1;
  config_.action = ActionCode::kApplyTo;
  EXPECT_RUN_ENDS(
      RunToEnd(), 1,
      ::testing::StartsWith("Performing validation tests...\n"
                            "  ADAM/ADLDS Test: Passed.\n"
                            "  DC OS Test     : Failed.\nERROR:\n"));
}

TEST_F(ValidationTestsTest, OldDomainWarnsAndGoesOn) {
  server_.domainFunctionality = 2;
  server_.domainModeName = "Windows Server 2003 Domain Mode";
  Output().verboseLevel = 1;
  config_.action = ActionCode::kAdd;
  EXPECT_EQ(
      "Performing validation tests...\n"
      "  ADAM/ADLDS Test: Passed.\n"
      "  DC OS Test     : Passed.\n"
      "  Domain Test    : Failed.\n"
      "  WARN:\n"
      "  WARN: Granular Password Policy requires Longhorn Domain Functional "
      "Level.\n"
      "  WARN: This domain (DC=corp,DC=example,DC=com) appears to be Windows "
      "Server "
      "2003 Domain Mode\n"
      "  WARN:\n\n",
      Run());
}

TEST_F(ValidationTestsTest, OldDomainWarningWithoutVerbose) {
  server_.domainFunctionality = 2;
  server_.domainModeName = "Windows Server 2003 Domain Mode";
  config_.action = ActionCode::kEffective;
  EXPECT_EQ(
      "  WARN:\n"
      "  WARN: Granular Password Policy requires Longhorn Domain Functional "
      "Level.\n"
      "  WARN: This domain (DC=corp,DC=example,DC=com) appears to be Windows "
      "Server "
      "2003 Domain Mode\n"
      "  WARN:\n\n",
      Run());
}

}  // namespace
}  // namespace talvex::executor_test

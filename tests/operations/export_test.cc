#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "operations/actions.h"
#include "operations/executor_fixture.h"

namespace talvex::executor_test {
namespace {

using ::testing::Eq;

class ExportTest : public ExecutorTest {
 protected:
  ExportTest() {
    alpha_ = Corp().AddPso(kCorpDn, "alpha", 10);
    beta_ = Corp().AddPso(kCorpDn, "beta", 20);
    std::vector<std::string> subjects;
    for (const char* name : {"u1", "u2", "u3"})
      subjects.push_back(Corp().AddUser(kUsers, name, kCorpDns));
    Corp().SetValues(alpha_, "msDS-PSOAppliesTo", subjects);
    config_.action = ActionCode::kExport;
    config_.psoSelected = true;
    config_.json = true;
    Output().jsonDocument = true;
  }

  RunState& PrepareWithPsos() {
    RunState& state = Prepare();
    for (const std::string& dn : {alpha_, beta_}) {
      PolicyRecord record(true);
      record.SetDN(dn);
      state.policies[LowerCase(dn)] = record;
    }
    return state;
  }

  std::string alpha_;
  std::string beta_;
};

// However many subjects, the export reads the PSOs' GUIDs and their
// subjects with one search each, never one per subject.
TEST_F(ExportTest, ReadsWithTwoSearches) {
  RunState& state = PrepareWithPsos();
  std::size_t before = client_.Requests(FakeOp::kSearch).size();
  ConsoleCapture capture;
  RunExport(state);
  auto [out, err] = capture.Finish();
  EXPECT_EQ(before + 2, client_.Requests(FakeOp::kSearch).size());
  EXPECT_EQ("", err);
  EXPECT_EQ('\n', out.back());
  nlohmann::ordered_json document = nlohmann::ordered_json::parse(out);
  EXPECT_EQ(3u, document["psos"][0]["subjects"].size());
  EXPECT_EQ(0u, document["psos"][1]["subjects"].size());
}

// A failed read ends the run with the search's code and its report, before
// any of the document is written.
TEST_F(ExportTest, FailedSearchEndsBeforeTheDocument) {
  struct Case {
    int skip;
    std::string label;
  };
  for (const Case& c : {Case{0, kCorpDn}, Case{1, alpha_}}) {
    RunState& state = PrepareWithPsos();
    client_.FailNext(FakeOp::kSearch, 51, "server busy", c.skip);
    EXPECT_RUN_ENDS(RunExport(state), 51,
                    Eq("ERROR: ldap_search_s (" + c.label +
                       "): : [dc1.corp.example.com] Error 0x33 (51) - " +
                       FakeLdapErrorText(51) +
                       "\nExtended Error: server busy\n" + kFailed + "\n"))
        << c.skip;
  }
}

}  // namespace
}  // namespace talvex::executor_test

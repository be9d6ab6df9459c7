// The delete and multi-delete actions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "changes_fixture.h"
#include "operations/actions.h"
#include "support/output.h"

namespace talvex {
namespace {

using ::testing::ElementsAre;
using ::testing::Eq;

// The directory a run that ends reports on, when it exits.
FakeDirectory* gExitingDirectory = nullptr;

void PrintRemainingPsos() {
  for (const auto& dn : gExitingDirectory->EntryDns()) {
    if (dn.starts_with("CN=p")) PrintErrorText("left: " + dn, true);
  }
}

class DeleteTest : public ChangesTest {
 protected:
  DeleteTest() {
    for (const char* name : {"p1", "p2", "p3", "p4"}) {
      dns_.push_back(corp_.AddPso(kCorpDn, name, 5));
    }
  }
  std::string Run() {
    OutputCapture capture;
    RunDelete(state_);
    capture.Stop();
    return capture.Stdout();
  }
  std::vector<std::string> dns_;
};

TEST_F(DeleteTest, DryRunListsEveryPsoAndDeletesNothing) {
  config_.action = ActionCode::kMultiDelete;
  LoadPsos({.name = "p*"});
  EXPECT_EQ(
      "\n" + std::string(kNotForReal) +
          "PSO(s) that would have been deleted had this been for real.\n" +
          Lines({"  DN:" + dns_[0], "  DN:" + dns_[1], "  DN:" + dns_[2],
                 "  DN:" + dns_[3]}),
      Run());
  EXPECT_EQ(0, client_.Count(FakeOp::kDelete));
}

TEST_F(DeleteTest, MultiDeleteRemovesEveryMatch) {
  config_.action = ActionCode::kMultiDelete;
  config_.forReal = true;
  LoadPsos({.name = "p*"});
  EXPECT_EQ("Deleting PSO(s):\n" +
                Lines({"  DN:" + dns_[0], "  DN:" + dns_[1], "  DN:" + dns_[2],
                       "  DN:" + dns_[3], "PSO(s) successfully deleted."}),
            Run());
  EXPECT_TRUE(PsoDns().empty());
}

TEST_F(DeleteTest, SingleDeleteOfTwoStopsBeforeAnyChange) {
  config_.action = ActionCode::kDelete;
  config_.forReal = true;
  LoadPsos({.name = "p*"});
  EXPECT_RUN_ENDS(
      RunDelete(state_), 1,
      Eq("ERROR:\nERROR: Single delete action specified but multiple polices "
         "match criteria.\nERROR:\n" +
         std::string(kUsageHint)));

  state_.policies.clear();
  LoadPsos({.name = "p2"});
  EXPECT_EQ(
      "Deleting PSO(s):\n  DN:" + dns_[1] + "\nPSO(s) successfully deleted.\n",
      Run());
  EXPECT_EQ(3u, PsoDns().size());
}

TEST_F(DeleteTest, RefusedThirdDeleteKeepsTheFirstTwoDeletedAndTriesNoMore) {
  config_.action = ActionCode::kMultiDelete;
  config_.forReal = true;
  LoadPsos({.name = "p*"});
  client_.FailOnDn(FakeOp::kDelete, dns_[2], 50,
                   "00002098: SecErr: problem 4003");
  gExitingDirectory = &corp_;
  EXPECT_RUN_ENDS(
      {
        std::atexit(PrintRemainingPsos);
        RunDelete(state_);
      },
      50,
      Eq("Deleting PSO(s):\n" +
         Lines({"  DN:" + dns_[0], "  DN:" + dns_[1], "  DN:" + dns_[2]}) +
         "ERROR: ldap_delete_s (" + dns_[2] +
         "): : [dc1.corp.example.com] Error 0x32 (50) - "
         "Insufficient access\nExtended Error: 00002098: SecErr: problem 4003\n"
         "\nThe command did not complete successfully.\n\n"
         "left: " +
         dns_[2] + "\nleft: " + dns_[3] + "\n"));
}

TEST_F(DeleteTest, ServerGoneMidWayShowsNoEarlierCallsText) {
  // The second delete gets no answer at all, so no server text belongs to
  // it (a connection forgets the text of each earlier request).
  config_.action = ActionCode::kMultiDelete;
  config_.forReal = true;
  LoadPsos({.name = "p*"});
  client_.FailNext(FakeOp::kDelete, ldap_result::kServerDown, "", 1);
  EXPECT_RUN_ENDS(RunDelete(state_), ldap_result::kServerDown,
                  Eq("Deleting PSO(s):\n" + Lines({"  DN:" + dns_[0], "  DN:" + dns_[1]}) +
                     "ERROR: ldap_delete_s (" + dns_[1] +
                     "): : [dc1.corp.example.com] Error 0xffffffff (-1) - "
                     "Can't contact LDAP server\nExtended Error: No extended error "
                     "info available.\n\nThe command did not complete successfully.\n\n"));
}

TEST_F(DeleteTest, NothingSelected) {
  config_.action = ActionCode::kMultiDelete;
  LoadPsos({.name = "none"});
  EXPECT_EQ("\nNo PSO's to delete with the specified criteria.\n\n", Run());
}

}  // namespace
}  // namespace talvex

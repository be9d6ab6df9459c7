// The effective-policy section, run through the executor against the fake.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "operations/executor_fixture.h"

namespace talvex::executor_test {
namespace {

using ::testing::Eq;

class EffectiveTest : public ExecutorTest {
 protected:
  EffectiveTest() {
    jdoe_ = Corp().AddUser(kUsers, "jdoe", kCorpDns);
    config_.action = ActionCode::kEffective;
  }

  void For(const std::string& user) { config_.effectiveUser = user; }

  std::string Answer(const std::string& user, const std::string& applied,
                     const std::string& effective) {
    return std::string(kHost) + "\nUser: " + user + "\nApplied PSOs:\n" + applied +
           "Effective PSO: " + effective + "\n";
  }

  std::string Refused(const std::string& lines) {
    return std::string(kHost) + "\nERROR:\n" + lines + kUsageHint;
  }

  static std::string Unreadable(const std::vector<std::string>& dns) {
    std::string text =
        "WARN:\n"
        "WARN: The account of this bind lacks the rights to read these PSOs (PSOs are "
        "readable\n"
        "WARN: by domain administrators only), so the PSOs that apply and the effective "
        "policy\n"
        "WARN: cannot be shown in full:\n";
    for (const std::string& dn : dns) text += "WARN:   " + dn + "\n";
    return text + "WARN:\n";
  }

  std::string jdoe_;
};

TEST_F(EffectiveTest, UserNamedByTwoPsosShowsBothAndTheWinner) {
  std::string p10 = Corp().AddPso(kCorpDn, "p10", 10, {{"msDS-PSOAppliesTo", {jdoe_}}});
  std::string p20 = Corp().AddPso(kCorpDn, "p20", 20, {{"msDS-PSOAppliesTo", {jdoe_}}});
  For("jdoe");
  RunResult run = Execute();
  EXPECT_EQ(Answer("jdoe | jdoe@corp.example.com | " + jdoe_,
                   "  " + p10 + "\n  " + p20 + "\n", p10) +
                DefaultPsoBlock(kCorpDn, kCorpDns, "p10", 10) + "\n",
            run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(0, run.status);
}

TEST_F(EffectiveTest, UserWithoutPsoGetsTheDomainPolicy) {
  For("jdoe@corp.example.com");
  RunResult run = Execute();
  EXPECT_EQ(Answer("jdoe | jdoe@corp.example.com | " + jdoe_, "  NONE \n",
                   "Domain Policy corp.example.com") +
                DefaultDomainBlock(kCorpDn, kCorpDns) + "\n",
            run.out);
}

TEST_F(EffectiveTest, DnFormReadsNoPolicy) {
  std::string p10 = Corp().AddPso(kCorpDn, "p10", 10, {{"msDS-PSOAppliesTo", {jdoe_}}});
  std::string bob = Corp().AddUser(kUsers, "bob", kCorpDns);
  config_.dnOnly = true;
  For("jdoe");
  EXPECT_EQ(Answer("jdoe | jdoe@corp.example.com | " + jdoe_, "  " + p10 + "\n", p10),
            Execute().out);
  For("bob");
  config_.host.clear();  // the run replaced them with what it found
  config_.domain.clear();
  client_.ClearLog();
  EXPECT_EQ(Answer("bob | bob@corp.example.com | " + bob, "  NONE \n", "Domain Policy"),
            Execute().out);
  // The RootDSE, the domain list and the user: no policy read.
  EXPECT_EQ(3, client_.Count(FakeOp::kSearch));
}

// The reads that do not depend on each other are sent together; each one
// sent ahead is then asked for by the run (none is sent for nothing), and
// the answer is the one the run gives without sending ahead.
TEST_F(EffectiveTest, ReadsSentAheadAreTheReadsTheRunMakes) {
  std::string p10 = Corp().AddPso(kCorpDn, "p10", 10, {{"msDS-PSOAppliesTo", {jdoe_}}});
  Corp().AddPso(kCorpDn, "p20", 20, {{"msDS-PSOAppliesTo", {jdoe_}}});
  Corp().AddPso(kCorpDn, "p30", 30);
  struct Case {
    const char* name;
    std::size_t ahead;  // searches sent ahead
    void (*configure)(RunConfig*);
  };
  const Case cases[] = {
      // The domain list, the user; the governing PSO and p20's check.
      {"effective", 4, [](RunConfig* c) { c->effectiveUser = "jdoe"; }},
      {"effective -dn", 4, [](RunConfig* c) {
         c->effectiveUser = "jdoe";
         c->dnOnly = true;
       }},
      {"effective -json", 3, [](RunConfig* c) {
         c->effectiveUser = "jdoe";
         c->json = true;
       }},
      {"view -allpwdpols", 3, [](RunConfig* c) {
         c->action = ActionCode::kView;
         c->psoSelected = true;
         c->domainPolicySelected = true;
       }},
      {"add", 2, [](RunConfig* c) {
         c->action = ActionCode::kAdd;
         c->psoSelected = true;
         c->addSpec = PolicyRecord(/*withDefaults=*/true);
         c->addSpec.SetName("new");
         c->addSpec.SetPrecedence("40");
       }},
      {"quickstart", 2, [](RunConfig* c) {
         c->action = ActionCode::kQuickStart;
         c->domainPolicySelected = true;
       }},
      // The domain list, the PSO and the object to link.
      {"applyto", 3, [](RunConfig* c) {
         c->action = ActionCode::kApplyTo;
         c->psoSelected = true;
         c->psoName = "p30";
         c->memberTarget = "jdoe";
       }},
      {"unapplyto", 3, [](RunConfig* c) {
         c->action = ActionCode::kUnApplyTo;
         c->psoSelected = true;
         c->psoName = "p10";
         c->memberTarget = "jdoe";
       }},
      {"multidel -alldoms", 1, [](RunConfig* c) {
         c->action = ActionCode::kMultiDelete;
         c->psoSelected = true;
         c->allDomainsForPsos = true;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    config_ = RunConfig{};
    config_.action = ActionCode::kEffective;
    c.configure(&config_);
    client_.ClearLog();
    RunResult run = Execute();
    EXPECT_EQ(0, run.status) << run.out;
    std::vector<FakeAheadSearch> ahead = client_.SentAhead();
    EXPECT_EQ(c.ahead, ahead.size());
    for (const FakeAheadSearch& search : ahead)
      EXPECT_TRUE(search.taken) << search.search.base << " " << search.search.filter;
  }
}

TEST_F(EffectiveTest, UserGovernedThroughAGroup) {
  std::string carol = "CN=carol," + std::string(kUsers);
  Corp().AddEntry(carol, {{"objectClass", {"top", "person", "organizationalPerson", "user"}},
                          {"sAMAccountName", {"carol"}}});
  std::string group = Corp().AddGroup(kUsers, "staff", {carol});
  std::string p30 = Corp().AddPso(kCorpDn, "p30", 30, {{"msDS-PSOAppliesTo", {group}}});
  For("carol");
  RunResult run = Execute();
  EXPECT_EQ(Answer("carol |  | " + carol, "  NONE \n", p30) +
                DefaultPsoBlock(kCorpDn, kCorpDns, "p30", 30) + "\n",
            run.out);
}

TEST_F(EffectiveTest, UserByDnInAnyLetterCase) {
  For("cn=jdoe,cn=users,dc=corp,dc=example,dc=com");
  RunResult run = Execute();
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("(distinguishedName=cn=jdoe,cn=users,dc=corp,dc=example,dc=com)",
            client_.Requests(FakeOp::kSearch)[2].search.filter);
  EXPECT_THAT(run.out, ::testing::HasSubstr("\nUser: jdoe | jdoe@corp.example.com | "));
}

TEST_F(EffectiveTest, ComputerAccountIsAccepted) {
  std::string wks = "CN=WKS01,CN=Computers," + std::string(kCorpDn);
  Corp().AddEntry(wks, {{"objectClass",
                         {"top", "person", "organizationalPerson", "user", "computer"}},
                        {"sAMAccountName", {"WKS01$"}}});
  For("WKS01$");
  RunResult run = Execute();
  EXPECT_EQ(0, run.status);
  EXPECT_THAT(run.out, ::testing::StartsWith(
                           std::string(kHost) + "\nUser: WKS01$ |  | " + wks + "\n"));
}

TEST_F(EffectiveTest, GroupIsNotAUserTypeObject) {
  Corp().AddGroup(kUsers, "staff");
  For("staff");
  EXPECT_RUN_ENDS(ExecuteToEnd(), 1,
                  Eq(Refused("ERROR: Object isn't a user type object.\nERROR:\n")));
}

TEST_F(EffectiveTest, ObjectWithoutAccountNameIsNotAUserTypeObject) {
  std::string contact = "CN=ext,CN=Users," + std::string(kCorpDn);
  Corp().AddEntry(contact, {{"objectClass", {"top", "person", "contact"}}});
  For(contact);
  EXPECT_RUN_ENDS(ExecuteToEnd(), 1,
                  Eq(Refused("ERROR: Object isn't a user type object.\nERROR:\n")));
}

TEST_F(EffectiveTest, TwoMatchesAreRefusedWithoutClosingLine) {
  std::string other = "CN=other," + std::string(kUsers);
  Corp().AddEntry(other, {{"objectClass", {"top", "user"}},
                          {"sAMAccountName", {"other"}},
                          {"userPrincipalName", {"jdoe"}}});
  For("jdoe");
  EXPECT_RUN_ENDS(ExecuteToEnd(), 1,
                  Eq(Refused("ERROR: More than one object matched, use better criteria or "
                             "specify DN.\n")));
}

TEST_F(EffectiveTest, NothingMatches) {
  For("nobody");
  EXPECT_RUN_ENDS(ExecuteToEnd(), 1,
                  Eq(Refused("ERROR: No objects matched.\nERROR:\n")));
}

TEST_F(EffectiveTest, AsteriskIsNotAWildcard) {
  For("*");
  EXPECT_RUN_ENDS(ExecuteToEnd(), 1,
                  Eq(Refused("ERROR: No objects matched.\nERROR:\n")));
}

TEST_F(EffectiveTest, FailedSearchNamesTheBase) {
  client_.FailOnDn(FakeOp::kSearch, kCorpDn, ldap_result::kUnwillingToPerform, "nope");
  For("jdoe");
  EXPECT_RUN_ENDS(ExecuteToEnd(), 53,
                  Eq(std::string(kHost) +
                     "ERROR: LdapGetRecs (DC=corp,DC=example,DC=com): : [dc1.corp.example.com] "
                     "Error 0x35 (53) - " + FakeLdapErrorText(53) + "\nExtended Error: nope\n" +
                     kFailed + "\n"));
}

TEST_F(EffectiveTest, UnreadableResultantPsoEndsLikeThePsoRetrieval) {
  Corp().SetValues(jdoe_, "msDS-ResultantPSO", {PsoDnIn(kCorpDn, "gone")});
  For("jdoe");
  EXPECT_RUN_ENDS(ExecuteToEnd(), 32,
                  Eq(std::string(kHost) + "ERROR:\nERROR: No matching PSOs found.\nERROR:\n"
                                          "\nThe command did not complete successfully.\n"));
}

TEST_F(EffectiveTest, ResultantPsoThatReadsAsNothingIsShownWithoutDisplay) {
  // The search under the resultant DN succeeds but finds no PSO there (an
  // object the account may not read, or no PSO at all): the answer is given
  // without a display rather than from a record that is not there.
  std::string notAPso = Corp().AddUser(kUsers, "decoy", kCorpDns);
  Corp().SetValues(jdoe_, "msDS-ResultantPSO", {notAPso});
  For("jdoe");
  RunResult run = Execute();
  // An empty msDS-PSOApplied is no answer then: it may be withheld too.
  EXPECT_EQ(Answer("jdoe | jdoe@corp.example.com | " + jdoe_,
                   "  UNKNOWN (PSOs cannot be read with the rights of this account)\n",
                   notAPso) +
                Unreadable({notAPso}),
            run.out);
  EXPECT_EQ(0, run.status);
}

// A plain account: the resultant PSO or one named by msDS-PSOApplied is
// hidden from it, or its entry arrives without the settings. Never shown as
// NONE or as zeros.
TEST_F(EffectiveTest, PsosTheAccountCannotReadAreNamedInAWarning) {
  std::string p10 = Corp().AddPso(kCorpDn, "p10", 10, {{"msDS-PSOAppliesTo", {jdoe_}}});
  std::string p20 = Corp().AddPso(kCorpDn, "p20", 20, {{"msDS-PSOAppliesTo", {jdoe_}}});
  client_.FailOnDn(FakeOp::kSearch, p20, ldap_result::kNoSuchObject);
  For("jdoe");
  RunResult run = Execute();
  EXPECT_EQ(Answer("jdoe | jdoe@corp.example.com | " + jdoe_,
                   "  " + p10 + "\n  " + p20 + "\n", p10) +
                DefaultPsoBlock(kCorpDn, kCorpDns, "p10", 10) + "\n" + Unreadable({p20}),
            run.out);

  // Listed but not readable: the entry comes without its settings.
  std::string bare = PsoDnIn(kCorpDn, "bare");
  Corp().AddEntry(bare, {{"objectClass", {"top", "msDS-PasswordSettings"}},
                         {"msDS-PSOAppliesTo", {jdoe_}}});
  Corp().SetValues(jdoe_, "msDS-ResultantPSO", {bare});
  config_.host.clear();
  config_.domain.clear();
  run = Execute();
  EXPECT_NE(std::string::npos, run.out.find("    Policy Precedence  : (unset)\n"
                                            "    DN                 : " + bare));
  EXPECT_EQ(std::string::npos, run.out.find(": 0\n"));
  EXPECT_NE(std::string::npos, run.out.find(Unreadable({bare, p20})));
}

}  // namespace
}  // namespace talvex::executor_test

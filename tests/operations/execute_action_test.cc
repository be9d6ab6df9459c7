#include "operations/execute_action.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "operations/executor_fixture.h"
#include "operations/pso_dn.h"
#include "support/run_exit.h"
#include "support/system_message.h"

namespace talvex::executor_test {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::Eq;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::vector<std::string> LinesStartingWith(const std::string& text,
                                           const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.starts_with(prefix)) lines.push_back(line);
  }
  return lines;
}

int LocateCount(const FakeDcLocator& locator, const std::string& domain,
                std::uint32_t flags) {
  return static_cast<int>(
      std::count_if(locator.Calls().begin(), locator.Calls().end(),
                    [&](const FakeLocateCall& call) {
                      return LowerCase(call.domain) == LowerCase(domain) &&
                             call.flags == flags;
                    }));
}

// ---- What a lying server cannot do ---------------------------------------------

// Attribute names are not case-sensitive: a server that answers in another
// letter case gives the same runs as one that answers in the schema's.
TEST_F(ExecutorTest, AttributeNamesInAnyLetterCaseGiveTheSameRuns) {
  Corp().AddPso(kCorpDn, "pso1", 10);
  struct Case {
    const char* name;
    void (*configure)(RunConfig*);
  };
  const Case cases[] = {
      {"view", [](RunConfig* c) {
         c->action = ActionCode::kView;
         c->psoSelected = true;
         c->domainPolicySelected = true;
       }},
      {"json", [](RunConfig* c) {
         c->action = ActionCode::kView;
         c->psoSelected = true;
         c->domainPolicySelected = true;
         c->json = true;
       }},
      {"quickstart", [](RunConfig* c) {
         c->action = ActionCode::kQuickStart;
         c->domainPolicySelected = true;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    config_ = RunConfig{};
    c.configure(&config_);
    client_.Lie(FakeLie::kNone);
    RunResult honest = Execute();
    client_.Lie(FakeLie::kShoutedNames);
    RunResult shouted = Execute();
    EXPECT_EQ(honest.out, shouted.out);
    EXPECT_EQ(honest.status, shouted.status);
    EXPECT_THAT(shouted.out, AllOf(HasSubstr("24"), Not(HasSubstr("(unset)")),
                                   Not(HasSubstr("ERROR"))));
  }
}

// An entry from outside the search's base is left out with a warning, and
// never becomes the object of a write.
TEST_F(ExecutorTest, EntriesFromOutsideTheSearchBaseAreLeftOut) {
  Corp().AddPso(kCorpDn, "pso1", 10);
  client_.Lie(FakeLie::kForeignEntries);
  View();
  RunResult view = Execute();
  EXPECT_THAT(view.out, HasSubstr("\nWARN:\nWARN: The server "
                                  "dc1.corp.example.com answered the search of "));
  EXPECT_THAT(view.out, HasSubstr(
                            " from outside it, left out: "
                            "\"CN=pso1,CN=Password Settings Container,CN=System,"
                            "DC=elsewhere,DC=invalid\".\nWARN:\n"));
  EXPECT_THAT(view.out, Not(HasSubstr("Policy #2")));
  EXPECT_EQ(0, view.status);
  // The base's own text after an escaped comma is no child of the base.
  client_.Lie(FakeLie::kLookalikeEntries);
  view = Execute();
  EXPECT_THAT(view.out, HasSubstr(" from outside it, left out: \"CN=x\\,"));
  EXPECT_THAT(view.out, Not(HasSubstr("Policy #2")));
  client_.Lie(FakeLie::kForeignEntries);

  config_ = RunConfig{};
  config_.action = ActionCode::kMultiDelete;
  config_.psoSelected = true;
  config_.override = true;
  config_.forReal = true;
  RunResult deleted = Execute();
  std::vector<FakeRequest> deletes = client_.Requests(FakeOp::kDelete);
  ASSERT_EQ(1u, deletes.size()) << deleted.out;
  EXPECT_EQ(PsoDnIn(kCorpDn, "pso1"), deletes.front().dn);
}

// A write to anything but a PSO of the run's forest is refused before it is
// sent, whatever the lists read from the server say.
TEST(PsoOfTheRunTest, OnlyObjectsRightInAPasswordSettingsContainer) {
  const std::vector<std::string> domains = {kCorpDn, kChildDn};
  struct Case {
    std::string dn;
    bool allowed;
  };
  for (const Case& c : std::vector<Case>{
           {PsoDnIn(kCorpDn, "a"), true},
           {"cn=a,cn=password settings container,cn=system,"
            "dc=CHILD,dc=corp,dc=example,dc=com",
            true},
           {PsoDnIn(kCorpDn, "a\\,b"), true},
           {PsoDnIn("DC=elsewhere,DC=invalid", "a"), false},
           {"CN=x," + PsoDnIn(kCorpDn, "a"), false},
           {"CN=Password Settings Container,CN=System," + std::string(kCorpDn),
            false},
           {kCorpDn, false},
           {"not a dn", false}}) {
    EXPECT_EQ(c.allowed, InPasswordSettingsContainer(c.dn, domains)) << c.dn;
  }
}

// ---- The preparation on one domain
// ----------------------------------------------

TEST_F(ExecutorTest, ViewListsOnePsoInFull) {
  Corp().AddPso(kCorpDn, "pso1", 10);
  View("pso1");
  RunResult run = Execute();
  EXPECT_EQ(std::string(kHost) +
                "Retrieving PSOs...\n"
                "\nPolicy Listing\n--------------\n"
                "  Policy #1\n" +
                DefaultPsoBlock(kCorpDn, kCorpDns, "pso1", 10) + "\n",
            run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(0, run.status);
}

TEST_F(ExecutorTest, MainConnectionIsBoundOnceAndEnteredForLaterReads) {
  Corp().AddPso(kCorpDn, "pso1", 10);
  config_.action = ActionCode::kView;
  config_.psoSelected = true;
  config_.domainPolicySelected = true;
  Execute();
  // The domain policy read finds the main connection in the cache.
  EXPECT_EQ(1, client_.Count(FakeOp::kNegotiateBind));
  EXPECT_EQ(1, client_.Count(FakeOp::kInitialize));
  EXPECT_EQ(389, client_.Last(FakeOp::kInitialize).port);
}

TEST_F(ExecutorTest, HostNamesTheComputerTheLocatorAsksAndTheRunUsesTheAnswer) {
  client_.AddController("dc2.corp.example.com", kCorpDn);
  locator_.AddController(kCorpDns,
                         {.name = "dc2.corp.example.com", .site = "Branch"});
  Corp().AddPso(kCorpDn, "pso1", 10);
  View();
  config_.domainPolicySelected = true;
  config_.host = "dc2";
  config_.dnOnly = true;
  RunResult run = Execute();
  EXPECT_THAT(run.out,
              StartsWith("Using host: Branch\\dc2.corp.example.com\n"));
  // The configuration stays as given; the run connects to the answer.
  EXPECT_EQ("dc2", config_.host);
  ASSERT_FALSE(client_.Requests(FakeOp::kInitialize).empty());
  for (const FakeRequest& request : client_.Requests(FakeOp::kInitialize)) {
    EXPECT_EQ("dc2.corp.example.com", request.host);
  }
  // Every locate of the run, also the domain policy's, asks the -h computer.
  ASSERT_FALSE(locator_.Calls().empty());
  for (const FakeLocateCall& call : locator_.Calls())
    EXPECT_EQ("dc2", call.computer);
}

TEST_F(ExecutorTest, FailedLocateEndsTheRunBeforeAnyConnection) {
  // An explicit -domain is never swapped for the machine's own, -h naming a
  // computer that does not answer never goes to another controller, and no
  // controller at all never means the library's default server.
  locator_.SetAnswer("deadhost", kCorpDns, 1722);
  struct Case {
    std::string domain, host, ownDomain;
    int code;
    std::string text;
  };
  // The system's own words for its codes, here and below: Wine's are not
  // Windows' (system_message_test.cc holds those of the Linux build).
  const std::string kNoDomain = "(1355) " + SystemMessageText(1355);
  for (const Case& c :
       {Case{"nosuch.example.org", "", kCorpDns, 1355, kNoDomain},
        Case{"NOSUCH", "", kCorpDns, 1355, kNoDomain},
        Case{"", "", "", 1355, kNoDomain},
        Case{kCorpDns, "deadhost", kCorpDns, 1722,
             "(1722) " + SystemMessageText(1722)}}) {
    SCOPED_TRACE(c.domain + "|" + c.host);
    client_.SetDefaultHost(kCorpDc);
    locator_.SetOwnDomain(c.ownDomain);
    View();
    config_.domain = c.domain;
    config_.host = c.host;
    EXPECT_RUN_ENDS(ExecuteToEnd(), c.code,
                    Eq("ERROR:\nERROR: DsGetDcName " + c.text + "ERROR:\n"));
  }
}

TEST_F(ExecutorTest, DomainGivenAsDnIsTheDomainDnItself) {
  config_.action = ActionCode::kView;
  config_.domainPolicySelected = true;
  config_.dnWithPrecedence = config_.dnOnly = true;
  config_.domain = "dc=corp,dc=example,dc=com";
  RunResult run = Execute();
  // No locator knows a DN: the controller is one of this machine's domain.
  ASSERT_LE(2u, locator_.Calls().size());
  EXPECT_EQ(locator_flags::kDirectoryServiceRequired |
                locator_flags::kWritableRequired | locator_flags::kIsFlatName,
            locator_.Calls()[0].flags);
  EXPECT_EQ("", locator_.Calls()[1].domain);
  EXPECT_EQ(
      std::string(kHost) +
          "Retrieving Domain Policy...\n\nPolicy Listing\n--------------\n"
          "    (2147483647)  DC=corp,DC=example,DC=com\n",
      run.out);
  EXPECT_EQ("dc=corp,dc=example,dc=com", config_.domain);
  // The main connection is reused for the domain's policy.
  EXPECT_EQ(1, client_.Count(FakeOp::kNegotiateBind));
}

TEST_F(ExecutorTest, DomainByFlatOrDnsNameOnlyLocatesTheController) {
  for (const std::string domain : {"CORP", "corp.example.com"}) {
    SCOPED_TRACE(domain);
    config_ = RunConfig{};
    config_.action = ActionCode::kView;
    config_.domainPolicySelected = true;
    config_.dnOnly = true;
    config_.domain = domain;
    RunResult run = Execute();
    EXPECT_EQ(std::string(kHost) +
                  "Retrieving Domain Policy...\n\nPolicy Listing\n"
                  "--------------\n    DC=corp,DC=example,DC=com\n",
              run.out);
    // The domain policy is read from the controller's domain DN.
    EXPECT_EQ(kCorpDn, client_.Last(FakeOp::kSearch).search.base);
    EXPECT_EQ(domain, config_.domain);
  }
  // The flat name is located as one; the DNS name's question is the same as
  // the domain policy's. Either way the domain policy's locate is answered
  // by the run's own controller, without asking the locator again.
  ASSERT_EQ(2u, locator_.Calls().size());
  EXPECT_EQ(0x11010u, locator_.Calls()[0].flags);
  EXPECT_EQ(0x21010u, locator_.Calls()[1].flags);
}

TEST_F(ExecutorTest, DebugLinesOfThePreparationInOrder) {
  Output().debugLevel = 1;
  View("none");
  RunResult run = Execute();
  std::vector<std::string> expected = {
      "DEBUG: Locating Domain Controller for domain  WRITE | DS_REQ",
      "Using host: HQ\\dc1.corp.example.com",
      "DEBUG: Opening LDAP Connection",
      "DEBUG: Host: dc1.corp.example.com",
      "DEBUG: Dir : Windows Longhorn",
      "DEBUG: DSA : ",
      "DEBUG: DCMode : 3",
      "DEBUG: DomMode: 3",
      "DEBUG: ForMode: 3",
      "DEBUG: ADAM : FALSE",
      "DEBUG: GC   : TRUE",
      "DEBUG: RODC : FALSE",
      "Domain: DC=corp,DC=example,DC=com",
      "Retrieving PSOs...",
      "DEBUG: Operation: View - 32",
  };
  // Each line appears, in this order; other layers' debug lines may come
  // between them.
  std::istringstream stream(run.out);
  std::size_t next = 0;
  for (std::string line;
       std::getline(stream, line) && next < expected.size();) {
    if (line == expected[next]) ++next;
  }
  EXPECT_EQ(expected.size(), next) << "missing: " << expected[next] << "\n"
                                   << run.out;
}

TEST_F(ExecutorTest, VerboseAnnouncesTheDomainListAndTheValidation) {
  Output().verboseLevel = 5;
  View("none");
  RunResult run = Execute();
  EXPECT_THAT(run.out, HasSubstr("Retrieving forest domain list...\n"
                                 "Performing validation tests...\n"
                                 "  ADAM/ADLDS Test: Passed.\n"
                                 "  View/Export Mode Override.\n"
                                 "Retrieving PSOs...\n"));
}

TEST_F(ExecutorTest, PasswordIsNotLeftInTheConfiguration) {
  View("none");
  config_.userId = "admin@corp.example.com";
  config_.password = "Secret.1";
  Execute();
  EXPECT_EQ("", config_.password);
  EXPECT_EQ("Secret.1",
            client_.Last(FakeOp::kNegotiateBind).credentials.password);
}

TEST_F(ExecutorTest, ActionsWithoutRetrievalFindAnEmptyPolicyList) {
  config_.action = ActionCode::kClearApplied;
  RunResult run = Execute();
  EXPECT_EQ(
      std::string(kHost) + "\nNo PSO found matching specified criteria.\n\n",
      run.out);
  EXPECT_EQ(0, run.status);
}

// ---- A forest of three domains
// -------------------------------------------------

class ForestTest : public ExecutorTest {
 protected:
  ForestTest() {
    AddDomain(kChildDc, kChildDn, kChildDns);
    AddDomain(kAlphaDc, kAlphaDn, kAlphaDns);
    client_.AddGlobalCatalog(kCorpDc,
                             {"name", "msDS-PasswordSettingsPrecedence"});
    Corp().AddPso(kCorpDn, "corp-pso", 10);
    client_.Domain(kChildDn).AddPso(kChildDn, "child-a", 20);
    client_.Domain(kChildDn).AddPso(kChildDn, "child-b", 30);
    client_.Domain(kAlphaDn).AddPso(kAlphaDn, "alpha-pso", 5);
  }
};

TEST_F(ForestTest, DomainListPutsParentsFirstAndTreesByTopComponent) {
  Output().debugLevel = 1;
  View("none");
  RunResult run = Execute();
  EXPECT_THAT(LinesStartingWith(run.out, "Domain: "),
              ElementsAre("Domain: DC=corp,DC=example,DC=com",
                          "Domain: DC=child,DC=corp,DC=example,DC=com",
                          "Domain: DC=alpha,DC=org"));
}

TEST_F(ForestTest, AllDomainsReadsEachDomainPolicyFromItsOwnController) {
  config_.action = ActionCode::kView;
  config_.domainPolicySelected = true;
  config_.allDomainsForDomainPolicy = true;
  config_.dnOnly = true;
  RunResult run = Execute();
  EXPECT_EQ(
      std::string(kHost) +
          "Retrieving Domain Policy...\n\nPolicy Listing\n--------------\n"
          "    DC=alpha,DC=org\n"
          "    DC=child,DC=corp,DC=example,DC=com\n"
          "    DC=corp,DC=example,DC=com\n",
      run.out);
  for (auto [host, dn] :
       {std::pair{kCorpDc, kCorpDn}, std::pair{kChildDc, kChildDn},
        std::pair{kAlphaDc, kAlphaDn}}) {
    bool read = false;
    for (const FakeRequest& search : RequestsTo(FakeOp::kSearch, host)) {
      if (search.search.base == dn && search.search.scope == LdapScope::kBase)
        read = true;
    }
    EXPECT_TRUE(read) << dn << " read from " << host;
    EXPECT_EQ(1u, RequestsTo(FakeOp::kNegotiateBind, host).size()) << host;
  }
}

TEST_F(ForestTest, AllDomainsFindsPsosThroughTheGlobalCatalogAndRereadsEach) {
  View();
  config_.allDomainsForPsos = true;
  config_.sortByPrecedence = 1;
  config_.dnWithPrecedence = config_.dnOnly = true;
  RunResult run = Execute();
  EXPECT_EQ(std::string(kHost) +
                "Retrieving PSOs...\n"
                "  Using GC: HQ\\dc1.corp.example.com\n"
                "\nPolicy Listing\n--------------\n"
                "    (5)           " +
                PsoDnIn(kAlphaDn, "alpha-pso") +
                "\n"
                "    (20)          " +
                PsoDnIn(kChildDn, "child-a") +
                "\n"
                "    (30)          " +
                PsoDnIn(kChildDn, "child-b") +
                "\n"
                "    (10)          " +
                PsoDnIn(kCorpDn, "corp-pso") + "\n",
            run.out);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(
      1u, RequestsTo(FakeOp::kInitialize, "dc1.corp.example.com", 3268).size());

  // One forest-wide search on the global catalog port, from the empty base.
  std::vector<FakeRequest> gcSearches =
      RequestsTo(FakeOp::kSearch, kCorpDc, 3268);
  ASSERT_EQ(1u, gcSearches.size());
  EXPECT_EQ("", gcSearches[0].search.base);
  EXPECT_EQ(1u, RequestsTo(FakeOp::kNegotiateBind, kCorpDc, 3268).size());

  // Each PSO re-read from its own domain's controller, each controller
  // located and bound once however many PSOs its domain holds.
  EXPECT_EQ(2u, RequestsTo(FakeOp::kSearch, kChildDc).size());
  EXPECT_EQ(1u, RequestsTo(FakeOp::kSearch, kAlphaDc).size());
  EXPECT_EQ(1, LocateCount(locator_, kChildDns, 0x21010));
  EXPECT_EQ(1, LocateCount(locator_, kAlphaDns, 0x21010));
  EXPECT_EQ(1u, RequestsTo(FakeOp::kNegotiateBind, kChildDc).size());
  EXPECT_EQ(1u, RequestsTo(FakeOp::kNegotiateBind, kAlphaDc).size());
  // The main connection serves the corp PSO's re-read: no second bind.
  EXPECT_EQ(1u, RequestsTo(FakeOp::kNegotiateBind, kCorpDc, 389).size());
}

TEST_F(ForestTest, EveryConnectionOfAForestWideRunUsesTheTlsChoice) {
  struct Case {
    bool ssl;
    bool startTls;
    LdapTls tls;
    int gcPort;
  };
  for (const Case& c : {Case{true, false, LdapTls::kLdaps, 3269},
                        Case{false, true, LdapTls::kStartTls, 3268}}) {
    client_.ClearLog();
    config_ = RunConfig();
    View("none");
    config_.domainPolicySelected = true;
    config_.allDomainsForDomainPolicy = config_.allDomainsForPsos = true;
    config_.ssl = c.ssl;
    config_.startTls = c.startTls;
    Execute();
    std::vector<FakeRequest> opened = client_.Requests(FakeOp::kInitialize);
    ASSERT_EQ(4u, opened.size());  // corp, the global catalog, child, alpha
    for (const FakeRequest& init : opened)
      EXPECT_EQ(c.tls, init.tls) << init.host;
    EXPECT_EQ(1u, RequestsTo(FakeOp::kNegotiateBind, kCorpDc, c.gcPort).size());
    EXPECT_EQ(4, client_.Count(FakeOp::kEstablishTls));
  }
}

TEST_F(ForestTest, GlobalCatalogIsLocatedForTheForestRootOnTheGcHost) {
  View("none");
  config_.allDomainsForPsos = true;
  config_.gcHost = "dc1";
  Execute();
  const FakeLocateCall& gcCall =
      *std::find_if(locator_.Calls().begin(), locator_.Calls().end(),
                    [](const FakeLocateCall& call) {
                      return call.flags == kGlobalCatalogFlags;
                    });
  EXPECT_EQ("dc1", gcCall.computer);
  EXPECT_EQ(kCorpDns, gcCall.domain);
}

TEST_F(ForestTest, WithoutAllDomainsOnlyTheOwnDomainIsRead) {
  View();
  config_.domainPolicySelected = true;
  config_.dnOnly = true;
  RunResult run = Execute();
  EXPECT_EQ(std::string(kHost) +
                "Retrieving Domain Policy...\nRetrieving PSOs...\n"
                "\nPolicy Listing\n--------------\n"
                "    DC=corp,DC=example,DC=com\n    " +
                PsoDnIn(kCorpDn, "corp-pso") + "\n",
            run.out);
  EXPECT_TRUE(RequestsTo(FakeOp::kInitialize, kChildDc).empty());
  EXPECT_EQ(1, client_.Count(FakeOp::kInitialize));
}

TEST_F(ExecutorTest, AllDomainsInAOneDomainForestSearchesTheDomainItself) {
  Corp().AddPso(kCorpDn, "pso1", 10);
  View();
  config_.allDomainsForPsos = true;
  config_.dnOnly = true;
  RunResult run = Execute();
  EXPECT_EQ(std::string(kHost) +
                "Retrieving PSOs...\n\nPolicy Listing\n--------------\n    " +
                PsoDnIn(kCorpDn, "pso1") + "\n",
            run.out);
  EXPECT_TRUE(RequestsTo(FakeOp::kInitialize, kCorpDc, 3268).empty());
}

// ---- Validation against the server found
// ---------------------------------------

TEST_F(ExecutorTest, ApplicationModeDirectoryIsRefusedEvenForView) {
  FakeDomainOptions adam;
  adam.capabilities = {"1.2.840.113556.1.4.1791", "1.2.840.113556.1.4.1851"};
  client_.AddDomain("adam.corp.example.com", "O=Apps", adam);
  config_.host = "adam.corp.example.com";
  locator_.SetAnswer("adam.corp.example.com", "", 0,
                     {.name = "adam.corp.example.com", .site = "HQ"});
  View();
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), 1,
      Eq("Using host: HQ\\adam.corp.example.com\n"
         "ERROR:\n"
         "ERROR: Granular Password Policy is not supported on ADAM or ADLDS.\n"
         "ERROR:\n" +
         std::string(kUsageHint)));
}

class LevelTwoControllerTest : public ExecutorTest {
 protected:
  LevelTwoControllerTest() {
    FakeDomainOptions old;
    old.dcLevel = 2;
    client_.AddDomain("old.legacy.test", "DC=legacy,DC=test", old);
    locator_.AddController("legacy.test",
                           {.name = "old.legacy.test", .site = "HQ"});
    config_.domain = "legacy.test";
  }
};

TEST_F(LevelTwoControllerTest, ViewPasses) {
  Output().verboseLevel = 1;
  View("none");
  RunResult run = Execute();
  EXPECT_THAT(run.out, HasSubstr("  View/Export Mode Override.\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("ERROR")));
  EXPECT_EQ(0, run.status);
}

TEST_F(LevelTwoControllerTest, ModifyOfPsosToo_FailsTheControllerTest) {
  config_.action = ActionCode::kModify;
  config_.domainPolicySelected = true;
  config_.psoSelected = true;
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), 1,
      Eq("Using host: HQ\\old.legacy.test\n"
         "ERROR:\n"
         "ERROR: Granular Password Policy requires Longhorn Server.\n"
         "ERROR: This server (old.legacy.test) appears to be Windows Server "
         "2003\n"
         "ERROR:\n" +
         std::string(kUsageHint)));
}

TEST_F(ExecutorTest, LevelTwoDomainWarnsAndGoesOn) {
  FakeDomainOptions old;
  old.domainLevel = 2;
  client_.AddDomain("dc.legacy.test", "DC=legacy,DC=test", old);
  locator_.AddController("legacy.test",
                         {.name = "dc.legacy.test", .site = "HQ"});
  config_.domain = "legacy.test";
  config_.action = ActionCode::kClearApplied;
  RunResult run = Execute();
  EXPECT_EQ(
      "Using host: HQ\\dc.legacy.test\n"
      "  WARN:\n"
      "  WARN: Granular Password Policy requires Longhorn Domain Functional "
      "Level.\n"
      "  WARN: This domain (DC=legacy,DC=test) appears to be Windows Server "
      "2003 "
      "Domain Mode\n"
      "  WARN:\n\n"
      "\nNo PSO found matching specified criteria.\n\n",
      run.out);
  EXPECT_EQ(0, run.status);
}

// ---- Every failure exit
// ---------------------------------------------------------

TEST_F(ExecutorTest, MainConnectionFailureEndsWithTheOpenStatus) {
  client_.FailBind(kCorpDc, ldap_result::kInvalidCredentials,
                   kFakeBadPasswordDiagnostic);
  View();
  // The connection layer reports the bind itself; the executor adds only the
  // closing sentence.
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), 49,
      AllOf(StartsWith(kHost), HasSubstr("LDAP_BIND"),
            EndsWith("\nThe command did not complete successfully.\n")));
}

TEST_F(ExecutorTest, DomainPolicyLdapFailureIsFramedAndEndsWithItsCode) {
  client_.FailOnDn(FakeOp::kSearch, kCorpDn, ldap_result::kInsufficientAccess,
                   "00002098: no read access");
  config_.action = ActionCode::kView;
  config_.domainPolicySelected = true;
  EXPECT_RUN_ENDS(ExecuteToEnd(), 50,
                  Eq(std::string(kHost) +
                     "Retrieving Domain Policy...\n"
                     "ERROR:\n"
                     "ERROR: GetDomGPOs (LDAP): : [dc1.corp.example.com] Error "
                     "0x32 (50) - " +
                     FakeLdapErrorText(50) +
                     "\n"
                     "Extended Error: 00002098: no read access\n"
                     "ERROR:\n"
                     "\nThe command did not complete successfully.\n"));
}

// A domain list that cannot be read ends the run, never as a success: a
// code whose low 8 bits are 0 ends as the platform maps it (Linux: 1,
// RunExitTest; Windows: the code itself).
TEST_F(ExecutorTest, DomainListFailureIsFramedAndNeverEndsAsSuccess) {
  for (int code : {ldap_result::kUnwillingToPerform, 256}) {
    EXPECT_NE(0, ExitStatusOf(ProcessExitStatus(code)));
    client_.FailOnDn(FakeOp::kSearch,
                     "CN=Partitions,CN=Configuration,DC=corp,DC=example,DC=com",
                     code, "busy");
    config_.action = ActionCode::kView;
    config_.domainPolicySelected = true;
    config_.allDomainsForDomainPolicy = true;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", code);
    EXPECT_RUN_ENDS(
        ExecuteToEnd(), ProcessExitStatus(code),
        Eq(std::string(kHost) + "ERROR:\n" +
           "ERROR: GetDomainList (LDAP): : [dc1.corp.example.com] Error 0x" +
           hex + " (" + std::to_string(code) + ") - " +
           FakeLdapErrorText(code) +
           "\n"
           "Extended Error: busy\n"
           "ERROR:\n"
           "\nThe command did not complete successfully.\n"));
  }
}

TEST_F(ForestTest, DomainPolicyLocatorFailureIsASystemError) {
  locator_.SetAnswer("", kAlphaDns, locator_error::kNoSuchDomain);
  config_.action = ActionCode::kView;
  config_.domainPolicySelected = true;
  config_.allDomainsForDomainPolicy = true;
  EXPECT_RUN_ENDS(ExecuteToEnd(), 1355,
                  Eq(std::string(kHost) +
                     "Retrieving Domain Policy...\n"
                     "ERROR:\n"
                     "ERROR: GetDomGPOs (1355) " +
                     SystemMessageText(1355) +
                     "ERROR:\n"
                     "\nThe command did not complete successfully.\n"));
}

TEST_F(ExecutorTest, PsoSearchOfAMissingBaseReadsAsNoMatchingPsos) {
  client_.FailOnDn(FakeOp::kSearch, kCorpDn, ldap_result::kNoSuchObject);
  View();
  EXPECT_RUN_ENDS(ExecuteToEnd(), 32,
                  Eq(std::string(kHost) +
                     "Retrieving PSOs...\n"
                     "ERROR:\n"
                     "ERROR: No matching PSOs found.\n"
                     "ERROR:\n"
                     "\nThe command did not complete successfully.\n"));
}

TEST_F(ExecutorTest, PsoSearchFailureIsReportedWithTheServersText) {
  client_.FailOnDn(FakeOp::kSearch, kCorpDn, ldap_result::kUnwillingToPerform,
                   "0000209A: unwilling");
  View();
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), 53,
      Eq(std::string(kHost) +
         "Retrieving PSOs...\n"
         "ERROR:\n"
         "ERROR: GetPSOs (LDAP): : [dc1.corp.example.com] Error 0x35 (53) - " +
         FakeLdapErrorText(53) +
         "\n"
         "Extended Error: 0000209A: unwilling\n"
         "ERROR:\n"
         "\nThe command did not complete successfully.\n"));
}

TEST_F(ForestTest, PsoOfADomainWithoutLocatableControllerIsASystemError) {
  locator_.SetAnswer("", kChildDns, 1722);
  View();
  config_.allDomainsForPsos = true;
  EXPECT_RUN_ENDS(ExecuteToEnd(), 1722,
                  Eq(std::string(kHost) +
                     "Retrieving PSOs...\n"
                     "  Using GC: HQ\\dc1.corp.example.com\n"
                     "ERROR:\n"
                     "ERROR: GetPSOs (1722) " +
                     SystemMessageText(1722) +
                     "ERROR:\n"
                     "\nThe command did not complete successfully.\n"));
}

TEST_F(ForestTest, GlobalCatalogLocatorFailureEndsWithTheLocatorsCode) {
  locator_.SetAnswer("mygc", kCorpDns, locator_error::kNoSuchDomain);
  View();
  config_.allDomainsForPsos = true;
  config_.gcHost = "mygc";
  EXPECT_RUN_ENDS(ExecuteToEnd(), 1355,
                  Eq(std::string(kHost) +
                     "Retrieving PSOs...\n"
                     "ERROR:\n"
                     "ERROR: DsGetDcName (1355) " +
                     SystemMessageText(1355) + "ERROR:\n"));
}

TEST_F(ForestTest, GlobalCatalogConnectionFailureEndsWithTheOpenStatus) {
  locator_.SetAnswer("gc", kCorpDns, 0,
                     {.name = "gc.corp.example.com", .site = "HQ"});
  View();
  config_.allDomainsForPsos = true;
  config_.gcHost = "gc";
  EXPECT_RUN_ENDS(
      ExecuteToEnd(), ldap_result::kServerDown,
      AllOf(StartsWith(std::string(kHost) +
                       "Retrieving PSOs...\n"
                       "  Using GC: HQ\\gc.corp.example.com\n"),
            EndsWith("\nThe command did not complete successfully.\n")));
}

// -add reads only the PSOs its checks can find something in: the one of its
// name, those of its precedence, those of its counts and switches (whose
// durations the check compares). Its warnings stay what a read of every PSO
// gives.
TEST_F(ExecutorTest, AddReadsOnlyThePsosItsChecksConcern) {
  const FakeAttributes longer = {{"msDS-MinimumPasswordLength", {"12"}}};
  Corp().AddPso(kCorpDn, "same-precedence", 40, longer);
  Corp().AddPso(kCorpDn, "same-settings", 50);
  Corp().AddPso(kCorpDn, "unrelated", 60, longer);
  config_.action = ActionCode::kAdd;
  config_.psoSelected = true;
  config_.override = true;
  config_.addSpec = PolicyRecord(true);
  config_.addSpec.SetName("new");
  config_.addSpec.SetPrecedence("40");
  // The fake's PSOs' settings.
  for (auto [id, text] : {std::pair{SettingId::kLockoutThreshold, "0"},
                          {SettingId::kLockoutDuration, "30"},
                          {SettingId::kLockoutObservation, "30"},
                          {SettingId::kMinPwdAge, "1"},
                          {SettingId::kMaxPwdAge, "42"},
                          {SettingId::kMinPwdLength, "8"}}) {
    config_.addSpec.SetSetting(id, text);
  }

  RunResult result = Execute();
  EXPECT_EQ(0, result.status) << result.out << result.err;
  std::size_t read = 0;
  for (const FakeRequest& search : client_.Requests(FakeOp::kSearch)) {
    if (search.search.filter.find("msDS-PasswordSettings") != std::string::npos)
      read += search.entriesReturned;
  }
  EXPECT_EQ(2u, read);
  EXPECT_THAT(result.out, HasSubstr("Policy Setting object - same-settings"));
  EXPECT_THAT(result.out, HasSubstr("Policy Setting object - same-precedence"));
  EXPECT_THAT(result.out, Not(HasSubstr("unrelated")));
}

}  // namespace
}  // namespace talvex::executor_test

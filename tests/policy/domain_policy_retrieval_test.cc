#include "policy/domain_policy_retrieval.h"

#include <gtest/gtest.h>

#include "output_capture.h"
#include "policy/retrieval_fixture.h"

namespace talvex {
namespace {

class DomainPolicyRetrievalTest : public RetrievalTest {
 protected:
  // One domain; its head carries the attributes given on top of the
  // provisioned default policy.
  void SetUpCorp(const FakeAttributes& head = {}) {
    FakeDirectory& corp = AddDomain(kCorpDc, kCorpDn, "corp.example.com");
    for (const auto& [attribute, values] : head) {
      corp.SetValues(kCorpDn, attribute, values);
    }
  }

  bool Read(const std::string& domainDn, bool allDomains,
            std::vector<std::string> domainList = {}) {
    OutputCapture capture;  // the report of a failed open goes here
    bool ok = GetDomGPOs(access_, &policies_, domainDn, allDomains,
                         std::move(domainList), &ldapError_, &systemError_);
    capture.Stop();
    output_ = capture.Stdout();
    return ok;
  }

  PolicyList policies_;
  int ldapError_ = -99;
  int systemError_ = -99;
  std::string output_;
};

TEST_F(DomainPolicyRetrievalTest, ReadsTheHeadIntoADomainPolicyRecord) {
  SetUpCorp({{"maxPwdAge", {"-9223372036854775808"}},
             {"lockoutDuration", {"-18000000000"}},
             {"lockoutThreshold", {"10"}},
             {"minPwdLength", {"12"}}});
  // The selected domain DN as the user typed it; the key is lower-cased.
  ASSERT_TRUE(Read("DC=Corp,DC=Example,DC=Com", false));
  EXPECT_EQ(0, ldapError_);
  EXPECT_EQ(0, systemError_);
  ASSERT_EQ(1u, policies_.size());
  ASSERT_EQ("dc=corp,dc=example,dc=com", policies_.begin()->first);
  const PolicyRecord& record = policies_.begin()->second;
  EXPECT_FALSE(record.isPSO());
  EXPECT_EQ(2147483647, record.precedence());
  EXPECT_EQ("corp", record.name());
  EXPECT_EQ("corp", record.displayName());
  EXPECT_EQ("corp", record.adminDisplayName());
  EXPECT_EQ("corp.example.com", record.domain());
  EXPECT_EQ("corp.example.com/", record.canonicalName());
  EXPECT_EQ(-1, record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(30, record.Value(SettingId::kLockoutDuration));
  EXPECT_EQ(30, record.Value(SettingId::kLockoutObservation));
  EXPECT_EQ(10, record.Value(SettingId::kLockoutThreshold));
  EXPECT_EQ(1, record.Value(SettingId::kMinPwdAge));
  EXPECT_EQ(12, record.Value(SettingId::kMinPwdLength));
  EXPECT_EQ(24, record.Value(SettingId::kPwdHistory));

  // A base read of the head, from the located writable controller.
  ASSERT_EQ(1u, locator_.Calls().size());
  EXPECT_EQ("corp.example.com", locator_.Calls()[0].domain);
  EXPECT_EQ(0x21010u, locator_.Calls()[0].flags);
  FakeRequest search = client_.Last(FakeOp::kSearch);
  EXPECT_EQ(kCorpDc, search.host);
  EXPECT_EQ(LdapScope::kBase, search.search.scope);
  EXPECT_EQ("(objectclass=*)", search.search.filter);
  EXPECT_EQ(2, search.pageSize);
}

TEST_F(DomainPolicyRetrievalTest,
       PwdPropertiesBitsGiveComplexityAndReversible) {
  SetUpCorp();
  const struct {
    const char* properties;
    bool complexity;
    bool reversible;
  } cases[] = {{"1", true, false},  {"17", true, true}, {"16", false, true},
               {"0", false, false}, {"19", true, true}, {"2", false, false}};
  for (const auto& c : cases) {
    client_.Domain(kCorpDn).SetValues(kCorpDn, "pwdProperties", {c.properties});
    policies_.clear();
    ASSERT_TRUE(Read(kCorpDn, false)) << c.properties;
    const PolicyRecord& record = policies_.at("dc=corp,dc=example,dc=com");
    EXPECT_EQ(c.complexity, record.complexity()) << c.properties;
    EXPECT_EQ(c.reversible, record.reversible()) << c.properties;
    // Kept as read, so that a change of the two bits keeps the others.
    EXPECT_EQ(c.properties, record.rawProperties());
  }
  // The controller was bound once; later reads came from the cache.
  EXPECT_EQ(1, client_.Count(FakeOp::kNegotiateBind) +
                   client_.Count(FakeOp::kSimpleBind));

  client_.Domain(kCorpDn).SetValues(kCorpDn, "pwdProperties", {});
  policies_.clear();
  ASSERT_TRUE(Read(kCorpDn, false));
  const PolicyRecord& record = policies_.at("dc=corp,dc=example,dc=com");
  EXPECT_FALSE(record.complexity());
  EXPECT_FALSE(record.reversible());
  EXPECT_EQ("", record.rawProperties());
}

TEST_F(DomainPolicyRetrievalTest, OnlyTheSelectedDomainWithoutAllDomains) {
  SetUpCorp();
  AddDomain(kChildDc, kChildDn, "child.corp.example.com");
  ASSERT_TRUE(Read(kChildDn, false, {kCorpDn, kChildDn}));
  ASSERT_EQ(1u, policies_.size());
  EXPECT_EQ("dc=child,dc=corp,dc=example,dc=com", policies_.begin()->first);
  EXPECT_EQ("child.corp.example.com", policies_.begin()->second.domain());
}

TEST_F(DomainPolicyRetrievalTest, AllDomainsWithAnEmptyListReadsNothing) {
  SetUpCorp();
  ASSERT_TRUE(Read(kCorpDn, true, {}));
  EXPECT_TRUE(policies_.empty());
  EXPECT_TRUE(locator_.Calls().empty());
  EXPECT_EQ(0, client_.Count(FakeOp::kSearch));
}

TEST_F(DomainPolicyRetrievalTest, AllDomainsReadsEachFromItsOwnController) {
  SetUpCorp();
  AddDomain(kChildDc, kChildDn, "child.corp.example.com");
  AddDomain(kAlphaDc, kAlphaDn, "alpha.org");
  client_.Domain(kChildDn).SetValues(kChildDn, "minPwdLength", {"14"});
  client_.Domain(kAlphaDn).SetValues(kAlphaDn, "minPwdLength", {"9"});
  // The run's main connection is already in the cache.
  MainConnection(kCorpDc);
  client_.ClearLog();

  ASSERT_TRUE(Read(kCorpDn, true, {kCorpDn, kChildDn, kAlphaDn}));
  ASSERT_EQ(3u, policies_.size());
  EXPECT_EQ(7, policies_.at("dc=corp,dc=example,dc=com")
                   .Value(SettingId::kMinPwdLength));
  EXPECT_EQ(14, policies_.at("dc=child,dc=corp,dc=example,dc=com")
                    .Value(SettingId::kMinPwdLength));
  EXPECT_EQ(9, policies_.at("dc=alpha,dc=org").Value(SettingId::kMinPwdLength));

  // No second bind to the main controller; one for each other domain.
  std::vector<std::string> bound;
  for (const FakeRequest& request : client_.Requests()) {
    if (request.kind == FakeOp::kSimpleBind ||
        request.kind == FakeOp::kNegotiateBind) {
      bound.push_back(request.host);
    }
  }
  EXPECT_EQ((std::vector<std::string>{kChildDc, kAlphaDc}), bound);
  std::vector<std::string> searched;
  for (const FakeRequest& request : client_.Requests(FakeOp::kSearch)) {
    searched.push_back(request.host + " " + request.search.base);
  }
  EXPECT_EQ((std::vector<std::string>{std::string(kCorpDc) + " " + kCorpDn,
                                      std::string(kChildDc) + " " + kChildDn,
                                      std::string(kAlphaDc) + " " + kAlphaDn}),
            searched);
  EXPECT_EQ(3u, cache_.size());
}

TEST_F(DomainPolicyRetrievalTest, SameDomainTwiceLeavesOneRecord) {
  SetUpCorp();
  ASSERT_TRUE(Read(kCorpDn, true, {kCorpDn, "dc=corp,dc=example,dc=com"}));
  EXPECT_EQ(1u, policies_.size());
}

TEST_F(DomainPolicyRetrievalTest, LocatorFailureKeepsDomainsReadBefore) {
  SetUpCorp();
  client_.AddDomain(kChildDc, kChildDn);  // the locator does not know it
  AddDomain(kAlphaDc, kAlphaDn, "alpha.org");
  EXPECT_FALSE(Read(kCorpDn, true, {kCorpDn, kChildDn, kAlphaDn}));
  EXPECT_EQ(locator_error::kNoSuchDomain, systemError_);
  EXPECT_EQ(0, ldapError_);
  ASSERT_EQ(1u, policies_.size());
  EXPECT_EQ(1u, policies_.count("dc=corp,dc=example,dc=com"));
}

TEST_F(DomainPolicyRetrievalTest, SearchAndBindFailuresGiveTheLdapCode) {
  SetUpCorp();
  AddDomain(kChildDc, kChildDn, "child.corp.example.com");
  client_.FailOnDn(FakeOp::kSearch, kChildDn, 50);
  EXPECT_FALSE(Read(kCorpDn, true, {kCorpDn, kChildDn}));
  EXPECT_EQ(50, ldapError_);
  EXPECT_EQ(0, systemError_);
  EXPECT_EQ(1u, policies_.size());

  policies_.clear();
  AddDomain(kAlphaDc, kAlphaDn, "alpha.org");
  client_.FailBind(kAlphaDc, 49);
  EXPECT_FALSE(Read(kAlphaDn, false));
  EXPECT_EQ(49, ldapError_);
  EXPECT_EQ(0, systemError_);
  EXPECT_TRUE(policies_.empty());
}

TEST_F(DomainPolicyRetrievalTest, DebugLinesAndDump) {
  SetUpCorp();
  Output().debugLevel = 1;
  ASSERT_TRUE(Read(kCorpDn, false));
  EXPECT_EQ(0u, output_.find("DEBUG: Retrieving Domain Policy Settings...\n"
                             "DEBUG:   Domain: DC=corp,DC=example,DC=com\n"));
  EXPECT_NE(std::string::npos,
            output_.find("DEBUG: Domain Policy\n"
                         "DEBUG:   PSO                : FALSE\n"
                         "DEBUG:   Domain             : corp.example.com\n"));
  EXPECT_NE(std::string::npos,
            output_.find("DEBUG:   Policy Precedence  : 2147483647\n"));
}

}  // namespace
}  // namespace talvex

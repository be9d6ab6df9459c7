#include "directory/openldap/dns_dc_locator.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/text_case.h"

namespace talvex {
namespace {

constexpr std::uint32_t kDcFlags = 0x21010;      // DS, writable, DNS name
constexpr std::uint32_t kFlatDcFlags = 0x11010;  // DS, writable, flat name
constexpr std::uint32_t kGcFlags = 0x21050;

constexpr std::uint32_t kWritableDc =
    netlogon_flags::kDirectoryService | netlogon_flags::kWritable |
    netlogon_flags::kLdap | netlogon_flags::kClosest;

NetlogonResponse Answer(const std::string& host, const std::string& domain,
                        const std::string& netbios, std::uint32_t flags,
                        const std::string& site = "HQ",
                        const std::string& clientSite = "HQ") {
  NetlogonResponse response;
  response.opcode = kLogonSamLogonResponseEx;
  response.flags = flags;
  response.dnsForestName = domain;
  response.dnsDomainName = domain;
  response.dnsHostName = host;
  response.netbiosDomainName = netbios;
  response.dcSiteName = site;
  response.clientSiteName = clientSite;
  return response;
}

// Hand-made DNS and ping answers; records what was asked.
class FakeNetwork : public LocatorNetwork {
 public:
  SrvLookupStatus LookupSrv(const std::string& name,
                            std::vector<SrvRecord>* records) override {
    lookups.push_back(name);
    auto it = srv.find(name);
    if (it == srv.end()) return SrvLookupStatus::kNotFound;
    *records = it->second;
    return SrvLookupStatus::kFound;
  }
  PingOutcome Ping(const std::string& host, const std::string& dnsDomain,
                   NetlogonResponse* response,
                   std::string* responder) override {
    pings.push_back(host + "|" + dnsDomain);
    if (malformed.count(host) != 0) return PingOutcome::kMalformed;
    auto it = answers.find(host);
    if (it == answers.end()) return PingOutcome::kNoAnswer;
    if (silentToOtherDomains.count(host) != 0 && !dnsDomain.empty() &&
        dnsDomain != it->second.dnsDomainName) {
      return PingOutcome::kNoAnswer;
    }
    *response = it->second;
    *responder = AddressOf(host);
    return PingOutcome::kAnswered;
  }
  // Every name has one address of its own unless addresses says otherwise.
  std::vector<std::string> ResolveAddresses(const std::string& name) override {
    resolved.push_back(name);
    auto it = addresses.find(AsciiLowerCase(name));
    if (it != addresses.end()) return it->second;
    return {AddressOf(name)};
  }
  static std::string AddressOf(const std::string& name) {
    return "address-of-" + AsciiLowerCase(name);
  }
  std::string KerberosDefaultRealm() override { return realm; }
  std::vector<std::string> SearchDomains() override { return searchDomains; }

  std::vector<std::string> resolved;  // names asked of DNS after a ping

  void AddDc(const std::string& srvName, const std::string& host,
             const NetlogonResponse& answer, std::uint16_t priority = 0) {
    srv[srvName].push_back(
        {.priority = priority, .weight = 100, .port = 389, .target = host});
    answers[host] = answer;
  }

  std::map<std::string, std::vector<SrvRecord>> srv;
  std::map<std::string, NetlogonResponse> answers;
  // Hosts that ignore a ping for a domain they do not serve.
  std::set<std::string> silentToOtherDomains;
  std::set<std::string> malformed;
  std::map<std::string, std::vector<std::string>> addresses;
  std::string realm;
  std::vector<std::string> searchDomains;
  std::vector<std::string> lookups;
  std::vector<std::string> pings;
};

const std::string kCorpDcs = "_ldap._tcp.dc._msdcs.corp.example.com";

class DnsDcLocatorTest : public testing::Test {
 protected:
  DnsDcLocatorTest() {
    auto owned = std::make_unique<FakeNetwork>();
    network_ = owned.get();
    locator_ = MakeDnsDcLocator(std::move(owned));
  }

  int Locate(const std::string& computer, const std::string& domain,
             std::uint32_t flags) {
    return locator_->Locate(computer, domain, flags, &info_);
  }

  FakeNetwork* network_;
  std::unique_ptr<DcLocator> locator_;
  DomainControllerInfo info_;
};

TEST_F(DnsDcLocatorTest, TakesTheFirstControllerWithTheRequiredFlags) {
  // A read-only controller answers first and is passed over for a
  // writable locate.
  network_->AddDc(kCorpDcs, "rodc.corp.example.com",
                  Answer("rodc.corp.example.com", "corp.example.com", "CORP",
                         kWritableDc & ~netlogon_flags::kWritable));
  network_->AddDc(kCorpDcs, "dc2.corp.example.com",
                  Answer("DC2.corp.example.com", "corp.example.com", "CORP",
                         kWritableDc, "HQ", "Branch"));
  ASSERT_EQ(Locate("", "corp.example.com", kDcFlags), 0);
  // The name comes from the controller's own answer.
  EXPECT_EQ(info_.name, "DC2.corp.example.com");
  EXPECT_EQ(info_.dcSiteName, "HQ");
  EXPECT_EQ(info_.clientSiteName, "Branch");
  EXPECT_EQ(network_->pings, (std::vector<std::string>{
                                 "rodc.corp.example.com|corp.example.com",
                                 "dc2.corp.example.com|corp.example.com"}));
  // Without the writable flag the read-only one will do.
  ASSERT_EQ(Locate("", "corp.example.com", 0x20010), 0);
  EXPECT_EQ(info_.name, "rodc.corp.example.com");
}

TEST_F(DnsDcLocatorTest, UnknownDomainOrNoSuitableControllerIsNoSuchDomain) {
  info_.name = "stale";
  EXPECT_EQ(Locate("", "nowhere.example.net", kDcFlags), 1355);
  EXPECT_EQ(info_.name, "");
  EXPECT_EQ(info_.dcSiteName, "");
  EXPECT_EQ(info_.clientSiteName, "");
  // Records exist but nobody answers, or answers for another domain.
  network_->srv[kCorpDcs] = {{.target = "dead.corp.example.com"}};
  network_->AddDc(
      kCorpDcs, "stray.example.org",
      Answer("stray.example.org", "example.org", "STRAY", kWritableDc));
  EXPECT_EQ(Locate("", "corp.example.com", kDcFlags), 1355);
  EXPECT_EQ(info_.name, "");
}

TEST_F(DnsDcLocatorTest, RejectsContradictoryFlagsAndMalformedNames) {
  EXPECT_EQ(Locate("", "corp.example.com", 0x31010), 1004);
  EXPECT_EQ(Locate("", "corp..example.com", kDcFlags), 1212);
  EXPECT_EQ(Locate("", "corp example.com", kDcFlags), 1212);
  EXPECT_EQ(Locate("", "MUCH-TOO-LONG-NETBIOS", kFlatDcFlags), 1212);
  EXPECT_TRUE(network_->lookups.empty());
  // A trailing dot is the same DNS name.
  network_->AddDc(
      kCorpDcs, "dc1.corp.example.com",
      Answer("dc1.corp.example.com", "corp.example.com", "CORP", kWritableDc));
  EXPECT_EQ(Locate("", "corp.example.com.", kDcFlags), 0);
}

TEST_F(DnsDcLocatorTest, GlobalCatalogIsLookedUpUnderTheForest) {
  network_->AddDc("_ldap._tcp.gc._msdcs.corp.example.com",
                  "dc1.corp.example.com",
                  Answer("dc1.corp.example.com", "corp.example.com", "CORP",
                         kWritableDc));  // not a global catalog
  network_->AddDc(
      "_ldap._tcp.gc._msdcs.corp.example.com", "gc.child.corp.example.com", [] {
        NetlogonResponse r =
            Answer("gc.child.corp.example.com", "child.corp.example.com",
                   "CHILD", kWritableDc | netlogon_flags::kGlobalCatalog);
        r.dnsForestName = "corp.example.com";
        return r;
      }());
  ASSERT_EQ(Locate("", "corp.example.com", kGcFlags), 0);
  EXPECT_EQ(info_.name, "gc.child.corp.example.com");
}

TEST_F(DnsDcLocatorTest, FlatNameIsFoundThroughTheDomainsThisMachineKnows) {
  network_->searchDomains = {"other.test", "corp.example.com"};
  network_->AddDc("_ldap._tcp.dc._msdcs.other.test", "dc.other.test",
                  Answer("dc.other.test", "other.test", "OTHER", kWritableDc));
  network_->AddDc(
      kCorpDcs, "dc1.corp.example.com",
      Answer("dc1.corp.example.com", "corp.example.com", "CORP", kWritableDc));
  ASSERT_EQ(Locate("", "corp", kFlatDcFlags), 0);
  EXPECT_EQ(info_.name, "dc1.corp.example.com");
  // The domain whose first label is the flat name is tried first.
  ASSERT_FALSE(network_->lookups.empty());
  EXPECT_EQ(network_->lookups.front(), kCorpDcs);

  // A flat name whose first label matches nothing: the controller's NetBIOS
  // domain decides.
  network_->answers["dc.other.test"].netbiosDomainName = "LEGACY";
  ASSERT_EQ(Locate("", "LEGACY", kFlatDcFlags), 0);
  EXPECT_EQ(info_.name, "dc.other.test");
  EXPECT_EQ(Locate("", "NOSUCH", kFlatDcFlags), 1355);
}

TEST_F(DnsDcLocatorTest, EmptyDomainIsTheKerberosRealmElseTheSearchDomain) {
  network_->AddDc(
      kCorpDcs, "dc1.corp.example.com",
      Answer("dc1.corp.example.com", "corp.example.com", "CORP", kWritableDc));
  network_->searchDomains = {"corp.example.com"};
  network_->realm = "CORP.EXAMPLE.COM";
  ASSERT_EQ(Locate("", "", kFlatDcFlags), 0);
  EXPECT_EQ(network_->lookups, std::vector<std::string>{kCorpDcs});
  network_->realm = "";
  ASSERT_EQ(Locate("", "", kFlatDcFlags), 0);
  EXPECT_EQ(info_.name, "dc1.corp.example.com");
  network_->searchDomains = {};
  EXPECT_EQ(Locate("", "", kFlatDcFlags), 1355);
}

TEST_F(DnsDcLocatorTest, ComputerThatIsASuitableControllerIsTheAnswer) {
  network_->AddDc(
      kCorpDcs, "dc1.corp.example.com",
      Answer("dc1.corp.example.com", "corp.example.com", "CORP", kWritableDc));
  network_->answers["dc2"] = Answer("dc2.corp.example.com", "corp.example.com",
                                    "CORP", kWritableDc, "Branch");
  // "dc2" is a short name of the host that calls itself dc2.corp...
  network_->addresses["dc2.corp.example.com"] = {FakeNetwork::AddressOf("dc2")};
  ASSERT_EQ(Locate("dc2", "corp.example.com", kDcFlags), 0);
  EXPECT_EQ(info_.name, "dc2.corp.example.com");
  EXPECT_EQ(info_.dcSiteName, "Branch");
  EXPECT_TRUE(network_->lookups.empty());
  EXPECT_EQ(network_->pings, std::vector<std::string>{"dc2|corp.example.com"});
  // With no domain, the computer's own domain will do.
  ASSERT_EQ(Locate("dc2", "", kFlatDcFlags), 0);
  EXPECT_EQ(info_.name, "dc2.corp.example.com");
  EXPECT_EQ(network_->pings.back(), "dc2|");
}

TEST_F(DnsDcLocatorTest, ComputerThatAnswersButDoesNotSuitFallsBackToDns) {
  network_->AddDc(
      kCorpDcs, "dc1.corp.example.com",
      Answer("dc1.corp.example.com", "corp.example.com", "CORP", kWritableDc));
  network_->answers["rodc"] =
      Answer("rodc.corp.example.com", "corp.example.com", "CORP",
             kWritableDc & ~netlogon_flags::kWritable);
  network_->answers["foreign"] =
      Answer("dc.example.org", "example.org", "ORG", kWritableDc);
  network_->answers["silent"] =
      Answer("dc.example.net", "example.net", "NET", kWritableDc);
  network_->silentToOtherDomains.insert("silent");
  struct Case {
    const char* computer;
    int status;
    const char* name;
  };
  // A computer that does not answer at all fails the locate.
  for (const Case& c : {Case{"rodc", 0, "dc1.corp.example.com"},
                        Case{"foreign", 0, "dc1.corp.example.com"},
                        Case{"silent", 0, "dc1.corp.example.com"},
                        Case{"workstation", 1722, ""}}) {
    EXPECT_EQ(Locate(c.computer, "corp.example.com", kDcFlags), c.status)
        << c.computer;
    EXPECT_EQ(info_.name, c.name) << c.computer;
  }
}

// The answer's host name is where the run binds: it must lead back to the
// address that answered, or the locate fails before any connection.
TEST_F(DnsDcLocatorTest, AnswerNamingAnotherHostIsRefusedWithBothNamed) {
  network_->AddDc(
      kCorpDcs, "dc1.corp.example.com",
      Answer("evil.corp.example.com", "corp.example.com", "CORP", kWritableDc));
  network_->answers["10.0.0.5"] =
      Answer("evil.corp.example.com", "corp.example.com", "CORP", kWritableDc);
  network_->answers["10.0.0.6"] =
      Answer("dc6.corp.example.com", "corp.example.com", "CORP", kWritableDc);
  network_->addresses["evil.corp.example.com"] = {"10.0.0.66"};
  network_->addresses["dc6.corp.example.com"] = {"fe80::6", "address-of-10.0.0.6"};
  network_->malformed.insert("garbled");
  struct Case {
    const char* computer;
    int status;
    const char* name;
    const char* problem;
  };
  for (const Case& c :
       {Case{"", 1355, "",
             "The controller at address-of-dc1.corp.example.com "
             "(dc1.corp.example.com) answered the locator ping as "
             "evil.corp.example.com, which resolves to 10.0.0.66; nothing was "
             "sent to either."},
        Case{"10.0.0.5", 1355, "",
             "The controller at address-of-10.0.0.5 (10.0.0.5) answered the "
             "locator ping as evil.corp.example.com, which resolves to "
             "10.0.0.66; nothing was sent to either."},
        // An address whose host name leads back to it is the usual -h.
        Case{"10.0.0.6", 0, "dc6.corp.example.com", ""},
        Case{"garbled", 1722, "",
             "The answer of garbled to the locator ping was malformed."}}) {
    EXPECT_EQ(Locate(c.computer, "corp.example.com", kDcFlags), c.status)
        << c.computer;
    EXPECT_EQ(info_.name, c.name) << c.computer;
    EXPECT_EQ(info_.problem, c.problem) << c.computer;
  }
}

// The ping went to the address of the name the answer gives (whatever its
// case and final dot): no second DNS question is needed to trust it.
TEST_F(DnsDcLocatorTest, AnswerNamingThePingedHostIsTakenWithoutAskingDnsAgain) {
  network_->AddDc(
      kCorpDcs, "dc1.corp.example.com.",
      Answer("DC1.Corp.Example.com", "corp.example.com", "CORP", kWritableDc));
  ASSERT_EQ(Locate("", "corp.example.com", kDcFlags), 0);
  EXPECT_EQ(info_.name, "DC1.Corp.Example.com");
  EXPECT_TRUE(network_->resolved.empty());
}

TEST_F(DnsDcLocatorTest, PrefersAControllerInTheClientsSite) {
  // dc1 is in HQ and says the client is in Branch (no "closest" flag).
  network_->AddDc(
      kCorpDcs, "dc1.corp.example.com",
      Answer("dc1.corp.example.com", "corp.example.com", "CORP",
             kWritableDc & ~netlogon_flags::kClosest, "HQ", "Branch"));
  network_->AddDc("_ldap._tcp.Branch._sites.dc._msdcs.corp.example.com",
                  "dc3.corp.example.com",
                  Answer("dc3.corp.example.com", "corp.example.com", "CORP",
                         kWritableDc, "Branch", "Branch"));
  ASSERT_EQ(Locate("", "corp.example.com", kDcFlags), 0);
  EXPECT_EQ(info_.name, "dc3.corp.example.com");
  EXPECT_EQ(info_.dcSiteName, "Branch");
  // No controller in that site: the first one stays.
  network_->srv.erase("_ldap._tcp.Branch._sites.dc._msdcs.corp.example.com");
  ASSERT_EQ(Locate("", "corp.example.com", kDcFlags), 0);
  EXPECT_EQ(info_.name, "dc1.corp.example.com");
}

TEST_F(DnsDcLocatorTest, StopsAfterABoundedNumberOfPings) {
  for (int i = 0; i < 30; ++i) {
    network_->srv[kCorpDcs].push_back(
        {.target = "dead" + std::to_string(i) + ".corp.example.com"});
  }
  EXPECT_EQ(Locate("", "corp.example.com", kDcFlags), 1355);
  EXPECT_EQ(network_->pings.size(), 10u);
}

}  // namespace
}  // namespace talvex

// The DNS + CLDAP locator against the lab's Samba AD domain controller.
#include <gtest/gtest.h>

#include <chrono>

#include "directory/openldap/cldap_ping.h"
#include "directory/openldap/dns_dc_locator.h"
#include "directory/openldap/platform_lab.h"

namespace talvex {
namespace {

constexpr std::uint32_t kDcFlags = 0x21010;
constexpr std::uint32_t kFlatDcFlags = 0x11010;
constexpr std::uint32_t kGcFlags = 0x21050;
const std::string kLabSite = "Default-First-Site-Name";

class LabDnsDcLocatorTest : public testing::Test {
 protected:
  void SetUp() override {
    TALVEX_REQUIRE_PLATFORM_LAB();
    locator_ = MakeDnsDcLocator();
  }

  std::string Lab(const char* name) const { return lab_->Value(name); }

  void ExpectDc1() {
    EXPECT_EQ(info_.name, Lab("LAB_DC_HOST"));
    EXPECT_EQ(info_.dcSiteName, kLabSite);
    EXPECT_EQ(info_.clientSiteName, kLabSite);
  }

  const PlatformLab* lab_ = nullptr;
  std::unique_ptr<DcLocator> locator_;
  DomainControllerInfo info_;
};

TEST_F(LabDnsDcLocatorTest, PingAnswersWithTheControllersNamesAndFlags) {
  NetlogonResponse response;
  std::string responder;
  ASSERT_EQ(PingDomainController(Lab("LAB_DC_IP"), Lab("LAB_DOMAIN"),
                                 std::chrono::milliseconds(1000), &response,
                                 &responder),
            PingOutcome::kAnswered);
  EXPECT_EQ(responder, Lab("LAB_DC_IP"));
  EXPECT_EQ(response.opcode, kLogonSamLogonResponseEx);
  EXPECT_EQ(response.dnsHostName, Lab("LAB_DC_HOST"));
  EXPECT_EQ(response.dnsDomainName, Lab("LAB_DOMAIN"));
  EXPECT_EQ(response.dnsForestName, Lab("LAB_DOMAIN"));
  EXPECT_EQ(response.netbiosDomainName, Lab("LAB_NETBIOS"));
  EXPECT_EQ(response.netbiosComputerName, "DC1");
  EXPECT_EQ(response.dcSiteName, kLabSite);
  for (std::uint32_t flag :
       {netlogon_flags::kPdc, netlogon_flags::kGlobalCatalog,
        netlogon_flags::kLdap, netlogon_flags::kDirectoryService,
        netlogon_flags::kKdc, netlogon_flags::kWritable}) {
    EXPECT_NE(response.flags & flag, 0u) << std::hex << flag;
  }
}

TEST_F(LabDnsDcLocatorTest, FindsTheControllerThroughDnsAndPing) {
  ASSERT_EQ(locator_->Locate("", Lab("LAB_DOMAIN"), kDcFlags, &info_), 0);
  ExpectDc1();
}

TEST_F(LabDnsDcLocatorTest, FindsTheGlobalCatalog) {
  ASSERT_EQ(locator_->Locate("", Lab("LAB_DOMAIN"), kGcFlags, &info_), 0);
  ExpectDc1();
}

TEST_F(LabDnsDcLocatorTest, FlatAndEmptyDomainNames) {
  // The NetBIOS name, through the namespace's search domain.
  ASSERT_EQ(locator_->Locate("", Lab("LAB_NETBIOS"), kFlatDcFlags, &info_), 0);
  ExpectDc1();
  // This machine's domain: the realm of the lab's krb5.conf...
  ASSERT_EQ(locator_->Locate("", "", kFlatDcFlags, &info_), 0);
  ExpectDc1();
  // ...and without one, the resolver's search domain.
  ScopedEnvironment noConfig("KRB5_CONFIG", "/nonexistent/talvex-krb5.conf");
  ASSERT_EQ(locator_->Locate("", "", kFlatDcFlags, &info_), 0);
  ExpectDc1();
}

TEST_F(LabDnsDcLocatorTest, UnknownDomainIsNoSuchDomain) {
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(locator_->Locate("", "nosuch.example.com", kDcFlags, &info_), 1355);
  EXPECT_EQ(locator_->Locate("", "NOSUCH", kFlatDcFlags, &info_), 1355);
  EXPECT_EQ(info_.name, "");
  EXPECT_EQ(info_.dcSiteName, "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

TEST_F(LabDnsDcLocatorTest, ComputerGivenIsPingedDirectly) {
  ASSERT_EQ(locator_->Locate("dc1", Lab("LAB_DOMAIN"), kDcFlags, &info_), 0);
  ExpectDc1();
  ASSERT_EQ(locator_->Locate(Lab("LAB_DC_IP"), "", kFlatDcFlags, &info_), 0);
  ExpectDc1();
  // A computer that does not answer fails the locate (1722), after the
  // ping's time-out and one more ping asking for no domain.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(locator_->Locate("10.99.0.99", Lab("LAB_DOMAIN"), kDcFlags, &info_),
            1722);
  EXPECT_EQ(info_.name, "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

}  // namespace
}  // namespace talvex

#include "directory/server_info.h"

#include <gtest/gtest.h>

#include "fakes/fake_ldap_client.h"

namespace talvex {
namespace {

constexpr char kGate[] = "1.2.840.113556.1.4.1791";
constexpr char kAd2000[] = "1.2.840.113556.1.4.800";
constexpr char kAd2003[] = "1.2.840.113556.1.4.1670";
constexpr char kAdam[] = "1.2.840.113556.1.4.1851";
constexpr char kLonghorn[] = "1.2.840.113556.1.4.1935";
constexpr char kRodc[] = "1.2.840.113556.1.4.1920";

class ServerInfoTest : public ::testing::Test {
 protected:
  ServerInfo Read(const FakeAttributes& rootDse) {
    client.AddHost("server")->AddEntry("", rootDse);
    auto connection = client.Connect("server");
    return ReadServerInfo(connection.get(), false);
  }

  FakeLdapClient client;
};

TEST_F(ServerInfoTest, Windows2003DomainController) {
  ServerInfo info =
      Read({{"supportedCapabilities", {kGate, kAd2000, kAd2003}},
            {"domainFunctionality", {"2"}},
            {"forestFunctionality", {"2"}},
            {"domainControllerFunctionality", {"2"}},
            {"isGlobalCatalogReady", {"TRUE"}},
            {"defaultNamingContext", {"DC=corp,DC=example,DC=com"}},
            {"namingContexts", {"DC=corp", "CN=Configuration", "CN=Schema"}}});
  EXPECT_EQ(0, info.readStatus);
  EXPECT_EQ("Windows Server 2003", info.productName);
  EXPECT_EQ(2, info.domainFunctionality);
  EXPECT_EQ("Windows Server 2003 Domain Mode", info.domainModeName);
  EXPECT_EQ("Windows Server 2003 Forest Mode", info.forestModeName);
  EXPECT_EQ("Windows Server 2003", info.domainControllerModeName);
  EXPECT_TRUE(info.isGlobalCatalog);
  EXPECT_FALSE(info.isReadOnlyDc);
  EXPECT_EQ("DC=corp,DC=example,DC=com", info.defaultNamingContext);
  EXPECT_EQ(
      (std::vector<std::string>{"DC=corp", "CN=Configuration", "CN=Schema"}),
      info.namingContexts);
}

TEST_F(ServerInfoTest, Windows2000AndUnknownAndNonWindowsServers) {
  ServerInfo w2k = Read({{"supportedCapabilities", {kGate, kAd2000}},
                         {"isGlobalCatalogReady", {"FALSE"}}});
  EXPECT_EQ("Windows 2000", w2k.productName);
  EXPECT_EQ("Windows 2000 Mode", w2k.domainModeName);
  EXPECT_EQ("Windows 2000 Forest Mode", w2k.forestModeName);
  EXPECT_EQ("", w2k.domainControllerModeName);
  EXPECT_FALSE(w2k.isGlobalCatalog);

  ServerInfo unknown = Read({{"supportedCapabilities", {kGate}},
                             {"dsaVersionString", {"4.17.12-Debian"}}});
  EXPECT_EQ("Unknown Windows LDAP (4.17.12-Debian)", unknown.productName);

  ServerInfo other = Read({{"supportedCapabilities", {kAd2000, kAd2003}},
                           {"isGlobalCatalogReady", {"TRUE"}}});
  EXPECT_EQ("", other.productName);
  EXPECT_FALSE(other.isGlobalCatalog);
  EXPECT_TRUE(other.isActiveDirectory);
}

TEST_F(ServerInfoTest, LonghornLevelsAndReadOnly) {
  ServerInfo info = Read(
      {{"supportedCapabilities", {kGate, kAd2000, kAd2003, kLonghorn, kRodc}},
       {"domainFunctionality", {"3"}},
       {"forestFunctionality", {"1"}},
       {"domainControllerFunctionality", {"7"}}});
  EXPECT_EQ("Windows Longhorn", info.productName);
  EXPECT_EQ("Windows Longhorn Domain Mode", info.domainModeName);
  EXPECT_EQ("Windows Server 2003 Interim Forest Mode", info.forestModeName);
  // A level the table does not know keeps the name it had.
  EXPECT_EQ("", info.domainControllerModeName);
  EXPECT_TRUE(info.isReadOnlyDc);

  ServerInfo high = Read({{"supportedCapabilities", {kGate, kAd2000, kAd2003}},
                          {"domainFunctionality", {"7"}}});
  EXPECT_EQ("Windows 2000 Mode", high.domainModeName);
  EXPECT_EQ("Windows 2000 Forest Mode", high.forestModeName);  // level 0
}

TEST_F(ServerInfoTest, ApplicationModeTakesItsPartition) {
  ServerInfo info =
      Read({{"supportedCapabilities", {kGate, kAdam}},
            {"schemaNamingContext", {"CN=Schema,CN=Configuration,CN={X}"}},
            {"configurationNamingContext", {"CN=Configuration,CN={X}"}},
            {"namingContexts",
             {"CN=Schema,CN=Configuration,CN={X}", "O=App",
              "CN=Configuration,CN={X}"}}});
  EXPECT_EQ("Active Directory Application Mode", info.productName);
  EXPECT_EQ("O=App", info.defaultNamingContext);
  EXPECT_EQ("O=App", info.rootDomainNamingContext);

  ServerInfo withDefault = Read({{"supportedCapabilities", {kGate, kAdam}},
                                 {"defaultNamingContext", {"O=Mine"}},
                                 {"rootDomainNamingContext", {"O=Other"}}});
  EXPECT_EQ("O=Mine", withDefault.rootDomainNamingContext);
}

TEST_F(ServerInfoTest, FakeDomainAndFailuresAndNoConnection) {
  client.AddDomain("dc1", "DC=corp,DC=example,DC=com");
  auto connection = client.Connect("dc1");
  ServerInfo info = ReadServerInfo(connection.get(), true);
  EXPECT_EQ("Windows Longhorn", info.productName);
  EXPECT_EQ("dc1", info.dnsHostName);
  EXPECT_EQ(3, info.domainFunctionality);
  FakeRequest request = client.Last(FakeOp::kSearch);
  ASSERT_EQ(1u, request.search.serverControls.size());
  EXPECT_EQ("1.2.840.113556.1.4.529", request.search.serverControls[0].oid);
  EXPECT_EQ(LdapScope::kBase, request.search.scope);
  EXPECT_EQ("", request.search.base);
  // Samba 4.17 fails the whole RootDSE read when validFSMOs is asked for.
  for (const auto& name : request.search.attributes)
    EXPECT_NE("validFSMOs", name);

  client.FailNext(FakeOp::kSearch, 52);
  ServerInfo failed = ReadServerInfo(connection.get(), false);
  EXPECT_EQ(52, failed.readStatus);
  EXPECT_EQ("", failed.defaultNamingContext);
  EXPECT_FALSE(failed.isWindowsLdapServer);

  ServerInfo none = ReadServerInfo(nullptr, false);
  EXPECT_EQ(0, none.readStatus);
  EXPECT_EQ("", none.productName);
}

}  // namespace
}  // namespace talvex

#include "policy/domain_list.h"

#include <gtest/gtest.h>

#include "output_capture.h"
#include "policy/retrieval_fixture.h"

namespace talvex {
namespace {

class DomainListTest : public RetrievalTest {
 protected:
  ServerInfo Info(const std::string& configurationDn) {
    ServerInfo info;
    info.configurationNamingContext = configurationDn;
    return info;
  }
};

TEST_F(DomainListTest, ParentsBeforeChildrenAndTreesByTopComponent) {
  // The crossRefs come back in the order added: child, alpha, corp.
  AddDomain(kChildDc, kChildDn, "child.corp.example.com");
  AddDomain(kAlphaDc, kAlphaDn, "alpha.org");
  AddDomain(kCorpDc, kCorpDn, "corp.example.com");
  client_.AddDomain("dcx.example.com", "DC=example,DC=com");
  std::vector<std::string> list;
  DomainNameTable table;
  ASSERT_EQ(0,
            GetDomainList(&list, &table, MainConnection(kChildDc),
                          Info("CN=Configuration," + std::string(kChildDn))));
  EXPECT_EQ((std::vector<std::string>{"DC=example,DC=com", kCorpDn, kChildDn,
                                      kAlphaDn}),
            list);

  ASSERT_EQ(8u, table.size());
  const DomainEntry& corp = table.at("dc=corp,dc=example,dc=com");
  EXPECT_EQ(kCorpDn, corp.dn);
  EXPECT_EQ("DC=com,DC=example,DC=corp", corp.reversedDn);
  EXPECT_EQ("CORP", corp.netbiosName);
  EXPECT_EQ("corp.example.com", corp.dnsName);
  EXPECT_EQ(kCorpDn, table.at("corp").dn);
  EXPECT_EQ(kAlphaDn, table.at("alpha").dn);

  // One one-level search of the partitions container for domain crossRefs.
  ASSERT_EQ(1, client_.Count(FakeOp::kSearch));
  FakeRequest search = client_.Last(FakeOp::kSearch);
  EXPECT_EQ("CN=Partitions,CN=Configuration," + std::string(kChildDn),
            search.search.base);
  EXPECT_EQ(LdapScope::kOneLevel, search.search.scope);
  EXPECT_EQ("(systemFlags:1.2.840.113556.1.4.803:=2)", search.search.filter);
  EXPECT_EQ(10, search.pageSize);
}

TEST_F(DomainListTest, DebugListsEveryKeyInOrder) {
  AddDomain(kCorpDc, kCorpDn, "corp.example.com");
  Output().debugLevel = 1;
  std::vector<std::string> list;
  DomainNameTable table;
  OutputCapture capture;
  ASSERT_EQ(0, GetDomainList(&list, &table, MainConnection(kCorpDc),
                             Info("CN=Configuration," + std::string(kCorpDn))));
  EXPECT_EQ(
      "DEBUG: DomainList:\n"
      "DEBUG:    corp -- corp.example.com -- CORP -- DC=corp,DC=example,"
      "DC=com\n"
      "DEBUG:    dc=corp,dc=example,dc=com -- corp.example.com -- CORP -- "
      "DC=corp,DC=example,DC=com\n",
      capture.Stdout());
  EXPECT_EQ((std::vector<std::string>{kCorpDn}), list);
}

TEST_F(DomainListTest, SingleLabelDomainIsListed) {
  AddDomain("dc1.local", "DC=local", "local");
  std::vector<std::string> list;
  DomainNameTable table;
  ASSERT_EQ(0, GetDomainList(&list, &table, MainConnection("dc1.local"),
                             Info("CN=Configuration,DC=local")));
  EXPECT_EQ((std::vector<std::string>{"DC=local"}), list);
}

TEST_F(DomainListTest, FailedSearchLeavesBothOutputsEmpty) {
  AddDomain(kCorpDc, kCorpDn, "corp.example.com");
  LdapConnection& connection = MainConnection(kCorpDc);
  client_.FailNext(FakeOp::kSearch, 50);
  std::vector<std::string> list;
  DomainNameTable table;
  EXPECT_EQ(50,
            GetDomainList(&list, &table, connection,
                          Info("CN=Configuration," + std::string(kCorpDn))));
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(table.empty());
}

}  // namespace
}  // namespace talvex

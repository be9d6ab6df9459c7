#include "directory/ranged_values.h"

#include <gtest/gtest.h>

#include "directory/ldap_search.h"
#include "fakes/fake_ldap_client.h"

namespace talvex {
namespace {

constexpr char kDomain[] = "DC=corp,DC=example,DC=com";

TEST(RangedValuesTest, ReadsTheRangeOption) {
  const struct {
    const char* description;
    bool present;
    const char* baseName;
    long long low, high;
    bool last;
  } cases[] = {
      {"member;range=0-1499", true, "member", 0, 1499, false},
      {"msDS-PSOAppliesTo;Range=1500-*", true, "msDS-PSOAppliesTo", 1500, 0,
       true},
      {"userCertificate;binary;range=10-19", true, "userCertificate;binary", 10,
       19, false},
      {"member;range=0-9;x", true, "member;x", 0, 9, false},
      {"member", false, "", 0, 0, false},
      {"member;range=5-2", false, "", 0, 0, false},
      {"member;range=-1-*", false, "", 0, 0, false},
      {"member;range=a-b", false, "", 0, 0, false},
      {"member;range=7", false, "", 0, 0, false},
  };
  for (const auto& c : cases) {
    ValueRange range = ReadValueRange(c.description);
    EXPECT_EQ(c.present, range.present) << c.description;
    if (!c.present) continue;
    EXPECT_EQ(c.baseName, range.baseName) << c.description;
    EXPECT_EQ(c.low, range.low) << c.description;
    EXPECT_EQ(c.last, range.last) << c.description;
    if (!c.last) {
      EXPECT_EQ(c.high, range.high) << c.description;
    }
  }
}

class RangedSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = &client.AddDomain("dc1.corp.example.com", kDomain);
    for (int i = 0; i < 3200; ++i) {
      users.push_back(directory->AddUser("CN=Users,DC=corp,DC=example,DC=com",
                                         "u" + std::to_string(i),
                                         "corp.example.com"));
    }
    pso = directory->AddPso(kDomain, "big", 10);
    directory->SetValues(pso, "msDS-PSOAppliesTo", users);
    directory->SetValues(pso, "description", {"a", "b", "c", "d", "e"});
    connection = client.Connect("dc1.corp.example.com");
    client.ClearLog();
  }

  FakeLdapClient client;
  FakeDirectory* directory = nullptr;
  std::vector<std::string> users;
  std::string pso;
  std::unique_ptr<LdapConnection> connection;
};

// Every search routine hands over whole value lists under the plain name,
// in the server's order, whatever the server's MaxValRange.
TEST_F(RangedSearchTest, SearchesWalkEveryRange) {
  const struct {
    int maxValRange;
    int rangeReads;  // per search, after the first read
  } cases[] = {{1500, 2}, {1000, 3}, {3, 1066 + 1}, {0, 0}};
  for (const auto& c : cases) {
    directory->SetMaxValRange(c.maxValRange);
    const AttributeSet attributes = {"msDS-PSOAppliesTo", "description",
                                     "name"};
    client.ClearLog();
    RecordSet records;
    ASSERT_EQ(0, LdapGetRecs(*connection, kDomain, "", "name=big", attributes,
                             {}, {.pageSize = 100}, &records));
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(users, records[0]["msDS-PSOAppliesTo"]) << c.maxValRange;
    EXPECT_EQ(std::vector<std::string>({"a", "b", "c", "d", "e"}),
              records[0]["description"]);
    EXPECT_EQ(4u, records[0].size()) << "no ranged names left";
    EXPECT_EQ(1 + c.rangeReads, client.Count(FakeOp::kSearch)) << c.maxValRange;

    Record one;
    ASSERT_EQ(0,
              LdapGetRec(*connection, pso, "base", "", attributes, {}, &one));
    EXPECT_EQ(users, one["msDS-PSOAppliesTo"]) << c.maxValRange;
  }
}

TEST_F(RangedSearchTest, FailedRangeReadFailsTheSearch) {
  // The first read succeeds, the second range read is refused.
  client.FailNext(FakeOp::kSearch, ldap_result::kInsufficientAccess, "", 2);
  RecordSet records;
  EXPECT_EQ(
      ldap_result::kInsufficientAccess,
      LdapGetRecs(*connection, kDomain, "", "name=big", {"msDS-PSOAppliesTo"},
                  {}, {.pageSize = 100}, &records));
  EXPECT_TRUE(records.empty());
  Record one;
  client.FailNext(FakeOp::kSearch, ldap_result::kInsufficientAccess, "", 1);
  EXPECT_EQ(ldap_result::kInsufficientAccess,
            LdapGetRec(*connection, pso, "base", "", {"msDS-PSOAppliesTo"}, {},
                       &one));
  EXPECT_TRUE(one.empty());
}

}  // namespace
}  // namespace talvex

#include "directory/ranged_values.h"

#include <gtest/gtest.h>

#include "directory/ldap_search.h"
#include "fakes/fake_ldap_client.h"
#include "output_capture.h"

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

// Ranges that never end, or that go backwards, end the read with the local
// error and a report naming the server, the attribute and the entry.
TEST_F(RangedSearchTest, LyingRangesEndWithAReportNamingTheProblem) {
  directory->SetMaxValRange(3);  // the first read: values 0-2
  const std::string what = " of msDS-PSOAppliesTo of " + pso;
  const std::string givenUp =
      " without coming to the last; the values are not read further.";
  const struct {
    FakeLie lie;
    RangeReadLimits limits;
    int rangeReads;
    std::string problem;
  } cases[] = {
      {FakeLie::kEndlessRanges,
       {.values = 1000, .reads = 5},
       5,
       "sent more than 5 ranges" + what + givenUp},
      // 3 + 10 + 10 + 10 values are more than 25.
      {FakeLie::kEndlessRanges,
       {.values = 25, .reads = 1000},
       3,
       "sent more than 25 values" + what + givenUp},
      {FakeLie::kBackwardRanges, kRangeReadLimits, 1,
       "answered the read of the values 3-*" + what +
           " with the values 0-9; ranges that do not move on are not "
           "followed."},
  };
  for (const auto& c : cases) {
    LdapSearchRequest read;
    read.base = pso;
    read.scope = LdapScope::kBase;
    read.filter = "(objectClass=*)";
    read.attributes = {"msDS-PSOAppliesTo"};
    std::vector<LdapEntry> entries;
    std::string cookie;
    ASSERT_EQ(0, connection->Search(read, 0, &cookie, &entries));
    client.Lie(c.lie);
    client.ClearLog();
    OutputCapture capture;
    EXPECT_EQ(
        ldap_result::kLocalError,
        CompleteRangedValues(*connection, {}, &entries.front(), c.limits));
    capture.Stop();
    client.Lie(FakeLie::kNone);
    EXPECT_EQ(c.rangeReads, client.Count(FakeOp::kSearch)) << c.problem;
    EXPECT_EQ("ERROR:\nERROR: The server dc1.corp.example.com " + c.problem +
                  "\nERROR:\n",
              capture.Stdout());
  }
}

}  // namespace
}  // namespace talvex

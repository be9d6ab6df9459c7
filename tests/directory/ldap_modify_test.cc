#include "directory/ldap_modify.h"

#include <gtest/gtest.h>

#include "fakes/fake_ldap_client.h"
#include "output_capture.h"

namespace talvex {
namespace {

constexpr char kDomain[] = "DC=corp,DC=example,DC=com";
constexpr char kContainer[] =
    "CN=Password Settings Container,CN=System,DC=corp,DC=example,DC=com";

class LdapModifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = &client.AddDomain("dc1", kDomain);
    pso = directory->AddPso(kDomain, "pso1", 10, {{"description", {"old"}}});
    user = directory->AddUser("CN=Users,DC=corp,DC=example,DC=com", "alice",
                              "corp.example.com");
    connection = client.Connect("dc1");
    client.ClearLog();
  }

  FakeLdapClient client;
  FakeDirectory* directory = nullptr;
  std::string pso;
  std::string user;
  std::unique_ptr<LdapConnection> connection;
};

TEST_F(LdapModifyTest, ModifyReplacesAndClearsWithDebugLines) {
  ScopedOutputSettings settings(5);
  OutputCapture capture;
  int code = LdapModify(
      client, *connection, pso,
      {"msDS-LockoutThreshold:0", "description:", "adminDisplayName:a:b"});
  capture.Stop();
  EXPECT_EQ(0, code);
  FakeRequest request = client.Last(FakeOp::kModify);
  ASSERT_EQ(3u, request.modifications.size());
  EXPECT_EQ(LdapModOp::kReplace, request.modifications[0].op);
  EXPECT_EQ(std::vector<std::string>{"0"}, request.modifications[0].values);
  EXPECT_EQ(LdapModOp::kDelete, request.modifications[1].op);
  EXPECT_TRUE(request.modifications[1].values.empty());
  EXPECT_EQ(std::vector<std::string>{"a:b"}, request.modifications[2].values);
  EXPECT_EQ("0", directory->FirstValue(pso, "msDS-LockoutThreshold"));
  EXPECT_TRUE(directory->Values(pso, "description").empty());
  EXPECT_EQ("DEBUG: Setting " + pso + "\n" +
                "DEBUG: Set - msDS-LockoutThreshold to 0\n"
                "DEBUG: Clear - description\n"
                "DEBUG: Set - adminDisplayName to a:b\n"
                "DEBUG: modcnt=3\n"
                "DEBUG: uErr=0\n",
            capture.Stdout());
}

TEST_F(LdapModifyTest,
       ModifyWithNothingSendsNothingAndReportsFailuresUnlessQuiet) {
  EXPECT_EQ(0, LdapModify(client, *connection, pso, {}));
  EXPECT_EQ(0, LdapModify(client, *connection, pso, {"nocolon"}));
  EXPECT_EQ(0, client.Count(FakeOp::kModify));

  {
    OutputCapture capture;
    EXPECT_EQ(65,
              LdapModify(client, *connection, pso, {"msDS-LockoutThreshold:"}));
    capture.Stop();
    EXPECT_EQ(
        0u,
        capture.Stderr().find(
            "LDAP_MODIFY_SW: [" + pso +
            "] Error 0x41 (65) - Object class violation\nExtended Error: "));
  }
  ScopedOutputSettings quiet(0, true);
  OutputCapture capture;
  EXPECT_EQ(65,
            LdapModify(client, *connection, pso, {"msDS-LockoutThreshold:"}));
  capture.Stop();
  EXPECT_EQ("", capture.Stderr());
}

TEST_F(LdapModifyTest, SetValuesAddsAndRemovesWithoutReporting) {
  ScopedOutputSettings settings(5);
  OutputCapture capture;
  EXPECT_EQ(0,
            LdapSetValues(*connection, pso, "msDS-PSOAppliesTo", {user}, true));
  EXPECT_EQ(20,
            LdapSetValues(*connection, pso, "msDS-PSOAppliesTo", {user}, true));
  EXPECT_EQ(
      0, LdapSetValues(*connection, pso, "msDS-PSOAppliesTo", {user}, false));
  EXPECT_EQ(
      16, LdapSetValues(*connection, pso, "msDS-PSOAppliesTo", {user}, false));
  capture.Stop();
  EXPECT_EQ("", capture.Stderr());
  EXPECT_NE(std::string::npos,
            capture.Stdout().find("DEBUG: Setting " + pso +
                                  " \\ msDS-PSOAppliesTo\n"
                                  "DEBUG: Set - " +
                                  user + "\nDEBUG: uErr=0\n"));
  FakeRequest request = client.Last(FakeOp::kModify);
  EXPECT_EQ(LdapModOp::kDelete, request.modifications[0].op);
  EXPECT_EQ(std::vector<std::string>{user}, request.modifications[0].values);
}

TEST_F(LdapModifyTest, RenameKeepsTypeAndEscapesTheNewValue) {
  ScopedOutputSettings settings(5);
  OutputCapture capture;
  EXPECT_EQ(0, LdapRename(*connection, pso, "pso2"));
  std::string pso2 = std::string("CN=pso2,") + kContainer;
  // A typed "CN=" is the rename action's to drop (modify_test.cc).
  EXPECT_EQ(0, LdapRename(*connection, pso2, "pso3"));
  std::string pso3 = std::string("CN=pso3,") + kContainer;
  EXPECT_EQ(0, LdapRename(*connection, pso3, "Sales, East"));
  capture.Stop();
  EXPECT_EQ("CN=pso2", client.Requests(FakeOp::kRename)[0].newRdn);
  EXPECT_TRUE(client.Requests(FakeOp::kRename)[0].deleteOldRdn);
  EXPECT_EQ("CN=pso3", client.Requests(FakeOp::kRename)[1].newRdn);
  EXPECT_EQ("CN=Sales\\, East", client.Last(FakeOp::kRename).newRdn);
  EXPECT_TRUE(
      directory->HasEntry(std::string("CN=Sales\\, East,") + kContainer));
  EXPECT_EQ("Sales, East",
            directory->FirstValue(std::string("CN=Sales\\, East,") + kContainer,
                                  "name"));
  EXPECT_EQ(0u,
            capture.Stdout().find("DEBUG: Rename " + pso + " to CN=pso2\n"));
}

TEST_F(LdapModifyTest, ClearAttribsUsesTheObjectsSpellingAndSkipsAbsentOnes) {
  ScopedOutputSettings settings(5);
  OutputCapture capture;
  EXPECT_EQ(0, LdapClearAttribs(*connection, pso, {"msds-psoappliesto"}));
  EXPECT_EQ(0, client.Count(FakeOp::kModify));
  directory->SetValues(pso, "msDS-PSOAppliesTo", {user});
  EXPECT_EQ(
      0, LdapClearAttribs(*connection, pso, {"MSDS-PSOAPPLIESTO", "nosuch"}));
  capture.Stop();
  FakeRequest request = client.Last(FakeOp::kModify);
  ASSERT_EQ(1u, request.modifications.size());
  EXPECT_EQ("msDS-PSOAppliesTo", request.modifications[0].attribute);
  EXPECT_TRUE(directory->Values(pso, "msDS-PSOAppliesTo").empty());
  EXPECT_TRUE(client.Last(FakeOp::kSearch).search.attributesOnly);
  EXPECT_NE(std::string::npos,
            capture.Stdout().find("DEBUG: Retrieving DN attributes...\n"
                                  "DEBUG: Clearing DN: " +
                                  pso +
                                  "\n"
                                  "DEBUG: Clear - msDS-PSOAppliesTo\n"
                                  "DEBUG: modcnt=1\n"));
  // An object that cannot be read has no attributes to clear.
  EXPECT_TRUE(LdapGetAttrNames(*connection, "CN=gone,DC=corp,DC=example,DC=com")
                  .empty());
}

TEST_F(LdapModifyTest, DeleteReturnsTheServersCode) {
  EXPECT_EQ(0, LdapDelete(*connection, pso));
  EXPECT_EQ(32, LdapDelete(*connection, pso));
  EXPECT_FALSE(directory->HasEntry(pso));
}

}  // namespace
}  // namespace talvex

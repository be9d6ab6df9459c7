#include "directory/directory_access.h"

#include <gtest/gtest.h>

#include "fakes/fake_dc_locator.h"
#include "fakes/fake_ldap_client.h"
#include "output_capture.h"

namespace talvex {
namespace {

class DirectoryAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client.AddDomain("dc1.corp.example.com", "DC=corp,DC=example,DC=com");
    client.AddDomain("dc1.child.corp.example.com",
                     "DC=child,DC=corp,DC=example,DC=com");
    locator.AddController("corp.example.com",
                          {.name = "dc1.corp.example.com", .site = "HQ"});
    locator.AddController(
        "child.corp.example.com",
        {.name = "DC1.child.corp.example.com", .site = "Branch"});
    locator.SetUncNames(true);
    access.client = &client;
    access.locator = &locator;
    access.cache = &cache;
    access.locatorComputer = "dc9";
    access.userId = "CORP\\admin";
    access.password = "pw";
    access.simpleBind = true;
  }

  FakeLdapClient client;
  FakeDcLocator locator;
  ConnectionCache cache;
  DirectoryAccess access;
};

TEST_F(DirectoryAccessTest, LocatesOpensAndCachesWithDebugLines) {
  ScopedOutputSettings settings(1);
  OutputCapture capture;
  int ldapError = -100;
  int systemError = -100;
  LdapConnection* first = ConnectToDomainController(
      access, "child.corp.example.com", &ldapError, &systemError);
  LdapConnection* again = ConnectToDomainController(
      access, "child.corp.example.com", &ldapError, &systemError);
  capture.Stop();
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, again);
  EXPECT_EQ(0, ldapError);
  EXPECT_EQ(0, systemError);
  EXPECT_EQ(1, client.Count(FakeOp::kSimpleBind));
  EXPECT_EQ(first, cache.Find("dc1.child.corp.example.com"));
  EXPECT_EQ("CORP\\admin", client.Last(FakeOp::kSimpleBind).dn);
  EXPECT_EQ(0x21010u, locator.Calls()[0].flags);
  EXPECT_EQ("dc9", locator.Calls()[0].computer);
  EXPECT_EQ(
      "DEBUG: Locating Domain Controller for domain child.corp.example.com "
      "WRITE | DS_REQ\n"
      "DEBUG: Using host: Branch\\DC1.child.corp.example.com\n"
      "DEBUG: Opening LDAP Connection\n"
      "DEBUG: Locating Domain Controller for domain child.corp.example.com "
      "WRITE | DS_REQ\n"
      "DEBUG: Using host: Branch\\DC1.child.corp.example.com\n",
      capture.Stdout());
}

TEST_F(DirectoryAccessTest, DomainIsAlwaysAskedForByItsDnsName) {
  // A single-label DNS name ("corp") too: asked as a flat name it would
  // find nothing where the NetBIOS name differs.
  client.AddDomain("dc1.corp", "DC=corp");
  locator.AddController("corp", {.name = "dc1.corp"});
  int ldapError = 0;
  int systemError = 0;
  EXPECT_NE(nullptr,
            ConnectToDomainController(access, "corp", &ldapError, &systemError));
  EXPECT_EQ(0x21010u, locator.Calls().back().flags);
}

TEST_F(DirectoryAccessTest, FailuresSetTheirCodes) {
  OutputCapture capture;
  int ldapError = 0;
  int systemError = 0;
  EXPECT_EQ(nullptr, ConnectToDomainController(access, "other.example.com",
                                               &ldapError, &systemError));
  EXPECT_EQ(1355, systemError);
  EXPECT_EQ(0, ldapError);

  client.FailBind("dc1.corp.example.com", 49, kFakeBadPasswordDiagnostic);
  EXPECT_EQ(nullptr, ConnectToDomainController(access, "corp.example.com",
                                               &ldapError, &systemError));
  capture.Stop();
  EXPECT_EQ(49, ldapError);
  EXPECT_EQ(0, systemError);
  EXPECT_EQ(0u, cache.size());
  EXPECT_EQ(0u, capture.Stderr().find(
                    "LDAP_BIND: [dc1.corp.example.com] Error 0x31"));
}

// After the run's last bind the password is gone: a connection already
// open is still found, a new one is refused without a bind.
TEST_F(DirectoryAccessTest, ForgottenPasswordOpensNoFurtherConnection) {
  OutputCapture capture;
  int ldapError = 0;
  int systemError = 0;
  LdapConnection* open = ConnectToDomainController(access, "corp.example.com",
                                                   &ldapError, &systemError);
  ForgetPassword(access);
  EXPECT_EQ("", access.password);
  EXPECT_EQ(open, ConnectToDomainController(access, "corp.example.com",
                                            &ldapError, &systemError));
  EXPECT_EQ(nullptr,
            ConnectToDomainController(access, "child.corp.example.com",
                                      &ldapError, &systemError));
  EXPECT_EQ(-2, ldapError);
  EXPECT_EQ(1, client.Count(FakeOp::kSimpleBind));
}

TEST(ConnectionCacheTest, LocateStripsBackslashesAndFailureLeavesTextsEmpty) {
  FakeDcLocator locator;
  locator.AddController("corp.example.com",
                        {.name = "DC1.corp.example.com", .site = "S"});
  locator.SetUncNames(true);
  DomainControllerInfo info;
  EXPECT_EQ(0, LocateDC(locator, "", "corp.example.com", 0x21010, &info));
  EXPECT_EQ("DC1.corp.example.com", info.name);
  EXPECT_EQ(1355, LocateDC(locator, "", "nope", 0x11010, &info));
  EXPECT_EQ("", info.name + info.dcSiteName + info.clientSiteName);
  EXPECT_EQ(0x11010u, DomainControllerFlags(""));
  EXPECT_EQ(0x21010u, DomainControllerFlags("corp.example.com"));
}

}  // namespace
}  // namespace talvex

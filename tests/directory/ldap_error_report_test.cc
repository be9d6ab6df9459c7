#include "directory/ldap_error_report.h"

#include <gtest/gtest.h>

#include "fakes/fake_ldap_client.h"
#include "output_capture.h"

namespace talvex {
namespace {

class LdapErrorReportTest : public ::testing::Test {
 protected:
  std::string Report(const std::string& label, const std::string& server,
                     int code, LdapConnection* connection) {
    OutputCapture capture;
    ReportLdapError(client, label, server, code, connection);
    capture.Stop();
    EXPECT_EQ("", capture.Stdout());
    return capture.Stderr();
  }

  FakeLdapClient client;
};

TEST_F(LdapErrorReportTest, FirstLineFormat) {
  EXPECT_EQ(
      "LDAP_INIT: [dc1] Error 0xffffffff (-1) - Can't contact LDAP server\n",
      Report("LDAP_INIT", "dc1", -1, nullptr));
  EXPECT_EQ("LDAP_OPTION (Version3):: [] Error 0x5a (90) - Unknown error\n",
            Report("LDAP_OPTION (Version3):", "", 90, nullptr));
  // Long texts are shown whole.
  std::string longServer(3000, 's');
  std::string text = Report("LABEL", longServer, 32, nullptr);
  EXPECT_EQ("LABEL: [" + longServer + "] Error 0x20 (32) - No such object\n",
            text);
}

TEST_F(LdapErrorReportTest, ExtendedErrorLineFromTheConnection) {
  client.AddDomain("dc1.corp.example.com", "DC=corp,DC=example,DC=com");
  client.FailBind("dc1.corp.example.com", 49, kFakeBadPasswordDiagnostic);
  int error = 0;
  auto connection = client.Initialize("dc1.corp.example.com", 389, LdapTls::kNone, &error);
  connection->SimpleBind("CORP\\alice", "wrong");
  EXPECT_EQ(
      std::string("LDAP_BIND: [dc1] Error 0x31 (49) - Invalid credentials\n"
                  "Extended Error: ") +
          kFakeBadPasswordDiagnostic + "\n",
      Report("LDAP_BIND", "dc1", 49, connection.get()));
  // Empty server text: the connection's own host name.
  EXPECT_EQ(0u, Report("X", "", 49, connection.get())
                    .find("X: [dc1.corp.example.com] Error 0x31 (49)"));
  // No diagnostic from the server.
  client.AddController("dc2.corp.example.com", "DC=corp,DC=example,DC=com");
  auto other = client.Connect("dc2.corp.example.com");
  EXPECT_EQ(
      "Y: [h] Error 0x35 (53) - Server is unwilling to perform\n"
      "Extended Error: No extended error info available.\n",
      Report("Y", "h", 53, other.get()));
  // Code 0 never has an extended line.
  EXPECT_EQ("Z: [h] Error 0x0 (0) - Success\n",
            Report("Z", "h", 0, other.get()));
}

}  // namespace
}  // namespace talvex

#include "directory/bound_connection.h"

#include <gtest/gtest.h>

#include "directory/binary_attribute_tables.h"
#include "fakes/fake_ldap_client.h"
#include "output_capture.h"

namespace talvex {
namespace {

class OpenLdapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client.AddDomain("dc1", "DC=corp,DC=example,DC=com");
    client.AddHost("localhost", client.DirectoryOf("dc1"));
    client.AddGlobalCatalog("dc1");
  }

  std::unique_ptr<LdapConnection> Open(const std::string& host, int* selector,
                                       const BindOptions& options,
                                       int* status) {
    OutputCapture capture;
    auto connection = OpenLDAP(client, host, selector, options, status);
    capture.Stop();
    out = capture.Stdout();
    err = capture.Stderr();
    return connection;
  }

  FakeLdapClient client;
  BindOptions options;
  std::string out;
  std::string err;
};

TEST_F(OpenLdapTest, PortSelection) {
  struct Case {
    const char* host;
    int selector;
    bool ssl;
    int port;
  };
  const Case cases[] = {
      {"dc1", 0, false, 389},        {"dc1:50000", 0, false, 50000},
      {"dc1:50000", 1, false, 3268}, {"dc1:abc", 0, false, 389},
      {"dc1:", 0, false, 389},       {"dc1", 0, true, 636},
      {"dc1:50000", 0, true, 636},   {"dc1", 1, true, 3269},
      {"dc1", 1, false, 3268},       {"dc1:1234567", 0, false, 123456},
      {"dc1: 42x", 0, false, 42},    {"dc1", 4000, false, 4000},
  };
  for (const auto& c : cases) {
    int selector = c.selector;
    int status = -100;
    options.ssl = c.ssl;
    Open(c.host, &selector, options, &status);
    EXPECT_EQ(c.port, selector) << c.host;
    FakeRequest init = client.Last(FakeOp::kInitialize);
    EXPECT_EQ("dc1", init.host) << c.host;
    EXPECT_EQ(c.port, init.port) << c.host;
  }
}

TEST_F(OpenLdapTest, OptionsInOrderThenNegotiatedBindWithOwnLogon) {
  int selector = 0;
  int status = -100;
  auto connection = Open("dc1", &selector, options, &status);
  ASSERT_TRUE(connection);
  EXPECT_EQ(0, status);
  auto requests = client.Requests();
  ASSERT_EQ(7u, requests.size());
  EXPECT_EQ(FakeOp::kInitialize, requests[0].kind);
  EXPECT_EQ(LdapOption::kProtocolVersion, requests[1].option);
  EXPECT_EQ(3, requests[1].optionValue);
  EXPECT_EQ(LdapOption::kReferrals, requests[2].option);
  EXPECT_EQ(0, requests[2].optionValue);
  EXPECT_EQ(LdapOption::kKeepAlive, requests[3].option);
  EXPECT_EQ(60, requests[3].optionValue);
  EXPECT_EQ(FakeOp::kNegotiateBind, requests[6].kind);
  EXPECT_TRUE(requests[6].credentials.currentLogon);
  EXPECT_EQ("", out + err);
  // The binary tables are filled after the bind.
  EXPECT_EQ(BinaryKind::kGuid, BinaryKindOf("objectGUID"));

  client.ClearLog();
  options.encrypt = true;
  options.referrals = true;
  options.locatorFlags = 0x1000;
  Open("dc1", &selector, options, &status);
  requests = client.Requests(FakeOp::kSetOption);
  ASSERT_EQ(6u, requests.size());
  EXPECT_EQ(LdapOption::kSaslSecurityMinimum, requests[1].option);
  EXPECT_GT(requests[1].optionValue, 1);
  // Last, the locator flags for a library that locates a controller itself.
  EXPECT_EQ(LdapOption::kLocatorFlags, requests[3].option);
  EXPECT_EQ(0x1000, requests[3].optionValue);
}

TEST_F(OpenLdapTest, BindForms) {
  int selector = 0;
  int status = 0;
  options.userId = "EXAMPLE\\alice";
  options.password = "pw";
  ASSERT_TRUE(Open("dc1", &selector, options, &status));
  NegotiateCredentials credentials =
      client.Last(FakeOp::kNegotiateBind).credentials;
  EXPECT_FALSE(credentials.currentLogon);
  EXPECT_EQ("EXAMPLE", credentials.domain);
  EXPECT_EQ("alice", credentials.user);
  EXPECT_EQ("pw", credentials.password);

  options.userId = "alice@corp.example.com";
  ASSERT_TRUE(Open("dc1", &selector, options, &status));
  credentials = client.Last(FakeOp::kNegotiateBind).credentials;
  EXPECT_EQ("", credentials.domain);
  EXPECT_EQ("alice@corp.example.com", credentials.user);

  // A DN cannot be used for a negotiated bind, in any letter case.
  int binds = client.Count(FakeOp::kNegotiateBind);
  for (const char* dn : {"CN=Alice,DC=example,DC=com", "cn=alice,dc=example"}) {
    options.userId = dn;
    status = 0;
    EXPECT_FALSE(Open("dc1", &selector, options, &status));
    EXPECT_EQ(-1, status);
    EXPECT_EQ("ERROR: DN format not currently supported for secure bind.\n\n",
              out);
    EXPECT_EQ("", err);
  }
  EXPECT_EQ(binds, client.Count(FakeOp::kNegotiateBind));

  // The same DN with a simple bind is passed unchanged.
  options.simple = true;
  ASSERT_TRUE(Open("dc1", &selector, options, &status));
  EXPECT_EQ("cn=alice,dc=example", client.Last(FakeOp::kSimpleBind).dn);
  EXPECT_EQ("pw", client.Last(FakeOp::kSimpleBind).password);

  // Anonymous forces a simple bind without name or password.
  options.simple = false;
  options.anonymous = true;
  ASSERT_TRUE(Open("dc1", &selector, options, &status));
  EXPECT_EQ("", client.Last(FakeOp::kSimpleBind).dn);
  EXPECT_EQ("", client.Last(FakeOp::kSimpleBind).password);
}

TEST_F(OpenLdapTest, ParameterDumpMasksThePassword) {
  ScopedOutputSettings settings(5);
  int selector = 0;
  int status = 0;
  options.anonymous = true;
  options.userId = "CORP\\alice";
  options.password = "Secret1!";
  options.locatorFlags = 0x1000;
  ASSERT_TRUE(Open(".", &selector, options, &status));
  EXPECT_EQ(
      "DEBUG: In OpenLDAP... Params:\n"
      "DEBUG: Server:    localhost\n"
      "DEBUG:    SSL: FALSE\n"
      "DEBUG:    StartTLS: FALSE\n"
      "DEBUG:    Port:      389\n"
      "DEBUG:    Ref:       FALSE\n"
      "DEBUG:    V3:        TRUE\n"
      "DEBUG:    Anonymous: TRUE\n"
      "DEBUG:    userdn: CORP\\alice\n"
      "DEBUG:    password: ********\n"
      "DEBUG:    Simple: TRUE\n"
      "DEBUG:    LDAP_OPT_ENCRYPT: FALSE\n"
      "DEBUG:    Delegation: FALSE\n"
      "DEBUG:    Extended Error Info: TRUE\n"
      "DEBUG:    GET DS Flags: 4096\n"
      "DEBUG: LDAP_OPTION: Version 3\n"
      "DEBUG: LDAP_OPTION: No referrals\n"
      "DEBUG: LDAP_BIND: [localhost] Successful\n"
      "DEBUG: Loading Static BIN Tables...\n"
      "DEBUG: Static BIN Tables Loaded.\n",
      out);
  EXPECT_EQ(std::string::npos, out.find("Secret1!"));
  EXPECT_EQ("localhost", client.Last(FakeOp::kInitialize).host);

  // An empty host: no server line, empty brackets, the library's choice.
  client.SetDefaultHost("dc1");
  selector = 0;
  options.password.clear();
  ASSERT_TRUE(Open("", &selector, options, &status));
  EXPECT_EQ(std::string::npos, out.find("Server:"));
  EXPECT_NE(std::string::npos, out.find("DEBUG:    password: \n"));
  EXPECT_NE(std::string::npos, out.find("DEBUG: LDAP_BIND: [] Successful\n"));
  EXPECT_EQ("", client.Last(FakeOp::kInitialize).host);
}

TEST_F(OpenLdapTest, FailuresAreReportedWithTheirLabels) {
  int selector = 0;
  int status = 0;
  EXPECT_FALSE(Open("nowhere", &selector, options, &status));
  EXPECT_EQ(-1, status);
  EXPECT_EQ(
      "LDAP_INIT: [nowhere] Error 0xffffffff (-1) - Can't contact LDAP "
      "server\n",
      err);

  // A failing option is reported; the bind still happens.
  client.FailOption(LdapOption::kKeepAlive, -12);
  ASSERT_TRUE(Open("dc1", &selector, options, &status));
  EXPECT_EQ(0, status);
  EXPECT_EQ(
      "LDAP_OPTION (Keep Alive 60 seconds):: [dc1] Error 0xfffffff4 (-12) - "
      "Not Supported\n",
      err);

  client.FailBind("dc1", 49, kFakeBadPasswordDiagnostic);
  options.simple = true;
  options.userId = "CORP\\alice";
  options.password = "wrong";
  EXPECT_FALSE(Open("dc1", &selector, options, &status));
  EXPECT_EQ(49, status);
  EXPECT_NE(
      std::string::npos,
      err.find("LDAP_BIND: [dc1] Error 0x31 (49) - Invalid credentials\n"
               "Extended Error: 80090308: LdapErr: DSID-0C09041C, comment: "
               "AcceptSecurityContext error, data 52e, v4563\n"));
  options.extendedError = false;
  EXPECT_FALSE(Open("dc1", &selector, options, &status));
  EXPECT_EQ(std::string::npos, err.find("Extended Error"));
}

// The connection's requests in short: what reached the seam, in order.
std::string Trace(const std::vector<FakeRequest>& requests) {
  std::string trace;
  for (const FakeRequest& r : requests) {
    if (!trace.empty()) trace += ' ';
    switch (r.kind) {
      case FakeOp::kInitialize:
        trace += "init:" + std::to_string(r.port) +
                 (r.tls == LdapTls::kLdaps      ? "/ldaps"
                  : r.tls == LdapTls::kStartTls ? "/starttls"
                                                : "");
        break;
      case FakeOp::kSetOption:
        if (r.option == LdapOption::kSaslSecurityMinimum) {
          trace += "ssfmin=" + std::to_string(r.optionValue);
        } else if (r.option == LdapOption::kSaslSecurityMaximum) {
          trace += "ssfmax=" + std::string(r.optionValue > 256 ? "any" : "") +
                   (r.optionValue > 256 ? "" : std::to_string(r.optionValue));
        } else if (r.option == LdapOption::kSaslChannelBinding) {
          trace += "cbinding=" + std::to_string(r.optionValue);
        } else {
          trace += "opt";
        }
        break;
      case FakeOp::kEstablishTls:
        trace += "tls";
        break;
      case FakeOp::kSimpleBind:
        trace += "simple";
        break;
      case FakeOp::kNegotiateBind:
        trace += "kerberos";
        break;
      default:
        trace += "other";
    }
  }
  return trace;
}

TEST_F(OpenLdapTest, TlsComesBeforeTheBindAndSetsKerberosSecurity) {
  struct Case {
    bool ssl;
    bool startTls;
    bool simple;
    int selector;
    const char* trace;
  };
  // ssfmax "any": no upper bound; cbinding 1: tls-endpoint.
  const Case cases[] = {
      {false, false, false, 0,
       "init:389 opt opt opt ssfmin=56 ssfmax=any kerberos"},
      {false, false, true, 0, "init:389 opt opt opt simple"},
      {true, false, false, 0,
       "init:636/ldaps opt opt opt ssfmin=0 ssfmax=0 cbinding=1 tls kerberos"},
      {true, false, false, 1,
       "init:3269/ldaps opt opt opt ssfmin=0 ssfmax=0 cbinding=1 tls "
       "kerberos"},
      {false, true, false, 1,
       "init:3268/starttls opt opt opt ssfmin=0 ssfmax=0 cbinding=1 tls "
       "kerberos"},
      {false, true, true, 0, "init:389/starttls opt opt opt tls simple"},
      {true, true, true, 0, "init:636/ldaps opt opt opt tls simple"},
  };
  for (const Case& c : cases) {
    client.ClearLog();
    options.ssl = c.ssl;
    options.startTls = c.startTls;
    options.simple = c.simple;
    int selector = c.selector;
    int status = -100;
    EXPECT_TRUE(Open("dc1", &selector, options, &status));
    EXPECT_EQ(0, status);
    EXPECT_EQ(c.trace, Trace(client.Requests())) << c.trace;
  }
}

TEST_F(OpenLdapTest, TlsAndBindFailuresSayWhatHappened) {
  struct Case {
    bool ssl;
    bool startTls;
    bool simple;
    FakeOp failing;
    int code;
    const char* diagnostic;
    const char* out;
    const char* errTail;
  };
  const Case cases[] = {
      {true, false, true, FakeOp::kEstablishTls, -1,
       "TLS: name mismatch: the certificate does not name the host",
       "ERROR:\nERROR: The TLS connection (LDAPS) to dc1 (port 636) could "
       "not be set up.\nERROR: TLS: name mismatch: the certificate does not "
       "name the host\nERROR:\n",
       "LDAP_SSL: [dc1] Error 0xffffffff (-1) - Can't contact LDAP server\n"
       "Extended Error: TLS: name mismatch: the certificate does not name the "
       "host\n"},
      // A refused StartTLS ends the open with the server's own code.
      {false, true, false, FakeOp::kEstablishTls, 52, "",
       "ERROR:\nERROR: StartTLS with dc1 (port 389) failed; nothing is sent "
       "without TLS.\nERROR: Server is unavailable\nERROR:\n",
       "Extended Error: No extended error info available.\n"},
      {false, false, true, FakeOp::kSimpleBind, 8,
       "00002028: LdapErr: DSID-0C090259, comment: The server requires binds "
       "to turn on integrity checking if SSL\\TLS are not already active on "
       "the connection, data 0, v4563",
       "",
       "the connection, data 0, v4563\nHint: the server accepts a simple "
       "bind only under TLS: add -ssl or -starttls, or use a Kerberos bind "
       "(leave out -simple).\n"},
      {false, true, false, FakeOp::kNegotiateBind, 49,
       "80090346: LdapErr: DSID-0C090569, comment: AcceptSecurityContext "
       "error, data 80090346, v4563",
       "",
       "data 80090346, v4563\nHint: the server enforces LDAP channel binding "
       "and refused this bind's binding (80090346): connect to the controller "
       "itself (no TLS-inspecting proxy in between), or use -simple with -ssl "
       "or -starttls.\n"},
  };
  for (const Case& c : cases) {
    client.ClearLog();
    client.FailNext(c.failing, c.code, c.diagnostic);
    options.ssl = c.ssl;
    options.startTls = c.startTls;
    options.simple = c.simple;
    int selector = 0;
    int status = 0;
    EXPECT_FALSE(Open("dc1", &selector, options, &status));
    EXPECT_EQ(c.code, status);
    EXPECT_EQ(c.out, out);
    std::string tail = c.errTail;
    ASSERT_GE(err.size(), tail.size()) << err;
    EXPECT_EQ(tail, err.substr(err.size() - tail.size()));
    if (c.failing == FakeOp::kEstablishTls) {
      EXPECT_EQ(0, client.Count(FakeOp::kSimpleBind) +
                       client.Count(FakeOp::kNegotiateBind));
    }
  }

  // The hint for a refused simple bind belongs to plain connections only.
  client.FailNext(FakeOp::kSimpleBind, 8, "");
  options = BindOptions();
  options.simple = true;
  options.ssl = true;
  int selector = 0;
  int status = 0;
  EXPECT_FALSE(Open("dc1", &selector, options, &status));
  EXPECT_EQ(std::string::npos, err.find("Hint"));

  // A security strength that cannot be set ends the open before the bind.
  client.ClearLog();
  client.FailOption(LdapOption::kSaslSecurityMaximum, -12);
  options = BindOptions{};
  EXPECT_FALSE(Open("dc1", &selector, options, &status));
  EXPECT_EQ(-12, status);
  EXPECT_EQ(0, client.Count(FakeOp::kNegotiateBind));
}

}  // namespace
}  // namespace talvex

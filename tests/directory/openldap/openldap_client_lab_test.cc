// The libldap client against the lab's Samba AD domain controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "directory/ldap_search.h"
#include "directory/openldap/openldap_client.h"
#include "directory/openldap/platform_lab.h"

namespace talvex {
namespace {

constexpr int kLdapPort = 389;
constexpr int kGlobalCatalogPort = 3268;
constexpr int kAlreadyExists = 68;
const std::string kProbeOu = "OU=PlatformProbe,";

NegotiateCredentials CurrentLogon() {
  NegotiateCredentials credentials;
  credentials.currentLogon = true;
  return credentials;
}

LdapSearchRequest Request(const std::string& base, LdapScope scope,
                          const std::string& filter,
                          std::vector<std::string> attributes) {
  LdapSearchRequest request;
  request.base = base;
  request.scope = scope;
  request.filter = filter;
  request.attributes = std::move(attributes);
  return request;
}

LdapModification Mod(LdapModOp op, const std::string& attribute,
                     std::vector<std::string> values = {}) {
  LdapModification modification;
  modification.op = op;
  modification.attribute = attribute;
  modification.values = std::move(values);
  return modification;
}

LdapControl Control(const std::string& oid, const std::string& value) {
  LdapControl control;
  control.oid = oid;
  control.hasValue = !value.empty();
  control.value = value;
  control.critical = true;
  return control;
}

class LabOpenLdapClientTest : public testing::Test {
 protected:
  void SetUp() override {
    TALVEX_REQUIRE_PLATFORM_LAB();
    client_ = MakeOpenLdapClient();
  }

  std::string Lab(const char* name) const { return lab_->Value(name); }

  std::unique_ptr<LdapConnection> Connect(const std::string& host,
                                          int port = kLdapPort) {
    int error = -100;
    std::unique_ptr<LdapConnection> connection =
        client_->Initialize(host, port, LdapTls::kNone, &error);
    EXPECT_EQ(error, 0);
    if (connection != nullptr) {
      EXPECT_EQ(connection->SetOption(LdapOption::kProtocolVersion, 3), 0);
      EXPECT_EQ(connection->SetOption(LdapOption::kReferrals, 0), 0);
      EXPECT_EQ(connection->SetOption(LdapOption::kKeepAlive, 60), 0);
    }
    return connection;
  }
  std::unique_ptr<LdapConnection> Connect() {
    return Connect(Lab("LAB_DC_HOST"));
  }

  std::unique_ptr<LdapConnection> AdminConnection() {
    std::unique_ptr<LdapConnection> connection = Connect();
    EXPECT_EQ(connection->SimpleBind("Administrator@" + Lab("LAB_DOMAIN"),
                                     Lab("LAB_ADMIN_PASSWORD")),
              0);
    return connection;
  }

  NegotiateCredentials Account(const std::string& user,
                               const std::string& domain,
                               const std::string& password) {
    return {.currentLogon = false,
            .user = user,
            .domain = domain,
            .password = password};
  }

  static std::vector<LdapEntry> Read(LdapConnection& connection,
                                     const std::string& base, LdapScope scope,
                                     const std::string& filter,
                                     std::vector<std::string> attributes,
                                     int* rc) {
    std::vector<LdapEntry> entries;
    std::string cookie;
    LdapSearchRequest request =
        Request(base, scope, filter, std::move(attributes));
    *rc = connection.Search(request, 0, &cookie, &entries);
    return entries;
  }

  static std::vector<std::string> Values(const LdapEntry& entry,
                                         const std::string& name) {
    for (const LdapAttribute& attribute : entry.attributes) {
      if (attribute.name == name) return attribute.values;
    }
    return {};
  }

  // The SID of an account, read as Administrator.
  std::string SidOf(const std::string& account) {
    std::unique_ptr<LdapConnection> admin = AdminConnection();
    int rc = -100;
    auto entries = Read(*admin, Lab("LAB_BASE_DN"), LdapScope::kSubtree,
                        "(sAMAccountName=" + account + ")", {"objectSid"}, &rc);
    EXPECT_EQ(rc, 0);
    if (entries.size() != 1 || Values(entries[0], "objectSid").empty())
      return "";
    return Values(entries[0], "objectSid")[0];
  }

  // Whether the connection is bound as the account: the RootDSE's
  // tokenGroups holds the SIDs of the bound identity (Samba puts the
  // account's own SID there too).
  void ExpectBoundAs(LdapConnection& connection, const std::string& account,
                     const std::string& notAccount) {
    int rc = -100;
    auto entries = Read(connection, "", LdapScope::kBase, "(objectClass=*)",
                        {"tokenGroups"}, &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(entries.size(), 1u);
    std::vector<std::string> sids = Values(entries[0], "tokenGroups");
    auto holds = [&](const std::string& sid) {
      return std::find(sids.begin(), sids.end(), sid) != sids.end();
    };
    EXPECT_TRUE(holds(SidOf(account))) << "not bound as " << account;
    EXPECT_FALSE(holds(SidOf(notAccount))) << "bound as " << notAccount;
  }

  const PlatformLab* lab_ = nullptr;
  std::unique_ptr<LdapClient> client_;
};

TEST_F(LabOpenLdapClientTest, SimpleBindByDnUpnAndDomainUser) {
  const std::string password = Lab("LAB_ADMIN_PASSWORD");
  for (const std::string& user :
       {"CN=Administrator,CN=Users," + Lab("LAB_BASE_DN"),
        "Administrator@" + Lab("LAB_DOMAIN"),
        Lab("LAB_NETBIOS") + "\\Administrator"}) {
    std::unique_ptr<LdapConnection> connection = Connect();
    EXPECT_EQ(connection->SimpleBind(user, password), 0) << user;
    EXPECT_EQ(connection->DiagnosticMessage(), "") << user;
  }
}

TEST_F(LabOpenLdapClientTest, WrongPasswordGives49WithTheServersDiagnostic) {
  std::unique_ptr<LdapConnection> connection = Connect();
  EXPECT_EQ(
      connection->SimpleBind("Administrator@" + Lab("LAB_DOMAIN"), "wrong"),
      ldap_result::kInvalidCredentials);
  // The AD-style text arrives whole.
  EXPECT_NE(connection->DiagnosticMessage().find("80090308: LdapErr: DSID-"),
            std::string::npos)
      << connection->DiagnosticMessage();
  EXPECT_EQ(client_->ErrorText(ldap_result::kInvalidCredentials),
            "Invalid credentials");
}

TEST_F(LabOpenLdapClientTest, NegotiateBindWithTheProcessTicketCache) {
  // lab/exec.sh hands the lab's Administrator ticket cache to the process.
  std::unique_ptr<LdapConnection> connection = Connect();
  ASSERT_EQ(connection->NegotiateBind(CurrentLogon()), 0)
      << connection->DiagnosticMessage();
  ExpectBoundAs(*connection, "Administrator", "alice");
}

TEST_F(LabOpenLdapClientTest, NegotiateBindWithoutAnyTicketFails) {
  ScopedEnvironment noCache("KRB5CCNAME", "FILE:/nonexistent/talvex-no-cache");
  std::unique_ptr<LdapConnection> connection = Connect();
  EXPECT_EQ(connection->NegotiateBind(CurrentLogon()),
            ldap_result::kLocalError);
  EXPECT_NE(connection->DiagnosticMessage(), "");
}

TEST_F(LabOpenLdapClientTest, NegotiateBindWithPasswordIgnoresTheDefaultCache) {
  // The default cache holds Administrator's tickets: a bind with alice's
  // password must still be alice, in each form of the account name.
  const std::string password = Lab("LAB_USER_PASSWORD");
  for (const NegotiateCredentials& credentials :
       {Account("alice", Lab("LAB_NETBIOS"), password),
        Account("alice@" + Lab("LAB_DOMAIN"), "", password),
        Account("alice", Lab("LAB_DOMAIN"), password),
        Account("alice", "", password)}) {
    std::unique_ptr<LdapConnection> connection = Connect();
    ASSERT_EQ(connection->NegotiateBind(credentials), 0)
        << credentials.domain << "\\" << credentials.user << ": "
        << connection->DiagnosticMessage();
    ExpectBoundAs(*connection, "alice", "Administrator");
  }
}

TEST_F(LabOpenLdapClientTest,
       NegotiateBindWithPasswordNeedsNoCacheNorKrb5Conf) {
  ScopedEnvironment noCache("KRB5CCNAME", "FILE:/nonexistent/talvex-no-cache");
  {
    std::unique_ptr<LdapConnection> connection = Connect();
    ASSERT_EQ(connection->NegotiateBind(
                  Account("bob", Lab("LAB_NETBIOS"), Lab("LAB_USER_PASSWORD"))),
              0)
        << connection->DiagnosticMessage();
    ExpectBoundAs(*connection, "bob", "Administrator");
  }
  // Without any Kerberos configuration: the realm comes from the server,
  // the KDC from DNS.
  ScopedEnvironment noConfig("KRB5_CONFIG", "/nonexistent/talvex-krb5.conf");
  std::unique_ptr<LdapConnection> connection = Connect();
  ASSERT_EQ(
      connection->NegotiateBind(Account("Administrator", Lab("LAB_NETBIOS"),
                                        Lab("LAB_ADMIN_PASSWORD"))),
      0)
      << connection->DiagnosticMessage();
}

TEST_F(LabOpenLdapClientTest,
       NegotiateBindWithWrongPasswordIs49WithKerberosText) {
  ScopedEnvironment noCache("KRB5CCNAME", "FILE:/nonexistent/talvex-no-cache");
  // Administrator: no lockout applies to it, however often this runs.
  for (const NegotiateCredentials& credentials :
       {Account("Administrator", Lab("LAB_NETBIOS"), "wrong"),
        Account("nosuchuser", Lab("LAB_NETBIOS"), "whatever")}) {
    std::unique_ptr<LdapConnection> connection = Connect();
    EXPECT_EQ(connection->NegotiateBind(credentials),
              ldap_result::kInvalidCredentials)
        << credentials.user;
    std::string diagnostic = connection->DiagnosticMessage();
    EXPECT_NE(diagnostic.find(credentials.user + "@" + Lab("LAB_REALM")),
              std::string::npos)
        << diagnostic;
    EXPECT_EQ(diagnostic.find(credentials.password), std::string::npos)
        << diagnostic;
  }
}

TEST_F(LabOpenLdapClientTest, NegotiateBindWithEncryptionRequired) {
  std::unique_ptr<LdapConnection> connection = Connect();
  EXPECT_EQ(connection->SetOption(LdapOption::kSaslSecurityMinimum, 56), 0);
  ASSERT_EQ(connection->NegotiateBind(CurrentLogon()), 0)
      << connection->DiagnosticMessage();
  int rc = -100;
  auto entries = Read(*connection, Lab("LAB_BASE_DN"), LdapScope::kBase,
                      "(objectClass=*)", {"distinguishedName"}, &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(entries.size(), 1u);
}

TEST_F(LabOpenLdapClientTest, PagedSearchReturnsEveryEntry) {
  std::unique_ptr<LdapConnection> connection = AdminConnection();
  LdapSearchRequest request = Request(Lab("LAB_BULK_DN"), LdapScope::kOneLevel,
                                      "(objectClass=contact)", {"cn"});
  std::vector<LdapEntry> entries;
  std::string cookie;
  int pages = 0;
  do {
    ASSERT_EQ(connection->Search(request, 100, &cookie, &entries), 0);
    ++pages;
  } while (!cookie.empty() && pages < 100);
  EXPECT_EQ(entries.size(), 260u);
  EXPECT_EQ(pages, 3);
  std::vector<std::string> names;
  for (const LdapEntry& entry : entries)
    names.push_back(Values(entry, "cn").at(0));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
  EXPECT_EQ(names.front(), "bulk-contact-0001");
  EXPECT_EQ(names.back(), "bulk-contact-0260");
}

// Samba sends one paging cookie for every page of a search: the guard
// against servers that send the same page again lets it through.
TEST_F(LabOpenLdapClientTest, PagedRecordSearchReadsEverySambaPage) {
  std::unique_ptr<LdapConnection> connection = AdminConnection();
  RecordSet records;
  EXPECT_EQ(
      LdapGetRecs(*connection, Lab("LAB_BULK_DN"), "one", "objectClass=contact",
                  {"cn"}, {}, {.pageSize = 100}, &records),
      0);
  EXPECT_EQ(records.size(), 260u);
}

TEST_F(LabOpenLdapClientTest, SubtreeSearchSkipsReferencesAndReturnsRawValues) {
  std::unique_ptr<LdapConnection> connection = AdminConnection();
  // From the domain NC a subtree search also yields references to the
  // configuration and DNS partitions: only entries come back.
  int rc = -100;
  auto entries =
      Read(*connection, Lab("LAB_BASE_DN"), LdapScope::kSubtree,
           "(sAMAccountName=alice)", {"objectSid", "objectGUID", "cn"}, &rc);
  ASSERT_EQ(rc, 0);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].dn, "CN=alice," + Lab("LAB_STAFF_DN"));
  EXPECT_EQ(Values(entries[0], "cn"), std::vector<std::string>{"alice"});
  ASSERT_EQ(Values(entries[0], "objectGUID").size(), 1u);
  EXPECT_EQ(Values(entries[0], "objectGUID")[0].size(), 16u);
  // S-1-5-21-x-y-z-RID: revision 1, 5 sub-authorities, 28 bytes.
  ASSERT_EQ(Values(entries[0], "objectSid").size(), 1u);
  EXPECT_EQ(Values(entries[0], "objectSid")[0].size(), 28u);
  EXPECT_EQ(Values(entries[0], "objectSid")[0][0], '\x01');
}

TEST_F(LabOpenLdapClientTest, EveryAttributeOfAnEntryWithAllItsValues) {
  std::unique_ptr<LdapConnection> connection = AdminConnection();
  int rc = -100;
  // Multi-valued attributes keep every value in the server's order, single
  // ones sit between them, and a name asked for twice comes back once.
  auto entries = Read(*connection, Lab("LAB_BASE_DN"), LdapScope::kSubtree,
                      "(sAMAccountName=alice)",
                      {"objectClass", "cn", "userPrincipalName", "memberOf",
                       "objectClass", "noSuchAttribute"},
                      &rc);
  ASSERT_EQ(rc, 0);
  ASSERT_EQ(entries.size(), 1u);
  std::vector<std::string> names;
  for (const LdapAttribute& attribute : entries[0].attributes)
    names.push_back(attribute.name);
  EXPECT_EQ(std::count(names.begin(), names.end(), "objectClass"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "noSuchAttribute"), 0);
  EXPECT_EQ(Values(entries[0], "objectClass"),
            (std::vector<std::string>{"top", "person", "organizationalPerson",
                                      "user"}));
  EXPECT_EQ(Values(entries[0], "cn"), std::vector<std::string>{"alice"});
  EXPECT_EQ(Values(entries[0], "userPrincipalName"),
            std::vector<std::string>{"alice@" + Lab("LAB_DOMAIN")});
}

// Offsets of the owner, group, SACL and DACL in a self-relative security
// descriptor (revision, padding, control, then four 32-bit offsets).
std::vector<unsigned> DescriptorOffsets(const std::string& descriptor) {
  std::vector<unsigned> offsets;
  for (std::size_t at = 4; at + 4 <= 20 && at + 4 <= descriptor.size();
       at += 4) {
    unsigned value = 0;
    for (int i = 3; i >= 0; --i) {
      value = value << 8 | static_cast<unsigned char>(descriptor[at + i]);
    }
    offsets.push_back(value);
  }
  return offsets;
}

TEST_F(LabOpenLdapClientTest, ServerControlsOfTheRequestAreSent) {
  std::unique_ptr<LdapConnection> connection = AdminConnection();
  LdapSearchRequest request =
      Request(Lab("LAB_BASE_DN"), LdapScope::kBase, "(objectClass=*)",
              {"nTSecurityDescriptor"});
  auto descriptorOffsets = [&] {
    std::vector<LdapEntry> entries;
    std::string cookie;
    EXPECT_EQ(connection->Search(request, 0, &cookie, &entries), 0);
    auto values = entries.empty() ? std::vector<std::string>{}
                                  : Values(entries[0], "nTSecurityDescriptor");
    return values.size() == 1 ? DescriptorOffsets(values[0])
                              : std::vector<unsigned>{};
  };
  std::vector<unsigned> whole = descriptorOffsets();
  ASSERT_EQ(whole.size(), 4u);
  EXPECT_NE(whole[3], 0u) << "a DACL without the control";
  // Security-descriptor flags control, BER value SEQUENCE { INTEGER 1 }:
  // the owner alone.
  request.serverControls = {Control("1.2.840.113556.1.4.801",
                                    std::string("\x30\x03\x02\x01\x01", 5))};
  std::vector<unsigned> ownerOnly = descriptorOffsets();
  ASSERT_EQ(ownerOnly.size(), 4u);
  EXPECT_NE(ownerOnly[0], 0u);
  EXPECT_EQ(ownerOnly[1], 0u);
  EXPECT_EQ(ownerOnly[3], 0u);
}

TEST_F(LabOpenLdapClientTest, AddModifyRenameAndDeleteChangeTheDirectory) {
  std::unique_ptr<LdapConnection> connection = AdminConnection();
  const std::string ou = kProbeOu + Lab("LAB_BASE_DN");
  const std::string contact = "CN=probe," + ou;
  const std::string renamed = "CN=probe-renamed," + ou;
  // Leftovers of an interrupted run.
  connection->Delete(contact);
  connection->Delete(renamed);
  connection->Delete(ou);

  ASSERT_EQ(connection->Add(ou, {Mod(LdapModOp::kAdd, "objectClass",
                                     {"organizationalUnit"})}),
            0)
      << connection->DiagnosticMessage();
  std::vector<LdapModification> attributes = {
      Mod(LdapModOp::kAdd, "objectClass", {"contact"}),
      Mod(LdapModOp::kAdd, "description", {"first"}),
      Mod(LdapModOp::kAdd, "otherTelephone", {"111", "222"})};
  ASSERT_EQ(connection->Add(contact, attributes), 0)
      << connection->DiagnosticMessage();
  EXPECT_EQ(connection->Add(contact, attributes), kAlreadyExists);
  EXPECT_NE(connection->DiagnosticMessage(), "");

  ASSERT_EQ(connection->Modify(
                contact, {Mod(LdapModOp::kReplace, "description", {"second"}),
                          Mod(LdapModOp::kAdd, "otherTelephone", {"333"}),
                          Mod(LdapModOp::kDelete, "otherTelephone", {"111"})}),
            0)
      << connection->DiagnosticMessage();
  EXPECT_EQ(connection->Modify(
                contact, {Mod(LdapModOp::kDelete, "otherTelephone", {"999"})}),
            ldap_result::kNoSuchAttribute);
  int rc = -100;
  auto entries = Read(*connection, contact, LdapScope::kBase, "(objectClass=*)",
                      {"description", "otherTelephone"}, &rc);
  ASSERT_EQ(rc, 0);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(Values(entries[0], "description"),
            std::vector<std::string>{"second"});
  auto phones = Values(entries[0], "otherTelephone");
  std::sort(phones.begin(), phones.end());
  EXPECT_EQ(phones, (std::vector<std::string>{"222", "333"}));

  // Deleting without values removes the whole attribute.
  ASSERT_EQ(
      connection->Modify(contact, {Mod(LdapModOp::kDelete, "otherTelephone")}),
      0);
  entries = Read(*connection, contact, LdapScope::kBase, "(objectClass=*)",
                 {"otherTelephone"}, &rc);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(Values(entries[0], "otherTelephone").empty());

  ASSERT_EQ(connection->Rename(contact, "CN=probe-renamed", true), 0)
      << connection->DiagnosticMessage();
  Read(*connection, contact, LdapScope::kBase, "(objectClass=*)", {"cn"}, &rc);
  EXPECT_EQ(rc, ldap_result::kNoSuchObject);
  entries = Read(*connection, renamed, LdapScope::kBase, "(objectClass=*)",
                 {"cn"}, &rc);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(Values(entries.at(0), "cn"),
            std::vector<std::string>{"probe-renamed"});

  EXPECT_EQ(connection->Delete(renamed), 0);
  EXPECT_EQ(connection->Delete(renamed), ldap_result::kNoSuchObject);
  EXPECT_NE(connection->DiagnosticMessage(), "");
  EXPECT_EQ(connection->Delete(ou), 0);
}

TEST_F(LabOpenLdapClientTest, DiagnosticBelongsToTheLastRequestOnly) {
  std::unique_ptr<LdapConnection> connection = AdminConnection();
  EXPECT_EQ(connection->Delete("CN=nosuch," + Lab("LAB_BASE_DN")),
            ldap_result::kNoSuchObject);
  ASSERT_NE(connection->DiagnosticMessage(), "");
  // A request that fails before reaching the server has no text of its
  // own; the earlier one's must not show as if it were.
  int rc = -100;
  Read(*connection, Lab("LAB_BASE_DN"), LdapScope::kBase, "(cn=", {"cn"}, &rc);
  EXPECT_EQ(rc, ldap_result::kFilterError);
  EXPECT_EQ(connection->DiagnosticMessage(), "");
}

TEST_F(LabOpenLdapClientTest, GlobalCatalogPortAndHostName) {
  std::unique_ptr<LdapConnection> connection =
      Connect(Lab("LAB_DC_HOST"), kGlobalCatalogPort);
  EXPECT_EQ(connection->HostName(), Lab("LAB_DC_HOST"));
  ASSERT_EQ(connection->NegotiateBind(CurrentLogon()), 0)
      << connection->DiagnosticMessage();
  int rc = -100;
  // The global catalog searches the whole forest from the empty base.
  auto entries = Read(*connection, "", LdapScope::kSubtree,
                      "(sAMAccountName=alice)", {"cn"}, &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(entries.size(), 1u);
  EXPECT_EQ(Connect()->HostName(), Lab("LAB_DC_HOST"));
}

TEST_F(LabOpenLdapClientTest, EmptyHostIsAControllerOfThisMachinesDomain) {
  for (int port : {kLdapPort, kGlobalCatalogPort}) {
    std::unique_ptr<LdapConnection> connection = Connect("", port);
    EXPECT_EQ(connection->HostName(), Lab("LAB_DC_HOST")) << port;
    EXPECT_EQ(connection->NegotiateBind(CurrentLogon()), 0)
        << port << ": " << connection->DiagnosticMessage();
  }
}

TEST_F(LabOpenLdapClientTest, UnreachableHostFailsWithinTheNetworkTimeout) {
  // An address of the lab's network where nothing answers.
  auto start = std::chrono::steady_clock::now();
  std::unique_ptr<LdapConnection> connection = Connect("10.99.0.99");
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(connection->SimpleBind("Administrator@" + Lab("LAB_DOMAIN"),
                                   Lab("LAB_ADMIN_PASSWORD")),
            ldap_result::kServerDown);
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                     std::chrono::steady_clock::now() - start)
                     .count();
  EXPECT_LE(seconds, 12);
  // A name that does not resolve fails at once; so does one that only
  // begins like a host name.
  for (const char* host : {"nosuchhost.invalid", "dc1/x", "dc1?x"}) {
    std::unique_ptr<LdapConnection> unknown = Connect(host);
    EXPECT_EQ(unknown->NegotiateBind(CurrentLogon()), ldap_result::kServerDown)
        << host;
  }
}

// The lab's CA reaches libldap through LDAPTLS_CACERT, set by the suite that
// runs these tests (tests/e2e/test_directory_platform.py).
TEST_F(LabOpenLdapClientTest, TlsChecksTheCertificateBeforeAnyBind) {
  struct Case {
    std::string host;
    int port;
    LdapTls tls;
    const char* reason;  // "" : TLS is set up
  };
  const std::string dc = Lab("LAB_DC_HOST");
  const std::string ip = Lab("LAB_DC_IP");
  const Case cases[] = {
      {dc, 636, LdapTls::kLdaps, ""},
      {dc, 3268, LdapTls::kStartTls, ""},
      // The certificate names DC1.corp.example.com, not the address.
      {ip, 636, LdapTls::kLdaps, "TLS: name mismatch"},
      {ip, 389, LdapTls::kStartTls, "TLS: name mismatch"},
      {dc, 389, LdapTls::kLdaps, "TLS: the TLS handshake failed"},
  };
  for (const Case& c : cases) {
    auto start = std::chrono::steady_clock::now();
    int error = -100;
    std::unique_ptr<LdapConnection> connection =
        client_->Initialize(c.host, c.port, c.tls, &error);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->SetOption(LdapOption::kProtocolVersion, 3), 0);
    int rc = connection->EstablishTls();
    std::string diagnostic = connection->DiagnosticMessage();
    if (std::string(c.reason).empty()) {
      ASSERT_EQ(rc, 0) << c.host << ":" << c.port << " " << diagnostic;
      // Kerberos under TLS: no SASL layer, the TLS channel binding.
      EXPECT_EQ(connection->SetOption(LdapOption::kSaslSecurityMinimum, 0), 0);
      EXPECT_EQ(connection->SetOption(LdapOption::kSaslSecurityMaximum, 0), 0);
      EXPECT_EQ(connection->SetOption(
                    LdapOption::kSaslChannelBinding,
                    static_cast<int>(LdapChannelBinding::kTlsEndpoint)),
                0);
      EXPECT_EQ(connection->NegotiateBind(CurrentLogon()), 0)
          << connection->DiagnosticMessage();
    } else {
      EXPECT_NE(rc, 0) << c.host << ":" << c.port;
      EXPECT_EQ(diagnostic.rfind(c.reason, 0), 0u) << diagnostic;
    }
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::steady_clock::now() - start)
                       .count();
    EXPECT_LE(seconds, 12) << c.host << ":" << c.port;
  }
}

}  // namespace
}  // namespace talvex

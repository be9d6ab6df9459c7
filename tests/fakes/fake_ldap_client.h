// The in-process LDAP client of the unit tests: a forest of fake directories
// served by host name, a log of every request, and failures on demand.
//
// Typical set-up:
//   FakeLdapClient client;
//   FakeDirectory& corp = client.AddDomain("dc1.corp.example.com",
//                                          "DC=corp,DC=example,DC=com");
//   client.AddDomain("dc1.child.corp.example.com",
//                    "DC=child,DC=corp,DC=example,DC=com");
//   client.AddGlobalCatalog("dc1.corp.example.com");  // served on 3268/3269
//   corp.AddPso("DC=corp,DC=example,DC=com", "pso1", 10);
//   ... OpenLDAP(client, "dc1.corp.example.com", ...) ...
//   EXPECT_EQ(1, client.Count(FakeOp::kSimpleBind));
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "directory/ldap_client.h"
#include "fakes/fake_directory.h"

namespace talvex {

enum class FakeOp {
  kInitialize,
  kSetOption,
  kEstablishTls,  // LdapConnection::EstablishTls (also for LdapTls::kNone)
  kSimpleBind,
  kNegotiateBind,
  kSearch,  // one call of LdapConnection::Search: a plain search or one page
  kAdd,
  kModify,
  kDelete,
  kRename,
};

// Ways a broken or hostile server lies (FakeLdapClient::Lie).
enum class FakeLie {
  kNone,
  kEndlessRanges,   // "attr;range=N-*" answered with N-(N+9), never the last
  kBackwardRanges,  // "attr;range=N-*" answered with 0-9
  kRepeatedPages,   // every page is the first again, under one cookie
  kEmptyPages,      // every page without entries, under a new cookie
  kIgnoredWrites,   // a modification answered with success, not made
  kShoutedNames,    // every attribute name of an answer in upper case
  kForeignEntries,  // every answer with a copy of its first entry from
                    // DC=elsewhere,DC=invalid added
  kLookalikeEntries,  // every answer with a copy of its first entry added
                      // as "CN=x\,<base>": the base's text after an
                      // escaped comma, one level above the base
};

// One request as the fake received it, with the result it gave.
struct FakeRequest {
  FakeOp kind = FakeOp::kInitialize;
  std::string host;  // as given to Initialize
  int port = 0;
  LdapTls tls = LdapTls::kNone;  // as given to Initialize
  int result = 0;
  // kSetOption
  LdapOption option = LdapOption::kProtocolVersion;
  int optionValue = 0;
  // kSimpleBind (dn, password); kNegotiateBind (credentials)
  std::string password;
  NegotiateCredentials credentials;
  // kSearch
  LdapSearchRequest search;
  int pageSize = 0;
  std::string cookie;  // as sent ("" on the first page)
  std::size_t entriesReturned = 0;
  // kAdd, kModify, kDelete, kRename, kSimpleBind: the DN concerned
  std::string dn;
  std::vector<LdapModification> modifications;  // kAdd, kModify
  std::string newRdn;                           // kRename
  bool deleteOldRdn = false;
};

// A search sent ahead (LdapConnection::SendAhead), and what became of it.
struct FakeAheadSearch {
  LdapSearchRequest search;
  int pageSize = 0;
  // Taken by an equal Search on the same connection; false: never asked
  // for, or dropped by a write or bind.
  bool taken = false;
};

// Settings of a domain built by AddDomain.
struct FakeDomainOptions {
  std::string netbiosName;  // default: upper-cased first DC label
  int domainLevel = 3;
  int forestLevel = 3;
  int dcLevel = 3;
  bool globalCatalogReady = true;
  // Default: the Windows LDAP server gate plus the AD generations 2000, 2003
  // and Longhorn.
  std::vector<std::string> capabilities;
  std::string dsaVersionString;  // not stored when empty (as Samba)
};

class FakeLdapState;

class FakeLdapClient : public LdapClient {
 public:
  FakeLdapClient();
  ~FakeLdapClient() override;

  // ---- The forest ----------------------------------------------------------
  // Serves the directory on the host's LDAP ports (anything but 3268/3269).
  // Host names compare without regard to case. Several hosts may share one
  // directory (two controllers of one domain). Null: a new empty directory.
  std::shared_ptr<FakeDirectory> AddHost(
      const std::string& host,
      std::shared_ptr<FakeDirectory> directory = nullptr);
  // The directory the host serves on its LDAP ports (null when none).
  std::shared_ptr<FakeDirectory> DirectoryOf(const std::string& host) const;
  // The global catalog the host serves on 3268/3269 (null when none).
  std::shared_ptr<FakeDirectory> GlobalCatalogOf(const std::string& host) const;

  // A domain with its own directory served by host: the RootDSE, the domain
  // head with the default domain policy (as Samba provisions it), CN=Users,
  // CN=System, the Password Settings Container and the forest's shared
  // configuration partition with one crossRef per domain. The first domain
  // added is the forest root. msDS-PasswordSettings gets its mandatory
  // attributes. Returns the domain's directory.
  FakeDirectory& AddDomain(const std::string& host, const std::string& domainDn,
                           const FakeDomainOptions& options = {});
  // Another controller of a domain added before (shares its directory).
  void AddController(const std::string& host, const std::string& domainDn);
  // A global catalog on host's ports 3268/3269 spanning every domain added
  // so far; partialAttributeSet empty: all attributes.
  FakeDirectory& AddGlobalCatalog(
      const std::string& host, std::set<std::string> partialAttributeSet = {});
  // The directory of a domain added with AddDomain.
  FakeDirectory& Domain(const std::string& domainDn);
  // The host Initialize("") reaches (the library finding a server itself).
  void SetDefaultHost(const std::string& host);

  // ---- Failures on demand
  // ---------------------------------------------------- The next operation of
  // this kind (after letting `skip` of them pass) fails with the code and the
  // server diagnostic, on whatever connection.
  void FailNext(FakeOp kind, int code, const std::string& diagnostic = "",
                int skip = 0);
  // Every operation of this kind on this DN (a search: its base) fails; a
  // later call for the same DN and kind replaces the code.
  void FailOnDn(FakeOp kind, const std::string& dn, int code,
                const std::string& diagnostic = "");
  // Initialize of this host fails with the error.
  void FailInitialize(const std::string& host, int error);
  // Every bind (simple or negotiated) to this host fails.
  void FailBind(const std::string& host, int code,
                const std::string& diagnostic = "");
  // Setting this option fails with the code on every connection.
  void FailOption(LdapOption option, int code);
  // From now on every connection answers searches with the lie (reads of
  // ranges, or pages of a paged search, as the lie concerns).
  void Lie(FakeLie lie);

  // ---- What was asked
  // -----------------------------------------------------------
  const std::vector<FakeRequest>& Requests() const;
  std::vector<FakeRequest> Requests(FakeOp kind) const;
  // The last request of the kind (a default request when there was none).
  FakeRequest Last(FakeOp kind) const;
  int Count(FakeOp kind) const;
  // Searches with a page size above 0.
  int PageCount() const;
  // Every search sent ahead, in the order sent.
  std::vector<FakeAheadSearch> SentAhead() const;
  void ClearLog();

  // ---- LdapClient
  // ------------------------------------------------------------ Unknown hosts
  // fail with -1 (server down), as a connect to a name that does not answer
  // does.
  std::unique_ptr<LdapConnection> Initialize(const std::string& host, int port,
                                             LdapTls tls, int* error) override;
  // libldap's ldap_err2string texts.
  std::string ErrorText(int code) override;

  // A connection to the host already bound (simple, as "test"), for tests
  // that need a connection but are not about binding. The bind is logged.
  std::unique_ptr<LdapConnection> Connect(const std::string& host,
                                          int port = 389);

 private:
  std::shared_ptr<FakeLdapState> state_;
};

// The text libldap gives for a result code.
std::string FakeLdapErrorText(int code);

// The diagnostic AD sends with 49 for a bad password.
inline constexpr char kFakeBadPasswordDiagnostic[] =
    "80090308: LdapErr: DSID-0C09041C, comment: AcceptSecurityContext error, "
    "data 52e, v4563";
// The diagnostic AD sends when an operation needs a bind first.
inline constexpr char kFakeBindRequiredDiagnostic[] =
    "000004DC: LdapErr: DSID-0C090A5C, comment: In order to perform this "
    "operation a successful bind must be completed on the connection., data "
    "0, v4563";

}  // namespace talvex

// The seam between our directory routines and an LDAP client library.
//
// It holds only the client operations that our own routines call, at the
// level of the library's calls, so that everything above it (searches,
// paging, value conversion, error reports, every action) runs unchanged
// against the real client (libldap) and the in-process fake of the tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace talvex {

// Result codes of RFC 4511 that our routines act on, and libldap's own
// client-side codes (negative).
namespace ldap_result {
constexpr int kSuccess = 0;
constexpr int kSizeLimitExceeded = 4;
constexpr int kNoSuchAttribute = 16;
constexpr int kConstraintViolation = 19;
constexpr int kAttributeOrValueExists = 20;
constexpr int kInvalidSyntax = 21;
constexpr int kNoSuchObject = 32;
constexpr int kInvalidDnSyntax = 34;
constexpr int kInvalidCredentials = 49;
constexpr int kInsufficientAccess = 50;
constexpr int kUnwillingToPerform = 53;
constexpr int kObjectClassViolation = 65;
constexpr int kNoResultsReturned = 94;
constexpr int kServerDown = -1;
constexpr int kLocalError = -2;
constexpr int kTimeout = -5;
constexpr int kAuthUnknown = -6;
constexpr int kFilterError = -7;
constexpr int kParamError = -9;
constexpr int kConnectError = -11;
}  // namespace ldap_result

enum class LdapScope { kBase, kOneLevel, kSubtree };

struct LdapControl {
  std::string oid;
  bool hasValue = false;
  std::string value;  // BER bytes
  bool critical = true;
};

// An attribute as the server returned it: values are raw bytes; turning
// binary values into text happens above the seam.
struct LdapAttribute {
  std::string name;
  std::vector<std::string> values;
};

struct LdapEntry {
  std::string dn;
  std::vector<LdapAttribute> attributes;
};

struct LdapSearchRequest {
  std::string base;
  LdapScope scope = LdapScope::kSubtree;
  // The filter as our routines word it, or its strict form for a client
  // that needs it (NeedsStrictFilters).
  std::string filter;
  std::vector<std::string> attributes;  // empty: all attributes
  bool attributesOnly = false;
  std::vector<LdapControl> serverControls;
  int sizeLimit = 0;         // 0: none
  int timeLimitSeconds = 0;  // 0: none
};

enum class LdapModOp { kAdd = 0, kDelete = 1, kReplace = 2 };

struct LdapModification {
  LdapModOp op = LdapModOp::kReplace;
  std::string attribute;
  std::vector<std::string> values;  // empty with kDelete: every value
};

enum class LdapOption {
  kProtocolVersion,  // value 2 or 3
  kReferrals,        // 0 off, 1 on
  kKeepAlive,        // seconds of idle time before TCP keep-alive probes
  kSaslSecurityMinimum,  // minimum SASL security strength (encryption)
  kLocatorFlags,  // domain-controller locator flags for a library that locates
};

// Credentials of a negotiated (Kerberos) bind.
struct NegotiateCredentials {
  // True: the process's own logon (its Kerberos ticket cache).
  bool currentLogon = true;
  std::string user;    // account name or user principal name
  std::string domain;  // from DOMAIN\user; may be empty
  std::string password;
};

// One connection handle.
class LdapConnection {
 public:
  virtual ~LdapConnection() = default;

  virtual int SetOption(LdapOption option, int value) = 0;
  // Whether searches must send the strict filter form (one outer pair of
  // parentheses, every component in its own pair). libldap refuses the
  // loose forms before sending; the Windows client takes them as written.
  virtual bool NeedsStrictFilters() const { return true; }
  virtual int SimpleBind(const std::string& dn, const std::string& password) = 0;
  virtual int NegotiateBind(const NegotiateCredentials& credentials) = 0;

  // One search request, or one page of a paged search (RFC 2696) when
  // pageSize is above 0. *cookie carries the server's paging cookie between
  // calls: empty on the first call; empty after the call when the search is
  // complete. Entries of the page are appended (search references are
  // skipped). Returns the result code of the search or page.
  virtual int Search(const LdapSearchRequest& request, int pageSize,
                     std::string* cookie, std::vector<LdapEntry>* entries) = 0;

  virtual int Add(const std::string& dn,
                  const std::vector<LdapModification>& attributes) = 0;
  virtual int Modify(const std::string& dn,
                     const std::vector<LdapModification>& modifications) = 0;
  virtual int Delete(const std::string& dn) = 0;
  virtual int Rename(const std::string& dn, const std::string& newRdn,
                     bool deleteOldRdn) = 0;

  // The server's diagnostic text of the last failed operation ("" if none).
  virtual std::string DiagnosticMessage() = 0;
  // The host name the connection actually talks to.
  virtual std::string HostName() = 0;
};

// Creates connections and knows the library's texts for result codes.
class LdapClient {
 public:
  virtual ~LdapClient() = default;

  // Initialises (does not yet contact) a connection to host:port; an empty
  // host asks the library to find a server itself. On failure returns null
  // and sets *error.
  virtual std::unique_ptr<LdapConnection> Initialize(const std::string& host,
                                                     int port, int* error) = 0;
  virtual std::string ErrorText(int code) = 0;
};

}  // namespace talvex

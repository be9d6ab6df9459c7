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
constexpr int kStrongerAuthRequired = 8;
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

  bool operator==(const LdapControl&) const = default;
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

  bool operator==(const LdapSearchRequest&) const = default;
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
  // Security strength (SSF) a Kerberos bind may settle on: 0 no SASL
  // security layer, 1 integrity (signing), 56 and above encryption
  // (sealing). Windows clients map minimum 56 to LDAP_OPT_SIGN and
  // LDAP_OPT_ENCRYPT on, and maximum 0 to both off.
  kSaslSecurityMinimum,
  kSaslSecurityMaximum,
  // The TLS channel binding a Kerberos bind carries (RFC 5929), one of
  // LdapChannelBinding. A client whose security package binds to the TLS
  // channel by itself (Windows SSPI) accepts the value and does nothing.
  kSaslChannelBinding,
  kLocatorFlags,  // domain-controller locator flags for a library that locates
};

enum class LdapChannelBinding { kNone = 0, kTlsEndpoint = 1 };

// How a connection is protected by TLS; chosen when it is initialised.
enum class LdapTls {
  kNone,      // plain LDAP
  kLdaps,     // TLS from the first byte (LDAPS: 636, 3269)
  kStartTls,  // plain connect, then the StartTLS operation (RFC 4511 4.14)
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
  // Connects and puts the connection under the TLS that Initialize asked
  // for: the LDAPS handshake, or the StartTLS request and its handshake.
  // Does nothing (returns 0) for LdapTls::kNone. The server's certificate is
  // always checked (chain and host name) with the platform's own trust
  // settings; nothing here turns the check off. On failure returns the
  // failing call's code, and DiagnosticMessage() says why in words (unknown
  // authority, name mismatch, expired, no TLS on that port...). A refused
  // StartTLS returns the server's result code; it never goes on in clear.
  virtual int EstablishTls() = 0;
  virtual int SimpleBind(const std::string& dn, const std::string& password) = 0;
  virtual int NegotiateBind(const NegotiateCredentials& credentials) = 0;

  // One search request, or one page of a paged search (RFC 2696) when
  // pageSize is above 0. *cookie carries the server's paging cookie between
  // calls: empty on the first call; empty after the call when the search is
  // complete. Entries of the page are appended (search references are
  // skipped). Returns the result code of the search or page.
  virtual int Search(const LdapSearchRequest& request, int pageSize,
                     std::string* cookie, std::vector<LdapEntry>* entries) = 0;
  // Sends the first request of a search (its first page when pageSize is
  // above 0) without waiting for the answer. The next Search with an equal
  // request, the same page size and an empty cookie takes that answer
  // instead of sending the request again, so that independent reads share
  // one round trip. A write or bind on the connection first drops what was
  // sent ahead and not yet taken (its answer could no longer be current).
  // A client that cannot keep several requests outstanding does nothing:
  // the Search then sends the request itself.
  virtual void SendAhead(const LdapSearchRequest& request, int pageSize) {
    (void)request;
    (void)pageSize;
  }
  // Takes back entries the caller is done with (and empties *spent), so
  // that the next entries read can reuse their storage: a large search then
  // does not allocate every name and value of every entry anew. A client
  // that does not reuse them lets them go.
  virtual void Recycle(std::vector<LdapEntry>* spent) { spent->clear(); }

  virtual int Add(const std::string& dn,
                  const std::vector<LdapModification>& attributes) = 0;
  virtual int Modify(const std::string& dn,
                     const std::vector<LdapModification>& modifications) = 0;
  virtual int Delete(const std::string& dn) = 0;
  virtual int Rename(const std::string& dn, const std::string& newRdn,
                     bool deleteOldRdn) = 0;

  // The server's diagnostic text of the last failed operation ("" if none).
  // Only the last request's own: one that got no answer (the server gone)
  // has none, whatever an earlier request was told.
  virtual std::string DiagnosticMessage() = 0;
  // The host name the connection actually talks to.
  virtual std::string HostName() = 0;
};

// Creates connections and knows the library's texts for result codes.
class LdapClient {
 public:
  virtual ~LdapClient() = default;

  // Initialises (does not yet contact) a connection to host:port; an empty
  // host asks the library to find a server itself. tls chooses how the
  // connection will be protected (libldap: an ldaps:// URL for kLdaps;
  // Windows: ldap_sslinitW for kLdaps, ldap_start_tls_sW in EstablishTls for
  // kStartTls). On failure returns null and sets *error.
  virtual std::unique_ptr<LdapConnection> Initialize(const std::string& host,
                                                     int port, LdapTls tls,
                                                     int* error) = 0;
  virtual std::string ErrorText(int code) = 0;
};

}  // namespace talvex

#include "directory/openldap/openldap_client.h"

#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstring>

#include "directory/distinguished_name.h"
#include "directory/openldap/dns_dc_locator.h"
#include "directory/openldap/handshake_watchdog.h"
#include "directory/openldap/krb5_default_realm.h"
#include "directory/openldap/krb5_kdc_profile.h"
#include "directory/openldap/krb5_password_ticket.h"
#include "directory/openldap/ldap_handles.h"
#include "directory/openldap/sasl_gssapi_bind.h"
#include "directory/openldap/tls_failure_reason.h"
#include "support/text_case.h"

namespace talvex {

namespace {

// Connection set-up gives up after this long, so that an unreachable
// controller ends the run with an error instead of hanging in connect().
constexpr int kNetworkTimeoutSeconds = 10;
// Longest wait for the answer to one request (one bind, one page, one
// change) when the request sets no time limit of its own.
constexpr int kOperationTimeoutSeconds = 120;
// A page may hold this many times the entries asked for (at least
// kMinPageOverrun) before the search is given up: servers send at most what
// was asked, and one that sends far more would hold the run's memory.
constexpr std::size_t kPageOverrunFactor = 10;
constexpr std::size_t kMinPageOverrun = 1000;
// Longest wait for a TLS handshake to complete, from the connect on.
constexpr int kHandshakeTimeoutSeconds = 10;
// Extra client-side wait beyond a search's server-side time limit, so that
// the server's own "time limit exceeded" answer arrives first.
constexpr int kTimeLimitGraceSeconds = 30;

// When the wait for a request's answer ends, and how long it was.
struct AnswerDeadline {
  int seconds;
  std::chrono::steady_clock::time_point at;
};

AnswerDeadline AnswerDeadlineFor(int timeLimitSeconds) {
  int seconds = std::max(kOperationTimeoutSeconds,
                         timeLimitSeconds + kTimeLimitGraceSeconds);
  return {seconds,
          std::chrono::steady_clock::now() + std::chrono::seconds(seconds)};
}

// Windows pings an idle connection every keep-alive period, waits
// LDAP_OPT_PING_WAIT_TIME (2 s by default) for the answer and gives up
// after LDAP_OPT_PING_LIMIT (4) unanswered pings; TCP keep-alive probes
// with the same timing give the same behaviour.
constexpr int kKeepAliveProbeIntervalSeconds = 2;
constexpr int kKeepAliveProbes = 4;

constexpr int kGlobalCatalogPort = 3268;
constexpr int kGlobalCatalogSslPort = 3269;

bool IsIpAddress(const std::string& host) {
  return host.find(':') != std::string::npos ||
         std::all_of(host.begin(), host.end(), [](unsigned char c) {
           return std::isdigit(c) || c == '.';
         });
}

// A host name as the host part of an LDAP URL: characters that would end
// the host part ("/", "?", blanks...) are escaped, so that a name that is
// no host fails to resolve instead of naming another one.
std::string UrlEscapedHost(const std::string& host) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (unsigned char c : host) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == ':') {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 0xF];
    }
  }
  return escaped;
}

int ScopeValue(LdapScope scope) {
  switch (scope) {
    case LdapScope::kBase:
      return LDAP_SCOPE_BASE;
    case LdapScope::kOneLevel:
      return LDAP_SCOPE_ONELEVEL;
    case LdapScope::kSubtree:
      break;
  }
  return LDAP_SCOPE_SUBTREE;
}

int ModOpValue(LdapModOp op) {
  switch (op) {
    case LdapModOp::kAdd:
      return LDAP_MOD_ADD;
    case LdapModOp::kDelete:
      return LDAP_MOD_DELETE;
    case LdapModOp::kReplace:
      break;
  }
  return LDAP_MOD_REPLACE;
}

berval BorrowedBerval(const std::string& bytes) {
  return berval{.bv_len = bytes.size(),
                .bv_val = const_cast<char*>(bytes.data())};
}

// libldap's LDAPMod array built over our modification list. The array only
// borrows the caller's strings; it must not outlive them.
class ModificationArray {
 public:
  ModificationArray(const std::vector<LdapModification>& modifications,
                    bool forAdd) {
    mods_.resize(modifications.size());
    values_.resize(modifications.size());
    valuePointers_.resize(modifications.size());
    for (std::size_t i = 0; i < modifications.size(); ++i) {
      const LdapModification& modification = modifications[i];
      for (const std::string& value : modification.values) {
        values_[i].push_back(BorrowedBerval(value));
      }
      for (berval& value : values_[i]) valuePointers_[i].push_back(&value);
      valuePointers_[i].push_back(nullptr);
      LDAPMod& mod = mods_[i];
      mod.mod_op = (forAdd ? LDAP_MOD_ADD : ModOpValue(modification.op)) |
                   LDAP_MOD_BVALUES;
      mod.mod_type = const_cast<char*>(modification.attribute.c_str());
      // No values with delete or replace: the whole attribute goes.
      mod.mod_bvalues =
          modification.values.empty() ? nullptr : valuePointers_[i].data();
      pointers_.push_back(&mod);
    }
    pointers_.push_back(nullptr);
  }
  ModificationArray(const ModificationArray&) = delete;
  ModificationArray& operator=(const ModificationArray&) = delete;

  LDAPMod** get() { return pointers_.data(); }

 private:
  std::vector<LDAPMod> mods_;
  std::vector<std::vector<berval>> values_;
  std::vector<std::vector<berval*>> valuePointers_;
  std::vector<LDAPMod*> pointers_;
};

// libldap's control array built over our controls (borrowing their bytes),
// with room for controls of our own.
class ControlArray {
 public:
  explicit ControlArray(const std::vector<LdapControl>& controls)
      : controls_(controls.size()) {
    for (std::size_t i = 0; i < controls.size(); ++i) {
      controls_[i].ldctl_oid = const_cast<char*>(controls[i].oid.c_str());
      controls_[i].ldctl_value = controls[i].hasValue
                                     ? BorrowedBerval(controls[i].value)
                                     : berval{0, nullptr};
      controls_[i].ldctl_iscritical = controls[i].critical ? 1 : 0;
      pointers_.push_back(&controls_[i]);
    }
    pointers_.push_back(nullptr);
  }
  ControlArray(const ControlArray&) = delete;
  ControlArray& operator=(const ControlArray&) = delete;

  void Append(LDAPControl* control) {
    pointers_.insert(pointers_.end() - 1, control);
  }
  // Null when there are none, as libldap expects.
  LDAPControl** get() {
    return pointers_.size() > 1 ? pointers_.data() : nullptr;
  }

 private:
  std::vector<LDAPControl> controls_;
  std::vector<LDAPControl*> pointers_;
};

// The array of a BER_BVARRAY attribute read: its values point into the
// entry's own buffer, so only the array itself is released.
struct BorrowedValuesDeleter {
  void operator()(berval* values) const { ber_memfree(values); }
};
using BorrowedValuesPtr = std::unique_ptr<berval, BorrowedValuesDeleter>;

// One search entry with its attributes and raw values. The entry is walked
// once, each attribute's values taken as it passes (looking values up by
// name would rescan the entry from its start for every attribute).
// Reads the entry into *entry, whose strings and lists are written over
// where they have room: an entry the caller handed back (Recycle) costs no
// allocation for the names and values of the next one like it.
void ReadEntry(LDAP* ld, LDAPMessage* message, LdapEntry* entry) {
  entry->dn.clear();
  std::size_t used = 0;
  BerElement* rawBer = nullptr;
  berval dn{0, nullptr};
  int rc = ldap_get_dn_ber(ld, message, &rawBer, &dn);
  BerElementPtr ber(rawBer);
  if (rc == LDAP_SUCCESS && ber != nullptr) {
    // The DN as a C string, as libldap would hand it out on its own.
    if (dn.bv_val != nullptr)
      entry->dn.assign(dn.bv_val, strnlen(dn.bv_val, dn.bv_len));
    for (;;) {
      berval name{0, nullptr};
      BerVarray rawValues = nullptr;
      if (ldap_get_attribute_ber(ld, message, ber.get(), &name, &rawValues) !=
          LDAP_SUCCESS) {
        break;
      }
      BorrowedValuesPtr values(rawValues);
      if (name.bv_val == nullptr) break;  // no attribute left
      if (used == entry->attributes.size()) entry->attributes.emplace_back();
      LdapAttribute& attribute = entry->attributes[used++];
      attribute.name.assign(name.bv_val, strnlen(name.bv_val, name.bv_len));
      // No values at all (an attribute asked for by type only) is an empty
      // list.
      std::size_t count = 0;
      while (rawValues != nullptr && rawValues[count].bv_val != nullptr)
        ++count;
      attribute.values.resize(count);
      for (std::size_t i = 0; i < count; ++i) {
        attribute.values[i].assign(rawValues[i].bv_val, rawValues[i].bv_len);
      }
    }
  }
  entry->attributes.resize(used);
}

// The server's paging cookie from the result's controls; empty when the
// search is complete (or the server did not page).
std::string PagingCookie(LDAP* ld, LDAPControl** controls) {
  if (controls == nullptr) return "";
  LDAPControl* response =
      ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, controls, nullptr);
  if (response == nullptr) return "";
  ber_int_t estimate = 0;
  berval cookie{0, nullptr};
  if (ldap_parse_pageresponse_control(ld, response, &estimate, &cookie) !=
      LDAP_SUCCESS) {
    return "";
  }
  BerMemoryPtr owned(cookie.bv_val);
  return owned != nullptr ? std::string(owned.get(), cookie.bv_len) : "";
}

class OpenLdapConnection final : public LdapConnection {
 public:
  // socket must be registered on ld already (see Initialize).
  OpenLdapConnection(std::unique_ptr<ConnectedSocket> socket, LdapHandle ld,
                     LdapTls tls)
      : socket_(std::move(socket)), ld_(std::move(ld)), tls_(tls) {}

  int SetOption(LdapOption option, int value) override;
  int EstablishTls() override;
  int SimpleBind(const std::string& dn, const std::string& password) override;
  int NegotiateBind(const NegotiateCredentials& credentials) override;
  int Search(const LdapSearchRequest& request, int pageSize,
             std::string* cookie, std::vector<LdapEntry>* entries) override;
  void SendAhead(const LdapSearchRequest& request, int pageSize) override;
  void Recycle(std::vector<LdapEntry>* spent) override;
  int Add(const std::string& dn,
          const std::vector<LdapModification>& attributes) override;
  int Modify(const std::string& dn,
             const std::vector<LdapModification>& modifications) override;
  int Delete(const std::string& dn) override;
  int Rename(const std::string& dn, const std::string& newRdn,
             bool deleteOldRdn) override;
  std::string DiagnosticMessage() override;
  std::string HostName() override;

 private:
  // Waits until the deadline for the next message of msgid (how:
  // LDAP_MSG_ONE) or its whole answer (LDAP_MSG_ALL), with *type set to the
  // message's type; a request left unanswered past the deadline is
  // abandoned and gives LDAP_TIMEOUT.
  int AwaitMessage(int msgid, int how, const AnswerDeadline& deadline,
                   LdapMessagePtr* message, int* type);
  // Waits for the answer of a non-search request and returns its code.
  int FinishRequest(int rc, int msgid);
  // Sends a search request (one page of it when pageSize is above 0); its
  // message id in *msgid.
  int SendSearch(const LdapSearchRequest& request, int pageSize,
                 const std::string& cookie, int* msgid);
  // The message id of the request sent ahead that equals this one (taken
  // off the list), or 0.
  int TakeAhead(const LdapSearchRequest& request, int pageSize);
  // Abandons the requests sent ahead and not taken.
  void DropAhead();
  int LastResultCode();
  // Forgets the diagnostic of the previous request. libldap keeps the
  // server's last text on the handle until another answer replaces it, so
  // a request that fails without an answer (the server gone, a filter
  // refused before sending) would show the text of an earlier one.
  void BeginRequest();
  int FinishSaslBind(int rc);
  // The realm to ask for a ticket in when the account names none: this
  // machine's Kerberos default realm, else the domain part of the
  // controller's host name (the name the user gave, or the one the locator
  // held against the address that answered); "" when neither tells. Never
  // the server's own word: its RootDSE is read before any bind, so whatever
  // answers could name a realm of its choosing and draw the ticket request
  // there.
  std::string TicketRealm();
  // "host:port" of the server, as the handle was made for it.
  std::string HostAndPort();

  // Declared before the handle, so that it outlives it: libldap calls back
  // into it when the handle is unbound.
  std::unique_ptr<ConnectedSocket> socket_;
  LdapHandle ld_;
  LdapTls tls_;
  // Text of a failure found on our side (Kerberos, SASL set-up), shown in
  // place of the handle's diagnostic until the next request.
  std::string localDiagnostic_;
  // Searches sent ahead (SendAhead) whose answers no Search has taken yet.
  struct AheadSearch {
    LdapSearchRequest request;
    int pageSize = 0;
    int msgid = 0;
  };
  std::vector<AheadSearch> ahead_;
  // Entries handed back (Recycle), whose storage the next entries reuse.
  std::vector<LdapEntry> recycled_;
};

int OpenLdapConnection::SetOption(LdapOption option, int value) {
  LDAP* ld = ld_.get();
  switch (option) {
    case LdapOption::kProtocolVersion:
      return ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &value);
    case LdapOption::kReferrals:
      return ldap_set_option(ld, LDAP_OPT_REFERRALS,
                             value != 0 ? LDAP_OPT_ON : LDAP_OPT_OFF);
    case LdapOption::kKeepAlive: {
      int interval = kKeepAliveProbeIntervalSeconds;
      int probes = kKeepAliveProbes;
      int rc = ldap_set_option(ld, LDAP_OPT_X_KEEPALIVE_IDLE, &value);
      if (rc == LDAP_OPT_SUCCESS) {
        rc = ldap_set_option(ld, LDAP_OPT_X_KEEPALIVE_INTERVAL, &interval);
      }
      if (rc == LDAP_OPT_SUCCESS) {
        rc = ldap_set_option(ld, LDAP_OPT_X_KEEPALIVE_PROBES, &probes);
      }
      return rc;
    }
    case LdapOption::kSaslSecurityMinimum:
    case LdapOption::kSaslSecurityMaximum: {
      // Set on the handle, they take the place of ldap.conf's SASL_SECPROPS
      // (and LDAPSASL_SECPROPS) for this connection.
      ber_len_t strength = value < 0 ? 0 : static_cast<ber_len_t>(value);
      return ldap_set_option(ld,
                             option == LdapOption::kSaslSecurityMinimum
                                 ? LDAP_OPT_X_SASL_SSF_MIN
                                 : LDAP_OPT_X_SASL_SSF_MAX,
                             &strength);
    }
    case LdapOption::kSaslChannelBinding: {
      // libldap hands the binding of the TLS session to Cyrus SASL, whose
      // GSSAPI mechanism passes it to gss_init_sec_context.
      int binding = value == static_cast<int>(LdapChannelBinding::kTlsEndpoint)
                        ? LDAP_OPT_X_SASL_CBINDING_TLS_ENDPOINT
                        : LDAP_OPT_X_SASL_CBINDING_NONE;
      return ldap_set_option(ld, LDAP_OPT_X_SASL_CBINDING, &binding);
    }
    case LdapOption::kLocatorFlags:
      // libldap does not locate: our own locator applied the flags when it
      // chose the controller.
      return LDAP_OPT_SUCCESS;
  }
  return LDAP_OPT_ERROR;
}

void OpenLdapConnection::BeginRequest() {
  localDiagnostic_.clear();
  ldap_set_option(ld_.get(), LDAP_OPT_DIAGNOSTIC_MESSAGE, nullptr);
}

int OpenLdapConnection::EstablishTls() {
  localDiagnostic_.clear();
  if (tls_ == LdapTls::kNone) return LDAP_SUCCESS;
  // The certificate is checked as libldap always checks it: the CA file of
  // ldap.conf (TLS_CACERT) or LDAPTLS_CACERT, TLS_REQCERT (demand by
  // default), and the host name against the certificate's names.
  TlsFailureLog log;
  bool ranOut = false;
  int rc;
  {
    // The bound starts with the connect, which has its own (shorter) one;
    // a StartTLS request whose answer never comes ends on the operation
    // timeout as any request does.
    HandshakeWatchdog watchdog(*socket_,
                               std::chrono::seconds(kHandshakeTimeoutSeconds));
    rc = tls_ == LdapTls::kLdaps
             ? ldap_connect(ld_.get())
             : ldap_start_tls_s(ld_.get(), nullptr, nullptr);
    ranOut = watchdog.Fired();
  }
  if (rc != LDAP_SUCCESS) {
    // A server that refused StartTLS has said why on the handle already.
    std::string reason = log.Reason();
    if (!reason.empty()) localDiagnostic_ = "TLS: " + reason;
    if (ranOut) {
      localDiagnostic_ = "no TLS handshake from " + HostAndPort() + " within " +
                         std::to_string(kHandshakeTimeoutSeconds) + " seconds";
    }
  }
  return rc;
}

int OpenLdapConnection::LastResultCode() {
  int code = LDAP_OTHER;
  ldap_get_option(ld_.get(), LDAP_OPT_RESULT_CODE, &code);
  return code;
}

int OpenLdapConnection::AwaitMessage(int msgid, int how,
                                     const AnswerDeadline& deadline,
                                     LdapMessagePtr* message, int* type) {
  auto left = std::chrono::duration_cast<std::chrono::microseconds>(
      deadline.at - std::chrono::steady_clock::now());
  timeval wait{.tv_sec = 0, .tv_usec = 0};
  if (left.count() > 0) {
    wait.tv_sec = static_cast<time_t>(left.count() / 1000000);
    wait.tv_usec = static_cast<suseconds_t>(left.count() % 1000000);
  }
  LDAPMessage* raw = nullptr;
  int rc = ::ldap_result(ld_.get(), msgid, how, &wait, &raw);
  message->reset(raw);
  if (rc == 0) {
    ldap_abandon_ext(ld_.get(), msgid, nullptr, nullptr);
    localDiagnostic_ = "No answer from the server within " +
                       std::to_string(deadline.seconds) + " seconds";
    return LDAP_TIMEOUT;
  }
  if (rc == -1) return LastResultCode();
  *type = rc;
  return LDAP_SUCCESS;
}

int OpenLdapConnection::FinishRequest(int rc, int msgid) {
  if (rc != LDAP_SUCCESS) return rc;
  LdapMessagePtr result;
  int type = 0;
  rc = AwaitMessage(msgid, LDAP_MSG_ALL, AnswerDeadlineFor(0), &result, &type);
  if (rc != LDAP_SUCCESS) return rc;
  int code = LDAP_OTHER;
  // Also stores the server's diagnostic text on the handle.
  rc = ldap_parse_result(ld_.get(), result.get(), &code, nullptr, nullptr,
                         nullptr, nullptr, 0);
  return rc != LDAP_SUCCESS ? rc : code;
}

int OpenLdapConnection::SimpleBind(const std::string& dn,
                                   const std::string& password) {
  BeginRequest();
  DropAhead();
  berval credential = BorrowedBerval(password);
  int msgid = 0;
  int rc =
      ldap_sasl_bind(ld_.get(), dn.empty() ? nullptr : dn.c_str(),
                     LDAP_SASL_SIMPLE, &credential, nullptr, nullptr, &msgid);
  return FinishRequest(rc, msgid);
}

std::string OpenLdapConnection::TicketRealm() {
  std::string realm = KerberosDefaultRealm();
  if (!realm.empty()) return realm;
  std::string host = HostName();
  std::size_t dot = host.find('.');
  if (dot != std::string::npos && dot + 1 < host.size() && !IsIpAddress(host))
    return AsciiUpperCase(host.substr(dot + 1));
  return std::string();
}

int OpenLdapConnection::NegotiateBind(const NegotiateCredentials& credentials) {
  BeginRequest();
  DropAhead();
  // The tickets of this bind come from the controller it talks to.
  Krb5KdcProfile kdcProfile(HostName());
  if (credentials.currentLogon) {
    return FinishSaslBind(
        SaslGssapiBind(ld_.get(), GSS_C_NO_CREDENTIAL, &localDiagnostic_));
  }
  // A realm is needed unless the account names its own DNS domain.
  bool ownRealm = credentials.user.find('@') == std::string::npos &&
                  credentials.domain.find('.') != std::string::npos;
  std::string realm;
  if (!ownRealm) {
    realm = TicketRealm();
    // A user principal name's suffix is a DNS domain, often the realm's.
    std::size_t at = credentials.user.rfind('@');
    if (realm.empty() && at != std::string::npos)
      realm = AsciiUpperCase(credentials.user.substr(at + 1));
    if (realm.empty()) {
      localDiagnostic_ =
          "The Kerberos realm of the server could not be determined";
      return LDAP_LOCAL_ERROR;
    }
  }
  Krb5ClientName client =
      KerberosClientName(credentials.user, credentials.domain, realm);
  // The ticket and its memory cache are destroyed when this returns: the
  // established security context does not need them any more.
  Krb5PasswordTicket ticket;
  int rc = ticket.Obtain(client, credentials.password, &localDiagnostic_);
  if (rc != LDAP_SUCCESS) return rc;
  return FinishSaslBind(
      SaslGssapiBind(ld_.get(), ticket.Credential(), &localDiagnostic_));
}

int OpenLdapConnection::FinishSaslBind(int rc) {
  // libldap leaves no text of its own when its wait for an answer ran out.
  if (rc == LDAP_TIMEOUT && localDiagnostic_.empty() &&
      DiagnosticMessage().empty()) {
    localDiagnostic_ = "No answer from the server within " +
                       std::to_string(kOperationTimeoutSeconds) + " seconds";
  }
  return rc;
}

int OpenLdapConnection::SendSearch(const LdapSearchRequest& request,
                                   int pageSize, const std::string& cookie,
                                   int* msgid) {
  LDAP* ld = ld_.get();
  ControlArray controls(request.serverControls);
  LdapControlPtr pageControl;
  if (pageSize > 0) {
    berval cookieValue = BorrowedBerval(cookie);
    LDAPControl* raw = nullptr;
    // Not critical: a server without paging then answers with the whole
    // result in one piece, and no cookie ends the loop.
    int rc = ldap_create_page_control(ld, static_cast<ber_int_t>(pageSize),
                                      cookie.empty() ? nullptr : &cookieValue,
                                      0, &raw);
    if (rc != LDAP_SUCCESS) return rc;
    pageControl.reset(raw);
    controls.Append(raw);
  }

  std::vector<char*> attributes;
  for (const std::string& name : request.attributes) {
    attributes.push_back(const_cast<char*>(name.c_str()));
  }
  attributes.push_back(nullptr);

  // The server-side time limit comes from the handle (the timeout argument
  // of the search call would also cut the client's wait to the same value).
  int timeLimit = std::max(0, request.timeLimitSeconds);
  ldap_set_option(ld, LDAP_OPT_TIMELIMIT, &timeLimit);
  return ldap_search_ext(
      ld, request.base.c_str(), ScopeValue(request.scope),
      request.filter.empty() ? nullptr : request.filter.c_str(),
      request.attributes.empty() ? nullptr : attributes.data(),
      request.attributesOnly ? 1 : 0, controls.get(), nullptr, nullptr,
      std::max(0, request.sizeLimit), msgid);
}

void OpenLdapConnection::Recycle(std::vector<LdapEntry>* spent) {
  // One page's worth is all a page can reuse; more would only be kept.
  constexpr std::size_t kKept = 1000;
  for (LdapEntry& entry : *spent) {
    if (recycled_.size() >= kKept) break;
    recycled_.push_back(std::move(entry));
  }
  spent->clear();
}

void OpenLdapConnection::SendAhead(const LdapSearchRequest& request,
                                   int pageSize) {
  int msgid = 0;
  // A request that cannot be sent now is sent again by its Search, which
  // then reports what is wrong with it.
  if (SendSearch(request, pageSize, "", &msgid) != LDAP_SUCCESS) return;
  ahead_.push_back({.request = request, .pageSize = pageSize, .msgid = msgid});
}

int OpenLdapConnection::TakeAhead(const LdapSearchRequest& request,
                                  int pageSize) {
  for (auto it = ahead_.begin(); it != ahead_.end(); ++it) {
    if (it->pageSize == pageSize && it->request == request) {
      int msgid = it->msgid;
      ahead_.erase(it);
      return msgid;
    }
  }
  return 0;
}

void OpenLdapConnection::DropAhead() {
  for (const AheadSearch& search : ahead_)
    ldap_abandon_ext(ld_.get(), search.msgid, nullptr, nullptr);
  ahead_.clear();
}

int OpenLdapConnection::Search(const LdapSearchRequest& request, int pageSize,
                               std::string* cookie,
                               std::vector<LdapEntry>* entries) {
  BeginRequest();
  LDAP* ld = ld_.get();
  int msgid = cookie->empty() ? TakeAhead(request, pageSize) : 0;
  if (msgid == 0) {
    int rc = SendSearch(request, pageSize, *cookie, &msgid);
    if (rc != LDAP_SUCCESS) return rc;
  }
  const int timeLimit = std::max(0, request.timeLimitSeconds);
  // The answer is taken one message at a time and each entry converted as
  // it comes, so that the run holds one copy of the results: a server that
  // sends far more than a page (it ignores the page size, or pages are not
  // asked for) costs the entries themselves, not libldap's chain of them
  // besides.
  const AnswerDeadline deadline = AnswerDeadlineFor(timeLimit);
  int code = LDAP_OTHER;
  cookie->clear();
  const std::size_t first = entries->size();
  const std::size_t overrun =
      pageSize > 0 ? std::max(kMinPageOverrun,
                              kPageOverrunFactor *
                                  static_cast<std::size_t>(pageSize))
                   : 0;
  for (;;) {
    LdapMessagePtr message;
    int type = 0;
    int rc = AwaitMessage(msgid, LDAP_MSG_ONE, deadline, &message, &type);
    if (rc != LDAP_SUCCESS) return rc;
    if (type == LDAP_RES_SEARCH_ENTRY) {
      if (overrun != 0 && entries->size() - first >= overrun) {
        ldap_abandon_ext(ld, msgid, nullptr, nullptr);
        localDiagnostic_ = "The server sent more than " +
                           std::to_string(overrun) +
                           " entries for a page of " +
                           std::to_string(pageSize) +
                           "; the search is given up";
        return LDAP_LOCAL_ERROR;
      }
      LdapEntry entry;
      if (!recycled_.empty()) {
        entry = std::move(recycled_.back());
        recycled_.pop_back();
      }
      ReadEntry(ld, message.get(), &entry);
      entries->push_back(std::move(entry));
    } else if (type == LDAP_RES_SEARCH_RESULT) {
      LDAPControl** rawControls = nullptr;
      rc = ldap_parse_result(ld, message.get(), &code, nullptr, nullptr,
                             nullptr, &rawControls, 0);
      LdapControlArrayPtr responseControls(rawControls);
      if (rc != LDAP_SUCCESS) code = rc;
      if (pageSize > 0) *cookie = PagingCookie(ld, responseControls.get());
      break;
    }
    // Search references (continuations into other partitions) are skipped:
    // the callers want entries only.
  }
  return code;
}

int OpenLdapConnection::Add(const std::string& dn,
                            const std::vector<LdapModification>& attributes) {
  BeginRequest();
  DropAhead();
  ModificationArray mods(attributes, true);
  int msgid = 0;
  int rc =
      ldap_add_ext(ld_.get(), dn.c_str(), mods.get(), nullptr, nullptr, &msgid);
  return FinishRequest(rc, msgid);
}

int OpenLdapConnection::Modify(
    const std::string& dn, const std::vector<LdapModification>& modifications) {
  BeginRequest();
  DropAhead();
  ModificationArray mods(modifications, false);
  int msgid = 0;
  int rc = ldap_modify_ext(ld_.get(), dn.c_str(), mods.get(), nullptr, nullptr,
                           &msgid);
  return FinishRequest(rc, msgid);
}

int OpenLdapConnection::Delete(const std::string& dn) {
  BeginRequest();
  DropAhead();
  int msgid = 0;
  int rc = ldap_delete_ext(ld_.get(), dn.c_str(), nullptr, nullptr, &msgid);
  return FinishRequest(rc, msgid);
}

int OpenLdapConnection::Rename(const std::string& dn, const std::string& newRdn,
                               bool deleteOldRdn) {
  BeginRequest();
  DropAhead();
  int msgid = 0;
  int rc = ldap_rename(ld_.get(), dn.c_str(), newRdn.c_str(), nullptr,
                       deleteOldRdn ? 1 : 0, nullptr, nullptr, &msgid);
  return FinishRequest(rc, msgid);
}

std::string OpenLdapConnection::DiagnosticMessage() {
  if (!localDiagnostic_.empty()) return localDiagnostic_;
  char* raw = nullptr;
  if (ldap_get_option(ld_.get(), LDAP_OPT_DIAGNOSTIC_MESSAGE, &raw) !=
      LDAP_OPT_SUCCESS) {
    return "";
  }
  LdapStringPtr text(raw);
  return text != nullptr ? text.get() : "";
}

std::string OpenLdapConnection::HostAndPort() {
  char* raw = nullptr;
  if (ldap_get_option(ld_.get(), LDAP_OPT_HOST_NAME, &raw) !=
      LDAP_OPT_SUCCESS) {
    return "";
  }
  LdapStringPtr owned(raw);
  if (owned == nullptr) return "";
  // libldap gives "host" or "host:port" (several separated by blanks when
  // the handle was made for a list).
  std::string host = owned.get();
  return host.substr(0, host.find(' '));
}

std::string OpenLdapConnection::HostName() {
  // The first host without its port.
  std::string host = HostAndPort();
  if (!host.empty() && host.front() == '[') {
    std::size_t close = host.find(']');
    return host.substr(
        1, close == std::string::npos ? std::string::npos : close - 1);
  }
  if (std::count(host.begin(), host.end(), ':') == 1) {
    host.erase(host.find(':'));
  }
  return host;
}

class OpenLdapClient final : public LdapClient {
 public:
  explicit OpenLdapClient(std::unique_ptr<DcLocator> locator)
      : locator_(std::move(locator)) {}

  std::unique_ptr<LdapConnection> Initialize(const std::string& host, int port,
                                             LdapTls tls, int* error) override;
  std::string ErrorText(int code) override { return ldap_err2string(code); }

 private:
  // The server for an empty host name; 0 or the locator's error.
  int DefaultServer(int port, std::string* server);

  std::unique_ptr<DcLocator> locator_;
};

int OpenLdapClient::DefaultServer(int port, std::string* server) {
  // The Windows client, given no host, connects to a controller of this
  // machine's own domain (a global catalog on the global catalog ports).
  bool globalCatalog =
      port == kGlobalCatalogPort || port == kGlobalCatalogSslPort;
  std::uint32_t flags = locator_flags::kDirectoryServiceRequired |
                        (globalCatalog ? locator_flags::kGcServerRequired
                                       : locator_flags::kWritableRequired);
  DomainControllerInfo info;
  int status = locator_->Locate("", "", flags, &info);
  if (status == 0) *server = info.name;
  return status;
}

std::unique_ptr<LdapConnection> OpenLdapClient::Initialize(
    const std::string& host, int port, LdapTls tls, int* error) {
  std::string server = host;
  // libldap's own default for no host is localhost, where anything may
  // listen for the bind's credentials: when no controller of this machine's
  // domain is found, there is no connection.
  if (server.empty()) {
    int status = DefaultServer(port, &server);
    if (status != 0 || server.empty()) {
      *error = status != 0 ? status : locator_error::kNoSuchDomain;
      return nullptr;
    }
  }
  // LDAPS speaks TLS from the first byte; StartTLS begins in clear.
  std::string scheme = tls == LdapTls::kLdaps ? "ldaps://" : "ldap://";
  bool ipv6 = server.find(':') != std::string::npos;
  std::string escaped = UrlEscapedHost(server);
  std::string uri = scheme + (ipv6 ? "[" + escaped + "]" : escaped) + ":" +
                    std::to_string(port);
  LDAP* raw = nullptr;
  int rc = ldap_initialize(&raw, uri.c_str());
  LdapHandle ld(raw);
  if (rc != LDAP_SUCCESS || ld == nullptr) {
    *error = rc != LDAP_SUCCESS ? rc : LDAP_LOCAL_ERROR;
    return nullptr;
  }
  timeval networkTimeout{.tv_sec = kNetworkTimeoutSeconds, .tv_usec = 0};
  timeval operationTimeout{.tv_sec = kOperationTimeoutSeconds, .tv_usec = 0};
  // Bounds for everything libldap waits on by itself (connect, the steps of
  // a SASL bind).
  if (ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &networkTimeout) !=
          LDAP_OPT_SUCCESS ||
      ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &operationTimeout) !=
          LDAP_OPT_SUCCESS ||
      // Kerberos names the service after the host as given (ldap/<name>),
      // not after what reverse DNS makes of its address: AD registers the
      // service under the DNS name the locator returned.
      ldap_set_option(ld.get(), LDAP_OPT_X_SASL_NOCANON, LDAP_OPT_ON) !=
          LDAP_OPT_SUCCESS) {
    *error = LDAP_LOCAL_ERROR;
    return nullptr;
  }
  // The TLS handshake is watched on the connected socket: see EstablishTls.
  auto socket = std::make_unique<ConnectedSocket>();
  if (socket->Register(ld.get()) != LDAP_OPT_SUCCESS) {
    *error = LDAP_LOCAL_ERROR;
    return nullptr;
  }
  *error = LDAP_SUCCESS;
  return std::make_unique<OpenLdapConnection>(std::move(socket), std::move(ld),
                                              tls);
}

}  // namespace

std::unique_ptr<LdapClient> MakeOpenLdapClient() {
  return std::make_unique<OpenLdapClient>(MakeDnsDcLocator());
}

}  // namespace talvex

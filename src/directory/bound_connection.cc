#include "directory/bound_connection.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "directory/binary_attribute_tables.h"
#include "directory/ldap_error_report.h"
#include "support/output.h"
#include "support/secret_text.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kParameterDebugLevel = 5;
constexpr int kLdapPort = 389;
constexpr int kLdapSslPort = 636;
constexpr int kGlobalCatalogPort = 3268;
constexpr int kGlobalCatalogSslPort = 3269;
constexpr int kKeepAliveSeconds = 60;
// A SASL security strength above 1 means the layer encrypts; 56 is the
// smallest key size that Kerberos GSSAPI offers.
constexpr int kEncryptionMinimumStrength = 56;
// No upper bound: the strongest layer the mechanism offers (libldap's own
// default maximum).
constexpr int kNoMaximumStrength = std::numeric_limits<int>::max();
// Active Directory's diagnostic for a bind whose channel binding is missing
// or does not match the TLS channel (SEC_E_BAD_BINDINGS).
constexpr char kBadBindingsCode[] = "80090346";

bool ShowParameters() { return Output().debugLevel >= kParameterDebugLevel; }

// Reads up to six characters as a decimal number the way atoi does: leading
// blanks and a sign allowed, reading stops at the first non-digit.
int ReadPort(const std::string& text) {
  std::string head = text.substr(0, 6);
  return std::atoi(head.c_str());
}

// The host without ":port", and the port the selector and SSL choose.
int ChoosePort(std::string* host, int selector, bool ssl) {
  int port = kLdapPort;
  std::size_t colon = host->find(':');
  if (colon != std::string::npos) {
    std::size_t next = host->find(':', colon + 1);
    std::string piece =
        host->substr(colon + 1, next == std::string::npos ? std::string::npos
                                                          : next - colon - 1);
    int given = ReadPort(piece);
    if (given != 0) port = given;
    host->erase(colon);
  }
  if (selector == 0 && ssl) port = kLdapSslPort;
  if (selector == 1) port = ssl ? kGlobalCatalogSslPort : kGlobalCatalogPort;
  if (selector > 1) port = selector;
  return port;
}

void DumpParameters(const std::string& host, int port,
                    const BindOptions& options, bool simple) {
  PrintDebugLine("In OpenLDAP... Params:");
  if (!host.empty()) PrintDebugLine("Server:    " + host);
  PrintDebugLine("   SSL: " + FormatBool(options.ssl));
  PrintDebugLine("   StartTLS: " +
                 FormatBool(options.startTls && !options.ssl));
  PrintDebugLine("   Port:      " + std::to_string(port));
  PrintDebugLine("   Ref:       " + FormatBool(options.referrals));
  PrintDebugLine("   V3:        " + FormatBool(options.version3));
  PrintDebugLine("   Anonymous: " + FormatBool(options.anonymous));
  PrintDebugLine("   userdn: " + options.userId);
  // Never the password itself: debug output ends up in logs and tickets.
  PrintDebugLine(std::string("   password: ") +
                 (options.password.empty() ? "" : "********"));
  PrintDebugLine("   Simple: " + FormatBool(simple));
  PrintDebugLine("   LDAP_OPT_ENCRYPT: " + FormatBool(options.encrypt));
  PrintDebugLine("   Delegation: " + FormatBool(options.delegation));
  PrintDebugLine("   Extended Error Info: " +
                 FormatBool(options.extendedError));
  PrintDebugLine("   GET DS Flags: " + std::to_string(options.locatorFlags));
}

// One connection option; a failure is reported and the set-up goes on.
void SetOneOption(LdapClient& client, LdapConnection& connection,
                  const std::string& host, LdapOption option, int value,
                  const char* debugLine, const char* failureLabel) {
  if (debugLine != nullptr && ShowParameters()) PrintDebugLine(debugLine);
  int code = connection.SetOption(option, value);
  if (code != 0) ReportLdapError(client, failureLabel, host, code, nullptr);
}

void SetOptions(LdapClient& client, LdapConnection& connection,
                const std::string& host, const BindOptions& options) {
  if (options.version3) {
    SetOneOption(client, connection, host, LdapOption::kProtocolVersion, 3,
                 "LDAP_OPTION: Version 3", "LDAP_OPTION (Version3):");
  }
  if (!options.referrals) {
    SetOneOption(client, connection, host, LdapOption::kReferrals, 0,
                 "LDAP_OPTION: No referrals", "LDAP_OPTION (NoReferrals):");
  }
  if (options.encrypt) {
    SetOneOption(client, connection, host, LdapOption::kSaslSecurityMinimum,
                 kEncryptionMinimumStrength, "LDAP_OPTION: Kerberos Encryption",
                 "LDAP_OPTION (Kerberos Encryption):");
  }
  SetOneOption(client, connection, host, LdapOption::kKeepAlive,
               kKeepAliveSeconds, nullptr,
               "LDAP_OPTION (Keep Alive 60 seconds):");
  if (options.locatorFlags != 0) {
    SetOneOption(client, connection, host, LdapOption::kLocatorFlags,
                 static_cast<int>(options.locatorFlags), nullptr,
                 "LDAP_OPTION (Get DS FLags):");
  }
}

LdapTls TlsOf(const BindOptions& options) {
  if (options.ssl) return LdapTls::kLdaps;
  return options.startTls ? LdapTls::kStartTls : LdapTls::kNone;
}

// A Kerberos bind settles on the security layer set here, never on the
// site's ldap.conf (SASL_SECPROPS maxssf=0 would make it an unsigned bind
// that a hardened controller refuses). Under TLS Active Directory refuses
// a SASL layer on top ("does not permit the use of SASL-layer
// encryption/integrity verification mechanisms on such a connection"), so
// the bind asks for none and carries the TLS channel binding instead.
// Returns false with *code set when a strength cannot be set: binding with
// whatever the library had would not be the protection asked for.
bool SetKerberosSecurity(LdapClient& client, LdapConnection& connection,
                         const std::string& host, LdapTls tls, int* code) {
  bool underTls = tls != LdapTls::kNone;
  struct Step {
    LdapOption option;
    int value;
    const char* debugLine;
    const char* failureLabel;
  };
  const Step steps[] = {
      {LdapOption::kSaslSecurityMinimum,
       underTls ? 0 : kEncryptionMinimumStrength,
       underTls ? "LDAP_OPTION: No SASL security layer under TLS"
                : "LDAP_OPTION: Kerberos signing and sealing",
       "LDAP_OPTION (SASL Minimum Strength):"},
      {LdapOption::kSaslSecurityMaximum, underTls ? 0 : kNoMaximumStrength,
       nullptr, "LDAP_OPTION (SASL Maximum Strength):"},
  };
  for (const Step& step : steps) {
    if (step.debugLine != nullptr && ShowParameters())
      PrintDebugLine(step.debugLine);
    *code = connection.SetOption(step.option, step.value);
    if (*code != 0) {
      ReportLdapError(client, step.failureLabel, host, *code, nullptr);
      return false;
    }
  }
  if (underTls) {
    // Without it a controller that enforces channel binding refuses the
    // bind (80090346), one that does not accepts it: reported, not fatal.
    SetOneOption(client, connection, host, LdapOption::kSaslChannelBinding,
                 static_cast<int>(LdapChannelBinding::kTlsEndpoint),
                 "LDAP_OPTION: TLS channel binding (tls-endpoint)",
                 "LDAP_OPTION (Channel Binding):");
  }
  *code = 0;
  return true;
}

// Puts the connection under TLS before anything else is sent. A failure
// ends the open: the run never goes on in clear.
bool EstablishTls(LdapClient& client, LdapConnection& connection,
                  const std::string& host, int port, LdapTls tls, int* code) {
  if (tls == LdapTls::kNone) return true;
  bool ldaps = tls == LdapTls::kLdaps;
  if (ShowParameters())
    PrintDebugLine(ldaps ? "LDAP_SSL: TLS handshake" : "LDAP_START_TLS");
  *code = connection.EstablishTls();
  if (*code == 0) return true;
  ReportLdapError(client, ldaps ? "LDAP_SSL" : "LDAP_START_TLS", host, *code,
                  &connection);
  std::string reason = connection.DiagnosticMessage();
  if (reason.empty()) reason = client.ErrorText(*code);
  std::string where = host + " (port " + std::to_string(port) + ")";
  PrintLine("ERROR:");
  PrintLine(ldaps ? "ERROR: The TLS connection (LDAPS) to " + where +
                        " could not be set up."
                  : "ERROR: StartTLS with " + where +
                        " failed; nothing is sent without TLS.");
  PrintLine("ERROR: " + reason);
  PrintLine("ERROR:");
  return false;
}

// One line after the bind's error report that says what to do, where the
// refusal has a known remedy.
void HintAtBindFailure(LdapConnection& connection, int code, bool simple,
                       LdapTls tls) {
  if (simple && tls == LdapTls::kNone &&
      code == ldap_result::kStrongerAuthRequired) {
    PrintErrorText(
        "Hint: the server accepts a simple bind only under TLS: add -ssl or "
        "-starttls, or use a Kerberos bind (leave out -simple).",
        true);
    return;
  }
  if (!simple && connection.DiagnosticMessage().find(kBadBindingsCode) !=
                     std::string::npos) {
    PrintErrorText(
        "Hint: the server enforces LDAP channel binding and refused this "
        "bind's binding (80090346): connect to the controller itself (no "
        "TLS-inspecting proxy in between), or use -simple with -ssl or "
        "-starttls.",
        true);
  }
}

// A negotiated bind takes an account name, not a DN.
bool IsDnForNegotiatedBind(const BindOptions& options, bool simple) {
  return !simple && LowerCase(options.userId).find("cn=") != std::string::npos;
}

int Bind(LdapConnection& connection, const BindOptions& options, bool simple) {
  if (simple) {
    if (options.anonymous) return connection.SimpleBind("", "");
    return connection.SimpleBind(options.userId, options.password);
  }
  if (options.userId.empty()) {
    return connection.NegotiateBind(NegotiateCredentials{});
  }
  NegotiateCredentials credentials;
  credentials.currentLogon = false;
  std::size_t slash = options.userId.find('\\');
  if (slash == std::string::npos) {
    credentials.user = options.userId;
  } else {
    credentials.domain = options.userId.substr(0, slash);
    std::size_t next = options.userId.find('\\', slash + 1);
    credentials.user = options.userId.substr(
        slash + 1,
        next == std::string::npos ? std::string::npos : next - slash - 1);
  }
  credentials.password = options.password;
  int code = connection.NegotiateBind(credentials);
  WipeSecret(&credentials.password);
  return code;
}

}  // namespace

std::unique_ptr<LdapConnection> OpenLDAP(LdapClient& client,
                                         const std::string& host,
                                         int* portSelector,
                                         const BindOptions& options,
                                         int* status) {
  *status = 0;
  std::string server = host;
  int port = ChoosePort(&server, *portSelector, options.ssl);
  if (!server.empty() && server.front() == '.') server = "localhost";
  bool simple = options.simple || options.anonymous;
  if (ShowParameters()) DumpParameters(server, port, options, simple);
  *portSelector = port;

  // Initialise: an empty host lets the library find a server itself.
  int error = 0;
  LdapTls tls = TlsOf(options);
  std::unique_ptr<LdapConnection> connection =
      client.Initialize(server, port, tls, &error);
  if (!connection) {
    *status = error;
    ReportLdapError(client, "LDAP_INIT", server, *status, nullptr);
    return nullptr;
  }

  SetOptions(client, *connection, server, options);
  if (!simple &&
      !SetKerberosSecurity(client, *connection, server, tls, status)) {
    return nullptr;
  }

  if (IsDnForNegotiatedBind(options, simple)) {
    PrintLine("ERROR: DN format not currently supported for secure bind.");
    PrintLine("");
    *status = -1;
    return nullptr;
  }
  if (!EstablishTls(client, *connection, server, port, tls, status)) {
    return nullptr;
  }
  *status = Bind(*connection, options, simple);
  if (*status != 0) {
    ReportLdapError(client, "LDAP_BIND", server, *status,
                    options.extendedError ? connection.get() : nullptr);
    HintAtBindFailure(*connection, *status, simple, tls);
    return nullptr;
  }
  if (ShowParameters())
    PrintDebugLine("LDAP_BIND: [" + server + "] Successful");
  FillBinaryAttributeTables();
  return connection;
}

}  // namespace talvex

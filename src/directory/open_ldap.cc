#include "directory/open_ldap.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "directory/binary_attribute_tables.h"
#include "directory/ldap_error_report.h"
#include "support/output.h"
#include "support/secure_wipe.h"
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
                    const OpenLdapOptions& options, bool simple) {
  PrintDebugLine("In OpenLDAP... Params:");
  if (!host.empty()) PrintDebugLine("Server:    " + host);
  PrintDebugLine("   SSL: " + FormatBool(options.ssl));
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
                const std::string& host, const OpenLdapOptions& options) {
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

void Wipe(std::string* secret) {
  SecureWipe(secret->data(), secret->size());
  secret->clear();
}

// A negotiated bind takes an account name, not a DN.
bool IsDnForNegotiatedBind(const OpenLdapOptions& options, bool simple) {
  return !simple && LowerCase(options.userId).find("cn=") != std::string::npos;
}

int Bind(LdapConnection& connection, const OpenLdapOptions& options,
         bool simple) {
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
  Wipe(&credentials.password);
  return code;
}

}  // namespace

std::unique_ptr<LdapConnection> OpenLDAP(LdapClient& client,
                                         const std::string& host,
                                         int* portSelector,
                                         const OpenLdapOptions& options,
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
  std::unique_ptr<LdapConnection> connection =
      client.Initialize(server, port, &error);
  if (!connection) {
    *status = error;
    ReportLdapError(client, "LDAP_INIT", server, *status, nullptr);
    return nullptr;
  }

  SetOptions(client, *connection, server, options);

  if (IsDnForNegotiatedBind(options, simple)) {
    PrintLine("ERROR: DN format not currently supported for secure bind.");
    PrintLine("");
    *status = -1;
    return nullptr;
  }
  *status = Bind(*connection, options, simple);
  if (*status != 0) {
    ReportLdapError(client, "LDAP_BIND", server, *status,
                    options.extendedError ? connection.get() : nullptr);
    return nullptr;
  }
  if (ShowParameters())
    PrintDebugLine("LDAP_BIND: [" + server + "] Successful");
  FillBinaryAttributeTables();
  return connection;
}

}  // namespace talvex

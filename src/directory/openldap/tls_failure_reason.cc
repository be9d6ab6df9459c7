#include "directory/openldap/tls_failure_reason.h"

#include <lber.h>
#include <ldap.h>

#include <cstdio>
#include <cstdlib>

namespace talvex {
namespace {

// LDAP_DEBUG_TRACE of OpenLDAP's ldap_log.h, which is not installed.
constexpr int kTraceLevel = 0x0001;

// The log printer has no user data: it appends to the one open log.
std::vector<std::string>* gOpenLog = nullptr;

// gnutls_certificate_status_t bits (gnutls/gnutls.h) that libldap reports
// as "peer cert untrusted or revoked (0x..)", most telling first.
struct CertificateProblem {
  unsigned bit;
  const char* text;
};
constexpr CertificateProblem kCertificateProblems[] = {
    {1u << 6, "unknown certificate authority: no trusted CA issued it"},
    {1u << 10, "the certificate has expired"},
    {1u << 9, "the certificate is not valid yet"},
    {1u << 5, "the certificate has been revoked"},
    {1u << 7, "the certificate's issuer is not a certificate authority"},
    {1u << 8, "the certificate is signed with an insecure algorithm"},
    {1u << 11, "the certificate's signature does not verify"},
    {1u << 18, "the certificate is not meant for a server"},
};

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Trimmed(std::string line) {
  while (!line.empty() &&
         (line.back() == '\n' || line.back() == '.' || line.back() == ' '))
    line.pop_back();
  return line;
}

std::string DescribeStatus(const std::string& line) {
  std::size_t open = line.rfind("(0x");
  unsigned status = open == std::string::npos
                        ? 0
                        : std::strtoul(line.c_str() + open + 1, nullptr, 16);
  std::string reason;
  for (const CertificateProblem& problem : kCertificateProblems) {
    if ((status & problem.bit) == 0) continue;
    if (!reason.empty()) reason += "; ";
    reason += problem.text;
  }
  return reason.empty() ? "the certificate is not trusted" : reason;
}

}  // namespace

TlsFailureLog::TlsFailureLog() {
  gOpenLog = &lines_;
  ber_get_option(nullptr, LBER_OPT_LOG_PRINT_FN, &previousPrinter_);
  ldap_get_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &previousLevel_);
  ber_set_option(nullptr, LBER_OPT_LOG_PRINT_FN,
                 reinterpret_cast<const void*>(&TlsFailureLog::Catch));
  // The certificate status is logged at trace level; the handshake writes
  // a few dozen lines there, nothing that needs a second look.
  int level = previousLevel_ | kTraceLevel;
  ldap_set_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &level);
}

TlsFailureLog::~TlsFailureLog() {
  ldap_set_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &previousLevel_);
  ber_set_option(nullptr, LBER_OPT_LOG_PRINT_FN,
                 reinterpret_cast<const void*>(previousPrinter_));
  gOpenLog = nullptr;
}

void TlsFailureLog::Catch(const char* text) {
  if (gOpenLog != nullptr && text != nullptr) {
    std::string line = Trimmed(text);
    if (StartsWith(line, "TLS:")) gOpenLog->push_back(line);
  }
}

std::string TlsFailureLog::TlsFailureReason(
    const std::vector<std::string>& lines) {
  std::string handshakeError;
  for (const std::string& line : lines) {
    if (line.find("peer cert untrusted or revoked") != std::string::npos)
      return DescribeStatus(line) + " (" + line + "); trusted CAs come from " +
             "TLS_CACERT in ldap.conf or LDAPTLS_CACERT";
    if (line.find("peer certificate is expired") != std::string::npos)
      return "the certificate has expired (" + line + ")";
    if (line.find("does not match") != std::string::npos)
      return "name mismatch: the certificate does not name the host "
             "connected to (" +
             line + ")";
    if (StartsWith(line, "TLS: can't connect: ") && handshakeError.empty())
      handshakeError = line.substr(20);
  }
  // Left only with GnuTLS's own error: on a port that does not speak TLS
  // the server answers the handshake with LDAP bytes or closes.
  if (!handshakeError.empty() && handshakeError != "(unknown error code)") {
    return "the TLS handshake failed (" + handshakeError +
           "); is TLS offered on this port?";
  }
  // Failures of the TLS set-up itself (a CA file that cannot be read...).
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (it->find("could not") != std::string::npos) return it->substr(5);
  }
  return "";
}

}  // namespace talvex

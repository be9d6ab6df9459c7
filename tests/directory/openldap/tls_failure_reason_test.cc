#include "directory/openldap/tls_failure_reason.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

// The lines libldap 2.5 with GnuTLS logs for each failure seen in the lab.
TEST(TlsFailureReasonTest, NamesTheReasonLibldapOnlyLogs) {
  struct Case {
    std::vector<std::string> lines;
    std::string reason;
  };
  const Case cases[] = {
      {{"TLS: peer cert untrusted or revoked (0x42)",
        "TLS: can't connect: (unknown error code)"},
       "unknown certificate authority: no trusted CA issued it (TLS: peer "
       "cert untrusted or revoked (0x42)); trusted CAs come from TLS_CACERT in "
       "ldap.conf or LDAPTLS_CACERT"},
      {{"TLS: peer cert untrusted or revoked (0x402)"},
       "the certificate has expired (TLS: peer cert untrusted or revoked "
       "(0x402)); trusted CAs come from TLS_CACERT in ldap.conf or "
       "LDAPTLS_CACERT"},
      {{"TLS: hostname (10.99.0.11) does not match common name in "
        "certificate (DC1.corp.example.com)",
        "TLS: can't connect: (unknown error code)"},
       "name mismatch: the certificate does not name the host connected to "
       "(TLS: hostname (10.99.0.11) does not match common name in "
       "certificate (DC1.corp.example.com))"},
      {{"TLS: can't connect: Error in the pull function"},
       "the TLS handshake failed (Error in the pull function); is TLS "
       "offered on this port?"},
      {{"TLS: could not use CA file `/nowhere.pem'"},
       "could not use CA file `/nowhere.pem'"},
      {{"TLS: can't connect: (unknown error code)"}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.reason, TlsFailureLog::TlsFailureReason(c.lines));
  }
}

}  // namespace
}  // namespace talvex

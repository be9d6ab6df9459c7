// Why libldap could not set up TLS, in words.
//
// When GnuTLS refuses the server's certificate, libldap leaves only
// "(unknown error code)" on the handle; the reason (unknown authority, name
// mismatch, expiry) appears only in its debug log. TlsFailureLog catches
// that log while a handshake runs, so that the failure can name its reason.
#pragma once

#include <string>
#include <vector>

namespace talvex {

// Catches libldap's debug lines from construction to destruction. The
// program is single-threaded and libldap's log settings are process-wide:
// the previous debug level and printer are restored on destruction.
class TlsFailureLog {
 public:
  TlsFailureLog();
  ~TlsFailureLog();
  TlsFailureLog(const TlsFailureLog&) = delete;
  TlsFailureLog& operator=(const TlsFailureLog&) = delete;

  // The reason the log gives for a failed handshake ("" when none).
  std::string Reason() const { return TlsFailureReason(lines_); }

  static std::string TlsFailureReason(const std::vector<std::string>& lines);

 private:
  static void Catch(const char* text);

  std::vector<std::string> lines_;
  int previousLevel_ = 0;
  void (*previousPrinter_)(const char*) = nullptr;
};

}  // namespace talvex

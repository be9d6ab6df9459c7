#include "directory/ldap_error_report.h"

#include <cstdint>
#include <cstdio>

#include "support/output.h"
#include "support/visible_text.h"

namespace talvex {

void ReportLdapError(LdapClient& client, const std::string& label,
                     const std::string& server, int code,
                     LdapConnection* connection) {
  std::string host = server;
  if (host.empty() && connection != nullptr) host = connection->HostName();

  // Built in a growing string, so a long label, host or client text is shown
  // whole.
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", static_cast<std::uint32_t>(code));
  // The label names DNs and the host comes from the locator; like the
  // server's diagnostic below they may carry control characters.
  std::string text = VisibleText(label) + ": [" + VisibleText(host) +
                     "] Error 0x" + hex + " (" +
                     std::to_string(code) + ") - " + client.ErrorText(code) +
                     "\n";
  PrintErrorText(text, false);

  if (code == 0 || connection == nullptr) return;
  std::string diagnostic = connection->DiagnosticMessage();
  if (diagnostic.empty()) diagnostic = "No extended error info available.";
  PrintErrorText("Extended Error: " + VisibleText(diagnostic) + "\n", false);
}

void ReportServerWarning(const std::string& problem) {
  PrintLine("WARN:");
  PrintLine("WARN: " + VisibleText(problem));
  PrintLine("WARN:");
}

void ReportServerFault(const std::string& problem) {
  PrintLine("ERROR:");
  PrintLine("ERROR: " + VisibleText(problem));
  PrintLine("ERROR:");
}

}  // namespace talvex

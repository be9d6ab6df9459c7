#include "operations/pre_action_checks.h"

#include "support/output.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// Password Settings Objects arrived with the Windows Server 2008 ("Longhorn")
// schema and are honoured only by controllers and domains at functional
// level 3 or above.
constexpr int kLonghornLevel = 3;

bool Verbose() { return Output().verboseLevel != 0; }

void PrintVerbose(const std::string& text, bool lineEnd) {
  if (!Verbose()) return;
  if (lineEnd) {
    PrintLine(text);
  } else {
    PrintText(text);
  }
}

void AdamTest(const ServerInfo& serverInfo) {
  PrintVerbose("  ADAM/ADLDS Test: ", false);
  if (!serverInfo.isAdam) {
    PrintVerbose("Passed.", true);
    return;
  }
  PrintVerbose("Failed.", true);
  PrintLine("ERROR:");
  PrintLine(
      "ERROR: Granular Password Policy is not supported on ADAM or ADLDS.");
  PrintLine("ERROR:");
  ShowUsageHint();
}

// Reading policies, and the domain policy on its own, work on any level.
bool OverrideApplies(const RunConfig& config) {
  if (config.action == ActionCode::kView ||
      config.action == ActionCode::kExport) {
    PrintVerbose("  View/Export Mode Override.", true);
    return true;
  }
  if (config.action == ActionCode::kModify && config.domainPolicySelected &&
      !config.psoSelected) {
    PrintVerbose("  Domain Policy Update Mode Override.", true);
    return true;
  }
  return false;
}

void ControllerTest(const ServerInfo& serverInfo) {
  PrintVerbose("  DC OS Test     : ", false);
  if (serverInfo.domainControllerFunctionality >= kLonghornLevel) {
    PrintVerbose("Passed.", true);
    return;
  }
  PrintVerbose("Failed.", true);
  PrintLine("ERROR:");
  PrintLine("ERROR: Granular Password Policy requires Longhorn Server.");
  PrintLine("ERROR: This server (" + VisibleText(serverInfo.dnsHostName) +
            ") appears to be " + serverInfo.domainControllerModeName);
  PrintLine("ERROR:");
  ShowUsageHint();
}

void DomainTest(const ServerInfo& serverInfo) {
  PrintVerbose("  Domain Test    : ", false);
  if (serverInfo.domainFunctionality >= kLonghornLevel) {
    PrintVerbose("Passed.", true);
    return;
  }
  PrintVerbose("Failed.", true);
  PrintLine("  WARN:");
  PrintLine(
      "  WARN: Granular Password Policy requires Longhorn Domain Functional "
      "Level.");
  PrintLine("  WARN: This domain (" +
            VisibleText(serverInfo.defaultNamingContext) + ") appears to be " +
            serverInfo.domainModeName);
  PrintLine("  WARN:\n");
}

}  // namespace

void RunValidationTests(const ServerInfo& serverInfo, const RunConfig& config) {
  PrintVerbose("Performing validation tests...", true);
  AdamTest(serverInfo);
  if (OverrideApplies(config)) return;
  ControllerTest(serverInfo);
  DomainTest(serverInfo);
}

}  // namespace talvex

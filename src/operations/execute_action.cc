#include "operations/execute_action.h"

#include <memory>
#include <string>

#include "directory/connection_cache.h"
#include "directory/dn_helpers.h"
#include "directory/open_ldap.h"
#include "directory/server_info.h"
#include "operations/actions.h"
#include "operations/caching_dc_locator.h"
#include "operations/run_failure.h"
#include "operations/run_state.h"
#include "operations/validation_tests.h"
#include "policy/domain_list.h"
#include "policy/domain_policy_retrieval.h"
#include "policy/pso_retrieval.h"
#include "support/output.h"
#include "support/run_exit.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// The writable-controller requirement handed to the bind, as the Windows
// client's "Get DS Flags" option would carry it.
constexpr std::uint32_t kMainConnectionLocatorFlags = 0x1000;
constexpr int kGlobalCatalogPortSelector = 1;

// The sections that run after the preparation, by action.
struct ActionSection {
  ActionCode action;
  void (*run)(RunState& state);
};

constexpr ActionSection kActionSections[] = {
    {ActionCode::kView, RunView},
    {ActionCode::kApplied, RunView},
    {ActionCode::kAdd, RunAdd},
    {ActionCode::kDelete, RunDelete},
    {ActionCode::kMultiDelete, RunDelete},
    {ActionCode::kRename, RunRename},
    {ActionCode::kModify, RunModify},
    {ActionCode::kQuickStart, RunQuickStart},
    {ActionCode::kApplyTo, RunApplyTo},
    {ActionCode::kUnApplyTo, RunApplyTo},
    {ActionCode::kClearApplied, RunClearApplied},
    {ActionCode::kEffective, RunEffective},
};

bool DebugAt(int level) { return Output().debugLevel >= level; }

void Debug(const std::string& text) {
  if (DebugAt(1)) PrintDebugLine(text);
}

// The connection failed to open: OpenLDAP has reported why already.
[[noreturn]] void FailConnection(int status) {
  PrintLine("\nThe command did not complete successfully.");
  EndRun(status != 0 ? status : 1);
}

OpenLdapOptions BindOptions(const DirectoryAccess& access,
                            std::uint32_t locatorFlags) {
  OpenLdapOptions options;
  options.userId = access.userId;
  options.password = access.password;
  options.simple = access.simpleBind;
  options.ssl = access.ssl;
  options.startTls = access.startTls;
  options.locatorFlags = locatorFlags;
  return options;
}

// The run's host is the controller the locator picks for the domain, asked
// on the -h computer. A failed locate is not fatal: an empty host lets the
// LDAP library find a controller itself, and a DN-form -domain reaches the
// directory that way.
void LocateController(RunState& state) {
  RunConfig& config = *state.config;
  Debug("Locating Domain Controller for domain " + config.domain +
        " WRITE | DS_REQ");
  std::string name, site, clientSite;
  LocateDC(*state.locator, state.access.locatorComputer, config.domain,
           DomainControllerFlags(config.domain), &name, &site, &clientSite);
  PrintLine("Using host: " + site + "\\" + name);
  config.host = name;
}

void OpenMainConnection(RunState& state) {
  RunConfig& config = *state.config;
  Debug("Opening LDAP Connection");
  int port = state.access.portSelector;
  int status = 0;
  std::unique_ptr<LdapConnection> connection =
      OpenLDAP(*state.client, config.host, &port,
               BindOptions(state.access, kMainConnectionLocatorFlags), &status);
  if (connection == nullptr) FailConnection(status);
  // After a failed locate the library chose the server; entered under the
  // name it reached, the connection is found again when a later read
  // locates that same controller, instead of being opened a second time.
  std::string key = config.host.empty() ? connection->HostName() : config.host;
  state.mainConnection =
      state.cache.Enter(LowerCase(key), std::move(connection));
}

void ReadServer(RunState& state) {
  state.serverInfo = ReadServerInfo(state.mainConnection, /*extendedDn=*/false);
  if (!DebugAt(1)) return;
  const ServerInfo& info = state.serverInfo;
  PrintDebugLine("Host: " + info.dnsHostName);
  PrintDebugLine("Dir : " + info.productName);
  PrintDebugLine("DSA : " + info.dsaVersionString);
  PrintDebugLine("DCMode : " +
                 std::to_string(info.domainControllerFunctionality));
  PrintDebugLine("DomMode: " + std::to_string(info.domainFunctionality));
  PrintDebugLine("ForMode: " + std::to_string(info.forestFunctionality));
  PrintDebugLine("ADAM : " + FormatBool(info.isAdam));
  PrintDebugLine("GC   : " + FormatBool(info.isGlobalCatalog));
  PrintDebugLine("RODC : " + FormatBool(info.isReadOnlyDc));
}

// A -domain given as a DN is the domain DN itself; a DNS or flat name only
// served to locate the controller, whose domain it then is.
void FixDomainDn(RunState& state) {
  RunConfig& config = *state.config;
  if (config.domain.empty() || config.domain.find('=') == std::string::npos) {
    config.domain = state.serverInfo.defaultNamingContext;
  }
  state.domainDn = config.domain;
}

// A failed read leaves the list empty and the run goes on: -alldoms then
// reads no domain policy and no global catalog is chosen.
void ReadDomainList(RunState& state) {
  if (Output().verboseLevel != 0) PrintLine("Retrieving forest domain list...");
  GetDomainList(&state.domainList, &state.domainNames, *state.mainConnection,
                state.serverInfo);
  if (!DebugAt(1)) return;
  for (const std::string& domain : state.domainList)
    PrintLine("Domain: " + domain);
}

void RetrieveDomainPolicies(RunState& state) {
  const RunConfig& config = *state.config;
  if (!config.domainPolicySelected) return;
  PrintLine("Retrieving Domain Policy...");
  int ldapError = 0;
  int systemError = 0;
  if (!GetDomGPOs(state.access, &state.policies, state.domainDn,
                  config.allDomainsForDomainPolicy, state.domainList,
                  &ldapError, &systemError)) {
    FailDomainPolicyRetrieval(state, ldapError, systemError);
  }
}

// Forest-wide PSO work reads every domain at once through a global catalog.
LdapConnection* OpenGlobalCatalog(RunState& state) {
  RunConfig& config = *state.config;
  const std::string& forestDn = state.serverInfo.rootDomainNamingContext;
  Debug("Locating Global Catalog for forest " + forestDn +
        " WRITE | DS_REQ | DS_GC_SERVER_REQUIRED");
  std::string name, site, clientSite;
  int status = LocateDC(*state.locator, config.gcHost, DNToDNSName(forestDn),
                        kGlobalCatalogFlags, &name, &site, &clientSite);
  if (status != 0) {
    PrintLine("ERROR:");
    PrintSystemError("ERROR: DsGetDcName ", status);
    PrintLine("ERROR:");
    EndRun(status);
  }
  PrintLine("  Using GC: " + site + "\\" + name);
  config.gcHost = name;

  Debug("Opening GC Connection");
  int port = kGlobalCatalogPortSelector;
  int openStatus = 0;
  state.gcConnection = OpenLDAP(*state.client, config.gcHost, &port,
                                BindOptions(state.access, 0), &openStatus);
  if (state.gcConnection == nullptr) FailConnection(openStatus);
  return state.gcConnection.get();
}

void RetrievePsos(RunState& state) {
  const RunConfig& config = *state.config;
  if (!config.psoSelected) return;
  PrintLine("Retrieving PSOs...");
  std::string searchBase = state.serverInfo.defaultNamingContext;
  LdapConnection* connection = state.mainConnection;
  bool globalCatalog = config.allDomainsForPsos && state.domainList.size() > 1;
  if (globalCatalog) {
    connection = OpenGlobalCatalog(state);
    searchBase.clear();  // the whole forest
  }
  PsoSelection selection{.name = config.psoName,
                         .usedOnly = config.usedOnly,
                         .unusedOnly = config.unusedOnly};
  int ldapError = 0;
  int systemError = 0;
  if (!GetPSOs(state.access, &state.policies, *connection, searchBase,
               globalCatalog, selection, &ldapError, &systemError)) {
    FailPsoRetrieval(state, ldapError, systemError);
  }
}

void RunActionSection(RunState& state) {
  for (const ActionSection& section : kActionSections) {
    if (section.action == state.config->action) {
      section.run(state);
      return;
    }
  }
}

}  // namespace

int ExecuteAction(RunConfig& config, LdapClient& client, DcLocator& locator) {
  // Every locate of the run goes through one cache, so that forest-wide work
  // asks for each domain's controller once, not once per PSO.
  CachingDcLocator cachingLocator(locator);
  RunState state;
  state.config = &config;
  state.client = &client;
  state.locator = &cachingLocator;
  state.access.client = &client;
  state.access.locator = &cachingLocator;
  state.access.cache = &state.cache;
  // Further domains are located from where the run's own controller was:
  // the -h value as given, before it is replaced by the controller found.
  state.access.locatorComputer = config.host;
  state.access.portSelector = config.port;
  state.access.userId = config.userId;
  state.access.simpleBind = config.simpleBind;
  state.access.ssl = config.ssl;
  state.access.startTls = config.startTls;
  // The password lives in one place from here on.
  state.access.password = std::move(config.password);
  config.password.assign(config.password.size(), '\0');
  config.password.clear();

  LocateController(state);
  OpenMainConnection(state);
  ReadServer(state);
  FixDomainDn(state);
  ReadDomainList(state);
  RunValidationTests(state.serverInfo, config);
  RetrieveDomainPolicies(state);
  RetrievePsos(state);

  RunActionSection(state);
  return 0;
}

}  // namespace talvex

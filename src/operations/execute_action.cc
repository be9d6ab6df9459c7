#include "operations/execute_action.h"

#include <memory>
#include <string>

#include "directory/caching_dc_locator.h"
#include "directory/connection_cache.h"
#include "directory/directory_access.h"
#include "directory/distinguished_name.h"
#include "directory/server_info.h"
#include "operations/actions.h"
#include "operations/add.h"
#include "operations/pre_action_checks.h"
#include "operations/run_failure.h"
#include "operations/run_state.h"
#include "policy/domain_list.h"
#include "policy/domain_policy_retrieval.h"
#include "policy/pso_retrieval.h"
#include "support/output.h"
#include "support/run_exit.h"
#include "support/secret_text.h"
#include "support/text_case.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// The sections that run after the preparation, by action. Modify and Sync
// read the policies again and Effective reads the user's, through the
// domain's controller, and Coverage reads every domain's accounts through its own,
// which may need a connection of its own: those hold the password until
// they end; every other section runs without it.
struct ActionSection {
  ActionCode action;
  void (*run)(RunState& state);
  bool bindsAgain;
};

constexpr ActionSection kActionSections[] = {
    {ActionCode::kView, RunView, false},
    {ActionCode::kApplied, RunView, false},
    {ActionCode::kAdd, RunAdd, false},
    {ActionCode::kDelete, RunDelete, false},
    {ActionCode::kMultiDelete, RunDelete, false},
    {ActionCode::kRename, RunRename, false},
    {ActionCode::kModify, RunModify, true},
    {ActionCode::kQuickStart, RunQuickStart, false},
    {ActionCode::kApplyTo, RunApplyTo, false},
    {ActionCode::kUnApplyTo, RunApplyTo, false},
    {ActionCode::kClearApplied, RunClearApplied, false},
    {ActionCode::kEffective, RunEffective, true},
    {ActionCode::kAudit, RunAudit, false},
    {ActionCode::kCoverage, RunCoverage, true},
    {ActionCode::kExport, RunExport, false},
    {ActionCode::kSync, RunSync, true},
};

bool DebugAt(int level) { return Output().debugLevel >= level; }

void Debug(const std::string& text) {
  if (DebugAt(1)) PrintDebugLine(text);
}

// Where the run goes and what it reads; a JSON document carries these facts
// itself, so they are not repeated around it.
void Progress(const std::string& text) {
  if (!Output().jsonDocument) PrintLine(text);
}

// The connection failed to open: OpenLDAP has reported why already.
[[noreturn]] void FailConnection(int status) {
  PrintLine("\nThe command did not complete successfully.");
  EndRun(status != 0 ? status : 1);
}

// A locate that found no controller ends the run with the locator's report
// and code, before any connection: the credentials must never go to a
// server nobody chose (libldap's default with no host is localhost).
[[noreturn]] void FailLocate(int status, const std::string& problem) {
  PrintLine("ERROR:");
  if (!problem.empty()) PrintLine("ERROR: " + VisibleText(problem));
  PrintSystemError("ERROR: DsGetDcName ", status);
  PrintLine("ERROR:");
  EndRun(status);
}

bool IsDn(const std::string& domain) {
  return domain.find('=') != std::string::npos;
}

// The run's host is the controller the locator picks for the domain, asked
// on the -h computer. A -domain given as a DNS or flat name is honoured: when
// it cannot be located the run ends, rather than going on with another
// domain. A DN is no name a locator knows; it reaches the directory through
// a controller of this machine's own domain, the one the Windows client
// finds for an empty host.
void LocateController(RunState& state) {
  const RunConfig& config = *state.config;
  Debug("Locating Domain Controller for domain " + config.domain +
        " WRITE | DS_REQ");
  DomainControllerInfo dc;
  int status =
      LocateDC(*state.locator, state.access.locatorComputer, config.domain,
               DomainControllerFlags(config.domain), &dc);
  if (status != 0 && IsDn(config.domain)) {
    Debug(
        "Locating Domain Controller for this computer's domain WRITE | "
        "DS_REQ");
    status = LocateDC(*state.locator, state.access.locatorComputer, "",
                      DomainControllerFlags(""), &dc);
  }
  if (status != 0) FailLocate(status, dc.problem);
  Progress("Using host: " + VisibleText(dc.dcSiteName) + "\\" +
           VisibleText(dc.name));
  state.controllerSite = dc.dcSiteName;
  state.controllerName = dc.name;
}

void OpenMainConnection(RunState& state) {
  int status = 0;
  std::unique_ptr<LdapConnection> connection =
      OpenLocatedController(state.access, state.controllerName,
                            ControllerRole::kDomainController, &status);
  if (connection == nullptr) FailConnection(status);
  state.mainConnection =
      state.cache.Enter(LowerCase(state.controllerName), std::move(connection));
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
  const std::string& domain = state.config->domain;
  state.domainDn =
      IsDn(domain) ? domain : state.serverInfo.defaultNamingContext;
}

// A failed read ends the run: going on with an empty list would show
// "No PSO's to display" for -alldoms and end as a success, and every later
// read of a server that stopped answering would wait out its own timeout.
void ReadDomainList(RunState& state) {
  if (Output().verboseLevel != 0) PrintLine("Retrieving forest domain list...");
  int status = GetDomainList(&state.domainList, &state.domainNames,
                             *state.mainConnection, state.serverInfo);
  if (status != 0) FailDomainListRetrieval(state, status);
  if (!DebugAt(1)) return;
  for (const std::string& domain : state.domainList)
    PrintLine("Domain: " + VisibleText(domain));
}

void RetrieveDomainPolicies(RunState& state) {
  const RunConfig& config = *state.config;
  if (!config.domainPolicySelected) return;
  Progress("Retrieving Domain Policy...");
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
  const RunConfig& config = *state.config;
  const std::string& forestDn = state.serverInfo.rootDomainNamingContext;
  Debug("Locating Global Catalog for forest " + forestDn +
        " WRITE | DS_REQ | DS_GC_SERVER_REQUIRED");
  DomainControllerInfo gc;
  int status = LocateDC(*state.locator, config.gcHost, DNToDNSName(forestDn),
                        kGlobalCatalogFlags, &gc);
  if (status != 0) FailLocate(status, gc.problem);
  Progress("  Using GC: " + VisibleText(gc.dcSiteName) + "\\" +
           VisibleText(gc.name));
  state.gcSite = gc.dcSiteName;
  state.gcName = gc.name;
  const std::string& name = gc.name;

  int openStatus = 0;
  state.gcConnection = OpenLocatedController(
      state.access, name, ControllerRole::kGlobalCatalog, &openStatus);
  if (state.gcConnection == nullptr) FailConnection(openStatus);
  return state.gcConnection.get();
}

PsoSelection RunPsoSelection(const RunConfig& config, bool globalCatalog) {
  PsoSelection selection{.name = config.psoName,
                         .usedOnly = config.usedOnly,
                         .unusedOnly = config.unusedOnly};
  // The add's checks need only the PSOs that share something with the new
  // one: asked for by name, precedence and settings, so that a domain of
  // thousands of PSOs is not read page by page. The debug lines list every
  // PSO the read finds, so from level 1 on every PSO is read as before.
  if (config.action == ActionCode::kAdd && !globalCatalog &&
      !DebugAt(1)) {
    selection.anyOf = AddCheckTerms(config.addSpec);
  }
  return selection;
}

void RetrievePsos(RunState& state) {
  const RunConfig& config = *state.config;
  if (!config.psoSelected) return;
  Progress("Retrieving PSOs...");
  std::string searchBase = state.serverInfo.defaultNamingContext;
  LdapConnection* connection = state.mainConnection;
  bool globalCatalog = config.allDomainsForPsos && state.domainList.size() > 1;
  if (globalCatalog) {
    connection = OpenGlobalCatalog(state);
    searchBase.clear();  // the whole forest
  }
  PsoSelection selection = RunPsoSelection(config, globalCatalog);
  int ldapError = 0;
  int systemError = 0;
  if (!GetPSOs(state.access, &state.policies, *connection, searchBase,
               globalCatalog, selection, &ldapError, &systemError)) {
    FailPsoRetrieval(state, ldapError, systemError);
  }
}

// The reads that follow the forest domain list whatever it holds go out
// together with its search, so that over a slow link they share its round
// trip: the run's own domain policy and the PSO search of the run's domain.
// Forest-wide reads wait for the list, which decides where they go.
void SendReadsAhead(RunState& state) {
  const RunConfig& config = *state.config;
  LdapConnection& connection = *state.mainConnection;
  SendDomainListAhead(connection, state.serverInfo);
  // Another domain's policy is read from a controller of its own.
  if (config.domainPolicySelected && !config.allDomainsForDomainPolicy &&
      SameDn(state.domainDn, state.serverInfo.defaultNamingContext)) {
    SendDomainPolicyAhead(connection, state.domainDn);
  }
  if (config.psoSelected && !config.allDomainsForPsos) {
    SendPsoSearchAhead(connection, state.serverInfo.defaultNamingContext,
                       RunPsoSelection(config, /*globalCatalog=*/false));
  }
  if (config.action == ActionCode::kEffective)
    SendEffectiveUserSearchAhead(state);
  if (config.action == ActionCode::kApplyTo ||
      config.action == ActionCode::kUnApplyTo) {
    SendApplyToObjectSearchAhead(state);
  }
}

// Forest-wide runs bind to further controllers while the policies are
// read; the password is wiped once the last bind the run can make is done.
void RunActionSection(RunState& state) {
  for (const ActionSection& section : kActionSections) {
    if (section.action != state.config->action) continue;
    if (!section.bindsAgain) ForgetPassword(state.access);
    section.run(state);
    break;
  }
  ForgetPassword(state.access);
}

}  // namespace

int ExecuteAction(const RunConfig& config, std::string* password,
                  LdapClient& client, DcLocator& locator) {
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
  // Every locate asks on the -h computer, further domains' too.
  state.access.locatorComputer = config.host;
  state.access.portSelector = config.port;
  state.access.userId = config.userId;
  state.access.simpleBind = config.simpleBind;
  state.access.ssl = config.ssl;
  state.access.startTls = config.startTls;
  // The password lives in one place from here on: moving leaves a short
  // one in the moved-from string's own buffer, which is wiped too.
  state.access.password = std::move(*password);
  WipeSecret(password);

  LocateController(state);
  OpenMainConnection(state);
  ReadServer(state);
  FixDomainDn(state);
  // The run's controller is a writable one of the domain it serves: a later
  // locate of that domain by DNS name (the domain policy's, a PSO's) is
  // answered with it instead of with another DNS lookup and ping.
  cachingLocator.Remember(
      config.host, DNToDNSName(state.serverInfo.defaultNamingContext),
      kDnsDomainControllerFlags,
      DomainControllerInfo{.name = state.controllerName,
                           .dcSiteName = state.controllerSite,
                           .clientSiteName = {},
                           .problem = {}});
  SendReadsAhead(state);
  ReadDomainList(state);
  RunValidationTests(state.serverInfo, config);
  RetrieveDomainPolicies(state);
  RetrievePsos(state);

  RunActionSection(state);
  return state.exitCode;
}

}  // namespace talvex

#include "frontend/application_switches.h"

#include <string>
#include <vector>

#include "frontend/policy_fields.h"
#include "frontend/standard_switches.h"
#include "frontend/switch_table.h"
#include "frontend/text_file.h"
#include "policy/audit_profile.h"
#include "policy/policy_code.h"
#include "support/decimal_integer.h"
#include "support/output.h"
#include "support/password_prompt.h"
#include "support/run_exit.h"
#include "support/text_case.h"
#include "support/usage_hint.h"
#include "support/visible_text.h"

namespace talvex {
namespace {

// The value of -up that asks for the password on the terminal.
constexpr char kAskForPassword[] = "*";
// The exit code of a cancelled password prompt: ERROR_CANCELLED, "The
// operation was canceled by the user.", as the run's other failures end
// with the failing call's system code (Linux keeps its low 8 bits: 199).
constexpr int kPromptCancelled = 1223;

// An error block, then the usage hint (exit code 1).
[[noreturn]] void Fail(const std::vector<std::string>& lines) {
  RefuseRequest(lines);
}

void ReadConnection(CommandLine& commandLine, RunConfig* config) {
  config->gcHost = commandLine.SwitchValue("gch", "");
  config->host = commandLine.SwitchValue("h", "");
  config->domain = commandLine.SwitchValue("domain", "");
  config->port = ToInteger(commandLine.SwitchValue("p", "0"), 0);
  config->simpleBind = commandLine.HasSwitch("simple");
  config->ssl = commandLine.HasSwitch("ssl");
  config->startTls = commandLine.HasSwitch("starttls");
  // Checked before the password prompt: nothing is asked for a run that
  // cannot start.
  if (config->ssl && config->startTls) {
    Fail({"ERROR: Cannot specify -ssl and -starttls together."});
  }
  config->userId = commandLine.SwitchValue("u", "");
  // The password moves out of the switch table, and the prompt writes
  // straight into the configuration, so that it is held in one place only.
  commandLine.TakeSwitchValue("up", &config->password);
  if (config->password == kAskForPassword &&
      !PromptPassword(&config->password)) {
    // Binding with an empty password instead would count a bad password
    // against the account (toward its lockout), or let an unauthenticated
    // simple bind through; a cancelled prompt ends the run before the
    // directory is contacted.
    PrintLine("\nThe command did not complete successfully.\n");
    EndRun(kPromptCancelled);
  }
}

void ReadSelectionAndOutput(const CommandLine& commandLine, RunConfig* config) {
  config->override = commandLine.HasSwitch("override");
  config->forReal = commandLine.HasSwitch("forreal");
  config->dnOnly = commandLine.HasSwitch("dn");
  config->dnWithPrecedence = commandLine.HasSwitch("dnprec");
  if (config->dnWithPrecedence) {
    config->dnOnly = true;
    config->sortByPrecedence = 1;
  }
  if (commandLine.HasSwitch("alldoms")) {
    if (!config->domain.empty()) {
      PrintLine("WARN:");
      PrintLine("WARN: Switch -alldoms overridden by -domain switch.");
      PrintLine("WARN:");
    } else {
      config->allDomainsForDomainPolicy = true;
      config->allDomainsForPsos = true;
    }
  }
  if (commandLine.HasSwitch("pso")) {
    config->psoSelected = true;
    config->psoName = commandLine.SwitchValue("pso", "");
  }
  config->domainPolicySelected = commandLine.HasSwitch("dompol");
  if (commandLine.HasSwitch("allpwdpols")) {
    config->domainPolicySelected = true;
    config->psoSelected = true;
    config->psoName.clear();
  }
  if (LowerCase(commandLine.SwitchValue("sort", "")) == "precedence") {
    config->sortByPrecedence = 1;
  }
  config->usedOnly = commandLine.HasSwitch("used");
  config->unusedOnly = commandLine.HasSwitch("unused");
  config->json = commandLine.HasSwitch("json");
}

bool AnyAllDomains(const RunConfig& config) {
  return config.allDomainsForDomainPolicy || config.allDomainsForPsos;
}

// Parses the value of -add or -mod into *record and prints the parser's
// messages; a failed specification ends the run.
void ParseSpecification(const CommandLine& commandLine, const char* switchName,
                        bool isAdd, PolicyRecord* record) {
  std::vector<std::string> fields = SplitFields(
      commandLine.SwitchValue(switchName, ""), kSpecificationFieldCount);
  std::vector<std::string> messages;
  bool parsed = ParsePolicySpecification(commandLine, record, std::move(fields),
                                         isAdd, &messages);
  for (const std::string& message : messages) PrintLine(message);
  if (!parsed) ShowUsageHint();
}

void ApplyView(const CommandLine&, RunConfig* config) {
  config->action = ActionCode::kView;
  if (!config->domainPolicySelected && !config->psoSelected) {
    Fail({"ERROR: Must specify -pso, -dompol, or -allpwdpols."});
  }
}

void ApplyAdd(const CommandLine& commandLine, RunConfig* config) {
  if (config->usedOnly || config->unusedOnly) {
    Fail({"ERROR: -used and -unused switches not valid with -add."});
  }
  if (AnyAllDomains(*config)) {
    Fail({"ERROR: -alldoms switch not valid with -add."});
  }
  config->action = ActionCode::kAdd;
  config->addSpec.SetIsPSO(true);
  ParseSpecification(commandLine, "add", /*isAdd=*/true, &config->addSpec);
  config->psoSelected = true;
  config->psoName.clear();
}

void ApplyDelete(const CommandLine& commandLine, RunConfig* config) {
  if (config->domainPolicySelected) {
    Fail(
        {"ERROR: Cannot use -del or -multidel with Domain Policy Objects, "
         "only PSOs."});
  }
  if (config->allDomainsForPsos) {
    Fail({"ERROR: Cannot use -del or -multidel with -alldoms."});
  }
  if (commandLine.HasSwitch("del")) config->action = ActionCode::kDelete;
  if (commandLine.HasSwitch("multidel")) {
    config->action = ActionCode::kMultiDelete;
  }
  // A PSO with members still governs their passwords; deleting it silently
  // changes their policy, so only unused PSOs go unless -override says so.
  if (config->usedOnly && !config->override) {
    Fail({"ERROR: Cannot use -used with -del or -multidel for safety.",
          "ERROR: Remove members from PSO that you want to delete.",
          "ERROR: Or use -override to allow deletion of any PSO."});
  }
  if (!config->unusedOnly && !config->override) {
    config->unusedOnly = true;
    PrintLine("WARN: Added -unused switch for safety.");
  }
}

void ApplyRename(const CommandLine& commandLine, RunConfig* config) {
  if (config->domainPolicySelected) {
    Fail({"ERROR: Cannot use -rename with Domain Policy Objects, only PSOs."});
  }
  if (AnyAllDomains(*config)) {
    Fail({"ERROR: Cannot use -rename against multiple domains."});
  }
  config->action = ActionCode::kRename;
  config->renameTo = commandLine.SwitchValue("rename", "");
  if (config->renameTo.empty()) {
    Fail({"ERROR: Need to specify new RDN for -rename."});
  }
}

void ApplyModify(const CommandLine& commandLine, RunConfig* config) {
  if (AnyAllDomains(*config)) {
    Fail({"ERROR: -alldom switch not valid with -mod."});
  }
  config->action = ActionCode::kModify;
  if (config->psoSelected) config->modSpec.SetIsPSO(true);
  ParseSpecification(commandLine, "mod", /*isAdd=*/false, &config->modSpec);
  const PolicyRecord& spec = config->modSpec;
  if (config->domainPolicySelected &&
      (!spec.name().empty() || !spec.displayName().empty() ||
       spec.precedence() > 0)) {
    Fail(
        {"ERROR: Cannot modify name, displayname, or precedence of Domain "
         "Policy."});
  }
}

void ApplyQuickStart(const CommandLine&, RunConfig* config) {
  config->action = ActionCode::kQuickStart;
  config->psoSelected = false;
  config->psoName.clear();
  config->domainPolicySelected = true;
}

void ApplyApplied(const CommandLine&, RunConfig* config) {
  if (config->domainPolicySelected) {
    Fail({"ERROR: -applied does not apply to domain policy switches."});
  }
  if (config->allDomainsForPsos) {
    Fail({"ERROR: -applied cannot be used with -alldoms."});
  }
  config->action = ActionCode::kApplied;
}

void ApplyClearApplied(const CommandLine&, RunConfig* config) {
  config->action = ActionCode::kClearApplied;
  if (config->domainPolicySelected) {
    Fail({"ERROR: -clearapplied does not apply to domain policy switches."});
  }
}

void ApplyMembership(const CommandLine& commandLine, RunConfig* config) {
  if (config->domainPolicySelected) {
    Fail(
        {"ERROR: -applyto/-unapplyto does not work with domain policy "
         "switches."});
  }
  if (commandLine.HasSwitch("applyto")) {
    config->action = ActionCode::kApplyTo;
    config->memberTarget = commandLine.SwitchValue("applyto", "");
  } else {
    config->action = ActionCode::kUnApplyTo;
    config->memberTarget = commandLine.SwitchValue("unapplyto", "");
  }
  if (config->memberTarget.empty()) {
    Fail(
        {"ERROR: Must specify DN or sAMAccountName for "
         "-applyto/-unapplyto."});
  }
}

void ApplyEffective(const CommandLine& commandLine, RunConfig* config) {
  if (config->domainPolicySelected) {
    Fail({"ERROR: -effective does not work with domain policy switches."});
  }
  config->action = ActionCode::kEffective;
  config->effectiveUser = commandLine.SwitchValue("effective", "");
  // The effective policy is the user's own: no selection applies.
  config->usedOnly = false;
  config->unusedOnly = false;
  config->domainPolicySelected = false;
  config->allDomainsForDomainPolicy = false;
  config->allDomainsForPsos = false;
  config->psoSelected = false;
  if (config->effectiveUser.empty()) {
    Fail({"ERROR: Must specify DN or sAMAccountName for -effective."});
  }
}

// A built-in profile by its word, else a profile file; a file that cannot
// be read or is no profile ends the run here, before the directory is
// contacted.
void ApplyAudit(const CommandLine& commandLine, RunConfig* config) {
  config->action = ActionCode::kAudit;
  const std::string word = commandLine.SwitchValue("audit", "");
  if (word.empty()) {
    Fail(
        {"ERROR: Must specify a profile for -audit: cis, stig, msbaseline, "
         "nist or a profile file."});
  }
  if (const AuditProfile* builtIn = FindBuiltInProfile(word)) {
    config->auditProfile = *builtIn;
  } else {
    // "-" reads the profile from standard input, as -sync reads its file.
    std::string text;
    if (!ReadTextFile(word, &text)) {
      Fail({"ERROR: Cannot read the audit profile file " + VisibleText(word) +
                ".",
            "ERROR: -audit takes cis, stig, msbaseline, nist or a file."});
    }
    std::string place, reason;
    if (!ParseAuditProfile(text, &config->auditProfile, &place, &reason)) {
      Fail({"ERROR: Bad audit profile file " + VisibleText(word) + ".",
            "ERROR: At " + VisibleText(place) + ": " + reason + "."});
    }
  }
  // Without selection switches the audit grades everything of the domain.
  if (!config->domainPolicySelected && !config->psoSelected) {
    config->domainPolicySelected = true;
    config->psoSelected = true;
  }
}

// Every policy of the domain takes part in deciding an account's policy, so
// no selection narrows what is read; -base narrows the accounts.
void ApplyCoverage(const CommandLine& commandLine, RunConfig* config) {
  config->action = ActionCode::kCoverage;
  config->usedOnly = false;
  config->unusedOnly = false;
  config->psoSelected = true;
  config->psoName.clear();
  config->domainPolicySelected = true;
  if (!commandLine.HasSwitch("base")) return;
  config->coverageBase = commandLine.SwitchValue("base", "");
  if (config->coverageBase.empty()) {
    Fail({"ERROR: Must specify the DN of a subtree for -base."});
  }
  if (config->allDomainsForPsos) {
    Fail({"ERROR: -base cannot be used with -alldoms."});
  }
}

// The policies of one domain as a document: a run over several domains
// would mix their PSOs, which no single domain can be made to match.
void ApplyExport(const CommandLine&, RunConfig* config) {
  config->action = ActionCode::kExport;
  config->json = true;
  if (AnyAllDomains(*config)) {
    Fail({"ERROR: -export works on one domain: -alldoms is not valid with "
          "it."});
  }
  // Without selection switches: every PSO and the domain policy.
  if (!config->domainPolicySelected && !config->psoSelected) {
    config->domainPolicySelected = true;
    config->psoSelected = true;
  }
}

// The document -sync makes the domain match, read and checked before the
// directory is contacted: its syntax, its types, Windows' rules.
void ApplySync(const CommandLine& commandLine, RunConfig* config) {
  config->action = ActionCode::kSync;
  if (AnyAllDomains(*config)) {
    Fail({"ERROR: -sync works on one domain: -alldoms is not valid with it."});
  }
  for (const char* name : {"pso", "dompol", "allpwdpols", "used", "unused"}) {
    if (commandLine.HasSwitch(name)) {
      Fail(
          {"ERROR: -sync takes its policies from the file: -pso, -dompol, "
           "-allpwdpols, -used and -unused are not valid with it."});
    }
  }
  config->syncFile = commandLine.SwitchValue("sync", "");
  const std::string& file = config->syncFile;
  if (file.empty()) {
    Fail({"ERROR: Must specify a policy file for -sync (- reads standard "
          "input)."});
  }
  std::string text;
  if (!ReadTextFile(file, &text)) {
    Fail({"ERROR: Cannot read the policy file " + VisibleText(file) + "."});
  }
  std::string place, reason;
  if (!ParsePolicyCode(text, &config->policyCode, &place, &reason)) {
    Fail({"ERROR: Bad policy file " + VisibleText(file) + ".",
          "ERROR: At " + VisibleText(place) + ": " + reason + "."});
  }
  std::vector<std::string> broken = CheckPolicyCodeRules(config->policyCode);
  if (!broken.empty()) {
    broken.insert(broken.begin(),
                  "ERROR: Bad policy file " + VisibleText(file) + ".");
    Fail(broken);
  }
  config->psoSelected = true;
  config->domainPolicySelected = config->policyCode.hasDomainPolicy;
  config->prune = commandLine.HasSwitch("prune");
}

// An action rule runs when any of its switches was given. The order only
// decides which message appears first.
struct ActionRule {
  std::vector<const char*> switches;
  void (*apply)(const CommandLine&, RunConfig*);
  bool answersInJson;  // a reading action, valid with -json
};

const std::vector<ActionRule>& ActionRules() {
  static const std::vector<ActionRule> rules = {
      {{"view"}, ApplyView, true},
      {{"add"}, ApplyAdd, false},
      {{"del", "multidel"}, ApplyDelete, false},
      {{"rename"}, ApplyRename, false},
      {{"mod"}, ApplyModify, false},
      {{"quickstart"}, ApplyQuickStart, false},
      {{"applied"}, ApplyApplied, true},
      {{"clearapplied"}, ApplyClearApplied, false},
      {{"applyto", "unapplyto"}, ApplyMembership, false},
      {{"effective"}, ApplyEffective, true},
      {{"audit"}, ApplyAudit, true},
      {{"coverage"}, ApplyCoverage, true},
      {{"export"}, ApplyExport, true},
      {{"sync"}, ApplySync, true},
  };
  return rules;
}

bool AnyGiven(const CommandLine& commandLine,
              const std::vector<const char*>& switches) {
  for (const char* name : switches) {
    if (commandLine.HasSwitch(name)) return true;
  }
  return false;
}

}  // namespace

void ProcessApplicationSwitches(CommandLine& commandLine, RunConfig* config) {
  ProcessStandardSwitches(commandLine, ApplicationSwitchTable());

  ReadConnection(commandLine, config);
  ReadSelectionAndOutput(commandLine, config);

  // Refused before any action's own checks, so that a changing action's
  // specification is not even parsed (nor its defaults announced).
  for (const ActionRule& rule : ActionRules()) {
    if (config->json && !rule.answersInJson &&
        AnyGiven(commandLine, rule.switches)) {
      Fail({"ERROR: -json is only valid with -view, -applied or -effective."});
    }
  }
  for (const ActionRule& rule : ActionRules()) {
    if (!AnyGiven(commandLine, rule.switches)) continue;
    if (config->action != ActionCode::kNone) {
      Fail({"ERROR: Only one Action switch can be specified."});
    }
    rule.apply(commandLine, config);
  }

  if (commandLine.HasSwitch("prune") && config->action != ActionCode::kSync) {
    Fail({"ERROR: -prune is only valid with -sync."});
  }
  if (commandLine.HasSwitch("base") &&
      config->action != ActionCode::kCoverage) {
    Fail({"ERROR: -base is only valid with -coverage."});
  }
  if (config->usedOnly && config->unusedOnly) {
    Fail({"ERROR: Cannot specify Used and Unused PSO switches."});
  }
  if (config->action == ActionCode::kNone) {
    Fail({"ERROR: No action specified."});
  }
}

}  // namespace talvex

// The View section: the selected policies in one of two orders, in full or
// as DNs, and for -applied the objects each PSO applies to.
#include <algorithm>
#include <string>
#include <vector>

#include "operations/actions.h"
#include "operations/applied_members.h"
#include "operations/run_failure.h"
#include "policy/policy_display.h"
#include "support/output.h"

namespace talvex {
namespace {

constexpr std::size_t kPrecedenceFieldWidth = 14;

std::vector<const PolicyRecord*> SortedPolicies(const RunState& state) {
  std::vector<const PolicyRecord*> sorted;
  sorted.reserve(state.policies.size());
  for (const auto& [key, record] : state.policies) sorted.push_back(&record);
  bool byPrecedence = state.config->sortByPrecedence != 0;
  // Stable, so that records equal in the chosen order keep the policy list's
  // DN order from one run to the next.
  std::stable_sort(
      sorted.begin(), sorted.end(),
      [byPrecedence](const PolicyRecord* a, const PolicyRecord* b) {
        return byPrecedence ? PrecedenceOrder(*a, *b) : DefaultOrder(*a, *b);
      });
  return sorted;
}

std::string PrecedenceField(const PolicyRecord& record) {
  std::string field = "(";
  field += record.PrecedenceText();
  field += ')';
  if (field.size() < kPrecedenceFieldWidth) {
    field.append(kPrecedenceFieldWidth - field.size(), ' ');
  }
  return field;
}

void ShowAppliedMembers(RunState& state, const PolicyRecord& record) {
  std::vector<std::string> lines;
  int status = GetAppliedMembers(*state.mainConnection,
                                 state.serverInfo.defaultNamingContext,
                                 record.dn(), &lines);
  if (status != 0) {
    FailLdapCall(state, "ERROR: ldap_search_s (" + record.dn() + "): ",
                 state.config->host, status);
  }
  PrintLine("    Applied To:");
  if (lines.empty()) PrintLine("      NONE");
  for (const std::string& line : lines) PrintLine("      " + line);
  PrintLine("");
}

}  // namespace

void RunView(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) {
    PrintDebugLine("Operation: View - " +
                   std::to_string(static_cast<int>(config.action)));
  }
  if (state.policies.empty()) {
    PrintLine("");
    PrintLine("No PSO's to display with the specified criteria.");
    PrintLine("");
    return;
  }
  PrintLine("");
  PrintLine("Policy Listing");
  PrintLine("--------------");

  int number = 1;
  for (const PolicyRecord* record : SortedPolicies(state)) {
    if (config.dnWithPrecedence) {
      std::string line = "    ";
      line += PrecedenceField(*record);
      line += record->dn();
      PrintLine(line);
    } else if (config.dnOnly) {
      PrintLine("    " + record->dn());
    } else {
      PrintLine("  Policy #" + std::to_string(number));
      DisplayPolicy(*record, "");
      PrintLine("");
      ++number;
    }
    if (config.action == ActionCode::kApplied)
      ShowAppliedMembers(state, *record);
  }
}

}  // namespace talvex

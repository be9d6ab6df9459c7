// The View section: the selected policies in one of two orders, in full or
// as DNs, and for -applied the objects each PSO applies to.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "operations/actions.h"
#include "operations/applied_members.h"
#include "operations/json_view.h"
#include "operations/run_failure.h"
#include "policy/policy_display.h"
#include "support/output.h"
#include "support/progress_line.h"
#include "support/text_case.h"
#include "support/visible_text.h"

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
  field += SettingText(record, SettingId::kPrecedence);
  field += ')';
  if (field.size() < kPrecedenceFieldWidth) {
    field.append(kPrecedenceFieldWidth - field.size(), ' ');
  }
  return field;
}

// The members of every listed PSO, read with one search when the first of
// them is shown: one subtree search per PSO took minutes over thousands of
// PSOs. A failure names the PSO being shown, as a search of its own would.
class AppliedListing {
 public:
  AppliedListing(RunState& state,
                 const std::vector<const PolicyRecord*>& policies)
      : state_(state) {
    psoDns_.reserve(policies.size());
    for (const PolicyRecord* record : policies) psoDns_.push_back(record->dn());
  }

  void Show(const PolicyRecord& record) {
    if (!read_) Read(record);
    PrintLine("    Applied To:");
    auto it = members_.find(LowerCase(record.dn()));
    if (it == members_.end() || it->second.empty()) {
      PrintLine("      NONE");
    } else {
      for (const std::string& line : it->second)
        PrintLine("      " + VisibleText(line));
      // Shown once; the memory is not needed any more.
      std::vector<std::string>().swap(it->second);
    }
    PrintLine("");
  }

 private:
  void Read(const PolicyRecord& record) {
    read_ = true;
    int status = 0;
    {
      ProgressLine progress("Reading the objects the PSOs apply to...");
      status = GetAppliedMembers(
          *state_.mainConnection, state_.serverInfo.defaultNamingContext,
          psoDns_, &members_,
          [&progress](std::size_t read) { progress.Update(read); });
    }
    std::vector<std::string>().swap(psoDns_);
    if (status != 0) {
      FailLdapCall(state_, "ERROR: ldap_search_s (" + record.dn() + "): ",
                   state_.controllerName, status);
    }
  }

  RunState& state_;
  std::vector<std::string> psoDns_;
  AppliedMembersByPso members_;
  bool read_ = false;
};

}  // namespace

void RunView(RunState& state) {
  const RunConfig& config = *state.config;
  if (Output().debugLevel >= 1) {
    PrintDebugLine("Operation: View - " +
                   std::to_string(static_cast<int>(config.action)));
  }
  if (config.json) {
    PrintViewDocument(state, SortedPolicies(state));
    return;
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

  const std::vector<const PolicyRecord*> sorted = SortedPolicies(state);
  std::optional<AppliedListing> applied;
  if (config.action == ActionCode::kApplied) applied.emplace(state, sorted);
  int number = 1;
  for (const PolicyRecord* record : sorted) {
    if (config.dnWithPrecedence) {
      std::string line = "    ";
      line += PrecedenceField(*record);
      line += VisibleText(record->dn());
      PrintLine(line);
    } else if (config.dnOnly) {
      PrintLine("    " + VisibleText(record->dn()));
    } else {
      PrintLine("  Policy #" + std::to_string(number));
      DisplayPolicy(*record, "");
      PrintLine("");
      ++number;
    }
    if (applied) applied->Show(*record);
  }
  if (!config.dnOnly) WarnUnsetOrInvalidSettings(sorted);
}

}  // namespace talvex

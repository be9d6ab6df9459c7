// What it takes to make a domain match a policy document (-export's
// format): the file's PSOs matched to the domain's, their subjects found,
// and every difference named. Building the plan writes nothing.
#pragma once

#include <string>
#include <vector>

#include "operations/run_state.h"
#include "policy/policy_code.h"
#include "policy/policy_list.h"
#include "policy/policy_record.h"

namespace talvex {

// One PSO of the file and what differs between it and the domain.
struct SyncPso {
  const CodePso* code = nullptr;
  // The domain's PSO it matched (by objectGUID, else by name); null when it
  // is to be created.
  const PolicyRecord* current = nullptr;
  std::string dn;  // the current DN, or the DN it is created at
  // The file's subjects as the domain's DNs, in the file's order.
  std::vector<std::string> subjects;
  bool renamed = false;
  bool displayNameChanged = false;
  std::vector<SettingId> settings;  // precedence included; all for a new PSO
  std::vector<std::string> added;   // subject DNs the PSO does not hold yet
  std::vector<std::string> removed;

  bool HasChanges() const {
    return current == nullptr || renamed || displayNameChanged ||
           !settings.empty() || !added.empty() || !removed.empty();
  }
};

// What becomes of a PSO of the domain that the file does not name.
enum class UnmanagedFate {
  kLeftAlone,   // no -prune
  kDeleted,     // -prune
  kInUse,       // -prune, but it applies to objects and -override was not given
  kProtected,   // -prune, but it is protected from accidental deletion
};

struct UnmanagedPso {
  const PolicyRecord* record = nullptr;
  UnmanagedFate fate = UnmanagedFate::kLeftAlone;
  std::size_t subjectCount = 0;
};

struct SyncPlan {
  std::vector<SyncPso> psos;
  // The domain policy as the domain holds it (null when the file has none)
  // and the settings in which the file differs from it.
  const PolicyRecord* domainPolicy = nullptr;
  std::vector<SettingId> domainSettings;
  std::vector<UnmanagedPso> unmanaged;

  bool HasChanges() const;
};

// Reads what the plan needs beside the policies (objectGUIDs, subjects,
// with -prune the PSOs' protection) and matches the file against the
// domain's policies. A file that cannot be applied as a whole (a subject
// not found or one no PSO can act on, two entries for one PSO, a name that
// would be taken twice) ends the run here, before any write.
SyncPlan PlanSync(RunState& state, const PolicyList& policies);

// The warning blocks of precedences that two PSOs of the resulting set
// share, where at least one of them is the file's.
void WarnSharedPrecedences(const SyncPlan& plan);

}  // namespace talvex

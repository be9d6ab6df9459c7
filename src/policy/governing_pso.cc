#include "policy/governing_pso.h"

#include "directory/distinguished_name.h"
#include "policy/cross_policy_rules.h"

namespace talvex {
namespace {

bool Counts(const PsoLink& link, bool countUniversalGroups) {
  return !link.universalGroup || countUniversalGroups;
}

// The first link of each PSO among those given, in order.
std::vector<const PsoLink*> DistinctPsos(
    const std::vector<const PsoLink*>& links) {
  std::vector<const PsoLink*> distinct;
  for (const PsoLink* link : links) {
    bool seen = false;
    for (const PsoLink* kept : distinct) {
      if (SameDn(kept->psoDn, link->psoDn)) seen = true;
    }
    if (!seen) distinct.push_back(link);
  }
  return distinct;
}

bool Outranks(const PsoLink& a, const PsoLink& b) {
  if (*a.precedence != *b.precedence) return *a.precedence < *b.precedence;
  return LowerGuid(a.guidBytes, b.guidBytes);
}

}  // namespace

GoverningPso DecideGoverningPso(const std::vector<PsoLink>& links,
                                bool countUniversalGroups) {
  std::vector<const PsoLink*> direct, viaGroups, all;
  for (const PsoLink& link : links) {
    if (!Counts(link, countUniversalGroups)) continue;
    (link.groupDn.empty() ? direct : viaGroups).push_back(&link);
    all.push_back(&link);
  }
  GoverningPso answer;
  const std::vector<const PsoLink*> candidates =
      DistinctPsos(direct.empty() ? viaGroups : direct);
  if (!candidates.empty()) {
    answer.reason =
        direct.empty() ? GoverningReason::kGroup : GoverningReason::kDirect;
  }
  const PsoLink* winner = candidates.size() == 1 ? candidates.front() : nullptr;
  if (candidates.size() > 1) {
    bool allReadable = true;
    for (const PsoLink* link : candidates) {
      if (!link->precedence) allReadable = false;
    }
    answer.undetermined = !allReadable;
    if (allReadable) {
      winner = candidates.front();
      for (const PsoLink* link : candidates) {
        if (Outranks(*link, *winner)) winner = link;
      }
      for (const PsoLink* link : candidates) {
        if (link != winner && *link->precedence == *winner->precedence)
          answer.tie = true;
      }
    }
  }
  if (winner != nullptr) {
    answer.psoDn = winner->psoDn;
    answer.groupDn = winner->groupDn;
    answer.throughUniversalGroup = winner->universalGroup;
  }
  for (const PsoLink* link : DistinctPsos(all)) {
    if (winner == nullptr || !SameDn(link->psoDn, winner->psoDn))
      answer.outranked.push_back(link->psoDn);
  }
  return answer;
}

const char* ReasonWord(GoverningReason reason) {
  switch (reason) {
    case GoverningReason::kDirect:
      return "direct";
    case GoverningReason::kGroup:
      return "group";
    case GoverningReason::kDomain:
      return "domain";
  }
  return "domain";
}

}  // namespace talvex

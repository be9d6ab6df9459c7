// Which PSO governs an account, and why: the directory's rule restated so
// that every account of a domain can be answered from a few searches and
// the answer explained (named directly, through which group, outranking
// what, picked by a tie).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace talvex {

// One way a PSO reaches an account.
struct PsoLink {
  std::string psoDn;
  // The group the PSO names and the account belongs to (directly or
  // through nesting); "" when the PSO names the account itself.
  std::string groupDn = {};
  // The group is a universal security group: Windows does not count it,
  // Samba 4.17 does.
  bool universalGroup = false;
  // msDS-PasswordSettingsPrecedence; none when the bind cannot read the
  // PSO.
  std::optional<int> precedence = {};
  // objectGUID as stored (16 bytes), the tie-breaker.
  std::string guidBytes = {};
};

enum class GoverningReason { kDirect, kGroup, kDomain };

struct GoverningPso {
  GoverningReason reason = GoverningReason::kDomain;
  // The winner; "" for the domain policy, and when undetermined.
  std::string psoDn = {};
  // kGroup: the group through which the winner reaches the account.
  std::string groupDn = {};
  bool throughUniversalGroup = false;
  // Another PSO of the deciding kind has the winner's precedence: the
  // lower objectGUID decided.
  bool tie = false;
  // Several PSOs compete and one of them cannot be read, so no winner can
  // be named.
  bool undetermined = false;
  // Every other PSO that reaches the account, once each, in link order.
  std::vector<std::string> outranked = {};
};

// MS-ADTS 3.1.1.4.5.36 (msDS-ResultantPSO): the PSOs that name the account
// itself win over those of its groups whatever their precedence; among the
// PSOs of one kind the lowest precedence wins, a tie going to the lowest
// objectGUID compared byte by byte. Links through universal groups count
// only with countUniversalGroups (Samba's rule).
GoverningPso DecideGoverningPso(const std::vector<PsoLink>& links,
                                bool countUniversalGroups);

// "direct", "group" or "domain".
const char* ReasonWord(GoverningReason reason);

}  // namespace talvex

// The user whose effective policy is asked for, as the directory describes
// it.
#pragma once

#include <string>
#include <vector>

namespace talvex {

struct EffectiveUser {
  std::string dn;
  std::string type;  // the most specific objectClass
  std::string accountName;
  std::string principalName;
  std::string resultantPso;              // msDS-ResultantPSO, "" when none
  std::vector<std::string> appliedPsos;  // msDS-PSOApplied, server order
};

}  // namespace talvex

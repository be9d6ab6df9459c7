// The run's policies: lower-cased DN to record, walked in key order.
#pragma once

#include <map>
#include <string>

#include "policy/policy_record.h"

namespace talvex {

using PolicyList = std::map<std::string, PolicyRecord>;

}  // namespace talvex

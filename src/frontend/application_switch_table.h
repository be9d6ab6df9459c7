// The switches this program declares, in declaration order.
#pragma once

#include "frontend/switch_table.h"

namespace talvex {

const SwitchTable& ApplicationSwitchTable();

}  // namespace talvex

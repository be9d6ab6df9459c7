#include "frontend/switch_table.h"

namespace talvex {

SwitchDeclaration ReadSwitchDeclaration(std::string_view entry) {
  if (!entry.empty() && entry.front() == ':') {
    return {.kind = SwitchKind::kFlag, .name = entry.substr(1)};
  }
  if (!entry.empty() && entry.front() == '^') {
    return {.kind = SwitchKind::kRequiredValue, .name = entry.substr(1)};
  }
  return {.kind = SwitchKind::kValue, .name = entry};
}

}  // namespace talvex

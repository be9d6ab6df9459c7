#include "support/program_info.h"

namespace talvex {

const ProgramInfo& Program() {
  static const ProgramInfo info;
  return info;
}

}  // namespace talvex

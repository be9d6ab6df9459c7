// The locator seam over the Windows domain-controller locator
// (DsGetDcNameW).
#pragma once

#include <memory>

#include "directory/dc_locator.h"

namespace talvex {

std::unique_ptr<DcLocator> MakeDsDcLocator();

}  // namespace talvex

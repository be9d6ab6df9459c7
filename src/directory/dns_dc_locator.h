// The domain-controller locator over DNS SRV records and the CLDAP netlogon
// ping.
#pragma once

#include <memory>

#include "directory/dc_locator.h"

namespace talvex {

std::unique_ptr<DcLocator> MakeDnsDcLocator();

}  // namespace talvex

// Overwriting secrets in a way the compiler may not drop as a dead store.
#pragma once

#include <cstddef>

namespace talvex {

void SecureWipe(void* data, std::size_t size);

}  // namespace talvex

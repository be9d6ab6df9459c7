#include "support/secure_wipe.h"

#include <windows.h>

namespace talvex {

void SecureWipe(void* data, std::size_t size) {
  if (size > 0) SecureZeroMemory(data, size);
}

}  // namespace talvex

#include "support/secure_wipe.h"

#include <string.h>

namespace talvex {

void SecureWipe(void* data, std::size_t size) {
  if (size > 0) explicit_bzero(data, size);
}

}  // namespace talvex

// The operating system's own text for an error code.
#pragma once

#include <string>

namespace talvex {

// The text ends with "\n"; "" when the system has no text for the code.
std::string SystemMessageText(int code);

}  // namespace talvex

#include "support/system_message.h"

#include <string.h>

namespace talvex {
namespace {

// Standard texts of the Windows error codes that the domain-controller
// locator reports, so that a failed locate reads as administrators know it.
struct WindowsErrorText {
  int code;
  const char* text;
};

constexpr WindowsErrorText kWindowsErrors[] = {
    {1004, "Invalid flags."},
    {1212, "The format of the specified domain name is invalid."},
    {1311,
     "There are currently no logon servers available to service the logon "
     "request."},
    {1355,
     "The specified domain either does not exist or could not be contacted."},
    {1722, "The RPC server is unavailable."},
};

}  // namespace

std::string SystemMessageText(int code) {
  for (const auto& entry : kWindowsErrors) {
    if (entry.code == code) return std::string(entry.text) + "\n";
  }
  if (code > 0 && code < 1000) {
    char buffer[256];
    // GNU strerror_r returns the text, which may not be in the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return std::string(text) + "\n";
  }
  return std::string();
}

}  // namespace talvex

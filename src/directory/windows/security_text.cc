// SIDs and security descriptors as the system itself writes them.
#include <windows.h>
#include <sddl.h>

#include <string>

#include "directory/security_text.h"
#include "support/windows/wide_text.h"

namespace talvex {

std::string SidValueText(std::string_view bytes) {
  // The bytes must hold the whole SID that they announce.
  std::string copy(bytes);
  if (copy.size() < 8 ||
      copy.size() < 8 + 4 * static_cast<std::size_t>(
                                static_cast<unsigned char>(copy[1])) ||
      !IsValidSid(copy.data())) {
    return std::string();
  }
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(copy.data(), &text)) return std::string();
  std::string result = Narrow(text);
  LocalFree(text);
  return result;
}

std::string SecurityDescriptorText(std::string_view bytes) {
  std::string copy(bytes);
  if (copy.empty() || !IsValidSecurityDescriptor(copy.data())) {
    return std::string();
  }
  char* text = nullptr;
  ULONG length = 0;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
          copy.data(), SDDL_REVISION_1,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
              DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION,
          &text, &length)) {
    return std::string();
  }
  std::string result(text);
  LocalFree(text);
  return result;
}

}  // namespace talvex

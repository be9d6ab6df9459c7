// The system's conversions and our own encoders (which the Linux build
// uses) give the same text for the same bytes.
#include "directory/security_text.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "directory/binary_value_text.h"
#include "directory/sddl_encoder.h"

namespace talvex {
namespace {

std::string SidBytes(const char* text) {
  PSID sid = nullptr;
  if (!ConvertStringSidToSidA(text, &sid)) return std::string();
  std::string bytes(static_cast<const char*>(sid), GetLengthSid(sid));
  LocalFree(sid);
  return bytes;
}

std::string DescriptorBytes(const char* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ULONG size = 0;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
          sddl, SDDL_REVISION_1, &descriptor, &size)) {
    return std::string();
  }
  std::string bytes(static_cast<const char*>(descriptor), size);
  LocalFree(descriptor);
  return bytes;
}

TEST(SecurityTextTest, SystemAndOwnEncoderAgree) {
  for (const char* sid : {"S-1-5-21-1004336348-1177238915-682003330-512",
                          "S-1-5-32-544", "S-1-1-0", "S-1-5-18"}) {
    std::string bytes = SidBytes(sid);
    ASSERT_FALSE(bytes.empty()) << sid;
    EXPECT_EQ(sid, SidValueText(bytes));
    EXPECT_EQ(SidToText(bytes), SidValueText(bytes)) << sid;
  }
  for (const char* sddl :
       {"O:SYG:SYD:(A;;GA;;;WD)",
        "O:BAG:BAD:P(A;CI;GR;;;AU)(A;;RPWP;;;S-1-5-21-1-2-3-1105)"}) {
    std::string bytes = DescriptorBytes(sddl);
    ASSERT_FALSE(bytes.empty()) << sddl;
    EXPECT_EQ(SecurityDescriptorToSddl(bytes), SecurityDescriptorText(bytes))
        << sddl;
  }
  EXPECT_EQ("", SidValueText("\x01\x05"));
  EXPECT_EQ("", SecurityDescriptorText("x"));
}

}  // namespace
}  // namespace talvex

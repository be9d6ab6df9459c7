// The system's conversions and our own encoders give the same text for the
// SIDs and security descriptors of a real directory. The values come from a
// file named by TALVEX_LAB_SECURITY_VALUES, one a line:
//   sid|sd <hex bytes> <where the value came from>
// (tests/e2e/wine_security_values.sh writes it from the lab).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>

#include "directory/binary_value_text.h"
#include "directory/sddl_encoder.h"
#include "directory/security_text.h"

namespace talvex {
namespace {

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t at = 0; at + 1 < hex.size(); at += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
  }
  return bytes;
}

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr &&
         GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Wine's ConvertSecurityDescriptorToStringSecurityDescriptor (Wine 8) writes
// object ACEs without their type and GUIDs: "(;CIID;RP;;;RU)" where Windows
// writes "(OA;CIID;RP;4c164200-...;bf967aba-...;RU)". Under Wine our text is
// compared in that form, so the rest of every descriptor is still checked.
const std::regex& ObjectAce() {
  static const std::regex objectAce(
      R"(\(O[ADUL];([^;]*);([^;]*);[^;]*;[^;]*;([^)]*)\))");
  return objectAce;
}

TEST(SecurityTextLabTest, SystemAndOwnEncoderAgreeOnLabValues) {
  const char* path = std::getenv("TALVEX_LAB_SECURITY_VALUES");
  if (path == nullptr || *path == '\0') {
    GTEST_SKIP() << "TALVEX_LAB_SECURITY_VALUES names no file of lab values";
  }
  std::ifstream in(path);
  ASSERT_TRUE(in) << "cannot read " << path;
  const bool wine = UnderWine();
  int sids = 0;
  int descriptors = 0;
  long objectAces = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind;
    std::string hex;
    std::string source;
    fields >> kind >> hex;
    std::getline(fields, source);
    std::string bytes = FromHex(hex);
    if (kind == "sid") {
      ++sids;
      std::string text = SidValueText(bytes);
      EXPECT_FALSE(text.empty()) << source;
      EXPECT_EQ(SidToText(bytes), text) << source;
    } else if (kind == "sd") {
      ++descriptors;
      std::string text = SecurityDescriptorText(bytes);
      EXPECT_FALSE(text.empty()) << source;
      std::string ours = SecurityDescriptorToSddl(bytes);
      if (wine) {
        objectAces += std::distance(
            std::sregex_iterator(ours.begin(), ours.end(), ObjectAce()),
            std::sregex_iterator());
        ours = std::regex_replace(ours, ObjectAce(), "(;$1;$2;;;$3)");
      }
      EXPECT_EQ(ours, text) << source;
    } else {
      ADD_FAILURE() << "unknown line: " << line;
    }
  }
  EXPECT_GT(sids, 0);
  EXPECT_GT(descriptors, 0);
  std::cout << sids << " SIDs and " << descriptors
            << " security descriptors compared";
  if (wine) std::cout << " (" << objectAces << " object ACEs in Wine's form)";
  std::cout << "\n";
}

}  // namespace
}  // namespace talvex

#include "directory/value_conversion.h"

#include <gtest/gtest.h>

#include "directory/binary_attribute_tables.h"
#include "directory/binary_value_text.h"

namespace talvex {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

class ValueConversionTest : public ::testing::Test {
 protected:
  void SetUp() override { FillBinaryAttributeTables(); }
};

TEST_F(ValueConversionTest, GuidInRegistryFormat) {
  std::string guid = Bytes({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                            0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
  EXPECT_EQ(std::vector<std::string>{"{33221100-5544-7766-8899-AABBCCDDEEFF}"},
            ConvertAttributeValues("objectGUID", {guid}));
  // Too short for a GUID: shown in hexadecimal, nothing read past the end.
  EXPECT_EQ(std::vector<std::string>{"0011 22 "},
            ConvertAttributeValues("objectGUID", {Bytes({0x00, 0x11, 0x22})}));
}

TEST_F(ValueConversionTest, SidsInStandardForm) {
  std::string sid =
      Bytes({1, 5, 0,    0,    0,    0,    0, 5, 21, 0, 0,    0, 0x39, 0x30,
             0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0,  0, 0xF4, 1, 0,    0});
  EXPECT_EQ(std::vector<std::string>{"S-1-5-21-12345-4294967295-3-500"},
            ConvertAttributeValues("objectSid", {sid}));
  EXPECT_EQ("S-1-1-0", SidToText(Bytes({1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0})));
  // A 48-bit authority is written in hexadecimal, as Windows does.
  EXPECT_EQ("S-1-0x010000000000-7",
            SidToText(Bytes({1, 1, 1, 0, 0, 0, 0, 0, 7, 0, 0, 0})));
  // Truncated or not a SID: empty text.
  EXPECT_EQ("", SidToText(Bytes({1, 2, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0})));
  EXPECT_EQ("", SidToText(Bytes({1})));
}

TEST_F(ValueConversionTest, BinaryAttributesInHexPairs) {
  std::string hours(21, '\xFF');
  EXPECT_EQ(
      std::vector<std::string>{
          "FFFF FFFF FFFF FFFF FFFF FFFF FFFF FFFF FFFF FFFF FF "},
      ConvertAttributeValues("logonHours", {hours}));
  EXPECT_EQ(std::vector<std::string>{"0102 03 "},
            ConvertAttributeValues("userCertificate", {Bytes({1, 2, 3})}));
}

TEST_F(ValueConversionTest, TableLookupIgnoresLetterCaseAndTextPassesThrough) {
  std::string guid(16, '\x01');
  // Attribute names are case-insensitive: a server may spell them its way.
  EXPECT_EQ(ConvertAttributeValues("objectGUID", {guid}),
            ConvertAttributeValues("OBJECTGUID", {guid}));
  EXPECT_NE(std::vector<std::string>{guid},
            ConvertAttributeValues("objectguid", {guid}));
  EXPECT_EQ((std::vector<std::string>{"a", "b"}),
            ConvertAttributeValues("description", {"a", "b"}));
  EXPECT_TRUE(ConvertAttributeValues("objectSid", {}).empty());
  EXPECT_EQ(BinaryKind::kSecurityDescriptor,
            BinaryKindOf("nTSecurityDescriptor"));
  EXPECT_EQ(BinaryKind::kSid, BinaryKindOf("tokenGroups"));
  EXPECT_EQ(BinaryKind::kBinary, BinaryKindOf("x500uniqueIdentifier"));
  EXPECT_EQ(BinaryKind::kGuid, BinaryKindOf("siteGUID"));
}

}  // namespace
}  // namespace talvex

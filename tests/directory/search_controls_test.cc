#include "directory/search_controls.h"

#include <gtest/gtest.h>

#include "output_capture.h"

namespace talvex {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

TEST(SearchControlsTest, BerEncodingsAreExactDer) {
  EXPECT_EQ(Bytes({0x30, 0x03, 0x02, 0x01, 0x05}), EncodeIntegerSequence(5));
  EXPECT_EQ(Bytes({0x30, 0x04, 0x02, 0x02, 0x00, 0x80}),
            EncodeIntegerSequence(128));
  EXPECT_EQ(Bytes({0x30, 0x08, 0x04, 0x06, 'm', 'e', 'm', 'b', 'e', 'r'}),
            EncodeOctetStringSequence("member"));
}

TEST(SearchControlsTest, KeywordsBecomeCriticalControlsInTableOrder) {
  auto controls = SetLDAPControls({{"SHOWDEL", "whatever"}});
  ASSERT_EQ(1u, controls.size());
  EXPECT_EQ("1.2.840.113556.1.4.417", controls[0].oid);
  EXPECT_TRUE(controls[0].critical);
  EXPECT_FALSE(controls[0].hasValue);

  controls = SetLDAPControls({{"SD-OWNER", ""},
                              {"SD-DACL", ""},
                              {"ASQ", "member"},
                              {"PHANTOMROOT", ""},
                              {"EXTNAME", "1"},
                              {"STATS", ""}});
  ASSERT_EQ(5u, controls.size());
  EXPECT_EQ("1.2.840.113556.1.4.970", controls[0].oid);
  EXPECT_EQ("1.2.840.113556.1.4.529", controls[1].oid);
  EXPECT_EQ("1.2.840.113556.1.4.1340", controls[2].oid);
  EXPECT_EQ(Bytes({0x30, 0x03, 0x02, 0x01, 0x02}), controls[2].value);
  EXPECT_EQ("1.2.840.113556.1.4.1504", controls[3].oid);
  EXPECT_EQ(Bytes({0x30, 0x08, 0x04, 0x06, 'm', 'e', 'm', 'b', 'e', 'r'}),
            controls[3].value);
  EXPECT_EQ("1.2.840.113556.1.4.801", controls[4].oid);
  EXPECT_EQ(Bytes({0x30, 0x03, 0x02, 0x01, 0x05}), controls[4].value);
  for (const auto& control : controls) EXPECT_TRUE(control.critical);
}

TEST(SearchControlsTest, SecurityDescriptorFlagsRules) {
  auto controls = SetLDAPControls({{"SD-NOSACL", ""}, {"SD-SACL", ""}});
  ASSERT_EQ(1u, controls.size());
  EXPECT_EQ(Bytes({0x30, 0x03, 0x02, 0x01, 0x07}), controls[0].value);
  controls = SetLDAPControls({{"SD-GROUP", ""}, {"SD-SACL", ""}});
  ASSERT_EQ(1u, controls.size());
  EXPECT_EQ(Bytes({0x30, 0x03, 0x02, 0x01, 0x0A}), controls[0].value);
  EXPECT_TRUE(SetLDAPControls({{"SD-SACL", ""}}).empty());
  EXPECT_TRUE(SetLDAPControls({{"NOSUCH", "x"}}).empty());
  EXPECT_TRUE(SetLDAPControls({}).empty());
}

TEST(SearchControlsTest, DebugLines) {
  ScopedOutputSettings settings(6);
  OutputCapture capture;
  SetLDAPControls({{"SHOWDEL", ""}, {"ASQ", "member"}, {"SD-SACL", ""}});
  capture.Stop();
  EXPECT_EQ(
      "DEBUG: SetLDAPControls\n"
      "DEBUG:      ASQ : member\n"
      "DEBUG:      SD-SACL : \n"
      "DEBUG:      SHOWDEL : \n"
      "DEBUG:   Checking in SHOWDEL\n"
      "DEBUG:   Checking in ASQ\n",
      capture.Stdout());
}

}  // namespace
}  // namespace talvex

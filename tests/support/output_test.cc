#include "support/output.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "captured_text.h"
#include "support/run_exit.h"
#include "support/text_case.h"

namespace talvex {
namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::Gt;
using ::testing::SizeIs;
using ::testing::StartsWith;

TEST(OutputTest, FormatHexBytesWritesPairsThenSingleByte) {
  const unsigned char bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05};
  EXPECT_EQ("0102 0304 05 ", FormatHexBytes(bytes, 5));
  EXPECT_EQ("0102 ", FormatHexBytes(bytes, 2));
  EXPECT_EQ("", FormatHexBytes(bytes, 0));
  const unsigned char high[] = {0xAB, 0xFF, 0x0C};
  EXPECT_EQ("ABFF 0C ", FormatHexBytes(high, 3));
}

TEST(OutputTest, ZeroPadAndFormatBool) {
  EXPECT_EQ("007", ZeroPad("7", 3));
  EXPECT_EQ("1234", ZeroPad("1234", 3));
  EXPECT_EQ("FALSE", FormatBool(false));
  EXPECT_EQ("TRUE", FormatBool(true));
}

// The system's own words differ between systems (Wine's are not Windows'),
// so here only their frame; system_message_test.cc holds the Linux words.
TEST(OutputTest, SystemErrorUsesLocatorTextsAndDefaultPrefix) {
  const std::pair<std::string, int> kCases[] = {{"ERROR: DsGetDcName ", 1355},
                                                {"x", 2}};
  for (const auto& [prefix, code] : kCases) {
    std::string head = prefix + "(" + std::to_string(code) + ") ";
    std::string text = FormatSystemError(prefix, code);
    EXPECT_THAT(text, AllOf(StartsWith(head), EndsWith("\n"),
                            SizeIs(Gt(head.size() + 1))));
    EXPECT_EQ(1, std::count(text.begin(), text.end(), '\n')) << text;
  }
  EXPECT_EQ("ERROR:(99999) Unknown Error\n", FormatSystemError("", 99999));
}

// Standard output to a file or a pipe is gathered; where it meets standard
// error (one terminal, one log) every line keeps its place, and what is
// gathered is out before the run ends.
TEST(OutputTest, StandardOutputKeepsItsPlaceBesideStandardError) {
  EXPECT_RUN_ENDS(
      {
        PrintLine("out 1");
        PrintErrorText("err 2", true);
        PrintDebugLine("out 3");
        PrintText("out 4");
        EndRun(0);
      },
      0, "^out 1\nerr 2\nDEBUG: out 3\nout 4$");
}

TEST(TextCaseTest, FoldsUnicodeLettersNotOnlyAscii) {
  EXPECT_EQ("ärzte-öl", LowerCase("ÄRZTE-Öl"));
  EXPECT_EQ("ÄRZTE", UpperCase("ärzte"));
  EXPECT_EQ("cn=pso1,dc=corp", LowerCase("CN=pso1,DC=Corp"));
  // Invalid UTF-8 passes through unchanged.
  EXPECT_EQ(std::string("a\xff"), LowerCase(std::string("A\xff")));
}

TEST(TextCaseTest, AsciiHelpersLeaveOtherLettersAlone) {
  EXPECT_EQ("corp.example-1.ÄÖ", AsciiLowerCase("CORP.Example-1.ÄÖ"));
  EXPECT_EQ("CORP.EXAMPLE-1.äö", AsciiUpperCase("corp.Example-1.äö"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Corp.Example", "cORP.eXAMPLE"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("Ärzte", "ärzte"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("corp", "corp."));
}

}  // namespace
}  // namespace talvex

// What the code under test wrote, as GoogleTest captures it: a death test's
// standard error and testing::internal::CaptureStdout/CaptureStderr go
// through temporary files, which the Windows output layer fills with
// UTF-16LE and "\r\n" line ends. These compare the text the code was given
// on every platform, and the exit status a run's code becomes.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

#include "output_capture.h"

namespace talvex {

// For EXPECT_EXIT and EXPECT_DEATH: the inner matcher applied to the
// decoded text. A string is a regular expression the text contains, as
// EXPECT_EXIT reads a string.
inline ::testing::Matcher<const std::string&> CapturedText(
    ::testing::Matcher<const std::string&> matcher) {
  return ::testing::ResultOf("text written", &DecodeCapturedOutput,
                             std::move(matcher));
}
inline ::testing::Matcher<const std::string&> CapturedText(const char* regex) {
  return CapturedText(::testing::ContainsRegex(regex));
}
inline ::testing::Matcher<const std::string&> CapturedText(
    const std::string& regex) {
  return CapturedText(::testing::ContainsRegex(regex));
}

// The text written since testing::internal::CaptureStdout/CaptureStderr.
inline std::string CapturedStdoutText() {
  FlushStandardOutput();
  return DecodeCapturedOutput(::testing::internal::GetCapturedStdout());
}
inline std::string CapturedStderrText() {
  FlushStandardOutput();
  return DecodeCapturedOutput(::testing::internal::GetCapturedStderr());
}

}  // namespace talvex

// Runs a statement that ends the run: the process exits with `code` (as
// this platform keeps it), and what it wrote to standard output and
// standard error, in order, matches `matcher` (a string is a regular
// expression). Standard output joins standard error, which the death test
// collects, after what the framework itself buffered is out.
#define EXPECT_RUN_ENDS(statement, code, matcher)                      \
  EXPECT_EXIT(                                                         \
      {                                                                \
        ::talvex::FlushStandardOutput();                               \
        std::fflush(stdout);                                           \
        dup2(STDERR_FILENO, STDOUT_FILENO);                            \
        statement;                                                     \
      },                                                               \
      ::testing::ExitedWithCode(::talvex::ExitStatusOf(code)),         \
      ::talvex::CapturedText(matcher))

#include "support/run_exit.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

// Linux hands the parent only the low 8 bits of the status.
TEST(RunExitTest, FailureCodesNeverEndAsSuccessOnLinux) {
  const struct {
    int code;
    int status;
  } cases[] = {
      {0, 0},       {1, 1},   {32, 32}, {49, 49},  {-1, -1},
      {1355, 1355}, {256, 1}, {512, 1}, {-256, 1}, {0x10000, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.status, ProcessExitStatus(c.code)) << c.code;
  }
  EXPECT_EXIT(EndRun(256), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(EndRun(288), ::testing::ExitedWithCode(32), "");
}

}  // namespace
}  // namespace talvex

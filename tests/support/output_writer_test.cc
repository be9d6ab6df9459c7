#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "support/output.h"

namespace talvex {
namespace {

// The run ignores SIGPIPE for its sockets; a standard output whose reader
// went away (talvex ... | head) still ends the run as the signal does.
TEST(OutputWriterTest, ClosedStandardOutputEndsTheRunAsSigpipe) {
  EXPECT_EXIT(
      {
        signal(SIGPIPE, SIG_IGN);
        int fds[2];
        if (pipe(fds) != 0) std::exit(2);
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        WriteText("line", OutputStream::kStandardOutput, true);
        std::exit(0);
      },
      ::testing::KilledBySignal(SIGPIPE), "");
}

// A run ended by a signal (Ctrl+C, kill) still leaves what it printed.
TEST(OutputWriterTest, SignalEndingTheRunLeavesWhatWasPrinted) {
  EXPECT_EXIT(
      {
        FlushStandardOutput();
        dup2(STDERR_FILENO, STDOUT_FILENO);
        PrintLine("printed");
        raise(SIGTERM);
      },
      ::testing::KilledBySignal(SIGTERM), "^printed\n$");
}

}  // namespace
}  // namespace talvex

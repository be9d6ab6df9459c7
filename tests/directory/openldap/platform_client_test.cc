#include "directory/platform_client.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace talvex {
namespace {

// A write to a socket whose peer has gone (the unbind after a refused
// StartTLS) fails with EPIPE instead of ending the run. In a child, so
// that the disposition does not outlive the test.
TEST(PlatformClientTest, WriteToAClosedSocketDoesNotEndTheRun) {
  EXPECT_EXIT(
      {
        auto client = MakePlatformLdapClient();
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) std::exit(2);
        close(fds[1]);
        bool failed = write(fds[0], "x", 1) < 0 && errno == EPIPE;
        std::exit(failed ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace talvex

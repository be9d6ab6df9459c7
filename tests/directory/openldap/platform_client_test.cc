#include "directory/platform_client.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <netinet/in.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "directory/ldap_client.h"

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

// A server that takes the connection, accepts StartTLS when asked, and then
// never answers the handshake: the handshake is bounded like every other
// step, and the failure says so.
TEST(PlatformClientTest, TlsHandshakeWithoutAnAnswerIsBoundedAndNamed) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), length));
  ASSERT_EQ(0, listen(listener, 4));
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  int port = ntohs(address.sin_port);
  auto serve = [](int peer) {
    char request[512];
    ssize_t got = read(peer, request, sizeof request);
    // The StartTLS request (message 1): a success answer, then silence.
    if (got > 5 && static_cast<unsigned char>(request[5]) == 0x77) {
      const unsigned char accepted[] = {0x30, 0x0c, 0x02, 0x01, 0x01,
                                        0x78, 0x07, 0x0a, 0x01, 0x00,
                                        0x04, 0x00, 0x04, 0x00};
      (void)!write(peer, accepted, sizeof accepted);
    }
    // Silent until the client gives up.
    while (read(peer, request, sizeof request) > 0) {
    }
    close(peer);
  };
  std::thread server([listener, serve] {
    std::vector<std::thread> peers;
    for (int i = 0; i < 2; ++i) {
      pollfd waiting{.fd = listener, .events = POLLIN, .revents = 0};
      if (poll(&waiting, 1, 20000) != 1) break;
      peers.emplace_back(serve, accept(listener, nullptr, nullptr));
    }
    for (std::thread& peer : peers) peer.join();
  });
  // Both at once, so that the test waits out the bound once.
  auto client = MakePlatformLdapClient();
  auto tryTls = [&client, port](LdapTls tls) {
    SCOPED_TRACE(tls == LdapTls::kLdaps ? "LDAPS" : "StartTLS");
    int error = 0;
    auto connection = client->Initialize("127.0.0.1", port, tls, &error);
    ASSERT_NE(connection, nullptr);
    connection->SetOption(LdapOption::kProtocolVersion, 3);
    auto start = std::chrono::steady_clock::now();
    EXPECT_NE(0, connection->EstablishTls());
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::seconds(14));
    EXPECT_EQ(connection->DiagnosticMessage(),
              "no TLS handshake from 127.0.0.1:" + std::to_string(port) +
                  " within 10 seconds");
  };
  std::thread ldaps(tryTls, LdapTls::kLdaps);
  tryTls(LdapTls::kStartTls);
  ldaps.join();
  server.join();
  close(listener);
}

}  // namespace
}  // namespace talvex

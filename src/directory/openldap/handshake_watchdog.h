// A time bound on the TLS handshake, which libldap runs without one.
//
// libldap bounds the TCP connect (LDAP_OPT_NETWORK_TIMEOUT) and each wait
// for a result (LDAP_OPT_TIMEOUT), but runs the handshake in a loop of its
// own: over GnuTLS it retries the reads of a non-blocking socket until data
// comes. A server that takes the connection (or accepts StartTLS) and then
// stays silent would hold the run for good, spinning. The watchdog shuts the
// socket down once the bound has passed, which ends the handshake at once
// with a failure.
#pragma once

#include <ldap.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace talvex {

// The socket a handle has connected, as libldap tells a connect callback.
class ConnectedSocket {
 public:
  ConnectedSocket() = default;
  ConnectedSocket(const ConnectedSocket&) = delete;
  ConnectedSocket& operator=(const ConnectedSocket&) = delete;

  // Registers the callback on ld. libldap keeps the pointer and calls it
  // again when the handle is unbound: this object must outlive the handle.
  int Register(LDAP* ld);
  int fd() const { return fd_.load(); }

 private:
  static int OnConnect(LDAP* ld, Sockbuf* sb, LDAPURLDesc* srv, sockaddr* addr,
                       ldap_conncb* ctx);
  static void OnDisconnect(LDAP* ld, Sockbuf* sb, ldap_conncb* ctx);

  ldap_conncb callback_{};
  std::atomic<int> fd_{-1};
};

// Shuts the socket down for reading and writing when `bound` has passed
// before the watchdog is destroyed.
class HandshakeWatchdog {
 public:
  HandshakeWatchdog(const ConnectedSocket& socket, std::chrono::seconds bound);
  ~HandshakeWatchdog();
  HandshakeWatchdog(const HandshakeWatchdog&) = delete;
  HandshakeWatchdog& operator=(const HandshakeWatchdog&) = delete;

  // Whether the bound ran out and the socket was shut down.
  bool Fired() const { return fired_.load(); }

 private:
  std::mutex mutex_;
  std::condition_variable dismissed_;
  bool done_ = false;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

}  // namespace talvex

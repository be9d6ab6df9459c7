#include "directory/openldap/handshake_watchdog.h"

#include <sys/socket.h>

namespace talvex {

int ConnectedSocket::Register(LDAP* ld) {
  callback_ = ldap_conncb{
      .lc_add = OnConnect, .lc_del = OnDisconnect, .lc_arg = this};
  return ldap_set_option(ld, LDAP_OPT_CONNECT_CB, &callback_);
}

int ConnectedSocket::OnConnect(LDAP*, Sockbuf* sb, LDAPURLDesc*, sockaddr*,
                               ldap_conncb* ctx) {
  ber_socket_t fd = -1;
  if (ber_sockbuf_ctrl(sb, LBER_SB_OPT_GET_FD, &fd) == 1) {
    static_cast<ConnectedSocket*>(ctx->lc_arg)->fd_.store(fd);
  }
  return 0;
}

void ConnectedSocket::OnDisconnect(LDAP*, Sockbuf*, ldap_conncb* ctx) {
  static_cast<ConnectedSocket*>(ctx->lc_arg)->fd_.store(-1);
}

HandshakeWatchdog::HandshakeWatchdog(const ConnectedSocket& socket,
                                     std::chrono::seconds bound)
    : thread_([this, &socket, bound] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (dismissed_.wait_for(lock, bound, [this] { return done_; }))
          return;
        int fd = socket.fd();
        if (fd >= 0) {
          fired_.store(true);
          shutdown(fd, SHUT_RDWR);
        }
      }) {}

HandshakeWatchdog::~HandshakeWatchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  dismissed_.notify_one();
  thread_.join();
}

}  // namespace talvex

#include "directory/openldap/cldap_ping.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <random>
#include <vector>

#include "directory/openldap/ldap_handles.h"
#include "support/text_case.h"

namespace talvex {

namespace {

// The ping goes to the controller's LDAP port over UDP whatever port its
// SRV record names (3268 for a global catalog).
constexpr char kCldapPort[] = "389";
// UDP may lose the request or the answer: send again if nothing came back
// this soon (Windows waits 0.4 s on its first tries, too).
constexpr std::chrono::milliseconds kResendInterval{400};
constexpr std::size_t kMaxDatagram = 65536;

struct AddressInfoDeleter {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};
using AddressInfoPtr = std::unique_ptr<addrinfo, AddressInfoDeleter>;

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::int32_t NewMessageId() {
  static std::mt19937 generator{std::random_device{}()};
  return std::uniform_int_distribution<std::int32_t>{1, 0x7FFFFFFF}(generator);
}

// The numeric text of an address ("10.0.0.1", "fe80::1").
std::string NumericAddress(const sockaddr* address, socklen_t length) {
  char text[NI_MAXHOST] = {};
  if (getnameinfo(address, length, text, sizeof text, nullptr, 0,
                  NI_NUMERICHOST) != 0) {
    return std::string();
  }
  return text;
}

// One request/answer exchange with one address, until the deadline. A
// connected socket only receives datagrams from that address, so whatever
// arrives that is not a decodable answer to this ping came from the pinged
// host itself: it is remembered as a malformed answer, while the wait goes on
// for a good one (a resent request may still bring it).
PingOutcome ExchangeWith(const addrinfo& address, std::string_view dnsDomain,
                         std::chrono::steady_clock::time_point deadline,
                         NetlogonResponse* response) {
  Socket socket_fd(socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC,
                          address.ai_protocol));
  if (socket_fd.get() < 0) return PingOutcome::kNoAnswer;
  // An ICMP port-unreachable also ends the wait at once.
  if (connect(socket_fd.get(), address.ai_addr, address.ai_addrlen) != 0)
    return PingOutcome::kNoAnswer;
  std::int32_t messageId = NewMessageId();
  std::string request = EncodeNetlogonPingRequest(messageId, dnsDomain);
  std::vector<char> buffer(kMaxDatagram);
  PingOutcome outcome = PingOutcome::kNoAnswer;
  auto nextSend = std::chrono::steady_clock::now();
  for (;;) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return outcome;
    if (now >= nextSend) {
      if (send(socket_fd.get(), request.data(), request.size(), 0) < 0)
        return outcome;
      nextSend = now + kResendInterval;
    }
    auto wait = std::min(deadline, nextSend) - now;
    pollfd poller{.fd = socket_fd.get(), .events = POLLIN, .revents = 0};
    int ready =
        poll(&poller, 1,
             static_cast<int>(
                 std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
    if (ready < 0 && errno != EINTR) return outcome;
    if (ready <= 0) continue;
    ssize_t received = recv(socket_fd.get(), buffer.data(), buffer.size(), 0);
    if (received < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return outcome;  // refused: nothing listens there
    }
    std::string netlogon;
    if (DecodeNetlogonPingReply(
            std::string_view(buffer.data(), static_cast<std::size_t>(received)),
            messageId, &netlogon) &&
        DecodeNetlogonResponse(netlogon, response)) {
      return PingOutcome::kAnswered;
    }
    outcome = PingOutcome::kMalformed;
  }
}

}  // namespace

std::string EncodeNetlogonPingRequest(std::int32_t messageId,
                                      std::string_view dnsDomain) {
  OwningBerElementPtr ber(ber_alloc_t(LBER_USE_DER));
  if (ber == nullptr) return "";
  // LDAPMessage { messageID, searchRequest { baseObject "", scope base,
  // derefAliases never, sizeLimit 0, timeLimit 0, typesOnly FALSE,
  // filter (&(DnsDomain=...)(NtVer=...)), attributes { "Netlogon" } } }
  bool ok =
      ber_printf(ber.get(), "{it{seeiib", static_cast<ber_int_t>(messageId),
                 LDAP_REQ_SEARCH, "", static_cast<ber_int_t>(LDAP_SCOPE_BASE),
                 static_cast<ber_int_t>(LDAP_DEREF_NEVER), 0, 0, 0) != -1;
  ok = ok && ber_printf(ber.get(), "t{", LDAP_FILTER_AND) != -1;
  if (ok && !dnsDomain.empty()) {
    std::string domain(dnsDomain);
    ok = ber_printf(ber.get(), "t{so}", LDAP_FILTER_EQUALITY, "DnsDomain",
                    domain.data(), static_cast<ber_len_t>(domain.size())) != -1;
  }
  // NtVer is a little-endian 32-bit number sent as four raw bytes.
  const char version[4] = {
      static_cast<char>(kNetlogonPingNtVersion & 0xFF),
      static_cast<char>(kNetlogonPingNtVersion >> 8 & 0xFF),
      static_cast<char>(kNetlogonPingNtVersion >> 16 & 0xFF),
      static_cast<char>(kNetlogonPingNtVersion >> 24 & 0xFF)};
  ok = ok && ber_printf(ber.get(), "t{so}", LDAP_FILTER_EQUALITY, "NtVer",
                        version, static_cast<ber_len_t>(sizeof version)) != -1;
  ok = ok && ber_printf(ber.get(), "}{s}}}", "Netlogon") != -1;
  if (!ok) return "";
  berval* raw = nullptr;
  if (ber_flatten(ber.get(), &raw) != 0) return "";
  BervalPtr flat(raw);
  return std::string(flat->bv_val, flat->bv_len);
}

bool DecodeNetlogonPingReply(std::string_view datagram, std::int32_t messageId,
                             std::string* netlogon) {
  // liblber reads through a null buffer when handed no bytes at all.
  if (datagram.empty()) return false;
  berval input{.bv_len = datagram.size(),
               .bv_val = const_cast<char*>(datagram.data())};
  // ber_init copies the bytes into a buffer the element owns.
  OwningBerElementPtr ber(ber_init(&input));
  if (ber == nullptr) return false;
  ber_int_t id = 0;
  ber_len_t length = 0;
  if (ber_scanf(ber.get(), "{i", &id) == LBER_ERROR || id != messageId)
    return false;
  if (ber_peek_tag(ber.get(), &length) != LDAP_RES_SEARCH_ENTRY) return false;
  berval dn{0, nullptr};
  if (ber_scanf(ber.get(), "{m{", &dn) == LBER_ERROR) return false;
  // PartialAttributeList: one sequence { type, SET OF value } per attribute.
  ber_tag_t tag;
  while ((tag = ber_peek_tag(ber.get(), &length)) == LBER_SEQUENCE) {
    berval type{0, nullptr};
    BerVarray rawValues = nullptr;
    if (ber_scanf(ber.get(), "{mW}", &type, &rawValues) == LBER_ERROR)
      return false;
    BerVarrayPtr values(rawValues);
    if (EqualsIgnoringAsciiCase(std::string_view(type.bv_val, type.bv_len),
                           "Netlogon") &&
        values != nullptr && values.get()[0].bv_val != nullptr) {
      netlogon->assign(values.get()[0].bv_val, values.get()[0].bv_len);
      return true;
    }
  }
  return false;
}

PingOutcome PingDomainController(const std::string& host,
                                 std::string_view dnsDomain,
                                 std::chrono::milliseconds timeout,
                                 NetlogonResponse* response,
                                 std::string* responder) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* raw = nullptr;
  if (getaddrinfo(host.c_str(), kCldapPort, &hints, &raw) != 0)
    return PingOutcome::kNoAnswer;
  AddressInfoPtr addresses(raw);
  std::vector<const addrinfo*> list;
  for (const addrinfo* address = addresses.get(); address != nullptr;
       address = address->ai_next) {
    list.push_back(address);
  }
  PingOutcome outcome = PingOutcome::kNoAnswer;
  // Each address gets an equal share of what is left, so one silent address
  // does not use up the time of the others.
  for (std::size_t i = 0; i < list.size(); ++i) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    auto share = (deadline - now) / static_cast<long>(list.size() - i);
    PingOutcome one = ExchangeWith(*list[i], dnsDomain, now + share, response);
    if (one == PingOutcome::kAnswered) {
      *responder = NumericAddress(list[i]->ai_addr, list[i]->ai_addrlen);
      return one;
    }
    if (one == PingOutcome::kMalformed) outcome = one;
  }
  return outcome;
}

std::vector<std::string> ResolveHostAddresses(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* raw = nullptr;
  std::vector<std::string> result;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &raw) != 0) return result;
  AddressInfoPtr addresses(raw);
  for (const addrinfo* address = addresses.get(); address != nullptr;
       address = address->ai_next) {
    std::string text = NumericAddress(address->ai_addr, address->ai_addrlen);
    if (!text.empty() &&
        std::find(result.begin(), result.end(), text) == result.end()) {
      result.push_back(text);
    }
  }
  return result;
}

}  // namespace talvex

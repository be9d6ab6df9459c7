// The netlogon ping over connectionless LDAP ([MS-ADTS] 6.3.3): an LDAP
// search of the RootDSE for the "Netlogon" attribute, sent to UDP port 389.
// libldap has no connectionless transport, so the datagram is encoded with
// liblber and exchanged here.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "directory/openldap/netlogon_response.h"

namespace talvex {

// NtVer 0x00000006 (NETLOGON_NT_VERSION_5 | NETLOGON_NT_VERSION_5EX) asks
// for the extended answer with DNS names and site names.
constexpr std::uint32_t kNetlogonPingNtVersion = 0x6;

// The request datagram. dnsDomain empty: the filter holds NtVer only and
// the controller answers for the domain it serves.
std::string EncodeNetlogonPingRequest(std::int32_t messageId,
                                      std::string_view dnsDomain);

// The "Netlogon" value from a reply datagram (a search entry, normally
// followed by the search-done message). False when the datagram is not a
// search entry answering messageId or carries no such value.
bool DecodeNetlogonPingReply(std::string_view datagram, std::int32_t messageId,
                             std::string* netlogon);

// What came back from a ping.
enum class PingOutcome {
  kAnswered,   // a netlogon answer that decodes
  kNoAnswer,   // nothing (or nothing addressed to this ping) before timeout
  kMalformed,  // an answer to this ping that does not decode
};

// Pings host (a DNS name or address) and decodes its answer. Gives up after
// timeout over all of the host's addresses. *responder: the numeric address
// that answered, so that the caller can hold the answer's own host name
// against it.
PingOutcome PingDomainController(const std::string& host,
                                 std::string_view dnsDomain,
                                 std::chrono::milliseconds timeout,
                                 NetlogonResponse* response,
                                 std::string* responder);

// The numeric addresses that name resolves to ("" entries never).
std::vector<std::string> ResolveHostAddresses(const std::string& name);

}  // namespace talvex

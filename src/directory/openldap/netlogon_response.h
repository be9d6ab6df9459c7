// The answer of a domain controller to a netlogon ping: the
// NETLOGON_SAM_LOGON_RESPONSE_EX structure ([MS-ADTS] 6.3.1.9) carried in
// the "netlogon" attribute of the CLDAP reply.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvex {

// DS_FLAG bits of the answer ([MS-ADTS] 6.3.1.2).
namespace netlogon_flags {
constexpr std::uint32_t kPdc = 0x1;
constexpr std::uint32_t kGlobalCatalog = 0x4;
constexpr std::uint32_t kLdap = 0x8;
constexpr std::uint32_t kDirectoryService = 0x10;
constexpr std::uint32_t kKdc = 0x20;
constexpr std::uint32_t kTimeServer = 0x40;
constexpr std::uint32_t kClosest = 0x80;  // in the client's site
constexpr std::uint32_t kWritable = 0x100;
}  // namespace netlogon_flags

// Opcodes of the extended answer: the account named in the ping exists, or
// it does not (no account is named in ours, so 23 is what comes back).
constexpr std::uint16_t kLogonSamLogonResponseEx = 23;
constexpr std::uint16_t kLogonSamUserUnknownEx = 25;

struct NetlogonResponse {
  std::uint16_t opcode = 0;
  std::uint32_t flags = 0;
  std::array<std::uint8_t, 16> domainGuid{};
  std::string dnsForestName;
  std::string dnsDomainName;
  std::string dnsHostName;
  std::string netbiosDomainName;
  std::string netbiosComputerName;
  std::string userName;
  std::string dcSiteName;
  std::string clientSiteName;
  std::uint32_t ntVersion = 0;
};

// Decodes the blob. Names are DNS-encoded with RFC 1035 compression whose
// pointers are offsets from the start of the blob. Returns false for a blob
// that is not an extended answer or does not hold together (short, a name
// running past the end, a pointer loop).
bool DecodeNetlogonResponse(std::string_view blob, NetlogonResponse* response);

}  // namespace talvex

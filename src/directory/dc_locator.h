// The domain-controller locator seam: DNS SRV records plus the CLDAP
// netlogon ping on Linux, an in-process fake in the tests.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

// Locator flags, with the values of the Windows locator that callers pass.
namespace locator_flags {
constexpr std::uint32_t kDirectoryServiceRequired = 0x10;
constexpr std::uint32_t kGcServerRequired = 0x40;
constexpr std::uint32_t kWritableRequired = 0x1000;
constexpr std::uint32_t kIsFlatName = 0x10000;
constexpr std::uint32_t kIsDnsName = 0x20000;
}  // namespace locator_flags

// Windows-style error codes that a failed locate returns.
namespace locator_error {
constexpr int kInvalidFlags = 1004;
constexpr int kInvalidDomainName = 1212;
constexpr int kNoSuchDomain = 1355;
// The computer the locate was to run on does not answer.
constexpr int kComputerUnavailable = 1722;  // RPC_S_SERVER_UNAVAILABLE
}  // namespace locator_error

struct DomainControllerInfo {
  std::string name;            // DNS name of the controller
  std::string dcSiteName;      // the controller's site
  std::string clientSiteName;  // the site of the asking client
  // On a failed locate: what went wrong, in words, where the code alone
  // would mislead (an answer naming another host, a malformed answer).
  std::string problem;
};

class DcLocator {
 public:
  virtual ~DcLocator() = default;
  // computer: where the lookup runs ("" = this machine); domain: DNS or
  // flat name ("" = this machine's domain). Returns 0 or a Windows-style
  // error code.
  virtual int Locate(const std::string& computer, const std::string& domain,
                     std::uint32_t flags, DomainControllerInfo* info) = 0;
};

}  // namespace talvex

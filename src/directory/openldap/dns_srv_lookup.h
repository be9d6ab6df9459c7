// DNS SRV lookups through the system resolver (libresolv), and the
// resolver's search domains.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace talvex {

struct SrvRecord {
  std::uint16_t priority = 0;
  std::uint16_t weight = 0;
  std::uint16_t port = 0;
  std::string target;  // without a trailing dot
};

enum class SrvLookupStatus {
  kFound,
  kNotFound,  // the name or its SRV records do not exist
  kFailed,    // no usable answer (server failure, time-out)
};

// The SRV records of name in the order they are to be tried.
SrvLookupStatus LookupSrvRecords(const std::string& name,
                                 std::vector<SrvRecord>* records);

// The SRV records in a DNS answer message; false for a malformed message.
// A target of "." (the service is decidedly not there) is left out.
bool ParseSrvAnswer(const unsigned char* message, int length,
                    std::vector<SrvRecord>* records);

// RFC 2782 order: lowest priority first; within one priority a random order
// in which each record's chance to come next is in proportion to its weight
// (weight 0 records have a small chance).
void OrderSrvRecords(std::vector<SrvRecord>* records, std::mt19937* generator);

// The resolver's search list (resolv.conf "search" or "domain"), in order.
std::vector<std::string> ResolverSearchDomains();

}  // namespace talvex

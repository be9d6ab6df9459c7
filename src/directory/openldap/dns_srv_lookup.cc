#include "directory/openldap/dns_srv_lookup.h"

#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>

#include <algorithm>
#include <cstring>

namespace talvex {

namespace {

// A resolver state of our own (res_n* calls), so nothing touches the
// process-wide one.
class ResolverState {
 public:
  ResolverState() {
    std::memset(&state_, 0, sizeof state_);
    ready_ = res_ninit(&state_) == 0;
  }
  ~ResolverState() { res_nclose(&state_); }
  ResolverState(const ResolverState&) = delete;
  ResolverState& operator=(const ResolverState&) = delete;

  bool ready() const { return ready_; }
  res_state get() { return &state_; }

 private:
  struct __res_state state_;
  bool ready_ = false;
};

std::string WithoutTrailingDot(std::string name) {
  if (!name.empty() && name.back() == '.') name.pop_back();
  return name;
}

}  // namespace

bool ParseSrvAnswer(const unsigned char* message, int length,
                    std::vector<SrvRecord>* records) {
  ns_msg handle;
  if (ns_initparse(message, length, &handle) != 0) return false;
  int count = ns_msg_count(handle, ns_s_an);
  for (int i = 0; i < count; ++i) {
    ns_rr record;
    if (ns_parserr(&handle, ns_s_an, i, &record) != 0) return false;
    if (ns_rr_type(record) != ns_t_srv || ns_rr_class(record) != ns_c_in)
      continue;
    const unsigned char* data = ns_rr_rdata(record);
    if (ns_rr_rdlen(record) < 7) return false;
    SrvRecord srv;
    srv.priority = static_cast<std::uint16_t>(ns_get16(data));
    srv.weight = static_cast<std::uint16_t>(ns_get16(data + 2));
    srv.port = static_cast<std::uint16_t>(ns_get16(data + 4));
    char target[NS_MAXDNAME];
    // The target may use compression pointers into the whole message.
    if (dn_expand(ns_msg_base(handle), ns_msg_end(handle), data + 6, target,
                  sizeof target) < 0) {
      return false;
    }
    srv.target = WithoutTrailingDot(target);
    if (srv.target.empty()) continue;
    records->push_back(std::move(srv));
  }
  return true;
}

void OrderSrvRecords(std::vector<SrvRecord>* records, std::mt19937* generator) {
  std::stable_sort(records->begin(), records->end(),
                   [](const SrvRecord& a, const SrvRecord& b) {
                     return a.priority < b.priority;
                   });
  for (auto group = records->begin(); group != records->end();) {
    auto groupEnd = std::find_if(
        group, records->end(),
        [&](const SrvRecord& r) { return r.priority != group->priority; });
    // RFC 2782: pick by running sum of weights among those not yet placed.
    // Weight 0 counts as a small weight so those records still get a turn
    // before the end, which the RFC leaves open.
    for (auto next = group; next != groupEnd; ++next) {
      std::uint64_t total = 0;
      for (auto it = next; it != groupEnd; ++it)
        total += it->weight * 100ull + 1;
      std::uint64_t pick = std::uniform_int_distribution<std::uint64_t>{
          0, total - 1}(*generator);
      auto chosen = next;
      for (std::uint64_t sum = 0; chosen != groupEnd; ++chosen) {
        sum += chosen->weight * 100ull + 1;
        if (pick < sum) break;
      }
      std::rotate(next, chosen, chosen + 1);
    }
    group = groupEnd;
  }
}

SrvLookupStatus LookupSrvRecords(const std::string& name,
                                 std::vector<SrvRecord>* records) {
  records->clear();
  ResolverState resolver;
  if (!resolver.ready()) return SrvLookupStatus::kFailed;
  std::vector<unsigned char> answer(65536);
  int length = res_nquery(resolver.get(), name.c_str(), ns_c_in, ns_t_srv,
                          answer.data(), static_cast<int>(answer.size()));
  if (length < 0) {
    int error = resolver.get()->res_h_errno;
    return error == HOST_NOT_FOUND || error == NO_DATA
               ? SrvLookupStatus::kNotFound
               : SrvLookupStatus::kFailed;
  }
  if (!ParseSrvAnswer(answer.data(), length, records)) {
    records->clear();
    return SrvLookupStatus::kFailed;
  }
  if (records->empty()) return SrvLookupStatus::kNotFound;
  static std::mt19937 generator{std::random_device{}()};
  OrderSrvRecords(records, &generator);
  return SrvLookupStatus::kFound;
}

std::vector<std::string> ResolverSearchDomains() {
  std::vector<std::string> domains;
  ResolverState resolver;
  if (!resolver.ready()) return domains;
  for (int i = 0; i < MAXDNSRCH && resolver.get()->dnsrch[i] != nullptr; ++i) {
    std::string domain = WithoutTrailingDot(resolver.get()->dnsrch[i]);
    if (!domain.empty() &&
        std::find(domains.begin(), domains.end(), domain) == domains.end()) {
      domains.push_back(domain);
    }
  }
  if (domains.empty() && resolver.get()->defdname[0] != '\0') {
    domains.push_back(WithoutTrailingDot(resolver.get()->defdname));
  }
  return domains;
}

}  // namespace talvex

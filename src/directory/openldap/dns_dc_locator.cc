#include "directory/openldap/dns_dc_locator.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "directory/openldap/cldap_ping.h"
#include "directory/openldap/krb5_default_realm.h"
#include "support/text_case.h"

namespace talvex {

namespace {

// One candidate gets this long to answer the ping; the number of pings of
// one locate is capped, so a domain full of dead controllers still ends
// within about ten seconds.
constexpr std::chrono::milliseconds kPingTimeout{1000};
constexpr int kMaxPingsPerLocate = 10;

constexpr std::size_t kMaxDnsNameLength = 255;
constexpr std::size_t kMaxDnsLabelLength = 63;
constexpr std::size_t kMaxFlatNameLength = 15;

bool ValidDnsName(const std::string& name) {
  if (name.size() > kMaxDnsNameLength) return false;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = name.find('.', start);
    std::string label =
        name.substr(start, end == std::string::npos ? end : end - start);
    if (label.empty() || label.size() > kMaxDnsLabelLength) return false;
    for (unsigned char c : label) {
      if (!std::isalnum(c) && c != '-' && c != '_') return false;
    }
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

// NetBIOS domain names: up to 15 characters, none of those Windows forbids.
bool ValidFlatName(const std::string& name) {
  if (name.size() > kMaxFlatNameLength) return false;
  return std::none_of(name.begin(), name.end(), [](unsigned char c) {
    return c < 0x20 ||
           std::string_view("\\/:*?\"<>|.").find(static_cast<char>(c)) !=
               std::string_view::npos;
  });
}

std::string FirstLabel(const std::string& name) {
  return name.substr(0, name.find('.'));
}

struct LocateRequest {
  std::string domain;  // as asked ("" = this machine's domain)
  bool flat = false;
  bool globalCatalog = false;
  std::uint32_t requiredFlags = 0;  // DS_FLAG bits the answer must carry
};

class DnsDcLocator final : public DcLocator {
 public:
  explicit DnsDcLocator(std::unique_ptr<LocatorNetwork> network)
      : network_(std::move(network)) {}

  int Locate(const std::string& computer, const std::string& domain,
             std::uint32_t flags, DomainControllerInfo* info) override;

 private:
  bool Ping(const std::string& host, const std::string& dnsDomain,
            NetlogonResponse* response, std::string* responder);
  // Whether the host name the answer gives resolves to the address that
  // answered; when not, the locate is refused with *problem_ saying why.
  bool NamesThePingedHost(const std::string& host,
                          const NetlogonResponse& response,
                          const std::string& responder);
  // Ends a locate that found nothing usable: the code, and the problem that
  // the code alone would not tell.
  int Failure(int code, DomainControllerInfo* info) const;
  // Whether the answer comes from a controller of the domain asked for,
  // with every capability asked for. domainName: DNS name, or the flat
  // name when the request gave one ("" = any domain).
  bool Suitable(const NetlogonResponse& response, const LocateRequest& request,
                const std::string& domainName) const;
  // DNS names of the domain to try, in order.
  std::vector<std::string> CandidateDomains(const LocateRequest& request);
  bool LocateInDomain(const std::string& dnsDomain,
                      const LocateRequest& request, DomainControllerInfo* info);
  // Pings the records of one SRV name in order; the first suitable answer.
  bool PingCandidates(const std::string& srvName, const std::string& dnsDomain,
                      const LocateRequest& request, const std::string& skipHost,
                      NetlogonResponse* response, std::string* host);

  std::unique_ptr<LocatorNetwork> network_;
  int pingsLeft_ = 0;
  // State of the current locate.
  bool refused_ = false;
  std::string problem_;
  std::string malformedHost_;  // the first host whose answer did not decode
};

std::string_view WithoutTrailingDot(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  return name;
}

bool DnsDcLocator::Ping(const std::string& host, const std::string& dnsDomain,
                        NetlogonResponse* response, std::string* responder) {
  if (pingsLeft_ <= 0) return false;
  --pingsLeft_;
  PingOutcome outcome = network_->Ping(host, dnsDomain, response, responder);
  if (outcome == PingOutcome::kMalformed && malformedHost_.empty())
    malformedHost_ = host;
  return outcome == PingOutcome::kAnswered;
}

// The ping is unauthenticated UDP: anything on the path can answer it. The
// run binds to the name the answer gives (that name is also what the
// server's certificate is checked against), so an answer naming another
// host would send the credentials to a server nobody chose. The name is
// taken only when it leads back to the address that answered.
bool DnsDcLocator::NamesThePingedHost(const std::string& host,
                                      const NetlogonResponse& response,
                                      const std::string& responder) {
  if (response.dnsHostName.empty()) return true;
  // The answer names the very host that was pinged: its address came from
  // that name, so asking DNS again (a round trip over a slow link) would
  // only repeat the answer.
  if (EqualsIgnoringAsciiCase(WithoutTrailingDot(response.dnsHostName),
                              WithoutTrailingDot(host))) {
    return true;
  }
  std::vector<std::string> addresses =
      network_->ResolveAddresses(response.dnsHostName);
  if (std::find(addresses.begin(), addresses.end(), responder) !=
      addresses.end()) {
    return true;
  }
  std::string where = responder.empty() || responder == host
                          ? host
                          : responder + " (" + host + ")";
  std::string resolved;
  for (const std::string& address : addresses)
    resolved += (resolved.empty() ? "" : ", ") + address;
  problem_ = "The controller at " + where + " answered the locator ping as " +
             response.dnsHostName + ", which " +
             (resolved.empty() ? "does not resolve"
                               : "resolves to " + resolved) +
             "; nothing was sent to either.";
  refused_ = true;
  return false;
}

int DnsDcLocator::Failure(int code, DomainControllerInfo* info) const {
  *info = {};
  if (refused_) {
    info->problem = problem_;
    return locator_error::kNoSuchDomain;
  }
  if (!malformedHost_.empty()) {
    info->problem =
        "The answer of " + malformedHost_ + " to the locator ping was malformed.";
  }
  return code;
}

bool DnsDcLocator::Suitable(const NetlogonResponse& response,
                            const LocateRequest& request,
                            const std::string& domainName) const {
  if ((response.flags & request.requiredFlags) != request.requiredFlags)
    return false;
  if (domainName.empty()) return true;
  if (request.flat)
    return EqualsIgnoringAsciiCase(response.netbiosDomainName, domainName);
  if (EqualsIgnoringAsciiCase(response.dnsDomainName, domainName)) return true;
  // A global catalog serves the whole forest: it is asked for by the
  // forest's name.
  return request.globalCatalog &&
         EqualsIgnoringAsciiCase(response.dnsForestName, domainName);
}

std::vector<std::string> DnsDcLocator::CandidateDomains(
    const LocateRequest& request) {
  if (!request.domain.empty() && !request.flat) return {request.domain};
  std::vector<std::string> candidates;
  auto add = [&](const std::string& name) {
    std::string lower = AsciiLowerCase(name);
    if (!lower.empty() && std::find(candidates.begin(), candidates.end(),
                                    lower) == candidates.end()) {
      candidates.push_back(lower);
    }
  };
  // This machine's own domain: the Kerberos default realm says which domain
  // it belongs to; without one, the resolver's search domain.
  std::string realm = network_->KerberosDefaultRealm();
  if (request.domain.empty()) {
    if (!realm.empty()) {
      add(realm);
    } else {
      for (const std::string& name : network_->SearchDomains()) add(name);
    }
    return candidates;
  }
  // A flat (NetBIOS) name has no DNS records of its own. The domains this
  // machine knows of are tried, those whose first label is the flat name
  // first; a controller counts only if its answer names that NetBIOS
  // domain.
  add(realm);
  for (const std::string& name : network_->SearchDomains()) add(name);
  std::stable_partition(
      candidates.begin(), candidates.end(), [&](const std::string& name) {
        return EqualsIgnoringAsciiCase(FirstLabel(name), request.domain);
      });
  return candidates;
}

bool DnsDcLocator::PingCandidates(const std::string& srvName,
                                  const std::string& dnsDomain,
                                  const LocateRequest& request,
                                  const std::string& skipHost,
                                  NetlogonResponse* response,
                                  std::string* host) {
  std::vector<SrvRecord> records;
  if (network_->LookupSrv(srvName, &records) != SrvLookupStatus::kFound)
    return false;
  const std::string& wanted = request.flat ? request.domain : dnsDomain;
  for (const SrvRecord& record : records) {
    if (!skipHost.empty() && EqualsIgnoringAsciiCase(record.target, skipHost))
      continue;
    if (pingsLeft_ <= 0) return false;
    NetlogonResponse answer;
    std::string responder;
    if (Ping(record.target, dnsDomain, &answer, &responder) &&
        Suitable(answer, request, wanted)) {
      if (!NamesThePingedHost(record.target, answer, responder)) return false;
      *response = std::move(answer);
      *host = record.target;
      return true;
    }
  }
  return false;
}

bool DnsDcLocator::LocateInDomain(const std::string& dnsDomain,
                                  const LocateRequest& request,
                                  DomainControllerInfo* info) {
  // [MS-ADTS] 6.3.6: controllers register under _msdcs of their domain,
  // global catalogs under _msdcs of the forest.
  const std::string kind = request.globalCatalog ? "gc" : "dc";
  NetlogonResponse response;
  std::string host;
  if (!PingCandidates("_ldap._tcp." + kind + "._msdcs." + dnsDomain, dnsDomain,
                      request, "", &response, &host)) {
    return false;
  }
  // The first answer tells the client's site; a controller outside it is
  // replaced by one registered for that site, as the Windows locator does.
  if ((response.flags & netlogon_flags::kClosest) == 0 &&
      !response.clientSiteName.empty()) {
    NetlogonResponse closer;
    std::string closerHost;
    if (PingCandidates("_ldap._tcp." + response.clientSiteName + "._sites." +
                           kind + "._msdcs." + dnsDomain,
                       dnsDomain, request, host, &closer, &closerHost)) {
      response = std::move(closer);
      host = closerHost;
    }
    if (refused_) return false;
  }
  info->name = response.dnsHostName.empty() ? host : response.dnsHostName;
  info->dcSiteName = response.dcSiteName;
  info->clientSiteName = response.clientSiteName;
  return true;
}

int DnsDcLocator::Locate(const std::string& computer, const std::string& domain,
                         std::uint32_t flags, DomainControllerInfo* info) {
  *info = {};
  if ((flags & locator_flags::kIsFlatName) &&
      (flags & locator_flags::kIsDnsName)) {
    return locator_error::kInvalidFlags;
  }
  LocateRequest request;
  request.domain = domain;
  if (!request.domain.empty() && request.domain.back() == '.')
    request.domain.pop_back();
  request.flat = (flags & locator_flags::kIsFlatName) != 0 ||
                 ((flags & locator_flags::kIsDnsName) == 0 &&
                  request.domain.find('.') == std::string::npos);
  if (!request.domain.empty() &&
      !(request.flat ? ValidFlatName(request.domain)
                     : ValidDnsName(request.domain))) {
    return locator_error::kInvalidDomainName;
  }
  request.globalCatalog = (flags & locator_flags::kGcServerRequired) != 0;
  if (flags & locator_flags::kDirectoryServiceRequired) {
    request.requiredFlags |= netlogon_flags::kDirectoryService;
  }
  if (request.globalCatalog)
    request.requiredFlags |= netlogon_flags::kGlobalCatalog;
  if (flags & locator_flags::kWritableRequired) {
    request.requiredFlags |= netlogon_flags::kWritable;
  }
  pingsLeft_ = kMaxPingsPerLocate;
  refused_ = false;
  problem_.clear();
  malformedHost_.clear();

  // The Windows locator runs on the computer named and, on a controller of
  // the domain asked for, picks that controller itself. We cannot run a
  // locator there: the computer is pinged, and is the answer when it is
  // such a controller. A computer that answers but serves another domain
  // leaves the locate to run here; one that does not answer at all fails
  // the locate, as the Windows locator fails when it cannot reach the
  // computer, so that the run never goes to a controller nobody named.
  if (!computer.empty()) {
    NetlogonResponse response;
    std::string responder;
    std::string pingDomain = request.flat ? "" : request.domain;
    bool answered = Ping(computer, pingDomain, &response, &responder);
    if (answered && Suitable(response, request, request.domain)) {
      if (!NamesThePingedHost(computer, response, responder))
        return Failure(locator_error::kNoSuchDomain, info);
      info->name =
          response.dnsHostName.empty() ? computer : response.dnsHostName;
      info->dcSiteName = response.dcSiteName;
      info->clientSiteName = response.clientSiteName;
      return 0;
    }
    // A controller may stay silent to a ping for a domain it does not
    // serve; asked for none, it answers for its own.
    if (!answered && !pingDomain.empty()) {
      answered = Ping(computer, "", &response, &responder);
    }
    if (!answered) return Failure(locator_error::kComputerUnavailable, info);
  }
  for (const std::string& dnsDomain : CandidateDomains(request)) {
    if (pingsLeft_ <= 0 || refused_) break;
    if (LocateInDomain(dnsDomain, request, info)) return 0;
  }
  return Failure(locator_error::kNoSuchDomain, info);
}

class RealLocatorNetwork final : public LocatorNetwork {
 public:
  SrvLookupStatus LookupSrv(const std::string& name,
                            std::vector<SrvRecord>* records) override {
    return LookupSrvRecords(name, records);
  }
  PingOutcome Ping(const std::string& host, const std::string& dnsDomain,
                   NetlogonResponse* response,
                   std::string* responder) override {
    return PingDomainController(host, dnsDomain, kPingTimeout, response,
                                responder);
  }
  std::vector<std::string> ResolveAddresses(const std::string& name) override {
    return ResolveHostAddresses(name);
  }
  std::string KerberosDefaultRealm() override {
    return talvex::KerberosDefaultRealm();
  }
  std::vector<std::string> SearchDomains() override {
    return ResolverSearchDomains();
  }
};

}  // namespace

std::unique_ptr<DcLocator> MakeDnsDcLocator(
    std::unique_ptr<LocatorNetwork> network) {
  return std::make_unique<DnsDcLocator>(std::move(network));
}

std::unique_ptr<DcLocator> MakeDnsDcLocator() {
  return MakeDnsDcLocator(std::make_unique<RealLocatorNetwork>());
}

}  // namespace talvex

#include "directory/openldap/dns_dc_locator.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "directory/openldap/cldap_ping.h"
#include "directory/openldap/krb5_default_realm.h"

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

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return text;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return LowerCase(a) == LowerCase(b);
}

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
            NetlogonResponse* response);
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
};

bool DnsDcLocator::Ping(const std::string& host, const std::string& dnsDomain,
                        NetlogonResponse* response) {
  if (pingsLeft_ <= 0) return false;
  --pingsLeft_;
  return network_->Ping(host, dnsDomain, response);
}

bool DnsDcLocator::Suitable(const NetlogonResponse& response,
                            const LocateRequest& request,
                            const std::string& domainName) const {
  if ((response.flags & request.requiredFlags) != request.requiredFlags)
    return false;
  if (domainName.empty()) return true;
  if (request.flat)
    return EqualsIgnoringCase(response.netbiosDomainName, domainName);
  if (EqualsIgnoringCase(response.dnsDomainName, domainName)) return true;
  // A global catalog serves the whole forest: it is asked for by the
  // forest's name.
  return request.globalCatalog &&
         EqualsIgnoringCase(response.dnsForestName, domainName);
}

std::vector<std::string> DnsDcLocator::CandidateDomains(
    const LocateRequest& request) {
  if (!request.domain.empty() && !request.flat) return {request.domain};
  std::vector<std::string> candidates;
  auto add = [&](const std::string& name) {
    std::string lower = LowerCase(name);
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
        return EqualsIgnoringCase(FirstLabel(name), request.domain);
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
    if (!skipHost.empty() && EqualsIgnoringCase(record.target, skipHost))
      continue;
    if (pingsLeft_ <= 0) return false;
    NetlogonResponse answer;
    if (Ping(record.target, dnsDomain, &answer) &&
        Suitable(answer, request, wanted)) {
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

  // The Windows locator runs on the computer named and, on a controller of
  // the domain asked for, picks that controller itself. We cannot run a
  // locator there: the computer is pinged, and is the answer when it is
  // such a controller; otherwise the locate runs here.
  if (!computer.empty()) {
    NetlogonResponse response;
    std::string pingDomain = request.flat ? "" : request.domain;
    if (Ping(computer, pingDomain, &response) &&
        Suitable(response, request, request.domain)) {
      info->name =
          response.dnsHostName.empty() ? computer : response.dnsHostName;
      info->dcSiteName = response.dcSiteName;
      info->clientSiteName = response.clientSiteName;
      return 0;
    }
  }
  for (const std::string& dnsDomain : CandidateDomains(request)) {
    if (pingsLeft_ <= 0) break;
    if (LocateInDomain(dnsDomain, request, info)) return 0;
  }
  *info = {};
  return locator_error::kNoSuchDomain;
}

class RealLocatorNetwork final : public LocatorNetwork {
 public:
  SrvLookupStatus LookupSrv(const std::string& name,
                            std::vector<SrvRecord>* records) override {
    return LookupSrvRecords(name, records);
  }
  bool Ping(const std::string& host, const std::string& dnsDomain,
            NetlogonResponse* response) override {
    return PingDomainController(host, dnsDomain, kPingTimeout, response);
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

// The domain-controller locator over DNS SRV records and the CLDAP netlogon
// ping.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "directory/dc_locator.h"
#include "directory/openldap/cldap_ping.h"
#include "directory/openldap/dns_srv_lookup.h"
#include "directory/openldap/netlogon_response.h"

namespace talvex {

std::unique_ptr<DcLocator> MakeDnsDcLocator();

// What the locator asks of the network and of this machine's
// configuration; the real one uses the resolver, UDP and Kerberos, tests
// give hand-made answers so that the locator's choices can be checked.
class LocatorNetwork {
 public:
  virtual ~LocatorNetwork() = default;
  // SRV records of name, in the order they are to be tried.
  virtual SrvLookupStatus LookupSrv(const std::string& name,
                                    std::vector<SrvRecord>* records) = 0;
  // Netlogon ping of host for the DNS domain ("" = the one it serves);
  // *responder: the address that answered.
  virtual PingOutcome Ping(const std::string& host,
                           const std::string& dnsDomain,
                           NetlogonResponse* response,
                           std::string* responder) = 0;
  // The addresses a host name resolves to.
  virtual std::vector<std::string> ResolveAddresses(
      const std::string& name) = 0;
  virtual std::string KerberosDefaultRealm() = 0;
  virtual std::vector<std::string> SearchDomains() = 0;
};

std::unique_ptr<DcLocator> MakeDnsDcLocator(
    std::unique_ptr<LocatorNetwork> network);

}  // namespace talvex

// The in-process domain-controller locator of the unit tests.
//
//   FakeDcLocator locator;
//   locator.AddController("corp.example.com", {.name = "dc1.corp.example.com",
//                                              .site = "HQ",
//                                              .globalCatalog = true});
//   locator.AddDomainAlias("CORP", "corp.example.com");
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "directory/dc_locator.h"

namespace talvex {

struct FakeDomainController {
  std::string name;  // DNS name, returned as given
  std::string site = "Default-First-Site-Name";
  bool writable = true;
  bool directoryService = true;
  bool globalCatalog = false;
};

struct FakeLocateCall {
  std::string computer;
  std::string domain;
  std::uint32_t flags = 0;
  int result = 0;
};

class FakeDcLocator : public DcLocator {
 public:
  // Controllers of a domain (DNS name), tried in the order added; the first
  // that has every capability the flags require answers.
  void AddController(const std::string& domain,
                     const FakeDomainController& controller);
  // A flat (NetBIOS) name for a DNS domain name.
  void AddDomainAlias(const std::string& flatName, const std::string& dnsName);
  // The domain an empty domain text means (this machine's domain).
  void SetOwnDomain(const std::string& dnsName) { ownDomain_ = dnsName; }
  void SetClientSite(const std::string& site) { clientSite_ = site; }
  // Answers the controller name in UNC form ("\\dc1..."), as Windows does.
  void SetUncNames(bool unc) { uncNames_ = unc; }

  // A fixed answer for (computer, domain), both compared without regard to
  // case: an error code, or 0 with the controller.
  void SetAnswer(const std::string& computer, const std::string& domain,
                 int result, const FakeDomainController& controller = {});
  // The next locate (after `skip` of them) fails with the code.
  void FailNext(int code, int skip = 0);

  const std::vector<FakeLocateCall>& Calls() const { return calls_; }

  // Unknown domains give 1355; a controller that lacks a required capability
  // is passed over (1355 when none is left, as the Windows locator says);
  // both name-kind flags at once give 1004. A computer given that is a
  // controller of the domain with the required capabilities is the answer
  // (it is asked directly); otherwise the domain's controllers are tried.
  int Locate(const std::string& computer, const std::string& domain,
             std::uint32_t flags, DomainControllerInfo* info) override;

 private:
  int Answer(const FakeDomainController& controller,
             DomainControllerInfo* info);

  std::map<std::string, std::vector<FakeDomainController>> controllers_;
  std::map<std::string, std::string> aliases_;
  std::map<std::pair<std::string, std::string>,
           std::pair<int, FakeDomainController>>
      answers_;
  std::vector<std::pair<int, int>> failures_;  // code, skip
  std::string ownDomain_;
  std::string clientSite_ = "Default-First-Site-Name";
  bool uncNames_ = false;
  std::vector<FakeLocateCall> calls_;
};

}  // namespace talvex

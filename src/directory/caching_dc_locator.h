// A locator that answers each question once per run.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "directory/dc_locator.h"

namespace talvex {

// Forest-wide work asks the locator for the controller of a domain once per
// PSO found through the global catalog; with DNS SRV lookups and a CLDAP
// ping behind every question that would cost a round trip each time. The
// answer for one (computer, domain, flags) question does not change within a
// run, so it is kept, failures included.
class CachingDcLocator : public DcLocator {
 public:
  explicit CachingDcLocator(DcLocator& inner) : inner_(inner) {}

  int Locate(const std::string& computer, const std::string& domain,
             std::uint32_t flags, DomainControllerInfo* info) override;

  // Takes a known answer for the question, unless it was asked already:
  // the run's own controller answers for the domain it serves under that
  // domain's DNS name too, without a second ping.
  void Remember(const std::string& computer, const std::string& domain,
                std::uint32_t flags, const DomainControllerInfo& info);

 private:
  struct Answer {
    int status = 0;
    DomainControllerInfo info;
  };
  using Question = std::tuple<std::string, std::string, std::uint32_t>;
  static Question Key(const std::string& computer, const std::string& domain,
                      std::uint32_t flags);

  DcLocator& inner_;
  std::map<Question, Answer> answers_;
};

}  // namespace talvex

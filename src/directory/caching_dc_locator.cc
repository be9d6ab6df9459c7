#include "directory/caching_dc_locator.h"

#include "support/text_case.h"

namespace talvex {

int CachingDcLocator::Locate(const std::string& computer,
                             const std::string& domain, std::uint32_t flags,
                             DomainControllerInfo* info) {
  Question question = Key(computer, domain, flags);
  auto it = answers_.find(question);
  if (it == answers_.end()) {
    Answer answer;
    answer.status = inner_.Locate(computer, domain, flags, &answer.info);
    it = answers_.emplace(std::move(question), std::move(answer)).first;
  }
  // A failure leaves the answer as it was, but for the problem text.
  if (it->second.status == 0) {
    *info = it->second.info;
  } else {
    info->problem = it->second.info.problem;
  }
  return it->second.status;
}

void CachingDcLocator::Remember(const std::string& computer,
                                const std::string& domain, std::uint32_t flags,
                                const DomainControllerInfo& info) {
  answers_.emplace(Key(computer, domain, flags), Answer{0, info});
}

CachingDcLocator::Question CachingDcLocator::Key(const std::string& computer,
                                                 const std::string& domain,
                                                 std::uint32_t flags) {
  // Computer and domain names are not case-sensitive.
  return Question{LowerCase(computer), LowerCase(domain), flags};
}

}  // namespace talvex

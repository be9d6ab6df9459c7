#include "fakes/fake_dc_locator.h"

#include "support/text_case.h"

namespace talvex {
namespace {

bool Satisfies(const FakeDomainController& controller, std::uint32_t flags) {
  if ((flags & locator_flags::kWritableRequired) && !controller.writable) {
    return false;
  }
  if ((flags & locator_flags::kGcServerRequired) && !controller.globalCatalog) {
    return false;
  }
  if ((flags & locator_flags::kDirectoryServiceRequired) &&
      !controller.directoryService) {
    return false;
  }
  return true;
}

// "dc1.corp.example.com" matches "dc1.corp.example.com" and "dc1".
bool NamesController(const std::string& computer,
                     const FakeDomainController& controller) {
  std::string wanted = LowerCase(computer);
  while (!wanted.empty() && wanted.front() == '\\') wanted.erase(0, 1);
  std::string name = LowerCase(controller.name);
  return wanted == name || wanted == name.substr(0, name.find('.'));
}

}  // namespace

void FakeDcLocator::AddController(const std::string& domain,
                                  const FakeDomainController& controller) {
  controllers_[LowerCase(domain)].push_back(controller);
}

void FakeDcLocator::AddDomainAlias(const std::string& flatName,
                                   const std::string& dnsName) {
  aliases_[LowerCase(flatName)] = LowerCase(dnsName);
}

void FakeDcLocator::SetAnswer(const std::string& computer,
                              const std::string& domain, int result,
                              const FakeDomainController& controller) {
  answers_[{LowerCase(computer), LowerCase(domain)}] = {result, controller};
}

void FakeDcLocator::FailNext(int code, int skip) {
  failures_.emplace_back(code, skip);
}

int FakeDcLocator::Answer(const FakeDomainController& controller,
                          DomainControllerInfo* info) {
  info->name = uncNames_ ? "\\\\" + controller.name : controller.name;
  info->dcSiteName = controller.site;
  info->clientSiteName = clientSite_;
  return 0;
}

int FakeDcLocator::Locate(const std::string& computer,
                          const std::string& domain, std::uint32_t flags,
                          DomainControllerInfo* info) {
  calls_.push_back(FakeLocateCall{computer, domain, flags, 0});
  int& result = calls_.back().result;
  *info = DomainControllerInfo{};

  for (auto it = failures_.begin(); it != failures_.end(); ++it) {
    if (it->second > 0) {
      --it->second;
      break;
    }
    result = it->first;
    failures_.erase(it);
    return result;
  }
  if ((flags & locator_flags::kIsFlatName) &&
      (flags & locator_flags::kIsDnsName)) {
    return result = locator_error::kInvalidFlags;
  }
  auto answer = answers_.find({LowerCase(computer), LowerCase(domain)});
  if (answer != answers_.end()) {
    result = answer->second.first;
    if (result == 0) Answer(answer->second.second, info);
    return result;
  }

  std::string name = LowerCase(domain.empty() ? ownDomain_ : domain);
  auto alias = aliases_.find(name);
  if (alias != aliases_.end()) name = alias->second;
  auto found = controllers_.find(name);
  if (found == controllers_.end()) return result = locator_error::kNoSuchDomain;

  if (!computer.empty()) {
    for (const auto& controller : found->second) {
      if (NamesController(computer, controller) &&
          Satisfies(controller, flags)) {
        return result = Answer(controller, info);
      }
    }
  }
  for (const auto& controller : found->second) {
    if (Satisfies(controller, flags)) return result = Answer(controller, info);
  }
  return result = locator_error::kNoSuchDomain;
}

}  // namespace talvex

#include "directory/windows/ds_dc_locator.h"

#include <windows.h>
#include <dsgetdc.h>
#include <lm.h>

#include <string>

#include "support/windows/wide_text.h"

namespace talvex {
namespace {

struct NetApiBufferDeleter {
  void operator()(DOMAIN_CONTROLLER_INFOW* info) const {
    NetApiBufferFree(info);
  }
};
using ControllerInfoPtr =
    std::unique_ptr<DOMAIN_CONTROLLER_INFOW, NetApiBufferDeleter>;

std::string TextOf(const wchar_t* text) {
  return text != nullptr ? Narrow(text) : std::string();
}

class DsDcLocator : public DcLocator {
 public:
  int Locate(const std::string& computer, const std::string& domain,
             std::uint32_t flags, DomainControllerInfo* info) override {
    *info = DomainControllerInfo{};
    std::wstring computerName = Widen(computer);
    std::wstring domainName = Widen(domain);
    DOMAIN_CONTROLLER_INFOW* raw = nullptr;
    // No computer: the lookup runs here. No domain: this computer's domain.
    DWORD status = DsGetDcNameW(
        computer.empty() ? nullptr : computerName.c_str(),
        domain.empty() ? nullptr : domainName.c_str(), nullptr, nullptr,
        static_cast<ULONG>(flags), &raw);
    ControllerInfoPtr owner(raw);
    if (status != ERROR_SUCCESS) return static_cast<int>(status);
    std::string name = TextOf(raw->DomainControllerName);
    // The name comes as "\\dc1.corp.example.com".
    if (name.rfind("\\\\", 0) == 0) name.erase(0, 2);
    info->name = name;
    info->dcSiteName = TextOf(raw->DcSiteName);
    info->clientSiteName = TextOf(raw->ClientSiteName);
    return 0;
  }
};

}  // namespace

std::unique_ptr<DcLocator> MakeDsDcLocator() {
  return std::make_unique<DsDcLocator>();
}

}  // namespace talvex

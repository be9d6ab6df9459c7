#include "policy/pso_subject.h"

#include <cstdint>

#include "support/decimal_integer.h"
#include "support/text_case.h"

namespace talvex {
namespace {

// groupType bits (MS-ADTS 2.2.12, GROUP_TYPE_*).
constexpr std::uint32_t kBuiltinLocal = 0x1;
constexpr std::uint32_t kGlobal = 0x2;
constexpr std::uint32_t kDomainLocal = 0x4;
constexpr std::uint32_t kUniversal = 0x8;
constexpr std::uint32_t kSecurityEnabled = 0x80000000;

const struct {
  std::uint32_t bit;
  const char* scope;
} kGroupScopes[] = {
    {kGlobal, "global"},
    {kDomainLocal, "domain-local"},
    {kUniversal, "universal"},
    {kBuiltinLocal, "builtin local"},
};

bool HasClass(const std::vector<std::string>& classes, const char* name) {
  for (const std::string& value : classes) {
    if (LowerCase(value) == name) return true;
  }
  return false;
}

PsoSubject Group(const std::string& groupType) {
  // Every group has a type; one that could not be read is left to the
  // server to judge, as unreadable classes are.
  if (groupType.empty()) return {true, true, false, "group"};
  const auto bits = static_cast<std::uint32_t>(ToInteger64(groupType));
  std::string scope = "unknown-scope";
  for (const auto& entry : kGroupScopes) {
    if (bits & entry.bit) {
      scope = entry.scope;
      break;
    }
  }
  const bool security = (bits & kSecurityEnabled) != 0;
  return {
      .takesEffect = security && (bits & kGlobal) != 0,
      .isGroup = true,
      .universalSecurityGroup = security && (bits & kUniversal) != 0,
      .kind = scope + (security ? " security group" : " distribution group")};
}

}  // namespace

PsoSubject ClassifyPsoSubject(const std::vector<std::string>& classes,
                              const std::string& groupType) {
  if (classes.empty()) return {true, false, false, "object"};
  if (HasClass(classes, "group")) return Group(groupType);
  // A computer is a user by class but takes the domain policy.
  if (HasClass(classes, "user") && !HasClass(classes, "computer"))
    return {true, false, false,
            LowerCase(classes.back()) == "inetorgperson" ? "inetOrgPerson"
                                                         : "user"};
  return {false, false, false, classes.back()};
}

}  // namespace talvex

#include "directory/search_controls.h"

#include "support/output.h"

namespace talvex {
namespace {

constexpr int kParameterDebugLevel = 5;
constexpr int kDetailDebugLevel = 6;

// Control OIDs of Active Directory (MS-ADTS 3.1.1.3.4.1).
constexpr char kShowDeletedOid[] = "1.2.840.113556.1.4.417";
constexpr char kStatsOid[] = "1.2.840.113556.1.4.970";
constexpr char kExtendedDnOid[] = "1.2.840.113556.1.4.529";
constexpr char kPhantomRootOid[] = "1.2.840.113556.1.4.1340";
constexpr char kAsqOid[] = "1.2.840.113556.1.4.1504";
constexpr char kSdFlagsOid[] = "1.2.840.113556.1.4.801";

// The phantom-root control's flag: search every NC the server holds.
constexpr int kPhantomRootSearchAll = 2;

// Security information flags of the SD flags control.
constexpr int kOwnerSecurityInformation = 1;
constexpr int kGroupSecurityInformation = 2;
constexpr int kDaclSecurityInformation = 4;
constexpr int kSaclSecurityInformation = 8;

void CheckingIn(const char* keyword) {
  if (Output().debugLevel >= kDetailDebugLevel) {
    PrintDebugLine(std::string("  Checking in ") + keyword);
  }
}

LdapControl WithValue(const char* oid, std::string value) {
  return LdapControl{.oid = oid,
                     .hasValue = true,
                     .value = std::move(value),
                     .critical = true};
}

LdapControl WithoutValue(const char* oid) {
  return LdapControl{
      .oid = oid, .hasValue = false, .value = {}, .critical = true};
}

}  // namespace

std::vector<LdapControl> SetLDAPControls(const ControlMap& keywords) {
  std::vector<LdapControl> controls;
  if (keywords.empty()) return controls;
  if (Output().debugLevel >= kParameterDebugLevel) {
    PrintDebugLine("SetLDAPControls");
    for (const auto& [key, value] : keywords) {
      PrintDebugLine("     " + key + " : " + value);
    }
  }
  auto has = [&](const char* keyword) { return keywords.count(keyword) > 0; };

  if (has("SHOWDEL")) {
    CheckingIn("SHOWDEL");
    controls.push_back(WithoutValue(kShowDeletedOid));
  }
  if (has("STATS")) controls.push_back(WithoutValue(kStatsOid));
  if (has("EXTNAME")) {
    CheckingIn("EXTNAME");
    controls.push_back(WithoutValue(kExtendedDnOid));
  }
  if (has("PHANTOMROOT")) {
    CheckingIn("PHANTOMROOT");
    std::string value = EncodeIntegerSequence(kPhantomRootSearchAll);
    if (!value.empty()) controls.push_back(WithValue(kPhantomRootOid, value));
  }
  if (has("ASQ")) {
    CheckingIn("ASQ");
    std::string value = EncodeOctetStringSequence(keywords.at("ASQ"));
    if (!value.empty()) controls.push_back(WithValue(kAsqOid, value));
  }
  // SD-SACL alone asks for nothing: it only adds to one of the others.
  if (has("SD-OWNER") || has("SD-GROUP") || has("SD-DACL") ||
      has("SD-NOSACL")) {
    CheckingIn("SD-*");
    int flags = 0;
    if (has("SD-OWNER")) flags += kOwnerSecurityInformation;
    if (has("SD-GROUP")) flags += kGroupSecurityInformation;
    if (has("SD-DACL")) flags += kDaclSecurityInformation;
    if (has("SD-SACL")) flags += kSaclSecurityInformation;
    if (has("SD-NOSACL")) {
      flags = kOwnerSecurityInformation | kGroupSecurityInformation |
              kDaclSecurityInformation;
    }
    std::string value = EncodeIntegerSequence(flags);
    if (!value.empty()) controls.push_back(WithValue(kSdFlagsOid, value));
  }
  return controls;
}

}  // namespace talvex

#include "directory/sddl_encoder.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "directory/binary_value_text.h"

namespace talvex {
namespace {

// Security descriptor layout: MS-DTYP 2.4.6 (SECURITY_DESCRIPTOR, self
// relative), 2.4.5 (ACL), 2.4.4 (ACEs); strings: MS-DTYP 2.5.1 (SDDL).
constexpr std::size_t kDescriptorHeader = 20;
constexpr std::size_t kAclHeader = 8;
constexpr std::size_t kAceHeader = 4;

namespace control {
constexpr std::uint16_t kDaclPresent = 0x0004;
constexpr std::uint16_t kSaclPresent = 0x0010;
constexpr std::uint16_t kDaclAutoInheritRequired = 0x0100;
constexpr std::uint16_t kSaclAutoInheritRequired = 0x0200;
constexpr std::uint16_t kDaclAutoInherited = 0x0400;
constexpr std::uint16_t kSaclAutoInherited = 0x0800;
constexpr std::uint16_t kDaclProtected = 0x1000;
constexpr std::uint16_t kSaclProtected = 0x2000;
}  // namespace control

struct FixedAlias {
  const char* alias;
  const char* sid;
};

constexpr FixedAlias kFixedAliases[] = {
    {"WD", "S-1-1-0"},
    {"CO", "S-1-3-0"},
    {"CG", "S-1-3-1"},
    {"OW", "S-1-3-4"},
    {"NU", "S-1-5-2"},
    {"IU", "S-1-5-4"},
    {"SU", "S-1-5-6"},
    {"AN", "S-1-5-7"},
    {"ED", "S-1-5-9"},
    {"PS", "S-1-5-10"},
    {"AU", "S-1-5-11"},
    {"RC", "S-1-5-12"},
    {"SY", "S-1-5-18"},
    {"LS", "S-1-5-19"},
    {"NS", "S-1-5-20"},
    {"WR", "S-1-5-33"},
    {"BA", "S-1-5-32-544"},
    {"BU", "S-1-5-32-545"},
    {"BG", "S-1-5-32-546"},
    {"PU", "S-1-5-32-547"},
    {"AO", "S-1-5-32-548"},
    {"SO", "S-1-5-32-549"},
    {"PO", "S-1-5-32-550"},
    {"BO", "S-1-5-32-551"},
    {"RE", "S-1-5-32-552"},
    {"RU", "S-1-5-32-554"},
    {"RD", "S-1-5-32-555"},
    {"NO", "S-1-5-32-556"},
    {"MU", "S-1-5-32-558"},
    {"LU", "S-1-5-32-559"},
    {"IS", "S-1-5-32-568"},
    {"CY", "S-1-5-32-569"},
    {"ER", "S-1-5-32-573"},
    {"CD", "S-1-5-32-574"},
    {"RA", "S-1-5-32-575"},
    {"ES", "S-1-5-32-576"},
    {"MS", "S-1-5-32-577"},
    {"HA", "S-1-5-32-578"},
    {"AA", "S-1-5-32-579"},
    {"RM", "S-1-5-32-580"},
    {"UD", "S-1-5-84-0-0-0-0-0"},
    {"AC", "S-1-15-2-1"},
    {"LW", "S-1-16-4096"},
    {"ME", "S-1-16-8192"},
    {"MP", "S-1-16-8448"},
    {"HI", "S-1-16-12288"},
    {"SI", "S-1-16-16384"},
};

struct RelativeAlias {
  const char* alias;
  std::uint32_t rid;
};

constexpr RelativeAlias kDomainAliases[] = {
    {"LA", 500}, {"LG", 501}, {"DA", 512}, {"DU", 513}, {"DG", 514},
    {"DC", 515}, {"DD", 516}, {"CA", 517}, {"PA", 520}, {"CN", 522},
    {"AP", 525}, {"KA", 526}, {"RS", 553},
};

constexpr RelativeAlias kRootDomainAliases[] = {
    {"RO", 498},
    {"SA", 518},
    {"EA", 519},
    {"EK", 527},
};

struct Name {
  const char* text;
  std::uint32_t value;
};

constexpr Name kAceTypes[] = {
    {"A", 0x00},  {"D", 0x01},  {"AU", 0x02}, {"AL", 0x03}, {"OA", 0x05},
    {"OD", 0x06}, {"OU", 0x07}, {"OL", 0x08}, {"XA", 0x09}, {"XD", 0x0A},
    {"ZA", 0x0B}, {"XU", 0x0D}, {"ML", 0x11}, {"RA", 0x12}, {"SP", 0x13},
};

// In the order Windows writes them.
constexpr Name kAceFlags[] = {
    {"OI", 0x01}, {"CI", 0x02}, {"NP", 0x04}, {"IO", 0x08},
    {"ID", 0x10}, {"SA", 0x40}, {"FA", 0x80},
};

// Masks that Windows names as a whole.
constexpr Name kWholeRights[] = {
    {"FA", 0x001F01FF}, {"FR", 0x00120089}, {"FW", 0x00120116},
    {"FX", 0x001200A0}, {"KA", 0x000F003F}, {"KR", 0x00020019},
    {"KW", 0x00020006},
};

// Single rights, in the order of their bits (as Windows writes them).
constexpr Name kRightBits[] = {
    {"CC", 0x00000001}, {"DC", 0x00000002}, {"LC", 0x00000004},
    {"SW", 0x00000008}, {"RP", 0x00000010}, {"WP", 0x00000020},
    {"DT", 0x00000040}, {"LO", 0x00000080}, {"CR", 0x00000100},
    {"SD", 0x00010000}, {"RC", 0x00020000}, {"WD", 0x00040000},
    {"WO", 0x00080000}, {"GA", 0x10000000}, {"GX", 0x20000000},
    {"GW", 0x40000000}, {"GR", 0x80000000},
};

bool IsObjectAce(std::uint8_t type) {
  return type == 0x05 || type == 0x06 || type == 0x07 || type == 0x08 ||
         type == 0x0B;
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool Has(std::size_t offset, std::size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::uint8_t U8(std::size_t offset) const {
    return static_cast<std::uint8_t>(bytes_[offset]);
  }
  std::uint16_t U16(std::size_t offset) const {
    return static_cast<std::uint16_t>(U8(offset) | (U8(offset + 1) << 8));
  }
  std::uint32_t U32(std::size_t offset) const {
    return U16(offset) | (std::uint32_t{U16(offset + 2)} << 16);
  }
  std::string_view From(std::size_t offset, std::size_t length) const {
    return bytes_.substr(offset, length);
  }

 private:
  std::string_view bytes_;
};

class Encoder {
 public:
  Encoder(std::string_view bytes, const SddlDomainSids& sids)
      : reader_(bytes), sids_(sids) {}

  std::optional<std::string> Encode() {
    if (!reader_.Has(0, kDescriptorHeader) || reader_.U8(0) != 1) {
      return std::nullopt;
    }
    std::uint16_t flags = reader_.U16(2);
    std::uint32_t owner = reader_.U32(4);
    std::uint32_t group = reader_.U32(8);
    std::uint32_t sacl = reader_.U32(12);
    std::uint32_t dacl = reader_.U32(16);
    std::string text;
    if (owner != 0) {
      auto sid = SidAt(owner, nullptr);
      if (!sid) return std::nullopt;
      text += "O:" + *sid;
    }
    if (group != 0) {
      auto sid = SidAt(group, nullptr);
      if (!sid) return std::nullopt;
      text += "G:" + *sid;
    }
    if (flags & control::kDaclPresent) {
      std::string aclFlags;
      if (flags & control::kDaclProtected) aclFlags += "P";
      if (flags & control::kDaclAutoInheritRequired) aclFlags += "AR";
      if (flags & control::kDaclAutoInherited) aclFlags += "AI";
      auto acl = Acl(dacl);
      if (!acl) return std::nullopt;
      text += "D:" + aclFlags + *acl;
    }
    if (flags & control::kSaclPresent) {
      std::string aclFlags;
      if (flags & control::kSaclProtected) aclFlags += "P";
      if (flags & control::kSaclAutoInheritRequired) aclFlags += "AR";
      if (flags & control::kSaclAutoInherited) aclFlags += "AI";
      auto acl = Acl(sacl);
      if (!acl) return std::nullopt;
      text += "S:" + aclFlags + *acl;
    }
    return text;
  }

 private:
  // The SID at the offset as alias or S-1-... text; *length gets its size.
  std::optional<std::string> SidAt(std::size_t offset, std::size_t* length) {
    if (!reader_.Has(offset, 0)) return std::nullopt;
    std::string_view rest = reader_.From(offset, std::string_view::npos);
    std::size_t size = SidLength(rest);
    if (size == 0) return std::nullopt;
    if (length != nullptr) *length = size;
    return SidString(SidToText(rest.substr(0, size)));
  }

  std::string SidString(const std::string& sid) const {
    for (const auto& alias : kFixedAliases) {
      if (sid == alias.sid) return alias.alias;
    }
    auto relative = [&](const std::string& domain, const auto& table) {
      if (domain.empty()) return std::string();
      for (const auto& alias : table) {
        if (sid == domain + "-" + std::to_string(alias.rid))
          return std::string(alias.alias);
      }
      return std::string();
    };
    std::string alias = relative(sids_.domain, kDomainAliases);
    if (alias.empty()) {
      alias =
          relative(sids_.rootDomain.empty() ? sids_.domain : sids_.rootDomain,
                   kRootDomainAliases);
    }
    return alias.empty() ? sid : alias;
  }

  // A null list (offset 0 with the list marked present) grants everything.
  std::optional<std::string> Acl(std::uint32_t offset) {
    if (offset == 0) return std::string("NO_ACCESS_CONTROL");
    if (!reader_.Has(offset, kAclHeader)) return std::nullopt;
    std::size_t size = reader_.U16(offset + 2);
    std::size_t count = reader_.U16(offset + 4);
    if (size < kAclHeader || !reader_.Has(offset, size)) return std::nullopt;
    std::size_t end = offset + size;
    std::size_t position = offset + kAclHeader;
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
      if (position + kAceHeader > end) return std::nullopt;
      std::size_t aceSize = reader_.U16(position + 2);
      if (aceSize < kAceHeader || position + aceSize > end) return std::nullopt;
      auto ace = Ace(position, aceSize);
      if (!ace) return std::nullopt;
      text += *ace;
      position += aceSize;
    }
    return text;
  }

  std::optional<std::string> Ace(std::size_t offset, std::size_t size) {
    std::uint8_t type = reader_.U8(offset);
    std::uint8_t flags = reader_.U8(offset + 1);
    std::string typeName;
    for (const auto& name : kAceTypes) {
      if (name.value == type) typeName = name.text;
    }
    if (typeName.empty()) return std::nullopt;
    std::size_t end = offset + size;
    std::size_t position = offset + kAceHeader;
    if (position + 4 > end) return std::nullopt;
    std::uint32_t mask = reader_.U32(position);
    position += 4;
    std::string objectType;
    std::string inheritedType;
    if (IsObjectAce(type)) {
      if (position + 4 > end) return std::nullopt;
      std::uint32_t present = reader_.U32(position);
      position += 4;
      for (std::string* guid : {&objectType, &inheritedType}) {
        std::uint32_t bit = guid == &objectType ? 0x1 : 0x2;
        if (!(present & bit)) continue;
        if (position + 16 > end) return std::nullopt;
        *guid = GuidToLowerText(reader_.From(position, 16));
        position += 16;
      }
    }
    std::size_t sidLength = 0;
    if (position >= end) return std::nullopt;
    auto sid = SidAt(position, &sidLength);
    if (!sid || position + sidLength > end) return std::nullopt;
    return "(" + typeName + ";" + AceFlags(flags) + ";" + Rights(mask) + ";" +
           objectType + ";" + inheritedType + ";" + *sid + ")";
  }

  static std::string AceFlags(std::uint8_t flags) {
    std::string text;
    std::uint32_t left = flags;
    for (const auto& name : kAceFlags) {
      if (flags & name.value) {
        text += name.text;
        left &= ~name.value;
      }
    }
    if (left != 0) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%x", left);
      text += hex;
    }
    return text;
  }

  static std::string Rights(std::uint32_t mask) {
    for (const auto& name : kWholeRights) {
      if (name.value == mask) return name.text;
    }
    std::string text;
    std::uint32_t left = mask;
    for (const auto& name : kRightBits) {
      if (mask & name.value) {
        text += name.text;
        left &= ~name.value;
      }
    }
    if (left != 0 || mask == 0) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%x", mask);
      return hex;
    }
    return text;
  }

  Reader reader_;
  const SddlDomainSids& sids_;
};

}  // namespace

std::string SecurityDescriptorToSddl(std::string_view bytes,
                                     const SddlDomainSids& sids) {
  Encoder encoder(bytes, sids);
  return encoder.Encode().value_or(std::string());
}

}  // namespace talvex

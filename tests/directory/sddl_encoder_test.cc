#include "directory/sddl_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "directory/binary_attribute_tables.h"
#include "directory/value_conversion.h"

namespace talvex {
namespace {

// Builders of self-relative security descriptors (MS-DTYP 2.4.6).
void Put16(std::string* out, std::uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string* out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string Sid(const std::string& text) {  // "S-1-5-21-1-2-3-512"
  std::vector<std::uint64_t> parts;
  std::size_t pos = 2;
  while (pos < text.size()) {
    std::size_t dash = text.find('-', pos);
    parts.push_back(
        std::strtoull(text.substr(pos, dash - pos).c_str(), nullptr, 10));
    if (dash == std::string::npos) break;
    pos = dash + 1;
  }
  std::string out;
  out += static_cast<char>(parts[0]);
  out += static_cast<char>(parts.size() - 2);
  for (int shift = 40; shift >= 0; shift -= 8) {
    out += static_cast<char>((parts[1] >> shift) & 0xFF);
  }
  for (std::size_t i = 2; i < parts.size(); ++i) {
    Put32(&out, static_cast<std::uint32_t>(parts[i]));
  }
  return out;
}

std::string Guid(const std::string& text) {  // lower-case registry form
  auto byte = [&](std::size_t at) {
    return static_cast<char>(
        std::strtoul(text.substr(at, 2).c_str(), nullptr, 16));
  };
  std::string out;
  for (std::size_t at :
       {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34}) {
    out += byte(at);
  }
  return out;
}

std::string Ace(int type, int flags, std::uint32_t mask, const std::string& sid,
                const std::string& objectType = "",
                const std::string& inherited = "") {
  std::string body;
  Put32(&body, mask);
  if (type == 5 || type == 6 || type == 7 || type == 8) {
    Put32(&body, (objectType.empty() ? 0 : 1) | (inherited.empty() ? 0 : 2));
    if (!objectType.empty()) body += Guid(objectType);
    if (!inherited.empty()) body += Guid(inherited);
  }
  body += Sid(sid);
  std::string ace;
  ace += static_cast<char>(type);
  ace += static_cast<char>(flags);
  Put16(&ace, static_cast<std::uint32_t>(body.size() + 4));
  return ace + body;
}

std::string Acl(const std::vector<std::string>& aces) {
  std::string body;
  for (const auto& ace : aces) body += ace;
  std::string acl;
  acl += '\x04';
  acl += '\x00';
  Put16(&acl, static_cast<std::uint32_t>(body.size() + 8));
  Put16(&acl, static_cast<std::uint32_t>(aces.size()));
  Put16(&acl, 0);
  return acl + body;
}

std::string Descriptor(std::uint16_t control, const std::string& owner,
                       const std::string& group, const std::string& sacl,
                       const std::string& dacl) {
  std::string tail;
  std::uint32_t offsets[4] = {0, 0, 0, 0};
  const std::string* parts[4] = {&owner, &group, &sacl, &dacl};
  for (int i = 0; i < 4; ++i) {
    if (parts[i]->empty()) continue;
    offsets[i] = static_cast<std::uint32_t>(20 + tail.size());
    tail += *parts[i];
  }
  std::string sd;
  sd += '\x01';
  sd += '\x00';
  Put16(&sd, control | 0x8000);
  for (auto offset : offsets) Put32(&sd, offset);
  return sd + tail;
}

constexpr char kDomain[] = "S-1-5-21-1004336348-1177238915-682003330";
constexpr char kUserClass[] = "bf967aba-0de6-11d0-a285-00aa003049e2";
constexpr char kPropertySet[] = "4828cc14-1437-45bc-9b07-ad6f015e5f28";

TEST(SddlEncoderTest, OwnerGroupDaclAndSaclWithAliasesRightsAndGuids) {
  std::string dacl = Acl({
      Ace(0, 0, 0xF01FF, std::string(kDomain) + "-512"),
      Ace(5, 0x1A, 0x10, "S-1-5-11", kUserClass, kPropertySet),
      Ace(1, 0x03, 0x1F01FF, "S-1-1-0"),
      Ace(0, 0, 0x100000, "S-1-5-21-9-9-9-1000"),
      Ace(0, 0x02, 0x20094, "S-1-5-32-554"),
  });
  std::string sacl = Acl({Ace(7, 0x42, 0x20, "S-1-1-0", kUserClass)});
  std::string sd = Descriptor(0x0004 | 0x0010 | 0x1000 | 0x0400 | 0x0800,
                              Sid("S-1-5-32-544"), Sid("S-1-5-18"), sacl, dacl);
  SddlDomainSids sids{.domain = kDomain, .rootDomain = ""};
  EXPECT_EQ(
      "O:BAG:SYD:PAI"
      "(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;DA)"
      "(OA;CIIOID;RP;bf967aba-0de6-11d0-a285-00aa003049e2;"
      "4828cc14-1437-45bc-9b07-ad6f015e5f28;AU)"
      "(D;OICI;FA;;;WD)"
      "(A;;0x100000;;;S-1-5-21-9-9-9-1000)"
      "(A;CI;LCRPLORC;;;RU)"
      "S:AI(OU;CISA;WP;bf967aba-0de6-11d0-a285-00aa003049e2;;WD)",
      SecurityDescriptorToSddl(sd, sids));
  // Without the domain's SID, its members are written in full.
  EXPECT_NE(std::string::npos,
            SecurityDescriptorToSddl(sd).find(
                std::string("(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;") + kDomain +
                "-512)"));
}

TEST(SddlEncoderTest, RootDomainAliasesAndNullOrEmptyLists) {
  std::string dacl =
      Acl({Ace(0, 0, 0x10000000, std::string(kDomain) + "-519")});
  std::string sd = Descriptor(0x0004 | 0x0100,
                              Sid(std::string(kDomain) + "-512"), "", "", dacl);
  EXPECT_EQ(
      "O:DAD:AR(A;;GA;;;EA)",
      SecurityDescriptorToSddl(sd, {.domain = kDomain, .rootDomain = ""}));
  // A present DACL without a list grants everything; an empty one nothing.
  EXPECT_EQ("O:SYD:NO_ACCESS_CONTROL",
            SecurityDescriptorToSddl(
                Descriptor(0x0004, Sid("S-1-5-18"), "", "", "")));
  EXPECT_EQ("D:P",
            SecurityDescriptorToSddl(Descriptor(0x1004, "", "", "", Acl({}))));
}

TEST(SddlEncoderTest, MalformedDescriptorsGiveEmptyText) {
  std::string dacl = Acl({Ace(0, 0, 0x1, "S-1-5-18")});
  std::string sd = Descriptor(0x0004, Sid("S-1-5-18"), "", "", dacl);
  EXPECT_FALSE(SecurityDescriptorToSddl(sd).empty());
  for (std::size_t cut :
       {std::size_t{0}, std::size_t{5}, std::size_t{21}, sd.size() - 1}) {
    EXPECT_EQ("", SecurityDescriptorToSddl(sd.substr(0, cut))) << cut;
  }
  std::string unknownType = sd;
  unknownType[20 + Sid("S-1-5-18").size() + 8] = '\x7F';
  EXPECT_EQ("", SecurityDescriptorToSddl(unknownType));
}

TEST(SddlEncoderTest, SecurityDescriptorAttributesArriveAsSddl) {
  FillBinaryAttributeTables();
  std::string sd = Descriptor(0x0004, Sid("S-1-5-32-544"), Sid("S-1-5-32-544"),
                              "", Acl({Ace(0, 0, 0x20014, "S-1-5-11")}));
  EXPECT_EQ(std::vector<std::string>{"O:BAG:BAD:(A;;LCRPRC;;;AU)"},
            ConvertAttributeValues("nTSecurityDescriptor", {sd}));
}

}  // namespace
}  // namespace talvex

#include "directory/openldap/cldap_ping.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

// One BER element: tag, definite length (short or long form), contents.
std::string Tlv(unsigned char tag, const std::string& contents) {
  std::string out(1, static_cast<char>(tag));
  std::size_t length = contents.size();
  if (length < 0x80) {
    out += static_cast<char>(length);
  } else if (length < 0x100) {
    out += '\x81';
    out += static_cast<char>(length);
  } else {
    out += '\x82';
    out += static_cast<char>(length >> 8);
    out += static_cast<char>(length & 0xFF);
  }
  return out + contents;
}

std::string OctetString(const std::string& text) { return Tlv(0x04, text); }

TEST(CldapPingTest, EncodesTheNetlogonSearchExactly) {
  constexpr char kExpected[] =
      "\x30\x52"      // LDAPMessage
      "\x02\x01\x07"  // messageID 7
      "\x63\x4d"      // searchRequest
      "\x04\x00"      // baseObject ""
      "\x0a\x01\x00"  // scope baseObject
      "\x0a\x01\x00"  // derefAliases never
      "\x02\x01\x00"  // sizeLimit 0
      "\x02\x01\x00"  // timeLimit 0
      "\x01\x01\x00"  // typesOnly FALSE
      "\xa0\x2e"      // and
      "\xa3\x1d\x04\x09"
      "DnsDomain"  // equalityMatch
      "\x04\x10"
      "corp.example.com"
      "\xa3\x0d\x04\x05"
      "NtVer"                     // equalityMatch
      "\x04\x04\x06\x00\x00\x00"  // 6, little-endian
      "\x30\x0a\x04\x08"
      "Netlogon";  // attributes
  EXPECT_EQ(EncodeNetlogonPingRequest(7, "corp.example.com"),
            std::string(kExpected, sizeof kExpected - 1));
}

TEST(CldapPingTest, WithoutDomainTheFilterHoldsOnlyTheVersion) {
  constexpr char kExpected[] =
      "\x30\x34\x02\x02\x01\x00"  // messageID 256
      "\x63\x2e\x04\x00\x0a\x01\x00\x0a\x01\x00\x02\x01\x00\x02\x01\x00"
      "\x01\x01\x00"
      "\xa0\x0f\xa3\x0d\x04\x05"
      "NtVer"
      "\x04\x04\x06\x00\x00\x00"
      "\x30\x0a\x04\x08"
      "Netlogon";
  EXPECT_EQ(EncodeNetlogonPingRequest(256, ""),
            std::string(kExpected, sizeof kExpected - 1));
}

// A controller's reply: the entry and the search-done in one datagram.
std::string Reply(int messageId, const std::string& attributeName,
                  const std::string& value) {
  std::string id = Tlv(0x02, std::string(1, static_cast<char>(messageId)));
  std::string attribute =
      Tlv(0x30, OctetString(attributeName) + Tlv(0x31, OctetString(value)));
  std::string entry = Tlv(0x64, OctetString("") + Tlv(0x30, attribute));
  std::string done = Tlv(
      0x65, std::string("\x0a\x01\x00", 3) + OctetString("") + OctetString(""));
  return Tlv(0x30, id + entry) + Tlv(0x30, id + done);
}

TEST(CldapPingTest, TakesTheNetlogonValueOutOfTheReply) {
  // Long enough for long-form lengths at every level.
  std::string blob(300, '\0');
  for (std::size_t i = 0; i < blob.size(); ++i)
    blob[i] = static_cast<char>(i * 7);
  std::string netlogon;
  ASSERT_TRUE(
      DecodeNetlogonPingReply(Reply(5, "netlogon", blob), 5, &netlogon));
  EXPECT_EQ(netlogon, blob);
  // The attribute name is matched without regard to case.
  ASSERT_TRUE(DecodeNetlogonPingReply(Reply(5, "Netlogon", "x"), 5, &netlogon));
  EXPECT_EQ(netlogon, "x");
}

TEST(CldapPingTest, IgnoresRepliesThatDoNotAnswerThePing) {
  std::string netlogon;
  EXPECT_FALSE(DecodeNetlogonPingReply(Reply(5, "netlogon", "x"), 6, &netlogon))
      << "answer to another request";
  EXPECT_FALSE(DecodeNetlogonPingReply(Reply(5, "cn", "x"), 5, &netlogon))
      << "no netlogon attribute";
  std::string doneOnly =
      Tlv(0x30,
          Tlv(0x02, "\x05") + Tlv(0x65, std::string("\x0a\x01\x35", 3) +
                                            OctetString("") + OctetString("")));
  EXPECT_FALSE(DecodeNetlogonPingReply(doneOnly, 5, &netlogon)) << "refusal";
  std::string full = Reply(5, "netlogon", "abcdef");
  EXPECT_FALSE(DecodeNetlogonPingReply(full.substr(0, 20), 5, &netlogon))
      << "truncated";
  EXPECT_FALSE(DecodeNetlogonPingReply("", 5, &netlogon));
  EXPECT_EQ(netlogon, "");
}

}  // namespace
}  // namespace talvex

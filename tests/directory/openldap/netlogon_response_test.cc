#include "directory/openldap/netlogon_response.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

// Builds a NETLOGON_SAM_LOGON_RESPONSE_EX blob the way a controller writes
// it: fixed header, then names in DNS wire form that point back at names
// written before them.
class BlobBuilder {
 public:
  BlobBuilder& U16(unsigned value) {
    bytes_ += static_cast<char>(value & 0xFF);
    bytes_ += static_cast<char>(value >> 8 & 0xFF);
    return *this;
  }
  BlobBuilder& U32(unsigned value) {
    U16(value & 0xFFFF);
    return U16(value >> 16);
  }
  BlobBuilder& Raw(std::string_view raw) {
    bytes_ += raw;
    return *this;
  }
  BlobBuilder& Label(std::string_view label) {
    bytes_ += static_cast<char>(label.size());
    bytes_ += label;
    return *this;
  }
  BlobBuilder& End() { return Raw(std::string(1, '\0')); }
  BlobBuilder& Pointer(unsigned offset) {
    bytes_ += static_cast<char>(0xC0 | (offset >> 8));
    bytes_ += static_cast<char>(offset & 0xFF);
    return *this;
  }
  std::size_t size() const { return bytes_.size(); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// Header of opcode, Sbz, flags and GUID: the names start at offset 24.
BlobBuilder Header(unsigned opcode, unsigned flags) {
  BlobBuilder blob;
  blob.U16(opcode).U16(0).U32(flags);
  for (int i = 0; i < 16; ++i)
    blob.Raw(std::string(1, static_cast<char>(i + 1)));
  return blob;
}

// What Samba sends for dc1 of corp.example.com, compression included.
std::string LabDcBlob() {
  BlobBuilder blob = Header(23, 0x0003F1FD);
  const unsigned forest = static_cast<unsigned>(blob.size());  // 24
  blob.Label("corp").Label("example").Label("com").End();      // forest
  blob.Pointer(forest);                                        // domain
  blob.Label("dc1").Pointer(forest);                           // host
  blob.Label("CORP").End();                                    // NetBIOS domain
  blob.Label("DC1").End();  // NetBIOS computer
  blob.End();               // user
  const unsigned site = static_cast<unsigned>(blob.size());
  blob.Label("Default-First-Site-Name").End();  // DC site
  blob.Pointer(site);                           // client site
  blob.U32(5).U16(0xFFFF).U16(0xFFFF);
  return blob.bytes();
}

TEST(NetlogonResponseTest, DecodesNamesThroughCompressionPointers) {
  NetlogonResponse response;
  ASSERT_TRUE(DecodeNetlogonResponse(LabDcBlob(), &response));
  EXPECT_EQ(response.opcode, 23);
  EXPECT_EQ(response.flags, 0x0003F1FDu);
  EXPECT_EQ(response.domainGuid[0], 1);
  EXPECT_EQ(response.domainGuid[15], 16);
  EXPECT_EQ(response.dnsForestName, "corp.example.com");
  EXPECT_EQ(response.dnsDomainName, "corp.example.com");
  EXPECT_EQ(response.dnsHostName, "dc1.corp.example.com");
  EXPECT_EQ(response.netbiosDomainName, "CORP");
  EXPECT_EQ(response.netbiosComputerName, "DC1");
  EXPECT_EQ(response.userName, "");
  EXPECT_EQ(response.dcSiteName, "Default-First-Site-Name");
  EXPECT_EQ(response.clientSiteName, "Default-First-Site-Name");
  EXPECT_EQ(response.ntVersion, 5u);
}

TEST(NetlogonResponseTest, FollowsPointerToPointerAndAcceptsUserUnknownOpcode) {
  BlobBuilder blob = Header(25, netlogon_flags::kWritable);
  const unsigned forest = static_cast<unsigned>(blob.size());
  blob.Label("corp").Label("com").End();  // forest corp.com
  const unsigned domain = static_cast<unsigned>(blob.size());
  blob.Label("child").Pointer(forest);     // domain child.corp.com
  const unsigned domainTail = domain + 6;  // its pointer bytes
  blob.Label("dc9").Pointer(domain);       // host: pointer to a name
                                           // that ends in a pointer
  blob.End();                              // NetBIOS domain
  blob.Pointer(domainTail);                // pointer to a pointer
  for (int i = 0; i < 3; ++i) blob.End();
  blob.U32(5).U32(0xFFFFFFFF);
  NetlogonResponse response;
  ASSERT_TRUE(DecodeNetlogonResponse(blob.bytes(), &response));
  EXPECT_EQ(response.opcode, 25);
  EXPECT_EQ(response.dnsForestName, "corp.com");
  EXPECT_EQ(response.dnsDomainName, "child.corp.com");
  EXPECT_EQ(response.dnsHostName, "dc9.child.corp.com");
  EXPECT_EQ(response.netbiosDomainName, "");
  EXPECT_EQ(response.netbiosComputerName, "corp.com");
  EXPECT_EQ(response.clientSiteName, "");
}

TEST(NetlogonResponseTest, RejectsOtherOpcodesAndTruncatedBlobs) {
  NetlogonResponse response;
  // Opcode 19 (the pre-AD LOGON_SAM_LOGON_RESPONSE) has another layout.
  std::string old = LabDcBlob();
  old[0] = 19;
  EXPECT_FALSE(DecodeNetlogonResponse(old, &response));
  EXPECT_FALSE(DecodeNetlogonResponse("", &response));
  std::string blob = LabDcBlob();
  // Cut inside the header, a label, a pointer and a later label.
  for (std::size_t cut : {10u, 30u, 43u, 47u}) {
    EXPECT_FALSE(DecodeNetlogonResponse(blob.substr(0, cut), &response)) << cut;
  }
}

TEST(NetlogonResponseTest, RejectsPointerLoopsAndPointersPastTheEnd) {
  NetlogonResponse response;
  BlobBuilder loop = Header(23, 0);
  loop.Pointer(24);  // the forest name points at itself
  for (int i = 0; i < 7; ++i) loop.End();
  EXPECT_FALSE(DecodeNetlogonResponse(loop.bytes(), &response));

  BlobBuilder outside = Header(23, 0);
  outside.Pointer(0x3FFF);
  for (int i = 0; i < 7; ++i) outside.End();
  EXPECT_FALSE(DecodeNetlogonResponse(outside.bytes(), &response));

  BlobBuilder reserved = Header(23, 0);
  reserved.Raw(std::string(1, '\x41'));  // label type 01: reserved
  for (int i = 0; i < 8; ++i) reserved.End();
  EXPECT_FALSE(DecodeNetlogonResponse(reserved.bytes(), &response));
}

TEST(NetlogonResponseTest, LeavesResultUntouchedOnFailure) {
  NetlogonResponse response;
  response.dnsHostName = "before";
  EXPECT_FALSE(DecodeNetlogonResponse(LabDcBlob().substr(0, 40), &response));
  EXPECT_EQ(response.dnsHostName, "before");
}

}  // namespace
}  // namespace talvex

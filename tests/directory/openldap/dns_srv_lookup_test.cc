#include "directory/openldap/dns_srv_lookup.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

// A DNS answer message made by hand.
class DnsMessage {
 public:
  DnsMessage(int answers) {
    U16(0x1234)
        .U16(0x8180)
        .U16(1)
        .U16(static_cast<unsigned>(answers))
        .U16(0)
        .U16(0);
  }
  DnsMessage& U16(unsigned value) {
    bytes_ += static_cast<char>(value >> 8 & 0xFF);
    bytes_ += static_cast<char>(value & 0xFF);
    return *this;
  }
  DnsMessage& U32(unsigned value) {
    return U16(value >> 16).U16(value & 0xFFFF);
  }
  // A name in wire form; returns the offset of each label for pointers.
  DnsMessage& Name(const std::string& dotted, bool terminate = true) {
    std::size_t start = 0;
    while (start < dotted.size()) {
      std::size_t end = dotted.find('.', start);
      if (end == std::string::npos) end = dotted.size();
      labelOffsets_.push_back(bytes_.size());
      bytes_ += static_cast<char>(end - start);
      bytes_ += dotted.substr(start, end - start);
      start = end + 1;
    }
    if (terminate) bytes_ += '\0';
    return *this;
  }
  DnsMessage& Pointer(std::size_t offset) {
    return U16(0xC000 | static_cast<unsigned>(offset));
  }
  DnsMessage& Question(const std::string& name) {
    return Name(name).U16(33).U16(1);
  }
  // An SRV answer whose owner points at the question; rdata given whole.
  DnsMessage& Srv(const std::string& rdata, unsigned type = 33) {
    Pointer(12).U16(type).U16(1).U32(600).U16(
        static_cast<unsigned>(rdata.size()));
    bytes_ += rdata;
    return *this;
  }
  std::size_t LabelOffset(std::size_t index) const {
    return labelOffsets_[index];
  }
  std::size_t size() const { return bytes_.size(); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  std::vector<std::size_t> labelOffsets_;
};

std::string SrvData(unsigned priority, unsigned weight, unsigned port,
                    const std::string& targetWire) {
  std::string data;
  for (unsigned value : {priority, weight, port}) {
    data += static_cast<char>(value >> 8);
    data += static_cast<char>(value & 0xFF);
  }
  return data + targetWire;
}

std::string Wire(const std::string& dotted) {
  DnsMessage scratch(0);
  scratch.Name(dotted);
  return scratch.bytes().substr(12);
}

bool Parse(const DnsMessage& message, std::vector<SrvRecord>* records) {
  return ParseSrvAnswer(
      reinterpret_cast<const unsigned char*>(message.bytes().data()),
      static_cast<int>(message.size()), records);
}

TEST(DnsSrvLookupTest, ParsesSrvRecordsWithCompressedTargets) {
  DnsMessage message(4);
  message.Question("_ldap._tcp.dc._msdcs.corp.example.com");
  // "corp" is the fifth label of the question.
  std::string pointerToCorp = {static_cast<char>(0xC0),
                               static_cast<char>(message.LabelOffset(4))};
  message.Srv(SrvData(0, 100, 389,
                      std::string("\x03"
                                  "dc1",
                                  4) +
                          pointerToCorp));
  message.Srv(SrvData(10, 5, 3268, Wire("dc2.corp.example.com.")));
  message.Srv(SrvData(0, 0, 0, std::string(1, '\0')));  // "." : no service
  message.Srv(std::string("\x0a\x63\x00\x0b", 4), 1);   // an A record
  std::vector<SrvRecord> records;
  ASSERT_TRUE(Parse(message, &records));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].target, "dc1.corp.example.com");
  EXPECT_EQ(records[0].priority, 0);
  EXPECT_EQ(records[0].weight, 100);
  EXPECT_EQ(records[0].port, 389);
  EXPECT_EQ(records[1].target, "dc2.corp.example.com");
  EXPECT_EQ(records[1].priority, 10);
  EXPECT_EQ(records[1].port, 3268);
}

TEST(DnsSrvLookupTest, RejectsMalformedAnswers) {
  std::vector<SrvRecord> records;
  DnsMessage shortData(1);
  shortData.Question("_ldap._tcp.corp.example.com")
      .Srv(std::string("\0\0\0\0", 4));
  EXPECT_FALSE(Parse(shortData, &records));

  DnsMessage badPointer(1);
  badPointer.Question("_ldap._tcp.corp.example.com")
      .Srv(SrvData(0, 0, 389, std::string("\xC3\xFF", 2)));
  EXPECT_FALSE(Parse(badPointer, &records));

  DnsMessage truncated(2);
  truncated.Question("_ldap._tcp.corp.example.com")
      .Srv(SrvData(0, 0, 389, Wire("dc1.corp.example.com")));
  EXPECT_FALSE(Parse(truncated, &records)) << "claims two answers, holds one";
}

TEST(DnsSrvLookupTest, OrdersByPriorityThenByWeightedChance) {
  std::mt19937 generator(42);
  std::vector<SrvRecord> records = {
      {.priority = 5, .weight = 0, .target = "late"},
      {.priority = 0, .weight = 10, .target = "light"},
      {.priority = 0, .weight = 90, .target = "heavy"},
      {.priority = 0, .weight = 0, .target = "zero"}};
  int heavyFirst = 0;
  int zeroLast = 0;
  for (int i = 0; i < 1000; ++i) {
    std::vector<SrvRecord> ordered = records;
    OrderSrvRecords(&ordered, &generator);
    ASSERT_EQ(ordered.size(), 4u);
    EXPECT_EQ(ordered[3].target, "late");
    heavyFirst += ordered[0].target == "heavy";
    zeroLast += ordered[2].target == "zero";
  }
  // Weight 90 of 100 goes first about nine times in ten; weight 0 nearly
  // always comes last of its priority.
  EXPECT_GT(heavyFirst, 850);
  EXPECT_LT(heavyFirst, 950);
  EXPECT_GT(zeroLast, 980);
}

}  // namespace
}  // namespace talvex

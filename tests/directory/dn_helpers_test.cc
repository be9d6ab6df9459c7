#include "directory/dn_helpers.h"

#include <gtest/gtest.h>

#include "directory/distinguished_name.h"

namespace talvex {
namespace {

TEST(DnHelpersTest, GetDNPartKeepsTypeAndEscapes) {
  EXPECT_EQ(
      "CN=pso1",
      GetDNPart("CN=pso1,CN=Password Settings Container,CN=System,DC=corp,"
                "DC=example,DC=com",
                0));
  EXPECT_EQ("CN=Password Settings Container",
            GetDNPart("CN=pso1,CN=Password Settings Container,DC=x", 1));
  EXPECT_EQ("CN=Sales\\, East", GetDNPart("CN=Sales\\, East,DC=x", 0));
  EXPECT_EQ("CN=Ärzte", GetDNPart("CN=Ärzte,DC=x", 0));
  EXPECT_EQ("CN=a", GetDNPart("CN=a , DC=b", 0));
  EXPECT_EQ("DC=b", GetDNPart("CN=a , DC=b", 1));
  EXPECT_EQ("CN=x\\ ", GetDNPart("CN=x\\ ,DC=b", 0));
  EXPECT_EQ("", GetDNPart("", 0));
  EXPECT_EQ("", GetDNPart("DC=x", 3));
  EXPECT_EQ("", GetDNPart("not a dn", 0));
}

TEST(DnHelpersTest, DnsNameFromDcComponents) {
  EXPECT_EQ("example.com",
            DNToDNSName("CN=pso1,CN=Password Settings Container,CN=System,"
                        "DC=Example,DC=Com"));
  EXPECT_EQ("corp.example.com", DNToDNSName("DC=corp,DC=example,DC=com"));
  EXPECT_EQ("", DNToDNSName("CN=x,OU=y"));
  EXPECT_EQ("a,ou=x.b", DNToDNSName("DC=a,OU=x,DC=b"));
  EXPECT_EQ("", DNToDNSName(""));
}

TEST(DnHelpersTest, ReverseDn) {
  EXPECT_EQ("DC=com,DC=example,DC=corp",
            ReverseDN("DC=corp,DC=example,DC=com"));
  EXPECT_EQ("DC=com,CN=a\\,b", ReverseDN("CN=a\\,b,DC=com"));
  EXPECT_EQ("", ReverseDN(""));
}

TEST(DnHelpersTest, EscapeRdnValueKeepsNamesOneLevel) {
  EXPECT_EQ("Sales\\, East", EscapeRdnValue("Sales, East"));
  EXPECT_EQ("a\\+b\\\"c\\\\d\\<e\\>f\\;g\\=h",
            EscapeRdnValue("a+b\"c\\d<e>f;g=h"));
  EXPECT_EQ("\\#1", EscapeRdnValue("#1"));
  EXPECT_EQ("a#1", EscapeRdnValue("a#1"));
  EXPECT_EQ("\\ lead and trail\\ ", EscapeRdnValue(" lead and trail "));
  EXPECT_EQ("pso2", EscapeRdnValue("pso2"));
  // The escaped value parses back as one RDN with the original value.
  EXPECT_EQ("CN=Sales\\, East",
            GetDNPart("CN=" + EscapeRdnValue("Sales, East") + ",DC=x", 0));
}

}  // namespace
}  // namespace talvex

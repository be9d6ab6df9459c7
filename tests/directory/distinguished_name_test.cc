#include "directory/distinguished_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvex {
namespace {

// Each RDN as its text, then its attributes as "type=value" with the
// value as read.
std::string Describe(const DistinguishedName& dn) {
  std::string out;
  for (const RelativeDn& rdn : dn.rdns()) {
    out += "[" + rdn.text + "]";
    for (const DnAttribute& attribute : rdn.attributes) {
      out += " " + attribute.type + "=<" + attribute.value + ">";
    }
    out += ";";
  }
  return out;
}

TEST(DistinguishedNameTest, Parse) {
  struct Case {
    std::string text;
    bool valid;
    std::string parsed;
  };
  const Case cases[] = {
      {"CN=pso1,CN=Password Settings Container,DC=corp", true,
       "[CN=pso1] CN=<pso1>;[CN=Password Settings Container] "
       "CN=<Password Settings Container>;[DC=corp] DC=<corp>;"},
      {"", true, ""},
      // Escapes: a special character, a blank, hex pairs (UTF-8 bytes).
      {"CN=Sales\\, East\\+\\\\,DC=x", true,
       "[CN=Sales\\, East\\+\\\\] CN=<Sales, East+\\>;[DC=x] DC=<x>;"},
      {"CN=\\C3\\84rzte\\2c", true, "[CN=\\C3\\84rzte\\2c] CN=<Ärzte,>;"},
      {"CN=\\ x\\ ", true, "[CN=\\ x\\ ] CN=< x >;"},
      {"CN=\\#1", true, "[CN=\\#1] CN=<#1>;"},
      // Blanks around separators are not part of the RDN's text or value;
      // blanks inside a value are.
      {"  CN = a b  ,  DC=x ", true, "[CN = a b] CN=<a b>;[DC=x] DC=<x>;"},
      {"CN=\t", true, "[CN=\t] CN=<>;"},
      // Multi-valued RDN, hex value, numeric OID, type options dropped.
      {"CN=a + OU=b,DC=x", true, "[CN=a + OU=b] CN=<a> OU=<b>;[DC=x] DC=<x>;"},
      {"CN=#4142,DC=x", true, "[CN=#4142] CN=<AB>;[DC=x] DC=<x>;"},
      {"2.5.4.3=x", true, "[2.5.4.3=x] 2.5.4.3=<x>;"},
      {"cn;lang-de=x", true, "[cn;lang-de=x] cn=<x>;"},
      {"CN=", true, "[CN=] CN=<>;"},
      {"CN=a=b", true, "[CN=a=b] CN=<a=b>;"},
      {"CN=Ärzte", true, "[CN=Ärzte] CN=<Ärzte>;"},
      // Blanks next to the plain form's separators and ends.
      {"CN=a ,DC=x", true, "[CN=a] CN=<a>;[DC=x] DC=<x>;"},
      {"CN= a,DC=x ", true, "[CN= a] CN=<a>;[DC=x] DC=<x>;"},
      // Not DNs.
      {"not a dn", false, ""},
      {" ", false, ""},
      {"CN=a,", false, ""},
      {",CN=a", false, ""},
      {"CN=a;DC=b", false, ""},
      {"CN=\"a\"", false, ""},
      {"CN=a<b", false, ""},
      {"CN=a\\", false, ""},
      {"CN=a\\x", false, ""},
      {"CN=a\\4", false, ""},
      {"CN=#", false, ""},
      {"CN=#414", false, ""},
      {"CN=#41x", false, ""},
      {"CN=a+", false, ""},
      {"1.=a", false, ""},
      {"-CN=a", false, ""},
      {"CN=\xff", false, ""},
      {"CN=\\C3", false, ""},
      {std::string("CN=a\0b", 6), false, ""},
  };
  for (const Case& c : cases) {
    DistinguishedName dn;
    EXPECT_EQ(c.valid, DistinguishedName::Parse(c.text, &dn)) << c.text;
    if (c.valid) {
      EXPECT_EQ(c.parsed, Describe(dn)) << c.text;
    }
    std::vector<std::string_view> split;
    EXPECT_EQ(c.valid, DistinguishedName::Split(c.text, &split)) << c.text;
    if (c.valid) {
      ASSERT_EQ(dn.rdns().size(), split.size()) << c.text;
      for (std::size_t i = 0; i < split.size(); ++i) {
        EXPECT_EQ(dn.rdns()[i].text, split[i]) << c.text;
      }
    }
  }
}

TEST(DistinguishedNameTest, EscapedValueReadsBackAsOneValue) {
  struct Case {
    std::string value;
    std::string escaped;
  };
  const Case cases[] = {
      {"pso2", "pso2"},
      {"Sales, East", "Sales\\, East"},
      {"a+b\"c\\d<e>f;g=h", "a\\+b\\\"c\\\\d\\<e\\>f\\;g\\=h"},
      {"#1", "\\#1"},
      {"a#1", "a#1"},
      {" lead and trail ", "\\ lead and trail\\ "},
      {" ", "\\ "},
      {std::string("a\0b", 3), "a\\00b"},
      {"Ärzte", "Ärzte"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.escaped, EscapeRdnValue(c.value)) << c.value;
    DistinguishedName dn;
    ASSERT_TRUE(DistinguishedName::Parse(
        "CN=" + EscapeRdnValue(c.value) + ",DC=x", &dn))
        << c.value;
    ASSERT_EQ(2u, dn.rdns().size()) << c.value;
    ASSERT_EQ(1u, dn.rdns()[0].attributes.size()) << c.value;
    EXPECT_EQ(c.value, dn.rdns()[0].attributes[0].value);
  }
}

TEST(DistinguishedNameTest, SameDnIgnoresCaseEscapesAndBlanks) {
  struct Case {
    std::string a;
    std::string b;
    bool same;
  };
  const Case cases[] = {
      {"CN=pso1,DC=corp", "cn=PSO1,dc=CORP", true},
      {"CN=Ärzte,DC=x", "cn=ärzte,dc=x", true},
      {"CN=Sales\\, East,DC=x", "CN=Sales\\2C East,DC=x", true},
      {"CN=\\C3\\84rzte,DC=x", "CN=ärzte,DC=x", true},
      {"CN=a , DC=x", "CN=a,DC=x", true},
      {"CN=a+OU=b,DC=x", "OU=b+CN=a,DC=x", true},
      {"CN=a,DC=x", "CN=a,DC=y", false},
      {"CN=a,DC=x", "OU=a,DC=x", false},
      {"CN=a,DC=x", "CN=a,DC=x,DC=y", false},
      {"CN=a\\,DC=x", "CN=a,DC=x", false},
      {"", "", true},
      // Texts that are no DN compare as text.
      {"not a dn", "NOT A DN", true},
      {"not a dn", "CN=a", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.same, SameDn(c.a, c.b)) << c.a << " | " << c.b;
    EXPECT_EQ(c.same, SameDn(c.b, c.a)) << c.b << " | " << c.a;
  }
}

TEST(DistinguishedNameTest, GetDNPartKeepsTypeAndEscapes) {
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

TEST(DistinguishedNameTest, DnsNameFromDcComponents) {
  EXPECT_EQ("example.com",
            DNToDNSName("CN=pso1,CN=Password Settings Container,CN=System,"
                        "DC=Example,DC=Com"));
  EXPECT_EQ("corp.example.com", DNToDNSName("DC=corp,DC=example,DC=com"));
  EXPECT_EQ("", DNToDNSName("CN=x,OU=y"));
  EXPECT_EQ("a,ou=x.b", DNToDNSName("DC=a,OU=x,DC=b"));
  EXPECT_EQ("", DNToDNSName(""));
  EXPECT_EQ("com", DNToDNSName("DC=,DC=com"));
  EXPECT_EQ("a", DNToDNSName("dc=a,dc="));
  EXPECT_EQ("", DNToDNSName("dc"));
}

TEST(DistinguishedNameTest, ReverseDn) {
  EXPECT_EQ("DC=com,DC=example,DC=corp",
            ReverseDN("DC=corp,DC=example,DC=com"));
  EXPECT_EQ("DC=com,CN=a\\,b", ReverseDN("CN=a\\,b,DC=com"));
  EXPECT_EQ("", ReverseDN(""));
}

TEST(DistinguishedNameTest, EscapeRdnValueKeepsNamesOneLevel) {
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

TEST(DistinguishedNameTest, DomainDnIsTheDnFromTheFirstDcRdnOn) {
  EXPECT_EQ("DC=corp,DC=example",
            DomainDnOf("CN=pso1,CN=Password Settings Container,CN=System,"
                       "DC=corp,DC=example"));
  EXPECT_EQ("dc=corp", DomainDnOf("dc=corp"));
  EXPECT_EQ("DC=x", DomainDnOf("CN=a\\,dc=b,DC=x"));
  EXPECT_EQ("", DomainDnOf("CN=x,OU=y"));
  EXPECT_EQ("", DomainDnOf(""));
}

TEST(DistinguishedNameTest, RenameKeepsTypeAndParentAndEscapesTheValue) {
  const std::string container = ",CN=Password Settings Container,DC=x";
  EXPECT_EQ("CN=new", RenamedRdn("CN=old" + container, "new"));
  EXPECT_EQ("CN=new" + container, RenamedDn("CN=old" + container, "new"));
  EXPECT_EQ("CN=a\\,OU\\=x" + container,
            RenamedDn("CN=b\\,c" + container, "a,OU=x"));
  EXPECT_EQ("OU=Sales\\+East,DC=x", RenamedDn("OU=a+CN=b,DC=x", "Sales+East"));
  EXPECT_EQ("CN=only", RenamedDn("CN=one", "only"));
  EXPECT_EQ("new", RenamedRdn("", "new"));
}

}  // namespace
}  // namespace talvex

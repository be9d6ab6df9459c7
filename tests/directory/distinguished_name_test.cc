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
      {"CN=pso1,CN=Password Settings Container,DC=corp",
       true,
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
      {"CN=a + OU=b,DC=x", true,
       "[CN=a + OU=b] CN=<a> OU=<b>;[DC=x] DC=<x>;"},
      {"CN=#4142,DC=x", true, "[CN=#4142] CN=<AB>;[DC=x] DC=<x>;"},
      {"2.5.4.3=x", true, "[2.5.4.3=x] 2.5.4.3=<x>;"},
      {"cn;lang-de=x", true, "[cn;lang-de=x] cn=<x>;"},
      {"CN=", true, "[CN=] CN=<>;"},
      {"CN=a=b", true, "[CN=a=b] CN=<a=b>;"},
      {"CN=Ärzte", true, "[CN=Ärzte] CN=<Ärzte>;"},
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
      EXPECT_EQ(dn.rdns().size(), split.size()) << c.text;
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

TEST(DistinguishedNameTest, DnsNameOfDomainDn) {
  struct Case {
    std::string dn;
    std::string name;
  };
  const Case cases[] = {
      {"DC=corp,DC=example,DC=com", "corp.example.com"},
      {"dc=Corp, dc=Example", "Corp.Example"},
      {"DC=x", "x"},
      {"CN=a,DC=x", ""},
      {"DC=a+DC=b", ""},
      {"DC=a,", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.name, DnsNameOfDomainDn(c.dn)) << c.dn;
  }
}

}  // namespace
}  // namespace talvex

#include "operations/object_filter.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

TEST(ObjectFilterTest, AccountNameOrPrincipalName) {
  EXPECT_EQ("|(samaccountname=jdoe)(userprincipalname=jdoe)", ObjectFilter("jdoe"));
}

TEST(ObjectFilterTest, AnyLetterCaseOfDcMakesADn) {
  EXPECT_EQ("(distinguishedName=CN=x,DC=corp)", ObjectFilter("CN=x,DC=corp"));
  EXPECT_EQ("(distinguishedName=cn=x,dC=corp)", ObjectFilter("cn=x,dC=corp"));
  // A plain substring test: an account name holding "dc=" reads as a DN.
  EXPECT_EQ("(distinguishedName=adc=1)", ObjectFilter("adc=1"));
}

TEST(ObjectFilterTest, AsteriskAndFilterCharactersAreEscaped) {
  EXPECT_EQ("|(samaccountname=\\2a)(userprincipalname=\\2a)", ObjectFilter("*"));
  EXPECT_EQ("|(samaccountname=x\\29\\28objectClass=\\2a)(userprincipalname=x\\29\\28"
            "objectClass=\\2a)",
            ObjectFilter("x)(objectClass=*"));
  EXPECT_EQ("(distinguishedName=CN=Doe\\5c, John,DC=corp)",
            ObjectFilter("CN=Doe\\, John,DC=corp"));
}

}  // namespace
}  // namespace talvex

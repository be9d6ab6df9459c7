#include "directory/ldap_filter.h"

#include <gtest/gtest.h>

#include "fakes/fake_filter.h"

namespace talvex {
namespace {

TEST(LdapFilterTest, NormalizesToOnePairAndFullParentheses) {
  EXPECT_EQ("(a=b)", NormalizeFilter("((a=b))"));
  EXPECT_EQ("(a=b)", NormalizeFilter("a=b"));
  EXPECT_EQ("(!(msDS-PSOAppliesTo=*))",
            NormalizeFilter("(!msDS-PSOAppliesTo=*)"));
  EXPECT_EQ("(systemFlags:1.2.840.113556.1.4.803:=2)",
            NormalizeFilter("((systemFlags:1.2.840.113556.1.4.803:=2))"));
  // What the PSO search hands over, wrapped once by the search layer.
  EXPECT_EQ(
      "(&(objectCategory=msDS-PasswordSettings)(!(msDS-PSOAppliesTo=*))"
      "(|(name=t*)(adminDisplayName=t*)(displayName=t*)))",
      NormalizeFilter("(&(objectCategory=msDS-PasswordSettings)"
                      "(!msDS-PSOAppliesTo=*)"
                      "(|(name=t*)(adminDisplayName=t*)(displayName=t*)))"));
  EXPECT_EQ("(&(a=b)(c=d))", NormalizeFilter("&(a=b)((c=d))"));
  // Escaped parentheses stay part of the value.
  EXPECT_EQ("(cn=a\\28b\\29)", NormalizeFilter("((cn=a\\28b\\29))"));
}

TEST(LdapFilterTest, NormalizedFiltersAreWhatLibldapAccepts) {
  for (const char* loose :
       {"((a=b))", "(!a=*)", "x=y", "(&(!a=*)((b=c)))", "(|(!(a=b))(!c=d))"}) {
    EXPECT_TRUE(FakeFilter::Parse(NormalizeFilter(loose))) << loose;
  }
}

TEST(LdapFilterTest, UnreadableFilterIsLeftForTheLibraryToRefuse) {
  EXPECT_EQ("(a=b", NormalizeFilter("(a=b"));
  EXPECT_EQ("(justtext)", NormalizeFilter("(justtext)"));
  EXPECT_EQ("(a=b)(c=d)", NormalizeFilter("(a=b)(c=d)"));
}

TEST(LdapFilterTest, EscapesUserValues) {
  EXPECT_EQ("a\\28b\\29c\\5c\\2a", EscapeFilterValue("a(b)c\\*", false));
  EXPECT_EQ("test*", EscapeFilterValue("test*", true));
  EXPECT_EQ(std::string("x\\00y"),
            EscapeFilterValue(std::string("x\0y", 3), true));
  EXPECT_EQ("plain name", EscapeFilterValue("plain name", false));
}

}  // namespace
}  // namespace talvex

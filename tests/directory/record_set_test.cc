#include "directory/record_set.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

TEST(RecordSetTest, AttributesAreFoundWithoutRegardToCaseAndByTheirRangedName) {
  const Record record = {{kDnKey, {"CN=x,DC=corp"}},
                         {"sAMAccountName", {"jdoe"}},
                         {"member;range=0-1499", {"CN=a", "CN=b"}},
                         {"memberOf", {}}};
  struct Case {
    const char* name;
    const char* first;  // nullptr: not found
  };
  for (const Case& c :
       {Case{kDnKey, "CN=x,DC=corp"}, Case{"samaccountname", "jdoe"},
        Case{"SAMACCOUNTNAME", "jdoe"}, Case{"member", "CN=a"},
        Case{"memberOf", ""}, Case{"sAMAccount", nullptr},
        Case{"mem", nullptr}}) {
    const std::vector<std::string>* values = FindAttribute(record, c.name);
    EXPECT_EQ(c.first != nullptr, values != nullptr) << c.name;
    std::string first = c.first != nullptr ? c.first : "";
    EXPECT_EQ(first, FirstAttributeValue(record, c.name)) << c.name;
    EXPECT_EQ(first, FirstValue(record, c.name)) << c.name;
  }
}

}  // namespace
}  // namespace talvex

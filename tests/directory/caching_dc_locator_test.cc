#include "directory/caching_dc_locator.h"

#include <gtest/gtest.h>

#include "fakes/fake_dc_locator.h"

namespace talvex {
namespace {

class CachingDcLocatorTest : public ::testing::Test {
 protected:
  CachingDcLocatorTest() {
    inner_.AddController("corp.example.com",
                         {.name = "dc1.corp.example.com", .site = "HQ"});
    inner_.AddController(
        "corp.example.com",
        {.name = "gc1.corp.example.com", .site = "HQ", .globalCatalog = true});
  }
  FakeDcLocator inner_;
  CachingDcLocator locator_{inner_};
};

TEST_F(CachingDcLocatorTest, SameQuestionIsAskedOnceWhateverTheLetterCase) {
  DomainControllerInfo first, second;
  EXPECT_EQ(0, locator_.Locate("", "corp.example.com", 0x21010, &first));
  EXPECT_EQ(0, locator_.Locate("", "CORP.Example.com", 0x21010, &second));
  EXPECT_EQ(1u, inner_.Calls().size());
  EXPECT_EQ("dc1.corp.example.com", second.name);
  EXPECT_EQ("HQ", second.dcSiteName);
}

TEST_F(CachingDcLocatorTest, OtherFlagsOrComputersAreOtherQuestions) {
  DomainControllerInfo info;
  locator_.Locate("", "corp.example.com", 0x21010, &info);
  EXPECT_EQ(0, locator_.Locate("", "corp.example.com", 0x21050, &info));
  EXPECT_EQ("gc1.corp.example.com", info.name);
  locator_.Locate("dc1", "corp.example.com", 0x21010, &info);
  EXPECT_EQ(3u, inner_.Calls().size());
}

TEST_F(CachingDcLocatorTest, FailuresAreKeptTooAndLeaveTheAnswerUntouched) {
  DomainControllerInfo info;
  info.name = "untouched";
  EXPECT_EQ(1355, locator_.Locate("", "nosuch.example.org", 0x21010, &info));
  EXPECT_EQ(1355, locator_.Locate("", "nosuch.example.org", 0x21010, &info));
  EXPECT_EQ(1u, inner_.Calls().size());
  EXPECT_EQ("untouched", info.name);
}

}  // namespace
}  // namespace talvex

#include "policy/governing_pso.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace talvex {
namespace {

using Dns = std::vector<std::string>;

// GUIDs whose text order and byte order disagree: the first byte of the
// stored value decides, not the first character of its text.
const std::string kLowGuid("\x01\xff\xff\xff", 4);
const std::string kHighGuid("\x80\x00\x00\x00", 4);

PsoLink Direct(const std::string& pso, std::optional<int> precedence,
               const std::string& guid = kLowGuid) {
  return {.psoDn = pso, .precedence = precedence, .guidBytes = guid};
}

PsoLink Via(const std::string& group, const std::string& pso,
            std::optional<int> precedence, bool universal = false) {
  return {.psoDn = pso,
          .groupDn = group,
          .universalGroup = universal,
          .precedence = precedence,
          .guidBytes = kLowGuid};
}

TEST(GoverningPsoTest, WinnerReasonTieAndOutranked) {
  struct Case {
    const char* name;
    std::vector<PsoLink> links;
    bool countUniversal;
    GoverningReason reason;
    std::string winner;
    std::string group;
    bool tie;
    bool undetermined;
    Dns outranked;
  } cases[] = {
      {"nothing applies",
       {},
       false,
       GoverningReason::kDomain,
       "",
       "",
       false,
       false,
       {}},
      {"a direct link beats a group's lower precedence",
       {Via("CN=g", "CN=low", 1), Direct("CN=high", 50)},
       false,
       GoverningReason::kDirect,
       "CN=high",
       "",
       false,
       false,
       {"CN=low"}},
      {"lowest precedence among groups, the group named",
       {Via("CN=g1", "CN=b", 20), Via("CN=g2", "CN=a", 10)},
       false,
       GoverningReason::kGroup,
       "CN=a",
       "CN=g2",
       false,
       false,
       {"CN=b"}},
      {"a tie goes to the lower GUID by bytes",
       {Direct("CN=x", 5, kHighGuid), Direct("CN=y", 5, kLowGuid)},
       false,
       GoverningReason::kDirect,
       "CN=y",
       "",
       true,
       false,
       {"CN=x"}},
      {"one PSO through two groups is one candidate",
       {Via("CN=g1", "CN=p", 3), Via("CN=G2", "cn=P", 3)},
       false,
       GoverningReason::kGroup,
       "CN=p",
       "CN=g1",
       false,
       false,
       {}},
      {"a universal group counts for Samba only",
       {Via("CN=u", "CN=p", 1, true)},
       false,
       GoverningReason::kDomain,
       "",
       "",
       false,
       false,
       {}},
      {"Samba's count",
       {Via("CN=u", "CN=p", 1, true), Via("CN=g", "CN=q", 2)},
       true,
       GoverningReason::kGroup,
       "CN=p",
       "CN=u",
       false,
       false,
       {"CN=q"}},
      {"one unreadable PSO alone still wins",
       {Direct("CN=hidden", std::nullopt)},
       false,
       GoverningReason::kDirect,
       "CN=hidden",
       "",
       false,
       false,
       {}},
      {"an unreadable PSO among several: undetermined",
       {Direct("CN=a", 1), Direct("CN=hidden", std::nullopt)},
       false,
       GoverningReason::kDirect,
       "",
       "",
       false,
       true,
       {"CN=a", "CN=hidden"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GoverningPso answer = DecideGoverningPso(c.links, c.countUniversal);
    EXPECT_EQ(c.reason, answer.reason);
    EXPECT_EQ(c.winner, answer.psoDn);
    EXPECT_EQ(c.group, answer.groupDn);
    EXPECT_EQ(c.tie, answer.tie);
    EXPECT_EQ(c.undetermined, answer.undetermined);
    EXPECT_EQ(c.outranked, answer.outranked);
  }
}

}  // namespace
}  // namespace talvex

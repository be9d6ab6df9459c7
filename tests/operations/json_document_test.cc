// The JSON documents of -view, -applied and -effective in a forest of
// several domains, run through the executor against the fake.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "operations/executor_fixture.h"

namespace talvex::executor_test {
namespace {

using Json = nlohmann::json;

class JsonDocumentTest : public ExecutorTest {
 protected:
  JsonDocumentTest() {
    AddDomain(kChildDc, kChildDn, kChildDns);
    client_.AddGlobalCatalog(kCorpDc);
    Output().jsonDocument = true;
    config_.json = true;
  }

  // The run's standard output parsed; nothing may go to standard error.
  Json Document() {
    RunResult run = Execute();
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_EQ('\n', run.out.back());
    return Json::parse(run.out);
  }
};

TEST_F(JsonDocumentTest, ViewListsTheForestsPoliciesInListingOrder) {
  Corp().AddPso(kCorpDn, "corp-pso", 10,
                {{"msDS-LockoutDuration", {"-9223372036854775808"}},
                 {"displayName", {"Zo\xC3\xAB \"q\"\t\\"}}});
  client_.Domain(kChildDn).AddPso(kChildDn, "child-pso", 20);
  View();
  config_.domainPolicySelected = true;
  config_.allDomainsForDomainPolicy = config_.allDomainsForPsos = true;
  config_.sortByPrecedence = 1;
  Json document = Document();

  Json head = document;
  head.erase("policies");
  EXPECT_EQ(Json::parse(R"({"formatVersion": 1, "action": "view",
      "controller": {"site": "HQ", "name": "dc1.corp.example.com"},
      "globalCatalog": {"site": "HQ", "name": "dc1.corp.example.com"},
      "domain": {"dn": "DC=corp,DC=example,DC=com", "dnsName": "corp.example.com"}})"),
            head);
  std::vector<std::string> order;
  for (const Json& policy : document["policies"]) {
    order.push_back(policy["type"].get<std::string>() + " " +
                    policy["name"].get<std::string>());
  }
  EXPECT_EQ((std::vector<std::string>{"pso child-pso", "domainPolicy child",
                                      "pso corp-pso", "domainPolicy corp"}),
            order);
  EXPECT_EQ(Json::parse(R"({"type": "pso", "domain": "corp.example.com",
      "dn": "CN=corp-pso,CN=Password Settings Container,CN=System,DC=corp,DC=example,DC=com",
      "name": "corp-pso",
      "canonicalName": "corp.example.com/System/Password Settings Container/corp-pso",
      "displayName": "Zo\u00eb \"q\"\t\\", "precedence": 10,
      "settings": {"lockoutThreshold": 0, "lockoutDurationMinutes": null,
                   "lockoutObservationWindowMinutes": 30, "minPasswordAgeDays": 1,
                   "maxPasswordAgeDays": 42, "minPasswordLength": 8,
                   "passwordHistoryLength": 24, "complexityEnabled": true,
                   "reversibleEncryptionEnabled": false}})"),
            document["policies"][2]);
  EXPECT_EQ(2147483647, document["policies"][3]["precedence"]);
}

TEST_F(JsonDocumentTest, AppliedCarriesEachSubjectsFacts) {
  std::string alice = Corp().AddUser(kUsers, "alice", kCorpDns);
  std::string bob = Corp().AddUser(kUsers, "bob", kCorpDns);
  std::string staff = Corp().AddGroup(kUsers, "staff", {bob});
  std::string low = Corp().AddPso(kCorpDn, "low", 5, {{"msDS-PSOAppliesTo", {alice}}});
  Corp().AddPso(kCorpDn, "high", 9, {{"msDS-PSOAppliesTo", {alice, staff}}});
  View();
  config_.action = ActionCode::kApplied;
  Json document = Document();

  EXPECT_EQ("applied", document["action"]);
  EXPECT_EQ(nullptr, document["globalCatalog"]);
  ASSERT_EQ(2u, document["policies"].size());
  EXPECT_EQ(Json::parse(R"([{"dn": "CN=alice,CN=Users,DC=corp,DC=example,DC=com",
      "objectType": "user", "accountName": "alice",
      "principalName": "alice@corp.example.com", "resultant": false,
      "nestedMembers": false},
     {"dn": "CN=staff,CN=Users,DC=corp,DC=example,DC=com", "objectType": "group",
      "accountName": "staff", "principalName": null, "resultant": null,
      "nestedMembers": true}])"),
            document["policies"][0]["appliedTo"]);  // high, by canonical name
  EXPECT_EQ(true, document["policies"][1]["appliedTo"][0]["resultant"]);
  EXPECT_EQ(low, document["policies"][1]["dn"]);
}

TEST_F(JsonDocumentTest, EffectiveNamesEveryPsoAndHowItApplies) {
  std::string carol = Corp().AddUser(kUsers, "carol", kCorpDns);
  std::string inner = Corp().AddGroup(kUsers, "inner", {carol});
  std::string outer = Corp().AddGroup(kUsers, "outer", {inner});
  // A membership loop must not keep the walk going.
  Corp().SetValues(outer, "member", {inner, carol});
  Corp().SetValues(inner, "member", {carol, outer});
  std::string own = Corp().AddPso(kCorpDn, "own", 30, {{"msDS-PSOAppliesTo", {carol}}});
  std::string viaOuter = Corp().AddPso(kCorpDn, "via", 10, {{"msDS-PSOAppliesTo", {outer}}});
  config_.action = ActionCode::kEffective;
  config_.effectiveUser = "carol";
  config_.dnOnly = true;  // shortens only the text answer
  Json document = Document();

  EXPECT_EQ(Json({{"dn", carol}, {"objectType", "user"}, {"accountName", "carol"},
                  {"principalName", "carol@corp.example.com"}}),
            document["user"]);
  EXPECT_EQ(Json::array({{{"dn", own}, {"through", "user"}, {"groupDn", nullptr}},
                         {{"dn", viaOuter}, {"through", "group"}, {"groupDn", outer}}}),
            document["appliedPolicies"]);
  // A PSO named by the user itself wins over those of its groups.
  EXPECT_EQ("pso", document["effectivePolicy"]["source"]);
  EXPECT_EQ(own, document["effectivePolicy"]["dn"]);
  EXPECT_EQ("own", document["effectivePolicy"]["policy"]["name"]);
  EXPECT_EQ(own, document["directoryResultantPso"]);
}

}  // namespace
}  // namespace talvex::executor_test

#include "fakes/fake_directory.h"

#include <gtest/gtest.h>

#include "fakes/fake_dc_locator.h"
#include "fakes/fake_filter.h"
#include "fakes/fake_ldap_client.h"

namespace talvex {
namespace {

bool Match(const std::string& filter,
           const std::map<std::string, std::vector<std::string>>& entry) {
  auto parsed = FakeFilter::Parse(filter);
  EXPECT_TRUE(parsed) << filter;
  if (!parsed) return false;
  return parsed->Matches([&](const std::string& name) {
    for (const auto& [key, values] : entry) {
      if (key == name) return values;
    }
    return std::vector<std::string>{};
  });
}

TEST(FakeFilterTest, RefusesWhatLibldapRefuses) {
  EXPECT_FALSE(FakeFilter::Parse("((a=b))"));
  EXPECT_FALSE(FakeFilter::Parse("(!a=*)"));
  EXPECT_FALSE(FakeFilter::Parse("a=b"));
  EXPECT_FALSE(FakeFilter::Parse("(a=b"));
  EXPECT_FALSE(FakeFilter::Parse("(a=b))"));
  EXPECT_FALSE(FakeFilter::Parse("(&(a=b)(!c=*))"));
  EXPECT_FALSE(FakeFilter::Parse("(cn=a(b)"));
  EXPECT_FALSE(FakeFilter::Parse("(cn=\\2)"));
  EXPECT_TRUE(FakeFilter::Parse("(&(a=b)(!(c=*)))"));
  EXPECT_TRUE(FakeFilter::Parse("(cn=a\\28b\\29)"));
}

TEST(FakeFilterTest, EvaluatesBooleanEqualityPresenceAndSubstrings) {
  std::map<std::string, std::vector<std::string>> pso = {
      {"name", {"TestPso"}},
      {"adminDisplayName", {"Admins"}},
      {"msDS-PSOAppliesTo", {"CN=u1,DC=x"}}};
  EXPECT_TRUE(Match("(name=testpso)", pso));
  EXPECT_TRUE(Match("(name=test*)", pso));
  EXPECT_TRUE(Match("(name=*pso)", pso));
  EXPECT_TRUE(Match("(name=t*s*o)", pso));
  EXPECT_FALSE(Match("(name=t*x*o)", pso));
  EXPECT_FALSE(Match("(name=testpsoo*)", pso));
  EXPECT_TRUE(Match("(msDS-PSOAppliesTo=*)", pso));
  EXPECT_FALSE(Match("(!(msDS-PSOAppliesTo=*))", pso));
  EXPECT_TRUE(Match("(|(name=x)(adminDisplayName=admins))", pso));
  EXPECT_FALSE(Match("(&(name=TestPso)(displayName=*))", pso));
  EXPECT_TRUE(Match("(objectClass=*)", pso));
  EXPECT_TRUE(Match("(name=Test\\50so)", pso));  // \50 is "P"
}

TEST(FakeFilterTest, BitwiseAndOrAndOrdering) {
  std::map<std::string, std::vector<std::string>> crossRef = {
      {"systemFlags", {"3"}}, {"count", {"10"}}};
  EXPECT_TRUE(Match("(systemFlags:1.2.840.113556.1.4.803:=2)", crossRef));
  EXPECT_FALSE(Match("(systemFlags:1.2.840.113556.1.4.803:=6)", crossRef));
  EXPECT_TRUE(Match("(systemFlags:1.2.840.113556.1.4.804:=6)", crossRef));
  EXPECT_TRUE(Match("(count>=9)", crossRef));
  EXPECT_FALSE(Match("(count<=9)", crossRef));
  std::map<std::string, std::vector<std::string>> negative = {
      {"systemFlags", {"-1946157056"}}};  // 0x8C000000
  EXPECT_TRUE(
      Match("(systemFlags:1.2.840.113556.1.4.803:=134217728)", negative));
}

class FakeForestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client.AddDomain("dc1.corp.example.com", "DC=corp,DC=example,DC=com");
    client.AddDomain("dc1.child.corp.example.com",
                     "DC=child,DC=corp,DC=example,DC=com");
    client.AddGlobalCatalog("dc1.corp.example.com");
  }

  std::vector<LdapEntry> Search(LdapConnection& connection,
                                const std::string& base, LdapScope scope,
                                const std::string& filter, int* code,
                                std::vector<std::string> attributes = {}) {
    LdapSearchRequest request;
    request.base = base;
    request.scope = scope;
    request.filter = filter;
    request.attributes = std::move(attributes);
    std::vector<LdapEntry> entries;
    std::string cookie;
    *code = connection.Search(request, 0, &cookie, &entries);
    return entries;
  }

  FakeLdapClient client;
};

TEST_F(FakeForestTest, ObjectCategoryMatchesClassAndBackLinksAreComputed) {
  FakeDirectory& corp = client.Domain("DC=corp,DC=example,DC=com");
  std::string user = corp.AddUser("CN=Users,DC=corp,DC=example,DC=com", "alice",
                                  "corp.example.com");
  std::string pso = corp.AddPso("DC=corp,DC=example,DC=com", "pso1", 10,
                                {{"msDS-PSOAppliesTo", {user}}});
  corp.AddPso("DC=corp,DC=example,DC=com", "pso2", 20);
  auto connection = client.Connect("dc1.corp.example.com");
  int code = -100;
  auto found = Search(
      *connection, "DC=corp,DC=example,DC=com", LdapScope::kSubtree,
      "(&(objectCategory=msDS-PasswordSettings)(msDS-PSOAppliesTo=*))", &code);
  ASSERT_EQ(0, code);
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ(pso, found[0].dn);

  auto applied = Search(*connection, "DC=corp,DC=example,DC=com",
                        LdapScope::kSubtree, "(msDS-PSOApplied=" + pso + ")",
                        &code, {"msDS-ResultantPSO", "canonicalName"});
  ASSERT_EQ(1u, applied.size());
  EXPECT_EQ(user, applied[0].dn);
  ASSERT_EQ(2u, applied[0].attributes.size());
  EXPECT_EQ("msDS-ResultantPSO", applied[0].attributes[0].name);
  EXPECT_EQ(pso, applied[0].attributes[0].values[0]);
  EXPECT_EQ("corp.example.com/Users/alice", applied[0].attributes[1].values[0]);
}

TEST_F(FakeForestTest, GlobalCatalogSpansDomainsAndRefusesWrites) {
  client.Domain("DC=corp,DC=example,DC=com")
      .AddPso("DC=corp,DC=example,DC=com", "a", 1);
  client.Domain("DC=child,DC=corp,DC=example,DC=com")
      .AddPso("DC=child,DC=corp,DC=example,DC=com", "b", 1);
  auto gc = client.Connect("DC1.corp.example.com", 3268);
  int code = -100;
  auto found = Search(*gc, "", LdapScope::kSubtree,
                      "(objectCategory=msDS-PasswordSettings)", &code);
  EXPECT_EQ(0, code);
  EXPECT_EQ(2u, found.size());
  EXPECT_EQ(53, gc->Delete(found[0].dn));

  auto dc = client.Connect("dc1.corp.example.com");
  auto cross =
      Search(*dc, "CN=Partitions,CN=Configuration,DC=corp,DC=example,DC=com",
             LdapScope::kOneLevel, "(systemFlags:1.2.840.113556.1.4.803:=2)",
             &code, {"nCName", "nETBIOSName", "dnsRoot"});
  ASSERT_EQ(2u, cross.size());
  EXPECT_EQ("CHILD", cross[1].attributes[1].values[0]);
}

TEST_F(FakeForestTest, PagesWithCookieAndHonoursSizeLimit) {
  FakeDirectory& corp = client.Domain("DC=corp,DC=example,DC=com");
  for (int i = 0; i < 7; ++i) {
    corp.AddUser("CN=Users,DC=corp,DC=example,DC=com", std::string("u").append(std::to_string(i)),
                 "corp.example.com");
  }
  auto connection = client.Connect("dc1.corp.example.com");
  LdapSearchRequest request;
  request.base = "CN=Users,DC=corp,DC=example,DC=com";
  request.scope = LdapScope::kOneLevel;
  request.filter = "(objectClass=user)";
  std::string cookie;
  std::vector<LdapEntry> entries;
  std::vector<int> pages;
  do {
    std::size_t before = entries.size();
    ASSERT_EQ(0, connection->Search(request, 3, &cookie, &entries));
    pages.push_back(static_cast<int>(entries.size() - before));
  } while (!cookie.empty());
  EXPECT_EQ((std::vector<int>{3, 3, 1}), pages);
  EXPECT_EQ("CN=u6,CN=Users,DC=corp,DC=example,DC=com", entries.back().dn);

  request.sizeLimit = 2;
  entries.clear();
  cookie.clear();
  EXPECT_EQ(4, connection->Search(request, 0, &cookie, &entries));
  EXPECT_EQ(2u, entries.size());
}

TEST_F(FakeForestTest, ModificationCodesAsSambaGivesThem) {
  FakeDirectory& corp = client.Domain("DC=corp,DC=example,DC=com");
  std::string user = corp.AddUser("CN=Users,DC=corp,DC=example,DC=com", "bob",
                                  "corp.example.com");
  std::string pso = corp.AddPso("DC=corp,DC=example,DC=com", "p", 5);
  auto connection = client.Connect("dc1.corp.example.com");
  using Op = LdapModOp;
  EXPECT_EQ(0,
            connection->Modify(pso, {{Op::kAdd, "msDS-PSOAppliesTo", {user}}}));
  EXPECT_EQ(20,
            connection->Modify(pso, {{Op::kAdd, "msDS-PSOAppliesTo", {user}}}));
  EXPECT_EQ(
      19, connection->Modify(pso, {{Op::kAdd,
                                    "msDS-PSOAppliesTo",
                                    {"CN=nobody,DC=corp,DC=example,DC=com"}}}));
  EXPECT_EQ(16, connection->Modify(pso, {{Op::kDelete, "description", {"x"}}}));
  EXPECT_EQ(65, connection->Modify(
                    pso, {{Op::kDelete, "msDS-LockoutThreshold", {}}}));
  EXPECT_EQ(65, connection->Add(
                    "CN=q,CN=Password Settings Container,CN=System,"
                    "DC=corp,DC=example,DC=com",
                    {{Op::kAdd, "objectClass", {"msDS-PasswordSettings"}}}));
  EXPECT_EQ(66, connection->Delete("CN=Users,DC=corp,DC=example,DC=com"));
  EXPECT_EQ(0, connection->Rename(pso, "CN=renamed", true));
  std::string renamed =
      "CN=renamed,CN=Password Settings "
      "Container,CN=System,DC=corp,DC=example,DC=com";
  EXPECT_EQ("renamed", corp.FirstValue(renamed, "name"));
  EXPECT_EQ(std::vector<std::string>{renamed},
            corp.Values(user, "msDS-PSOApplied"));
  EXPECT_EQ(32, connection->Delete(pso));
  EXPECT_FALSE(connection->DiagnosticMessage().empty());
  EXPECT_EQ(0, connection->Delete(user));
  EXPECT_TRUE(corp.Values(renamed, "msDS-PSOAppliesTo").empty());
}

TEST_F(FakeForestTest, BindsFailuresAndLog) {
  client.Domain("DC=corp,DC=example,DC=com")
      .AddAccount({"CORP\\alice", "alice@corp.example.com"}, "secret");
  int error = 0;
  auto connection = client.Initialize("dc1.corp.example.com", 389, LdapTls::kNone, &error);
  ASSERT_TRUE(connection);
  int code = -100;
  Search(*connection, "DC=corp,DC=example,DC=com", LdapScope::kBase,
         "(objectClass=*)", &code);
  EXPECT_EQ(1, code);  // a bind comes first
  EXPECT_EQ(49, connection->SimpleBind("alice@corp.example.com", "wrong"));
  EXPECT_EQ(kFakeBadPasswordDiagnostic, connection->DiagnosticMessage());
  EXPECT_EQ(0, connection->SimpleBind("corp\\ALICE", "secret"));

  client.FailNext(FakeOp::kSearch, 51, "busy", 1);
  Search(*connection, "", LdapScope::kBase, "(objectClass=*)", &code);
  EXPECT_EQ(0, code);
  Search(*connection, "", LdapScope::kBase, "(objectClass=*)", &code);
  EXPECT_EQ(51, code);
  EXPECT_EQ("busy", connection->DiagnosticMessage());
  EXPECT_EQ(3, client.Count(FakeOp::kSearch));
  EXPECT_EQ("dc1.corp.example.com", client.Last(FakeOp::kSearch).host);

  EXPECT_FALSE(client.Initialize("nowhere.example.com", 389, LdapTls::kNone, &error));
  EXPECT_EQ(-1, error);
  EXPECT_EQ("Can't contact LDAP server", client.ErrorText(-1));
  EXPECT_EQ("Invalid credentials", client.ErrorText(49));
}

TEST(FakeDcLocatorTest, FlagsChooseTheController) {
  FakeDcLocator locator;
  locator.AddController("corp.example.com",
                        {.name = "rodc.corp.example.com", .writable = false});
  locator.AddController("corp.example.com", {.name = "dc2.corp.example.com"});
  locator.AddController(
      "corp.example.com",
      {.name = "dc1.corp.example.com", .site = "HQ", .globalCatalog = true});
  locator.AddDomainAlias("CORP", "corp.example.com");
  DomainControllerInfo info;
  EXPECT_EQ(0, locator.Locate("", "corp.example.com", 0x21010, &info));
  EXPECT_EQ("dc2.corp.example.com", info.name);
  EXPECT_EQ(0, locator.Locate("", "Corp", 0x11010, &info));
  EXPECT_EQ("dc2.corp.example.com", info.name);
  EXPECT_EQ(0, locator.Locate("", "corp.example.com", 0x21050, &info));
  EXPECT_EQ("dc1.corp.example.com", info.name);
  EXPECT_EQ("HQ", info.dcSiteName);
  EXPECT_EQ(0, locator.Locate("DC1", "corp.example.com", 0x21010, &info));
  EXPECT_EQ("dc1.corp.example.com", info.name);
  EXPECT_EQ(1355, locator.Locate("", "other.example.com", 0x21010, &info));
  EXPECT_EQ("", info.name);
  ASSERT_EQ(5u, locator.Calls().size());
  EXPECT_EQ(0x21050u, locator.Calls()[2].flags);
}

}  // namespace
}  // namespace talvex

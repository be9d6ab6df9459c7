#include "policy/pso_retrieval.h"

#include <gtest/gtest.h>

#include "output_capture.h"
#include "policy/policy_display.h"
#include "policy/retrieval_fixture.h"

namespace talvex {
namespace {

constexpr char kClass[] = "&(objectCategory=msDS-PasswordSettings)";

TEST(PsoFilterTest, ClassPartBySelection) {
  EXPECT_EQ(kClass, BuildPsoFilter({}));
  EXPECT_EQ(std::string(kClass) + "(msDS-PSOAppliesTo=*)",
            BuildPsoFilter({.name = "", .usedOnly = true}));
  EXPECT_EQ(std::string(kClass) + "(!msDS-PSOAppliesTo=*)",
            BuildPsoFilter({.name = "", .unusedOnly = true}));
  // Both flags: the unused row applies.
  EXPECT_EQ(std::string(kClass) + "(!msDS-PSOAppliesTo=*)",
            BuildPsoFilter({.name = "", .usedOnly = true, .unusedOnly = true}));
}

TEST(PsoFilterTest, NamePartByNameOrDn) {
  EXPECT_EQ(std::string(kClass) +
                "(|(name=test)(adminDisplayName=test)(displayName=test))",
            BuildPsoFilter({.name = "test"}));
  EXPECT_EQ(std::string(kClass) +
                "(msDS-PSOAppliesTo=*)(|(name=test*)(adminDisplayName=test*)"
                "(displayName=test*))",
            BuildPsoFilter({.name = "test*", .usedOnly = true}));
  const std::string dn =
      "CN=p1,CN=Password Settings Container,CN=System,dc=corp,dc=example,"
      "dc=com";
  EXPECT_EQ(std::string(kClass) + "(distinguishedName=" + dn + ")",
            BuildPsoFilter({.name = dn}));
  // A DN is taken literally, a "*" in it included.
  EXPECT_EQ(std::string(kClass) + "(distinguishedName=CN=a\\2a,DC=corp)",
            BuildPsoFilter({.name = "CN=a*,DC=corp"}));
  // A plain substring test: ADC=1 counts as a DN.
  EXPECT_EQ(std::string(kClass) + "(distinguishedName=ADC=1)",
            BuildPsoFilter({.name = "ADC=1"}));
}

TEST(PsoFilterTest, NameCannotChangeTheFilterStructure) {
  EXPECT_EQ(std::string(kClass) +
                "(|(name=x\\29\\28objectClass=*)(adminDisplayName=x\\29\\28"
                "objectClass=*)(displayName=x\\29\\28objectClass=*))",
            BuildPsoFilter({.name = "x)(objectClass=*"}));
  EXPECT_EQ(
      std::string(kClass) + "(distinguishedName=CN=Smith\\5c, Jo,DC=corp\\00)",
      BuildPsoFilter({.name = std::string("CN=Smith\\, Jo,DC=corp") + '\0'}));
}

class PsoRetrievalTest : public RetrievalTest {
 protected:
  void SetUpCorp() {
    FakeDirectory& corp = AddDomain(kCorpDc, kCorpDn, "corp.example.com");
    corp.AddPso(kCorpDn, "test1", 10);
    corp.AddPso(kCorpDn, "test2", 20,
                {{"displayName", {"Second"}},
                 {"msDS-PSOAppliesTo", {"CN=Users," + std::string(kCorpDn)}}});
    corp.AddPso(kCorpDn, "other", 30, {{"adminDisplayName", {"test"}}});
  }

  bool Read(LdapConnection& connection, const std::string& base,
            bool globalCatalog, const PsoSelection& selection) {
    OutputCapture capture;
    bool ok = GetPSOs(access_, &policies_, connection, base, globalCatalog,
                      selection, &ldapError_, &systemError_);
    capture.Stop();
    output_ = capture.Stdout();
    return ok;
  }

  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    for (const auto& [key, record] : policies_) keys.push_back(key);
    return keys;
  }

  static std::string Key(const std::string& name, const std::string& domain) {
    return "cn=" + name + ",cn=password settings container,cn=system," + domain;
  }

  PolicyList policies_;
  int ldapError_ = -99;
  int systemError_ = -99;
  std::string output_;
};

TEST_F(PsoRetrievalTest, AllPsosUnderTheBase) {
  SetUpCorp();
  ASSERT_TRUE(Read(MainConnection(kCorpDc), kCorpDn, false, {}));
  EXPECT_EQ(0, ldapError_);
  EXPECT_EQ(0, systemError_);
  const std::string corp = "dc=corp,dc=example,dc=com";
  EXPECT_EQ((std::vector<std::string>{Key("other", corp), Key("test1", corp),
                                      Key("test2", corp)}),
            Keys());
  FakeRequest search = client_.Last(FakeOp::kSearch);
  EXPECT_EQ("(&(objectCategory=msDS-PasswordSettings))", search.search.filter);
  EXPECT_EQ(kCorpDn, search.search.base);
  EXPECT_EQ(LdapScope::kSubtree, search.search.scope);
  EXPECT_EQ(100, search.pageSize);
  EXPECT_EQ(14u, search.search.attributes.size());

  const PolicyRecord& test2 = policies_.at(Key("test2", corp));
  EXPECT_TRUE(test2.isPSO());
  EXPECT_EQ("test2", test2.name());
  EXPECT_EQ("Second", test2.displayName());
  // The admin display name was not set on the PSO: it stays the one that
  // the DN gave.
  EXPECT_EQ("test2", test2.adminDisplayName());
  EXPECT_EQ("corp.example.com", test2.domain());
  EXPECT_EQ("corp.example.com/System/Password Settings Container/test2",
            test2.canonicalName());
  EXPECT_EQ(20, test2.precedence());
  EXPECT_EQ(30, test2.Value(SettingId::kLockoutDuration));
  EXPECT_EQ(30, test2.Value(SettingId::kLockoutObservation));
  EXPECT_EQ(0, test2.Value(SettingId::kLockoutThreshold));
  EXPECT_EQ(42, test2.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(1, test2.Value(SettingId::kMinPwdAge));
  EXPECT_EQ(8, test2.Value(SettingId::kMinPwdLength));
  EXPECT_EQ(24, test2.Value(SettingId::kPwdHistory));
  EXPECT_TRUE(test2.complexity());
  EXPECT_FALSE(test2.reversible());
}

// Settings the entry lacks or holds as no number are shown as such, with
// one warning, never as 0, FALSE or a clamped number.
TEST_F(PsoRetrievalTest, UnsetAndInvalidSettingsAreShownAsSuch) {
  FakeDirectory& corp = AddDomain(kCorpDc, kCorpDn, "corp.example.com");
  std::string dn =
      corp.AddPso(kCorpDn, "odd", 10,
                  {{"msDS-LockoutThreshold", {"99999999999"}},
                   {"msDS-MinimumPasswordLength", {"abc"}},
                   {"msDS-PasswordComplexityEnabled", {"maybe"}},
                   {"msDS-LockoutDuration", {"-18000000000\x1b"}}});
  corp.SetValues(dn, "msDS-PasswordHistoryLength", {});
  corp.SetValues(dn, "msDS-PasswordSettingsPrecedence", {});
  ASSERT_TRUE(Read(MainConnection(kCorpDc), kCorpDn, false, {}));
  const PolicyRecord& odd = policies_.begin()->second;
  OutputCapture capture;
  DisplayPolicy(odd, "");
  WarnUnsetOrInvalidSettings({&odd});
  capture.Stop();
  EXPECT_EQ(
      "    Type               : Policy Settings Object\n"
      "    Domain             : corp.example.com\n"
      "    Policy Precedence  : (unset)\n"
      "    DN                 : " +
          dn +
          "\n"
          "    Name               : odd\n"
          "    Canonical Name     : corp.example.com/System/Password Settings "
          "Container/odd\n"
          "    Display Name       : odd\n"
          "    Lockout Threshold  : (invalid: 99999999999)\n"
          "    Lockout Duration   : (invalid: -18000000000\\x1b)\n"
          "    Lockout Observation: 30\n"
          "    Min Pwd Age        : 1\n"
          "    Max Pwd Age        : 42\n"
          "    Min Pwd Length     : (invalid: abc)\n"
          "    Pwd History        : (unset)\n"
          "    Pwd Complexity     : (invalid: maybe)\n"
          "    Pwd Reversible     : FALSE\n"
          "WARN:\n"
          "WARN: Settings shown as (unset) are missing from the directory "
          "entry, settings\n"
          "WARN: shown as (invalid: ...) hold text that is not a value of the "
          "setting.\n"
          "WARN: Every PSO holds all its settings: the account of this bind "
          "lacks the rights\n"
          "WARN: to read them (PSOs are readable by domain administrators "
          "only).\n"
          "WARN:\n",
      capture.Stdout());
  // A record read whole warns of nothing.
  corp.AddPso(kCorpDn, "plain", 20);
  policies_.clear();
  ASSERT_TRUE(Read(MainConnection(kCorpDc), kCorpDn, false, {.name = "plain"}));
  OutputCapture none;
  WarnUnsetOrInvalidSettings({&policies_.begin()->second});
  none.Stop();
  EXPECT_EQ("", none.Stdout());
}

TEST_F(PsoRetrievalTest, SelectionByNameDisplayNameWildcardAndDn) {
  SetUpCorp();
  LdapConnection& connection = MainConnection(kCorpDc);
  const std::string corp = "dc=corp,dc=example,dc=com";
  const struct {
    PsoSelection selection;
    std::vector<std::string> keys;
  } cases[] = {
      // "other" has the admin display name test.
      {{.name = "test"}, {Key("other", corp)}},
      {{.name = "Second"}, {Key("test2", corp)}},
      {{.name = "test*"},
       {Key("other", corp), Key("test1", corp), Key("test2", corp)}},
      {{.name = "test?"}, {}},
      {{.name = "CN=test1,CN=Password Settings Container,CN=System,"
                "dc=corp,dc=example,dc=com"},
       {Key("test1", corp)}},
      {{.name = "", .usedOnly = true}, {Key("test2", corp)}},
      {{.name = "", .unusedOnly = true},
       {Key("other", corp), Key("test1", corp)}},
      {{.name = "test*", .unusedOnly = true},
       {Key("other", corp), Key("test1", corp)}},
      // Escaped: no PSO has this name, and the text cannot widen the filter.
      {{.name = "x)(objectClass=*"}, {}},
      {{.name = "*)(name=*"}, {}},
  };
  for (const auto& c : cases) {
    policies_.clear();
    ASSERT_TRUE(Read(connection, kCorpDn, false, c.selection))
        << c.selection.name;
    EXPECT_EQ(c.keys, Keys()) << c.selection.name;
  }
  // The unused filter reaches the server in a form the library accepts.
  policies_.clear();
  ASSERT_TRUE(
      Read(connection, kCorpDn, false, {.name = "", .unusedOnly = true}));
  EXPECT_EQ("(&(objectCategory=msDS-PasswordSettings)(!(msDS-PSOAppliesTo=*)))",
            client_.Last(FakeOp::kSearch).search.filter);
}

TEST_F(PsoRetrievalTest, DebugShowsPlainDnLinesAndTheDump) {
  SetUpCorp();
  Output().debugLevel = 1;
  ASSERT_TRUE(Read(MainConnection(kCorpDc), kCorpDn, false, {.name = "test1"}));
  const std::string dn =
      "CN=test1,CN=Password Settings Container,CN=System,DC=corp,DC=example,"
      "DC=com";
  EXPECT_EQ("  DN: " + dn + "\n" +
                "DEBUG: Password Settings Object\n"
                "DEBUG:   PSO                : TRUE\n"
                "DEBUG:   Domain             : corp.example.com\n"
                "DEBUG:   DN                 : " +
                dn + "\n" +
                "DEBUG:   Name               : test1\n"
                "DEBUG:   Canonical Name     : corp.example.com/System/"
                "Password Settings Container/test1\n"
                "DEBUG:   Display Name       : test1\n"
                "DEBUG:   Admin Display Name : test1\n"
                "DEBUG:   Lockout Duration   : 30\n"
                "DEBUG:   Lockout Observation: 30\n"
                "DEBUG:   Lockout Threshold  : 0\n"
                "DEBUG:   Max Pwd Age        : 42\n"
                "DEBUG:   Min Pwd Age        : 1\n"
                "DEBUG:   Min Pwd Length     : 8\n"
                "DEBUG:   Pwd Complexity     : TRUE\n"
                "DEBUG:   Pwd History        : 24\n"
                "DEBUG:   Pwd Reversible     : FALSE\n"
                "DEBUG:   Policy Precedence  : 10\n",
            output_);

  Output().debugLevel = 5;
  policies_.clear();
  ASSERT_TRUE(Read(MainConnection(kCorpDc), kCorpDn, false, {.name = "zz"}));
  EXPECT_NE(std::string::npos,
            output_.find("DEBUG: GetPSOs Query:\n"
                         "DEBUG:   Base  : DC=corp,DC=example,DC=com\n"
                         "DEBUG:   Filter: &(objectCategory=msDS-"
                         "PasswordSettings)(|(name=zz)(adminDisplayName=zz)"
                         "(displayName=zz))\n"));
}

TEST_F(PsoRetrievalTest, SearchFailureGivesTheLdapCode) {
  SetUpCorp();
  LdapConnection& connection = MainConnection(kCorpDc);
  client_.FailNext(FakeOp::kSearch, ldap_result::kNoSuchObject);
  EXPECT_FALSE(Read(connection, kCorpDn, false, {}));
  EXPECT_EQ(32, ldapError_);
  EXPECT_EQ(0, systemError_);
  EXPECT_TRUE(policies_.empty());
}

TEST_F(PsoRetrievalTest, ManyPagesEnterEveryPsoAndShowThemInServerOrder) {
  SetUpCorp();
  FakeDirectory& corp = client_.Domain(kCorpDn);
  for (int i = 0; i < 250; ++i) {
    corp.AddPso(kCorpDn, "bulk" + std::to_string(1000 + i), 1000 + i);
  }
  Output().debugLevel = 1;
  ASSERT_TRUE(Read(MainConnection(kCorpDc), kCorpDn, false, {}));
  EXPECT_EQ(3, client_.PageCount());
  EXPECT_EQ(253u, policies_.size());
  const std::string corpDn = "dc=corp,dc=example,dc=com";
  const PolicyRecord& last = policies_.at(Key("bulk1249", corpDn));
  EXPECT_EQ(1249, last.precedence());
  EXPECT_EQ("bulk1249", last.name());
  EXPECT_EQ("corp.example.com", last.domain());
  // One "  DN: " line per PSO, in the order the server returned them.
  std::vector<std::string> shown;
  for (std::size_t at = output_.find("  DN: CN="); at != std::string::npos;
       at = output_.find("  DN: CN=", at + 1)) {
    shown.push_back(output_.substr(at + 9, output_.find(',', at) - at - 9));
  }
  ASSERT_EQ(253u, shown.size());
  EXPECT_EQ("test1", shown[0]);
  EXPECT_EQ("bulk1000", shown[3]);
  EXPECT_EQ("bulk1249", shown[252]);
}

TEST_F(PsoRetrievalTest, LaterPageFailureEntersAndShowsNothing) {
  SetUpCorp();
  FakeDirectory& corp = client_.Domain(kCorpDn);
  for (int i = 0; i < 150; ++i) {
    corp.AddPso(kCorpDn, "bulk" + std::to_string(1000 + i), 1000 + i);
  }
  PolicyRecord earlier;
  earlier.SetDN("DC=corp,DC=example,DC=com");
  policies_["dc=corp,dc=example,dc=com"] = earlier;
  Output().debugLevel = 1;
  client_.FailNext(FakeOp::kSearch, ldap_result::kUnwillingToPerform, "", 1);
  EXPECT_FALSE(Read(MainConnection(kCorpDc), kCorpDn, false, {}));
  EXPECT_EQ(ldap_result::kUnwillingToPerform, ldapError_);
  EXPECT_EQ(2, client_.PageCount());
  // The first page was read, but the policy list holds only what it held
  // before, and no PSO was shown.
  EXPECT_EQ((std::vector<std::string>{"dc=corp,dc=example,dc=com"}), Keys());
  EXPECT_EQ("", output_);
}

class GlobalCatalogPsoTest : public PsoRetrievalTest {
 protected:
  // Two domains; the global catalog on the corp controller carries only a
  // few attributes of the PSOs, as a real one does not carry them all.
  void SetUpForest() {
    SetUpCorp();
    FakeDirectory& child =
        AddDomain(kChildDc, kChildDn, "child.corp.example.com");
    child.AddPso(kChildDn, "childpso", 5,
                 {{"msDS-MinimumPasswordLength", {"14"}}});
    child.AddPso(kChildDn, "childpso2", 6);
    client_.AddGlobalCatalog(kCorpDc, {"objectClass", "objectCategory", "cn",
                                       "name", "distinguishedName"});
    MainConnection(kCorpDc);
    gc_ = client_.Connect(kCorpDc, 3268);
    client_.ClearLog();
  }

  std::unique_ptr<LdapConnection> gc_;
};

TEST_F(GlobalCatalogPsoTest, EachPsoIsReadAgainFromItsOwnDomain) {
  SetUpForest();
  ASSERT_TRUE(Read(*gc_, "", true, {}));
  const std::string corp = "dc=corp,dc=example,dc=com";
  const std::string child = "dc=child,dc=corp,dc=example,dc=com";
  EXPECT_EQ((std::vector<std::string>{
                Key("childpso", child), Key("childpso2", child),
                Key("other", corp), Key("test1", corp), Key("test2", corp)}),
            Keys());
  // The settings come from the domain controllers, not the catalog.
  EXPECT_EQ(
      14, policies_.at(Key("childpso", child)).Value(SettingId::kMinPwdLength));
  EXPECT_EQ(5, policies_.at(Key("childpso", child)).precedence());
  EXPECT_EQ("child.corp.example.com",
            policies_.at(Key("childpso", child)).domain());
  EXPECT_EQ(20, policies_.at(Key("test2", corp)).precedence());

  // One forest-wide search of the catalog, then one base read per PSO on
  // the writable controller of the PSO's domain.
  std::vector<FakeRequest> searches = client_.Requests(FakeOp::kSearch);
  ASSERT_EQ(6u, searches.size());
  EXPECT_EQ(3268, searches[0].port);
  EXPECT_EQ("", searches[0].search.base);
  for (std::size_t i = 1; i < searches.size(); ++i) {
    EXPECT_EQ(LdapScope::kBase, searches[i].search.scope);
    const bool inChild =
        searches[i].search.base.find("DC=child") != std::string::npos;
    EXPECT_EQ(inChild ? kChildDc : kCorpDc, searches[i].host)
        << searches[i].search.base;
    EXPECT_EQ(389, searches[i].port);
  }
  // The corp controller's connection was reused from the cache.
  std::vector<std::string> bound;
  for (const FakeRequest& request : client_.Requests()) {
    if (request.kind == FakeOp::kSimpleBind ||
        request.kind == FakeOp::kNegotiateBind) {
      bound.push_back(request.host);
    }
  }
  EXPECT_EQ((std::vector<std::string>{kChildDc}), bound);
  for (const FakeLocateCall& call : locator_.Calls()) {
    EXPECT_EQ(0x21010u, call.flags);
  }
}

TEST_F(GlobalCatalogPsoTest, LocatorFailureEndsTheRetrieval) {
  SetUpForest();
  // The child domain's controller cannot be located.
  locator_.SetAnswer("", "child.corp.example.com",
                     locator_error::kNoSuchDomain);
  EXPECT_FALSE(Read(*gc_, "", true, {}));
  EXPECT_EQ(locator_error::kNoSuchDomain, systemError_);
  EXPECT_EQ(0, ldapError_);
}

TEST_F(GlobalCatalogPsoTest, ReReadFailureGivesTheLdapCode) {
  SetUpForest();
  client_.FailOnDn(FakeOp::kSearch,
                   "CN=childpso2,CN=Password Settings Container,CN=System," +
                       std::string(kChildDn),
                   ldap_result::kInsufficientAccess);
  EXPECT_FALSE(Read(*gc_, "", true, {}));
  EXPECT_EQ(50, ldapError_);
  EXPECT_EQ(0, systemError_);
  // PSOs read before the failure stay in the list.
  EXPECT_FALSE(policies_.empty());
  EXPECT_EQ(0u, policies_.count(
                    Key("childpso2", "dc=child,dc=corp,dc=example,dc=com")));
}

TEST_F(GlobalCatalogPsoTest, BindFailureOnAnotherDomainGivesTheLdapCode) {
  SetUpForest();
  client_.FailBind(kChildDc, ldap_result::kInvalidCredentials);
  EXPECT_FALSE(Read(*gc_, "", true, {}));
  EXPECT_EQ(49, ldapError_);
  EXPECT_EQ(0, systemError_);
}

}  // namespace
}  // namespace talvex

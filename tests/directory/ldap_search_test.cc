#include "directory/ldap_search.h"

#include <gtest/gtest.h>

#include "directory/binary_attribute_tables.h"
#include "fakes/fake_ldap_client.h"
#include "output_capture.h"

namespace talvex {
namespace {

constexpr char kDomain[] = "DC=corp,DC=example,DC=com";
constexpr char kUsers[] = "CN=Users,DC=corp,DC=example,DC=com";

class LdapSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillBinaryAttributeTables();
    directory = &client.AddDomain("dc1.corp.example.com", kDomain);
    connection = client.Connect("dc1.corp.example.com");
    client.ClearLog();
  }

  FakeLdapClient client;
  FakeDirectory* directory = nullptr;
  std::unique_ptr<LdapConnection> connection;
};

TEST_F(LdapSearchTest, ScopeKeywords) {
  struct Case {
    const char* scope;
    LdapScope expected;
    const char* filter;
  };
  const Case cases[] = {
      {"BASE", LdapScope::kBase, "(objectclass=*)"},
      {"Base", LdapScope::kBase, "(objectclass=*)"},
      {"OneLevel", LdapScope::kOneLevel, "(objectClass=user)"},
      {"baseone", LdapScope::kOneLevel, "(objectclass=*)"},
      {"subtree", LdapScope::kSubtree, "(objectClass=user)"},
      {"sub", LdapScope::kSubtree, "(objectClass=user)"},
      {"", LdapScope::kSubtree, "(objectClass=user)"},
      {"whatever", LdapScope::kSubtree, "(objectClass=user)"},
  };
  for (const auto& c : cases) {
    RecordSet records;
    LdapGetRecs(*connection, kDomain, c.scope, "objectClass=user", {}, {},
                {.pageSize = 100}, &records);
    FakeRequest request = client.Last(FakeOp::kSearch);
    EXPECT_EQ(c.expected, request.search.scope) << c.scope;
    EXPECT_EQ(c.filter, request.search.filter) << c.scope;
  }
}

TEST_F(LdapSearchTest, FilterIsWrappedAndNormalizedForTheLibrary) {
  RecordSet records;
  // Handed over with its parentheses, it is wrapped once more: the doubled
  // pair is reduced to one, which libldap (and the fake) accept.
  EXPECT_EQ(0, LdapGetRecs(*connection,
                           "CN=Partitions,CN=Configuration,DC=corp,"
                           "DC=example,DC=com",
                           "one", "(systemFlags:1.2.840.113556.1.4.803:=2)",
                           {"nCName"}, {}, {.pageSize = 10}, &records));
  EXPECT_EQ("(systemFlags:1.2.840.113556.1.4.803:=2)",
            client.Last(FakeOp::kSearch).search.filter);
  EXPECT_EQ(1u, records.size());

  directory->AddPso(kDomain, "used", 1, {{"msDS-PSOAppliesTo", {kUsers}}});
  directory->AddPso(kDomain, "unused", 2);
  records.clear();
  EXPECT_EQ(0,
            LdapGetRecs(
                *connection, kDomain, "subtree",
                "&(objectCategory=msDS-PasswordSettings)(!msDS-PSOAppliesTo=*)",
                {}, {}, {.pageSize = 100}, &records));
  EXPECT_EQ("(&(objectCategory=msDS-PasswordSettings)(!(msDS-PSOAppliesTo=*)))",
            client.Last(FakeOp::kSearch).search.filter);
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("unused", FirstValue(records[0], "name"));
}

TEST_F(LdapSearchTest, PagesUntilTheCookieIsEmpty) {
  for (int i = 0; i < 250; ++i) {
    directory->AddUser(kUsers, "user" + std::to_string(i), "corp.example.com");
  }
  ScopedOutputSettings settings(5);
  OutputCapture capture;
  RecordSet records;
  int code = LdapGetRecs(*connection, kUsers, "one", "objectClass=user",
                         {"sAMAccountName"}, {}, {.pageSize = 100}, &records);
  capture.Stop();
  EXPECT_EQ(0, code);
  ASSERT_EQ(250u, records.size());
  EXPECT_EQ("user249", FirstValue(records[249], "sAMAccountName"));
  EXPECT_EQ("CN=user0,CN=Users,DC=corp,DC=example,DC=com",
            FirstValue(records[0], "_dn"));
  EXPECT_EQ(3, client.PageCount());
  auto pages = client.Requests(FakeOp::kSearch);
  EXPECT_EQ("", pages[0].cookie);
  EXPECT_NE("", pages[1].cookie);
  EXPECT_EQ(100, pages[2].pageSize);
  EXPECT_NE(std::string::npos,
            capture.Stdout().find("DEBUG: Exiting LdapGetRecs - 250 - 0\n"));
}

TEST_F(LdapSearchTest, FailedPagesAndSizeLimit) {
  for (int i = 0; i < 5; ++i) {
    directory->AddUser(kUsers, std::string("u").append(std::to_string(i)),
                       "corp.example.com");
  }
  RecordSet records;
  // A later page fails: the records read so far stay, its code comes back.
  client.FailNext(FakeOp::kSearch, 51, "", 1);
  EXPECT_EQ(51, LdapGetRecs(*connection, kUsers, "one", "objectClass=user", {},
                            {}, {.pageSize = 2}, &records));
  EXPECT_EQ(2u, records.size());
  // A search that cannot be started is a failure, not an empty success.
  records.clear();
  EXPECT_EQ(32, LdapGetRecs(*connection, "CN=Nowhere,DC=corp,DC=example,DC=com",
                            "subtree", "objectClass=*", {}, {},
                            {.pageSize = 100}, &records));
  EXPECT_TRUE(records.empty());
  // The size limit gives 4 together with the records within it.
  EXPECT_EQ(4, LdapGetRecs(*connection, kUsers, "one", "objectClass=user", {},
                           {}, {.pageSize = 100, .sizeLimit = 3}, &records));
  EXPECT_EQ(3u, records.size());
  EXPECT_EQ(3, client.Last(FakeOp::kSearch).search.sizeLimit);
}

TEST_F(LdapSearchTest, RecPagesHandsOverEachPageAsItArrives) {
  for (int i = 0; i < 5; ++i) {
    directory->AddUser(kUsers, std::string("u").append(std::to_string(i)),
                       "corp.example.com");
  }
  ScopedOutputSettings settings(5);
  OutputCapture capture;
  std::vector<std::vector<std::string>> pages;
  auto collect = [&](RecordSet& page) {
    // Each page arrives once its request has been answered, before the
    // next one is asked for.
    EXPECT_EQ(static_cast<int>(pages.size()) + 1, client.PageCount());
    std::vector<std::string>& names = pages.emplace_back();
    for (Record& record : page) {
      names.push_back(FirstValue(record, "sAMAccountName"));
      EXPECT_EQ("CN=" + names.back() + "," + kUsers, FirstValue(record, "_dn"));
    }
  };
  EXPECT_EQ(0,
            LdapGetRecPages(*connection, kUsers, "one", "objectClass=user",
                            {"sAMAccountName"}, {}, {.pageSize = 2}, collect));
  capture.Stop();
  EXPECT_EQ((std::vector<std::vector<std::string>>{
                {"u0", "u1"}, {"u2", "u3"}, {"u4"}}),
            pages);
  // The same request and debug lines as LdapGetRecs.
  EXPECT_NE(std::string::npos,
            capture.Stdout().find("DEBUG: LdapGetRec:\n"
                                  "DEBUG:        Base  : " +
                                  std::string(kUsers) + "\n"));
  EXPECT_NE(std::string::npos,
            capture.Stdout().find("DEBUG: Exiting LdapGetRecs - 5 - 0\n"));

  // A later page fails: the pages before it have been handed over, the
  // failed one is not, and its code comes back.
  pages.clear();
  client.ClearLog();
  client.FailNext(FakeOp::kSearch, 51, "", 1);
  EXPECT_EQ(51,
            LdapGetRecPages(*connection, kUsers, "one", "objectClass=user",
                            {"sAMAccountName"}, {}, {.pageSize = 2}, collect));
  EXPECT_EQ((std::vector<std::vector<std::string>>{{"u0", "u1"}}), pages);
}

// A paged search that never ends (the same page again, or empty pages
// without end) is given up with the local error and a report naming the
// server and the search; the pages before it stay handed over.
TEST_F(LdapSearchTest, PagingThatNeverEndsIsGivenUp) {
  for (int i = 0; i < 5; ++i) {
    directory->AddUser(kUsers, "u" + std::to_string(i), "corp.example.com");
  }
  const struct {
    FakeLie lie;
    int pages;
    std::size_t records;
    const char* problem;
  } cases[] = {
      {FakeLie::kRepeatedPages, 2, 2,
       "sent a page it had sent before (the same paging cookie)"},
      {FakeLie::kEmptyPages, 100, 0, "sent 100 pages without entries in a row"},
  };
  for (const auto& c : cases) {
    client.Lie(c.lie);
    client.ClearLog();
    OutputCapture capture;
    RecordSet records;
    EXPECT_EQ(ldap_result::kLocalError,
              LdapGetRecs(*connection, kUsers, "one", "objectClass=user", {},
                          {}, {.pageSize = 2}, &records));
    capture.Stop();
    EXPECT_EQ(c.pages, client.PageCount()) << c.problem;
    EXPECT_EQ(c.records, records.size()) << c.problem;
    EXPECT_EQ(std::string("ERROR:\nERROR: The server dc1.corp.example.com ") +
                  c.problem + " for the search of (objectClass=user) under \"" +
                  kUsers + "\"; the search is given up.\nERROR:\n",
              capture.Stdout());
  }
}

TEST_F(LdapSearchTest, DeletedObjectDnStaysOnOneLine) {
  directory->AddEntry("CN=gone\nDEL:1234,CN=Users,DC=corp,DC=example,DC=com",
                      {{"objectClass", {"user"}}, {"isDeleted", {"TRUE"}}});
  directory->AddEntry("CN=two\nlines\nhere,CN=Users,DC=corp,DC=example,DC=com",
                      {{"objectClass", {"user"}}});
  directory->AddEntry("CN=esc\\\nx,CN=Users,DC=corp,DC=example,DC=com",
                      {{"objectClass", {"user"}}});
  RecordSet records;
  ASSERT_EQ(0, LdapGetRecs(*connection, kUsers, "one", "objectClass=*", {}, {},
                           {.pageSize = 100}, &records));
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ("CN=gone\\0ADEL:1234,CN=Users,DC=corp,DC=example,DC=com",
            FirstValue(records[0], "_dn"));
  EXPECT_EQ("CN=two\\0Alines\nhere,CN=Users,DC=corp,DC=example,DC=com",
            FirstValue(records[1], "_dn"));
  EXPECT_EQ("CN=esc\\0Ax,CN=Users,DC=corp,DC=example,DC=com",
            FirstValue(records[2], "_dn"));
  // LdapGetRec hands the DN over unchanged.
  Record record;
  ASSERT_EQ(0,
            LdapGetRec(*connection,
                       "CN=gone\nDEL:1234,CN=Users,DC=corp,DC=example,DC=com",
                       "base", "objectClass=*", {}, {}, &record));
  EXPECT_EQ("CN=gone\nDEL:1234,CN=Users,DC=corp,DC=example,DC=com",
            FirstValue(record, "_dn"));
}

TEST_F(LdapSearchTest, GetRecReadsOneEntryWithConvertedValues) {
  std::string guid(
      "\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16);
  std::string user = directory->AddUser(kUsers, "alice", "corp.example.com");
  directory->SetValues(user, "objectGUID", {guid});
  Record record{{"keep", {"me"}}};
  ASSERT_EQ(0, LdapGetRec(*connection, user, "base", "objectclass=*",
                          {"objectGUID", "sAMAccountName"}, {}, &record));
  EXPECT_EQ("{33221100-5544-7766-8899-AABBCCDDEEFF}",
            FirstValue(record, "objectGUID"));
  EXPECT_EQ("alice", FirstValue(record, "sAMAccountName"));
  EXPECT_EQ("me", FirstValue(record, "keep"));
  EXPECT_EQ(1, client.Last(FakeOp::kSearch).search.sizeLimit);
  EXPECT_EQ((std::vector<std::string>{"objectGUID", "sAMAccountName"}),
            client.Last(FakeOp::kSearch).search.attributes);

  // More than one match: the size-limit code and no record.
  directory->AddUser(kUsers, "bob", "corp.example.com");
  Record none;
  EXPECT_EQ(4, LdapGetRec(*connection, kUsers, "one", "objectClass=user", {},
                          {}, &none));
  EXPECT_TRUE(none.empty());
  // No match: nothing to read is reported as no such object.
  EXPECT_EQ(32, LdapGetRec(*connection, kUsers, "one", "sAMAccountName=nobody",
                           {}, {}, &none));
  EXPECT_TRUE(none.empty());
}

TEST_F(LdapSearchTest, ControlsAndDebugLines) {
  ScopedOutputSettings settings(5);
  OutputCapture capture;
  Record record;
  LdapGetRec(*connection, "", "base", "(objectClass=*)", {"*", "tokenGroups"},
             {{"EXTNAME", "1"}}, &record);
  capture.Stop();
  EXPECT_EQ(
      "DEBUG: LdapGetRec:\n"
      "DEBUG:        Base  : \n"
      "DEBUG:        Scope : base\n"
      "DEBUG:        Filter: (objectClass=*)\n"
      "DEBUG: SetLDAPControls\n"
      "DEBUG:      EXTNAME : 1\n"
      "DEBUG: SetLDAPAttribs\n"
      "DEBUG:      *\n"
      "DEBUG:      tokenGroups\n",
      capture.Stdout());
  ASSERT_EQ(1u, client.Last(FakeOp::kSearch).search.serverControls.size());
  EXPECT_EQ(kDomain, FirstValue(record, "defaultNamingContext"));
}

TEST_F(LdapSearchTest, GetDnWrapsOnlyWhenNeededAndReportsFailureAsEmpty) {
  std::string user = directory->AddUser(kUsers, "carol", "corp.example.com");
  EXPECT_EQ(user,
            GetDN(*connection, kDomain, "subtree", "sAMAccountName=carol"));
  EXPECT_EQ("(sAMAccountName=carol)",
            client.Last(FakeOp::kSearch).search.filter);
  EXPECT_EQ(user,
            GetDN(*connection, kDomain, "", "(&(objectClass=user)(cn=carol))"));
  EXPECT_EQ("(&(objectClass=user)(cn=carol))",
            client.Last(FakeOp::kSearch).search.filter);
  EXPECT_EQ(std::vector<std::string>{"distinguishedName"},
            client.Last(FakeOp::kSearch).search.attributes);
  // A base search keeps its filter here.
  EXPECT_EQ("", GetDN(*connection, user, "base", "cn=nobody"));
  EXPECT_EQ("(cn=nobody)", client.Last(FakeOp::kSearch).search.filter);

  ScopedOutputSettings settings(5);
  OutputCapture capture;
  EXPECT_EQ("", GetDN(*connection, "CN=missing,DC=corp,DC=example,DC=com",
                      "base", "objectClass=*"));
  EXPECT_EQ(user, GetDN(*connection, kDomain, "sub", "cn=carol"));
  capture.Stop();
  EXPECT_EQ(
      "DEBUG: GetDN\n"
      "DEBUG:    Base  : CN=missing,DC=corp,DC=example,DC=com\n"
      "DEBUG:    Scope : base\n"
      "DEBUG:    Filter: (objectClass=*)\n"
      "DEBUG: Failure in ldap_search_sW: 32\n"
      "DEBUG: GetDN\n"
      "DEBUG:    Base  : DC=corp,DC=example,DC=com\n"
      "DEBUG:    Scope : sub\n"
      "DEBUG:    Filter: (cn=carol)\n"
      "DEBUG: DN returned: " +
          user + "\n",
      capture.Stdout());
}

}  // namespace
}  // namespace talvex

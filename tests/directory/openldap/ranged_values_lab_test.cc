// Walking value ranges against the lab's Samba AD domain controller.
//
// Samba hands out every value at once unless a range is asked for, but it
// honours an explicit "attr;range=low-high". A connection that asks for
// ranges of 100 values, as a Windows controller with a small MaxValRange
// would hand them out, drives our range walk against the real server.
#include <gtest/gtest.h>

#include <algorithm>

#include "directory/ldap_search.h"
#include "directory/openldap/openldap_client.h"
#include "directory/openldap/platform_lab.h"
#include "directory/ranged_values.h"

namespace talvex {
namespace {

constexpr int kRange = 100;
constexpr int kMembers = 250;

// Turns every attribute of a request into a range of kRange values: plain
// names start at 0, "attr;range=N-*" asks for N to N+kRange-1.
class SmallRangeConnection : public LdapConnection {
 public:
  explicit SmallRangeConnection(LdapConnection& real) : real_(real) {}

  int Search(const LdapSearchRequest& request, int pageSize,
             std::string* cookie, std::vector<LdapEntry>* entries) override {
    ++searches;
    LdapSearchRequest ranged = request;
    for (std::string& name : ranged.attributes) {
      ValueRange range = ReadValueRange(name);
      long long low = range.present ? range.low : 0;
      std::string base = range.present ? range.baseName : name;
      name = base + ";range=" + std::to_string(low) + "-" +
             std::to_string(low + kRange - 1);
    }
    return real_.Search(ranged, pageSize, cookie, entries);
  }
  int EstablishTls() override { return real_.EstablishTls(); }
  int SetOption(LdapOption option, int value) override {
    return real_.SetOption(option, value);
  }
  int SimpleBind(const std::string& dn, const std::string& password) override {
    return real_.SimpleBind(dn, password);
  }
  int NegotiateBind(const NegotiateCredentials& credentials) override {
    return real_.NegotiateBind(credentials);
  }
  int Add(const std::string& dn,
          const std::vector<LdapModification>& attributes) override {
    return real_.Add(dn, attributes);
  }
  int Modify(const std::string& dn,
             const std::vector<LdapModification>& modifications) override {
    return real_.Modify(dn, modifications);
  }
  int Delete(const std::string& dn) override { return real_.Delete(dn); }
  int Rename(const std::string& dn, const std::string& newRdn,
             bool deleteOldRdn) override {
    return real_.Rename(dn, newRdn, deleteOldRdn);
  }
  std::string DiagnosticMessage() override { return real_.DiagnosticMessage(); }
  std::string HostName() override { return real_.HostName(); }

  int searches = 0;

 private:
  LdapConnection& real_;
};

class LabRangedValuesTest : public testing::Test {
 protected:
  void SetUp() override {
    TALVEX_REQUIRE_PLATFORM_LAB();
    client_ = MakeOpenLdapClient();
    int error = -100;
    admin_ = client_->Initialize(lab_->Value("LAB_DC_HOST"), 389,
                                 LdapTls::kNone, &error);
    ASSERT_NE(admin_, nullptr);
    ASSERT_EQ(admin_->SetOption(LdapOption::kProtocolVersion, 3), 0);
    ASSERT_EQ(admin_->SimpleBind("Administrator@" + lab_->Value("LAB_DOMAIN"),
                                 lab_->Value("LAB_ADMIN_PASSWORD")),
              0);
    ou_ = "OU=TvxRangeProbe," + lab_->Value("LAB_BASE_DN");
    group_ = "CN=tvx-range-group," + ou_;
    RemoveProbe();
  }
  void TearDown() override {
    if (admin_ != nullptr) RemoveProbe();
  }

  LdapModification Values(const std::string& attribute,
                          std::vector<std::string> values) {
    return {.op = LdapModOp::kAdd, .attribute = attribute, .values = values};
  }

  void RemoveProbe() {
    RecordSet children;
    LdapGetRecs(*admin_, ou_, "one", "objectClass=*", {"1.1"}, {},
                {.pageSize = 500}, &children);
    for (const Record& child : children)
      admin_->Delete(FirstValue(child, kDnKey));
    admin_->Delete(ou_);
  }

  const PlatformLab* lab_ = nullptr;
  std::unique_ptr<LdapClient> client_;
  std::unique_ptr<LdapConnection> admin_;
  std::string ou_, group_;
};

TEST_F(LabRangedValuesTest, SmallRangesAreWalkedToTheEnd) {
  ASSERT_EQ(admin_->Add(ou_, {Values("objectClass", {"organizationalUnit"})}),
            0);
  std::vector<std::string> members;
  for (int i = 0; i < kMembers; ++i) {
    std::string dn = "CN=tvx-range-" + std::to_string(i) + "," + ou_;
    ASSERT_EQ(admin_->Add(dn, {Values("objectClass", {"contact"})}), 0) << dn;
    members.push_back(dn);
  }
  ASSERT_EQ(admin_->Add(group_, {Values("objectClass", {"group"}),
                                 Values("member", members)}),
            0);

  SmallRangeConnection ranged(*admin_);
  RecordSet records;
  ASSERT_EQ(LdapGetRecs(ranged, ou_, "one", "cn=tvx-range-group", {"member"},
                        {}, {.pageSize = 100}, &records),
            0);
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].count("member"), 1u) << "values under the plain name";
  std::vector<std::string> got = records[0]["member"];
  std::sort(got.begin(), got.end());
  std::sort(members.begin(), members.end());
  EXPECT_EQ(got, members);
  // The first read and the ranges from 100 and 200 on.
  EXPECT_EQ(ranged.searches, 3);

  Record one;
  ASSERT_EQ(LdapGetRec(ranged, group_, "base", "", {"member"}, {}, &one), 0);
  EXPECT_EQ(one["member"].size(), std::size_t(kMembers));
}

}  // namespace
}  // namespace talvex

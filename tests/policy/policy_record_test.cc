#include "policy/policy_record.h"

#include <gtest/gtest.h>

#include <random>

#include "directory/distinguished_name.h"

namespace talvex {
namespace {

constexpr char kPsoDn[] =
    "CN=pso1,CN=Password Settings Container,CN=System,DC=Corp,DC=Example,"
    "DC=Com";

TEST(PolicyRecordTest, DefaultsAndNameGiveTheStarterPso) {
  PolicyRecord record(true);
  record.SetName("admins");
  record.SetPrecedence("10");
  EXPECT_TRUE(record.isPSO());
  EXPECT_FALSE(record.isChangeSpecification());
  EXPECT_EQ("25", record.Text(SettingId::kLockoutThreshold));
  EXPECT_EQ("5", record.Text(SettingId::kLockoutDuration));
  EXPECT_EQ("5", record.Text(SettingId::kLockoutObservation));
  EXPECT_EQ("91", record.Text(SettingId::kMaxPwdAge));
  EXPECT_EQ("0", record.Text(SettingId::kMinPwdAge));
  EXPECT_EQ("15", record.Text(SettingId::kMinPwdLength));
  EXPECT_EQ("24", record.Text(SettingId::kPwdHistory));
  EXPECT_EQ("TRUE", record.Text(SettingId::kComplexity));
  EXPECT_EQ("FALSE", record.Text(SettingId::kReversible));
  EXPECT_EQ("10", record.Text(SettingId::kPrecedence));
  EXPECT_EQ("admins", record.displayName());
  EXPECT_EQ("admins", record.adminDisplayName());
  EXPECT_EQ((std::set<std::string>{"name", "precedence"}), record.specified());
  EXPECT_TRUE(record.IsSpecified("name"));
  EXPECT_FALSE(record.IsSpecified("minpwdlen"));
  EXPECT_FALSE(record.IsSpecified("no such key"));
}

TEST(PolicyRecordTest, WithoutDefaultsEverythingIsZero) {
  for (const PolicyRecord& record :
       {PolicyRecord(), PolicyRecord(false), PolicyRecord(false, true)}) {
    EXPECT_FALSE(record.isPSO());
    EXPECT_EQ(0, record.precedence());
    EXPECT_EQ(0, record.Value(SettingId::kLockoutThreshold));
    EXPECT_EQ(0, record.Value(SettingId::kLockoutDuration));
    EXPECT_EQ(0, record.Value(SettingId::kLockoutObservation));
    EXPECT_EQ(0, record.Value(SettingId::kMaxPwdAge));
    EXPECT_EQ(0, record.Value(SettingId::kMinPwdAge));
    EXPECT_EQ(0, record.Value(SettingId::kMinPwdLength));
    EXPECT_EQ(0, record.Value(SettingId::kPwdHistory));
    EXPECT_FALSE(record.complexity());
    EXPECT_FALSE(record.reversible());
    EXPECT_TRUE(record.specified().empty());
    EXPECT_TRUE(record.dn().empty() && record.name().empty() &&
                record.domain().empty());
  }
  EXPECT_TRUE(PolicyRecord(false, true).isChangeSpecification());
  EXPECT_TRUE(PolicyRecord(true, true).isPSO());
}

TEST(PolicyRecordTest, DnDerivesNameDisplayNamesAndDomain) {
  PolicyRecord record;
  record.SetIsPSO(true);
  record.SetDN(kPsoDn);
  EXPECT_EQ(kPsoDn, record.dn());
  EXPECT_EQ("pso1", record.name());
  EXPECT_EQ("pso1", record.displayName());
  EXPECT_EQ("pso1", record.adminDisplayName());
  EXPECT_EQ("corp.example.com", record.domain());
  // Only the DN was given; the derived names are not marked.
  EXPECT_EQ((std::set<std::string>{"dn"}), record.specified());
}

TEST(PolicyRecordTest, DnKeepsNamesAndDomainAlreadySet) {
  PolicyRecord record;
  record.SetDomain("other.example.org");
  record.SetDisplayName("Shown");
  record.SetDN(kPsoDn);
  EXPECT_EQ("pso1", record.name());
  EXPECT_EQ("Shown", record.displayName());
  EXPECT_EQ("Shown", record.adminDisplayName());
  EXPECT_EQ("other.example.org", record.domain());

  // Retrieval order: DN first, then the directory's own name values win.
  PolicyRecord read;
  read.SetDN("DC=corp,DC=example,DC=com");
  read.SetName("CORP-HEAD");
  EXPECT_EQ("CORP-HEAD", read.name());
  EXPECT_EQ("corp", read.displayName());
  EXPECT_EQ("corp", read.adminDisplayName());
  EXPECT_EQ("corp.example.com", read.domain());
}

// The name and domain a DN gives a record, as the DN helpers compute them.
void ExpectNamesAsTheDnHelpersGive(const std::string& dn) {
  PolicyRecord record;
  record.SetDN(dn);
  std::string rdn = GetDNPart(dn, 0);
  std::string name = rdn.size() > 3 ? rdn.substr(3) : "";
  EXPECT_EQ(name, record.name()) << dn;
  EXPECT_EQ(name, record.displayName()) << dn;
  EXPECT_EQ(DNToDNSName(dn), record.domain()) << dn;
}

TEST(PolicyRecordTest, DnNamesMatchTheDnHelpersForEveryKindOfDn) {
  for (const char* dn : {
           "CN=pso1,CN=Password Settings Container,CN=System,DC=corp,"
           "DC=example,DC=com",
           "cn=Lower Case,dc=corp,dc=example,dc=com",
           "CN=Sales\\, East,DC=corp,DC=com",  // escaped comma
           "CN=a\\2Cb,DC=x",                   // hex escape
           "CN=x\\ ,DC=b",                     // escaped trailing blank
           "CN=a , DC=b",                      // blanks around the separator
           "CN= a,DC=b",
           "CN=a+OU=b,DC=c",  // multi-valued RDN
           "CN=a;DC=b",       // old-style separator
           "CN=\"quoted, name\",DC=x",
           "CN=#04024869,DC=x",  // BER-encoded value
           "CN=a=b,DC=x",
           "CN=Ärzte,DC=x",  // UTF-8
           "CN=,DC=x",       // empty value
           "CN=a,,DC=x",
           "CN=a,DC=x,",
           "2.5.4.3=a,DC=x",             // OID type
           "DC=corp,DC=example,DC=com",  // a domain's own DN
           "DC=a,OU=x,DC=b",
           "CN=a,OU=dc=x,DC=b",
           "CN=x,OU=y",  // no DC components
           "CN=(pso)[1]{2}|3/4?5:6'7@8!9&0%$*~^`_.-,DC=x",
           "CN=ab",
           "CN",
           "not a dn",
           "=x,DC=y",
           "",
       }) {
    ExpectNamesAsTheDnHelpersGive(dn);
  }
}

TEST(PolicyRecordTest, DnNamesMatchTheDnHelpersForRandomDns) {
  // Random DNs from pieces that plain and unusual DNs are made of.
  const std::vector<std::string> types = {"CN", "cn", "OU",   "DC",
                                          "dc", "Dc", "name", "x-y",
                                          "a-", "C1", "2x",   "1.2"};
  const std::string characters =
      "aZ09 -_.,+=\\\";#<>()'@*!&%$~[]{}|/?:^`\t\xC3\x84";
  const std::vector<std::string> separators = {",",  ",", ",", ", ",
                                               " ,", ";", "+"};
  std::mt19937 random(20240607);
  auto pick = [&](std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
  };
  for (int i = 0; i < 3000; ++i) {
    std::string dn;
    std::size_t rdns = 1 + pick(5);
    for (std::size_t r = 0; r < rdns; ++r) {
      if (r > 0) dn += separators[pick(separators.size())];
      dn += types[pick(types.size())] + "=";
      std::size_t length = pick(7);
      // Mostly letters, so that many DNs are plain ones.
      for (std::size_t c = 0; c < length; ++c) {
        dn += pick(3) == 0 ? characters[pick(characters.size())]
                           : static_cast<char>('a' + pick(26));
      }
    }
    ExpectNamesAsTheDnHelpersGive(dn);
  }
}

TEST(PolicyRecordTest, ChangeSpecificationDerivesNothing) {
  PolicyRecord spec(false, true);
  spec.SetDN(kPsoDn);
  spec.SetName("renamed");
  EXPECT_EQ("renamed", spec.name());
  EXPECT_EQ("", spec.displayName());
  EXPECT_EQ("", spec.adminDisplayName());
  EXPECT_EQ("", spec.domain());
  // The display name still fills an empty admin display name.
  spec.SetDisplayName("New Display");
  EXPECT_EQ("New Display", spec.adminDisplayName());
  EXPECT_EQ((std::set<std::string>{"dn", "name", "displayname"}),
            spec.specified());
}

TEST(PolicyRecordTest, DisplayNameFillsOnlyAnEmptyAdminDisplayName) {
  PolicyRecord record;
  record.SetDisplayName("first");
  EXPECT_EQ("first", record.adminDisplayName());
  record.SetDisplayName("second");
  EXPECT_EQ("first", record.adminDisplayName());
  record.SetAdminDisplayName("admin");
  EXPECT_EQ("admin", record.adminDisplayName());
  EXPECT_EQ((std::set<std::string>{"displayname", "admindisplayname"}),
            record.specified());
}

TEST(PolicyRecordTest, BooleanTextsInAnyCase) {
  PolicyRecord record;
  for (const char* yes : {"true", "True", "TRUE", "tRuE"}) {
    record.SetComplexity("FALSE");
    record.SetComplexity(yes);
    EXPECT_TRUE(record.complexity()) << yes;
    record.SetReversible(yes);
    EXPECT_TRUE(record.reversible()) << yes;
  }
  for (const char* no : {"yes", "1", "", "TRUE ", "false"}) {
    record.SetComplexity("TRUE");
    record.SetComplexity(no);
    EXPECT_FALSE(record.complexity()) << no;
  }
  // A change specification leaves the value alone on an empty text.
  PolicyRecord spec(false, true);
  spec.SetComplexity("true");
  spec.SetReversible("TRUE");
  spec.SetComplexity("");
  spec.SetReversible("");
  EXPECT_TRUE(spec.complexity());
  EXPECT_TRUE(spec.reversible());
}

TEST(PolicyRecordTest, EmptyTextChangesTheFieldButMarksNothing) {
  PolicyRecord record(true);
  record.SetMinPwdLength("");
  record.SetName("");
  record.SetDN("");
  record.SetFromDirectory(SettingId::kLockoutDuration, "");
  EXPECT_EQ(0, record.Value(SettingId::kMinPwdLength));
  EXPECT_EQ(0, record.Value(SettingId::kLockoutDuration));
  EXPECT_TRUE(record.specified().empty());
}

TEST(PolicyRecordTest, CountSettersReadTheLeadingInteger) {
  PolicyRecord record;
  record.SetLockoutThreshold("12abc");
  record.SetMinPwdLength("  8");
  record.SetPwdHistory("-3");
  record.SetPrecedence("+7");
  record.SetMaxPwdAge("x42");
  record.SetMinPwdAge("-1");
  record.SetLockoutDuration("30 minutes");
  record.SetLockoutObservation("99999999999");
  EXPECT_EQ(12, record.Value(SettingId::kLockoutThreshold));
  EXPECT_EQ(8, record.Value(SettingId::kMinPwdLength));
  EXPECT_EQ(-3, record.Value(SettingId::kPwdHistory));
  EXPECT_EQ(7, record.precedence());
  EXPECT_EQ(0, record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(-1, record.Value(SettingId::kMinPwdAge));
  EXPECT_EQ(30, record.Value(SettingId::kLockoutDuration));
  // Beyond 32 bits the value stops at the limit instead of wrapping.
  EXPECT_EQ(2147483647, record.Value(SettingId::kLockoutObservation));
  EXPECT_EQ("-3", record.Text(SettingId::kPwdHistory));
  EXPECT_EQ(
      (std::set<std::string>{"lockoutthreshold", "minpwdlen", "pwdhistory",
                             "precedence", "maxpwdage", "minpwdage",
                             "lockoutduration", "lockoutobservation"}),
      record.specified());
}

TEST(PolicyRecordTest, DirectoryIntervalsInMinutesAndDays) {
  PolicyRecord record;
  record.SetFromDirectory(SettingId::kLockoutDuration, "-18000000000");
  record.SetFromDirectory(SettingId::kLockoutObservation,
                          "-9223372036854775808");
  record.SetFromDirectory(SettingId::kMaxPwdAge, "-36288000000000");
  record.SetFromDirectory(SettingId::kMinPwdAge, "-864000000000");
  EXPECT_EQ(30, record.Value(SettingId::kLockoutDuration));
  EXPECT_EQ(-1, record.Value(SettingId::kLockoutObservation));
  EXPECT_EQ(42, record.Value(SettingId::kMaxPwdAge));
  EXPECT_EQ(1, record.Value(SettingId::kMinPwdAge));
  EXPECT_EQ("-18000000000", record.DirectoryText(SettingId::kLockoutDuration));
  EXPECT_EQ("-9223372036854775808",
            record.DirectoryText(SettingId::kLockoutObservation));
  EXPECT_EQ("-36288000000000", record.DirectoryText(SettingId::kMaxPwdAge));
  EXPECT_EQ("-864000000000", record.DirectoryText(SettingId::kMinPwdAge));
  EXPECT_EQ((std::set<std::string>{"lockoutduration", "lockoutobservation",
                                   "maxpwdage", "minpwdage"}),
            record.specified());
}

TEST(PolicyRecordTest, CopiesCarryEveryField) {
  PolicyRecord record(true);
  record.SetDN(kPsoDn);
  record.SetRawProperties("17");
  record.SetCanonicalName("corp.example.com/System/pso1");
  PolicyRecord copy = record;
  EXPECT_EQ(record.specified(), copy.specified());
  EXPECT_EQ("17", copy.rawProperties());
  EXPECT_EQ("corp.example.com/System/pso1", copy.canonicalName());
  EXPECT_EQ("corp.example.com", copy.domain());
}

PolicyRecord Settings(bool isPso, int threshold, int duration, int observation,
                      int maxAge, int minAge, int length, int history,
                      bool complexity, bool reversible) {
  PolicyRecord record;
  record.SetIsPSO(isPso);
  record.SetLockoutThreshold(std::to_string(threshold));
  record.SetLockoutDuration(std::to_string(duration));
  record.SetLockoutObservation(std::to_string(observation));
  record.SetMaxPwdAge(std::to_string(maxAge));
  record.SetMinPwdAge(std::to_string(minAge));
  record.SetMinPwdLength(std::to_string(length));
  record.SetPwdHistory(std::to_string(history));
  record.SetComplexity(complexity ? "TRUE" : "FALSE");
  record.SetReversible(reversible ? "TRUE" : "FALSE");
  return record;
}

TEST(PolicyRecordTest, SameSettingsComparesTypeAndTheNineSettings) {
  PolicyRecord a = Settings(true, 10, 30, 30, 42, 1, 12, 24, true, false);
  PolicyRecord b = a;
  b.SetName("other");
  b.SetPrecedence("99");
  b.SetDN(kPsoDn);
  EXPECT_TRUE(SameSettings(a, b));

  PolicyRecord domain = a;
  domain.SetIsPSO(false);
  EXPECT_FALSE(SameSettings(a, domain));

  PolicyRecord c = a;
  c.SetReversible("TRUE");
  EXPECT_FALSE(SameSettings(a, c));
  c = a;
  c.SetLockoutObservation("31");
  EXPECT_FALSE(SameSettings(a, c));
  c = a;
  c.SetMinPwdAge("2");
  EXPECT_FALSE(SameSettings(a, c));
}

TEST(PolicyRecordTest, CopySettingsTakesSettingsAndPrecedenceOnly) {
  PolicyRecord from = Settings(false, 10, 30, 20, 42, 1, 12, 5, false, true);
  from.SetPrecedence("2147483647");
  from.SetDN("DC=corp,DC=example,DC=com");
  PolicyRecord to;
  to.SetIsPSO(true);
  to.SetDN(kPsoDn);
  CopySettings(to, from);
  EXPECT_TRUE(
      SameSettings(to, Settings(true, 10, 30, 20, 42, 1, 12, 5, false, true)));
  EXPECT_EQ(2147483647, to.precedence());
  EXPECT_TRUE(to.isPSO());
  EXPECT_EQ("pso1", to.name());
  EXPECT_EQ((std::set<std::string>{"dn"}), to.specified());
}

TEST(PolicyRecordTest, TightenKeepsTheStricterValues) {
  PolicyRecord to = Settings(true, 50, 5, 5, 91, 0, 15, 24, false, true);
  to.SetPrecedence("100");
  PolicyRecord from = Settings(false, 10, 30, 3, 42, 1, 8, 30, true, false);
  from.SetPrecedence("2147483647");
  Tighten(to, from);
  EXPECT_TRUE(
      SameSettings(to, Settings(true, 10, 30, 5, 42, 1, 15, 30, true, false)));
  EXPECT_EQ(100, to.precedence());
  EXPECT_TRUE(to.isPSO());

  // Reversible stays on only when the second record has it on too; the
  // complexity of the first stays on.
  PolicyRecord loose = Settings(true, 0, 0, 0, 0, 0, 0, 0, true, true);
  Tighten(loose, Settings(false, 0, 0, 0, 0, 0, 0, 0, false, true));
  EXPECT_TRUE(loose.complexity());
  EXPECT_TRUE(loose.reversible());
}

TEST(PolicyRecordTest, TightenTreatsZeroThresholdAsNoLockout) {
  auto threshold = [](int to, int from) {
    PolicyRecord a = Settings(true, to, 0, 0, 1, 0, 0, 0, false, false);
    Tighten(a, Settings(false, from, 0, 0, 1, 0, 0, 0, false, false));
    return a.Value(SettingId::kLockoutThreshold);
  };
  EXPECT_EQ(10, threshold(50, 10));
  EXPECT_EQ(10, threshold(10, 0));  // the domain's "no lockout" is ignored
  EXPECT_EQ(10, threshold(10, 50));
  EXPECT_EQ(10, threshold(0, 10));  // "no lockout" is never the stricter
}

TEST(PolicyRecordTest, TightenTreatsNeverAsTheLongestDuration) {
  // A password that never expires is the loosest maximum age: tighten
  // keeps a real age from either side.
  auto maxAge = [](int to, int from) {
    PolicyRecord a = Settings(true, 0, 0, 0, to, 0, 0, 0, false, false);
    Tighten(a, Settings(false, 0, 0, 0, from, 0, 0, 0, false, false));
    return a.Value(SettingId::kMaxPwdAge);
  };
  EXPECT_EQ(35, maxAge(35, -1));
  EXPECT_EQ(42, maxAge(-1, 42));
  EXPECT_EQ(-1, maxAge(-1, -1));
  EXPECT_EQ(30, maxAge(35, 30));

  // A lockout until an administrator unlocks is the strictest duration.
  auto duration = [](int to, int from) {
    PolicyRecord a = Settings(true, 0, to, to, 1, 0, 0, 0, false, false);
    Tighten(a, Settings(false, 0, from, from, 1, 0, 0, 0, false, false));
    EXPECT_EQ(a.Value(SettingId::kLockoutDuration),
              a.Value(SettingId::kLockoutObservation));
    return a.Value(SettingId::kLockoutDuration);
  };
  EXPECT_EQ(-1, duration(5, -1));
  EXPECT_EQ(-1, duration(-1, 30));
  EXPECT_EQ(30, duration(5, 30));
  EXPECT_EQ(30, duration(30, 5));
}

}  // namespace
}  // namespace talvex

#include "policy/policy_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "directory/distinguished_name.h"
#include "output_capture.h"
#include "support/output.h"

namespace talvex {
namespace {

PolicyRecord Pso(const std::string& name, const std::string& domainDn,
                 int precedence) {
  PolicyRecord record;
  record.SetIsPSO(true);
  record.SetDN("CN=" + name + ",CN=Password Settings Container,CN=System," +
               domainDn);
  record.SetCanonicalName(DNToDNSName(domainDn) +
                          "/System/Password Settings Container/" + name);
  record.SetPrecedence(std::to_string(precedence));
  return record;
}

PolicyRecord DomainPolicy(const std::string& domainDn) {
  PolicyRecord record;
  record.SetPrecedence("2147483647");
  record.SetDN(domainDn);
  record.SetCanonicalName(DNToDNSName(domainDn) + "/");
  return record;
}

TEST(PolicyDisplayTest, SixteenLinesWithTheRecordsValues) {
  PolicyRecord record = Pso("pso1", "DC=corp,DC=example,DC=com", 10);
  record.SetDisplayName("First PSO");
  record.SetLockoutThreshold("7");
  record.SetFromDirectory(SettingId::kLockoutDuration, "-9223372036854775808");
  record.SetFromDirectory(SettingId::kLockoutObservation, "-18000000000");
  record.SetFromDirectory(SettingId::kMinPwdAge, "-864000000000");
  record.SetFromDirectory(SettingId::kMaxPwdAge, "-36288000000000");
  record.SetMinPwdLength("12");
  record.SetPwdHistory("24");
  record.SetComplexity("TRUE");
  record.SetReversible("FALSE");
  OutputCapture capture;
  DisplayPolicy(record, "");
  EXPECT_EQ(
      "    Type               : Policy Settings Object\n"
      "    Domain             : corp.example.com\n"
      "    Policy Precedence  : 10\n"
      "    DN                 : CN=pso1,CN=Password Settings Container,"
      "CN=System,DC=corp,DC=example,DC=com\n"
      "    Name               : pso1\n"
      "    Canonical Name     : corp.example.com/System/Password Settings "
      "Container/pso1\n"
      "    Display Name       : First PSO\n"
      "    Lockout Threshold  : 7\n"
      "    Lockout Duration   : -1\n"
      "    Lockout Observation: 30\n"
      "    Min Pwd Age        : 1\n"
      "    Max Pwd Age        : 42\n"
      "    Min Pwd Length     : 12\n"
      "    Pwd History        : 24\n"
      "    Pwd Complexity     : TRUE\n"
      "    Pwd Reversible     : FALSE\n",
      capture.Stdout());
}

TEST(PolicyDisplayTest, DomainPolicyWithPrefix) {
  PolicyRecord record = DomainPolicy("DC=corp,DC=example,DC=com");
  OutputCapture capture;
  DisplayPolicy(record, "> ");
  std::string text = capture.Stdout();
  EXPECT_EQ(16, std::count(text.begin(), text.end(), '\n'));
  EXPECT_EQ(0u, text.find("> "
                          "    Type               : Domain Policy\n"
                          "> "
                          "    Domain             : corp.example.com\n"
                          "> "
                          "    Policy Precedence  : 2147483647\n"));
  EXPECT_NE(std::string::npos, text.find("> "
                                         "    Pwd Reversible     : FALSE\n"));
}

TEST(PolicyDisplayTest, DebugDumpListsSeventeenLinesAfterTheHeading) {
  PolicyRecord record = DomainPolicy("DC=corp,DC=example,DC=com");
  record.SetMaxPwdAge("42");
  record.SetMinPwdAge("1");
  OutputCapture capture;
  DebugPolicy("Domain Policy", record);
  EXPECT_EQ(
      "DEBUG: Domain Policy\n"
      "DEBUG:   PSO                : FALSE\n"
      "DEBUG:   Domain             : corp.example.com\n"
      "DEBUG:   DN                 : DC=corp,DC=example,DC=com\n"
      "DEBUG:   Name               : corp\n"
      "DEBUG:   Canonical Name     : corp.example.com/\n"
      "DEBUG:   Display Name       : corp\n"
      "DEBUG:   Admin Display Name : corp\n"
      "DEBUG:   Lockout Duration   : 0\n"
      "DEBUG:   Lockout Observation: 0\n"
      "DEBUG:   Lockout Threshold  : 0\n"
      "DEBUG:   Max Pwd Age        : 42\n"
      "DEBUG:   Min Pwd Age        : 1\n"
      "DEBUG:   Min Pwd Length     : 0\n"
      "DEBUG:   Pwd Complexity     : FALSE\n"
      "DEBUG:   Pwd History        : 0\n"
      "DEBUG:   Pwd Reversible     : FALSE\n"
      "DEBUG:   Policy Precedence  : 2147483647\n",
      capture.Stdout());
}

std::vector<std::string> Sorted(std::vector<PolicyRecord> records,
                                bool byPrecedence) {
  std::sort(records.begin(), records.end(),
            byPrecedence ? PrecedenceOrder : DefaultOrder);
  std::vector<std::string> names;
  for (const PolicyRecord& record : records) {
    names.push_back(record.name() + "@" + record.domain());
  }
  return names;
}

TEST(PolicyDisplayTest, DefaultOrderPutsDomainPoliciesFirstThenCanonicalName) {
  std::vector<PolicyRecord> records = {
      Pso("a-pso", "DC=corp,DC=example,DC=com", 1),
      Pso("zz", "DC=alpha,DC=org", 1),
      DomainPolicy("DC=zulu,DC=example,DC=com"),
      Pso("A-pso", "DC=corp,DC=example,DC=com", 5),
      DomainPolicy("DC=corp,DC=example,DC=com"),
      Pso("A-pso2", "DC=corp,DC=example,DC=com", 5),
  };
  // Upper case sorts before lower case; a prefix before its extensions.
  EXPECT_EQ((std::vector<std::string>{
                "corp@corp.example.com", "zulu@zulu.example.com",
                "zz@alpha.org", "A-pso@corp.example.com",
                "A-pso2@corp.example.com", "a-pso@corp.example.com"}),
            Sorted(records, false));
}

TEST(PolicyDisplayTest, PrecedenceOrderGroupsDomainsDomainPolicyLast) {
  std::vector<PolicyRecord> records = {
      DomainPolicy("DC=corp,DC=example,DC=com"),
      Pso("p20", "DC=corp,DC=example,DC=com", 20),
      Pso("b5", "DC=alpha,DC=org", 5),
      Pso("p1", "DC=corp,DC=example,DC=com", 1),
      DomainPolicy("DC=alpha,DC=org"),
      Pso("pneg", "DC=corp,DC=example,DC=com", -3),
  };
  EXPECT_EQ((std::vector<std::string>{
                "b5@alpha.org", "alpha@alpha.org", "pneg@corp.example.com",
                "p1@corp.example.com", "p20@corp.example.com",
                "corp@corp.example.com"}),
            Sorted(records, true));
}

}  // namespace
}  // namespace talvex

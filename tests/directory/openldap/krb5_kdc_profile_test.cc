#include "directory/openldap/krb5_kdc_profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace talvex {
namespace {

// Puts KRB5_CONFIG back as the test found it.
class ScopedKrb5Config {
 public:
  explicit ScopedKrb5Config(const std::string& value) {
    const char* current = std::getenv("KRB5_CONFIG");
    had_ = current != nullptr;
    if (had_) saved_ = current;
    setenv("KRB5_CONFIG", value.c_str(), 1);
  }
  ~ScopedKrb5Config() {
    if (had_) {
      setenv("KRB5_CONFIG", saved_.c_str(), 1);
    } else {
      unsetenv("KRB5_CONFIG");
    }
  }

 private:
  bool had_ = false;
  std::string saved_;
};

// The located controller becomes the KDC of its domain's realm, unless the
// user's own profile names KDCs of that realm; an address or a bare name
// names no realm.
TEST(Krb5KdcProfileTest, NamesTheControllerWhereTheLibraryWouldLookUp) {
  char path[] = "/tmp/talvex-krb5-test-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(path) << "[realms]\n\tOWN.EXAMPLE = {\n\t\tkdc = kdc.own.example\n\t}\n";
  ScopedKrb5Config config(path);

  EXPECT_EQ(
      "[libdefaults]\n\tudp_preference_limit = 1\n[realms]\n"
      "\tCORP.EXAMPLE.COM = {\n\t\tkdc = dc1.corp.example.com\n"
      "\t\tmaster_kdc = dc1.corp.example.com\n\t}\n",
      Krb5KdcProfile::ProfileText("dc1.corp.example.com."));
  for (const char* none : {"dc1.own.example", "10.99.0.11", "::1", "dc1",
                           "dc1.corp.example.com\n[x]", ""}) {
    EXPECT_EQ("", Krb5KdcProfile::ProfileText(none)) << none;
  }

  // The user's files are read after ours, and KRB5_CONFIG is theirs again
  // once the bind is over.
  {
    Krb5KdcProfile profile("dc1.corp.example.com");
    std::string list = std::getenv("KRB5_CONFIG");
    EXPECT_TRUE(list.ends_with(std::string(":") + path)) << list;
  }
  EXPECT_EQ(std::string(path), std::getenv("KRB5_CONFIG"));
  unlink(path);
}

}  // namespace
}  // namespace talvex

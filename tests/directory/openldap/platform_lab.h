// Settings of the lab domain controller for the tests of the platform
// implementations that talk to it.
//
// Those tests run only inside the lab's network namespace, where the DC's
// DNS and Kerberos are reachable: tests/e2e/test_directory_platform.py runs
// talvex_tests there with TALVEX_LAB_INSIDE=1 and TALVEX_LAB_ENV naming the
// lab.env file. Anywhere else (the plain unit-test run) they skip. Inside
// the namespace a missing lab fails the test under CI and skips otherwise.
#pragma once

#include <map>
#include <string>

namespace talvex {

class PlatformLab {
 public:
  // Null when the tests are not to run against the lab; *reason says why
  // and *mustFail whether that is a failure rather than a skip.
  static const PlatformLab* Get(std::string* reason, bool* mustFail);

  // A LAB_* value of lab.env ("" when absent).
  std::string Value(const std::string& name) const;

 private:
  std::map<std::string, std::string> values_;
};

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  bool hadValue_ = false;
  std::string oldValue_;
};

}  // namespace talvex

// In a test fixture's SetUp: skips or fails unless the lab is usable, and
// leaves the lab in lab_ otherwise.
#define TALVEX_REQUIRE_PLATFORM_LAB()                               \
  do {                                                              \
    std::string lab_reason;                                         \
    bool lab_must_fail = false;                                     \
    lab_ = ::talvex::PlatformLab::Get(&lab_reason, &lab_must_fail); \
    if (lab_ == nullptr) {                                          \
      if (lab_must_fail) FAIL() << lab_reason;                      \
      GTEST_SKIP() << lab_reason;                                   \
    }                                                               \
  } while (false)

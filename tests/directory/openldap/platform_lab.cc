#include "directory/openldap/platform_lab.h"

#include <cstdlib>
#include <fstream>

namespace talvex {

namespace {

bool EnvironmentIs(const char* name, const char* value) {
  const char* actual = std::getenv(name);
  return actual != nullptr && std::string(actual) == value;
}

// lab.env holds lines export NAME='value' (and a shell function, ignored).
std::map<std::string, std::string> ReadLabEnv(std::ifstream& file) {
  std::map<std::string, std::string> values;
  std::string line;
  while (std::getline(file, line)) {
    const std::string prefix = "export ";
    if (line.rfind(prefix, 0) != 0) continue;
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string name = line.substr(prefix.size(), equals - prefix.size());
    std::string value = line.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
      value = value.substr(1, value.size() - 2);
    }
    values[name] = value;
  }
  return values;
}

}  // namespace

const PlatformLab* PlatformLab::Get(std::string* reason, bool* mustFail) {
  *mustFail = false;
  if (!EnvironmentIs("TALVEX_LAB_INSIDE", "1")) {
    *reason =
        "needs the lab domain controller: runs inside the lab namespace "
        "through ctest -R e2e_test_directory_platform";
    return nullptr;
  }
  static PlatformLab lab;
  static bool loaded = false;
  if (!loaded) {
    const char* path = std::getenv("TALVEX_LAB_ENV");
    std::ifstream file(path != nullptr ? path : "");
    if (file) lab.values_ = ReadLabEnv(file);
    loaded = true;
  }
  if (lab.Value("LAB_DC_HOST").empty()) {
    *reason =
        "the lab is not running (no usable lab.env at $TALVEX_LAB_ENV); "
        "start it with lab/start.sh && lab/seed.sh";
    *mustFail = std::getenv("CI") != nullptr && *std::getenv("CI") != '\0';
    if (!*mustFail) *reason += " [skipped in a local run only]";
    return nullptr;
  }
  return &lab;
}

std::string PlatformLab::Value(const std::string& name) const {
  auto it = values_.find(name);
  return it == values_.end() ? "" : it->second;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value)
    : name_(name) {
  if (const char* old = std::getenv(name)) {
    hadValue_ = true;
    oldValue_ = old;
  }
  setenv(name, value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
  if (hadValue_) {
    setenv(name_.c_str(), oldValue_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

}  // namespace talvex

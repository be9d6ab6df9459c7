// A forest of fake directories and a fake locator for the executor and its
// action sections, with the console captured.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

#include "captured_text.h"
#include "directory/server_info.h"
#include "fakes/fake_dc_locator.h"
#include "fakes/fake_ldap_client.h"
#include "operations/execute_action.h"
#include "operations/run_config.h"
#include "operations/run_state.h"
#include "output_capture.h"
#include "policy/domain_list.h"
#include "support/output.h"
#include "support/text_case.h"

namespace talvex::executor_test {

inline constexpr char kCorpDn[] = "DC=corp,DC=example,DC=com";
inline constexpr char kCorpDns[] = "corp.example.com";
inline constexpr char kCorpDc[] = "dc1.corp.example.com";
inline constexpr char kChildDn[] = "DC=child,DC=corp,DC=example,DC=com";
inline constexpr char kChildDns[] = "child.corp.example.com";
inline constexpr char kChildDc[] = "dc1.child.corp.example.com";
inline constexpr char kAlphaDn[] = "DC=alpha,DC=org";
inline constexpr char kAlphaDns[] = "alpha.org";
inline constexpr char kAlphaDc[] = "dca.alpha.org";
inline constexpr char kUsers[] = "CN=Users,DC=corp,DC=example,DC=com";

inline constexpr char kHost[] = "Using host: HQ\\dc1.corp.example.com\n";
inline constexpr char kFailed[] =
    "\nThe command did not complete successfully.\n";
inline constexpr char kUsageHint[] =
    "\nType Talvex /? for usage assistance.\n\n\n";
inline constexpr char kNotForReal[] =
    "***************************************************\n"
    "***This is not for real, -forreal not specified.***\n"
    "***************************************************\n";

inline std::string PsoDnIn(const std::string& domainDn,
                           const std::string& name) {
  return "CN=" + name + ",CN=Password Settings Container,CN=System," + domainDn;
}

// The display of a PSO the fake makes with its default settings.
inline std::string DefaultPsoBlock(const std::string& domainDn,
                                   const std::string& dns,
                                   const std::string& name, int precedence) {
  return "    Type               : Policy Settings Object\n"
         "    Domain             : " +
         dns +
         "\n"
         "    Policy Precedence  : " +
         std::to_string(precedence) +
         "\n"
         "    DN                 : " +
         PsoDnIn(domainDn, name) +
         "\n"
         "    Name               : " +
         name +
         "\n"
         "    Canonical Name     : " +
         dns + "/System/Password Settings Container/" + name +
         "\n"
         "    Display Name       : " +
         name +
         "\n"
         "    Lockout Threshold  : 0\n"
         "    Lockout Duration   : 30\n"
         "    Lockout Observation: 30\n"
         "    Min Pwd Age        : 1\n"
         "    Max Pwd Age        : 42\n"
         "    Min Pwd Length     : 8\n"
         "    Pwd History        : 24\n"
         "    Pwd Complexity     : TRUE\n"
         "    Pwd Reversible     : FALSE\n";
}

// The display of a domain policy as the fake provisions it.
inline std::string DefaultDomainBlock(const std::string& domainDn,
                                      const std::string& dns) {
  std::string rdn = domainDn.substr(3, domainDn.find(',') - 3);
  return "    Type               : Domain Policy\n"
         "    Domain             : " +
         dns +
         "\n"
         "    Policy Precedence  : 2147483647\n"
         "    DN                 : " +
         domainDn +
         "\n"
         "    Name               : " +
         rdn +
         "\n"
         "    Canonical Name     : " +
         dns +
         "/\n"
         "    Display Name       : " +
         rdn +
         "\n"
         "    Lockout Threshold  : 0\n"
         "    Lockout Duration   : 30\n"
         "    Lockout Observation: 30\n"
         "    Min Pwd Age        : 1\n"
         "    Max Pwd Age        : 42\n"
         "    Min Pwd Length     : 7\n"
         "    Pwd History        : 24\n"
         "    Pwd Complexity     : TRUE\n"
         "    Pwd Reversible     : FALSE\n";
}

// Points standard output and standard error at temporary files until Finish.
class ConsoleCapture {
 public:
  ConsoleCapture() : out_(STDOUT_FILENO), err_(STDERR_FILENO) {}
  std::pair<std::string, std::string> Finish() {
    return {out_.Finish(), err_.Finish()};
  }

 private:
  class Stream {
   public:
    explicit Stream(int fd) : fd_(fd), file_(std::tmpfile()), saved_(dup(fd)) {
      FlushStandardOutput();
      if (file_ != nullptr && saved_ >= 0) dup2(fileno(file_), fd_);
    }
    ~Stream() { Finish(); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    std::string Finish() {
      FlushStandardOutput();
      if (saved_ >= 0) {
        dup2(saved_, fd_);
        close(saved_);
        saved_ = -1;
      }
      if (file_ == nullptr) return text_;
      std::rewind(file_);
      char buffer[4096];
      std::size_t count;
      while ((count = std::fread(buffer, 1, sizeof buffer, file_)) > 0) {
        text_.append(buffer, count);
      }
      std::fclose(file_);
      file_ = nullptr;
      text_ = DecodeCapturedOutput(text_);
      return text_;
    }

   private:
    int fd_;
    std::FILE* file_;
    int saved_;
    std::string text_;
  };
  Stream out_;
  Stream err_;
};

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;
};

class ExecutorTest : public ::testing::Test {
 protected:
  ExecutorTest() {
    // The run ends the process on failures: death tests re-run the test
    // binary rather than fork a copy of a process holding open files.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    saved_ = Output();
    Output() = OutputSettings{};
    AddDomain(kCorpDc, kCorpDn, kCorpDns, {}, /*globalCatalog=*/true);
    locator_.SetOwnDomain(kCorpDns);
  }
  ~ExecutorTest() override { Output() = saved_; }

  // A domain whose controller the locator knows, in site HQ, by its DNS
  // name and its flat name.
  FakeDirectory& AddDomain(const std::string& host, const std::string& dn,
                           const std::string& dnsName,
                           FakeDomainOptions options = {},
                           bool globalCatalog = false) {
    FakeDirectory& directory = client_.AddDomain(host, dn, options);
    locator_.AddController(
        dnsName, {.name = host, .site = "HQ", .globalCatalog = globalCatalog});
    std::string flat = options.netbiosName.empty()
                           ? UpperCase(dnsName.substr(0, dnsName.find('.')))
                           : options.netbiosName;
    locator_.AddDomainAlias(flat, dnsName);
    return directory;
  }

  FakeDirectory& Corp() { return client_.Domain(kCorpDn); }

  void View(const std::string& psoName = "") {
    config_.action = ActionCode::kView;
    config_.psoSelected = true;
    config_.psoName = psoName;
  }

  RunResult Execute() {
    ConsoleCapture capture;
    int status = ExecuteAction(config_, &config_.password, client_, locator_);
    auto [out, err] = capture.Finish();
    return RunResult{out, err, status};
  }

  // For EXPECT_RUN_ENDS, which collects the whole text of a run that ends
  // the process, in order.
  void ExecuteToEnd() {
    ExecuteAction(config_, &config_.password, client_, locator_);
  }

  // The state the executor's preparation builds, made by hand for tests of
  // one action section.
  RunState& Prepare() {
    state_.config = &config_;
    state_.client = &client_;
    state_.locator = &locator_;
    state_.access.client = &client_;
    state_.access.locator = &locator_;
    state_.access.cache = &state_.cache;
    state_.mainConnection =
        state_.cache.Enter(kCorpDc, client_.Connect(kCorpDc));
    state_.serverInfo = ReadServerInfo(state_.mainConnection, false);
    state_.domainDn = kCorpDn;
    GetDomainList(&state_.domainList, &state_.domainNames,
                  *state_.mainConnection, state_.serverInfo);
    return state_;
  }

  // Requests of a kind sent to a host (and port, when given).
  std::vector<FakeRequest> RequestsTo(FakeOp kind, const std::string& host,
                                      int port = 0) const {
    std::vector<FakeRequest> found;
    for (const FakeRequest& request : client_.Requests(kind)) {
      if (LowerCase(request.host) == LowerCase(host) &&
          (port == 0 || request.port == port)) {
        found.push_back(request);
      }
    }
    return found;
  }

  FakeLdapClient client_;
  FakeDcLocator locator_;
  RunConfig config_;
  RunState state_;
  OutputSettings saved_;
};

}  // namespace talvex::executor_test

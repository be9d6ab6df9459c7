#include "support/password_prompt.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/fake_terminal.h"
#include "support/output.h"

namespace talvex {
namespace {

constexpr char kPrompt[] = "Enter Password: ";

struct PromptResult {
  bool entered;
  std::string password;
  std::string shown;
};

PromptResult Prompt(std::vector<std::string> bursts) {
  FakeTerminal terminal(std::move(bursts));
  PromptResult result{false, "unchanged", ""};
  result.entered = PromptPassword(terminal, &result.password);
  result.shown = terminal.written();
  return result;
}

TEST(PasswordPromptTest, TypedKeysWithBackspaceGiveThePassword) {
  PromptResult result = Prompt({"a", "b", "\b", "c", "\r"});
  EXPECT_TRUE(result.entered);
  EXPECT_EQ("ac", result.password);
  EXPECT_EQ(std::string(kPrompt) + "..\b \b.\n", result.shown);
}

TEST(PasswordPromptTest, DeleteKeyErasesLikeBackspace) {
  // Linux terminals send DEL (127) for the Backspace key.
  PromptResult result = Prompt({"x", "y", "\x7f", "\n"});
  EXPECT_TRUE(result.entered);
  EXPECT_EQ("x", result.password);
}

TEST(PasswordPromptTest, BackspaceOnEmptyBufferRings) {
  PromptResult result = Prompt({"\b", "\r"});
  EXPECT_TRUE(result.entered);
  EXPECT_EQ("", result.password);
  EXPECT_EQ(std::string(kPrompt) + "\a\n", result.shown);
}

TEST(PasswordPromptTest, EnterAtOnceGivesEmptyPassword) {
  PromptResult result = Prompt({"\r"});
  EXPECT_TRUE(result.entered);
  EXPECT_EQ("", result.password);
  EXPECT_EQ(std::string(kPrompt) + "\n", result.shown);
}

TEST(PasswordPromptTest, ControlAndNonAsciiBytesRingAndAreNotStored) {
  // "é" in UTF-8 is two bytes above 126: two bells, nothing stored.
  PromptResult result = Prompt({"a", "\t", "\xc3\xa9", "\x01", "b", "\r"});
  EXPECT_TRUE(result.entered);
  EXPECT_EQ("ab", result.password);
  EXPECT_EQ(std::string(kPrompt) + ".\a\a\a\a.\n", result.shown);
}

TEST(PasswordPromptTest, EscapeAbandonsAndLeavesPasswordUnchanged) {
  PromptResult result = Prompt({"s", "e", "\x1b", "c", "\r"});
  EXPECT_FALSE(result.entered);
  EXPECT_EQ("unchanged", result.password);
  EXPECT_EQ(std::string(kPrompt) + "..\n", result.shown);
}

TEST(PasswordPromptTest, ControlCAbandons) {
  PromptResult result = Prompt({"s", "\x03", "x", "\r"});
  EXPECT_FALSE(result.entered);
  EXPECT_EQ("unchanged", result.password);
  EXPECT_EQ(std::string(kPrompt) + ".\n", result.shown);
}

TEST(PasswordPromptTest, EndOfInputAbandons) {
  PromptResult result = Prompt({"abc"});
  EXPECT_FALSE(result.entered);
  EXPECT_EQ("unchanged", result.password);
}

// An arrow or function key is one key: one bell, and none of its bytes is
// stored, even the printable ones.
TEST(PasswordPromptTest, KeySequencesRingOnceAndStoreNothing) {
  PromptResult result = Prompt({"a", "\x1b[A", "\x1bOP", "\x1b[15~",
                                "\x1b[1;5C", "\x1bx", "b", "\r"});
  EXPECT_TRUE(result.entered);
  EXPECT_EQ("ab", result.password);
  EXPECT_EQ(std::string(kPrompt) + ".\a\a\a\a\a.\n", result.shown);
}

TEST(PasswordPromptTest, CutOffSequenceDoesNotSwallowLaterKeys) {
  // "Esc [" with nothing after it in the same burst: the next key is typed.
  PromptResult result = Prompt({"\x1b[", "z", "\r"});
  EXPECT_TRUE(result.entered);
  EXPECT_EQ("z", result.password);
}

// Standard input as a pipe: no terminal, the first line is the password.
class PasswordFromStandardInputTest : public ::testing::Test {
 protected:
  void SetUp() override { savedStdin_ = dup(STDIN_FILENO); }
  void TearDown() override {
    dup2(savedStdin_, STDIN_FILENO);
    close(savedStdin_);
  }

  void FeedStandardInput(const std::string& text) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    ASSERT_EQ(static_cast<ssize_t>(text.size()),
              write(fds[1], text.data(), text.size()));
    close(fds[1]);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
  }

 private:
  int savedStdin_ = -1;
};

TEST_F(PasswordFromStandardInputTest, ReadsOneLineWithoutEcho) {
  FeedStandardInput("s3cret pass\r\nnext line\n");
  std::string password;
  FlushStandardOutput();
  testing::internal::CaptureStdout();
  bool entered = PromptPassword(&password);
  FlushStandardOutput();
  std::string shown = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(entered);
  EXPECT_EQ("s3cret pass", password);
  EXPECT_EQ("Enter Password: \n", shown);
}

TEST_F(PasswordFromStandardInputTest, LastLineWithoutLineEnd) {
  FeedStandardInput("tail");
  std::string password;
  FlushStandardOutput();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(PromptPassword(&password));
  FlushStandardOutput();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ("tail", password);
}

TEST_F(PasswordFromStandardInputTest, EmptyInputAbandons) {
  FeedStandardInput("");
  std::string password = "unchanged";
  FlushStandardOutput();
  testing::internal::CaptureStdout();
  EXPECT_FALSE(PromptPassword(&password));
  FlushStandardOutput();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ("unchanged", password);
}

// The real terminal: the prompt runs in a child whose controlling terminal
// is a pseudo-terminal; the test types into its master side.
class PasswordPromptInPseudoTerminalTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  // Starts the prompt in a child; it reports "[<entered>|<password>]" on
  // its terminal when the prompt returns.
  void StartPrompt() {
    child_ = forkpty(&master_, nullptr, nullptr, nullptr);
    ASSERT_GE(child_, 0);
    if (child_ == 0) {
      std::string password;
      bool entered = PromptPassword(&password);
      std::string report =
          "[" + std::string(entered ? "1" : "0") + "|" + password + "]";
      ssize_t ignored = write(STDOUT_FILENO, report.data(), report.size());
      (void)ignored;
      _exit(0);
    }
  }

  // Reads from the master until `text` has been seen or a few seconds
  // pass; returns everything read so far.
  std::string ReadUntil(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (shown_.find(text) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      struct pollfd request = {.fd = master_, .events = POLLIN, .revents = 0};
      if (poll(&request, 1, 100) <= 0) continue;
      char buffer[256];
      ssize_t got = read(master_, buffer, sizeof buffer);
      if (got <= 0) break;
      shown_.append(buffer, static_cast<std::size_t>(got));
    }
    return shown_;
  }

  void Type(const std::string& keys) {
    ASSERT_EQ(static_cast<ssize_t>(keys.size()),
              write(master_, keys.data(), keys.size()));
    // Keys typed by a person are apart; keep separate bursts separate.
    usleep(250 * 1000);
  }

  bool ChildTerminalEchoes() {
    struct termios mode;
    // Mode requests on the master side act on the child's (slave) side.
    if (tcgetattr(master_, &mode) != 0) return false;
    return (mode.c_lflag & ECHO) != 0 && (mode.c_lflag & ICANON) != 0;
  }

  pid_t child_ = -1;
  int master_ = -1;
  std::string shown_;
};

TEST_F(PasswordPromptInPseudoTerminalTest, TypedKeysArrowAndBackspace) {
  StartPrompt();
  ASSERT_NE(std::string::npos, ReadUntil(kPrompt).find(kPrompt));
  EXPECT_FALSE(ChildTerminalEchoes());
  Type("a");
  Type("b");
  Type("\x1b[D");  // left arrow
  Type("\x7f");
  Type("c");
  Type("\r");
  std::string shown = ReadUntil("]");
  // Output processing turns "\n" into "\r\n" on the terminal.
  EXPECT_EQ(std::string(kPrompt) + "..\a\b \b.\r\n[1|ac]", shown);
  int status = 0;
  ASSERT_EQ(child_, waitpid(child_, &status, 0));
  child_ = -1;
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_TRUE(ChildTerminalEchoes());
}

TEST_F(PasswordPromptInPseudoTerminalTest, LoneEscapeAbandonsAndRestores) {
  StartPrompt();
  ASSERT_NE(std::string::npos, ReadUntil(kPrompt).find(kPrompt));
  Type("x");
  Type("\x1b");
  std::string shown = ReadUntil("]");
  EXPECT_EQ(std::string(kPrompt) + ".\r\n[0|]", shown);
  EXPECT_TRUE(ChildTerminalEchoes());
}

TEST_F(PasswordPromptInPseudoTerminalTest, ControlCAbandonsAndRestores) {
  StartPrompt();
  ASSERT_NE(std::string::npos, ReadUntil(kPrompt).find(kPrompt));
  Type("x");
  Type("\x03");
  std::string shown = ReadUntil("]");
  EXPECT_EQ(std::string(kPrompt) + ".\r\n[0|]", shown);
  EXPECT_TRUE(ChildTerminalEchoes());
}

TEST_F(PasswordPromptInPseudoTerminalTest, InterruptSignalRestoresTerminal) {
  StartPrompt();
  ASSERT_NE(std::string::npos, ReadUntil(kPrompt).find(kPrompt));
  EXPECT_FALSE(ChildTerminalEchoes());
  ASSERT_EQ(0, kill(child_, SIGINT));
  int status = 0;
  ASSERT_EQ(child_, waitpid(child_, &status, 0));
  child_ = -1;
  // The signal still ends the process as it would have without the prompt.
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(SIGINT, WTERMSIG(status));
  EXPECT_TRUE(ChildTerminalEchoes());
}

}  // namespace
}  // namespace talvex

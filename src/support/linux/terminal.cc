#include "support/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace talvex {
namespace {

// Bytes of one key sequence arrive together from a local terminal; over a
// slow remote session they can be a little apart. A tenth of a second tells
// them from a human pressing Esc and then another key.
constexpr int kKeySequenceGapMilliseconds = 100;

// The signals that would end the process while the terminal is raw; each is
// caught just long enough to restore the terminal, then re-raised.
constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kSignalCount = sizeof kRestoringSignals / sizeof(int);

// What the signal handler needs; only async-signal-safe calls use it.
volatile sig_atomic_t gRawFd = -1;
struct termios gSavedMode;

void RestoreAndReraise(int signalNumber) {
  int fd = gRawFd;
  if (fd >= 0) tcsetattr(fd, TCSANOW, &gSavedMode);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

class RawTerminal : public Terminal {
 public:
  RawTerminal(int fd, const struct termios& savedMode) : fd_(fd) {
    gSavedMode = savedMode;
    gRawFd = fd;
    struct sigaction action = {};
    action.sa_handler = RestoreAndReraise;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) {
      sigaction(kRestoringSignals[i], &action, &previousActions_[i]);
    }
  }

  ~RawTerminal() override {
    tcsetattr(fd_, TCSAFLUSH, &gSavedMode);
    gRawFd = -1;
    for (int i = 0; i < kSignalCount; ++i) {
      sigaction(kRestoringSignals[i], &previousActions_[i], nullptr);
    }
    close(fd_);
  }

  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

  int ReadKey() override {
    unsigned char byte = 0;
    for (;;) {
      ssize_t got = read(fd_, &byte, 1);
      if (got == 1) return byte;
      if (got < 0 && errno == EINTR) continue;
      return -1;
    }
  }

  bool MoreKeyBytesPending() override {
    struct pollfd request = {.fd = fd_, .events = POLLIN, .revents = 0};
    for (;;) {
      int ready = poll(&request, 1, kKeySequenceGapMilliseconds);
      if (ready < 0 && errno == EINTR) continue;
      return ready > 0 && (request.revents & POLLIN) != 0;
    }
  }

  void Write(std::string_view text) override {
    const char* data = text.data();
    std::size_t size = text.size();
    while (size > 0) {
      ssize_t written = write(fd_, data, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        return;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
  }

 private:
  int fd_;
  struct sigaction previousActions_[kSignalCount] = {};
};

}  // namespace

bool ReadStandardInputByte(char* byte) {
  for (;;) {
    ssize_t got = read(STDIN_FILENO, byte, 1);
    if (got < 0 && errno == EINTR) continue;
    return got == 1;
  }
}

std::unique_ptr<Terminal> OpenRawTerminal() {
  // Standard input decides: when it is not a terminal, a script feeds the
  // password and the caller reads it from there.
  if (!isatty(STDIN_FILENO)) return nullptr;
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) fd = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  struct termios saved;
  if (tcgetattr(fd, &saved) != 0) {
    close(fd);
    return nullptr;
  }
  // Key by key, no echo, and Ctrl+C as the key code 3 rather than a signal,
  // so that the prompt sees it and can abandon cleanly. Output processing
  // stays on, so "\n" still returns the cursor to the start of the line.
  struct termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  auto terminal = std::make_unique<RawTerminal>(fd, saved);
  if (tcsetattr(fd, TCSAFLUSH, &raw) != 0) return nullptr;
  return terminal;
}

}  // namespace talvex

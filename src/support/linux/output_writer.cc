// The output writer on Linux: UTF-8 with "\n" line ends on every kind of
// stream. Standard output to a terminal is written at once, one write(2)
// per call; to a file or a pipe it is gathered (support/output_buffer.h).
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "support/output.h"
#include "support/output_buffer.h"

namespace talvex {
namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool WriteStandardOutput(const char* data, std::size_t size) {
  return WriteAll(STDOUT_FILENO, data, size);
}

OutputBuffer gStandardOutput(WriteStandardOutput);

// The signals that end a run by default; a run ended by one still leaves
// what it printed.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void FlushAndReraise(int signalNumber) {
  gStandardOutput.FlushFromSignal();
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

void ReportFailure(int fd);

void FlushAtExit() {
  if (!gStandardOutput.Flush()) ReportFailure(STDOUT_FILENO);
}

// Decided once, at the first text: a run does not move its standard output.
bool StandardOutputBuffered() {
  static const bool buffered = [] {
    if (isatty(STDOUT_FILENO) == 1) return false;
    std::atexit(FlushAtExit);
    for (int signalNumber : kEndingSignals) {
      struct sigaction previous = {};
      sigaction(signalNumber, nullptr, &previous);
      // A signal the caller ignores (nohup, a background job) stays ignored.
      if (previous.sa_handler != SIG_DFL) continue;
      struct sigaction action = {};
      action.sa_handler = FlushAndReraise;
      sigemptyset(&action.sa_mask);
      sigaction(signalNumber, &action, nullptr);
    }
    return true;
  }();
  return buffered;
}

void ReportFailure(int fd) {
  // The run ignores SIGPIPE for the sake of its LDAP sockets. A reader that
  // went away (talvex ... | head) still ends the run quietly, as the signal
  // would have, rather than with a report per line.
  if (errno == EPIPE) {
    signal(SIGPIPE, SIG_DFL);
    raise(SIGPIPE);
  }

  // Report the failure once. The report goes to standard error directly,
  // never through this writer again, so a failing report cannot recurse.
  static bool reporting = false;
  if (!reporting) {
    reporting = true;
    std::string report = FormatSystemError("ERROR:", errno);
    if (fd != STDERR_FILENO) WriteAll(STDERR_FILENO, report.data(), report.size());
    reporting = false;
  }
}

}  // namespace

void FlushStandardOutput() {
  if (StandardOutputBuffered() && !gStandardOutput.Flush())
    ReportFailure(STDOUT_FILENO);
}

bool WriteText(std::string_view text, OutputStream stream, bool addLineEnd) {
  if (text.empty() && !addLineEnd) return true;
  bool ok = true;
  int fd = STDOUT_FILENO;
  if (stream == OutputStream::kStandardOutput && StandardOutputBuffered()) {
    ok = addLineEnd ? gStandardOutput.AppendLine(text)
                    : gStandardOutput.Append(text);
  } else {
    // What standard output holds comes first on a shared terminal.
    if (stream == OutputStream::kStandardError) {
      FlushStandardOutput();
      fd = STDERR_FILENO;
    }
    // One buffer, one call.
    std::string buffer(text);
    if (addLineEnd) buffer += '\n';
    ok = WriteAll(fd, buffer.data(), buffer.size());
  }
  if (!ok) ReportFailure(fd);
  return ok;
}

}  // namespace talvex

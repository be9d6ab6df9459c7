// The output writer on Linux: UTF-8 with "\n" line ends on every kind of
// stream, one write(2) per call.
#include "support/output.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace

bool WriteText(std::string_view text, OutputStream stream, bool addLineEnd) {
  // One buffer, one call: nothing is buffered across calls.
  std::string buffer(text);
  if (addLineEnd) buffer += '\n';
  if (buffer.empty()) return true;
  int fd = stream == OutputStream::kStandardError ? STDERR_FILENO
                                                  : STDOUT_FILENO;
  if (WriteAll(fd, buffer.data(), buffer.size())) return true;

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
  return false;
}

}  // namespace talvex

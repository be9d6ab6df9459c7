// Captures what the code under test writes to standard output and standard
// error (file descriptors 1 and 2, and on Windows the process's standard
// handles, where the console output layer writes).
#pragma once

#include <string>

#include "support/output.h"

namespace talvex {

// What the output layer wrote to a file, as the text it was given: Linux
// writes that text itself; Windows writes UTF-16LE with "\r\n" line ends
// to a file, which this turns back.
std::string DecodeCapturedOutput(const std::string& bytes);

// The exit status a process ending with `code` shows its parent: Linux
// keeps the low 8 bits, Windows the whole code (1355, 1722, -1 ...).
int ExitStatusOf(int code);

// The device that reads as empty: "/dev/null" on Linux, "NUL" on Windows.
const char* NullDevicePath();

class OutputCapture {
 public:
  // Redirects fds 1 and 2 to temporary files until Stop or destruction.
  OutputCapture();
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  // Everything written so far.
  std::string Stdout() const;
  std::string Stderr() const;
  // Restores the original descriptors (the captured text stays readable).
  void Stop();

 private:
  int savedStdout_ = -1;
  int savedStderr_ = -1;
  int stdoutFile_ = -1;
  int stderrFile_ = -1;
};

// Sets the output settings for a test and puts the old ones back after it.
class ScopedOutputSettings {
 public:
  explicit ScopedOutputSettings(int debugLevel, bool quiet = false,
                                int verboseLevel = 0)
      : saved_(Output()) {
    Output().debugLevel = debugLevel;
    Output().quiet = quiet;
    Output().verboseLevel = verboseLevel;
  }
  ~ScopedOutputSettings() { Output() = saved_; }

 private:
  OutputSettings saved_;
};

}  // namespace talvex

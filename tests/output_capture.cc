#include "output_capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace talvex {
namespace {

int TemporaryFile() {
  char name[] = "/tmp/talvex-capture-XXXXXX";
  int fd = mkstemp(name);
  if (fd >= 0) unlink(name);
  return fd;
}

std::string ReadAll(int fd) {
  std::string text;
  if (fd < 0) return text;
  char buffer[4096];
  off_t offset = 0;
  while (true) {
    ssize_t got = pread(fd, buffer, sizeof buffer, offset);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
    offset += got;
  }
  return text;
}

}  // namespace

std::string DecodeCapturedOutput(const std::string& bytes) { return bytes; }

int ExitStatusOf(int code) { return code & 0xff; }

const char* NullDevicePath() { return "/dev/null"; }

OutputCapture::OutputCapture() {
  FlushStandardOutput();
  std::fflush(stdout);
  std::fflush(stderr);
  stdoutFile_ = TemporaryFile();
  stderrFile_ = TemporaryFile();
  savedStdout_ = dup(STDOUT_FILENO);
  savedStderr_ = dup(STDERR_FILENO);
  dup2(stdoutFile_, STDOUT_FILENO);
  dup2(stderrFile_, STDERR_FILENO);
}

OutputCapture::~OutputCapture() {
  Stop();
  if (stdoutFile_ >= 0) close(stdoutFile_);
  if (stderrFile_ >= 0) close(stderrFile_);
}

void OutputCapture::Stop() {
  if (savedStdout_ < 0) return;
  FlushStandardOutput();
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(savedStdout_, STDOUT_FILENO);
  dup2(savedStderr_, STDERR_FILENO);
  close(savedStdout_);
  close(savedStderr_);
  savedStdout_ = -1;
  savedStderr_ = -1;
}

std::string OutputCapture::Stdout() const {
  FlushStandardOutput();
  return ReadAll(stdoutFile_);
}
std::string OutputCapture::Stderr() const { return ReadAll(stderrFile_); }

}  // namespace talvex

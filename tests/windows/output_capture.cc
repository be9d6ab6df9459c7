// Output capture on Windows: the C runtime's descriptors 1 and 2 and the
// process's standard handles (which the C runtime sets along with them)
// point at temporary files.
#include "output_capture.h"

#include <windows.h>
#include <io.h>

#include <cstdio>

namespace talvex {
namespace {

// Everything written to the file so far, read from its start. Reading to
// the end leaves the file position at the end, where writes go on.
std::string ReadDescriptor(int fd) {
  std::string bytes;
  if (fd < 0) return bytes;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  char buffer[4096];
  for (;;) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(bytes.size());
    DWORD got = 0;
    if (!ReadFile(handle, buffer, sizeof buffer, &got, &at) || got == 0) break;
    bytes.append(buffer, got);
  }
  return DecodeCapturedOutput(bytes);
}

}  // namespace

std::string DecodeCapturedOutput(const std::string& bytes) {
  std::wstring wide(bytes.size() / 2, L'\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  std::string text;
  if (!wide.empty()) {
    int size = static_cast<int>(wide.size());
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0,
                                     nullptr, nullptr);
    text.resize(static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length,
                        nullptr, nullptr);
  }
  // The writer made every "\n" a "\r\n"; a "\r" of the text itself stays.
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

// GetExitCodeProcess gives the whole code, which the test framework reads
// as an int.
int ExitStatusOf(int code) { return code; }

const char* NullDevicePath() { return "NUL"; }

OutputCapture::OutputCapture() {
  FlushStandardOutput();
  std::fflush(stdout);
  std::fflush(stderr);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  stdoutFile_ = out != nullptr ? _dup(_fileno(out)) : -1;
  stderrFile_ = err != nullptr ? _dup(_fileno(err)) : -1;
  if (out != nullptr) std::fclose(out);
  if (err != nullptr) std::fclose(err);
  savedStdout_ = _dup(1);
  savedStderr_ = _dup(2);
  _dup2(stdoutFile_, 1);
  _dup2(stderrFile_, 2);
}

OutputCapture::~OutputCapture() {
  Stop();
  if (stdoutFile_ >= 0) _close(stdoutFile_);
  if (stderrFile_ >= 0) _close(stderrFile_);
}

void OutputCapture::Stop() {
  if (savedStdout_ < 0) return;
  FlushStandardOutput();
  std::fflush(stdout);
  std::fflush(stderr);
  _dup2(savedStdout_, 1);
  _dup2(savedStderr_, 2);
  _close(savedStdout_);
  _close(savedStderr_);
  savedStdout_ = -1;
  savedStderr_ = -1;
}

std::string OutputCapture::Stdout() const {
  FlushStandardOutput();
  return ReadDescriptor(stdoutFile_);
}
std::string OutputCapture::Stderr() const {
  return ReadDescriptor(stderrFile_);
}

}  // namespace talvex

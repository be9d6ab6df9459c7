#include "support/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace talvex {
namespace {

// Standard texts of the Windows error codes that the domain-controller
// locator reports, so that a failed locate reads as administrators know it.
struct WindowsErrorText {
  int code;
  const char* text;
};

constexpr WindowsErrorText kWindowsErrors[] = {
    {1004, "Invalid flags."},
    {1212, "The format of the specified domain name is invalid."},
    {1311,
     "There are currently no logon servers available to service the logon "
     "request."},
    {1355,
     "The specified domain either does not exist or could not be contacted."},
    {1722, "The RPC server is unavailable."},
};

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

OutputSettings& Output() {
  static OutputSettings settings;
  return settings;
}

bool WriteText(std::string_view text, OutputStream stream, bool addLineEnd) {
  // One buffer, one call: nothing is buffered across calls.
  std::string buffer(text);
  if (addLineEnd) buffer += '\n';
  if (buffer.empty()) return true;
  int fd = stream == OutputStream::kStandardError ? STDERR_FILENO
                                                  : STDOUT_FILENO;
  if (WriteAll(fd, buffer.data(), buffer.size())) return true;

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

void PrintText(std::string_view text) {
  WriteText(text, OutputStream::kStandardOutput, false);
}

void PrintLine(std::string_view text) {
  WriteText(text, OutputStream::kStandardOutput, true);
}

void PrintDebugLine(std::string_view text) {
  std::string line = "DEBUG: ";
  line += text;
  WriteText(line, OutputStream::kStandardOutput, true);
}

void PrintErrorText(std::string_view text, bool addLineEnd) {
  WriteText(text, OutputStream::kStandardError, addLineEnd);
}

std::string FormatSystemError(std::string_view prefix, int code) {
  std::string result = prefix.empty() ? std::string("ERROR:") : std::string(prefix);
  result += '(';
  result += std::to_string(code);
  result += ") ";
  const char* message = nullptr;
  for (const auto& entry : kWindowsErrors) {
    if (entry.code == code) message = entry.text;
  }
  if (message != nullptr) {
    result += message;
    result += "\n";
  } else if (code > 0 && code < 1000) {
    char buffer[256];
    // GNU strerror_r returns the text, which may not be in the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    result += text;
    result += "\n";
  } else {
    result += "Unknown Error\n";
  }
  return result;
}

void PrintSystemError(std::string_view prefix, int code) {
  PrintText(FormatSystemError(prefix, code));
}

std::string FormatBool(bool value) { return value ? "TRUE" : "FALSE"; }

std::string FormatHexBytes(const void* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto* data = static_cast<const unsigned char*>(bytes);
  std::string text;
  text.reserve(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0xF];
    // A blank after each full pair and after a last single byte.
    if (i % 2 == 1 || i + 1 == count) text += ' ';
  }
  return text;
}

std::string ZeroPad(std::string_view text, std::size_t width) {
  std::string result(text);
  if (result.size() < width) result.insert(0, width - result.size(), '0');
  return result;
}

}  // namespace talvex

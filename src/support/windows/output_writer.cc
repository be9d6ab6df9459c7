// The output writer on Windows: the stream's kind decides the encoding, so
// that the text reads correctly in a console window, a file and a pipe.
#include <windows.h>

#include <string>

#include "support/output.h"
#include "support/windows/wide_text.h"

namespace talvex {
namespace {

// A character device is a console only when it has a console mode: the
// NUL device is a character device too, and WriteConsoleW fails on it.
bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return GetFileType(handle) == FILE_TYPE_CHAR &&
         GetConsoleMode(handle, &mode) != 0;
}

// Every "\n" as "\r\n"; a "\r" already in the text stays.
std::wstring WithCarriageReturns(const std::wstring& text) {
  std::wstring result;
  result.reserve(text.size() + text.size() / 16 + 2);
  for (wchar_t c : text) {
    if (c == L'\n') result += L'\r';
    result += c;
  }
  return result;
}

bool WriteBytes(HANDLE handle, const void* data, std::size_t size) {
  if (size == 0) return true;
  DWORD written = 0;
  return WriteFile(handle, data, static_cast<DWORD>(size), &written,
                   nullptr) != 0 &&
         written == size;
}

bool WriteToHandle(HANDLE handle, const std::wstring& text) {
  if (IsConsole(handle)) {
    // Line ends stay as they are: the console moves to the next line.
    if (text.empty()) return true;
    DWORD written = 0;
    return WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()),
                         &written, nullptr) != 0;
  }
  std::wstring lines = WithCarriageReturns(text);
  if (GetFileType(handle) == FILE_TYPE_PIPE) {
    // A program reading the pipe reads the console's code page.
    if (lines.empty()) return true;
    std::string bytes = Narrow(lines, CP_OEMCP);
    return WriteBytes(handle, bytes.data(), bytes.size());
  }
  // A disk file (and any other kind): UTF-16LE without a byte-order mark.
  return WriteBytes(handle, lines.data(), lines.size() * sizeof(wchar_t));
}

}  // namespace

bool WriteText(std::string_view text, OutputStream stream, bool addLineEnd) {
  std::wstring wide = Widen(text);
  if (addLineEnd) wide += L'\n';
  HANDLE handle = GetStdHandle(stream == OutputStream::kStandardError
                                   ? STD_ERROR_HANDLE
                                   : STD_OUTPUT_HANDLE);
  if (WriteToHandle(handle, wide)) return true;

  // Report the failure once, on standard error, never through this writer
  // again, so a failing report cannot recurse.
  DWORD error = GetLastError();
  static bool reporting = false;
  if (!reporting) {
    reporting = true;
    HANDLE errorHandle = GetStdHandle(STD_ERROR_HANDLE);
    if (errorHandle != handle) {
      WriteToHandle(errorHandle,
                    Widen(FormatSystemError("ERROR:", static_cast<int>(error))));
    }
    reporting = false;
  }
  return false;
}

}  // namespace talvex

// The output writer on Windows: the stream's kind decides the encoding, so
// that the text reads correctly in a console window, a file and a pipe.
// Standard output to a file or a pipe is gathered (support/output_buffer.h)
// in its final bytes.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/output.h"
#include "support/output_buffer.h"
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

bool WriteStandardOutput(const char* data, std::size_t size) {
  return WriteBytes(GetStdHandle(STD_OUTPUT_HANDLE), data, size);
}

OutputBuffer gStandardOutput(WriteStandardOutput);

// The bytes a file or a pipe gets for the text.
std::string StreamBytes(HANDLE handle, const std::wstring& text) {
  std::wstring lines = WithCarriageReturns(text);
  // A program reading the pipe reads the console's code page.
  if (GetFileType(handle) == FILE_TYPE_PIPE) return Narrow(lines, CP_OEMCP);
  // A disk file (and any other kind): UTF-16LE without a byte-order mark.
  return std::string(reinterpret_cast<const char*>(lines.data()),
                     lines.size() * sizeof(wchar_t));
}

bool WriteToHandle(HANDLE handle, const std::wstring& text) {
  if (IsConsole(handle)) {
    // Line ends stay as they are: the console moves to the next line.
    if (text.empty()) return true;
    DWORD written = 0;
    return WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()),
                         &written, nullptr) != 0;
  }
  std::string bytes = StreamBytes(handle, text);
  return WriteBytes(handle, bytes.data(), bytes.size());
}

void ReportFailure(HANDLE handle, DWORD error) {
  // Report the failure once, on standard error, never through this writer
  // again, so a failing report cannot recurse.
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
}

// Ctrl+C, Ctrl+Break and a closed console window end the process once the
// handler returns; what standard output holds is written first.
BOOL WINAPI FlushOnConsoleEvent(DWORD) {
  gStandardOutput.FlushFromSignal();
  return FALSE;
}

void FlushAtExit() {
  if (!gStandardOutput.Flush())
    ReportFailure(GetStdHandle(STD_OUTPUT_HANDLE), GetLastError());
}

// Decided once, at the first text: a run does not move its standard output.
bool StandardOutputBuffered() {
  static const bool buffered = [] {
    if (IsConsole(GetStdHandle(STD_OUTPUT_HANDLE))) return false;
    std::atexit(FlushAtExit);
    SetConsoleCtrlHandler(FlushOnConsoleEvent, TRUE);
    return true;
  }();
  return buffered;
}

}  // namespace

void FlushStandardOutput() {
  if (StandardOutputBuffered() && !gStandardOutput.Flush())
    ReportFailure(GetStdHandle(STD_OUTPUT_HANDLE), GetLastError());
}

bool WriteText(std::string_view text, OutputStream stream, bool addLineEnd) {
  std::wstring wide = Widen(text);
  if (addLineEnd) wide += L'\n';
  HANDLE handle = GetStdHandle(stream == OutputStream::kStandardError
                                   ? STD_ERROR_HANDLE
                                   : STD_OUTPUT_HANDLE);
  bool ok;
  if (stream == OutputStream::kStandardOutput && StandardOutputBuffered()) {
    ok = wide.empty() || gStandardOutput.Append(StreamBytes(handle, wide));
  } else {
    // What standard output holds comes first where the two streams meet.
    if (stream == OutputStream::kStandardError) FlushStandardOutput();
    ok = WriteToHandle(handle, wide);
  }
  if (!ok) ReportFailure(handle, GetLastError());
  return ok;
}

}  // namespace talvex

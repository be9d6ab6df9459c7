#include "support/system_message.h"

#include <windows.h>

#include <string>

#include "support/windows/wide_text.h"

namespace talvex {

std::string SystemMessageText(int code) {
  char* buffer = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<char*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return std::string();
  // The text comes in the ANSI code page; our routines and the output
  // writer take UTF-8, so a localized text (a German "Domäne") is turned
  // into it here rather than reaching the screen garbled.
  int size = static_cast<int>(length);
  int wideLength = MultiByteToWideChar(CP_ACP, 0, buffer, size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength > 0 ? wideLength : 0),
                    L'\0');
  if (wideLength > 0) {
    MultiByteToWideChar(CP_ACP, 0, buffer, size, wide.data(), wideLength);
  }
  LocalFree(buffer);
  std::string text = Narrow(wide);
  // The system's texts end in "\r\n"; our texts use "\n", which the writer
  // turns into "\r\n" again (a kept "\r" would reach a file as "\r\r\n").
  std::string result;
  for (char c : text) {
    if (c != '\r') result += c;
  }
  if (result.empty() || result.back() != '\n') result += '\n';
  return result;
}

}  // namespace talvex

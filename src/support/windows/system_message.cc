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
  std::string text =
      Narrow(Widen(std::string_view(buffer, length), CP_ACP));
  LocalFree(buffer);
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

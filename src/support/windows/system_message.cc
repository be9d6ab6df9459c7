#include "support/system_message.h"

#include <windows.h>

#include "support/windows/wide_text.h"

namespace talvex {

std::string SystemMessageText(int code) {
  // The wide form: the narrow one answers in the ANSI code page, which is
  // not the UTF-8 our routines and the output writer take, so that a
  // localized text (a German "Domäne") would reach the screen garbled.
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return std::string();
  std::string text = Narrow(std::wstring_view(buffer, length));
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

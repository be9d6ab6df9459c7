#include "support/windows/wide_text.h"

#include <windows.h>

namespace talvex {

static_assert(kUtf8CodePage == CP_UTF8);

std::wstring Widen(std::string_view text, unsigned codePage) {
  if (text.empty()) return std::wstring();
  int size = static_cast<int>(text.size());
  int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(std::wstring_view text, unsigned codePage) {
  if (text.empty()) return std::string();
  int size = static_cast<int>(text.size());
  int length = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0,
                                   nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), length,
                      nullptr, nullptr);
  return narrow;
}

}  // namespace talvex

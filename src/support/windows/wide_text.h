// UTF-8 (the text of our routines) to and from UTF-16 (the text of the
// Windows interfaces), and the system's narrow code pages where an
// interface or a stream uses one (the ANSI code page of FormatMessageA,
// the OEM code page of a pipe). Only the Windows side files use these.
#pragma once

#include <string>
#include <string_view>

namespace talvex {

// codePage: a Windows code page identifier; UTF-8 (CP_UTF8) unless given.
constexpr unsigned kUtf8CodePage = 65001;

std::wstring Widen(std::string_view text, unsigned codePage = kUtf8CodePage);
std::string Narrow(std::wstring_view text, unsigned codePage = kUtf8CodePage);

}  // namespace talvex

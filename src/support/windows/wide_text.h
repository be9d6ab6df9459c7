// UTF-8 (the text of our routines) to and from UTF-16 (the text of the
// Windows interfaces). Only the Windows side files use these.
#pragma once

#include <string>
#include <string_view>

namespace talvex {

std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

}  // namespace talvex

// Text read from the directory made safe to show on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace talvex {

// The text with every control character written as a visible escape:
// C0 controls and DEL as "\n", "\r", "\t" or "\xHH", C1 controls (U+0080
// to U+009F) as "\u0085", and each byte that is not part of valid UTF-8 as
// "\xHH". Anyone allowed to write a display name, a DN or an account name
// could otherwise clear an administrator's screen, retitle the window or
// forge a line of a listing. Valid non-ASCII text stays as it is. Meant for
// the text output only: machine-readable output carries the text exactly.
std::string VisibleText(std::string_view text);
// The same, appended to *out, for a caller that builds a line in place.
void AppendVisibleText(std::string* out, std::string_view text);

}  // namespace talvex

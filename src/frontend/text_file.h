// Reading a file named on the command line (an audit profile, a policy
// document).
#pragma once

#include <string>

namespace talvex {

// The whole file into *text, or standard input to its end for the path
// "-"; false when it cannot be opened or read. The path is UTF-8, as every
// command-line text is, on Windows too.
bool ReadTextFile(const std::string& path, std::string* text);

}  // namespace talvex

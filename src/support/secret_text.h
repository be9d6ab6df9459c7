// Keeping a secret (the run's password) in memory without leaving copies.
//
// A std::string that grows moves its text to a larger buffer and frees the
// old one as it is; a moved-from string keeps short text in its own inline
// buffer. Secrets are grown and wiped with these instead, so that no freed
// or moved-from buffer still holds them.
#pragma once

#include <string>

namespace talvex {

// Overwrites every byte the text's buffer holds (up to its capacity, so
// also characters erased or moved out before), then empties the text.
void WipeSecret(std::string* text);

// Appends one character; when the buffer is full, the text moves to a
// larger one and the old buffer is wiped before it is freed.
void AppendSecret(std::string* text, char character);

}  // namespace talvex

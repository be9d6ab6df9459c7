// Asking for a password on the terminal instead of the command line.
#pragma once

#include <string>

#include "support/terminal.h"

namespace talvex {

// Shows "Enter Password: ", reads keys without echo, shows a dot per
// character, supports backspace. Returns true after Enter with *password
// holding what was typed; false when the user abandoned the prompt (Esc or
// Ctrl+C), leaving *password unchanged.
//
// When standard input is not a terminal (a script, CI), one line is read
// from standard input as the password instead, without echo; false when
// standard input is at its end before any character.
bool PromptPassword(std::string* password);

// The key loop on a given terminal.
bool PromptPassword(Terminal& terminal, std::string* password);

}  // namespace talvex

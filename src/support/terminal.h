// The terminal the password prompt talks to: keys in without echo, text out.
#pragma once

#include <memory>
#include <string_view>

namespace talvex {

class Terminal {
 public:
  virtual ~Terminal() = default;

  // Blocks for the next key byte; -1 when the terminal gives no more input.
  virtual int ReadKey() = 0;
  // Whether another byte follows at once. A terminal sends the bytes of one
  // key (an arrow key is Esc, "[", "A") together, so a byte that is already
  // there or arrives within a few milliseconds belongs to the same key; a
  // lone Esc is followed by nothing.
  virtual bool MoreKeyBytesPending() = 0;
  virtual void Write(std::string_view text) = 0;
};

// One byte of standard input, for a password fed by a script; false at its
// end or on a read error.
bool ReadStandardInputByte(char* byte);

// The process's controlling terminal (/dev/tty) in raw mode without echo,
// or null when standard input is not a terminal or /dev/tty cannot be set
// up. The terminal's previous mode is restored when the object is
// destroyed, and also when the process is interrupted or terminated by a
// signal while the object lives.
std::unique_ptr<Terminal> OpenRawTerminal();

}  // namespace talvex

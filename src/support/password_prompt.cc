#include "support/password_prompt.h"

#include "support/output.h"
#include "support/secret_text.h"

namespace talvex {
namespace {

constexpr int kCtrlC = 3;
constexpr int kBackspace = 8;
constexpr int kLineFeed = 10;
constexpr int kCarriageReturn = 13;
constexpr int kEscape = 27;
// Many terminals send DEL for the Backspace key.
constexpr int kDelete = 127;

constexpr char kPromptText[] = "Enter Password: ";

bool IsSequenceParameter(int byte) { return byte >= 0x20 && byte <= 0x3F; }

// Consumes the rest of a key sequence that began with Esc: "Esc [" with
// parameters and a final byte (arrows, function keys), "Esc O" and one byte,
// or Esc and one byte (Alt+key). Only bytes that are already there are read,
// so a cut-off sequence never blocks the prompt.
void SkipKeySequence(Terminal& terminal) {
  int introducer = terminal.ReadKey();
  if (introducer == '[') {
    while (terminal.MoreKeyBytesPending()) {
      int byte = terminal.ReadKey();
      if (!IsSequenceParameter(byte)) return;
    }
  } else if (introducer == 'O') {
    if (terminal.MoreKeyBytesPending()) terminal.ReadKey();
  }
}

// Reads one line from standard input without any echo; the line end is not
// part of the password.
bool ReadPasswordLine(std::string* password) {
  std::string line;
  bool gotAny = false;
  for (;;) {
    char byte = 0;
    if (!ReadStandardInputByte(&byte)) break;
    gotAny = true;
    if (byte == '\n') break;
    AppendSecret(&line, byte);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (gotAny) password->swap(line);
  WipeSecret(&line);
  return gotAny;
}

}  // namespace

bool PromptPassword(Terminal& terminal, std::string* password) {
  terminal.Write(kPromptText);
  std::string buffer;
  for (;;) {
    int key = terminal.ReadKey();
    if (key < 0 || key == kCtrlC) {
      terminal.Write("\n");
      WipeSecret(&buffer);
      return false;
    }
    if (key == kEscape) {
      if (!terminal.MoreKeyBytesPending()) {
        terminal.Write("\n");
        WipeSecret(&buffer);
        return false;
      }
      SkipKeySequence(terminal);
      terminal.Write("\a");
    } else if (key == kCarriageReturn || key == kLineFeed) {
      break;
    } else if (key == kBackspace || key == kDelete) {
      if (buffer.empty()) {
        terminal.Write("\a");
      } else {
        terminal.Write("\b \b");
        buffer.pop_back();
      }
    } else if (key >= 32 && key <= 126) {
      terminal.Write(".");
      AppendSecret(&buffer, static_cast<char>(key));
    } else {
      terminal.Write("\a");
    }
  }
  terminal.Write("\n");
  password->swap(buffer);
  WipeSecret(&buffer);
  return true;
}

bool PromptPassword(std::string* password) {
  // Whatever was printed before the prompt shows before it.
  FlushStandardOutput();
  std::unique_ptr<Terminal> terminal = OpenRawTerminal();
  if (terminal != nullptr) return PromptPassword(*terminal, password);
  PrintText(kPromptText);
  bool entered = ReadPasswordLine(password);
  PrintLine("");
  return entered;
}

}  // namespace talvex

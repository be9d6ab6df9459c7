// The console on Windows: keys from the console's unbuffered character
// read (_getch), which never echoes; arrow and function keys arrive as a
// prefix code and a second code, handled code by code.
#include <conio.h>
#include <windows.h>

#include "support/terminal.h"
#include "support/windows/wide_text.h"

namespace talvex {
namespace {

class ConsoleTerminal : public Terminal {
 public:
  explicit ConsoleTerminal(HANDLE output) : output_(output) {}
  ~ConsoleTerminal() override { CloseHandle(output_); }
  ConsoleTerminal(const ConsoleTerminal&) = delete;
  ConsoleTerminal& operator=(const ConsoleTerminal&) = delete;

  int ReadKey() override { return _getch(); }
  // Esc comes alone from the console: it never starts a sequence.
  bool MoreKeyBytesPending() override { return false; }
  void Write(std::string_view text) override {
    std::wstring wide = Widen(text);
    DWORD written = 0;
    WriteConsoleW(output_, wide.data(), static_cast<DWORD>(wide.size()),
                  &written, nullptr);
  }

 private:
  HANDLE output_;
};

}  // namespace

bool ReadStandardInputByte(char* byte) {
  DWORD got = 0;
  return ReadFile(GetStdHandle(STD_INPUT_HANDLE), byte, 1, &got, nullptr) !=
             0 &&
         got == 1;
}

std::unique_ptr<Terminal> OpenRawTerminal() {
  // Standard input decides: when it is not a console, a script feeds the
  // password and the caller reads it from there.
  DWORD mode = 0;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (GetFileType(input) != FILE_TYPE_CHAR || !GetConsoleMode(input, &mode)) {
    return nullptr;
  }
  // The prompt and its dots go to the console itself, so that they show
  // also when standard output is redirected.
  HANDLE output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (output == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<ConsoleTerminal>(output);
}

}  // namespace talvex

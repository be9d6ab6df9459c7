#include "support/output.h"

#include "support/system_message.h"

namespace talvex {

OutputSettings& Output() {
  static OutputSettings settings;
  return settings;
}

void PrintText(std::string_view text) {
  WriteText(text, OutputStream::kStandardOutput, false);
}

void PrintLine(std::string_view text) {
  WriteText(text, OutputStream::kStandardOutput, true);
}

void PrintDebugLine(std::string_view text) {
  std::string line = "DEBUG: ";
  line += text;
  WriteText(line, OutputStream::kStandardOutput, true);
}

void PrintErrorText(std::string_view text, bool addLineEnd) {
  WriteText(text, OutputStream::kStandardError, addLineEnd);
}

std::string FormatSystemError(std::string_view prefix, int code) {
  std::string result = prefix.empty() ? std::string("ERROR:") : std::string(prefix);
  result += "(" + std::to_string(code) + ") ";
  std::string message = SystemMessageText(code);
  result += message.empty() ? std::string("Unknown Error\n") : message;
  return result;
}

void PrintSystemError(std::string_view prefix, int code) {
  PrintText(FormatSystemError(prefix, code));
}

std::string FormatBool(bool value) { return value ? "TRUE" : "FALSE"; }

std::string FormatHexBytes(const void* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto* data = static_cast<const unsigned char*>(bytes);
  std::string text;
  text.reserve(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0xF];
    // A blank after each full pair and after a last single byte.
    if (i % 2 == 1 || i + 1 == count) text += ' ';
  }
  return text;
}

std::string ZeroPad(std::string_view text, std::size_t width) {
  std::string result(text);
  if (result.size() < width) result.insert(0, width - result.size(), '0');
  return result;
}

}  // namespace talvex

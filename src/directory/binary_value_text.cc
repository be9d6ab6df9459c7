#include "directory/binary_value_text.h"

#include <cstdint>
#include <cstdio>

#include "support/output.h"

namespace talvex {
namespace {

constexpr std::size_t kSidHeaderLength = 8;
constexpr std::size_t kGuidLength = 16;

std::uint8_t Byte(std::string_view bytes, std::size_t i) {
  return static_cast<std::uint8_t>(bytes[i]);
}

std::string GuidText(std::string_view b, bool upper) {
  char text[40];
  std::snprintf(text, sizeof text,
                upper ? "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%"
                        "02X%02X%02X%02X"
                      : "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%"
                        "02x%02x%02x%02x",
                Byte(b, 3), Byte(b, 2), Byte(b, 1), Byte(b, 0), Byte(b, 5),
                Byte(b, 4), Byte(b, 7), Byte(b, 6), Byte(b, 8), Byte(b, 9),
                Byte(b, 10), Byte(b, 11), Byte(b, 12), Byte(b, 13), Byte(b, 14),
                Byte(b, 15));
  return text;
}

// Where each stored byte's two hex digits are in the text of GuidText: the
// first three groups are little-endian numbers, the rest in stored order.
constexpr std::size_t kGuidTextDigits[kGuidLength] = {
    6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
constexpr std::size_t kGuidTextLength = 36;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::size_t SidLength(std::string_view bytes) {
  if (bytes.size() < kSidHeaderLength || Byte(bytes, 0) != 1) return 0;
  std::size_t length = kSidHeaderLength + 4 * std::size_t{Byte(bytes, 1)};
  return length <= bytes.size() ? length : 0;
}

std::string SidToText(std::string_view bytes) {
  std::size_t length = SidLength(bytes);
  if (length == 0) return std::string();
  // The identifier authority is a 48-bit big-endian number; Windows writes
  // it in hexadecimal when it does not fit 32 bits.
  std::uint64_t authority = 0;
  for (std::size_t i = 2; i < kSidHeaderLength; ++i) {
    authority = (authority << 8) | Byte(bytes, i);
  }
  std::string text = "S-1-";
  if (authority >> 32) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%012llX",
                  static_cast<unsigned long long>(authority));
    text += hex;
  } else {
    text += std::to_string(authority);
  }
  for (std::size_t offset = kSidHeaderLength; offset < length; offset += 4) {
    std::uint32_t sub = Byte(bytes, offset) | (Byte(bytes, offset + 1) << 8) |
                        (Byte(bytes, offset + 2) << 16) |
                        (std::uint32_t{Byte(bytes, offset + 3)} << 24);
    text += '-';
    text += std::to_string(sub);
  }
  return text;
}

std::string GuidToText(std::string_view bytes) {
  if (bytes.size() < kGuidLength)
    return FormatHexBytes(bytes.data(), bytes.size());
  std::string text = "{";
  text += GuidText(bytes, true);
  text += '}';
  return text;
}

std::string GuidToLowerText(std::string_view bytes) {
  if (bytes.size() < kGuidLength) return std::string();
  return GuidText(bytes, false);
}

std::string GuidTextToBytes(std::string_view text) {
  if (text.size() == kGuidTextLength + 2 && text.front() == '{' &&
      text.back() == '}') {
    text = text.substr(1, kGuidTextLength);
  }
  if (text.size() != kGuidTextLength) return std::string();
  for (std::size_t dash : {8, 13, 18, 23}) {
    if (text[dash] != '-') return std::string();
  }
  std::string bytes(kGuidLength, '\0');
  for (std::size_t i = 0; i < kGuidLength; ++i) {
    const int high = HexDigit(text[kGuidTextDigits[i]]);
    const int low = HexDigit(text[kGuidTextDigits[i] + 1]);
    if (high < 0 || low < 0) return std::string();
    bytes[i] = static_cast<char>(high * 16 + low);
  }
  return bytes;
}

}  // namespace talvex

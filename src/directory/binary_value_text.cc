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

}  // namespace talvex

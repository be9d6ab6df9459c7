// Tests and changes of ASCII text eight bytes at a time. Names, DNs and
// values are nearly always plain ASCII, and a listing of thousands of
// policies passes every byte of them through these tests; a byte at a time
// they cost several instructions a byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace talvex::ascii_words {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHigh = 0x8080808080808080ull;

inline std::uint64_t Load(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Not zero when some byte of a word of ASCII bytes (each below 0x80) is
// below n (n at most 0x80). A borrow may mark a byte above one that is
// below n, so only whether any is marked counts.
inline std::uint64_t BytesBelow(std::uint64_t word, unsigned n) {
  return (word - kOnes * n) & ~word & kHigh;
}

// The high bit of each byte of a word of ASCII bytes that is at least n
// (n from 1 to 0x80): byte + (0x80 - n) carries into its high bit then,
// and cannot carry out of the byte.
inline std::uint64_t BytesAtLeast(std::uint64_t word, unsigned n) {
  return (word + kOnes * (0x80 - n)) & kHigh;
}

// Whether every byte is below 0x80.
inline bool AllAscii(std::string_view text) {
  std::size_t at = 0;
  std::uint64_t high = 0;
  for (; at + 8 <= text.size(); at += 8) high |= Load(text.data() + at);
  for (; at < text.size(); ++at) high |= static_cast<unsigned char>(text[at]);
  return (high & kHigh) == 0;
}

// Whether every byte is printable ASCII (0x20 to 0x7E).
inline bool AllPrintableAscii(std::string_view text) {
  std::size_t at = 0;
  std::uint64_t bad = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word = Load(text.data() + at);
    // Bytes at or above 0x80 first: the other tests hold for ASCII only.
    bad |= (word & kHigh) | BytesBelow(word & ~kHigh, 0x20) |
           BytesAtLeast(word & ~kHigh, 0x7F);
  }
  for (; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    bad |= byte < 0x20 || byte >= 0x7F;
  }
  return bad == 0;
}

// Changes the letters of ASCII text to lower case (upper when `upper`).
inline void ChangeAsciiCase(char* text, std::size_t size, bool upper) {
  const unsigned first = upper ? 'a' : 'A';
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    std::uint64_t word = Load(text + at);
    std::uint64_t letters =
        BytesAtLeast(word, first) & ~BytesAtLeast(word, first + 26);
    word ^= letters >> 2;  // 0x80 >> 2 is the case bit 0x20
    std::memcpy(text + at, &word, sizeof word);
  }
  for (; at < size; ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= first && byte < first + 26) {
      text[at] = static_cast<char>(byte ^ 0x20);
    }
  }
}

}  // namespace talvex::ascii_words

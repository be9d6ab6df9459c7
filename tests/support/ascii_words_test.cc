#include "support/ascii_words.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

// Every byte value at every place of a word and of the tail gives what a
// byte-by-byte reading gives.
TEST(AsciiWordsTest, EveryByteAtEveryPlaceAgreesWithByteByByte) {
  for (int value = 0; value < 256; ++value) {
    const auto byte = static_cast<unsigned char>(value);
    for (std::size_t at = 0; at < 19; ++at) {
      std::string text(19, 'M');
      text[at] = static_cast<char>(byte);
      EXPECT_EQ(byte < 0x80, ascii_words::AllAscii(text)) << value << "@" << at;
      EXPECT_EQ(byte >= 0x20 && byte < 0x7F,
                ascii_words::AllPrintableAscii(text))
          << value << "@" << at;
      if (byte >= 0x80) continue;
      for (bool upper : {false, true}) {
        std::string changed = text;
        ascii_words::ChangeAsciiCase(changed.data(), changed.size(), upper);
        std::string expected = text;
        for (char& c : expected) {
          if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
          if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        }
        EXPECT_EQ(expected, changed) << value << "@" << at;
      }
    }
  }
}

}  // namespace
}  // namespace talvex

#include "support/visible_text.h"

#include <cstdint>

#include "support/ascii_words.h"

namespace talvex {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendByteEscape(std::string* out, unsigned char byte) {
  out->append("\\x");
  out->push_back(kHexDigits[byte >> 4]);
  out->push_back(kHexDigits[byte & 0xF]);
}

// The length of the valid UTF-8 sequence at text[at] (RFC 3629: no
// overlong forms, no surrogates, nothing above U+10FFFF), or 0.
std::size_t ValidSequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[i]);
  };
  unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

void AppendVisibleText(std::string* result, std::string_view text) {
  std::string& out = *result;
  // Nearly every text is printable ASCII throughout: one append.
  if (ascii_words::AllPrintableAscii(text)) {
    out.append(text);
    return;
  }
  out.reserve(out.size() + text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c >= 0x20 && c < 0x7F) {
      // A run of printable ASCII, most of every text, in one piece.
      std::size_t end = at + 1;
      while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x20 &&
             static_cast<unsigned char>(text[end]) < 0x7F) {
        ++end;
      }
      out.append(text.substr(at, end - at));
      at = end;
      continue;
    }
    if (c < 0x80) {
      if (c == '\n') {
        out.append("\\n");
      } else if (c == '\r') {
        out.append("\\r");
      } else if (c == '\t') {
        out.append("\\t");
      } else {
        AppendByteEscape(&out, c);
      }
      ++at;
      continue;
    }
    std::size_t length = ValidSequenceLength(text, at);
    if (length == 0) {
      AppendByteEscape(&out, c);
      ++at;
      continue;
    }
    // U+0080..U+009F are encoded as C2 80..C2 9F.
    const auto second = static_cast<unsigned char>(text[at + 1]);
    if (c == 0xC2 && second <= 0x9F) {
      out.append("\\u00");
      out.push_back(kHexDigits[second >> 4]);
      out.push_back(kHexDigits[second & 0xF]);
    } else {
      out.append(text.substr(at, length));
    }
    at += length;
  }
}

std::string VisibleText(std::string_view text) {
  std::string out;
  AppendVisibleText(&out, text);
  return out;
}

}  // namespace talvex

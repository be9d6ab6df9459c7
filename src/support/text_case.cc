#include "support/text_case.h"

#include <algorithm>

#include "support/ascii_words.h"
#include "support/letter_case.h"

namespace talvex {
namespace {

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Decodes one UTF-8 sequence at text[*pos]; returns -1 for an invalid one.
long DecodeOne(std::string_view text, std::size_t* pos) {
  auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[i]);
  };
  unsigned char lead = byte(*pos);
  int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                           : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || *pos + length > text.size()) return -1;
  long code = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    unsigned char next = byte(*pos + i);
    if ((next & 0xC0) != 0x80) return -1;
    code = (code << 6) | (next & 0x3F);
  }
  *pos += length;
  return code;
}

void EncodeOne(long code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string ConvertCase(std::string_view text, bool lower) {
  // Most texts (names, DNs) are ASCII throughout: then one copy, changed
  // where it stands.
  if (ascii_words::AllAscii(text)) {
    std::string result(text);
    ascii_words::ChangeAsciiCase(result.data(), result.size(), !lower);
    return result;
  }
  std::string result;
  result.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {  // a run of ASCII, most of every name, in one step
      std::size_t end = pos;
      while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80)
        ++end;
      std::size_t out = result.size();
      result.append(text.substr(pos, end - pos));
      ascii_words::ChangeAsciiCase(result.data() + out, end - pos, !lower);
      pos = end;
      continue;
    }
    std::size_t start = pos;
    long code = DecodeOne(text, &pos);
    if (code < 0) {
      result += text[start];
      pos = start + 1;
      continue;
    }
    code = MapLetterCase(code, lower);
    EncodeOne(code, &result);
  }
  return result;
}

}  // namespace

std::string LowerCase(std::string_view text) { return ConvertCase(text, true); }
std::string UpperCase(std::string_view text) { return ConvertCase(text, false); }

std::string AsciiLowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = AsciiLower(c);
  return result;
}

std::string AsciiUpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = AsciiUpper(c);
  return result;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;  // mostly spelt alike
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool UpperCaseEquals(std::string_view text, std::string_view upper) {
  if (!ascii_words::AllAscii(text)) return UpperCase(text) == upper;
  return EqualsIgnoringAsciiCase(text, upper);
}

bool LessIgnoringAsciiCase::operator()(std::string_view a,
                                       std::string_view b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(AsciiLower(x)) <
               static_cast<unsigned char>(AsciiLower(y));
      });
}

}  // namespace talvex

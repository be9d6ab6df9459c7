#include "support/visible_text.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

TEST(VisibleTextTest, ControlCharactersBecomeEscapesAndTextStays) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"CN=pso1,DC=corp", "CN=pso1,DC=corp"},
      {"a\\2Cb", "a\\2Cb"},  // a DN's own escapes are left alone
      {"\x1b[2Jx", "\\x1b[2Jx"},
      {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
      {"line\nforged\r\tx", "line\\nforged\\r\\tx"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"del\x7f", "del\\x7f"},
      {"\xc2\x9b" "2J", "\\u009b2J"},  // C1 CSI
      {"\xc2\x85", "\\u0085"},
      {"\xc2\xa0\xc3\x84rzte \xe2\x82\xac \xf0\x9f\x94\x91",
       "\xc2\xa0\xc3\x84rzte \xe2\x82\xac \xf0\x9f\x94\x91"},
      {"bad\xff\xfe", "bad\\xff\\xfe"},
      {"\xc3", "\\xc3"},                  // cut short
      {"\xc0\xaf", "\\xc0\\xaf"},         // overlong "/"
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // surrogate
      {"\x9b", "\\x9b"},                  // a bare C1 byte is not UTF-8
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.out, VisibleText(c.in)) << c.in;
  }
}

}  // namespace
}  // namespace talvex

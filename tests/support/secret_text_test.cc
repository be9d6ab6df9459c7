#include "support/secret_text.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

// The buffer stays allocated after the wipe, so what it holds can be read:
// nothing of the secret, also not the characters erased before.
TEST(SecretTextTest, WipeClearsTheWholeBuffer) {
  for (std::string secret : {std::string("short"),
                             std::string("a password longer than inline")}) {
    secret.pop_back();  // an erased character is still in the buffer
    const char* bytes = secret.data();
    std::size_t capacity = secret.capacity();
    WipeSecret(&secret);
    EXPECT_TRUE(secret.empty());
    EXPECT_EQ(bytes, secret.data());
    for (std::size_t i = 0; i < capacity; ++i) {
      EXPECT_EQ('\0', bytes[i]) << i;
    }
  }
}

TEST(SecretTextTest, AppendGrowsPastEveryCapacity) {
  std::string secret;
  std::string expected;
  for (int i = 0; i < 100; ++i) {
    char c = static_cast<char>('a' + i % 26);
    AppendSecret(&secret, c);
    expected.push_back(c);
  }
  EXPECT_EQ(expected, secret);
}

}  // namespace
}  // namespace talvex

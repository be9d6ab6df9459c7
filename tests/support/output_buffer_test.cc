#include "support/output_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

std::string gWritten;

bool Capture(const char* data, std::size_t size) {
  gWritten.append(data, size);
  return true;
}

// Lines of every length around the buffer's end, and one longer than the
// buffer, come out whole and in order, each with its line end.
TEST(OutputBufferTest, LinesAcrossTheBufferEndComeOutWhole) {
  for (std::size_t first : {std::size_t{32 * 1024 - 2},
                            std::size_t{32 * 1024 - 1}, std::size_t{10}}) {
    gWritten.clear();
    OutputBuffer buffer(Capture);
    std::string expected;
    for (const std::string& line :
         {std::string(first, 'a'), std::string(1, 'b'), std::string(0, 'c'),
          std::string(40 * 1024, 'd'), std::string(3, 'e')}) {
      EXPECT_TRUE(buffer.AppendLine(line));
      expected += line + "\n";
    }
    EXPECT_TRUE(buffer.Append("tail"));
    EXPECT_TRUE(buffer.Flush());
    EXPECT_EQ(expected + "tail", gWritten) << first;
  }
}

}  // namespace
}  // namespace talvex

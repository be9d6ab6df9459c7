// The writer's encoding by stream kind: UTF-16LE with "\r\n" to a file, the
// OEM code page with "\r\n" to a pipe.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/output.h"

namespace talvex {
namespace {

std::string Utf16(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

// Runs the writes with standard output pointed at the handle.
void WriteTo(HANDLE handle) {
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, handle);
  PrintLine("a\nb");
  PrintText("c\r\n");
  PrintText("");
  PrintLine("");
  FlushStandardOutput();
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
}

TEST(OutputWriterTest, FileGetsUtf16AndPipeOemWithCarriageReturns) {
  const std::string expected = "a\r\nb\r\nc\r\r\n\r\n";

  wchar_t directory[MAX_PATH];
  wchar_t path[MAX_PATH];
  ASSERT_NE(0u, GetTempPathW(MAX_PATH, directory));
  ASSERT_NE(0u, GetTempFileNameW(directory, L"tvx", 0, path));
  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  WriteTo(file);
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[256];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  CloseHandle(file);
  EXPECT_EQ(Utf16(expected), std::string(buffer, got));

  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  WriteTo(writeEnd);
  CloseHandle(writeEnd);
  std::string piped;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    piped.append(buffer, got);
  }
  CloseHandle(readEnd);
  EXPECT_EQ(expected, piped);
}

}  // namespace
}  // namespace talvex

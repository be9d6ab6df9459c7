// Captures what the output layer writes to standard output during a test.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

namespace talvex {

// Points file descriptor 1 at a temporary file until Finish (or the end of
// the object), then hands back what was written there.
class StdoutCapture {
 public:
  StdoutCapture() {
    file_ = std::tmpfile();
    saved_ = dup(STDOUT_FILENO);
    if (file_ != nullptr && saved_ >= 0) dup2(fileno(file_), STDOUT_FILENO);
  }
  ~StdoutCapture() { Finish(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  std::string Finish() {
    if (saved_ >= 0) {
      dup2(saved_, STDOUT_FILENO);
      close(saved_);
      saved_ = -1;
    }
    if (file_ == nullptr) return text_;
    std::rewind(file_);
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file_)) > 0) {
      text_.append(buffer, count);
    }
    std::fclose(file_);
    file_ = nullptr;
    return text_;
  }

 private:
  std::FILE* file_ = nullptr;
  int saved_ = -1;
  std::string text_;
};

}  // namespace talvex

// A running count on standard error while long work goes on.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace talvex {

// Shows "label count" on one line of standard error, rewritten in place,
// once the work has taken longer than a moment, and only when standard
// error is a terminal (a log or a pipe gets nothing) and output is not
// quiet. The line is wiped when the object goes away, so that what follows
// starts on a clean line.
class ProgressLine {
 public:
  explicit ProgressLine(std::string label);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Update(std::size_t count);

 private:
  std::string label_;
  bool enabled_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastShown_;
  std::size_t shownWidth_ = 0;
};

}  // namespace talvex

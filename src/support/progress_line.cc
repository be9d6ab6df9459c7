#include "support/progress_line.h"

#include <unistd.h>

#include "support/output.h"

namespace talvex {
namespace {

// Work shorter than this shows nothing; a shown count changes at most this
// often, so that the terminal is not flooded.
constexpr std::chrono::milliseconds kShowAfter{1000};
constexpr std::chrono::milliseconds kRefreshEvery{200};

}  // namespace

ProgressLine::ProgressLine(std::string label)
    : label_(std::move(label)),
      enabled_(!Output().quiet && isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() {
  if (shownWidth_ == 0) return;
  WriteText("\r" + std::string(shownWidth_, ' ') + "\r",
            OutputStream::kStandardError, false);
}

void ProgressLine::Update(std::size_t count) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  if (now - start_ < kShowAfter) return;
  if (shownWidth_ != 0 && now - lastShown_ < kRefreshEvery) return;
  lastShown_ = now;
  std::string text = label_ + " " + std::to_string(count);
  if (text.size() > shownWidth_) shownWidth_ = text.size();
  WriteText("\r" + text, OutputStream::kStandardError, false);
}

}  // namespace talvex

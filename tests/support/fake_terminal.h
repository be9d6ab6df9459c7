// An in-memory terminal for the password prompt's tests.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "support/terminal.h"

namespace talvex {

// Keys arrive in bursts, as a terminal sends them: the bytes of one burst
// (an arrow key's "\x1b[A") are pending together; between bursts nothing is
// pending. Everything the prompt writes is recorded.
class FakeTerminal : public Terminal {
 public:
  explicit FakeTerminal(std::vector<std::string> bursts) {
    for (std::string& burst : bursts) bursts_.push_back(std::move(burst));
  }

  int ReadKey() override {
    while (!bursts_.empty() && bursts_.front().empty()) bursts_.pop_front();
    if (bursts_.empty()) return -1;
    unsigned char byte = static_cast<unsigned char>(bursts_.front()[0]);
    bursts_.front().erase(0, 1);
    ++keysRead_;
    return byte;
  }

  bool MoreKeyBytesPending() override {
    return !bursts_.empty() && !bursts_.front().empty();
  }

  void Write(std::string_view text) override { written_ += text; }

  const std::string& written() const { return written_; }
  int keysRead() const { return keysRead_; }

 private:
  std::deque<std::string> bursts_;
  std::string written_;
  int keysRead_ = 0;
};

}  // namespace talvex

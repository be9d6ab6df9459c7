// Standard output held back while no one watches it line by line.
#pragma once

#include <csignal>
#include <cstddef>
#include <string_view>

namespace talvex {

// The bytes of standard output, gathered while it is a file or a pipe and
// written when the buffer fills, before anything goes to standard error,
// before the process ends and when a signal ends it. A listing of thousands
// of policies is tens of thousands of lines: one write(2) per line cost more
// than building them. The caller chooses the platform's write.
//
// Appends publish their bytes only after copying them, so that the signal
// path (FlushFromSignal) sees whole texts and writes only what the last
// flush has not written yet.
class OutputBuffer {
 public:
  // Writes all the bytes or fails; the failure is the sink's to report.
  using Sink = bool (*)(const char* data, std::size_t size);

  explicit OutputBuffer(Sink sink) : sink_(sink) {}
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  // Keeps the bytes, writing what was kept first when they do not fit; a
  // text larger than the buffer goes out at once. False when a write failed.
  bool Append(std::string_view bytes);
  // The text and a line end, published together.
  bool AppendLine(std::string_view text);
  // Writes what is kept. False when the write failed (the bytes are dropped,
  // as an unbuffered write would have lost them).
  bool Flush();
  // Async-signal-safe: writes the published bytes not written yet.
  void FlushFromSignal();

 private:
  static constexpr std::size_t kCapacity = 32 * 1024;

  Sink sink_;
  char data_[kCapacity];
  volatile std::sig_atomic_t size_ = 0;
  volatile std::sig_atomic_t written_ = 0;
};

}  // namespace talvex

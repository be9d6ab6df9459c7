#include "support/output_buffer.h"

#include <atomic>
#include <cstring>

namespace talvex {

bool OutputBuffer::Append(std::string_view bytes) {
  bool ok = true;
  if (static_cast<std::size_t>(size_) + bytes.size() > kCapacity) ok = Flush();
  if (bytes.size() > kCapacity) return sink_(bytes.data(), bytes.size()) && ok;
  std::memcpy(data_ + size_, bytes.data(), bytes.size());
  // The copy is complete before the new size is seen by a signal handler.
  std::atomic_signal_fence(std::memory_order_release);
  size_ = static_cast<std::sig_atomic_t>(size_ + bytes.size());
  return ok;
}

bool OutputBuffer::AppendLine(std::string_view text) {
  // A line in one copy where it fits, which is nearly always: a listing of
  // thousands of policies is tens of thousands of lines.
  if (static_cast<std::size_t>(size_) + text.size() + 1 > kCapacity) {
    return Append(text) && Append("\n");
  }
  std::memcpy(data_ + size_, text.data(), text.size());
  data_[static_cast<std::size_t>(size_) + text.size()] = '\n';
  std::atomic_signal_fence(std::memory_order_release);
  size_ = static_cast<std::sig_atomic_t>(size_ + text.size() + 1);
  return true;
}

bool OutputBuffer::Flush() {
  int size = size_;
  bool ok = size == 0 || sink_(data_, static_cast<std::size_t>(size));
  // Marked written before the size drops, so that a signal arriving in
  // between writes nothing twice.
  written_ = size;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  size_ = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  written_ = 0;
  return ok;
}

void OutputBuffer::FlushFromSignal() {
  int size = size_;
  int written = written_;
  if (size > written) {
    sink_(data_ + written, static_cast<std::size_t>(size - written));
  }
  written_ = size;
}

}  // namespace talvex

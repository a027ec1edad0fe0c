// SequenceCounter: the session's generator of sequence_number values for the
// requests that take a counted number. It holds the last value handed out
// (3 in a new counter, so the first value is 4) and only ever hands out
// 1..0x7FFFFFFF. A plain value; not thread-safe.
#pragma once

#include <cstdint>
#include <limits>

namespace korvane::vocabulary {

class SequenceCounter {
 public:
  static constexpr int32_t kInitialLast = 3;

  SequenceCounter() = default;
  explicit SequenceCounter(int32_t last) : last_(last) {}

  // Advances and returns the new value: after 0x7FFFFFFF comes 1, and a last
  // value of 0 or below (set through SetLast) is also followed by 1.
  int32_t Next() {
    last_ = last_ > 0 && last_ < std::numeric_limits<int32_t>::max() ? last_ + 1 : 1;
    return last_;
  }

  int32_t Last() const { return last_; }
  void SetLast(int32_t last) { last_ = last; }

 private:
  int32_t last_ = kInitialLast;
};

}  // namespace korvane::vocabulary

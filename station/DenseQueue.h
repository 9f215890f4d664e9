// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A queue in one contiguous array: pushed at the back, popped at the front, indexed from
// the front. Scanning it reads memory in order, which a std::deque's scattered nodes do
// not; the history merges long runs of block summaries and archive minutes this way.
// Popped slots are reclaimed in one move once they make up half the array, so both ends
// stay O(1) amortised.

#include <cstddef>
#include <vector>

namespace vemo {

template <class T>
class DenseQueue {
 public:
  bool empty() const { return items_.size() == first_; }
  size_t size() const { return items_.size() - first_; }
  const T& operator[](size_t i) const { return items_[first_ + i]; }
  T& back() { return items_.back(); }
  const T& back() const { return items_.back(); }
  const T& front() const { return items_[first_]; }
  const T* begin() const { return items_.data() + first_; }
  const T* end() const { return items_.data() + items_.size(); }

  void push_back(const T& item) { items_.push_back(item); }
  void pop_front() {
    if (++first_ >= items_.size() / 2 && first_ >= 1024) {
      items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(first_));
      first_ = 0;
    }
  }
  size_t CapacityBytes() const { return items_.capacity() * sizeof(T); }

 private:
  std::vector<T> items_;
  size_t first_ = 0;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/Rings.h"

#include <algorithm>
#include <cstring>

namespace vemo {

void TByteRing::Reset(size_t capacity) {
  buf_.assign(capacity, 0);
  Clear();
}

void TByteRing::Clear() {
  head_ = tail_ = 0;
  full_ = false;
}

size_t TByteRing::Count() const {
  if (full_) return buf_.size();
  return head_ >= tail_ ? head_ - tail_ : buf_.size() - tail_ + head_;
}

size_t TByteRing::Put(const uint8_t* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    std::span<uint8_t> room = WriteSpan();
    if (room.empty()) break;
    size_t k = std::min(room.size(), n - done);
    std::memcpy(room.data(), data + done, k);
    Commit(k);
    done += k;
  }
  return done;
}

uint8_t TByteRing::At(size_t offset) const {
  return buf_[(tail_ + offset) % buf_.size()];
}

bool TByteRing::Peek(size_t offset, uint8_t* out, size_t n) const {
  if (offset + n > Count()) return false;
  if (n == 0) return true;
  size_t start = (tail_ + offset) % buf_.size();
  size_t first = std::min(n, buf_.size() - start);
  std::memcpy(out, buf_.data() + start, first);
  std::memcpy(out + first, buf_.data(), n - first);
  return true;
}

void TByteRing::Consume(size_t n) {
  if (n == 0) return;
  n = std::min(n, Count());
  tail_ = (tail_ + n) % buf_.size();
  full_ = false;
}

std::span<uint8_t> TByteRing::WriteSpan() {
  if (full_ || buf_.empty()) return {};
  size_t end = head_ >= tail_ ? buf_.size() : tail_;
  return {buf_.data() + head_, end - head_};
}

void TByteRing::Commit(size_t n) {
  if (n == 0) return;
  head_ = (head_ + n) % buf_.size();
  full_ = head_ == tail_;
}

std::span<const uint8_t> TByteRing::ReadSpan() const {
  if (Empty()) return {};
  size_t end = head_ > tail_ ? head_ : buf_.size();
  return {buf_.data() + tail_, end - tail_};
}

}  // namespace vemo

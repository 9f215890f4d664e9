// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Circular byte buffer behind the dispatcher's receive ring (fixed 8192 bytes) and its
// transmit ring (OutSize bytes). Not thread-safe: the dispatcher guards each ring with
// its own lock.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vemo {

class TByteRing {
 public:
  explicit TByteRing(size_t capacity = 0) { Reset(capacity); }

  // Empties the ring and gives it a new capacity.
  void Reset(size_t capacity);
  void Clear();

  size_t Capacity() const { return buf_.size(); }
  size_t Count() const;
  size_t Free() const { return Capacity() - Count(); }
  bool Full() const { return full_; }
  bool Empty() const { return Count() == 0; }

  // Appends up to Free() bytes of data, wrapping at the end; returns how many it took.
  size_t Put(const uint8_t* data, size_t n);
  // The byte `offset` places after the oldest one (offset < Count()).
  uint8_t At(size_t offset) const;
  // Copies n bytes starting `offset` bytes after the oldest, leaving them in place.
  // False, copying nothing, when the ring holds fewer than offset + n bytes.
  bool Peek(size_t offset, uint8_t* out, size_t n) const;
  // Releases the n oldest bytes (n <= Count()).
  void Consume(size_t n);

  // The contiguous free room at the write end, for filling straight from the device;
  // Commit(n) then adds the n bytes written there.
  std::span<uint8_t> WriteSpan();
  void Commit(size_t n);
  // The contiguous run of the oldest bytes, for writing straight to the device.
  std::span<const uint8_t> ReadSpan() const;

 private:
  std::vector<uint8_t> buf_;
  size_t head_ = 0;    // where the next byte goes
  size_t tail_ = 0;    // the oldest byte
  bool full_ = false;  // head_ == tail_ means full rather than empty
};

}  // namespace vemo

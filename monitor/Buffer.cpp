// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/Buffer.h"

#include "platform/Exception.h"

namespace vemo {

TBuffer::TBuffer(QObject* parent) : QObject(parent) {}

void TBuffer::Put(uint8_t byte) {
  if (count_ >= Capacity) throw Exception("Buffer is full.");
  data_[head_] = byte;
  head_ = (head_ + 1) & Mask;
  ++count_;
  Q_EMIT Appended();
}

uint8_t TBuffer::Get() {
  if (count_ <= 0) throw Exception("Buffer is empty.");
  const uint8_t byte = data_[tail_];
  tail_ = (tail_ + 1) & Mask;
  --count_;
  return byte;
}

void TBuffer::Clear() {
  count_ = 0;
  tail_ = head_;
}

}  // namespace vemo

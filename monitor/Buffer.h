// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The receive buffer between the serial port's data-available handler and the monitor
// session: a fixed ring of 4096 bytes. Only the GUI thread touches it.

#include <QObject>

#include <array>
#include <cstdint>

namespace vemo {

class TBuffer : public QObject {
  Q_OBJECT

 public:
  static constexpr int32_t Capacity = 4096;

  explicit TBuffer(QObject* parent = nullptr);

  // Stores one byte at the end; raises "Buffer is full." (and stores nothing) when the
  // ring already holds 4096 bytes. Emits Appended after storing.
  void Put(uint8_t byte);
  // Takes the oldest byte; raises "Buffer is empty." when nothing is held.
  uint8_t Get();
  // Drops everything held.
  void Clear();

  int32_t Count() const { return count_; }
  int32_t Head() const { return head_; }  // index of the next byte stored
  int32_t Tail() const { return tail_; }  // index of the oldest byte

 Q_SIGNALS:
  // A byte was stored; the session's reply wait wakes on it.
  void Appended();

 private:
  static constexpr int32_t Mask = Capacity - 1;

  std::array<uint8_t, Capacity> data_{};
  int32_t head_ = 0;
  int32_t tail_ = 0;
  int32_t count_ = 0;
};

}  // namespace vemo

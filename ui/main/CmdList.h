// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's queue of user commands. Menu handlers only queue a code; the polling
// tick carries out one code per tick, so exchanges with the monitor never overlap.

#include <array>
#include <cstdint>

namespace vemo {

// One byte per command; a code above cmdCommPort taken from the queue is dropped.
enum CommandCode : uint8_t {
  cmdTrigger = 0,
  cmdContinuous = 1,
  cmdResetAlarm = 2,
  cmdCalZero = 3,
  cmdCalForward = 4,
  cmdCalReflected = 5,
  cmdOptions = 6,
  cmdCalWizard = 7,
  cmdCommPort = 8,
};

class TCmdList {
 public:
  static constexpr int Capacity = 50;

  // Appends code, oldest first. A code equal to the last one queued is ignored, so repeated
  // clicks queue a command once. Raises vemo::Exception "Command buffer is full." when the
  // queue holds Capacity codes (also for a repeat of the last code).
  void Push(uint8_t code);
  // Removes and returns the oldest code; raises "Command buffer is empty." when there is none.
  uint8_t Pop();
  int8_t Count() const { return count_; }

 private:
  std::array<uint8_t, Capacity> codes_{};
  int8_t count_ = 0;
};

}  // namespace vemo

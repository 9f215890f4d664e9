// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wall-clock time for the time limits of exchanges and the program's short waits.
// Tests substitute their own clock.

#include <chrono>

namespace vemo {

using WallTime = std::chrono::system_clock::time_point;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual WallTime Now() const = 0;
};

// The real wall clock.
const Clock& SystemClock();

}  // namespace vemo

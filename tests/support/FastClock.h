// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A wall clock that runs `factor` times faster than real time, so that tests of
// multi-second reply limits take a fraction of a second.

#include "platform/Clock.h"

#include <chrono>

namespace vemo::test {

class FastClock : public Clock {
 public:
  explicit FastClock(int factor) : factor_(factor), start_(std::chrono::system_clock::now()) {}
  WallTime Now() const override {
    return start_ + (std::chrono::system_clock::now() - start_) * factor_;
  }

 private:
  int factor_;
  WallTime start_;
};

}  // namespace vemo::test

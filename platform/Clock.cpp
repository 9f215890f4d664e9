// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

namespace vemo {

namespace {
class WallClock final : public Clock {
 public:
  WallTime Now() const override { return std::chrono::system_clock::now(); }
};
}  // namespace

const Clock& SystemClock() {
  static const WallClock clock;
  return clock;
}

}  // namespace vemo

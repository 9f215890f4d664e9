// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The polling intervals a user may choose, shortest first; the default is the monitor's
// customary half second.

#include <array>

namespace vemo {

inline constexpr std::array<int, 7> kPollingIntervalsMs = {100, 200, 500, 1000, 2000, 5000, 10000};
inline constexpr int kDefaultPollingIntervalMs = 500;

inline bool IsPollingInterval(int ms) {
  for (const int offered : kPollingIntervalsMs)
    if (offered == ms) return true;
  return false;
}

}  // namespace vemo

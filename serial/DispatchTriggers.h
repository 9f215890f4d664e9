// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dispatcher's trigger lists: data triggers (match strings), timer triggers and
// status triggers, with the avail trigger length. The component copies them aside when
// its port closes and hands them to the next dispatcher when it opens again.
// Not thread-safe: the dispatcher guards the lists with its own lock.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vemo {

// Trigger messages delivered to the component's window: wParam is the available count
// (avail) or the trigger handle, lParam's high word the dispatcher handle.
inline constexpr uint16_t kTriggerAvail = 0x7E01;
inline constexpr uint16_t kTriggerData = 0x7E02;
inline constexpr uint16_t kTriggerTimer = 0x7E03;
inline constexpr uint16_t kTriggerStatus = 0x7E04;

// What a status trigger watches.
enum TStatusTriggerType : uint8_t {
  stNotActive = 0,
  stModem = 1,        // a change of a modem line in the mask (value = delta mask)
  stLine = 2,         // a line error in the mask (value = error mask)
  stOutBuffFree = 3,  // transmit buffer free space at or above value
  stOutBuffUsed = 4,  // transmit buffer use at or below value
  stOutSent = 5,      // everything queued so far has left the port
};

// Line error bits, accumulated until read.
inline constexpr uint8_t kLineOverrun = 0x02;
inline constexpr uint8_t kLineParity = 0x04;
inline constexpr uint8_t kLineFraming = 0x08;
inline constexpr uint8_t kLineBreak = 0x10;

// Timer triggers count in ticks of this length.
inline constexpr std::chrono::milliseconds kTimerTick{55};

struct TDataTrigger {
  uint16_t handle = 0;
  std::string match;
  bool ignoreCase = false;
  size_t matched = 0;  // bytes of match seen so far
};

struct TTimerTrigger {
  uint16_t handle = 0;
  bool active = false;
  std::chrono::steady_clock::time_point due{};
};

struct TStatusTrigger {
  uint16_t handle = 0;
  TStatusTriggerType type = stNotActive;
  bool active = false;
  uint16_t value = 0;
};

class TTriggerLists {
 public:
  uint16_t availLength = 1;

  // Each returns the new trigger's handle, or a negative result code.
  int AddData(const std::string& match, bool ignoreCase);
  int AddTimer();
  int AddStatus(TStatusTriggerType type);
  // 0, or ecBadTriggerHandle.
  int Remove(uint16_t handle);
  // Arms a timer trigger to fire once after `ticks` ticks (or disarms it).
  int SetTimer(uint16_t handle, uint32_t ticks, bool activate,
               std::chrono::steady_clock::time_point now);
  // Arms a status trigger with its value (mask or level), or disarms it.
  int SetStatus(uint16_t handle, uint16_t value, bool activate);

  // Feeds one received byte to every data trigger; returns the handles whose match
  // completed with it.
  std::vector<uint16_t> MatchByte(uint8_t b);
  void ResetMatches();

  // Timer triggers due at `now` (disarmed as they fire) and the next deadline.
  std::vector<uint16_t> TakeDueTimers(std::chrono::steady_clock::time_point now);
  std::optional<std::chrono::steady_clock::time_point> NextTimerDue() const;

  const TStatusTrigger* FindStatus(uint16_t handle) const;
  std::vector<TStatusTrigger>& Status() { return status_; }
  const std::vector<TStatusTrigger>& Status() const { return status_; }
  bool AnyStatusActive() const;
  bool HasDataTriggers() const { return !data_.empty(); }

 private:
  uint16_t NewHandle();

  uint16_t nextHandle_ = 1;
  std::vector<TDataTrigger> data_;
  std::vector<TTimerTrigger> timers_;
  std::vector<TStatusTrigger> status_;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The transmit interlock. A trip unkeys the rig at once, before anything else is done
// about the alarm (the caller logs, sounds and repaints after Trip returns), then sets RF
// power to the safe level when one is given. It stays latched until the operator
// acknowledges: a key-up seen while latched is unkeyed again. Only Acknowledge releases.
// Thread-safe: trips come from the reading path, key-ups from the rig's poll thread.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vemo {

enum class InterlockChange { Tripped, Reunkeyed, Released, UnkeyFailed, SafePowerFailed };
// "tripped", "re-unkeyed", "released", "unkey failed", "safe power failed"
const char* InterlockChangeName(InterlockChange change);

struct TInterlockEvent {
  InterlockChange Change = InterlockChange::Tripped;
  std::string Reason;  // the alarm that tripped it, "test", or why the unkey failed
  std::int64_t TimeMs = 0;
};

class Interlock {
 public:
  // unkey: PTT off, raising on failure; safePower: RF power down to the safe level (may
  // be empty). Both are called with the interlock's lock held, so they must not call back.
  Interlock(std::function<void()> unkey, std::function<void()> safePower = {});

  // An interlock-enabled alarm tripped (or "Test interlock": reason "test").
  std::vector<TInterlockEvent> Trip(const std::string& reason, std::int64_t nowMs);
  // The rig's PTT as last polled.
  std::vector<TInterlockEvent> Keyed(bool keyed, std::int64_t nowMs);
  std::vector<TInterlockEvent> Acknowledge(std::int64_t nowMs);

  bool Latched() const;

 private:
  void Unkey(const std::string& reason, InterlockChange change, std::int64_t nowMs,
             std::vector<TInterlockEvent>& events);

  std::function<void()> unkey_, safePower_;
  mutable std::mutex mutex_;
  bool latched_ = false;
  std::string reason_;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/Interlock.h"

#include <exception>
#include <utility>

namespace vemo {

const char* InterlockChangeName(InterlockChange change) {
  switch (change) {
    case InterlockChange::Tripped:
      return "tripped";
    case InterlockChange::Reunkeyed:
      return "re-unkeyed";
    case InterlockChange::Released:
      return "released";
    case InterlockChange::UnkeyFailed:
      return "unkey failed";
    case InterlockChange::SafePowerFailed:
      return "safe power failed";
  }
  return "";
}

Interlock::Interlock(std::function<void()> unkey, std::function<void()> safePower)
    : unkey_(std::move(unkey)), safePower_(std::move(safePower)) {}

void Interlock::Unkey(const std::string& reason, InterlockChange change, std::int64_t nowMs,
                      std::vector<TInterlockEvent>& events) {
  try {
    unkey_();
  } catch (const std::exception& e) {
    events.push_back({InterlockChange::UnkeyFailed, e.what(), nowMs});
  }
  if (safePower_) {
    try {
      safePower_();
    } catch (const std::exception& e) {
      events.push_back({InterlockChange::SafePowerFailed, e.what(), nowMs});
    }
  }
  events.insert(events.begin(), {change, reason, nowMs});
}

std::vector<TInterlockEvent> Interlock::Trip(const std::string& reason, std::int64_t nowMs) {
  std::vector<TInterlockEvent> events;
  std::lock_guard lock(mutex_);
  // Unkey again even when latched already: the new alarm may follow a key-up not yet polled.
  Unkey(reason, latched_ ? InterlockChange::Reunkeyed : InterlockChange::Tripped, nowMs, events);
  if (!latched_) reason_ = reason;
  latched_ = true;
  return events;
}

std::vector<TInterlockEvent> Interlock::Keyed(bool keyed, std::int64_t nowMs) {
  std::vector<TInterlockEvent> events;
  std::lock_guard lock(mutex_);
  if (keyed && latched_) Unkey(reason_, InterlockChange::Reunkeyed, nowMs, events);
  return events;
}

std::vector<TInterlockEvent> Interlock::Acknowledge(std::int64_t nowMs) {
  std::lock_guard lock(mutex_);
  if (!latched_) return {};
  latched_ = false;
  return {{InterlockChange::Released, std::exchange(reason_, {}), nowMs}};
}

bool Interlock::Latched() const {
  std::lock_guard lock(mutex_);
  return latched_;
}

}  // namespace vemo

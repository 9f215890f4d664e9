// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Polls a rig on its own thread at its interval: frequency, then mode, PTT and RF power
// where the rig reports them. Meter readings never wait on it: they take the latest state
// (FrequencyAt). A rig that goes away is reported once and retried with a back-off from
// one interval up to 30 s; each change of state is handed to the observer on the poll
// thread, which must not block.

#include "rig/Rig.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace vemo {

// Milliseconds since the epoch, as the rig's states are stamped.
std::int64_t EpochMs();

struct TRigState {
  bool Connected = false;
  std::string Error;        // why not connected; empty while connected
  std::int64_t TimeMs = 0;  // when the values below were read (ms since the epoch)
  double FrequencyHz = 0;
  std::string Mode;
  bool Keyed = false;
  std::optional<double> Power;  // fraction of the rig's maximum
};

class RigPoller {
 public:
  using Observer = std::function<void(const TRigState&)>;

  RigPoller(std::shared_ptr<Rig> rig, std::chrono::milliseconds interval, Observer observer = {});
  ~RigPoller();  // stops and joins
  RigPoller(const RigPoller&) = delete;
  RigPoller& operator=(const RigPoller&) = delete;

  TRigState State() const;
  // Waits until the first poll has ended, well or not, or limit has passed.
  void WaitForFirstPoll(std::chrono::milliseconds limit) const;
  // The rig's frequency for a reading taken at nowMs: the latest value no older than two
  // intervals, else none (a stale frequency would put the reading on the wrong band).
  std::optional<double> FrequencyAt(std::int64_t nowMs) const;

 private:
  void Run();
  void Publish(TRigState state);

  std::shared_ptr<Rig> rig_;
  const std::chrono::milliseconds interval_;
  Observer observer_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  mutable std::condition_variable polled_;
  bool stopping_ = false;
  bool polledOnce_ = false;
  TRigState state_;
  std::thread thread_;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The interlock's own line to a rigctld: "T 0" written straight to the daemon on a
// connection kept open for it. Hamlib's client waits some 50 ms after a PTT change to read
// it back before it returns; an unkey cannot afford that, so this one writes the command
// first and only then waits for the daemon's acknowledgement. Thread-safe.

#include "rig/Rig.h"

#include <chrono>
#include <mutex>
#include <string>

namespace vemo {

class RigctldUnkey {
 public:
  // target: a rigctld target (RigctldTarget); connects on first use.
  explicit RigctldUnkey(TRigTarget target);
  ~RigctldUnkey();
  RigctldUnkey(const RigctldUnkey&) = delete;
  RigctldUnkey& operator=(const RigctldUnkey&) = delete;

  // PTT off. Raises RigError when the daemon cannot be reached or does not acknowledge
  // within the target's time-out; the connection is then made afresh next time.
  void Unkey();
  // When the last "T 0" left for the daemon (for the latency figures).
  std::chrono::steady_clock::time_point LastSent() const { return lastSent_; }

 private:
  void Connect();
  void Drop();

  TRigTarget target_;
  std::string host_, port_;
  std::mutex mutex_;
  int fd_ = -1;
  std::chrono::steady_clock::time_point lastSent_{};
};

}  // namespace vemo

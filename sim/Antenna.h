// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The antenna behind the simulated monitor: matched at its resonance and worse either
// side, as a series-tuned load is, with VSWR 2.0 at half the bandwidth either side. And
// what tells the simulator the transmitter's frequency: a control line, or a rigctld it
// asks itself ("f" and "t" every 20 ms, on its own thread), in which case forward power
// is there only while the rig is keyed.

#include <atomic>
#include <string>
#include <thread>

namespace vemo::sim {

// The share of forward power that comes back at hz.
double ReflectedShare(double hz, double resonanceHz, double bandwidthHz);

class RigFollower {
 public:
  // hostPort: "HOST:PORT" of a rigctld (numeric IPv4 host, or "localhost").
  explicit RigFollower(std::string hostPort);
  ~RigFollower();
  RigFollower(const RigFollower&) = delete;
  RigFollower& operator=(const RigFollower&) = delete;

  double FrequencyHz() const { return frequency_.load(); }  // 0 until known
  bool Keyed() const { return keyed_.load(); }

 private:
  void Run();

  std::string host_;
  int port_ = 0;
  std::atomic<double> frequency_{0};
  std::atomic<bool> keyed_{false};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace vemo::sim

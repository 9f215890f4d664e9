// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The SWR sweep: for each step, set the frequency, key, wait the dwell, take a reading
// (which the meter takes after the dwell, so never one from before the step's key-up),
// and unkey between steps when asked. Whatever ends it (the last step, Abort, a lost rig
// or meter) unkeys first and then restores the rig's frequency, mode, power and PTT as
// they were. Run it on any thread; Abort may come from another.

#include "rig/Rig.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vemo {

constexpr int kShortestDwellMs = 100;
constexpr int kLongestDwellMs = 10000;

struct TSweepPlan {
  std::int64_t FromHz = 0;
  std::int64_t ToHz = 0;
  std::int64_t StepHz = 0;
  int DwellMs = 300;
  std::optional<double> Power;  // fraction of the rig's maximum; none: leave it
  std::string Mode;             // empty: leave it
  bool UnkeyBetweenSteps = false;
};

// Raises RigError (not lost) naming what is wrong with the plan: an empty or reversed
// range, a step of 0 or wider than the range, a dwell outside 100 ms..10 s, more than
// 10,000 steps.
void CheckSweepPlan(const TSweepPlan& plan);
std::vector<std::int64_t> SweepFrequencies(const TSweepPlan& plan);

struct TSweepPoint {
  std::int64_t FrequencyHz = 0;
  double Forward = 0;  // watts
  double Reflected = 0;
  double Vswr = 0;  // infinite when all power comes back
};

struct TSweepReading {
  double Forward = 0;
  double Reflected = 0;
};

struct TSweepOutcome {
  std::vector<TSweepPoint> Points;
  bool Completed = false;
  std::string Stopped;       // why it ended early (for the user); empty when completed
  std::string RestoreError;  // restoring the rig failed; the user must check it
};

class SweepControl {
 public:
  // Wakes a waiting dwell at once.
  void Abort(const std::string& why);
  bool Aborted() const;
  std::string Why() const;
  // Waits ms; false when aborted meanwhile.
  bool Wait(int ms);
  // A caller whose thread must keep serving events (a signal, a window) waits its own way;
  // it calls Abort when something it serves asks for it.
  void WaitWith(std::function<void(int ms)> wait) { wait_ = std::move(wait); }

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::string why_;
  bool aborted_ = false;
  std::function<void(int)> wait_;
};

// read: one reading from the meter now; none when the meter is lost (ends the sweep).
// onPoint: each point as it comes (for a plot or the CSV), on the sweeping thread.
TSweepOutcome RunSweep(Rig& rig, const TSweepPlan& plan,
                       const std::function<std::optional<TSweepReading>()>& read,
                       SweepControl& control,
                       const std::function<void(const TSweepPoint&)>& onPoint = {});

double SweepVswr(double forward, double reflected);

// What a sweep shows: the lowest VSWR, and where the VSWR crosses 1.5 and 2.0 on either
// side of it (interpolated linearly between steps); a side that never crosses stays none.
struct TSweepBandwidth {
  std::optional<double> LowHz, HighHz;
  std::optional<double> Width() const {
    if (!LowHz || !HighHz) return std::nullopt;
    return *HighHz - *LowHz;
  }
};
struct TSweepAnalysis {
  std::optional<size_t> Minimum;  // index into the points
  TSweepBandwidth At15, At20;
};
TSweepAnalysis AnalyseSweep(const std::vector<TSweepPoint>& points);
TSweepBandwidth BandwidthAt(const std::vector<TSweepPoint>& points, size_t minimum, double level);

}  // namespace vemo

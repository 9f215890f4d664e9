// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/Sweep.h"

#include <cmath>
#include <limits>

namespace vemo {
namespace {

constexpr size_t kMostSteps = 10000;

struct RigSnapshot {
  std::optional<double> frequency, power;
  std::optional<std::pair<std::string, long>> mode;
  bool keyed = false;
};

RigSnapshot Take(Rig& rig) {
  RigSnapshot s;
  s.frequency = rig.Frequency();
  s.keyed = rig.Ptt();
  try {
    s.mode = rig.Mode();
  } catch (const RigError& e) {
    if (e.Lost()) throw;
  }
  s.power = rig.Power();
  return s;
}

std::string Restore(Rig& rig, const RigSnapshot& s) {
  std::string error;
  const auto attempt = [&](const std::function<void()>& step) {
    try {
      step();
    } catch (const RigError& e) {
      if (error.empty()) error = e.what();
    }
  };
  // Unkey first, so that nothing is sent while the rest is put back.
  attempt([&] { rig.SetPtt(false); });
  if (s.frequency) attempt([&] { rig.SetFrequency(*s.frequency); });
  if (s.mode) attempt([&] { rig.SetMode(s.mode->first, s.mode->second); });
  if (s.power) attempt([&] { rig.SetPower(*s.power); });
  if (s.keyed) attempt([&] { rig.SetPtt(true); });
  return error;
}

}  // namespace

void CheckSweepPlan(const TSweepPlan& plan) {
  const auto refuse = [](const std::string& what) { throw RigError(what, false); };
  if (plan.FromHz <= 0 || plan.ToHz <= plan.FromHz)
    refuse("The sweep needs a start frequency below its end frequency");
  if (plan.StepHz <= 0 || plan.StepHz > plan.ToHz - plan.FromHz)
    refuse("The sweep's step must be above 0 Hz and no wider than its range");
  if (plan.DwellMs < kShortestDwellMs || plan.DwellMs > kLongestDwellMs)
    refuse("The dwell per step must lie between 100 ms and 10 s");
  if (static_cast<size_t>((plan.ToHz - plan.FromHz) / plan.StepHz) + 1 > kMostSteps)
    refuse("The sweep would take more than 10,000 steps; choose a wider step");
  if (plan.Power && (*plan.Power < 0 || *plan.Power > 1))
    refuse("The sweep's power must lie between 0 and the rig's maximum");
}

std::vector<std::int64_t> SweepFrequencies(const TSweepPlan& plan) {
  std::vector<std::int64_t> out;
  for (std::int64_t hz = plan.FromHz; hz <= plan.ToHz; hz += plan.StepHz) out.push_back(hz);
  // The end frequency is always measured, even when the step does not divide the range.
  if (out.back() != plan.ToHz) out.push_back(plan.ToHz);
  return out;
}

double SweepVswr(double forward, double reflected) {
  if (forward <= 0) return std::numeric_limits<double>::infinity();
  const double rho = std::sqrt(std::max(0.0, reflected) / forward);
  if (rho >= 1) return std::numeric_limits<double>::infinity();
  return (1 + rho) / (1 - rho);
}

void SweepControl::Abort(const std::string& why) {
  {
    std::lock_guard lock(mutex_);
    if (aborted_) return;
    aborted_ = true;
    why_ = why;
  }
  wake_.notify_all();
}

bool SweepControl::Aborted() const {
  std::lock_guard lock(mutex_);
  return aborted_;
}

std::string SweepControl::Why() const {
  std::lock_guard lock(mutex_);
  return why_;
}

bool SweepControl::Wait(int ms) {
  if (wait_) {
    wait_(ms);
    return !Aborted();
  }
  std::unique_lock lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return aborted_; });
}

TSweepOutcome RunSweep(Rig& rig, const TSweepPlan& plan,
                       const std::function<std::optional<TSweepReading>()>& read,
                       SweepControl& control,
                       const std::function<void(const TSweepPoint&)>& onPoint) {
  CheckSweepPlan(plan);
  TSweepOutcome outcome;
  const RigSnapshot before = Take(rig);
  try {
    if (!plan.Mode.empty()) rig.SetMode(plan.Mode);
    if (plan.Power) rig.SetPower(*plan.Power);
    bool keyed = false;
    for (const std::int64_t hz : SweepFrequencies(plan)) {
      if (control.Aborted()) break;
      rig.SetFrequency(static_cast<double>(hz));
      if (!keyed) rig.SetPtt(true);
      keyed = true;
      if (!control.Wait(plan.DwellMs)) break;
      const std::optional<TSweepReading> r = read();
      if (!r) {
        control.Abort("The meter gave no reading");
        break;
      }
      if (control.Aborted()) break;
      const TSweepPoint point{hz, r->Forward, r->Reflected, SweepVswr(r->Forward, r->Reflected)};
      outcome.Points.push_back(point);
      if (onPoint) onPoint(point);
      if (plan.UnkeyBetweenSteps) {
        rig.SetPtt(false);
        keyed = false;
      }
    }
    outcome.Completed = !control.Aborted();
  } catch (const RigError& e) {
    control.Abort(e.what());
  }
  outcome.Stopped = control.Why();
  outcome.RestoreError = Restore(rig, before);
  return outcome;
}

TSweepBandwidth BandwidthAt(const std::vector<TSweepPoint>& points, size_t minimum, double level) {
  TSweepBandwidth bw;
  if (minimum >= points.size() || !(points[minimum].Vswr <= level)) return bw;
  const auto cross = [&](size_t inside, size_t outside) {
    const TSweepPoint& a = points[inside];
    const TSweepPoint& b = points[outside];
    if (!std::isfinite(b.Vswr)) return static_cast<double>(b.FrequencyHz);
    const double t = (level - a.Vswr) / (b.Vswr - a.Vswr);
    return a.FrequencyHz + t * static_cast<double>(b.FrequencyHz - a.FrequencyHz);
  };
  for (size_t i = minimum; i > 0; --i)
    if (!(points[i - 1].Vswr <= level)) {
      bw.LowHz = cross(i, i - 1);
      break;
    }
  for (size_t i = minimum; i + 1 < points.size(); ++i)
    if (!(points[i + 1].Vswr <= level)) {
      bw.HighHz = cross(i, i + 1);
      break;
    }
  return bw;
}

TSweepAnalysis AnalyseSweep(const std::vector<TSweepPoint>& points) {
  TSweepAnalysis a;
  for (size_t i = 0; i < points.size(); ++i)
    if (std::isfinite(points[i].Vswr) && (!a.Minimum || points[i].Vswr < points[*a.Minimum].Vswr))
      a.Minimum = i;
  if (!a.Minimum) return a;
  a.At15 = BandwidthAt(points, *a.Minimum, 1.5);
  a.At20 = BandwidthAt(points, *a.Minimum, 2.0);
  return a;
}

}  // namespace vemo

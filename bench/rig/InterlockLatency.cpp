// SPDX-License-Identifier: GPL-3.0-or-later
// interlock_latency [RUNS]: a rigctld with Hamlib's dummy rig, polled every 100 ms as the
// program polls it; the rig is keyed, then a reading with VSWR 3 reaches the alarm
// evaluator (VSWR above 2), whose trip goes to the interlock. From the reading to the
// unkey command handed to the daemon, and to the daemon's acknowledgement (rigctld reads
// PTT back for some 50 ms before it answers), RUNS times (200), in milliseconds:
// min/median/p99/max. Each run checks afterwards, over another connection, that the rig
// really is unkeyed.
#include "monitor/VSWRMon.h"
#include "rig/Interlock.h"
#include "rig/RigPoller.h"
#include "rig/RigctldUnkey.h"
#include "station/AlarmEvaluator.h"
#include "tests/support/RigctldProcess.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double SteadyMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double Percentile(const std::vector<double>& sorted, double p) {
  const size_t i = static_cast<size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(i, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::atoi(argv[1]) : 200;
  vemo::test::RigctldProcess rigctld;
  rigctld.Start();
  const vemo::TRigTarget target = vemo::RigctldTarget(rigctld.Address());
  vemo::RigctldUnkey commands(target);
  vemo::Rig watcher(target);
  vemo::RigPoller poller(std::make_shared<vemo::Rig>(target), std::chrono::milliseconds(100));
  vemo::Interlock interlock([&] { commands.Unkey(); });
  vemo::TAlarmLevels levels;
  levels.VSWRAbove = 2;
  std::vector<double> latencies, sent;
  for (int run = 0; run < runs; ++run) {
    vemo::AlarmEvaluator alarms(levels);
    watcher.SetPtt(true);
    vemo::TMonitorReading reading;
    reading.Forward = 100;
    reading.Reflected = 25;  // VSWR 3
    const double start = SteadyMs();
    for (const vemo::TAlarmEvent& e : alarms.Reading(run * 1000, reading))
      if (e.Change == vemo::AlarmChange::Tripped) interlock.Trip("vswr", run * 1000);
    latencies.push_back(SteadyMs() - start);
    sent.push_back(
        std::chrono::duration<double, std::milli>(commands.LastSent().time_since_epoch()).count() -
        start);
    if (watcher.Ptt()) {
      std::fprintf(stderr, "run %d: the rig is still keyed\n", run);
      return 1;
    }
    interlock.Acknowledge(run * 1000);
  }
  for (auto* figures : {&sent, &latencies}) {
    std::sort(figures->begin(), figures->end());
    std::printf("%d trips, reading to %s (ms): min %.2f median %.2f p99 %.2f max %.2f\n", runs,
                figures == &sent ? "unkey sent" : "unkey acknowledged", figures->front(),
                Percentile(*figures, 0.5), Percentile(*figures, 0.99), figures->back());
  }
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliRig.h"

#include "app/cli/Interrupt.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsPath.h"
#include "rig/Sweep.h"
#include "station/IsoTime.h"
#include "station/ReadingCsv.h"
#include "station/Readout.h"

#include <QDateTime>

#include <cmath>

namespace vemo::cli {
namespace {

constexpr std::chrono::milliseconds kRigInterval{250};

std::string Hertz(double hz) {
  return std::to_string(std::llround(hz));
}

}  // namespace

ReadRig::ReadRig(const CliOptions& o, const CliStreams& io) : io_(io) {
  std::vector<std::string> warnings;
  const ProfileFile settings(SettingsFilePath());
  BandPlan bands = BandPlan::Read(settings, warnings);
  TBandSettings bandSettings = ReadBandSettings(settings, o.alarmLevels, warnings);
  for (const std::string& w : warnings) std::fprintf(io.err, "%s\n", w.c_str());
  TRigSettings rig;
  rig.Model = kRigctldModel;
  rig.Host = o.rig;
  rig.IntervalMs = static_cast<int>(kRigInterval.count());
  // Every alarm the tool is given unkeys the rig.
  rig.Interlock = o.interlock ? kLatchAll : 0;
  rig.SafePowerW = o.safePowerWatts.value_or(0);
  const auto observe = [this](const TRigState& state, const std::vector<TInterlockEvent>& events) {
    // Said once per change: the readings go on without a frequency meanwhile.
    if (state.Connected != connected_) {
      connected_ = state.Connected;
      std::fprintf(io_.err, "%s rig %s\n", IsoTime(state.TimeMs).c_str(),
                   state.Connected ? "connected" : ("lost: " + state.Error).c_str());
      std::fflush(io_.err);
    }
    Print(events);
  };
  rig_ = std::make_unique<StationRig>(rig, std::move(bands), observe);
  rig_->SetBandSettings(std::move(bandSettings), o.alarmLevels);
  // The first reading then has the rig's frequency, unless the rig is slow to answer.
  rig_->WaitForFirstPoll(std::chrono::seconds(2));
}

ReadRig::Placed ReadRig::Place(qint64 nowMs, const TMonitorReading& raw, bool csv,
                               AlarmEvaluator* alarms, std::vector<TAlarmEvent>& events) {
  const StationRig::Placed p =
      alarms ? rig_->Place(nowMs, raw, *alarms, events) : rig_->Place(nowMs, raw);
  const TCorrectedReading& c = p.Corrected;
  const std::string f = p.FrequencyHz ? Hertz(*p.FrequencyHz) : "";
  Placed placed{c.Reading, {}};
  if (csv) {
    placed.Columns =
        ReadingCsvRigFields({p.FrequencyHz.value_or(0), p.Band, c.ForwardRaw, c.ReflectedRaw});
  } else {
    placed.Columns =
        " frequency=" + (f.empty() ? "none" : f) + " band=" + (p.Band.empty() ? "none" : p.Band);
    if (c.Corrected)
      placed.Columns += " corrected forward_raw=" + FormatNumber("%.6g", c.ForwardRaw) +
                        " reflected_raw=" + FormatNumber("%.6g", c.ReflectedRaw);
  }
  return placed;
}

void ReadRig::OnAlarms(const std::vector<TAlarmEvent>& events) {
  Print(rig_->OnAlarms(events));
}

void ReadRig::Print(const std::vector<TInterlockEvent>& events) {
  for (const TInterlockEvent& e : events)
    std::fprintf(io_.err, "%s interlock event=%s reason=%s\n", IsoTime(e.TimeMs).c_str(),
                 InterlockChangeName(e.Change), e.Reason.c_str());
  if (!events.empty()) std::fflush(io_.err);
}

int Sweep(const CliOptions& o, const std::function<TMonitorReading()>& take, const CliStreams& io) {
  Rig rig(RigctldTarget(o.rig));
  TSweepPlan plan;
  plan.FromHz = o.fromHz;
  plan.ToHz = o.toHz;
  plan.StepHz = o.stepHz;
  plan.DwellMs = o.dwellMs;
  CheckSweepPlan(plan);
  if (o.powerWatts) {
    plan.Power = rig.FractionForWatts(*o.powerWatts);
    if (!plan.Power)
      throw RigError("The " + rig.Description() +
                         " cannot set its power in watts; sweep without --power and set a low "
                         "power on the rig",
                     false);
  }
  Interrupt interrupt;
  AlarmEvaluator alarms(o.alarmLevels);
  SweepControl control;
  control.WaitWith([&](int ms) {
    interrupt.Wait(std::chrono::milliseconds(ms));
    if (interrupt.Requested()) control.Abort("Interrupted");
  });
  bool headed = false;  // the header comes with the first point, not before a refusal
  const TSweepOutcome outcome = RunSweep(
      rig, plan,
      [&]() -> std::optional<TSweepReading> {
        try {
          const TMonitorReading r = take();
          if (o.alarms) {
            // The sweep ends at the step that trips; RunSweep unkeys before it restores.
            const auto events = alarms.Reading(QDateTime::currentMSecsSinceEpoch(), r);
            PrintAlarms(io, events);
            for (const TAlarmEvent& e : events)
              if (e.Change == AlarmChange::Tripped)
                control.Abort(std::string("Alarm: ") + AlarmSourceName(e.Source));
          }
          return TSweepReading{r.Forward, r.Reflected};
        } catch (const std::exception& e) {
          std::fprintf(io.err, "%s\n", e.what());
          return std::nullopt;
        }
      },
      control,
      [&](const TSweepPoint& p) {
        if (!headed) std::fprintf(io.out, "frequency_hz,forward_w,reflected_w,vswr\n");
        headed = true;
        std::fprintf(io.out, "%lld,%.6g,%.6g,%s\n", static_cast<long long>(p.FrequencyHz),
                     p.Forward, p.Reflected,
                     std::isfinite(p.Vswr) ? std::to_string(p.Vswr).c_str() : "inf");
        std::fflush(io.out);
      });
  if (!outcome.RestoreError.empty())
    std::fprintf(io.err, "The rig could not be restored as it was: %s. Check it now.\n",
                 outcome.RestoreError.c_str());
  if (!outcome.Completed) {
    std::fprintf(io.err, "Sweep stopped: %s\n", outcome.Stopped.c_str());
    return interrupt.Requested() ? 128 + interrupt.Signal() : 1;
  }
  const TSweepAnalysis a = AnalyseSweep(outcome.Points);
  if (a.Minimum) {
    const TSweepPoint& m = outcome.Points[*a.Minimum];
    std::fprintf(io.err, "minimum vswr=%.3f at %lld Hz", m.Vswr,
                 static_cast<long long>(m.FrequencyHz));
    for (const auto& [label, bw] : {std::pair{"1.5", a.At15}, std::pair{"2.0", a.At20}})
      if (bw.Width()) std::fprintf(io.err, "; bandwidth at %s: %.0f Hz", label, *bw.Width());
    std::fprintf(io.err, "\n");
  }
  return outcome.RestoreError.empty() ? 0 : 1;
}

}  // namespace vemo::cli

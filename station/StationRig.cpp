// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/StationRig.h"

#include "platform/ProfileFile.h"
#include "rig/RigctldUnkey.h"
#include "rig/WsjtxListener.h"
#include "station/AlarmSettings.h"
#include "station/IsoTime.h"
#include "station/ReadingCsv.h"
#include "station/Readout.h"

#include <charconv>
#include <cmath>

namespace vemo {
namespace {

constexpr char kSection[] = "Rig";
constexpr int kShortestIntervalMs = 100;
constexpr int kLongestIntervalMs = 10000;

bool ParseWatts(const std::string& text, double& watts) {
  const char* end = text.data() + text.size();
  double v = 0;
  if (text.empty() || std::from_chars(text.data(), end, v).ptr != end || !std::isfinite(v) || v < 0)
    return false;
  watts = v;
  return true;
}

}  // namespace

TRigSettings ReadRigSettings(const ProfileFile& file, std::vector<std::string>& warnings,
                             const std::string& section) {
  TRigSettings s;
  const auto warn = [&](const char* key, const std::string& value, const char* means) {
    warnings.push_back("[" + section + "] " + key + "=\"" + value + "\" is not " + means +
                       "; the default is used");
  };
  const auto text = [&](const char* key) { return file.ReadString(section, key, ""); };
  const auto integer = [&](const char* key, int low, int high, int& out, const char* means) {
    const std::string v = text(key);
    if (v.empty()) return;
    int n = 0;
    const char* end = v.data() + v.size();
    if (std::from_chars(v.data(), end, n).ptr != end || n < low || n > high)
      warn(key, v, means);
    else
      out = n;
  };
  integer("Model", 0, 1'000'000, s.Model, "a Hamlib rig model number");
  s.Host = text("Host");
  s.Device = text("Device");
  integer("Speed", 0, 10'000'000, s.Speed, "a baud rate");
  integer("Interval", kShortestIntervalMs, kLongestIntervalMs, s.IntervalMs,
          "a poll interval of 100 to 10000 ms");
  if (const std::string v = text("Interlock"); !v.empty() && !ParseAlarmSourceList(v, s.Interlock))
    warn("Interlock", v, "a list of alarms such as vswr,reflected");
  for (const auto& [key, field] : {std::pair{"SafePower", &TRigSettings::SafePowerW},
                                   std::pair{"SweepPowerLimit", &TRigSettings::SweepPowerLimitW}})
    if (const std::string v = text(key); !v.empty() && !ParseWatts(v, s.*field))
      warn(key, v, "0 or more watts");
  s.Wsjtx = text("Wsjtx");
  return s;
}

void WriteRigSettings(ProfileFile& file, const TRigSettings& s) {
  file.BeginUpdate();
  file.WriteInteger(kSection, "Model", s.Model);
  file.WriteString(kSection, "Host", s.Host);
  file.WriteString(kSection, "Device", s.Device);
  file.WriteInteger(kSection, "Speed", s.Speed);
  file.WriteInteger(kSection, "Interval", s.IntervalMs);
  file.WriteString(kSection, "Interlock", AlarmSourceList(s.Interlock));
  file.WriteString(kSection, "SafePower", FormatNumber("%g", s.SafePowerW));
  file.WriteString(kSection, "SweepPowerLimit", FormatNumber("%g", s.SweepPowerLimitW));
  file.WriteString(kSection, "Wsjtx", s.Wsjtx);
  file.EndUpdate();
}

TRigTarget RigTargetOf(const TRigSettings& s) {
  if (s.Model == kRigctldModel) {
    if (s.Host.empty())
      throw RigError("The rig settings name no rigctld: give its HOST:PORT", false);
    return RigctldTarget(s.Host);
  }
  if (s.Device.empty())
    throw RigError("The rig settings name no serial port for rig model " + std::to_string(s.Model) +
                       ": give its device, such as /dev/ttyUSB0",
                   false);
  TRigTarget target;
  target.Model = s.Model;
  target.Path = s.Device;
  target.Speed = s.Speed;
  return target;
}

StationRig::StationRig(const TRigSettings& settings, BandPlan bands, Changed changed)
    : settings_(settings), bands_(std::move(bands)), changed_(std::move(changed)) {
  if (settings_.Model == 0) {
    if (!settings_.Wsjtx.empty()) wsjtx_ = std::make_unique<WsjtxListener>(settings_.Wsjtx);
    return;
  }
  const TRigTarget target = RigTargetOf(settings_);
  polled_ = std::make_shared<Rig>(target);
  // A rigctld serves several connections: commands and the unkey never wait behind a poll.
  // A rig on its own serial port has one line, which the lock of its connection shares.
  commands_ = target.Model == kRigctldModel ? std::make_shared<Rig>(target) : polled_;
  if (settings_.Interlock != 0) {
    std::function<void()> unkey;
    if (target.Model == kRigctldModel) {
      unkey_ = std::make_unique<RigctldUnkey>(target);
      unkey = [this] { unkey_->Unkey(); };
    } else {
      unkey = [this] { polled_->SetPtt(false); };
    }
    std::function<void()> safePower;
    if (settings_.SafePowerW > 0)
      safePower = [this] {
        const std::optional<double> fraction = commands_->FractionForWatts(settings_.SafePowerW);
        if (!fraction)
          throw RigError("the " + commands_->Description() + " cannot set its power in watts",
                         false);
        // Never up: a rig already below the safe level stays there.
        const std::optional<double> now = commands_->Power();
        if (!now || *now > *fraction) commands_->SetPower(*fraction);
      };
    interlock_ = std::make_unique<Interlock>(std::move(unkey), std::move(safePower));
  }
  poller_ = std::make_unique<RigPoller>(polled_, std::chrono::milliseconds(settings_.IntervalMs),
                                        [this](const TRigState& s) { Observe(s); });
}

StationRig::~StationRig() = default;

std::string StationRig::Description() const {
  if (wsjtx_) return "WSJT-X at " + settings_.Wsjtx;
  return polled_ ? polled_->Description() : "no rig";
}

void StationRig::SetBandSettings(TBandSettings bands, const TAlarmLevels& global) {
  std::lock_guard lock(mutex_);
  bandSettings_ = std::move(bands);
  global_ = global;
  band_.reset();
}

StationRig::Placed StationRig::Place(std::int64_t nowMs, const TMonitorReading& raw) {
  Placed placed;
  placed.FrequencyHz = poller_  ? poller_->FrequencyAt(nowMs)
                       : wsjtx_ ? wsjtx_->FrequencyAt(nowMs)
                                : std::nullopt;
  const TBand* band = placed.FrequencyHz ? bands_.Find(std::llround(*placed.FrequencyHz)) : nullptr;
  if (band) placed.Band = band->Name;
  std::lock_guard lock(mutex_);
  placed.BandChanged = placed.Band != band_;
  band_ = placed.Band;
  placed.Levels = LevelsForBand(bandSettings_, global_, placed.Band);
  placed.Corrected = CorrectForBand(bandSettings_, placed.Band, raw);
  return placed;
}

StationRig::Placed StationRig::Place(std::int64_t nowMs, const TMonitorReading& raw,
                                     AlarmEvaluator& alarms, std::vector<TAlarmEvent>& events) {
  Placed placed = Place(nowMs, raw);
  if (placed.BandChanged) {
    const auto changed = alarms.SetLevels(placed.Levels, nowMs);
    events.insert(events.end(), changed.begin(), changed.end());
  }
  return placed;
}

std::vector<TInterlockEvent> StationRig::OnAlarms(const std::vector<TAlarmEvent>& events) {
  std::vector<TInterlockEvent> out;
  if (!interlock_) return out;
  for (const TAlarmEvent& e : events)
    if (e.Change == AlarmChange::Tripped && (settings_.Interlock & AlarmSourceBit(e.Source))) {
      auto tripped = interlock_->Trip(AlarmSourceName(e.Source), e.TimeMs);
      out.insert(out.end(), tripped.begin(), tripped.end());
    }
  return out;
}

std::vector<TInterlockEvent> StationRig::TestInterlock(std::int64_t nowMs) {
  if (!interlock_) return {};
  return interlock_->Trip("test", nowMs);
}

std::vector<TInterlockEvent> StationRig::Acknowledge(std::int64_t nowMs) {
  if (!interlock_) return {};
  return interlock_->Acknowledge(nowMs);
}

bool StationRig::Latched() const {
  return interlock_ && interlock_->Latched();
}

void StationRig::WaitForFirstPoll(std::chrono::milliseconds limit) const {
  if (poller_) poller_->WaitForFirstPoll(limit);
}

TRigState StationRig::State(std::int64_t nowMs) const {
  if (wsjtx_) return wsjtx_->State(nowMs);
  return poller_ ? poller_->State() : TRigState{};
}

std::shared_ptr<Rig> StationRig::CommandRig() {
  return commands_;
}

void StationRig::Observe(const TRigState& state) {
  std::vector<TInterlockEvent> events;
  if (interlock_) events = interlock_->Keyed(state.Keyed, state.TimeMs);
  if (changed_) changed_(state, std::move(events));
}

std::string InterlockLogRow(const TInterlockEvent& e) {
  return IsoTime(e.TimeMs) + ',' + InterlockChangeName(e.Change) + ',' + CsvField(e.Reason);
}

std::string InterlockLogPath(const std::string& alarmLog) {
  const size_t slash = alarmLog.rfind('/');
  return (slash == std::string::npos ? std::string() : alarmLog.substr(0, slash + 1)) +
         "VemoSWR-interlock.csv";
}

std::string FrequencyText(std::optional<double> hz, const std::string& band) {
  if (!hz) return {};
  std::string text = FormatNumber("%.3f MHz", *hz / 1e6);
  if (!band.empty()) text += ", " + band;
  return text;
}

}  // namespace vemo

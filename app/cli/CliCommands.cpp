// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliCommands.h"
#include "app/cli/CliPorts.h"
#include "app/cli/CliRig.h"

#include "app/cli/CliMessages.h"
#include "app/cli/Interrupt.h"
#include "app/cli/OutputCheck.h"
#include "app/cli/TerminalPrompt.h"
#include "monitor/DateTime.h"
#include "monitor/ModelSupport.h"
#include "monitor/ReadSettings.h"
#include "serial/SerialErrors.h"
#include "station/AlarmLog.h"
#include "station/IsoTime.h"
#include "station/Plausibility.h"
#include "station/ReadingCsv.h"
#include "station/Readout.h"
#include "station/TuningPitch.h"

#include <QDateTime>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <string>

namespace vemo::cli {

namespace {

using Clock = std::chrono::steady_clock;

// What the program says when a command needs a monitor it did not recognise.
constexpr const char* kNotConnected = "Power monitor is not connected.";

// The main window gives up continuous reading at the fourth failure in a row.
constexpr int kMaxFailuresInARow = 3;

std::string Now() {
  return IsoTime(QDateTime::currentMSecsSinceEpoch());
}

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first);
}

// One reading as the main window takes it: a reading in raw mode switches raw mode off
// and is taken again.
void PrintReading(const CliStreams& io, bool csv, qint64 now, const TMonitorReading& reading,
                  double fullScale, const std::string& rigColumns) {
  const TReadout r = DeriveReadout(reading.Forward, reading.Reflected, fullScale);
  if (csv) {
    std::fprintf(io.out, "%s%s\n", ReadingCsvRow(now, reading).c_str(), rigColumns.c_str());
  } else {
    std::fprintf(io.out,
                 "%s forward=%s %s reflected=%s %s vswr=%s return_loss=%s dB rho=%s "
                 "transmitted=%s %% dbm=%s alarm=%s%s%s\n",
                 Now().c_str(), Trimmed(r.ForwardText).c_str(), r.Unit.Unit,
                 Trimmed(r.ReflectedText).c_str(), r.Unit.Unit, Trimmed(r.VSWRText).c_str(),
                 Trimmed(r.ReturnLossText).c_str(), Trimmed(r.RhoText).c_str(),
                 Trimmed(r.TransmittedText).c_str(), Trimmed(r.DBmText).c_str(),
                 reading.Alarm ? "yes" : "no",
                 JudgeReading(reading) != Implausibility::None ? " implausible" : "",
                 rigColumns.c_str());
  }
  CheckOutput(io.out);
}

// One tuning line: the bar follows the tone's pitch, so eye and ear agree on the scale.
void PrintTuning(const CliStreams& io, TuningTracker& tracker, double& best,
                 const TMonitorReading& reading, double fullScale) {
  constexpr int kBarWidth = 30;
  const TReadout r = DeriveReadout(reading.Forward, reading.Reflected, fullScale);
  const TuningTracker::Tone tone = tracker.Reading(reading.Forward, r.VSWR);
  const bool terminal = isatty(fileno(io.out)) != 0;
  std::string line;
  if (!tone.Hz) {
    best = 0;
    line = "unkeyed";
  } else {
    if (best == 0 || r.VSWR < best) best = r.VSWR;
    const double share =
        std::log(*tone.Hz / kTuneWorstHz) / std::log(kTunePerfectHz / kTuneWorstHz);
    const int filled = static_cast<int>(std::lround(share * kBarWidth));
    line = "vswr=" + Trimmed(r.VSWRText) + " [" + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(kBarWidth - filled), '.') +
           "] best=" + FormatNumber("%.2f", best);
  }
  // On a terminal the line is rewritten in place (cleared to its end); a pipe gets lines.
  std::fprintf(io.out, terminal ? "\r%s\x1b[K%s" : "%s%s\n", line.c_str(), tone.Beep ? "\a" : "");
  std::fflush(io.out);
}

// Counts the readings no monitor can measure and says how many there were when reading
// ends, however it ends: a cable or converter fault shows as a pattern, not one line.
class ImplausibleCount {
 public:
  explicit ImplausibleCount(const CliStreams& io) : io_(io) {}
  ~ImplausibleCount() {
    if (count_ == 0) return;
    std::fprintf(io_.err,
                 "%ld of %ld readings were implausible (a negative power, more reflected than "
                 "forward power, far above the full scale, or a malformed number): check the "
                 "monitor's cabling and calibration.\n",
                 count_, taken_);
    std::fflush(io_.err);
  }
  ImplausibleCount(const ImplausibleCount&) = delete;
  ImplausibleCount& operator=(const ImplausibleCount&) = delete;
  void Add(const TMonitorReading& reading) {
    ++taken_;
    if (JudgeReading(reading) != Implausibility::None) ++count_;
  }

 private:
  const CliStreams& io_;
  long taken_ = 0;
  long count_ = 0;
};

int Read(const CliOptions& o, MonitorLink& link, const CliStreams& io) {
  SetIsoTimesInUtc(o.utc);
  Interrupt interrupt;
  ImplausibleCount implausible(io);
  AlarmEvaluator alarms(o.alarmLevels);
  const std::unique_ptr<ReadRig> rig = o.rig.empty() ? nullptr : std::make_unique<ReadRig>(o, io);
  if (o.csv) {
    std::fprintf(io.out, "%s%s\n", kReadingCsvHeader, rig ? kReadingCsvRigColumns : "");
    CheckOutput(io.out);
  }
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.intervalSeconds));
  Clock::time_point next = Clock::now();
  long taken = 0;
  int failuresInARow = 0;
  TuningTracker tracker;
  double best = 0;
  while (!o.count || taken < *o.count) {
    interrupt.Wait(std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()));
    // Without a count an interrupt is the normal end; with one, a script learns that the
    // readings are incomplete, by the shell's convention for a signal.
    if (interrupt.Requested()) return o.count ? 128 + interrupt.Signal() : 0;
    next = std::max(next + period, Clock::now());
    try {
      const TMonitorReading raw = link.Read();
      const qint64 now = QDateTime::currentMSecsSinceEpoch();
      std::vector<TAlarmEvent> events;
      // On a rig: the band's correction, and its levels for the alarms.
      const ReadRig::Placed placed =
          rig ? rig->Place(now, raw, o.csv, o.alarms ? &alarms : nullptr, events)
              : ReadRig::Placed{raw, {}};
      const TMonitorReading& reading = placed.Reading;
      // An implausible reading is no measurement: the alarms see no reading.
      if (o.alarms) {
        const auto judged = JudgeReading(raw) == Implausibility::None ? alarms.Reading(now, reading)
                                                                      : alarms.ReadingFailed(now);
        events.insert(events.end(), judged.begin(), judged.end());
      }
      // The unkey comes before anything is printed.
      if (rig) rig->OnAlarms(events);
      if (o.command == Command::Tune)
        PrintTuning(io, tracker, best, reading, link.Monitor().FullScale());
      else
        PrintReading(io, o.csv, now, reading, link.Monitor().FullScale(), placed.Columns);
      implausible.Add(raw);
      ++taken;
      if (PrintAlarms(io, events) && o.exitOnAlarm) return 3;
      failuresInARow = 0;
    } catch (const OutputError&) {
      throw;  // nothing more could be kept
    } catch (const std::exception& e) {
      // The port itself failed or went away: nothing more will come; the caller says so.
      if (IsPortFailure(link.Classify(e))) throw;
      std::fprintf(io.err, "%s %s\n", Now().c_str(), Escaped(e.what()).c_str());
      std::fflush(io.err);
      if (++failuresInARow > kMaxFailuresInARow) return 1;
    }
  }
  return 0;
}

// The commands that carry each setting. A setting marked fromStatusWord is read from the
// status word, which not every model that takes its command can report.
struct SettingSupport {
  MonitorFeature feature;
  bool fromStatusWord;
};

const std::map<std::string, SettingSupport>& SettingSupports() {
  using F = MonitorFeature;
  static const std::map<std::string, SettingSupport> table = {
      {"latch_alarm", {F::LatchAlarm, true}},
      {"alarm_at_power_up", {F::AlarmAtPowerUp, true}},
      {"relay_sense", {F::StatusWord, true}},
      {"relay2_sense", {F::SecondRelay, true}},
      {"vswr_alarm_enable", {F::StatusWord, true}},
      {"vswr_level", {F::VSWRLevel, false}},
      {"check_on_zero_power", {F::CheckOnZeroPower, false}},
      {"high_power_level", {F::HighPowerAlarm, false}},
      {"high_power_enable", {F::HighPowerAlarm, false}},
      {"low_power_level", {F::LowPowerAlarm, false}},
      {"low_power_enable", {F::LowPowerAlarm, false}},
      {"ptt_enable", {F::PushToTalk, true}},
      {"ptt_delay", {F::PushToTalk, false}},
      {"fwd_dac_gain", {F::DACGains, false}},
      {"rfl_dac_gain", {F::DACGains, false}},
  };
  return table;
}

bool Supports(TVSWR_Monitor& m, MonitorFeature feature) {
  return ModelSupports(m.ModelId(), m.FirmwareDate(), feature);
}

bool CanWrite(TVSWR_Monitor& m, const std::string& key) {
  return Supports(m, SettingSupports().at(key).feature);
}

// Without its commands the session reads a setting as a neutral value, not the monitor's.
bool CanRead(TVSWR_Monitor& m, const std::string& key) {
  return CanWrite(m, key) &&
         (!SettingSupports().at(key).fromStatusWord || Supports(m, MonitorFeature::StatusWord));
}

// "KRFMON01 (firmware 2009-12-31)": support depends on both.
std::string ModelName(TVSWR_Monitor& m) {
  std::string id = m.ModelId();
  id.erase(id.find_last_not_of(' ') + 1);
  return id + " (firmware " + DateToIso(m.FirmwareDate()) + ")";
}

void PrintSettings(TVSWR_Monitor& m, const CliStreams& io) {
  const MonitorSettings s = ReadMonitorSettings(m);
  char delay[32];
  std::snprintf(delay, sizeof delay, "%.2f", static_cast<double>(s.PushToTalkDelay));
  const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
  const std::pair<std::string, std::string> values[] = {
      {"latch_alarm", flag(s.LatchAlarm)},
      {"alarm_at_power_up", flag(s.AlarmAtPowerUp)},
      {"relay_sense", flag(s.RelaySense)},
      {"relay2_sense", flag(s.Relay2Sense)},
      {"vswr_alarm_enable", flag(s.VSWRAlarmEnable)},
      {"vswr_level", std::to_string(s.VSWRLevel)},
      {"check_on_zero_power", flag(s.CheckOnZeroPower)},
      {"high_power_level", std::to_string(s.HighPowerLevel)},
      {"high_power_enable", flag(s.HighPowerEnable)},
      {"low_power_level", std::to_string(s.LowPowerLevel)},
      {"low_power_enable", flag(s.LowPowerEnable)},
      {"ptt_enable", flag(s.PushToTalkEnable)},
      {"ptt_delay", delay},
      {"fwd_dac_gain", std::to_string(s.FwdDACGain)},
      {"rfl_dac_gain", std::to_string(s.RflDACGain)},
  };
  for (const auto& [key, text] : values)
    if (CanRead(m, key)) std::fprintf(io.out, "%s=%s\n", key.c_str(), text.c_str());
}

// Refuses, before anything is sent, what the monitor cannot take as asked.
void CheckWritable(TVSWR_Monitor& m, const CliOptions& o) {
  std::string lacking;
  for (const auto& [key, value] : o.assignments)
    if (!CanWrite(m, key)) lacking += (lacking.empty() ? "" : ", ") + key;
  if (!lacking.empty())
    throw Exception("The " + ModelName(m) + " has no setting " + lacking +
                    "; nothing was written.");
  // The delay goes out together with the enable, which this monitor cannot report: a delay
  // alone would switch push-to-talk off.
  const auto given = [&](const char* key) {
    return std::any_of(o.assignments.begin(), o.assignments.end(),
                       [&](const auto& assignment) { return assignment.first == key; });
  };
  if (given("ptt_delay") && !given("ptt_enable") && !CanRead(m, "ptt_enable"))
    throw Exception("The " + ModelName(m) +
                    " cannot report whether push-to-talk is on; give ptt_delay together with "
                    "ptt_enable=0 or ptt_enable=1. Nothing was written.");
}

void WriteSettings(TVSWR_Monitor& m, const CliOptions& o, const CliStreams& io) {
  CheckWritable(m, o);
  const std::map<std::string, double> v(o.assignments.begin(), o.assignments.end());
  const auto has = [&](const char* key) { return v.count(key) != 0; };
  const auto flag = [&](const char* key) { return v.at(key) != 0; };
  const auto number = [&](const char* key) { return static_cast<int>(v.at(key)); };

  // The order in which the options command writes them back.
  if (has("vswr_alarm_enable")) m.WriteAlarmEnable(flag("vswr_alarm_enable"));
  if (has("relay_sense")) m.WriteRelaySense(flag("relay_sense"));
  if (has("relay2_sense")) m.WriteRelay2Sense(flag("relay2_sense"));
  if (has("latch_alarm")) m.WriteLatchAlarm(flag("latch_alarm"));
  if (has("alarm_at_power_up")) m.WriteAlarmAtPowerUp(flag("alarm_at_power_up"));
  if (has("ptt_enable") || has("ptt_delay")) {
    // Enable and delay go out together: the one not given keeps its current value.
    TPushToTalk ptt = has("ptt_enable") && has("ptt_delay") ? TPushToTalk{} : m.ReadPushToTalk();
    if (has("ptt_enable")) ptt.Enabled = flag("ptt_enable");
    if (has("ptt_delay")) ptt.Delay = static_cast<float>(v.at("ptt_delay"));
    const float stored = m.WritePushToTalk(ptt);
    if (has("ptt_delay"))
      if (const std::string note = PushToTalkDelayNote(v.at("ptt_delay"), stored); !note.empty())
        std::fprintf(io.out, "%s\n", note.c_str());
  }
  if (has("vswr_level")) m.WriteVSWRLevel(static_cast<uint8_t>(number("vswr_level")));
  if (has("check_on_zero_power")) m.WriteCheckOnZeroPower(flag("check_on_zero_power"));
  const auto powerAlarm = [&](const char* levelKey, const char* enableKey, bool high) {
    if (!has(levelKey) && !has(enableKey)) return;
    TPowerAlarm alarm = has(levelKey) && has(enableKey)
                            ? TPowerAlarm{}
                            : (high ? m.ReadHiPowerAlarm() : m.ReadLowPowerAlarm());
    if (has(levelKey)) alarm.Level = number(levelKey);
    if (has(enableKey)) alarm.Enabled = flag(enableKey);
    high ? m.WriteHiPowerAlarm(alarm) : m.WriteLowPowerAlarm(alarm);
  };
  powerAlarm("high_power_level", "high_power_enable", true);
  powerAlarm("low_power_level", "low_power_enable", false);
  if (has("fwd_dac_gain") || has("rfl_dac_gain")) {
    uint16_t gains = has("fwd_dac_gain") && has("rfl_dac_gain") ? 0 : m.ReadDACGains();
    if (has("fwd_dac_gain"))
      gains = static_cast<uint16_t>((gains & 0xFF00) | number("fwd_dac_gain"));
    if (has("rfl_dac_gain"))
      gains = static_cast<uint16_t>((gains & 0x00FF) | number("rfl_dac_gain") << 8);
    m.WriteDACGains(gains);
  }
}

}  // namespace

bool PrintAlarms(const CliStreams& io, const std::vector<TAlarmEvent>& events) {
  bool tripped = false;
  for (const TAlarmEvent& e : events) {
    const std::string level =
        e.Source == AlarmSource::Monitor ? "" : " level=" + FormatNumber("%.6g", e.Level);
    std::fprintf(io.err, "%s alarm source=%s event=%s value=%s%s\n", IsoTime(e.TimeMs).c_str(),
                 AlarmSourceName(e.Source), AlarmEventText(e).c_str(),
                 AlarmValueText(e.Source, e.Value).c_str(), level.c_str());
    tripped = tripped || e.Change == AlarmChange::Tripped;
  }
  std::fflush(io.err);
  return tripped;
}

int RunCliCommand(const CliOptions& o, MonitorLink& link, bool identified, const CliStreams& io) {
  TVSWR_Monitor& m = link.Monitor();
  switch (o.command) {
    case Command::Identify:
      std::fprintf(io.out, "model=%s firmware=%s known=%s\n", Escaped(m.ModelId()).c_str(),
                   DateToIso(m.FirmwareDate()).c_str(), identified ? "yes" : "no");
      return 0;
    case Command::Read:
    case Command::Tune:
      return Read(o, link, io);
    case Command::Sweep:
      return Sweep(
          o, [&] { return link.Read(); }, io);
    case Command::Settings:
      if (!identified) throw Exception(kNotConnected);
      PrintSettings(m, io);
      return 0;
    case Command::Set:
      if (!identified) throw Exception(kNotConnected);
      WriteSettings(m, o, io);
      return 0;
    case Command::FullScale:
      if (o.fullScaleWatts) m.SetFullScale(*o.fullScaleWatts);
      // The monitor keeps 1.25 times the full scale it was given; shown as given, as the
      // calibration wizard shows it.
      std::fprintf(io.out, "%.6g\n", m.ReadFullScale() * 4 * 0.2);
      return 0;
    case Command::Eeprom:
      if (o.value)
        m.WriteEeprom(static_cast<uint8_t>(o.address), static_cast<uint16_t>(*o.value));
      else
        std::fprintf(io.out, "%u\n", m.ReadEeprom(static_cast<uint8_t>(o.address)));
      return 0;
    case Command::ResetAlarm:
      m.CommandA();
      return 0;
    case Command::Ports:  // needs no monitor line; listed here for completeness
      return ListPorts(io.out);
    case Command::History:  // likewise
      return ExportHistory(o.history, io.out, io.err);
    case Command::Report:
      return WriteCliReport(o.report, io.out, io.err);
    case Command::Calibrate: {
      TerminalPrompt prompt(io.in, io.out);
      m.DoCalibration(static_cast<uint8_t>(o.calibrationStep), prompt);
      // The session ends both cases without a word; a script needs to know.
      static constexpr const char* kSteps[] = {"zero", "forward", "reflected"};
      const std::string step = kSteps[o.calibrationStep];
      if (!prompt.Asked())
        throw Exception("The monitor did not start the " + step +
                        " calibration step (it did not answer with its calibration prompt); "
                        "nothing was changed.");
      if (!prompt.LastAnswer()) throw Exception("The " + step + " calibration step was cancelled.");
      return 0;
    }
  }
  return 0;
}

}  // namespace vemo::cli

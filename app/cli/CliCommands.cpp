#include "app/cli/CliCommands.h"

#include "app/cli/Interrupt.h"
#include "app/cli/TerminalPrompt.h"
#include "monitor/DateTime.h"
#include "monitor/ReadSettings.h"
#include "serial/SerialErrors.h"
#include "station/ReadingCsv.h"
#include "station/Readout.h"

#include <QDateTime>

#include <chrono>
#include <map>
#include <string>

namespace vemo::cli {

namespace {

using Clock = std::chrono::steady_clock;

// The main window gives up continuous reading at the fourth failure in a row.
constexpr int kMaxFailuresInARow = 3;

std::string Now() {
  return QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString();
}

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first);
}

// One reading as the main window takes it: a reading in raw mode switches raw mode off
// and is taken again.
TMonitorReading TakeReading(TVSWR_Monitor& monitor) {
  TMonitorReading reading;
  monitor.GetReading(reading);
  if (reading.RawMode) {
    monitor.SetRawMode(false);
    monitor.GetReading(reading);
  }
  return reading;
}

void PrintReading(const CliStreams& io, bool csv, const TMonitorReading& reading,
                  double fullScale) {
  const TReadout r = DeriveReadout(reading.Forward, reading.Reflected, fullScale);
  if (csv) {
    std::fprintf(io.out, "%s\n",
                 ReadingCsvRow(QDateTime::currentMSecsSinceEpoch(), reading).c_str());
  } else {
    std::fprintf(io.out,
                 "%s forward=%s %s reflected=%s %s vswr=%s return_loss=%s dB rho=%s "
                 "transmitted=%s %% dbm=%s alarm=%s\n",
                 Now().c_str(), Trimmed(r.ForwardText).c_str(), r.Unit.Unit,
                 Trimmed(r.ReflectedText).c_str(), r.Unit.Unit, Trimmed(r.VSWRText).c_str(),
                 Trimmed(r.ReturnLossText).c_str(), Trimmed(r.RhoText).c_str(),
                 Trimmed(r.TransmittedText).c_str(), Trimmed(r.DBmText).c_str(),
                 reading.Alarm ? "yes" : "no");
  }
  std::fflush(io.out);
}

int Read(const CliOptions& o, MonitorLine& line, const CliStreams& io) {
  Interrupt interrupt;
  if (o.csv) {
    std::fprintf(io.out, "%s\n", kReadingCsvHeader);
    std::fflush(io.out);
  }
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.intervalSeconds));
  Clock::time_point next = Clock::now();
  long taken = 0;
  int failuresInARow = 0;
  while (!o.count || taken < *o.count) {
    interrupt.Wait(std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()));
    if (interrupt.Requested()) break;
    next = std::max(next + period, Clock::now());
    try {
      const TMonitorReading reading = TakeReading(line.Monitor());
      PrintReading(io, o.csv, reading, line.Monitor().FullScale());
      ++taken;
      failuresInARow = 0;
    } catch (const ESerialException&) {
      throw;  // the port itself failed: nothing more will come
    } catch (const std::exception& e) {
      std::fprintf(io.err, "%s %s\n", Now().c_str(), e.what());
      std::fflush(io.err);
      if (line.Port().DeviceLost()) throw Exception("The serial device has gone away");
      if (++failuresInARow > kMaxFailuresInARow) return 1;
    }
  }
  return 0;
}

void PrintSettings(TVSWR_Monitor& m, const CliStreams& io) {
  const MonitorSettings s = ReadMonitorSettings(m);
  std::fprintf(io.out,
               "latch_alarm=%d\nalarm_at_power_up=%d\nrelay_sense=%d\nrelay2_sense=%d\n"
               "vswr_alarm_enable=%d\nvswr_level=%d\ncheck_on_zero_power=%d\n"
               "high_power_level=%d\nhigh_power_enable=%d\nlow_power_level=%d\n"
               "low_power_enable=%d\nptt_enable=%d\nptt_delay=%.2f\nfwd_dac_gain=%d\n"
               "rfl_dac_gain=%d\n",
               s.LatchAlarm, s.AlarmAtPowerUp, s.RelaySense, s.Relay2Sense, s.VSWRAlarmEnable,
               s.VSWRLevel, s.CheckOnZeroPower, s.HighPowerLevel, s.HighPowerEnable,
               s.LowPowerLevel, s.LowPowerEnable, s.PushToTalkEnable,
               static_cast<double>(s.PushToTalkDelay), s.FwdDACGain, s.RflDACGain);
}

void WriteSettings(TVSWR_Monitor& m, const CliOptions& o) {
  std::map<std::string, std::string> v(o.assignments.begin(), o.assignments.end());
  const auto has = [&](const char* key) { return v.count(key) != 0; };
  const auto flag = [&](const char* key) { return v.at(key) == "1"; };
  const auto number = [&](const char* key) { return std::stoi(v.at(key)); };

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
    if (has("ptt_delay")) ptt.Delay = std::stof(v.at("ptt_delay"));
    m.WritePushToTalk(ptt);
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

int RunCliCommand(const CliOptions& o, MonitorLine& line, bool identified, const CliStreams& io) {
  TVSWR_Monitor& m = line.Monitor();
  switch (o.command) {
    case Command::Identify:
      std::fprintf(io.out, "model=%s firmware=%s known=%s\n", m.ModelId().c_str(),
                   DateToIso(m.FirmwareDate()).c_str(), identified ? "yes" : "no");
      return 0;
    case Command::Read:
      return Read(o, line, io);
    case Command::Settings:
      PrintSettings(m, io);
      return 0;
    case Command::Set:
      WriteSettings(m, o);
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
    case Command::Calibrate: {
      TerminalPrompt prompt(io.in, io.out);
      m.DoCalibration(static_cast<uint8_t>(o.calibrationStep), prompt);
      return 0;
    }
  }
  return 0;
}

}  // namespace vemo::cli

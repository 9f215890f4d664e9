// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated monitor's protocol engine: what the monitor does with each byte the PC
// sends and what it answers. Timing (delays, pacing, silence, hang-up) is the server's
// business; this class answers at once.

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sim/CommandAssembler.h"
#include "sim/DeviceModel.h"
#include "sim/Measurement.h"
#include "sim/SimConfig.h"

namespace vemo::sim {

class SimMonitor {
 public:
  struct Exchange {
    enum Outcome {
      Answered,     // reply holds the answer (may be empty for none)
      Unsupported,  // a command this model ignores
      BadArgument,  // a known command with an argument the monitor rejects; no reply
      Unknown,      // a byte that starts no command
      Incomplete,   // the start of a command whose remaining bytes never came
    } outcome = Answered;
    std::string command;  // the bytes received
    std::string reply;
  };

  explicit SimMonitor(const SimConfig& config);

  // Takes received bytes; returns every command they complete, with its answer.
  std::vector<Exchange> Receive(std::string_view bytes, SimTime now);
  // The PC closed the line.
  void LineClosed();

  // What the operator does at the monitor's side: power applied, range fitted, power
  // switched off and on.
  void SetForward(double watts) { forward_ = watts; }
  void SetReflected(double watts) { reflected_ = watts; }
  // From now on every reading ("T") is answered with exactly these bytes, whatever was
  // measured, until they are set empty: a reply no measurement would give.
  void SetReadingReply(std::string bytes) { readingReply_ = std::move(bytes); }
  // Stores the full scale (EEPROM words 32 and 34) and works with it at once, the
  // converters matched to it as before; false, and nothing changed, when it is too small
  // to store.
  bool SetFullScale(double watts);
  // The monitor loads its calibration words and full scale from the EEPROM only here and
  // at construction, so EEPROM writes change its measurements from the next power cycle
  // on. It also leaves raw mode and any calibration step, forgets a half-received command
  // and holds the alarm again when it is set to raise one at power-up.
  void PowerCycle();

  // State, for tests and the transcript.
  uint16_t Eeprom(uint8_t address) const { return eeprom_[address]; }
  uint16_t StatusWord() const;
  // The full scale the monitor works with: loaded at power-up, or the range fitted since.
  double FullScale() const;
  bool RawMode() const { return rawMode_; }
  bool AtCalibrationPrompt() const { return calibrationStep_ >= 0; }

  // EEPROM addresses of the calibration and full-scale words.
  static constexpr uint8_t kReflectedOffset = 0, kForwardOffset = 1, kReflectedFactor = 2,
                           kForwardFactor = 3, kFullScaleMantissa = 32, kFullScaleExponent = 34;

 private:
  std::string Execute(const std::string& command, Exchange::Outcome& outcome);
  std::string Identification() const;
  std::string Reading();
  // Full scale as the "7" reply reports it; the unit of the readings follows this value.
  double ReportedFullScale() const;
  std::string FullScaleReply() const;
  std::string EepromRead(const std::string& command) const;
  std::string EepromWrite(const std::string& command);
  std::string CalibrationStep(char step);
  std::string CalibrationAnswer(char answer);
  // The settings commands; false when the argument is rejected.
  bool SetFlag(char command, char digit);
  bool SetPowerLevel(uint16_t& word, const std::string& digits);
  bool MeasureAlarm(double forward, double reflected);

  std::string StatusReply() const;
  std::string VswrLevelReply() const;
  std::string CheckOnZeroReply() const;
  std::string PowerAlarmReply(const char* prefix, uint16_t word) const;
  std::string GainReply() const;
  std::string DelayReply() const;
  // A reply that starts with a two-character prefix the PC re-aligns on.
  std::string Prefixed(const std::string& prefix, const std::string& body) const;
  // A number field as sent, or as garbage when the monitor is set to send garbage.
  std::string Field(const std::string& digits) const;

  const SimConfig config_;
  DeviceModel model_;
  CommandAssembler assembler_;
  std::mt19937 random_;
  std::normal_distribution<double> noise_{0.0, 1.0};

  // Their calibration powers follow the full scale when a range is fitted, never when the
  // EEPROM words change: the converters are hardware.
  Converter forwardConverter_, reflectedConverter_;
  double forward_, reflected_;
  std::string readingReply_;
  std::array<uint16_t, 256> eeprom_{};
  // What the monitor loaded at power-up: calibration words 0..3 and the full-scale words.
  std::array<uint16_t, 4> calibration_{};
  FullScaleWords fullScale_;
  uint16_t flags_;  // the stored bits of the status word
  int vswrLevel_;
  uint16_t highPower_ = 26214;  // 100 %, disabled
  uint16_t lowPower_ = 2621;    // 10 %, disabled
  int forwardGain_ = 1, reflectedGain_ = 1;
  int pttUnits_ = 6;  // 0.94 s
  bool rawMode_ = false;
  bool alarmHeld_ = false;    // latched, or raised at power-up, until "A"
  int calibrationStep_ = -1;  // the step whose prompt the monitor sits at
};

// Status word bits.
enum StatusBit : uint16_t {
  kCheckOnZeroPower = 1 << 0,
  kHighPowerEnabled = 1 << 1,
  kRelaySense = 1 << 2,
  kVswrAlarmEnabled = 1 << 3,
  kLowPowerEnabled = 1 << 5,
  kLatchOff = 1 << 6,         // clear: alarms latch
  kPowerUpAlarmOff = 1 << 7,  // clear: the alarm is raised at power-up
  kPushToTalkEnabled = 1 << 8,
  kRelay2Sense = 1 << 9,
};

}  // namespace vemo::sim

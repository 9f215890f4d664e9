// SPDX-License-Identifier: GPL-3.0-or-later
// Alarm, relay, push-to-talk and analog-gain settings, and the alarm reset.
#include "monitor/VSWRMon.h"

#include "monitor/NumConvert.h"
#include "platform/Exception.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vemo {

namespace {

// Bits 0-14 of a power-alarm word: 26214.4 is 100 % of full scale; bit 15 enables.
constexpr double kPowerAlarmFullScale = 26214.4;
constexpr int32_t kPowerAlarmEnableBit = 32768;
constexpr int32_t kPowerAlarmMaxRaw = 32767;
// The push-to-talk delay counts in 1/6.4 s.
constexpr double kPttUnitsPerSecond = 6.4;
constexpr double kPttSecondsPerUnit = 0.15625;
constexpr int kPttMaxUnits = 90;

struct PowerAlarmCommands {
  char read;
  char level;
  char enable;
  const char* prefix;
  const char* parseName;
  MonitorFeature feature;
};

constexpr PowerAlarmCommands kHighPower{
    'L', 'M', 'N', "H=", "ProcessHiPowerInput", MonitorFeature::HighPowerAlarm};
constexpr PowerAlarmCommands kLowPower{
    'D', 'E', 'G', "L=", "ProcessLowPowerInput", MonitorFeature::LowPowerAlarm};

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[64];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// Nearest integer, halves to even; limited to the 32-bit range (NaN gives 0) so that any
// number a caller passes converts safely.
int32_t RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  return static_cast<int32_t>(std::clamp(std::nearbyint(value), -2147483648.0, 2147483647.0));
}

}  // namespace

// --- Status flags -------------------------------------------------------------------

void TVSWR_Monitor::ReadStatusFlags() {
  StatusCommand(MonitorFeature::StatusWord, "B");
}

bool TVSWR_Monitor::ReadLatchAlarm() {
  ReadStatusFlags();
  return LatchAlarm_;
}

bool TVSWR_Monitor::ReadAlarmAtPowerUp() {
  ReadStatusFlags();
  return AlarmAtPowerUp_;
}

bool TVSWR_Monitor::ReadRelaySense() {
  ReadStatusFlags();
  return RelaySense_;
}

bool TVSWR_Monitor::ReadRelay2Sense() {
  ReadStatusFlags();
  return Relay2Sense_;
}

bool TVSWR_Monitor::ReadAlarmEnable() {
  ReadStatusFlags();
  return AlarmEnable_;
}

uint16_t TVSWR_Monitor::WriteAlarmEnable(bool on) {
  return StatusCommand(MonitorFeature::StatusWord, on ? "61" : "60");
}

uint16_t TVSWR_Monitor::WriteRelaySense(bool on) {
  return StatusCommand(MonitorFeature::StatusWord, on ? "51" : "50");
}

uint16_t TVSWR_Monitor::WriteRelay2Sense(bool on) {
  return StatusCommand(MonitorFeature::SecondRelay, on ? "W1" : "W0");
}

// Latch and power-up alarm are switched on by "0".
uint16_t TVSWR_Monitor::WriteLatchAlarm(bool on) {
  return StatusCommand(MonitorFeature::LatchAlarm, on ? "O0" : "O1");
}

uint16_t TVSWR_Monitor::WriteAlarmAtPowerUp(bool on) {
  return StatusCommand(MonitorFeature::AlarmAtPowerUp, on ? "U0" : "U1");
}

// --- VSWR level and check on zero power ------------------------------------------------

uint8_t TVSWR_Monitor::ProcessVSWRLevelInput() {
  const std::string reply = ReadReply(6, 2);
  const size_t p = reply.find("V=");
  // A reply without "V=" reads as level 0 rather than an error.
  VSWRLevel_ =
      p == std::string::npos ? 0 : static_cast<uint8_t>(StrToInt("$" + reply.substr(p + 2, 1)));
  return VSWRLevel_;
}

uint8_t TVSWR_Monitor::ReadVSWRLevel() {
  RxBuffer_.Clear();
  Send('8');
  return ProcessVSWRLevelInput();
}

void TVSWR_Monitor::WriteVSWRLevel(uint8_t code) {
  RxBuffer_.Clear();
  // One hexadecimal digit is all the command has room for.
  Send(Format("9%X", std::min<unsigned>(code, 15)));
  ProcessVSWRLevelInput();
}

bool TVSWR_Monitor::ProcessCheckOnZeroPowerInput() {
  const std::string reply = ReadReply(6, 2);
  const size_t p = reply.find("A=");
  const size_t digit = p == std::string::npos ? 1 : p + 2;
  CheckOnZeroPower_ = StrToInt(reply.substr(std::min(digit, reply.size()), 1)) != 0;
  return CheckOnZeroPower_;
}

bool TVSWR_Monitor::ReadCheckOnZeroPower() {
  RxBuffer_.Clear();
  Send('Q');
  return ProcessCheckOnZeroPowerInput();
}

void TVSWR_Monitor::WriteCheckOnZeroPower(bool on) {
  if (ReadCheckOnZeroPower() == on) return;
  // "P" toggles the setting.
  RxBuffer_.Clear();
  Send('P');
  ProcessCheckOnZeroPowerInput();
}

// --- High- and low-power alarms -------------------------------------------------------

TPowerAlarm TVSWR_Monitor::ProcessPowerInput(PowerAlarmKind kind) {
  const PowerAlarmCommands& c = kind == PowerAlarmKind::High ? kHighPower : kLowPower;
  std::string reply = ReadReply(10, 3);
  Realign(reply, c.prefix, 3, c.parseName);
  const int32_t v = ValueAfterPrefix(reply);
  return {RoundHalfEven((v & 0x7FFF) * 100 / kPowerAlarmFullScale), v >= kPowerAlarmEnableBit};
}

void TVSWR_Monitor::CachePowerAlarm(PowerAlarmKind kind, const TPowerAlarm& alarm) {
  if (kind == PowerAlarmKind::High) {
    HiPowerLevel_ = alarm.Level;
    HiPowerEnabled_ = alarm.Enabled;
  } else {
    LowPowerLevel_ = alarm.Level;
    LowPowerEnabled_ = alarm.Enabled;
  }
}

TPowerAlarm TVSWR_Monitor::ReadPowerAlarm(PowerAlarmKind kind) {
  const PowerAlarmCommands& c = kind == PowerAlarmKind::High ? kHighPower : kLowPower;
  TPowerAlarm alarm;
  if (ModelSupports(ModelId_, FirmwareDate_, c.feature)) {
    RxBuffer_.Clear();
    Send(c.read);
    alarm = ProcessPowerInput(kind);
  }
  CachePowerAlarm(kind, alarm);
  return alarm;
}

void TVSWR_Monitor::WritePowerAlarm(PowerAlarmKind kind, const TPowerAlarm& wanted) {
  const PowerAlarmCommands& c = kind == PowerAlarmKind::High ? kHighPower : kLowPower;
  const bool supported = ModelSupports(ModelId_, FirmwareDate_, c.feature);
  const TPowerAlarm current = ReadPowerAlarm(kind);
  TPowerAlarm cached = current;
  if (wanted.Level != current.Level) {
    cached.Level = wanted.Level;
    if (supported) {
      // Out-of-range levels are clamped to what the word can carry, not refused.
      const int32_t raw = std::clamp(RoundHalfEven(wanted.Level * kPowerAlarmFullScale * 0.01), 0,
                                     kPowerAlarmMaxRaw);
      Send(std::string(1, c.level) + Format("%5d", raw));
      cached.Level = ProcessPowerInput(kind).Level;
    }
    CachePowerAlarm(kind, cached);
  }
  if (wanted.Enabled != current.Enabled) {
    cached.Enabled = wanted.Enabled;
    if (supported) {
      Send(std::string(1, c.enable) + (wanted.Enabled ? "1" : "0"));
      cached.Enabled = ProcessPowerInput(kind).Enabled;
    }
    CachePowerAlarm(kind, cached);
  }
}

TPowerAlarm TVSWR_Monitor::ReadHiPowerAlarm() {
  return ReadPowerAlarm(PowerAlarmKind::High);
}

TPowerAlarm TVSWR_Monitor::ReadLowPowerAlarm() {
  return ReadPowerAlarm(PowerAlarmKind::Low);
}

void TVSWR_Monitor::WriteHiPowerAlarm(const TPowerAlarm& alarm) {
  WritePowerAlarm(PowerAlarmKind::High, alarm);
}

void TVSWR_Monitor::WriteLowPowerAlarm(const TPowerAlarm& alarm) {
  WritePowerAlarm(PowerAlarmKind::Low, alarm);
}

// --- Push-to-talk ---------------------------------------------------------------------

float TVSWR_Monitor::ProcessPTTDelayInput() {
  std::string reply = ReadReply(7, 3);
  Realign(reply, "D=", 3, "ProcessPTTDelayInput");
  const int32_t units = ValueAfterPrefix(reply);
  // Seconds rounded to 0.01 s.
  return static_cast<float>(std::nearbyint(units * 100 * kPttSecondsPerUnit) * 0.01);
}

TPushToTalk TVSWR_Monitor::ReadPushToTalk() {
  ReadStatusFlags();
  if (ModelSupports(ModelId_, FirmwareDate_, MonitorFeature::PushToTalk)) {
    RxBuffer_.Clear();
    Send('#');
    PushToTalkDelay_ = ProcessPTTDelayInput();
  } else {
    PushToTalkEnabled_ = false;
    PushToTalkDelay_ = 0;
  }
  return {PushToTalkEnabled_, PushToTalkDelay_};
}

float TVSWR_Monitor::WritePushToTalk(const TPushToTalk& pushToTalk) {
  if (!ModelSupports(ModelId_, FirmwareDate_, MonitorFeature::PushToTalk)) {
    PushToTalkEnabled_ = false;
    return 0;
  }
  RxBuffer_.Clear();
  Send(pushToTalk.Enabled ? "&1" : "&0");
  ProcessStatusInput('&');
  // Delays beyond what the monitor can hold are clamped, not refused.
  const int units =
      std::clamp(RoundHalfEven(pushToTalk.Delay * kPttUnitsPerSecond), 0, kPttMaxUnits);
  Send(Format("%%%2d", units));
  return ProcessPTTDelayInput();
}

// --- Analog outputs and alarm reset -----------------------------------------------------

uint16_t TVSWR_Monitor::ProcessDACGainInput() {
  std::string reply = ReadReply(7, 3);
  Realign(reply, "G=", 3, "ProcessDACGainInput");
  const int32_t n = ValueAfterPrefix(reply);
  DACGains_ = static_cast<uint16_t>((n / 10 & 0xFF) | (n % 10 & 0xFF) << 8);
  return DACGains_;
}

uint16_t TVSWR_Monitor::ReadDACGains() {
  RxBuffer_.Clear();
  Send('K');
  return ProcessDACGainInput();
}

uint16_t TVSWR_Monitor::WriteDACGains(uint16_t gains) {
  DACGains_ = gains;
  // One digit per gain: a larger value would shift the command and corrupt it.
  const unsigned forward = std::min(gains & 0xFFu, 9u);
  const unsigned reflected = std::min(static_cast<unsigned>(gains >> 8), 9u);
  Send(Format("J%1u%1u", forward, reflected));
  return ProcessDACGainInput();
}

void TVSWR_Monitor::CommandA() {
  RxBuffer_.Clear();
  Send('A');
  if (ReadReply(1, 2) != "A") throw Exception("Unexpected result in CommandA.");
}

}  // namespace vemo

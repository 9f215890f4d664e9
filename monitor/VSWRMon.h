// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitor session: the only code that speaks the monitor's protocol. Every operation
// is one or more complete exchanges on the GUI thread: empty the receive buffer (most
// commands), send a short command through the port, wait for a fixed-length reply while
// the event loop keeps running, check and parse it. Failures raise vemo::Exception with
// the text the user reads; errors of the port pass through unchanged.

#include "monitor/Buffer.h"
#include "monitor/DateTime.h"
#include "monitor/ModelSupport.h"
#include "monitor/OperatorPrompt.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "serial/ComSender.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace vemo {

// No complete reply came within an exchange's time limit; the text says which exchange.
class EReplyTimeout : public Exception {
 public:
  using Exception::Exception;
};

// One reading: powers in watts (unscaled monitor numbers in raw mode).
struct TMonitorReading {
  float Forward = 0;
  float Reflected = 0;
  bool RawMode = false;  // mode letter "R"
  bool Alarm = false;    // mode letter "A"
  bool CheckOnZeroPower = false;
  // A power field that converts but is not written the way the monitor writes its numbers
  // (IsMonitorPowerField): an exponent, a sign, a blank inside the number, no decimal point
  // outside raw mode.
  bool FieldForm = false;
  double FullScale = 0;  // watts, the full scale in force when the reading was taken
};

// True for a five-character power field as the monitor writes it: a decimal number with
// one "." (raw mode: an integer count), blank-padded on either side; no sign, no exponent.
bool IsMonitorPowerField(std::string_view field, bool rawMode);

// High- or low-power alarm: level in percent of full scale.
struct TPowerAlarm {
  int32_t Level = 0;
  bool Enabled = false;
};

struct TPushToTalk {
  bool Enabled = false;
  float Delay = 0;  // seconds
};

class TVSWR_Monitor {
 public:
  // The session refers to the port and the buffer and owns neither. The clock gives the
  // wall-clock time against which reply time limits run.
  TVSWR_Monitor(IComSender& comPort, TBuffer& rxBuffer, const Clock& clock = SystemClock());
  TVSWR_Monitor(const TVSWR_Monitor&) = delete;
  TVSWR_Monitor& operator=(const TVSWR_Monitor&) = delete;

  // --- Identification and framing --------------------------------------------------
  // CommandI, then true when the identification starts with "TQAMO", "KRFMO" or "VPMon".
  bool Identify();
  // The identification exchange: sets ModelId and FirmwareDate and returns the 40-character
  // reply. Any failure leaves ModelId empty and FirmwareDate at 1980-01-01.
  std::string CommandI();
  // Takes exactly count bytes from the receive buffer, waiting up to timeoutSeconds of
  // wall-clock time; raises EReplyTimeout("Timeout").
  std::string ReadReply(int count, double timeoutSeconds);
  // Reads and checks a 6-character status reply to a command starting with letter and
  // applies it; raises "Unexpected result<reply> in command<letter>.".
  uint16_t ProcessStatusInput(char letter);
  void DecodeStatus(uint16_t status);

  // --- Readings ---------------------------------------------------------------------
  // Refreshes the full scale ("7"), takes the reading ("T") and scales it to watts.
  void GetReading(TMonitorReading& reading);
  std::string CommandT();
  void CommandZ();  // toggles raw mode
  void SetRawMode(bool on);

  // --- Full scale and EEPROM ------------------------------------------------------------
  void Command7();
  double ReadFullScale();
  // Stores 1.25 x watts as mantissa and decimal exponent, then re-reads the full scale.
  // Raises for a power that is not positive, too small to store or above
  // kMaxFullScaleWatts.
  void SetFullScale(double watts);
  // The largest full scale accepted: headroom above the meter's largest range (600 kW);
  // anything larger is a typing error that would leave the monitor unusable.
  static constexpr double kMaxFullScaleWatts = 1e6;
  uint16_t ReadEeprom(uint8_t address);
  // Raises "Error writing to EEPROM" when the echo differs from value and
  // "Error writing to EEPROM (no reply)" when no echo arrives within 2 seconds.
  void WriteEeprom(uint8_t address, uint16_t value);

  // --- Settings ---------------------------------------------------------------------
  // Unsupported commands (ModelSupport) are not sent: reads give neutral values, writes
  // cache the wanted value.
  bool ReadLatchAlarm();
  bool ReadAlarmAtPowerUp();
  bool ReadRelaySense();
  bool ReadRelay2Sense();
  bool ReadAlarmEnable();
  uint8_t ReadVSWRLevel();
  bool ReadCheckOnZeroPower();
  TPowerAlarm ReadHiPowerAlarm();
  TPowerAlarm ReadLowPowerAlarm();
  TPushToTalk ReadPushToTalk();
  uint16_t ReadDACGains();  // forward gain in the low byte, reflected in the high byte

  uint16_t WriteAlarmEnable(bool on);
  uint16_t WriteRelaySense(bool on);
  uint16_t WriteRelay2Sense(bool on);
  uint16_t WriteLatchAlarm(bool on);
  uint16_t WriteAlarmAtPowerUp(bool on);
  // Returns the delay the monitor reports having stored, in seconds to 0.01: it counts in
  // steps of 1/6.4 s, so it may differ from the one asked for (0 without push-to-talk).
  float WritePushToTalk(const TPushToTalk& pushToTalk);
  void WriteVSWRLevel(uint8_t code);  // 0..12 for VSWR 1.3..2.5
  void WriteCheckOnZeroPower(bool on);
  void WriteHiPowerAlarm(const TPowerAlarm& alarm);
  void WriteLowPowerAlarm(const TPowerAlarm& alarm);
  uint16_t WriteDACGains(uint16_t gains);  // returns the gains as the monitor echoes them
  void CommandA();                         // resets the monitor's alarm

  // --- Calibration ------------------------------------------------------------------
  // One step of the monitor's own calibration: 0 zero offset, 1 forward, 2 reflected.
  // Asks the operator through prompt; raises "An IO exception occurred." for a failure of
  // the port and "Unexpected result<reply so far> in DoCalibration." for any other.
  void DoCalibration(uint8_t step, IOperatorPrompt& prompt);

  // --- Fields -----------------------------------------------------------------------
  const std::string& ModelId() const { return ModelId_; }
  TDateTime FirmwareDate() const { return FirmwareDate_; }
  bool CheckOnZeroPower() const { return CheckOnZeroPower_; }
  uint8_t VSWRLevel() const { return VSWRLevel_; }
  int32_t FSMantissa() const { return FSMantissa_; }
  double FullScale() const { return FullScale_; }
  double FwdCalPower() const { return FwdCalPower_; }
  double RflCalPower() const { return RflCalPower_; }
  int8_t FSExponent() const { return FSExponent_; }
  int8_t RangeExponent() const { return RangeExponent_; }
  bool HiPowerEnabled() const { return HiPowerEnabled_; }
  int32_t HiPowerLevel() const { return HiPowerLevel_; }
  bool LowPowerEnabled() const { return LowPowerEnabled_; }
  int32_t LowPowerLevel() const { return LowPowerLevel_; }
  bool AlarmEnable() const { return AlarmEnable_; }
  bool RelaySense() const { return RelaySense_; }
  bool Relay2Sense() const { return Relay2Sense_; }
  bool LatchAlarm() const { return LatchAlarm_; }
  bool AlarmAtPowerUp() const { return AlarmAtPowerUp_; }
  bool PushToTalkEnabled() const { return PushToTalkEnabled_; }
  float PushToTalkDelay() const { return PushToTalkDelay_; }
  uint16_t DACGains() const { return DACGains_; }
  IComSender& ComPort() const { return ComPort_; }
  TBuffer& RxBuffer() const { return RxBuffer_; }

 private:
  enum class PowerAlarmKind { High, Low };

  // Sending; remembers whether the port raised, so that the calibration can tell the
  // port's failures from the protocol's.
  void Send(char c);
  void Send(std::string_view s);
  // Appends bytes from the receive buffer to text until it holds count bytes; raises
  // EReplyTimeout(timeoutMessage) once the wall clock passes now + timeoutSeconds.
  void ReadInto(std::string& text, size_t count, double timeoutSeconds,
                const char* timeoutMessage = "Timeout");
  // Waits in a local event loop until a byte is appended to the buffer or `limit` passes.
  void WaitForBytes(std::chrono::nanoseconds limit);
  // Moves a known two-character prefix to the front of reply, topping it up to its full
  // length; raises "Unexpected result<reply> in <operation>." when the prefix is absent.
  void Realign(std::string& reply, std::string_view prefix, double timeoutSeconds,
               const char* operation);
  // The decimal number between the prefix at the front of reply and the first CR LF.
  static int32_t ValueAfterPrefix(const std::string& reply);

  void SetFullScaleFields(int32_t mantissa, int8_t exponent);
  // Empties the buffer, sends a status-type command and applies the status word; on a
  // model without the command sends nothing and applies the word 0.
  uint16_t StatusCommand(MonitorFeature feature, std::string_view command);
  void ReadStatusFlags();
  TPowerAlarm ProcessPowerInput(PowerAlarmKind kind);
  TPowerAlarm ReadPowerAlarm(PowerAlarmKind kind);
  void WritePowerAlarm(PowerAlarmKind kind, const TPowerAlarm& alarm);
  void CachePowerAlarm(PowerAlarmKind kind, const TPowerAlarm& alarm);
  uint8_t ProcessVSWRLevelInput();
  bool ProcessCheckOnZeroPowerInput();
  uint16_t ProcessDACGainInput();
  float ProcessPTTDelayInput();
  void RunCalibrationDialogue(uint8_t step, IOperatorPrompt& prompt, std::string& reply);

  std::string ModelId_;
  TDateTime FirmwareDate_ = 0;
  bool CheckOnZeroPower_ = false;
  uint8_t VSWRLevel_ = 0;
  int32_t FSMantissa_ = 62500;
  double FullScale_ = 625.0;
  double FwdCalPower_ = 100.0;
  double RflCalPower_ = 10.0;
  int8_t FSExponent_ = 1;
  int8_t RangeExponent_ = 0;
  bool HiPowerEnabled_ = false;
  int32_t HiPowerLevel_ = 0;
  bool LowPowerEnabled_ = false;
  int32_t LowPowerLevel_ = 0;
  bool AlarmEnable_ = false;
  bool RelaySense_ = false;
  bool Relay2Sense_ = false;
  bool LatchAlarm_ = false;
  bool AlarmAtPowerUp_ = false;
  bool PushToTalkEnabled_ = false;
  float PushToTalkDelay_ = 0;
  uint16_t DACGains_ = 0;
  IComSender& ComPort_;
  TBuffer& RxBuffer_;
  const Clock& clock_;
  bool portFailed_ = false;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimMonitor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vemo::sim {

namespace {

const char* const kEnd = "\r\n>";

std::string Padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

// Digits of a decimal field as the PC sends them ("%5d": right-aligned, blank-padded).
bool ParseDecimal(const std::string& text, int& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == text.size()) return false;
  value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

SimMonitor::SimMonitor(const SimConfig& config)
    : config_(config),
      model_(Padded(config.model, 8), config.firmware),
      random_(config.seed),
      forwardConverter_{config.forwardCounts, config.forwardZero, 0.0},
      reflectedConverter_{config.reflectedCounts, config.reflectedZero, 0.0},
      forward_(config.forward),
      reflected_(config.reflected),
      flags_(config.status & static_cast<uint16_t>(~(kHighPowerEnabled | kLowPowerEnabled))),
      vswrLevel_(std::clamp(config.vswrLevel, 0, 12)) {
  eeprom_.fill(0xFFFF);  // erased cells
  eeprom_[kReflectedOffset] = static_cast<uint16_t>(config.reflectedZero);
  eeprom_[kForwardOffset] = static_cast<uint16_t>(config.forwardZero);
  eeprom_[kReflectedFactor] = config.reflectedCounts;
  eeprom_[kForwardFactor] = config.forwardCounts;
  SetFullScale(config.fullScale);
  PowerCycle();
}

bool SimMonitor::SetFullScale(double watts) {
  const FullScaleWords words = EncodeFullScale(watts);
  if (words.mantissa == 0) return false;
  eeprom_[kFullScaleMantissa] = words.mantissa;
  eeprom_[kFullScaleExponent] = static_cast<uint8_t>(words.exponent);
  fullScale_ = words;
  const double stored = DecodeFullScale(words);
  forwardConverter_.calibrationPower = ForwardCalibrationPower(stored);
  reflectedConverter_.calibrationPower = ReflectedCalibrationPower(stored);
  return true;
}

void SimMonitor::PowerCycle() {
  std::copy_n(eeprom_.begin(), calibration_.size(), calibration_.begin());
  fullScale_ = {eeprom_[kFullScaleMantissa],
                static_cast<int8_t>(eeprom_[kFullScaleExponent] & 0xFF)};
  rawMode_ = false;
  calibrationStep_ = -1;
  assembler_.Reset();
  assembler_.SetAtCalibrationPrompt(false);
  alarmHeld_ = (flags_ & kPowerUpAlarmOff) == 0;
}

double SimMonitor::FullScale() const {
  return DecodeFullScale(fullScale_);
}

double SimMonitor::ReportedFullScale() const {
  // The early models report whole watts only, and so choose the unit of their readings.
  if (model_.HasShortFullScaleReply()) return std::clamp(std::nearbyint(FullScale()), 0.0, 65535.0);
  return FullScale();
}

uint16_t SimMonitor::StatusWord() const {
  uint16_t word = flags_;
  if (highPower_ & 0x8000) word |= kHighPowerEnabled;
  if (lowPower_ & 0x8000) word |= kLowPowerEnabled;
  return word;
}

std::vector<SimMonitor::Exchange> SimMonitor::Receive(std::string_view bytes, SimTime now) {
  std::vector<Exchange> exchanges;
  std::vector<AssembledCommand> commands;
  for (char byte : bytes) {
    commands.clear();
    assembler_.Put(byte, now, commands);
    for (const AssembledCommand& command : commands) {
      Exchange exchange;
      exchange.command = command.bytes;
      if (command.kind == AssembledCommand::Unknown)
        exchange.outcome = Exchange::Unknown;
      else if (command.kind == AssembledCommand::Incomplete)
        exchange.outcome = Exchange::Incomplete;
      else
        exchange.reply = Execute(command.bytes, exchange.outcome);
      exchanges.push_back(std::move(exchange));
    }
    assembler_.SetAtCalibrationPrompt(AtCalibrationPrompt());
  }
  return exchanges;
}

void SimMonitor::LineClosed() {
  assembler_.Reset();
}

std::string SimMonitor::Execute(const std::string& command, Exchange::Outcome& outcome) {
  outcome = Exchange::Answered;
  const char c = command[0];
  if (AtCalibrationPrompt()) {
    if (command == "Y" || command == "Q") return CalibrationAnswer(c);
    calibrationStep_ = -1;  // anything else abandons the step
  }
  if (!model_.Understands(c)) {
    outcome = Exchange::Unsupported;
    return std::string();
  }
  const std::string argument = command.substr(1);
  auto reject = [&outcome] {
    outcome = Exchange::BadArgument;
    return std::string();
  };
  switch (c) {
    case 'I':
      return Identification();
    case 'T':
      return Reading();
    case 'Z':
      rawMode_ = !rawMode_;
      return "Z";
    case '7':
      return FullScaleReply();
    case 'X':
      return EepromRead(command);
    case 'Y':
      return EepromWrite(command);
    case 'A':
      alarmHeld_ = false;
      return "A";
    case 'B':
      return StatusReply();
    case '5':
    case '6':
    case 'W':
    case 'O':
    case 'U':
    case '&':
      return SetFlag(c, argument[0]) ? StatusReply() : reject();
    case '8':
      return VswrLevelReply();
    case '9': {
      int code = HexDigitValue(argument[0]);
      if (code < 0) return reject();
      vswrLevel_ = std::min(code, 12);
      return VswrLevelReply();
    }
    case 'Q':
      return CheckOnZeroReply();
    case 'P':
      flags_ ^= kCheckOnZeroPower;
      return CheckOnZeroReply();
    case 'L':
      return PowerAlarmReply("H=", highPower_);
    case 'M':
      return SetPowerLevel(highPower_, argument) ? PowerAlarmReply("H=", highPower_) : reject();
    case 'D':
      return PowerAlarmReply("L=", lowPower_);
    case 'E':
      return SetPowerLevel(lowPower_, argument) ? PowerAlarmReply("L=", lowPower_) : reject();
    case 'N':
    case 'G': {
      uint16_t& word = c == 'N' ? highPower_ : lowPower_;
      if (argument[0] != '0' && argument[0] != '1') return reject();
      word = static_cast<uint16_t>((word & 0x7FFF) | (argument[0] == '1' ? 0x8000 : 0));
      return PowerAlarmReply(c == 'N' ? "H=" : "L=", word);
    }
    case 'K':
      return GainReply();
    case 'J':
      if (argument[0] < '0' || argument[0] > '9' || argument[1] < '0' || argument[1] > '9')
        return reject();
      forwardGain_ = argument[0] - '0';
      reflectedGain_ = argument[1] - '0';
      return GainReply();
    case '#':
      return DelayReply();
    case '%': {
      int units;
      if (!ParseDecimal(argument, units)) return reject();
      pttUnits_ = std::min(units, 90);
      return DelayReply();
    }
    case '0':
    case '1':
    case '2':
      return CalibrationStep(c);
    default:
      outcome = Exchange::Unknown;
      return std::string();
  }
}

std::string SimMonitor::Identification() const {
  char date[16];
  std::snprintf(date, sizeof date, "%02d/%02d/%02d", config_.firmware.month % 100,
                config_.firmware.day % 100, config_.firmware.year % 100);
  return model_.Id() + date + Padded(" SIMULATED MONITOR", 21) + kEnd;
}

std::string SimMonitor::Reading() {
  if (!readingReply_.empty()) return readingReply_;
  // Each measurement wanders a little around the applied power.
  const double fwd = std::max(0.0, forward_ * (1.0 + config_.noise * noise_(random_)));
  const double rfl = std::max(0.0, reflected_ * (1.0 + config_.noise * noise_(random_)));
  const double fullScale = FullScale();
  // The converters know nothing of the calibration; the monitor scales their counts with
  // the words it loaded at power-up, and raises alarms on what it measured.
  const double fwdShown = ShownPower(fwd, forwardConverter_, ForwardCalibrationPower(fullScale),
                                     calibration_[kForwardFactor], calibration_[kForwardOffset]);
  const double rflShown =
      ShownPower(rfl, reflectedConverter_, ReflectedCalibrationPower(fullScale),
                 calibration_[kReflectedFactor], calibration_[kReflectedOffset]);
  const bool alarm = MeasureAlarm(fwdShown, rflShown);

  std::string fwdText, rflText;
  if (rawMode_) {
    const auto counts = [](double watts, const Converter& converter) {
      char text[16];
      std::snprintf(text, sizeof text, "%5d",
                    RawCounts(watts, converter.calibrationPower, converter.countsAtCalibration,
                              static_cast<uint16_t>(converter.zero)));
      return std::string(text);
    };
    fwdText = counts(fwd, forwardConverter_);
    rflText = counts(rfl, reflectedConverter_);
  } else {
    const double unit = std::pow(10.0, UnitExponent(ReportedFullScale()));
    fwdText = FormatReadingField(fwdShown / unit);
    rflText = FormatReadingField(rflShown / unit);
  }
  const char mode = rawMode_ ? 'R' : (alarm ? 'A' : ' ');
  const char zeroCheck = (flags_ & kCheckOnZeroPower) ? '1' : '0';
  return std::string(config_.strayPrompt ? ">" : "") + Field(fwdText) + " " + Field(rflText) +
         mode + zeroCheck + kEnd;
}

bool SimMonitor::MeasureAlarm(double forward, double reflected) {
  const double fullScale = FullScale();
  bool condition = false;
  if (flags_ & kVswrAlarmEnabled) {
    // Without power the VSWR means nothing; it counts as a fault only when the monitor is
    // told to check it then.
    const bool noPower = forward < 0.01 * fullScale / 1.25;
    condition = noPower ? (flags_ & kCheckOnZeroPower) != 0
                        : Vswr(forward, reflected) > VswrThreshold(vswrLevel_);
  }
  if ((highPower_ & 0x8000) && forward > PowerAlarmThreshold(highPower_, fullScale))
    condition = true;
  if ((lowPower_ & 0x8000) && forward < PowerAlarmThreshold(lowPower_, fullScale)) condition = true;
  if (condition && (flags_ & kLatchOff) == 0) alarmHeld_ = true;
  return condition || alarmHeld_;
}

std::string SimMonitor::FullScaleReply() const {
  std::string reply = "P=";
  if (model_.HasShortFullScaleReply()) {
    const auto w = static_cast<uint16_t>(ReportedFullScale());
    reply += static_cast<char>(w >> 8);
    reply += static_cast<char>(w & 0xFF);
  } else {
    reply += static_cast<char>(fullScale_.mantissa >> 8);
    reply += static_cast<char>(fullScale_.mantissa & 0xFF);
    reply += '\0';  // reserved
    reply += static_cast<char>(static_cast<uint8_t>(fullScale_.exponent));
  }
  return config_.strayPrefix + reply + kEnd;
}

std::string SimMonitor::EepromRead(const std::string& command) const {
  const auto address = static_cast<uint8_t>(command[1]);
  const int words = std::max(1, static_cast<int>(static_cast<uint8_t>(command[2])));
  std::string reply;
  for (int i = 0; i < words; ++i) {
    const uint16_t word = eeprom_[static_cast<uint8_t>(address + i)];
    reply += static_cast<char>(word >> 8);
    reply += static_cast<char>(word & 0xFF);
  }
  return reply;
}

std::string SimMonitor::EepromWrite(const std::string& command) {
  const auto address = static_cast<uint8_t>(command[1]);
  auto value = static_cast<uint16_t>((static_cast<uint8_t>(command[2]) << 8) |
                                     static_cast<uint8_t>(command[3]));
  if (config_.badEepromEcho) {
    value = static_cast<uint16_t>(~value);  // the cell did not take the word
  } else {
    eeprom_[address] = value;
  }
  return std::string{static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string SimMonitor::CalibrationStep(char step) {
  static const char* const kPrompts[] = {"PZ?>", "PF?>", "PR?>"};
  if (config_.noPromptCalibration) return std::string("?") + kEnd;
  calibrationStep_ = step - '0';
  return kPrompts[calibrationStep_];
}

std::string SimMonitor::CalibrationAnswer(char answer) {
  static const char* const kPrompts[] = {"PZ?>", "PF?>", "PR?>"};
  if (answer == 'Q') {
    calibrationStep_ = -1;
    return std::string("E") + kEnd;  // step abandoned
  }
  if (config_.calibrationError) {
    // The error, then the step's prompt again: the operator may retry or cancel.
    return std::string("E \r\n") + kPrompts[calibrationStep_];
  }
  calibrationStep_ = -1;
  return std::string("M") + kEnd;  // step measured and stored
}

bool SimMonitor::SetFlag(char command, char digit) {
  if (digit != '0' && digit != '1') return false;
  uint16_t bit = 0;
  switch (command) {
    case '5':
      bit = kRelaySense;
      break;
    case '6':
      bit = kVswrAlarmEnabled;
      break;
    case 'W':
      bit = kRelay2Sense;
      break;
    case 'O':
      bit = kLatchOff;
      break;
    case 'U':
      bit = kPowerUpAlarmOff;
      break;
    default:
      bit = kPushToTalkEnabled;
      break;  // '&'
  }
  if (digit == '1')
    flags_ |= bit;
  else
    flags_ &= static_cast<uint16_t>(~bit);
  if (command == 'O' && digit == '1') alarmHeld_ = false;  // latching off lets a held alarm go
  return true;
}

bool SimMonitor::SetPowerLevel(uint16_t& word, const std::string& digits) {
  int level;
  if (!ParseDecimal(digits, level)) return false;
  word = static_cast<uint16_t>((word & 0x8000) | std::min(level, 0x7FFF));
  return true;
}

std::string SimMonitor::StatusReply() const {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", StatusWord());
  return Field(text) + kEnd;
}

std::string SimMonitor::VswrLevelReply() const {
  char text[4];
  std::snprintf(text, sizeof text, "%X", vswrLevel_);
  return "V=" + Field(text) + kEnd;
}

std::string SimMonitor::CheckOnZeroReply() const {
  return "A=" + Field((flags_ & kCheckOnZeroPower) ? "1" : "0") + kEnd;
}

std::string SimMonitor::PowerAlarmReply(const char* prefix, uint16_t word) const {
  char text[8];
  std::snprintf(text, sizeof text, "%05u", static_cast<unsigned>(word));
  return Prefixed(prefix, Field(text));
}

std::string SimMonitor::GainReply() const {
  char text[4];
  std::snprintf(text, sizeof text, "%d%d", forwardGain_, reflectedGain_);
  return Prefixed("G=", Field(text));
}

std::string SimMonitor::DelayReply() const {
  char text[4];
  std::snprintf(text, sizeof text, "%02d", pttUnits_);
  return Prefixed("D=", Field(text));
}

std::string SimMonitor::Prefixed(const std::string& prefix, const std::string& body) const {
  return config_.strayPrefix + prefix + body + kEnd;
}

std::string SimMonitor::Field(const std::string& digits) const {
  return config_.garbageNumbers ? std::string(digits.size(), '-') : digits;
}

}  // namespace vemo::sim

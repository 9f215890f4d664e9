// SPDX-License-Identifier: GPL-3.0-or-later
// Power readings ("T") and the raw-mode switch ("Z").
#include "monitor/VSWRMon.h"

#include "monitor/NumConvert.h"
#include "platform/Exception.h"

#include <cmath>

namespace vemo {

bool IsMonitorPowerField(std::string_view field, bool rawMode) {
  const size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return false;
  const size_t last = field.find_last_not_of(' ');
  const std::string_view number = field.substr(first, last - first + 1);
  size_t points = 0;
  for (const char c : number) {
    if (c == '.')
      ++points;
    else if (c < '0' || c > '9')
      return false;
  }
  // Counts in raw mode are whole numbers; powers always carry their decimals.
  return rawMode ? points == 0 : points == 1 && number.front() != '.';
}

void TVSWR_Monitor::GetReading(TMonitorReading& reading) {
  // The full scale decides the unit of the reply; it may have been changed on the monitor.
  Command7();
  const std::string reply = CommandT();
  try {
    const std::string_view forward = std::string_view(reply).substr(0, 5);
    const std::string_view reflected = std::string_view(reply).substr(6, 5);
    reading.Forward = static_cast<float>(StrToFloat(forward));
    reading.Reflected = static_cast<float>(StrToFloat(reflected));
    reading.Alarm = reply[11] == 'A';
    reading.RawMode = reply[11] == 'R';
    reading.FieldForm = !IsMonitorPowerField(forward, reading.RawMode) ||
                        !IsMonitorPowerField(reflected, reading.RawMode);
    reading.FullScale = FullScale_;
    reading.CheckOnZeroPower = reply[12] != '0';
    CheckOnZeroPower_ = reading.CheckOnZeroPower;
    if (!reading.RawMode) {
      const double scale = std::pow(10.0, RangeExponent_);
      reading.Forward = static_cast<float>(reading.Forward * scale);
      reading.Reflected = static_cast<float>(reading.Reflected * scale);
    }
    // A field such as "9e99" converts, but no read-out or meter can show infinity.
    if (!std::isfinite(reading.Forward) || !std::isfinite(reading.Reflected))
      throw EConvertError("Reading beyond range");
  } catch (const std::exception&) {
    throw Exception("Error in GetReading");
  }
}

std::string TVSWR_Monitor::CommandT() {
  constexpr size_t kLength = 16;
  RxBuffer_.Clear();
  Send('T');
  std::string reply = ReadReply(kLength, 5);
  // A prompt before the end is left over from an earlier exchange: drop everything up
  // to and including it and top the reply up again.
  const size_t prompt = reply.find('>');
  if (prompt != std::string::npos && prompt + 1 < kLength) {
    reply.erase(0, prompt + 1);
    ReadInto(reply, kLength, 5);
  }
  return reply;
}

void TVSWR_Monitor::CommandZ() {
  RxBuffer_.Clear();
  Send('Z');
  if (ReadReply(1, 2) != "Z") throw Exception("Unexpected result in CommandZ.");
}

void TVSWR_Monitor::SetRawMode(bool on) {
  const bool raw = CommandT()[11] == 'R';
  if (raw != on) CommandZ();
}

}  // namespace vemo

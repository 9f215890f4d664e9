// SPDX-License-Identifier: GPL-3.0-or-later
// Full scale ("7") and the EEPROM words ("X" read, "Y" write).
#include "monitor/VSWRMon.h"

#include "platform/Exception.h"

#include <cmath>

namespace vemo {

namespace {

uint8_t ByteAt(const std::string& reply, size_t position1) {
  return position1 <= reply.size() ? static_cast<uint8_t>(reply[position1 - 1]) : 0;
}

}  // namespace

void TVSWR_Monitor::SetFullScaleFields(int32_t mantissa, int8_t exponent) {
  FSMantissa_ = mantissa;
  FSExponent_ = exponent;
  // mantissa x 10^exponent milliwatts; dividing by an exact power of ten keeps 0.1 W at 0.1.
  const int shift = exponent - 3;
  FullScale_ = shift >= 0 ? mantissa * std::pow(10.0, shift) : mantissa / std::pow(10.0, -shift);
  RangeExponent_ = FullScale_ < 1 ? -3 : FullScale_ < 1000 ? 0 : 3;
}

void TVSWR_Monitor::Command7() {
  RxBuffer_.Clear();
  Send('7');
  std::string reply = ReadReply(FullScaleReplyLength(ModelId_), 3);
  Realign(reply, "P=", 3, "Command7");

  // Bytes between "P=" and CR LF are binary; their count tells the reply's layout. They may
  // themselves hold CR LF (a mantissa of 0x0D0A is 3338 W), so the reply's own end, CR LF
  // and the prompt, is looked for first.
  size_t crlf = reply.rfind("\r\n>");
  if (crlf == std::string::npos) crlf = reply.find("\r\n");
  const size_t c = crlf == std::string::npos ? 0 : crlf + 1;  // 1-based, counted from "P"
  int32_t mantissa = ByteAt(reply, 3) * 256 + ByteAt(reply, 4);
  int8_t exponent = 3;
  if (c == 6)
    mantissa = ByteAt(reply, 3) * 65536 + ByteAt(reply, 4) * 256 + ByteAt(reply, 5);
  else if (c != 5)
    exponent = static_cast<int8_t>(ByteAt(reply, 6));
  SetFullScaleFields(mantissa, exponent);
  FwdCalPower_ = FullScale_ * 4 * 0.04;
  RflCalPower_ = FwdCalPower_ * 0.1;
}

double TVSWR_Monitor::ReadFullScale() {
  const uint16_t mantissa = ReadEeprom(32);
  const auto exponent = static_cast<int8_t>(ReadEeprom(34) & 0xFF);
  SetFullScaleFields(mantissa, exponent);
  return FullScale_;
}

void TVSWR_Monitor::SetFullScale(double watts) {
  // Nothing that would store a meaningless full scale reaches the EEPROM.
  if (!std::isfinite(watts) || watts <= 0) throw Exception("Invalid full scale power");
  if (watts > kMaxFullScaleWatts)
    throw Exception("Invalid full scale power: at most 1000000 W (1 MW)");
  // The monitor keeps 1.25 times the operator's full scale as mantissa x 10^n.
  double a = watts * 5000 * 0.25;
  int n = 0;
  while (a > 65535) {
    a *= 0.1;
    ++n;
  }
  const double mantissa = std::nearbyint(a);  // halves to even
  if (mantissa < 1) throw Exception("Invalid full scale power");
  WriteEeprom(32, static_cast<uint16_t>(mantissa));
  WriteEeprom(34, static_cast<uint16_t>(n));
  Command7();
}

uint16_t TVSWR_Monitor::ReadEeprom(uint8_t address) {
  RxBuffer_.Clear();
  const char command[] = {'X', static_cast<char>(address), 1};
  Send(std::string_view(command, sizeof command));
  std::string word;
  ReadInto(word, 2, 2, "Timeout while reading eeprom");
  return static_cast<uint16_t>(ByteAt(word, 1) << 8 | ByteAt(word, 2));
}

void TVSWR_Monitor::WriteEeprom(uint8_t address, uint16_t value) {
  const char command[] = {'Y', static_cast<char>(address), static_cast<char>(value >> 8),
                          static_cast<char>(value & 0xFF)};
  Send(std::string_view(command, sizeof command));
  std::string echo;
  ReadInto(echo, 2, 2, "Error writing to EEPROM (no reply)");
  if ((ByteAt(echo, 1) << 8 | ByteAt(echo, 2)) != value) throw Exception("Error writing to EEPROM");
}

}  // namespace vemo

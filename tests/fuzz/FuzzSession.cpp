// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary monitor replies to every command of the session.
//
// Input: operation byte, model byte, parameter byte, then one reply per command sent, each
// as a length byte and that many bytes. A command with no reply left gets silence. The
// session is first identified as the chosen model (from a well-formed reply), so that the
// model-dependent commands are really sent. The clock jumps an hour at every look, so a
// missing byte ends the wait at once instead of after the real time limit.

#include "monitor/ReadSettings.h"
#include "monitor/VSWRMon.h"
#include "platform/Exception.h"

#include <QCoreApplication>

#include <cstdlib>
#include <deque>
#include <string>

using namespace vemo;

namespace {

class FuzzPort : public IComSender {
 public:
  explicit FuzzPort(TBuffer& buffer) : buffer_(buffer) {}
  void Queue(std::string reply) { replies_.push_back(std::move(reply)); }
  void SendChar(char) override { Answer(); }
  void SendString(std::string_view) override { Answer(); }

 private:
  // The reply reaches the buffer before the session starts waiting, as a fast monitor's
  // would; a full ring drops the rest, as the port's receive handler does.
  void Answer() {
    if (replies_.empty()) return;
    for (char c : replies_.front())
      if (buffer_.Count() < TBuffer::Capacity) buffer_.Put(static_cast<uint8_t>(c));
    replies_.pop_front();
  }
  TBuffer& buffer_;
  std::deque<std::string> replies_;
};

class JumpingClock : public Clock {
 public:
  WallTime Now() const override { return now_ += std::chrono::hours(1); }

 private:
  mutable WallTime now_{};
};

class FuzzPrompt : public IOperatorPrompt {
 public:
  explicit FuzzPrompt(uint8_t answers) : answers_(answers) {}
  // OK or Cancel by the bits of the parameter byte, in turn.
  bool AskOkCancel(const std::string&) override { return (answers_ >> (asked_++ % 8) & 1) != 0; }

 private:
  uint8_t answers_;
  unsigned asked_ = 0;
};

std::string Identification(const char* model, const char* date) {
  std::string reply = std::string(model) + date;
  reply.resize(40, ' ');
  return reply;
}

// Models and firmware dates on both sides of every date that changes the command set.
const std::string kModels[] = {
    Identification("KRFMON03", "06/01/12"), Identification("KRFMON04", "06/01/12"),
    Identification("KRFMON01", "01/01/99"), Identification("KRFMON02", "01/01/03"),
    Identification("VPMon002", "07/24/00"), Identification("VPMon002", "03/29/04"),
    Identification("VPMon002", "01/08/10"), Identification("TQAMON01", "05/05/05"),
};

// Every operation of the session that talks to the monitor, picked by the first input byte.
using Operation = void (*)(TVSWR_Monitor& m, uint8_t param, FuzzPrompt& prompt);
const Operation kOperations[] = {
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.CommandI(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) {
      TMonitorReading r;
      m.GetReading(r);
    },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.CommandT(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.CommandZ(); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.SetRawMode(p & 1); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadFullScale(); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.SetFullScale(p == 0 ? 1e30 : p * 0.37); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.ReadEeprom(p); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.WriteEeprom(p, uint16_t(p * 257)); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadLatchAlarm(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadAlarmAtPowerUp(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadRelaySense(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadRelay2Sense(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadAlarmEnable(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadVSWRLevel(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadCheckOnZeroPower(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadHiPowerAlarm(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadLowPowerAlarm(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadPushToTalk(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.ReadDACGains(); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.WriteAlarmEnable(p & 1); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.WriteRelaySense(p & 1); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.WriteRelay2Sense(p & 1); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.WriteLatchAlarm(p & 1); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.WriteAlarmAtPowerUp(p & 1); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) {
      m.WritePushToTalk({(p & 1) != 0, p / 16.0f});
    },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.WriteVSWRLevel(p % 13); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.WriteCheckOnZeroPower(p & 1); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) {
      m.WriteHiPowerAlarm({p % 101, p >= 0x80});
    },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) {
      m.WriteLowPowerAlarm({p % 101, p >= 0x80});
    },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt&) { m.WriteDACGains(uint16_t(p * 0x0101)); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { m.CommandA(); },
    [](TVSWR_Monitor& m, uint8_t, FuzzPrompt&) { ReadMonitorSettings(m); },
    [](TVSWR_Monitor& m, uint8_t p, FuzzPrompt& prompt) { m.DoCalibration(p % 3, prompt); },
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Signal connections of the receive buffer need an application object.
  static QCoreApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t op = data[0], model = data[1], param = data[2];
  TBuffer buffer;
  FuzzPort port(buffer);
  JumpingClock clock;
  TVSWR_Monitor monitor(port, buffer, clock);

  port.Queue(kModels[model % std::size(kModels)]);
  monitor.CommandI();

  for (size_t i = 3; i < size;) {
    const size_t length = std::min<size_t>(data[i], size - i - 1);
    port.Queue(std::string(reinterpret_cast<const char*>(data + i + 1), length));
    i += 1 + length;
  }
  FuzzPrompt prompt(param);
  try {
    kOperations[op % std::size(kOperations)](monitor, param, prompt);
  } catch (const Exception&) {
    // A reply the session refuses is reported with the session's own message; anything
    // else escaping (std::out_of_range and the like) is a finding.
  }
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The session over the real serial layer, talking to the simulated monitor on a pty:
// port COM1 is mapped to the simulator's device in a private settings file, opened at
// 9600 8N1 without flow control, and its data-available event fills the receive buffer
// the way the main window's handler does.

#include "monitor/Buffer.h"
#include "monitor/VSWRMon.h"
#include "platform/ProfileFile.h"
#include "serial/ComPort.h"
#include "tests/support/SimProcess.h"

#include <QTemporaryDir>

#include <array>
#include <string>
#include <vector>

namespace vemo::test {

class SimLink {
 public:
  explicit SimLink(const std::vector<std::string>& simArgs) {
    const std::string device = sim.Start(simArgs);
    const std::string ini = dir_.filePath("VemoSWR.ini").toStdString();
    ProfileFile(ini).WriteString("Ports", "COM1", device);
    qputenv("VEMOSWR_INI", QByteArray::fromStdString(ini));

    port.SetBaud(9600);
    port.SetDataBits(8);
    port.SetParity(pNone);
    port.SetStopBits(1);
    port.SetHWFlowOptions(0);
    port.SetSWFlowOptions(swfNone);
    port.SetPromptForPort(false);
    port.SetOnTriggerAvail([this](TCustomComPort& cp, uint16_t count) { Received(cp, count); });
    port.SetComNumber(1);
    port.SetOpen(true);
  }

  ~SimLink() { qunsetenv("VEMOSWR_INI"); }

  SimProcess sim;
  TComPort port;
  TBuffer buffer;
  TVSWR_Monitor monitor{port, buffer};

 private:
  void Received(TCustomComPort& cp, uint16_t count) {
    while (count > 0) {
      const auto n = static_cast<uint16_t>(std::min<size_t>(count, staging_.size()));
      cp.ReadBlock(staging_.data(), n);
      for (uint16_t i = 0; i < n; ++i) buffer.Put(staging_[i]);
      count = static_cast<uint16_t>(count - n);
    }
  }

  QTemporaryDir dir_;
  std::array<uint8_t, 32768> staging_{};
};

}  // namespace vemo::test

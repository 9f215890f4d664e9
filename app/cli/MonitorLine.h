#pragma once
// The command-line tool's connection to the monitor, set up as the program sets up its
// own: the port at 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control, opened,
// one second to settle, then the monitor identified. Received bytes reach the session's
// receive buffer through the port's data-available event.

#include "monitor/Buffer.h"
#include "monitor/VSWRMon.h"
#include "serial/ComPort.h"

#include <QTemporaryDir>

#include <array>
#include <memory>
#include <string>

namespace vemo::cli {

class MonitorLine {
 public:
  MonitorLine();
  ~MonitorLine();

  // Opens port number portNumber, or the device at devicePath when that is not empty
  // (mapped to port 1 in a private settings file for this run). Raises the serial
  // layer's exceptions.
  void Open(int portNumber, const std::string& devicePath);
  // Waits one second with events running, as the program does after opening.
  void Settle();

  // The device Open was given, as a path and as the user named it (the path, or
  // "COM3 (/dev/ttyUSB0)"); empty before Open.
  const std::string& DevicePath() const { return devicePath_; }
  const std::string& DeviceName() const { return deviceName_; }

  TComPort& Port() { return port_; }
  TBuffer& Buffer() { return buffer_; }
  TVSWR_Monitor& Monitor() { return monitor_; }

 private:
  // The data-available handler: the received block is copied into the receive buffer.
  void ComObjTriggerAvail(TCustomComPort& cp, uint16_t count);

  std::string devicePath_;
  std::string deviceName_;
  std::unique_ptr<QTemporaryDir> mappingDir_;
  TComPort port_;
  TBuffer buffer_;
  TVSWR_Monitor monitor_{port_, buffer_};
  std::array<uint8_t, 32768> staging_{};
};

}  // namespace vemo::cli

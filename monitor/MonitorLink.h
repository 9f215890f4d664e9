// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MonitorLink: one monitor on one serial line, as the window, the tool and the service all
// reach it. It owns the port, the receive buffer and the session; sets the line up at
// 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control; gives the monitor its
// settle pause after the line comes up; identifies it; and takes scaled readings. Failures
// pass through as the serial layer's and the session's exceptions (their texts are what
// users read); Classify sorts them into kinds that callers switch on.
//
// Exchanges wait for their replies in local event loops on the calling thread, which must
// run Qt's event loop.

#include "monitor/Buffer.h"
#include "monitor/VSWRMon.h"
#include "platform/Clock.h"
#include "serial/ComPort.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <exception>
#include <string>

namespace vemo {

enum class LinkFailure {
  Timeout,     // the monitor did not answer in time
  DeviceLost,  // the device went away (unplugged)
  PortBusy,    // another program holds the port
  Permission,  // the user may not open the device
  NoDevice,    // the device does not exist (unplugged, a wrong path or mapping)
  NotSerial,   // the path is no serial device
  Port,        // any other failure of the port
  Protocol,    // a reply that makes no sense
};
// "timeout", "device lost", "port busy", "permission", "no device", "not serial", "port",
// "protocol".
const char* LinkFailureName(LinkFailure kind);
// The kind of failure e; deviceLost: the port's device has gone away meanwhile, whatever
// the exception says; path: the device the port was to open, which tells a missing device
// from one that is no serial port.
LinkFailure ClassifyFailure(const std::exception& e, bool deviceLost, const std::string& path = {});
// Whether trying the same port again without reopening it cannot help.
inline bool IsPortFailure(LinkFailure kind) {
  return kind != LinkFailure::Timeout && kind != LinkFailure::Protocol;
}

// Failed readings in a row that pass silently (a passing disturbance) before the line is
// given up.
inline constexpr int kSilentFailures = 3;

struct LinkTiming {
  // The monitor needs a moment after the line comes up before it answers.
  std::chrono::milliseconds Settle{1000};
  // The clock against which reply time limits run; tests pass a faster one.
  const Clock* ReplyClock = &SystemClock();
};

class MonitorLink {
 public:
  explicit MonitorLink(LinkTiming timing = {});
  ~MonitorLink();
  MonitorLink(const MonitorLink&) = delete;
  MonitorLink& operator=(const MonitorLink&) = delete;

  // The device to open: devicePath when not empty, else port number portNumber through the
  // settings file's port map. Takes effect at the next Open.
  void SetDevice(int portNumber, std::string devicePath = {});
  // Opens the line set up for the monitor; a port whose device was lost is closed and the
  // device node opened afresh (only that reaches a device plugged in again). Raises the
  // serial layer's exceptions.
  void Open();
  // The settle pause, with the port's events running and the user's input held back.
  void Settle();
  // Open, Settle, identification: true when the monitor is a model the program knows.
  bool Connect();
  // One reading in watts. A monitor in raw mode (unscaled numbers) is switched out of it
  // and read again.
  TMonitorReading Read();
  // Closes the port; a port whose device has gone is closed all the same.
  void Close() noexcept;
  bool IsOpen() const { return port_.Open(); }
  bool DeviceLost() const { return port_.DeviceLost(); }

  LinkFailure Classify(const std::exception& e) const {
    return ClassifyFailure(e, port_.DeviceLost(), port_.EffectiveDevicePath());
  }

  const LinkTiming& Timing() const { return timing_; }
  TComPort& Port() { return port_; }
  const TComPort& Port() const { return port_; }
  TBuffer& Buffer() { return buffer_; }
  TVSWR_Monitor& Monitor() { return monitor_; }
  const TVSWR_Monitor& Monitor() const { return monitor_; }
  // The data-available handler, installed by the link: moves count received bytes from cp
  // into the receive buffer. An owner that binds the port's event to its own handler
  // passes the bytes on through here.
  void Receive(TCustomComPort& cp, uint16_t count);
  // Received bytes announced by the port that were gone by the time they were asked for.
  int32_t BufferEmptyCount() const { return bufferEmptyCount_; }
  void ResetBufferEmptyCount() { bufferEmptyCount_ = 0; }

 private:
  LinkTiming timing_;
  TComPort port_;
  TBuffer buffer_;
  TVSWR_Monitor monitor_;
  std::array<uint8_t, 4096> staging_{};
  int32_t bufferEmptyCount_ = 0;
};

}  // namespace vemo

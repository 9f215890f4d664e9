// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MonitorLink: one monitor on one serial line, as the window, the tool and the service all
// reach it. It owns the port, the receive buffer and the session; sets the line up at
// 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control; gives the monitor its
// settle pause after the line comes up; identifies it; and takes scaled readings. Failures
// pass through as the serial layer's and the session's exceptions (their texts are what
// users read); Classify sorts them into kinds that callers switch on.
//
// Two ways to run exchanges, with the same commands, replies, order and failures:
// - Connect, Read and the session's own operations wait for their replies in local event
//   loops on the calling thread (the window's polling tick and the tool work this way);
// - ConnectAsync and Exchanges() return at once and complete from the event loop (the
//   service, whose monitors share one thread, works this way).
// The calling thread must run Qt's event loop either way.
//
// A blocking wait lets timers, menus and close requests run in the middle of an exchange.
// The caller that waits marks its use of the link with a Use; work that would take the
// port, the buffer or the session away (closing the window, closing the port) is put off
// with WhenUnused until the outermost use has ended.

#include "monitor/Buffer.h"
#include "monitor/MonitorExchanges.h"
#include "monitor/VSWRMon.h"
#include "platform/Clock.h"
#include "serial/ComPort.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

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

class MonitorLink : public QObject {
 public:
  // parent: the owner, with which the link moves to another thread.
  explicit MonitorLink(LinkTiming timing = {}, QObject* parent = nullptr);
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
  // Open (raising as Open does), then after the settle pause the identification, without
  // waiting: done is called from the event loop with its outcome (an accepted model or
  // not: see IsAcceptedIdentification). Nothing else may run on Exchanges() until then.
  void ConnectAsync(MonitorExchanges::Completion done);
  // A caller's blocking use of the link (exchanges and whatever waits between them); uses
  // may nest.
  class Use {
   public:
    explicit Use(MonitorLink& link) : link_(link) { ++link_.useDepth_; }
    ~Use() { link_.EndUse(); }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

   private:
    MonitorLink& link_;
  };
  bool InUse() const { return useDepth_ > 0; }
  // Runs work from the event loop once no Use is open, after the work put off before it.
  void WhenUnused(std::function<void()> work);
  // Work waits for the use to end.
  bool WorkWaiting() const { return !unusedWork_.empty(); }

  // Readings and the alarm reset without waiting.
  MonitorExchanges& Exchanges() { return exchanges_; }
  // Closes the port, dropping an exchange under way without completing it; a port whose
  // device has gone is closed all the same.
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
  void EndUse();
  void RunUnusedWork();

  LinkTiming timing_;
  TComPort port_;
  TBuffer buffer_;
  TVSWR_Monitor monitor_;
  MonitorExchanges exchanges_;
  std::array<uint8_t, 4096> staging_{};
  int useDepth_ = 0;
  std::vector<std::function<void()>> unusedWork_;
  int32_t bufferEmptyCount_ = 0;
};

}  // namespace vemo

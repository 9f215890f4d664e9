// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The polling of one monitor as the program's window drives it, without the window:
// connecting, a triggered reading, continuous reading with its failure rule, and the
// watch for a device that went away, with reconnection once it is back. The window
// drives it from its polling tick and its device-watch timer, and shows what it is told
// through PollingView.
//
// Failure rule of continuous reading: a time-out or a garbled reply passes silently up to
// kSilentFailures times in a row (a passing disturbance) and stops reading with its
// message the time after; a failure of the port stops it at once with its message; a
// lost device stops it without a message, and reading resumes by itself once the device
// is back.
//
// Started unattended, nobody may be there to answer a message: until the user takes over
// (EndUnattended), a monitor that cannot be reached is said in the window and tried again
// after a back-off instead, and the link alarm trips meanwhile.

#include "monitor/MonitorLink.h"
#include "serial/PortProbe.h"
#include "station/UnattendedLink.h"

#include <QtGlobal>

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace vemo {

class PollingView {
 public:
  virtual ~PollingView() = default;
  // A reading to show, log and judge.
  virtual void ShowReading(const TMonitorReading& reading) = 0;
  // The read-outs show the last reading taken, not the monitor's present state.
  virtual void ShowStale() = 0;
  // A reading that failed: a gap in the history.
  virtual void RecordGap() = 0;
  // A failure to tell the user.
  virtual void ShowFailure(const std::string& text) = 0;
  // An exchange is under way.
  virtual void ShowLineActive(bool active) = 0;
  // Continuous reading started or stopped by the controller.
  virtual void ShowContinuous(bool on) = 0;
  // Connected or the connection note changed.
  virtual void ShowConnection() = 0;
  // Runs or stops the device-watch timer, whose ticks call DeviceWatchTick.
  virtual void RunDeviceWatch(bool run) = 0;
  // Unattended, the monitor could not be reached (cause: port, device, why and what to
  // do): the next attempt follows in waitMs, and polling counts as on meanwhile.
  virtual void ShowRetry(const std::string& cause, qint64 waitMs) = 0;
  // Unattended, the monitor answers again and reading goes on.
  virtual void ShowRetrySucceeded() = 0;
  // Runs the retry timer once for waitMs, or stops it at 0; its timeout calls RetryTimeout.
  virtual void RunRetryTimer(qint64 waitMs) = 0;
};

class PollingController {
 public:
  PollingController(MonitorLink& link, PollingView& view) : link_(link), view_(view) {}

  bool Continuous() const { return continuous_; }
  bool Connected() const { return connected_; }
  int32_t CommFailCount() const { return commFailCount_; }
  // Empty, "device lost" or "reconnected": shown in place of the model while it applies.
  const std::string& ConnectionNote() const { return connectionNote_; }
  // The device went away and the controller waits for it (or is about to reconnect).
  bool WaitingForDevice() const { return watching_ || resumeDue_; }

  // Opens the line, waits the settle pause and identifies the monitor; Connected is the
  // result. Raises on failure (Connected is then false).
  void Connect();
  // Connects unless connected to a device that is still there.
  void EnsureConnected();
  // One reading on request; a failure is recorded and raised.
  void TakeReading();
  // Connects if need be and reads continuously from the next tick; raises when the
  // connection fails.
  void StartContinuous();
  void StopContinuous();
  // Holds or gives back continuous reading without a word to the view (a calibration
  // step has the line meanwhile).
  void SetContinuous(bool on) { continuous_ = on; }
  // The polling tick when no command is queued: a continuous reading, the reconnection
  // once a lost device is back, or noticing that the device went away while idle.
  void Tick();

  // The device went away: let the port go and watch for the device; once it is back,
  // reconnect, and read continuously again when resumePolling.
  void WatchForLostDevice(bool resumePolling);
  // The user takes over: nothing resumes by itself.
  void StopWatchingForDevice();
  // The device-watch timer's tick.
  void DeviceWatchTick();

  void SetUnattended(bool on) { unattended_ = on; }
  bool Unattended() const { return unattended_; }
  // The user takes over: failures are shown again and nothing is retried by itself.
  void EndUnattended();
  // Waiting for the next attempt to reach the monitor.
  bool Retrying() const { return retryWaiting_ || retryDue_; }
  // The waits between attempts (tests shorten them).
  void SetRetryBackoff(const RetryBackoff& backoff) { retry_ = backoff; }
  // The retry timer's timeout: the next idle tick tries the monitor.
  void RetryTimeout();
  // "COM2 (/dev/ttyUSB0): no such device – …": the port, its device, the cause of the
  // failure and what to do.
  std::string LinkCause(std::exception_ptr failure) const;

 private:
  void ReadAndShow();
  void ContinuousReading();
  void ResumeWithReturnedDevice();
  std::optional<TDeviceNode> NodeOfDevice() const;
  // Unattended, a failure to reach the monitor: let the port go and try again later.
  // False (nothing done) when attended.
  bool RetryInsteadOfFailure(std::exception_ptr failure);
  void RetryUnattended();

  MonitorLink& link_;
  PollingView& view_;
  bool continuous_ = false;
  bool connected_ = false;
  int32_t commFailCount_ = 0;
  std::string connectionNote_;
  std::optional<TDeviceNode> lostNode_;  // the node last seen at the lost device's path
  int watchTicksSinceAttempt_ = 0;
  bool watching_ = false;
  bool resumeDue_ = false;      // the device is back: the next idle tick reconnects
  bool resumePolling_ = false;  // ... and reads again: it was lost while reading
  bool unattended_ = false;
  bool retryWaiting_ = false;  // the retry timer runs
  bool retryDue_ = false;      // the wait is over: the next idle tick tries the monitor
  RetryBackoff retry_;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dispatcher's device work over POSIX termios: exclusive non-blocking open, raw
// line settings, poll() with wake-up eventfds instead of overlapped waits, modem lines
// through TIOCMGET/TIOCMSET where the device has them.

#include <termios.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/PortLock.h"
#include "serial/Dispatcher.h"

namespace vemo {

class TTermiosDispatcher : public TBaseDispatcher {
 public:
  explicit TTermiosDispatcher(TCustomComPort* owner);
  ~TTermiosDispatcher() override;

 protected:
  int OpenDevice(const std::string& path, bool probeOnly) override;
  void CloseDevice() override;
  bool DeviceOpen() const override { return fd_ >= 0; }
  int ApplyLine(const TLineSettings& line, const TFlowSettings& flow) override;
  int ReadDevice(uint8_t* out, size_t n) override;
  int WriteDevice(const uint8_t* data, size_t n) override;
  uint32_t WaitDeviceInput(bool watchInput, int timeoutMs) override;
  void WakeDispatchThread() override;
  uint32_t WaitDeviceStatus(int timeoutMs) override;
  void WakeEventThread() override;
  int WaitWritable() override;
  void WakeOutputThread() override;
  size_t DriverOutQueue() override;
  void PurgeDevice(bool input, bool output) override;
  int SetModemLines(bool dtr, bool rts) override;
  int ReadModemLines() override;
  uint8_t ReadLineErrors() override;
  int ApplyRS485(bool on) override;

 private:
  // poll() reported POLLHUP/POLLERR: a real hang-up makes the tty refuse tcgetattr with EIO.
  bool ConfirmHangup();
  // Waits on the wake-up eventfd alone for a short while: the back-off after a poll()
  // error condition that turned out not to be a hang-up.
  void BackOff(int wakeFd);
  // poll() on a wake-up eventfd and, unless the device is gone, the device with `events`.
  // Returns the device's revents, or 0 when woken or timed out.
  short PollWith(int wakeFd, short events, int timeoutMs);

  // Refuses a device that another program holds by a UUCP lock or as its terminal, and
  // locks it for us when probeOnly is not set: 0, or ecAccessDenied naming the holder.
  int ClaimDevice(const std::string& path, bool probeOnly);

  int fd_ = -1;
  TPortLock portLock_;
  // Each thread's poll() has its own wake-up eventfd.
  int eventWake_ = -1;
  int dispatchWake_ = -1;
  int outputWake_ = -1;
  bool exclusive_ = false;
  bool locked_ = false;
  std::optional<termios> saved_;  // the line settings found at opening
  std::atomic<bool> gone_{false};
  std::mutex countsLock_;  // the counters are read by the GUI and the dispatch thread
  bool countsValid_ = false;
  int lastFrame_ = 0, lastOverrun_ = 0, lastParity_ = 0, lastBreak_ = 0;
};

}  // namespace vemo

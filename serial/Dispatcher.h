// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dispatcher behind an open port component: receive and transmit rings, three
// background threads (device events, dispatching, output), trigger lists, trace and log.
// TBaseDispatcher holds everything that does not depend on the device API; a derived
// class (TTermiosDispatcher) does the device work.
//
// Threads: the component calls in from the GUI thread. The dispatch thread waits for the
// device to become readable, moves the bytes into the receive ring and announces them by
// sending trigger messages to the registered windows (blocking, 3000 ms time-out); it
// also fires the data, timer and status triggers. The event thread watches the device's
// status: it notices a hang-up at once (even while a delivery holds the dispatch thread)
// and, while a status trigger is armed, samples the modem lines and line errors on a
// 50 ms tick. The output thread writes the transmit ring to the device. Every wait is a
// blocking one: an idle open port costs no CPU.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serial/DispatchTriggers.h"
#include "serial/EventLog.h"
#include "serial/Rings.h"
#include "serial/Trace.h"

namespace vemo {

class TComWindow;
class TCustomComPort;

// Hardware flow options (bits of THWFlowOptions).
inline constexpr uint8_t hfUseDTR = 0x01;
inline constexpr uint8_t hfUseRTS = 0x02;
inline constexpr uint8_t hfRequireDSR = 0x04;
inline constexpr uint8_t hfRequireCTS = 0x08;

// Modem status byte: current lines in the high nibble, changes in the low one.
inline constexpr uint8_t kMsrDeltaCTS = 0x01;
inline constexpr uint8_t kMsrDeltaDSR = 0x02;
inline constexpr uint8_t kMsrTrailingRI = 0x04;
inline constexpr uint8_t kMsrDeltaDCD = 0x08;
inline constexpr uint8_t kMsrCTS = 0x10;
inline constexpr uint8_t kMsrDSR = 0x20;
inline constexpr uint8_t kMsrRI = 0x40;
inline constexpr uint8_t kMsrDCD = 0x80;

struct TLineSettings {
  int baud = 19200;
  uint8_t parity = 0;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t dataBits = 8;
  uint8_t stopBits = 1;  // 1, 2, or 3 for 1.5
  bool operator==(const TLineSettings&) const = default;
};

struct TFlowSettings {
  uint8_t hwOptions = 0;  // hf* bits
  uint8_t swOptions = 0;  // 0 none, 1 receive, 2 transmit, 3 both
  uint8_t xonChar = 17;
  uint8_t xoffChar = 19;
  uint16_t bufferFull = 0;
  uint16_t bufferResume = 0;
};

// What the component keeps of the triggers while its port is closed.
struct TSavedTriggers {
  TTriggerLists lists;
};

// Device events seen by the waits below.
inline constexpr uint32_t kEvRxChar = 0x0001;
inline constexpr uint32_t kEvStatus = 0x0100;  // modem lines or line errors were sampled
inline constexpr uint32_t kEvHangup = 0x8000;

class TBaseDispatcher {
 public:
  static constexpr size_t kReceiveSize = 8192;
  static constexpr std::chrono::milliseconds kSendTimeout{3000};

  // owner is the component, or nullptr for a dispatcher that only probes a device.
  explicit TBaseDispatcher(TCustomComPort* owner);
  virtual ~TBaseDispatcher();
  TBaseDispatcher(const TBaseDispatcher&) = delete;
  TBaseDispatcher& operator=(const TBaseDispatcher&) = delete;

  // The process-wide list: a dispatcher's handle is its slot; FromHandle gives nullptr for
  // an empty or unknown slot.
  uint16_t Handle() const { return handle_; }
  static TBaseDispatcher* FromHandle(uint16_t handle);
  static size_t ListSize();
  TCustomComPort* Owner() const { return owner_; }

  // "COM3": the name the log's header gives the device.
  void SetDeviceName(const std::string& name) { deviceName_ = name; }
  const std::string& DeviceName() const { return deviceName_; }

  // Opens the device, applies the line and starts the threads. flags: bit 0 DTR, bit 1
  // RTS, bits 4 and 5 DTR and RTS under flow control. Returns 0 or a negative result
  // (system codes as ErrnoToResult gives them); on failure nothing stays open.
  int OpenLine(const std::string& path, const TLineSettings& line, uint8_t flags, uint16_t outSize,
               uint16_t inSize);
  // Opens the device exclusively without configuring it, and closes it again: 0 when it
  // could be had, else the negative result of the open.
  int ProbeDevice(const std::string& path);
  // What the user should know about the last failed open beyond its result code ("held by
  // process 1234"); empty when nothing.
  const std::string& OpenFailureDetail() const { return openDetail_; }

  // Re-programs the line, first letting queued output leave at the old settings.
  // Returns 0 (also when nothing changed) or a negative result.
  int SetLine(const TLineSettings& line);
  const TLineSettings& Line() const { return line_; }
  int SetFlow(const TFlowSettings& flow);
  // OutSize/InSize changed on an open port: the transmit ring takes the new size,
  // keeping what it holds.
  int SetQueueSizes(uint16_t inSize, uint16_t outSize);
  // 0; 1 when the line is under flow control (left alone); ecBadArgument when the device
  // refuses.
  int SetDTR(bool on);
  int SetRTS(bool on);
  int SetRS485(bool on);

  // Queues bytes for transmission: 0, ecOutputBufferTooSmall (nothing queued) when they
  // do not fit in the free room, ecPutBlockFail, or ecNotOpen after the device hung up.
  int PutBlock(const uint8_t* data, size_t n);
  // Takes exactly n received bytes: n, or ecBufferIsEmpty (nothing taken) when fewer are
  // available. `delivery` names the trigger message whose handler is reading (the
  // TComMessage's delivery number), 0 for none. While a delivery runs, its receiver's
  // reads are only marked taken and leave the ring when the delivery ends; anyone else
  // gets the bytes after all that the delivery has handed out, so that no byte reaches
  // the program twice.
  int GetBlock(uint8_t* out, size_t n, uint32_t delivery = 0);
  // Received bytes that GetBlock with the same `delivery` could take.
  size_t InBuffUsed(uint32_t delivery = 0) const;
  size_t OutBuffUsed() const;
  size_t OutBuffFree() const;
  // Discards received (input) or unsent (output) bytes, in the rings and the driver.
  void FlushInBuffer();
  void FlushOutBuffer();

  // Current modem status byte (kMsr* bits); change bits are cleared by the read.
  uint8_t ModemStatus();
  // Accumulated line errors (kLine* bits), cleared by the read.
  uint8_t LineErrors();
  // True once the device has gone away (a USB adapter unplugged, a pty's master closed).
  bool HungUp() const { return hungUp_.load(); }

  // Triggers.
  void SetAvailTriggerLength(uint16_t length);
  uint16_t AvailTriggerLength() const;
  int AddDataTrigger(const std::string& match, bool ignoreCase);
  int AddTimerTrigger();
  int AddStatusTrigger(TStatusTriggerType type);
  int RemoveTrigger(uint16_t handle);
  int SetTimerTrigger(uint16_t handle, uint32_t ticks, bool activate);
  int SetStatusTrigger(uint16_t handle, uint16_t value, bool activate);
  TStatusTriggerType StatusTriggerType(uint16_t handle) const;
  TSavedTriggers SaveTriggers() const;
  void RestoreTriggers(const TSavedTriggers& saved);

  // Windows that receive the trigger messages. Deregistering during a delivery only
  // marks the entry; it goes when the delivery ends. A window must outlive the threads.
  void RegisterWindow(TComWindow* window);
  void DeregisterWindow(TComWindow* window);
  // Whether the owner wants trigger messages at all (it has a trigger event assigned).
  void SetEventsWanted(bool wanted);

  // Stopping. RequestStop asks every thread to end and waits for those that cannot be
  // held up by the GUI thread (event and output threads): safe from inside a delivery.
  // Shutdown waits for all threads and closes the device: never call it from inside a
  // delivery of this dispatcher. ThreadsRunning tells whether any thread is left.
  void RequestStop();
  void Shutdown();
  bool ThreadsRunning() const;
  bool Started() const { return started_; }

  Trace& TraceBuffer() { return trace_; }
  EventLog& Log() { return log_; }

 protected:
  void SetOpenFailureDetail(std::string detail) { openDetail_ = std::move(detail); }

  // Device operations, implemented for the platform. All return 0 or a count for
  // success and a negative result code for failure unless said otherwise.
  virtual int OpenDevice(const std::string& path, bool probeOnly) = 0;
  virtual void CloseDevice() = 0;
  virtual bool DeviceOpen() const = 0;
  virtual int ApplyLine(const TLineSettings& line, const TFlowSettings& flow) = 0;
  // Non-blocking; 0 when nothing is there; kDeviceGone when the device has hung up.
  virtual int ReadDevice(uint8_t* out, size_t n) = 0;
  // Non-blocking; 0 when the driver takes nothing now; kDeviceGone after a hang-up.
  virtual int WriteDevice(const uint8_t* data, size_t n) = 0;
  // Dispatch thread: blocks until input is readable (kEvRxChar, only when watchInput),
  // the device hangs up (kEvHangup), WakeDispatchThread is called or timeoutMs passes
  // (0; -1 waits without limit).
  virtual uint32_t WaitDeviceInput(bool watchInput, int timeoutMs) = 0;
  virtual void WakeDispatchThread() = 0;
  // Event thread: blocks until the device hangs up (kEvHangup), WakeEventThread is called
  // or timeoutMs passes (0).
  virtual uint32_t WaitDeviceStatus(int timeoutMs) = 0;
  virtual void WakeEventThread() = 0;
  // Output thread: blocks until the device takes output (1), WakeOutputThread (0) or the
  // device hangs up (kDeviceGone).
  virtual int WaitWritable() = 0;
  virtual void WakeOutputThread() = 0;
  // Bytes the driver still has to send.
  virtual size_t DriverOutQueue() = 0;
  virtual void PurgeDevice(bool input, bool output) = 0;
  virtual int SetModemLines(bool dtr, bool rts) = 0;
  // Current CTS/DSR/RI/DCD as kMsr* high-nibble bits; negative when unavailable.
  virtual int ReadModemLines() = 0;
  // Line errors since the last call, as kLine* bits; 0 when the device does not count them.
  virtual uint8_t ReadLineErrors() = 0;
  virtual int ApplyRS485(bool on) = 0;

  static constexpr int kDeviceGone = -0x7FFF;

 private:
  std::string openDetail_;  // written and read by the opening (GUI) thread only

  void StartThreads();
  void JoinThreads(bool includingDispatch);
  void EventThreadMain();
  void DispatchThreadMain();
  void OutputThreadMain();

  // Dispatch thread work.
  void MoveToRing();
  void ScanAndAnnounce();
  bool AnnounceAvail();
  static TLineSettings Normalized(TLineSettings line);
  void CheckStatusTriggers();
  void CheckTimerTriggers();
  void RefreshModemStatus();
  // Delivers a trigger message to every window; returns the count taken in peek mode.
  // `answered` becomes false when a window did not take the message in time.
  size_t Deliver(uint16_t msg, uint16_t wParam, uint16_t data, bool& answered);
  // Makes the dispatch thread look at its ring and triggers again (with `events` noted).
  void Kick(uint32_t events = 0);
  void AnnounceAgain();
  int MsToNextTimer();
  void SampleStatus();
  void WaitForDrain();
  // Call with the output lock held; the caller clears holdOutput_ and notifies outCv_.
  void HoldOutput(std::unique_lock<std::mutex>& out);

  TCustomComPort* owner_;
  uint16_t handle_ = 0;
  std::string deviceName_;

  // Dispatcher lock: triggers, receivers, line and flow settings, modem state.
  mutable std::mutex lock_;
  TTriggerLists triggers_;
  struct WindowEntry {
    TComWindow* window;
    bool deleted;
  };
  std::vector<WindowEntry> windows_;
  bool eventsWanted_ = false;
  bool delivering_ = false;
  TLineSettings line_;
  TFlowSettings flow_;
  bool dtr_ = true, rts_ = true;
  bool rs485_ = false;
  uint8_t modemStatus_ = 0;
  uint8_t lineErrors_ = 0;
  bool outSentArmed_ = false;  // bytes were queued since the last output-sent check

  // Input lock: the receive ring and its delivery bookkeeping.
  mutable std::mutex inLock_;
  TByteRing rx_{kReceiveSize};
  uint64_t rxTotal_ = 0;      // bytes ever put in the ring
  uint64_t rxScanned_ = 0;    // bytes matched against the data triggers
  uint64_t rxAnnounced_ = 0;  // the avail announcement covers bytes up to here
  uint64_t rxConsumed_ = 0;   // bytes ever taken out of the ring
  bool peeking_ = false;
  uint32_t deliverySeq_ = 0;            // numbers the receiver calls of the deliveries
  uint32_t receiving_ = 0;              // the receiver call in progress, 0 between calls
  size_t taken_ = 0;                    // by the current receiver during a delivery
  size_t handedOut_ = 0;                // by anyone during the delivery: released when it ends
  std::atomic<bool> rxBlocked_{false};  // ring full: the event thread stops watching input

  // Output lock: the transmit ring.
  mutable std::mutex outLock_;
  std::condition_variable outCv_;
  TByteRing tx_;
  bool writing_ = false;  // the output thread writes from the ring outside the lock
  bool holdOutput_ = false;

  // Events for the dispatch thread from the other threads (kEvStatus, kEvHangup).
  std::mutex evLock_;
  uint32_t pendingEvents_ = 0;

  std::thread eventThread_, dispatchThread_, outputThread_;
  std::atomic<int> running_{0};
  std::atomic<bool> kill_{false};
  std::atomic<bool> hungUp_{false};
  std::atomic<bool> statusPolling_{false};
  bool started_ = false;

  Trace trace_;
  EventLog log_;
};

}  // namespace vemo

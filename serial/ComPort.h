// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TComPort: the serial port component through which the program talks to the monitor.
// Every call and every event runs on the GUI thread, which must run its event loop for
// events to arrive. Received bytes arrive only through OnTriggerAvail; the handler takes
// them with ReadBlock. Failures are raised as the serial layer's exceptions
// (ESerialException and its classes); an exception escaping an event handler goes to
// TComWindow::SetExceptionHandler's handler. A handler may close (and reopen) the port;
// it must not destroy the component.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "serial/ComSender.h"
#include "serial/DispatchTriggers.h"
#include "serial/Dispatcher.h"
#include "serial/TraceLogState.h"

namespace vemo {

class TComWindow;
struct TComMessage;

// The small component base: a name and the loading state of a component being set up
// from stored properties (while loading, failures are returned instead of raised and
// opening is put off until Loaded).
class TBaseComponent {
 public:
  virtual ~TBaseComponent() = default;
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  bool Loading() const { return loading_; }
  void BeginLoading() { loading_ = true; }
  // Ends loading and carries out what was put off.
  virtual void Loaded() { loading_ = false; }

 private:
  std::string name_;
  bool loading_ = false;
};

enum TDeviceLayer : uint8_t { dlWin16, dlFossil, dlWin32, dlWinsock };
enum TParity : uint8_t { pNone, pOdd, pEven, pMark, pSpace };
// THWFlowOptions is a set of these bits.
enum THWFlowOption : uint8_t {
  hwfUseDTR = hfUseDTR,
  hwfUseRTS = hfUseRTS,
  hwfRequireDSR = hfRequireDSR,
  hwfRequireCTS = hfRequireCTS,
};
using THWFlowOptions = uint8_t;
enum TSWFlowOptions : uint8_t { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTapiMode : uint8_t { tmNone, tmAuto, tmOn, tmOff };
enum class TPortState { Closed, Closing, Open };

class TCustomComPort : public TBaseComponent, public IComSender {
 public:
  // Event types; the first argument is the component that raised the event.
  using TTriggerEvent =
      std::function<void(TCustomComPort& cp, uint16_t msg, uint16_t triggerHandle, uint16_t data)>;
  using TTriggerAvailEvent = std::function<void(TCustomComPort& cp, uint16_t count)>;
  using TTriggerHandleEvent = std::function<void(TCustomComPort& cp, uint16_t triggerHandle)>;
  using TTriggerLineErrorEvent =
      std::function<void(TCustomComPort& cp, uint16_t error, bool lineBreak)>;
  using TNotifyEvent = std::function<void(TCustomComPort& sender)>;
  // Port-open and port-close listeners: opening is true after an opening, false before
  // a closing.
  using TPortListener = std::function<void(TCustomComPort& cp, bool opening)>;
  // Asks the user for a port number when a port is opened without one; nullopt when the
  // user cancels. Installed once by the GUI (the port selection dialog).
  using TPortSelector = std::function<std::optional<int>()>;

  TCustomComPort();
  ~TCustomComPort() override;
  TCustomComPort(const TCustomComPort&) = delete;
  TCustomComPort& operator=(const TCustomComPort&) = delete;

  static void SetPortSelector(TPortSelector selector);

  // Properties.
  TDeviceLayer DeviceLayer() const { return deviceLayer_; }
  void SetDeviceLayer(TDeviceLayer layer);
  uint16_t ComNumber() const { return comNumber_; }
  // On an open port: closes it, takes the number and opens the new port, keeping
  // triggers, tracing and logging. If the new port fails to open the exception reaches
  // the caller and the port stays closed with the new number.
  void SetComNumber(uint16_t n);
  // A device path opened instead of the port number's device when not empty; no settings
  // file is consulted for it. Takes effect at the next opening.
  const std::string& DevicePath() const { return devicePath_; }
  void SetDevicePath(std::string path) { devicePath_ = std::move(path); }
  // The device the next opening reaches: DevicePath, or the port number's mapped device.
  std::string EffectiveDevicePath() const;
  int Baud() const { return baud_; }
  void SetBaud(int baud);
  bool PromptForPort() const { return promptForPort_; }
  void SetPromptForPort(bool prompt) { promptForPort_ = prompt; }
  TParity Parity() const { return parity_; }
  void SetParity(TParity parity);
  uint16_t DataBits() const { return dataBits_; }
  void SetDataBits(uint16_t bits);
  uint16_t StopBits() const { return stopBits_; }
  void SetStopBits(uint16_t bits);
  uint16_t InSize() const { return inSize_; }
  void SetInSize(uint16_t size);
  uint16_t OutSize() const { return outSize_; }
  void SetOutSize(uint16_t size);
  bool AutoOpen() const { return autoOpen_; }
  void SetAutoOpen(bool autoOpen) { autoOpen_ = autoOpen; }
  bool Open() const { return open_; }
  void SetOpen(bool open);
  bool DTR() const { return dtr_; }
  void SetDTR(bool on);
  bool RTS() const { return rts_; }
  void SetRTS(bool on);
  THWFlowOptions HWFlowOptions() const { return hwFlow_; }
  void SetHWFlowOptions(THWFlowOptions options);
  TSWFlowOptions SWFlowOptions() const { return swFlow_; }
  void SetSWFlowOptions(TSWFlowOptions options);
  char XOnChar() const { return xonChar_; }
  void SetXOnChar(char c);
  char XOffChar() const { return xoffChar_; }
  void SetXOffChar(char c);
  uint16_t BufferFull() const { return bufferFull_; }
  void SetBufferFull(uint16_t level);
  uint16_t BufferResume() const { return bufferResume_; }
  void SetBufferResume(uint16_t level);
  TTraceLogState Tracing() const { return tracing_; }
  void SetTracing(TTraceLogState state);
  uint32_t TraceSize() const { return traceSize_; }
  void SetTraceSize(uint32_t size);
  const std::string& TraceName() const { return traceName_; }
  void SetTraceName(const std::string& name);
  bool TraceHex() const { return traceHex_; }
  void SetTraceHex(bool hex) { traceHex_ = hex; }
  bool TraceAllHex() const { return traceAllHex_; }
  void SetTraceAllHex(bool allHex) { traceAllHex_ = allHex; }
  TTraceLogState Logging() const { return logging_; }
  void SetLogging(TTraceLogState state);
  uint32_t LogSize() const { return logSize_; }
  void SetLogSize(uint32_t size);
  const std::string& LogName() const { return logName_; }
  void SetLogName(const std::string& name);
  bool LogHex() const { return logHex_; }
  void SetLogHex(bool hex) { logHex_ = hex; }
  bool LogAllHex() const { return logAllHex_; }
  void SetLogAllHex(bool allHex) { logAllHex_ = allHex; }
  // Kept for compatibility of stored settings; they change nothing on this platform.
  bool UseMSRShadow() const { return useMSRShadow_; }
  void SetUseMSRShadow(bool use) { useMSRShadow_ = use; }
  bool UseEventWord() const { return useEventWord_; }
  void SetUseEventWord(bool use) { useEventWord_ = use; }
  uint16_t CommNotificationLevel() const { return commNotificationLevel_; }
  void SetCommNotificationLevel(uint16_t level) { commNotificationLevel_ = level; }
  TTapiMode TapiMode() const { return tapiMode_; }
  void SetTapiMode(TTapiMode mode) { tapiMode_ = mode; }
  bool RS485Mode() const { return rs485Mode_; }
  void SetRS485Mode(bool on);
  // Received bytes available at or above which OnTriggerAvail is raised (default 1).
  uint16_t AvailTriggerLength() const { return availTriggerLength_; }
  void SetAvailTriggerLength(uint16_t length);

  // Events (assign an empty function to remove one).
  void SetOnTrigger(TTriggerEvent e);
  void SetOnTriggerAvail(TTriggerAvailEvent e);
  void SetOnTriggerData(TTriggerHandleEvent e);
  void SetOnTriggerStatus(TTriggerHandleEvent e);
  void SetOnTriggerTimer(TTriggerHandleEvent e);
  void SetOnTriggerLineError(TTriggerLineErrorEvent e);
  void SetOnTriggerModemStatus(TNotifyEvent e);
  void SetOnTriggerOutbuffFree(TNotifyEvent e);
  void SetOnTriggerOutbuffUsed(TNotifyEvent e);
  void SetOnTriggerOutSent(TNotifyEvent e);

  TPortState PortState() const { return portState_; }

  // Queues every byte of s for transmission; returns once they are in the output buffer.
  // Nothing happens for an empty s or while closing. Raises EOutputBufferTooSmall (-3006,
  // nothing queued) when s does not fit in the free room of the OutSize-byte buffer.
  void SendString(std::string_view s) override;
  void SendChar(char c) override;
  // Copies exactly count received bytes, oldest first, into buffer. Raises EBufferIsEmpty
  // (-3007, nothing copied) when fewer are available. Ignored while closing.
  void ReadBlock(void* buffer, uint16_t count);
  uint16_t InBuffUsed();
  uint16_t OutBuffUsed();
  uint16_t OutBuffFree();
  void FlushInBuffer();
  void FlushOutBuffer();
  // Modem lines (false on devices without them) and accumulated line errors.
  bool CTS();
  bool DSR();
  bool DCD();
  bool Ringing();
  uint8_t ModemStatus();
  uint8_t LineError();
  // True once the open device has gone away (unplugged); close and open it again.
  bool DeviceLost() const;

  // Triggers beyond the avail trigger; handles stay valid across a reopening.
  uint16_t AddDataTrigger(const std::string& match, bool ignoreCase);
  uint16_t AddTimerTrigger();
  uint16_t AddStatusTrigger(TStatusTriggerType type);
  void RemoveTrigger(uint16_t handle);
  // Fires once after ticks of 55 ms (or disarms).
  void SetTimerTrigger(uint16_t handle, uint32_t ticks, bool activate);
  // Arms a status trigger: modem delta mask, line error mask, or an output buffer level.
  void SetStatusTrigger(uint16_t handle, uint16_t value, bool activate);

  // Listeners told after each opening and before each closing; the id removes one.
  int RegisterPortListener(TPortListener listener);
  void DeregisterPortListener(int id);

  void Loaded() override;
  // The dispatcher of the open port (nullptr while closed), for the layer's own tools.
  TBaseDispatcher* Dispatcher() const { return dispatcher_.get(); }

 private:
  void DoOpen();
  void DoClose();
  void FinishClose();
  void DestroyDispatcher();
  // Makes sure there is a dispatcher (opening the port when AutoOpen allows); raises
  // ECommNotOpen (-2007) when none can be had (returns nullptr while loading).
  TBaseDispatcher* ValidDispatcher();
  int Check(int result) const;
  bool ApplyNeeded() const { return portState_ == TPortState::Open && dispatcher_; }
  bool AnyTriggerEvent() const;
  void UpdateEventsWanted();
  void WindowProc(const TComMessage& m);
  void ApplyFlow();
  TLineSettings LineSettings() const;
  void ApplyLine();
  TraceOptions TraceOpts() const;
  LogOptions LogOpts() const;
  void NotifyListeners(bool opening);

  // Property values.
  TDeviceLayer deviceLayer_ = dlWin32;
  uint16_t comNumber_ = 0;
  std::string devicePath_;
  int baud_ = 19200;
  bool promptForPort_ = true;
  TParity parity_ = pNone;
  uint16_t dataBits_ = 8;
  uint16_t stopBits_ = 1;
  uint16_t inSize_ = 4096;
  uint16_t outSize_ = 4096;
  bool autoOpen_ = true;
  bool open_ = false;
  bool dtr_ = true;
  bool rts_ = true;
  THWFlowOptions hwFlow_ = 0;
  TSWFlowOptions swFlow_ = swfNone;
  char xonChar_ = 17;
  char xoffChar_ = 19;
  uint16_t bufferFull_ = 0;
  uint16_t bufferResume_ = 0;
  TTraceLogState tracing_ = tlOff;
  uint32_t traceSize_ = 10000;
  std::string traceName_ = "SERIAL.TRC";
  bool traceHex_ = true;
  bool traceAllHex_ = false;
  TTraceLogState logging_ = tlOff;
  uint32_t logSize_ = 10000;
  std::string logName_ = "SERIAL.LOG";
  bool logHex_ = true;
  bool logAllHex_ = false;
  bool useMSRShadow_ = true;
  bool useEventWord_ = true;
  uint16_t commNotificationLevel_ = 10;
  TTapiMode tapiMode_ = tmAuto;
  bool rs485Mode_ = false;
  uint16_t availTriggerLength_ = 1;

  // Events.
  TTriggerEvent onTrigger_;
  TTriggerAvailEvent onTriggerAvail_;
  TTriggerHandleEvent onTriggerData_, onTriggerStatus_, onTriggerTimer_;
  TTriggerLineErrorEvent onTriggerLineError_;
  TNotifyEvent onTriggerModemStatus_, onTriggerOutbuffFree_, onTriggerOutbuffUsed_,
      onTriggerOutSent_;

  // State.
  TPortState portState_ = TPortState::Closed;
  std::unique_ptr<TBaseDispatcher> dispatcher_;
  TComWindow* window_ = nullptr;  // deleted through the event loop (it may be mid-event)
  bool force_ = false;            // setters re-apply unchanged values (configuring a new port)
  bool reopenPending_ = false;    // Open set while a deferred close was still running
  bool closeOwed_ = false;        // close asked from inside a delivery: finish it afterwards
  bool openWhenLoaded_ = false;   // Open set while loading
  int deliveryDepth_ = 0;         // sent trigger messages being handled right now
  uint32_t delivery_ = 0;         // the innermost of them (its number), whose reads peek
  int windowDepth_ = 0;           // any window message being handled right now
  std::optional<TSavedTriggers> savedTriggers_;
  std::map<int, TPortListener> listeners_;
  int nextListenerId_ = 1;
};

// The component as the program uses it.
class TComPort : public TCustomComPort {
 public:
  using TCustomComPort::TCustomComPort;
};

}  // namespace vemo

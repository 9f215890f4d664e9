// SPDX-License-Identifier: GPL-3.0-or-later
// The port component's property setters: each stores its value and, on an open port,
// applies it through the dispatcher. An unchanged value is ignored unless the component
// is configuring a freshly opened port (force_).

#include <algorithm>

#include "serial/ComPort.h"
#include "serial/SerialErrors.h"

namespace vemo {

namespace {

constexpr size_t kMaxFileName = 255;

}  // namespace

TLineSettings TCustomComPort::LineSettings() const {
  TLineSettings line;
  line.baud = baud_;
  line.parity = parity_;
  line.dataBits = uint8_t(std::min<uint16_t>(dataBits_, 0xFF));
  line.stopBits = uint8_t(stopBits_);
  return line;
}

void TCustomComPort::ApplyLine() {
  if (ApplyNeeded()) Check(dispatcher_->SetLine(LineSettings()));
}

void TCustomComPort::ApplyFlow() {
  if (!ApplyNeeded()) return;
  TFlowSettings flow;
  flow.hwOptions = hwFlow_;
  flow.swOptions = swFlow_;
  flow.xonChar = uint8_t(xonChar_);
  flow.xoffChar = uint8_t(xoffChar_);
  flow.bufferFull = bufferFull_;
  flow.bufferResume = bufferResume_;
  Check(dispatcher_->SetFlow(flow));
}

TraceOptions TCustomComPort::TraceOpts() const {
  return TraceOptions{traceSize_, traceName_, traceHex_, traceAllHex_};
}

LogOptions TCustomComPort::LogOpts() const {
  return LogOptions{logSize_, logName_, logHex_, logAllHex_,
                    dispatcher_ ? dispatcher_->DeviceName() : std::string()};
}

void TCustomComPort::SetDeviceLayer(TDeviceLayer layer) {
  // Only a closed port changes layer, and only to one that has a dispatcher here.
  if (portState_ == TPortState::Closed && layer == dlWin32) deviceLayer_ = layer;
}

void TCustomComPort::SetComNumber(uint16_t n) {
  if (n == comNumber_ && !force_) return;
  if (portState_ != TPortState::Open) {
    comNumber_ = n;
    return;
  }
  // Closing saves the triggers and the next opening puts them back.
  TTraceLogState tracing = tracing_, logging = logging_;
  SetOpen(false);
  comNumber_ = n;
  SetTracing(tracing);
  SetLogging(logging);
  SetOpen(true);
}

void TCustomComPort::SetBaud(int baud) {
  if (baud == baud_ && !force_) return;
  baud_ = baud;
  ApplyLine();
}

void TCustomComPort::SetParity(TParity parity) {
  if (parity == parity_ && !force_) return;
  parity_ = parity;
  ApplyLine();
}

void TCustomComPort::SetDataBits(uint16_t bits) {
  if (bits == dataBits_ && !force_) return;
  dataBits_ = bits;
  ApplyLine();
}

void TCustomComPort::SetStopBits(uint16_t bits) {
  bits = std::clamp<uint16_t>(bits, 1, 2);
  if (bits == stopBits_ && !force_) return;
  stopBits_ = bits;
  ApplyLine();
}

void TCustomComPort::SetInSize(uint16_t size) {
  if (size == inSize_ && !force_) return;
  inSize_ = size;
  if (ApplyNeeded()) Check(dispatcher_->SetQueueSizes(inSize_, outSize_));
}

void TCustomComPort::SetOutSize(uint16_t size) {
  if (size == outSize_ && !force_) return;
  outSize_ = size;
  if (ApplyNeeded()) Check(dispatcher_->SetQueueSizes(inSize_, outSize_));
}

void TCustomComPort::SetDTR(bool on) {
  if (on == dtr_ && !force_) return;
  if (!ApplyNeeded()) {
    dtr_ = on;
    return;
  }
  if (Check(dispatcher_->SetDTR(on)) == 0) dtr_ = on;
}

void TCustomComPort::SetRTS(bool on) {
  if (on == rts_ && !force_) return;
  if (!ApplyNeeded()) {
    rts_ = on;
    return;
  }
  if (Check(dispatcher_->SetRTS(on)) == 0) rts_ = on;
}

void TCustomComPort::SetHWFlowOptions(THWFlowOptions options) {
  if (options == hwFlow_ && !force_) return;
  hwFlow_ = options;
  if (options) {
    if (bufferFull_ == 0 || bufferFull_ > inSize_) bufferFull_ = uint16_t(inSize_ * 9 / 10);
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) bufferResume_ = uint16_t(inSize_ / 10);
  }
  // RTS cannot both handshake and key an RS-485 transmitter.
  if (options & (hwfUseRTS | hwfRequireCTS)) {
    if (rs485Mode_ && ApplyNeeded()) Check(dispatcher_->SetRS485(false));
    rs485Mode_ = false;
  }
  ApplyFlow();
}

void TCustomComPort::SetSWFlowOptions(TSWFlowOptions options) {
  if (options == swFlow_ && !force_) return;
  swFlow_ = options;
  if (options != swfNone) {
    if (bufferFull_ == 0 || bufferFull_ > inSize_) bufferFull_ = uint16_t(inSize_ * 3 / 4);
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) bufferResume_ = uint16_t(inSize_ / 4);
  }
  ApplyFlow();
}

void TCustomComPort::SetXOnChar(char c) {
  if (c == xonChar_ && !force_) return;
  xonChar_ = c;
  ApplyFlow();
}

void TCustomComPort::SetXOffChar(char c) {
  if (c == xoffChar_ && !force_) return;
  xoffChar_ = c;
  ApplyFlow();
}

void TCustomComPort::SetBufferFull(uint16_t level) {
  if (level == bufferFull_ && !force_) return;
  bufferFull_ = level > inSize_ ? uint16_t(level * 9 / 10) : level;
  ApplyFlow();
}

void TCustomComPort::SetBufferResume(uint16_t level) {
  if (level == bufferResume_ && !force_) return;
  bufferResume_ = level > bufferFull_ ? uint16_t(bufferFull_ / 10) : level;
  ApplyFlow();
}

void TCustomComPort::SetTracing(TTraceLogState state) {
  if (state == tracing_ && !force_) return;
  if (!ApplyNeeded()) {
    tracing_ = StoredWhileClosed(state);
    return;
  }
  int rc = dispatcher_->TraceBuffer().Control(state, TraceOpts());
  tracing_ = dispatcher_->TraceBuffer().State();
  Check(rc);
}

void TCustomComPort::SetTraceSize(uint32_t size) {
  size = std::min(size, Trace::kMaxEntries);
  if (size == traceSize_ && !force_) return;
  traceSize_ = size;
  if (!ApplyNeeded()) return;
  int rc = dispatcher_->TraceBuffer().Resize(TraceOpts());
  tracing_ = dispatcher_->TraceBuffer().State();
  Check(rc);
}

void TCustomComPort::SetTraceName(const std::string& name) {
  traceName_ = name.substr(0, kMaxFileName);
}

void TCustomComPort::SetLogging(TTraceLogState state) {
  if (state == logging_ && !force_) return;
  if (!ApplyNeeded()) {
    logging_ = StoredWhileClosed(state);
    return;
  }
  int rc = dispatcher_->Log().Control(state, LogOpts());
  logging_ = dispatcher_->Log().State();
  Check(rc);
}

void TCustomComPort::SetLogSize(uint32_t size) {
  size = std::min(size, EventLog::kMaxBytes);
  if (size == logSize_ && !force_) return;
  logSize_ = size;
  if (!ApplyNeeded()) return;
  int rc = dispatcher_->Log().Resize(LogOpts());
  logging_ = dispatcher_->Log().State();
  Check(rc);
}

void TCustomComPort::SetLogName(const std::string& name) {
  logName_ = name.substr(0, kMaxFileName);
}

void TCustomComPort::SetRS485Mode(bool on) {
  if (on == rs485Mode_ && !force_) return;
  if (on) {
    // The transmitter is keyed by RTS: no RTS/CTS handshake, receiver side low.
    hwFlow_ &= THWFlowOptions(~(hwfUseRTS | hwfRequireCTS));
    ApplyFlow();
    SetRTS(false);
  }
  if (ApplyNeeded()) Check(dispatcher_->SetRS485(on));
  rs485Mode_ = on;
}

void TCustomComPort::SetAvailTriggerLength(uint16_t length) {
  if (length == availTriggerLength_ && !force_) return;
  availTriggerLength_ = length;
  if (ApplyNeeded()) dispatcher_->SetAvailTriggerLength(length);
}

void TCustomComPort::SetOnTrigger(TTriggerEvent e) {
  onTrigger_ = std::move(e);
  UpdateEventsWanted();
}

void TCustomComPort::SetOnTriggerAvail(TTriggerAvailEvent e) {
  onTriggerAvail_ = std::move(e);
  UpdateEventsWanted();
}

void TCustomComPort::SetOnTriggerData(TTriggerHandleEvent e) {
  onTriggerData_ = std::move(e);
  UpdateEventsWanted();
}

void TCustomComPort::SetOnTriggerStatus(TTriggerHandleEvent e) {
  onTriggerStatus_ = std::move(e);
  UpdateEventsWanted();
}

void TCustomComPort::SetOnTriggerTimer(TTriggerHandleEvent e) {
  onTriggerTimer_ = std::move(e);
  UpdateEventsWanted();
}

void TCustomComPort::SetOnTriggerLineError(TTriggerLineErrorEvent e) {
  onTriggerLineError_ = std::move(e);
  UpdateEventsWanted();
}

void TCustomComPort::SetOnTriggerModemStatus(TNotifyEvent e) {
  onTriggerModemStatus_ = std::move(e);
  UpdateEventsWanted();
}

void TCustomComPort::SetOnTriggerOutbuffFree(TNotifyEvent e) {
  onTriggerOutbuffFree_ = std::move(e);
  UpdateEventsWanted();
}

void TCustomComPort::SetOnTriggerOutbuffUsed(TNotifyEvent e) {
  onTriggerOutbuffUsed_ = std::move(e);
  UpdateEventsWanted();
}

void TCustomComPort::SetOnTriggerOutSent(TNotifyEvent e) {
  onTriggerOutSent_ = std::move(e);
  UpdateEventsWanted();
}

}  // namespace vemo

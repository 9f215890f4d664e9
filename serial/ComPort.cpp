// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/ComPort.h"

#include <utility>

#include "platform/PortNames.h"
#include "serial/ComWindow.h"
#include "serial/NativeDispatcher.h"
#include "serial/SerialErrors.h"

namespace vemo {

namespace {

// The component's own message: finish a close that was asked for inside an event.
constexpr uint16_t kDeferredClose = 0x7E0A;

std::mutex selectorLock;
TCustomComPort::TPortSelector portSelector;

}  // namespace

void TCustomComPort::SetPortSelector(TPortSelector selector) {
  std::lock_guard lock(selectorLock);
  portSelector = std::move(selector);
}

TCustomComPort::TCustomComPort() = default;

TCustomComPort::~TCustomComPort() {
  try {
    reopenPending_ = false;
    DoClose();
    if (portState_ == TPortState::Closing) FinishClose();
  } catch (...) {
    TComWindow::ReportException(std::current_exception());
  }
  listeners_.clear();
  savedTriggers_.reset();
}

int TCustomComPort::Check(int result) const {
  return CheckException(result, Loading());
}

void TCustomComPort::SetOpen(bool open) {
  if (Loading()) {
    openWhenLoaded_ = open;
    return;
  }
  if (!open) {
    reopenPending_ = false;
    DoClose();
    return;
  }
  if (portState_ == TPortState::Closing) {
    reopenPending_ = true;
  } else if (portState_ == TPortState::Closed) {
    DoOpen();
  }
}

void TCustomComPort::Loaded() {
  TBaseComponent::Loaded();
  if (!std::exchange(openWhenLoaded_, false)) return;
  try {
    SetOpen(true);
  } catch (...) {
    open_ = false;
    TComWindow::ReportException(std::current_exception());
  }
}

void TCustomComPort::DoOpen() {
  if (tapiMode_ != tmOn && comNumber_ == 0 && devicePath_.empty()) {
    TPortSelector selector;
    {
      std::lock_guard lock(selectorLock);
      selector = portSelector;
    }
    if (!promptForPort_ || !selector) {
      Check(ecNoPortSelected);
      return;
    }
    std::optional<int> chosen = selector();
    if (!chosen || *chosen <= 0 || *chosen > 0xFFFF) {
      Check(ecNoPortSelected);
      return;
    }
    SetComNumber(uint16_t(*chosen));
  }
  if (deviceLayer_ != dlWin32) {
    Check(ecNullApi);
    return;
  }
  dispatcher_ = std::make_unique<TTermiosDispatcher>(this);
  try {
    dispatcher_->SetDeviceName(devicePath_.empty() ? "COM" + std::to_string(comNumber_)
                                                   : devicePath_);
    uint8_t flags = uint8_t((dtr_ ? 0x01 : 0) | (rts_ ? 0x02 : 0) |
                            (hwFlow_ & hwfUseDTR ? 0x10 : 0) | (hwFlow_ & hwfUseRTS ? 0x20 : 0));
    int rc = dispatcher_->OpenLine(EffectiveDevicePath(), LineSettings(), flags, outSize_, inSize_);
    if (rc == ecAccessDenied) rc = ecAlreadyOpen;
    if (rc == ecFileNotFound || rc == ecPathNotFound) rc = ecBadId;
    // never loading here: Loaded() opens afterwards
    if (rc != 0) RaiseWithDetail(rc, dispatcher_->OpenFailureDetail());
    portState_ = TPortState::Open;
    UpdateEventsWanted();
    force_ = true;
    SetTracing(tracing_);
    SetLogging(logging_);
    SetHWFlowOptions(hwFlow_);
    SetSWFlowOptions(swFlow_);
    SetXOnChar(xonChar_);
    SetXOffChar(xoffChar_);
    SetAvailTriggerLength(availTriggerLength_);
    SetDTR(dtr_);
    SetRTS(rts_);
    SetRS485Mode(rs485Mode_);
    force_ = false;
    open_ = true;
    window_ = new TComWindow([this](const TComMessage& m) { WindowProc(m); });
    dispatcher_->RegisterWindow(window_);
    if (savedTriggers_) {
      dispatcher_->RestoreTriggers(*savedTriggers_);
      savedTriggers_.reset();
      dispatcher_->SetAvailTriggerLength(availTriggerLength_);
    }
    NotifyListeners(true);
  } catch (...) {
    force_ = false;
    open_ = false;
    DestroyDispatcher();
    throw;
  }
}

void TCustomComPort::DoClose() {
  open_ = false;
  if (portState_ != TPortState::Open) return;
  // A trace or log file that cannot be written must not leave the port half closed:
  // finish closing, then report it.
  std::exception_ptr fileError;
  try {
    SetTracing(tlDump);
  } catch (...) {
    fileError = std::current_exception();
  }
  try {
    SetLogging(tlDump);
  } catch (...) {
    if (!fileError) fileError = std::current_exception();
  }
  portState_ = TPortState::Closing;
  NotifyListeners(false);
  savedTriggers_ = dispatcher_->SaveTriggers();
  if (deliveryDepth_ > 0) {
    // Asked from inside an event handler: the dispatch thread waits for that handler to
    // return, so only ask the threads to end; the close finishes after the handler.
    dispatcher_->RequestStop();
    closeOwed_ = true;
  } else {
    FinishClose();
  }
  if (fileError) std::rethrow_exception(fileError);
}

void TCustomComPort::FinishClose() {
  closeOwed_ = false;
  DestroyDispatcher();
  if (std::exchange(reopenPending_, false)) SetOpen(true);
}

void TCustomComPort::DestroyDispatcher() {
  if (dispatcher_) dispatcher_->Shutdown();  // every thread joined, device closed
  if (window_) {
    if (dispatcher_) dispatcher_->DeregisterWindow(window_);
    window_->Detach();
    // The window may be in the middle of delivering the message that got us here.
    if (windowDepth_ > 0)
      window_->deleteLater();
    else
      delete window_;
    window_ = nullptr;
  }
  dispatcher_.reset();
  portState_ = TPortState::Closed;
}

TBaseDispatcher* TCustomComPort::ValidDispatcher() {
  if (!dispatcher_ && !Loading() && autoOpen_ && portState_ == TPortState::Closed) SetOpen(true);
  if (!dispatcher_) Check(ecNotOpen);
  return dispatcher_.get();
}

bool TCustomComPort::AnyTriggerEvent() const {
  return onTrigger_ || onTriggerAvail_ || onTriggerData_ || onTriggerStatus_ || onTriggerTimer_ ||
         onTriggerLineError_ || onTriggerModemStatus_ || onTriggerOutbuffFree_ ||
         onTriggerOutbuffUsed_ || onTriggerOutSent_;
}

void TCustomComPort::UpdateEventsWanted() {
  if (dispatcher_) dispatcher_->SetEventsWanted(AnyTriggerEvent());
}

void TCustomComPort::WindowProc(const TComMessage& m) {
  struct Depth {
    int& n;
    explicit Depth(int& d) : n(d) { ++n; }
    ~Depth() { --n; }
  } windowDepth(windowDepth_);
  if (m.msg == kDeferredClose) {
    // Run again by the outermost handler when it returns, if a nested event loop got here.
    if (closeOwed_ && deliveryDepth_ == 0) FinishClose();
    return;
  }
  if (m.msg < kTriggerAvail || m.msg > kTriggerStatus) return;
  TBaseDispatcher* d = TBaseDispatcher::FromHandle(uint16_t(m.lParam >> 16));
  if (!d || d->Owner() != this || d != dispatcher_.get()) return;
  struct Delivery {
    TCustomComPort& cp;
    uint32_t outer;
    Delivery(TCustomComPort& p, uint32_t number) : cp(p), outer(p.delivery_) {
      ++cp.deliveryDepth_;
      cp.delivery_ = number;
    }
    ~Delivery() {
      cp.delivery_ = outer;
      if (--cp.deliveryDepth_ == 0 && cp.closeOwed_ && cp.window_)
        cp.window_->Post({kDeferredClose, 0, 0});
    }
  } delivery(*this, m.delivery);
  uint16_t data = m.msg == kTriggerAvail ? m.wParam : uint16_t(m.lParam & 0xFFFF);
  if (onTrigger_) onTrigger_(*this, m.msg, m.wParam, data);
  switch (m.msg) {
    case kTriggerAvail:
      if (onTriggerAvail_) onTriggerAvail_(*this, m.wParam);
      break;
    case kTriggerData:
      if (onTriggerData_) onTriggerData_(*this, m.wParam);
      break;
    case kTriggerTimer:
      if (onTriggerTimer_) onTriggerTimer_(*this, m.wParam);
      break;
    case kTriggerStatus: {
      TStatusTriggerType type = d->StatusTriggerType(m.wParam);
      if (onTriggerStatus_) onTriggerStatus_(*this, m.wParam);
      if (portState_ != TPortState::Open) break;
      switch (type) {
        case stModem:
          if (onTriggerModemStatus_) onTriggerModemStatus_(*this);
          break;
        case stLine:
          if (onTriggerLineError_) {
            uint8_t errors = d->LineErrors();
            onTriggerLineError_(*this, errors, (errors & kLineBreak) != 0);
          }
          break;
        case stOutBuffFree:
          if (onTriggerOutbuffFree_) onTriggerOutbuffFree_(*this);
          break;
        case stOutBuffUsed:
          if (onTriggerOutbuffUsed_) onTriggerOutbuffUsed_(*this);
          break;
        case stOutSent:
          if (onTriggerOutSent_) onTriggerOutSent_(*this);
          break;
        case stNotActive:
          break;
      }
      break;
    }
    default:
      break;
  }
}

void TCustomComPort::SendString(std::string_view s) {
  if (portState_ == TPortState::Closing || s.empty()) return;
  if (TBaseDispatcher* d = ValidDispatcher())
    Check(d->PutBlock(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
}

void TCustomComPort::SendChar(char c) {
  SendString(std::string_view(&c, 1));
}

void TCustomComPort::ReadBlock(void* buffer, uint16_t count) {
  if (portState_ == TPortState::Closing) return;
  if (TBaseDispatcher* d = ValidDispatcher())
    Check(d->GetBlock(static_cast<uint8_t*>(buffer), count, delivery_));
}

uint16_t TCustomComPort::InBuffUsed() {
  TBaseDispatcher* d = ValidDispatcher();
  return d ? uint16_t(d->InBuffUsed(delivery_)) : 0;
}

uint16_t TCustomComPort::OutBuffUsed() {
  TBaseDispatcher* d = ValidDispatcher();
  return d ? uint16_t(d->OutBuffUsed()) : 0;
}

uint16_t TCustomComPort::OutBuffFree() {
  TBaseDispatcher* d = ValidDispatcher();
  return d ? uint16_t(d->OutBuffFree()) : 0;
}

void TCustomComPort::FlushInBuffer() {
  if (TBaseDispatcher* d = ValidDispatcher()) d->FlushInBuffer();
}

void TCustomComPort::FlushOutBuffer() {
  if (TBaseDispatcher* d = ValidDispatcher()) d->FlushOutBuffer();
}

uint8_t TCustomComPort::ModemStatus() {
  TBaseDispatcher* d = ValidDispatcher();
  return d ? d->ModemStatus() : 0;
}

bool TCustomComPort::CTS() {
  return ModemStatus() & kMsrCTS;
}
bool TCustomComPort::DSR() {
  return ModemStatus() & kMsrDSR;
}
bool TCustomComPort::DCD() {
  return ModemStatus() & kMsrDCD;
}
bool TCustomComPort::Ringing() {
  return ModemStatus() & kMsrRI;
}

uint8_t TCustomComPort::LineError() {
  TBaseDispatcher* d = ValidDispatcher();
  return d ? d->LineErrors() : 0;
}

std::string TCustomComPort::EffectiveDevicePath() const {
  return devicePath_.empty() ? PortDevicePath(comNumber_) : devicePath_;
}

bool TCustomComPort::DeviceLost() const {
  return dispatcher_ && dispatcher_->HungUp();
}

uint16_t TCustomComPort::AddDataTrigger(const std::string& match, bool ignoreCase) {
  TBaseDispatcher* d = ValidDispatcher();
  return d ? uint16_t(Check(d->AddDataTrigger(match, ignoreCase))) : 0;
}

uint16_t TCustomComPort::AddTimerTrigger() {
  TBaseDispatcher* d = ValidDispatcher();
  return d ? uint16_t(Check(d->AddTimerTrigger())) : 0;
}

uint16_t TCustomComPort::AddStatusTrigger(TStatusTriggerType type) {
  TBaseDispatcher* d = ValidDispatcher();
  return d ? uint16_t(Check(d->AddStatusTrigger(type))) : 0;
}

void TCustomComPort::RemoveTrigger(uint16_t handle) {
  if (TBaseDispatcher* d = ValidDispatcher()) Check(d->RemoveTrigger(handle));
}

void TCustomComPort::SetTimerTrigger(uint16_t handle, uint32_t ticks, bool activate) {
  if (TBaseDispatcher* d = ValidDispatcher()) Check(d->SetTimerTrigger(handle, ticks, activate));
}

void TCustomComPort::SetStatusTrigger(uint16_t handle, uint16_t value, bool activate) {
  if (TBaseDispatcher* d = ValidDispatcher()) Check(d->SetStatusTrigger(handle, value, activate));
}

int TCustomComPort::RegisterPortListener(TPortListener listener) {
  int id = nextListenerId_++;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void TCustomComPort::DeregisterPortListener(int id) {
  listeners_.erase(id);
}

void TCustomComPort::NotifyListeners(bool opening) {
  auto listeners = listeners_;  // a listener may deregister itself
  for (auto& [id, listener] : listeners) listener(*this, opening);
}

}  // namespace vemo

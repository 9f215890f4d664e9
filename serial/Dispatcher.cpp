// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/Dispatcher.h"

#include <algorithm>

#include "serial/ComWindow.h"
#include "serial/SerialErrors.h"

namespace vemo {

namespace {

std::mutex listLock;
std::vector<TBaseDispatcher*> dispatcherList;

}  // namespace

TBaseDispatcher::TBaseDispatcher(TCustomComPort* owner) : owner_(owner) {
  std::lock_guard lock(listLock);
  auto free = std::find(dispatcherList.begin(), dispatcherList.end(), nullptr);
  if (free == dispatcherList.end()) free = dispatcherList.insert(free, nullptr);
  *free = this;
  handle_ = static_cast<uint16_t>(free - dispatcherList.begin());
}

TBaseDispatcher::~TBaseDispatcher() {
  // The derived destructor has shut the device down; threads never outlive us.
  JoinThreads(true);
  std::lock_guard lock(listLock);
  dispatcherList[handle_] = nullptr;
  while (!dispatcherList.empty() && dispatcherList.back() == nullptr) dispatcherList.pop_back();
}

TBaseDispatcher* TBaseDispatcher::FromHandle(uint16_t handle) {
  std::lock_guard lock(listLock);
  return handle < dispatcherList.size() ? dispatcherList[handle] : nullptr;
}

size_t TBaseDispatcher::ListSize() {
  std::lock_guard lock(listLock);
  return dispatcherList.size();
}

int TBaseDispatcher::OpenLine(const std::string& path, const TLineSettings& requested,
                              uint8_t flags, uint16_t outSize, uint16_t inSize) {
  TLineSettings line = Normalized(requested);
  (void)inSize;  // the driver sizes its own receive queue here
  if (started_ || DeviceOpen()) return ecAlreadyOpen;
  kill_ = false;
  hungUp_ = false;
  int rc = OpenDevice(path, false);
  if (rc < 0) return rc;
  {
    std::lock_guard in(inLock_);
    rx_.Reset(kReceiveSize);
    rxTotal_ = rxScanned_ = rxAnnounced_ = rxConsumed_ = 0;
    peeking_ = false;
    taken_ = 0;
  }
  rxBlocked_ = false;
  {
    std::lock_guard out(outLock_);
    tx_.Reset(std::max<uint16_t>(outSize, 1));
    writing_ = holdOutput_ = false;
  }
  {
    std::lock_guard lock(lock_);
    flow_ = TFlowSettings{};
    if (flags & 0x10) flow_.hwOptions |= hfUseDTR;
    if (flags & 0x20) flow_.hwOptions |= hfUseRTS;
    dtr_ = flags & 0x01;
    rts_ = flags & 0x02;
    lineErrors_ = 0;
    outSentArmed_ = false;
    triggers_ = TTriggerLists{};
    // Force the first SetLine to program the device.
    line_ = TLineSettings{115200, 0xFF, 0, 0};
  }
  rc = ApplyLine(line, flow_);
  if (rc == 0) {
    std::lock_guard lock(lock_);
    line_ = line;
    rc = SetModemLines(dtr_, rts_);
  }
  if (rc < 0) {
    CloseDevice();
    return rc;
  }
  RefreshModemStatus();
  ReadLineErrors();  // start counting from now
  log_.RestartClock();
  StartThreads();
  return 0;
}

int TBaseDispatcher::ProbeDevice(const std::string& path) {
  int rc = OpenDevice(path, true);
  if (rc == 0) CloseDevice();
  return rc;
}

TLineSettings TBaseDispatcher::Normalized(TLineSettings line) {
  if (line.stopBits == 0) line.stopBits = 1;
  if (line.stopBits > 3) line.stopBits = 2;
  if (line.dataBits == 5) line.stopBits = 3;  // five data bits always use 1.5 stop bits
  return line;
}

int TBaseDispatcher::SetLine(const TLineSettings& requested) {
  TLineSettings line = Normalized(requested);
  TFlowSettings flow;
  {
    std::lock_guard lock(lock_);
    if (line == line_) return 0;
    flow = flow_;
  }
  if (!DeviceOpen()) return ecNotOpen;
  WaitForDrain();
  int rc = ApplyLine(line, flow);
  if (rc < 0) return rc;
  std::lock_guard lock(lock_);
  line_ = line;
  // Re-programming the line may drop the modem lines on some drivers; restore them.
  return std::min(0, SetModemLines(dtr_ || (flow_.hwOptions & hfUseDTR), rts_ && !rs485_));
}

void TBaseDispatcher::WaitForDrain() {
  using namespace std::chrono;
  auto deadline = steady_clock::now() + seconds(10);
  {
    std::unique_lock out(outLock_);
    outCv_.wait_until(out, deadline, [&] { return (tx_.Empty() && !writing_) || hungUp_; });
  }
  while (!hungUp_ && DriverOutQueue() > 0 && steady_clock::now() < deadline)
    std::this_thread::sleep_for(milliseconds(2));
  // The last characters are still in the transmitter's shift register: about 18
  // character times (twice that below 9999 baud).
  int baud, bits;
  {
    std::lock_guard lock(lock_);
    baud = std::max(line_.baud, 1);
    bits = line_.dataBits + (line_.parity ? 1 : 0) + (line_.stopBits > 1 ? 1 : 0) + 2;
  }
  int64_t ticks = int64_t(10000000) / baud * bits * 18;  // 100 ns units
  if (baud < 9999) ticks *= 2;
  std::this_thread::sleep_for(milliseconds((ticks + 9999) / 10000));
}

int TBaseDispatcher::SetFlow(const TFlowSettings& flow) {
  TLineSettings line;
  {
    std::lock_guard lock(lock_);
    line = line_;
  }
  if (!DeviceOpen()) return ecNotOpen;
  int rc = ApplyLine(line, flow);
  if (rc < 0) return rc;
  std::lock_guard lock(lock_);
  flow_ = flow;
  return 0;
}

int TBaseDispatcher::SetQueueSizes(uint16_t inSize, uint16_t outSize) {
  (void)inSize;
  std::unique_lock out(outLock_);
  HoldOutput(out);
  std::vector<uint8_t> held(tx_.Count());
  tx_.Peek(0, held.data(), held.size());
  tx_.Reset(std::max<size_t>({size_t(outSize), held.size(), 1}));
  tx_.Put(held.data(), held.size());
  holdOutput_ = false;
  outCv_.notify_all();
  return 0;
}

int TBaseDispatcher::SetDTR(bool on) {
  std::lock_guard lock(lock_);
  if (flow_.hwOptions & hfUseDTR) return 1;
  int rc = SetModemLines(on, rts_ && !rs485_);
  if (rc < 0) return ecBadArgument;
  dtr_ = on;
  return 0;
}

int TBaseDispatcher::SetRTS(bool on) {
  std::lock_guard lock(lock_);
  if (flow_.hwOptions & hfUseRTS) return 1;
  int rc = SetModemLines(dtr_, on);
  if (rc < 0) return ecBadArgument;
  rts_ = on;
  return 0;
}

int TBaseDispatcher::SetRS485(bool on) {
  std::lock_guard lock(lock_);
  if (on == rs485_) return 0;
  int rc = ApplyRS485(on);
  if (rc < 0) return rc;
  rs485_ = on;
  return 0;
}

int TBaseDispatcher::PutBlock(const uint8_t* data, size_t n) {
  if (hungUp_) return ecNotOpen;
  if (n == 0) return 0;
  {
    std::lock_guard out(outLock_);
    if (n > tx_.Free()) return ecOutputBufferTooSmall;
    size_t written = 0;
    // With nothing queued and the output thread idle, hand the bytes to the driver at
    // once: order is kept and a short command does not wait for a thread switch.
    if (tx_.Empty() && !writing_) {
      int rc = WriteDevice(data, n);
      if (rc == kDeviceGone) {
        hungUp_ = true;
        return ecNotOpen;
      }
      if (rc > 0) written = size_t(rc);
    }
    if (written < n) {
      if (tx_.Put(data + written, n - written) != n - written) return ecPutBlockFail;
      outCv_.notify_all();
    }
  }
  trace_.Add(Trace::kTransmit, std::span<const uint8_t>(data, n));
  if (log_.Recording())
    log_.Add(LogType::Dispatch, LogSubtype::WriteCom, uint32_t(n), std::span(data, n));
  bool kick;
  {
    std::lock_guard lock(lock_);
    outSentArmed_ = true;
    kick = triggers_.AnyStatusActive();
  }
  if (kick) Kick();
  return 0;
}

int TBaseDispatcher::GetBlock(uint8_t* out, size_t n, uint32_t delivery) {
  bool freed = false;
  {
    std::lock_guard in(inLock_);
    const bool receiver = peeking_ && delivery != 0 && delivery == receiving_;
    size_t offset = !peeking_ ? 0 : receiver ? taken_ : handedOut_;
    if (rx_.Count() < offset + n) return ecBufferIsEmpty;
    rx_.Peek(offset, out, n);
    if (receiver) {
      taken_ += n;
      handedOut_ = std::max(handedOut_, taken_);
    } else if (peeking_) {
      // The receiver skips what went elsewhere, unless it has still to see earlier bytes
      // (a later window receiver of the same delivery starts from the front).
      if (taken_ == handedOut_) taken_ += n;
      handedOut_ += n;
    } else {
      freed = rx_.Full() && n > 0;
      rx_.Consume(n);
      rxConsumed_ += n;
    }
  }
  if (freed && rxBlocked_.exchange(false)) Kick();
  return int(n);
}

size_t TBaseDispatcher::InBuffUsed(uint32_t delivery) const {
  std::lock_guard in(inLock_);
  if (!peeking_) return rx_.Count();
  return rx_.Count() - (delivery != 0 && delivery == receiving_ ? taken_ : handedOut_);
}

size_t TBaseDispatcher::OutBuffUsed() const {
  std::lock_guard out(outLock_);
  return tx_.Count();
}

size_t TBaseDispatcher::OutBuffFree() const {
  std::lock_guard out(outLock_);
  return tx_.Free();
}

void TBaseDispatcher::FlushInBuffer() {
  if (DeviceOpen()) PurgeDevice(true, false);
  bool freed;
  {
    std::lock_guard in(inLock_);
    if (peeking_) {
      taken_ = handedOut_ = rx_.Count();  // the delivery releases everything when it ends
      return;
    }
    freed = rx_.Full();
    rxConsumed_ += rx_.Count();
    rx_.Clear();
    rxScanned_ = rxAnnounced_ = rxTotal_;
  }
  if (freed && rxBlocked_.exchange(false)) Kick();
}

void TBaseDispatcher::HoldOutput(std::unique_lock<std::mutex>& out) {
  // Keeps the output thread off the ring; a wait for a device that takes nothing (a peer
  // that does not read, flow control) is broken off rather than waited out.
  holdOutput_ = true;
  if (writing_) {
    WakeOutputThread();
    outCv_.wait(out, [&] { return !writing_; });
  }
}

void TBaseDispatcher::FlushOutBuffer() {
  {
    std::unique_lock out(outLock_);
    HoldOutput(out);
    tx_.Clear();
    holdOutput_ = false;
    outCv_.notify_all();
  }
  if (DeviceOpen()) PurgeDevice(false, true);
}

uint8_t TBaseDispatcher::ModemStatus() {
  RefreshModemStatus();
  std::lock_guard lock(lock_);
  uint8_t msr = modemStatus_;
  modemStatus_ &= 0xF0;
  return msr;
}

uint8_t TBaseDispatcher::LineErrors() {
  uint8_t fresh = DeviceOpen() && !hungUp_ ? ReadLineErrors() : 0;
  std::lock_guard lock(lock_);
  uint8_t errors = lineErrors_ | fresh;
  lineErrors_ = 0;
  return errors;
}

void TBaseDispatcher::RefreshModemStatus() {
  if (!DeviceOpen() || hungUp_) return;
  int lines = ReadModemLines();
  if (lines < 0) return;  // ptys and some adapters have no modem lines
  std::lock_guard lock(lock_);
  uint8_t old = modemStatus_ & 0xF0;
  uint8_t now = uint8_t(lines) & 0xF0;
  uint8_t delta = 0;
  if ((old ^ now) & kMsrCTS) delta |= kMsrDeltaCTS;
  if ((old ^ now) & kMsrDSR) delta |= kMsrDeltaDSR;
  if ((old & kMsrRI) && !(now & kMsrRI)) delta |= kMsrTrailingRI;
  if ((old ^ now) & kMsrDCD) delta |= kMsrDeltaDCD;
  modemStatus_ = uint8_t(now | (modemStatus_ & 0x0F) | delta);
}

void TBaseDispatcher::SetAvailTriggerLength(uint16_t length) {
  {
    std::lock_guard lock(lock_);
    triggers_.availLength = length;
  }
  if (log_.Recording()) log_.Add(LogType::TrDatChg, LogSubtype::AvailTrigger, length);
  Kick();
}

uint16_t TBaseDispatcher::AvailTriggerLength() const {
  std::lock_guard lock(lock_);
  return triggers_.availLength;
}

int TBaseDispatcher::AddDataTrigger(const std::string& match, bool ignoreCase) {
  std::lock_guard lock(lock_);
  int rc = triggers_.AddData(match, ignoreCase);
  if (rc > 0 && log_.Recording()) log_.Add(LogType::TrigAllc, LogSubtype::DataTrigger, rc);
  return rc;
}

int TBaseDispatcher::AddTimerTrigger() {
  std::lock_guard lock(lock_);
  int rc = triggers_.AddTimer();
  if (rc > 0 && log_.Recording()) log_.Add(LogType::TrigAllc, LogSubtype::TimerTrigger, rc);
  return rc;
}

int TBaseDispatcher::AddStatusTrigger(TStatusTriggerType type) {
  std::lock_guard lock(lock_);
  int rc = triggers_.AddStatus(type);
  if (rc > 0 && log_.Recording()) log_.Add(LogType::TrigAllc, LogSubtype::StatusTrigger, rc);
  return rc;
}

int TBaseDispatcher::RemoveTrigger(uint16_t handle) {
  std::lock_guard lock(lock_);
  int rc = triggers_.Remove(handle);
  if (rc == 0 && log_.Recording()) log_.Add(LogType::TrigDisp, LogSubtype::None, handle);
  statusPolling_ = triggers_.AnyStatusActive();
  return rc;
}

int TBaseDispatcher::SetTimerTrigger(uint16_t handle, uint32_t ticks, bool activate) {
  int rc;
  {
    std::lock_guard lock(lock_);
    rc = triggers_.SetTimer(handle, ticks, activate, std::chrono::steady_clock::now());
  }
  Kick();
  return rc;
}

int TBaseDispatcher::SetStatusTrigger(uint16_t handle, uint16_t value, bool activate) {
  int rc;
  {
    std::lock_guard lock(lock_);
    rc = triggers_.SetStatus(handle, value, activate);
    // Output-sent waits for bytes queued after it was armed.
    if (rc == 0 && activate && triggers_.FindStatus(handle)->type == stOutSent)
      outSentArmed_ = false;
    statusPolling_ = triggers_.AnyStatusActive();
  }
  if (started_) WakeEventThread();  // it samples the status only while a trigger is armed
  Kick();
  return rc;
}

TStatusTriggerType TBaseDispatcher::StatusTriggerType(uint16_t handle) const {
  std::lock_guard lock(lock_);
  const TStatusTrigger* t = triggers_.FindStatus(handle);
  return t ? t->type : stNotActive;
}

TSavedTriggers TBaseDispatcher::SaveTriggers() const {
  std::lock_guard lock(lock_);
  return TSavedTriggers{triggers_};
}

void TBaseDispatcher::RestoreTriggers(const TSavedTriggers& saved) {
  {
    std::lock_guard lock(lock_);
    triggers_ = saved.lists;
    triggers_.ResetMatches();
    statusPolling_ = triggers_.AnyStatusActive();
  }
  if (started_) WakeEventThread();
  Kick();
}

void TBaseDispatcher::RegisterWindow(TComWindow* window) {
  {
    std::lock_guard lock(lock_);
    windows_.push_back({window, false});
  }
  if (log_.Recording())
    log_.Add(LogType::TrgHdAlc, LogSubtype::Window, uint32_t(reinterpret_cast<uintptr_t>(window)));
  AnnounceAgain();
}

void TBaseDispatcher::DeregisterWindow(TComWindow* window) {
  {
    std::lock_guard lock(lock_);
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
      if (it->window != window) continue;
      if (delivering_)
        it->deleted = true;
      else
        windows_.erase(it);
      break;
    }
  }
  if (log_.Recording())
    log_.Add(LogType::TrgHdDsp, LogSubtype::Window, uint32_t(reinterpret_cast<uintptr_t>(window)));
}

void TBaseDispatcher::SetEventsWanted(bool wanted) {
  {
    std::lock_guard lock(lock_);
    eventsWanted_ = wanted;
  }
  AnnounceAgain();
}

void TBaseDispatcher::AnnounceAgain() {
  // A receiver that starts listening learns of the bytes already waiting, even when no
  // more are coming (a full ring keeps further bytes in the driver).
  {
    std::lock_guard in(inLock_);
    rxAnnounced_ = rxConsumed_;
  }
  Kick();
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatcher's three threads and the work of the dispatch thread: moving received
// bytes into the ring, announcing them, and firing data, status and timer triggers.

#include <algorithm>

#include "platform/Exception.h"
#include "serial/ComWindow.h"
#include "serial/Dispatcher.h"

namespace vemo {

namespace {

// Modem lines, line errors and the driver's output queue have no device event on this
// platform: while a status trigger is armed they are looked at on this tick.
constexpr std::chrono::milliseconds kStatusTick{50};

}  // namespace

void TBaseDispatcher::StartThreads() {
  if (started_) throw Exception("Dispatcher already started");
  started_ = true;
  kill_ = false;
  running_ = 3;
  eventThread_ = std::thread(&TBaseDispatcher::EventThreadMain, this);
  dispatchThread_ = std::thread(&TBaseDispatcher::DispatchThreadMain, this);
  outputThread_ = std::thread(&TBaseDispatcher::OutputThreadMain, this);
}

void TBaseDispatcher::RequestStop() {
  kill_ = true;
  {
    std::lock_guard out(outLock_);
    outCv_.notify_all();
  }
  if (DeviceOpen()) {
    WakeEventThread();
    WakeDispatchThread();
    WakeOutputThread();
  }
  {
    // A delivery waiting for the GUI thread gives up at once.
    std::lock_guard lock(lock_);
    for (const WindowEntry& w : windows_) w.window->Wake();
  }
  JoinThreads(false);
}

void TBaseDispatcher::Shutdown() {
  if (started_) {
    RequestStop();
    JoinThreads(true);
    started_ = false;
  }
  if (DeviceOpen()) {
    // Unsent bytes are dropped: closing must not wait for a line held by flow control.
    PurgeDevice(true, true);
    CloseDevice();
  }
  std::lock_guard out(outLock_);
  tx_.Clear();
}

void TBaseDispatcher::JoinThreads(bool includingDispatch) {
  if (eventThread_.joinable()) eventThread_.join();
  if (outputThread_.joinable()) outputThread_.join();
  if (includingDispatch && dispatchThread_.joinable()) dispatchThread_.join();
}

bool TBaseDispatcher::ThreadsRunning() const {
  return running_.load() > 0;
}

void TBaseDispatcher::Kick(uint32_t events) {
  if (events) {
    std::lock_guard ev(evLock_);
    pendingEvents_ |= events;
  }
  if (DeviceOpen()) WakeDispatchThread();
}

void TBaseDispatcher::EventThreadMain() {
  while (!kill_) {
    uint32_t ev = WaitDeviceStatus(statusPolling_ ? int(kStatusTick.count()) : -1);
    if (kill_) break;
    if (ev & kEvHangup) {
      // Noticed even while a delivery holds the dispatch thread: sends fail from now on.
      hungUp_ = true;
      Kick(kEvHangup);
    } else if (statusPolling_) {
      SampleStatus();
      Kick(kEvStatus);
    }
  }
  --running_;
}

void TBaseDispatcher::SampleStatus() {
  RefreshModemStatus();
  uint8_t fresh = hungUp_ ? 0 : ReadLineErrors();
  std::lock_guard lock(lock_);
  lineErrors_ |= fresh;
}

int TBaseDispatcher::MsToNextTimer() {
  std::optional<std::chrono::steady_clock::time_point> due;
  {
    std::lock_guard lock(lock_);
    due = triggers_.NextTimerDue();
  }
  if (!due) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now());
  return int(std::clamp<int64_t>(left.count(), 0, 60000));
}

void TBaseDispatcher::DispatchThreadMain() {
  while (!kill_) {
    uint32_t ev = WaitDeviceInput(!rxBlocked_ && !hungUp_, MsToNextTimer());
    if (kill_) break;
    {
      std::lock_guard lock(evLock_);
      ev |= std::exchange(pendingEvents_, 0);
    }
    if (ev & kEvHangup) {
      hungUp_ = true;
      if (log_.Recording()) log_.Add(LogType::Error, LogSubtype::LineStatus, kEvHangup);
    }
    // A hang-up may leave bytes the device delivered before it went.
    if (ev & (kEvRxChar | kEvHangup)) MoveToRing();
    ScanAndAnnounce();
    if (statusPolling_ && !kill_) CheckStatusTriggers();
    if (!kill_) CheckTimerTriggers();
  }
  --running_;
}

void TBaseDispatcher::MoveToRing() {
  std::lock_guard in(inLock_);
  for (;;) {
    std::span<uint8_t> room = rx_.WriteSpan();
    if (room.empty()) {
      // Further bytes stay in the driver until the program reads.
      rxBlocked_ = true;
      return;
    }
    int n = ReadDevice(room.data(), room.size());
    if (n == kDeviceGone) {
      hungUp_ = true;
      return;
    }
    if (n <= 0) return;
    rx_.Commit(size_t(n));
    rxTotal_ += size_t(n);
    std::span<const uint8_t> got(room.data(), size_t(n));
    trace_.Add(Trace::kReceive, got);
    if (log_.Recording()) log_.Add(LogType::Dispatch, LogSubtype::ReadCom, uint32_t(n), got);
    if (size_t(n) < room.size()) return;
  }
}

void TBaseDispatcher::ScanAndAnnounce() {
  bool scan;
  {
    std::lock_guard lock(lock_);
    scan = triggers_.HasDataTriggers();
  }
  std::vector<uint8_t> fresh;
  {
    std::lock_guard in(inLock_);
    if (scan) {
      uint64_t from = std::max(rxScanned_, rxConsumed_);
      fresh.resize(size_t(rxTotal_ - from));
      rx_.Peek(size_t(from - rxConsumed_), fresh.data(), fresh.size());
    }
    rxScanned_ = rxTotal_;
  }
  std::vector<uint16_t> hits;
  if (!fresh.empty()) {
    std::lock_guard lock(lock_);
    for (uint8_t b : fresh)
      for (uint16_t h : triggers_.MatchByte(b)) hits.push_back(h);
  }
  // Pending data is announced before the data triggers that it completes.
  while (AnnounceAvail()) {
  }
  for (uint16_t h : hits) {
    if (kill_) return;
    bool answered;
    if (log_.Recording()) log_.Add(LogType::Trigger, LogSubtype::Data, h);
    Deliver(kTriggerData, h, h, answered);
  }
}

bool TBaseDispatcher::AnnounceAvail() {
  uint16_t length;
  {
    std::lock_guard lock(lock_);
    if (!eventsWanted_ || windows_.empty()) return false;
    length = triggers_.availLength;
  }
  size_t avail;
  {
    std::lock_guard in(inLock_);
    avail = rx_.Count();
    if (length == 0 || rxTotal_ == rxAnnounced_ || avail < length) return false;
    rxAnnounced_ = rxTotal_;
  }
  if (kill_) return false;
  uint16_t count = uint16_t(std::min<size_t>(avail, 0xFFFF));
  if (log_.Recording()) log_.Add(LogType::Trigger, LogSubtype::Avail, count);
  bool answered;
  size_t took = Deliver(kTriggerAvail, count, 0, answered);
  if (kill_) return false;
  // A receiver that took part of the data, or a GUI thread that did not answer in time,
  // gets the rest announced again; one that took nothing waits for more data.
  if (!answered || (took > 0 && took < count)) {
    std::lock_guard in(inLock_);
    rxAnnounced_ = rxConsumed_;
    return true;
  }
  return false;
}

size_t TBaseDispatcher::Deliver(uint16_t msg, uint16_t wParam, uint16_t data, bool& answered) {
  answered = true;
  std::vector<TComWindow*> targets;
  {
    std::lock_guard lock(lock_);
    if (!eventsWanted_) return 0;
    for (const WindowEntry& w : windows_)
      if (!w.deleted) targets.push_back(w.window);
    if (targets.empty()) return 0;
    delivering_ = true;
  }
  // Reads by the receiver being called peek; what anyone took is released at the end.
  // Each step is one critical section, so a read from outside the delivery always finds
  // the bookkeeping whole.
  const bool peek = msg == kTriggerAvail || msg == kTriggerData;
  if (peek) {
    std::lock_guard in(inLock_);
    peeking_ = true;
    taken_ = handedOut_ = 0;
  }
  TComMessage m{msg, wParam, uint32_t(data) | (uint32_t(handle_) << 16)};
  bool first = true;
  for (TComWindow* w : targets) {
    {
      std::lock_guard lock(lock_);
      auto it = std::find_if(windows_.begin(), windows_.end(),
                             [w](const WindowEntry& e) { return e.window == w; });
      if (it == windows_.end() || it->deleted) continue;
    }
    if (peek) {
      // Every receiver reads from the front, except that the first skips what was taken
      // from outside since the delivery began.
      std::lock_guard in(inLock_);
      taken_ = first ? handedOut_ : 0;
      first = false;
      if (++deliverySeq_ == 0) ++deliverySeq_;
      m.delivery = receiving_ = deliverySeq_;
    }
    if (!w->Send(m, kSendTimeout, kill_)) answered = false;
    if (peek) {
      // A receiver still running after the time-out reads as anyone else from now on.
      std::lock_guard in(inLock_);
      receiving_ = 0;
    }
    if (kill_) break;
  }
  size_t largest = 0;
  bool freed = false;
  if (peek) {
    std::lock_guard in(inLock_);
    largest = handedOut_;
    peeking_ = false;
    taken_ = handedOut_ = 0;
    freed = largest > 0 && rx_.Full();
    rx_.Consume(largest);
    rxConsumed_ += largest;
  }
  if (freed && rxBlocked_.exchange(false)) WakeEventThread();
  std::lock_guard lock(lock_);
  delivering_ = false;
  std::erase_if(windows_, [](const WindowEntry& e) { return e.deleted; });
  return largest;
}

void TBaseDispatcher::CheckStatusTriggers() {
  size_t used, freeRoom;
  bool idle;
  {
    std::lock_guard out(outLock_);
    used = tx_.Count();
    freeRoom = tx_.Free();
    idle = !writing_;
  }
  bool sent = used == 0 && idle && (hungUp_ || DriverOutQueue() == 0);
  std::vector<uint16_t> fire;
  {
    std::lock_guard lock(lock_);
    for (TStatusTrigger& t : triggers_.Status()) {
      if (!t.active) continue;
      bool hit = false;
      switch (t.type) {
        case stModem:
          hit = (modemStatus_ & 0x0F & t.value) != 0;
          break;
        case stLine:
          hit = (lineErrors_ & t.value) != 0;
          break;
        case stOutBuffFree:
          hit = freeRoom >= t.value;
          break;
        case stOutBuffUsed:
          hit = used <= t.value;
          break;
        case stOutSent:
          hit = outSentArmed_ && sent;
          break;
        case stNotActive:
          break;
      }
      if (!hit) continue;
      // Status triggers fire once; the program arms them again.
      t.active = false;
      if (t.type == stOutSent) outSentArmed_ = false;
      fire.push_back(t.handle);
    }
    statusPolling_ = triggers_.AnyStatusActive();
  }
  for (uint16_t h : fire) {
    if (kill_) return;
    if (log_.Recording()) log_.Add(LogType::Trigger, LogSubtype::Status, h);
    bool answered;
    Deliver(kTriggerStatus, h, h, answered);
  }
}

void TBaseDispatcher::CheckTimerTriggers() {
  std::vector<uint16_t> due;
  {
    std::lock_guard lock(lock_);
    due = triggers_.TakeDueTimers(std::chrono::steady_clock::now());
  }
  for (uint16_t h : due) {
    if (kill_) return;
    if (log_.Recording()) log_.Add(LogType::Trigger, LogSubtype::Timer, h);
    bool answered;
    Deliver(kTriggerTimer, h, h, answered);
  }
}

void TBaseDispatcher::OutputThreadMain() {
  std::unique_lock out(outLock_);
  for (;;) {
    outCv_.wait(out, [&] { return kill_ || (!tx_.Empty() && !hungUp_ && !holdOutput_); });
    if (kill_) break;
    // Only this thread consumes the ring and nobody else touches the bytes of a held run,
    // so the run can be written with the lock released.
    std::span<const uint8_t> run = tx_.ReadSpan();
    writing_ = true;
    out.unlock();
    int n = WriteDevice(run.data(), run.size());
    if (n == 0 && WaitWritable() == kDeviceGone) n = kDeviceGone;
    out.lock();
    writing_ = false;
    if (n > 0) {
      tx_.Consume(size_t(n));
    } else if (n == kDeviceGone) {
      hungUp_ = true;
      tx_.Clear();
    } else if (n < 0) {
      tx_.Consume(run.size());  // the driver refused this run: drop it, keep going
    }
    outCv_.notify_all();
    if (statusPolling_) {
      out.unlock();
      Kick();  // output levels and output-sent triggers
      out.lock();
    }
  }
  --running_;
}

}  // namespace vemo

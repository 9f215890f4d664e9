// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/EventLog.h"

#include <algorithm>
#include <new>

#include "serial/SerialErrors.h"

namespace vemo {
namespace {

std::int64_t NowTicks() {
  return std::chrono::steady_clock::now().time_since_epoch().count();
}

void Put32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

}  // namespace

EventLog::EventLog() : startTicks_(NowTicks()) {}

void EventLog::RestartClock() {
  startTicks_ = NowTicks();
}

int EventLog::Start(std::uint32_t size) {
  if (size == 0 || size > kMaxBytes) return ecBadArgument;
  try {
    buffer_.assign(size, 0);
  } catch (const std::bad_alloc&) {
    buffer_ = {};
    state_ = tlOff;
    recording_ = false;
    return ecOutOfMemory;
  }
  head_ = tail_ = used_ = 0;
  state_ = tlOn;
  recording_ = true;
  return ecOK;
}

int EventLog::Control(TTraceLogState request, const LogOptions& options) {
  std::unique_lock lock(mutex_);
  switch (request) {
    case tlOn:
      if (state_ == tlPause) {
        state_ = tlOn;
        recording_ = true;
        return ecOK;
      }
      return Start(options.size);
    case tlPause:
      if (state_ == tlOn) {
        state_ = tlPause;
        recording_ = false;
      }
      return ecOK;
    case tlClear:
      head_ = tail_ = used_ = 0;
      return ecOK;
    case tlOff:
      buffer_ = {};
      head_ = tail_ = used_ = 0;
      state_ = tlOff;
      recording_ = false;
      return ecOK;
    case tlDump:
    case tlAppend:
      if (state_ == tlOff) return ecOK;
      break;
  }
  lock.unlock();
  return WriteFile(TakeEntries(), options, request == tlAppend);
}

int EventLog::Resize(const LogOptions& options) {
  std::lock_guard lock(mutex_);
  if (state_ == tlOn) return Start(options.size);
  if (state_ == tlPause) {
    buffer_ = {};
    head_ = tail_ = used_ = 0;
    state_ = tlOff;
  }
  return ecOK;
}

TTraceLogState EventLog::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void EventLog::Add(LogType type, LogSubtype subtype, std::uint32_t data,
                   std::span<const std::uint8_t> extra) {
  if (!Recording()) return;
  const auto elapsed = std::chrono::steady_clock::duration(NowTicks() - startTicks_);
  LogEntry entry;
  entry.type = type;
  entry.subtype = subtype;
  entry.timeMs = static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
  entry.data = data;
  entry.extra.assign(extra.begin(), extra.end());
  Put(entry);
}

void EventLog::Add(const LogEntry& entry) {
  if (Recording()) Put(entry);
}

void EventLog::Write(std::size_t at, const std::uint8_t* bytes, std::size_t count) {
  const std::size_t first = std::min(count, buffer_.size() - at);
  std::copy(bytes, bytes + first, buffer_.begin() + static_cast<std::ptrdiff_t>(at));
  std::copy(bytes + first, bytes + count, buffer_.begin());
}

void EventLog::Read(std::size_t at, std::uint8_t* bytes, std::size_t count) const {
  const std::size_t first = std::min(count, buffer_.size() - at);
  const auto from = buffer_.begin() + static_cast<std::ptrdiff_t>(at);
  std::copy(from, from + static_cast<std::ptrdiff_t>(first), bytes);
  std::copy(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count - first),
            bytes + first);
}

void EventLog::Put(const LogEntry& entry) {
  std::lock_guard lock(mutex_);
  if (state_ != tlOn) return;
  const std::size_t capacity = buffer_.size();
  const std::size_t size = kHeaderBytes + entry.extra.size();
  if (size >= capacity) return;
  while (capacity - used_ < size) {  // drop the oldest entries until this one fits
    std::uint8_t header[kHeaderBytes];
    Read(tail_, header, kHeaderBytes);
    const std::size_t oldest = kHeaderBytes + Get32(header + 10);
    tail_ = (tail_ + oldest) % capacity;
    used_ -= oldest;
  }
  std::uint8_t header[kHeaderBytes];
  header[0] = static_cast<std::uint8_t>(entry.type);
  header[1] = static_cast<std::uint8_t>(entry.subtype);
  Put32(header + 2, entry.timeMs);
  Put32(header + 6, entry.data);
  Put32(header + 10, static_cast<std::uint32_t>(entry.extra.size()));
  Write(head_, header, kHeaderBytes);
  Write((head_ + kHeaderBytes) % capacity, entry.extra.data(), entry.extra.size());
  head_ = (head_ + size) % capacity;
  used_ += size;
}

std::vector<LogEntry> EventLog::TakeEntries() {
  std::vector<LogEntry> entries;
  std::lock_guard lock(mutex_);
  for (std::size_t at = tail_, left = used_; left >= kHeaderBytes;) {
    std::uint8_t header[kHeaderBytes];
    Read(at, header, kHeaderBytes);
    LogEntry& entry = entries.emplace_back();
    entry.type = static_cast<LogType>(header[0]);
    entry.subtype = static_cast<LogSubtype>(header[1]);
    entry.timeMs = Get32(header + 2);
    entry.data = Get32(header + 6);
    entry.extra.resize(Get32(header + 10));
    Read((at + kHeaderBytes) % buffer_.size(), entry.extra.data(), entry.extra.size());
    const std::size_t size = kHeaderBytes + entry.extra.size();
    at = (at + size) % buffer_.size();
    left -= size;
  }
  buffer_ = {};
  head_ = tail_ = used_ = 0;
  state_ = tlOff;
  recording_ = false;
  return entries;
}

}  // namespace vemo

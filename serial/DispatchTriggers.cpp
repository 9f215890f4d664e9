// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/DispatchTriggers.h"

#include <algorithm>
#include <cctype>

#include "serial/SerialErrors.h"

namespace vemo {

namespace {

// Data triggers longer than this cannot be matched against the receive ring's history.
constexpr size_t kMaxDataTrigger = 255;
constexpr size_t kMaxTriggers = 1000;

template <typename List>
auto FindHandle(List& list, uint16_t handle) {
  return std::find_if(list.begin(), list.end(),
                      [handle](const auto& t) { return t.handle == handle; });
}

}  // namespace

uint16_t TTriggerLists::NewHandle() {
  // Handles stay unique over the life of the lists, which outlive reopenings.
  for (;;) {
    uint16_t h = nextHandle_++;
    if (nextHandle_ == 0) nextHandle_ = 1;
    if (h != 0 && FindHandle(data_, h) == data_.end() && FindHandle(timers_, h) == timers_.end() &&
        FindHandle(status_, h) == status_.end())
      return h;
  }
}

int TTriggerLists::AddData(const std::string& match, bool ignoreCase) {
  if (match.empty()) return ecBadArgument;
  if (match.size() > kMaxDataTrigger) return ecTriggerTooLong;
  if (data_.size() >= kMaxTriggers) return ecNoMoreTriggers;
  TDataTrigger t;
  t.handle = NewHandle();
  t.match = match;
  t.ignoreCase = ignoreCase;
  if (ignoreCase)
    std::transform(t.match.begin(), t.match.end(), t.match.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  data_.push_back(t);
  return t.handle;
}

int TTriggerLists::AddTimer() {
  if (timers_.size() >= kMaxTriggers) return ecNoMoreTriggers;
  TTimerTrigger t;
  t.handle = NewHandle();
  timers_.push_back(t);
  return t.handle;
}

int TTriggerLists::AddStatus(TStatusTriggerType type) {
  if (type < stModem || type > stOutSent) return ecBadArgument;
  if (status_.size() >= kMaxTriggers) return ecNoMoreTriggers;
  TStatusTrigger t;
  t.handle = NewHandle();
  t.type = type;
  status_.push_back(t);
  return t.handle;
}

int TTriggerLists::Remove(uint16_t handle) {
  if (auto it = FindHandle(data_, handle); it != data_.end()) {
    data_.erase(it);
    return 0;
  }
  if (auto it = FindHandle(timers_, handle); it != timers_.end()) {
    timers_.erase(it);
    return 0;
  }
  if (auto it = FindHandle(status_, handle); it != status_.end()) {
    status_.erase(it);
    return 0;
  }
  return ecBadTriggerHandle;
}

int TTriggerLists::SetTimer(uint16_t handle, uint32_t ticks, bool activate,
                            std::chrono::steady_clock::time_point now) {
  auto it = FindHandle(timers_, handle);
  if (it == timers_.end()) return ecBadTriggerHandle;
  it->active = activate;
  it->due = now + kTimerTick * ticks;
  return 0;
}

int TTriggerLists::SetStatus(uint16_t handle, uint16_t value, bool activate) {
  auto it = FindHandle(status_, handle);
  if (it == status_.end()) return ecBadTriggerHandle;
  it->active = activate;
  it->value = value;
  return 0;
}

std::vector<uint16_t> TTriggerLists::MatchByte(uint8_t b) {
  std::vector<uint16_t> hits;
  for (TDataTrigger& t : data_) {
    char c = static_cast<char>(t.ignoreCase ? std::toupper(b) : b);
    // Fall back along the match string's own prefixes so that overlapping
    // occurrences ("aab" in "aaab") are not missed.
    while (t.matched > 0 && t.match[t.matched] != c) {
      size_t k = t.matched - 1;
      for (; k > 0; --k)
        if (t.match.compare(0, k, t.match, t.matched - k, k) == 0) break;
      t.matched = k;
    }
    if (t.match[t.matched] == c) ++t.matched;
    if (t.matched == t.match.size()) {
      hits.push_back(t.handle);
      t.matched = 0;
    }
  }
  return hits;
}

void TTriggerLists::ResetMatches() {
  for (TDataTrigger& t : data_) t.matched = 0;
}

std::vector<uint16_t> TTriggerLists::TakeDueTimers(std::chrono::steady_clock::time_point now) {
  std::vector<uint16_t> due;
  for (TTimerTrigger& t : timers_) {
    if (t.active && t.due <= now) {
      t.active = false;
      due.push_back(t.handle);
    }
  }
  return due;
}

std::optional<std::chrono::steady_clock::time_point> TTriggerLists::NextTimerDue() const {
  std::optional<std::chrono::steady_clock::time_point> next;
  for (const TTimerTrigger& t : timers_)
    if (t.active && (!next || t.due < *next)) next = t.due;
  return next;
}

const TStatusTrigger* TTriggerLists::FindStatus(uint16_t handle) const {
  auto it = FindHandle(status_, handle);
  return it == status_.end() ? nullptr : &*it;
}

bool TTriggerLists::AnyStatusActive() const {
  return std::any_of(status_.begin(), status_.end(), [](const auto& t) { return t.active; });
}

}  // namespace vemo

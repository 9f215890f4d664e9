// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/RigPoller.h"

#include <algorithm>

namespace vemo {

std::int64_t EpochMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

namespace {

constexpr std::chrono::milliseconds kLongestBackOff{30000};

}  // namespace

RigPoller::RigPoller(std::shared_ptr<Rig> rig, std::chrono::milliseconds interval,
                     Observer observer)
    : rig_(std::move(rig)),
      interval_(std::max(interval, std::chrono::milliseconds(20))),
      observer_(std::move(observer)),
      thread_([this] { Run(); }) {}

RigPoller::~RigPoller() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

TRigState RigPoller::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void RigPoller::WaitForFirstPoll(std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  polled_.wait_for(lock, limit, [this] { return polledOnce_; });
}

std::optional<double> RigPoller::FrequencyAt(std::int64_t nowMs) const {
  std::lock_guard lock(mutex_);
  if (!state_.Connected || state_.FrequencyHz <= 0) return std::nullopt;
  if (nowMs - state_.TimeMs > 2 * interval_.count()) return std::nullopt;
  return state_.FrequencyHz;
}

void RigPoller::Publish(TRigState state) {
  bool changed;
  {
    std::lock_guard lock(mutex_);
    changed = state.Connected != state_.Connected || state.Error != state_.Error ||
              state.FrequencyHz != state_.FrequencyHz || state.Mode != state_.Mode ||
              state.Keyed != state_.Keyed || state.Power != state_.Power;
    state_ = state;
    polledOnce_ = true;
  }
  polled_.notify_all();
  if (changed && observer_) observer_(state);
}

void RigPoller::Run() {
  std::chrono::milliseconds wait{0};
  std::chrono::milliseconds backOff = interval_;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      if (wake_.wait_for(lock, wait, [this] { return stopping_; })) return;
    }
    TRigState next;
    try {
      next.FrequencyHz = rig_->Frequency();
      next.TimeMs = EpochMs();
      next.Connected = true;
      // A rig without one of these still gives its frequency.
      try {
        next.Keyed = rig_->Ptt();
      } catch (const RigError& e) {
        if (e.Lost()) throw;
      }
      try {
        next.Mode = rig_->Mode().first;
      } catch (const RigError& e) {
        if (e.Lost()) throw;
      }
      next.Power = rig_->Power();
      wait = interval_;
      backOff = interval_;
    } catch (const RigError& e) {
      next = TRigState{};
      next.Error = e.what();
      next.TimeMs = EpochMs();
      wait = backOff;
      backOff = std::min(backOff * 2, kLongestBackOff);
    }
    Publish(std::move(next));
  }
}

}  // namespace vemo

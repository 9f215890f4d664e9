// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/MonitorExchanges.h"

#include <QMetaObject>

#include <algorithm>

namespace vemo {

MonitorExchanges::MonitorExchanges(TVSWR_Monitor& monitor, LinkTiming timing, QObject* parent)
    : QObject(parent), monitor_(monitor), timing_(timing), timer_(this) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &MonitorExchanges::TimerFired);
  // Bytes arrive one Put at a time, a whole delivery in one go: the reply is looked at
  // once the delivery is over, so that bytes behind a reply never land in the next one.
  connect(&monitor_.RxBuffer(), &TBuffer::Appended, this, [this] {
    if (!pending_ || gatherQueued_) return;
    gatherQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          gatherQueued_ = false;
          Gather();
        },
        Qt::QueuedConnection);
  });
}

void MonitorExchanges::Begin(Completion onFailure) {
  Q_ASSERT(!Busy());
  fail_ = std::move(onFailure);
}

void MonitorExchanges::Identify(Completion done) {
  Begin([this, done](std::exception_ptr failure) {
    monitor_.ForgetIdentification();
    done(failure);
  });
  settled_ = [this, done] {
    Start(TVSWR_Monitor::IdentificationExchange(), [this, done](const std::string& reply) {
      monitor_.ApplyIdentification(reply);
      Complete([&] { done(nullptr); });
    });
  };
  wait_ = Wait::Settle;
  timer_.start(timing_.Settle);
}

void MonitorExchanges::Read(ReadingCompletion done) {
  Begin([done](std::exception_ptr failure) { done({}, failure); });
  ReadFrom(false, done);
}

void MonitorExchanges::ReadFrom(bool again, ReadingCompletion done) {
  Start(monitor_.FullScaleExchange(), [this, again, done](const std::string& fullScale) {
    monitor_.ApplyFullScale(fullScale);
    Start(TVSWR_Monitor::ReadingExchange(), [this, again, done](const std::string& first) {
      TMonitorReading reading;
      monitor_.ApplyReading(first, reading);
      if (!reading.RawMode || again) return Complete([&] { done(reading, nullptr); });
      Start(TVSWR_Monitor::ReadingExchange(), [this, done](const std::string& look) {
        if (!TVSWR_Monitor::IsRawModeReply(look)) return ReadFrom(true, done);
        Start(TVSWR_Monitor::RawModeExchange(), [this, done](const std::string& echo) {
          TVSWR_Monitor::CheckRawModeEcho(echo);
          ReadFrom(true, done);
        });
      });
    });
  });
}

void MonitorExchanges::ResetAlarm(Completion done) {
  Begin(done);
  Start(TVSWR_Monitor::AlarmResetExchange(), [this, done](const std::string& reply) {
    TVSWR_Monitor::CheckAlarmResetEcho(reply);
    Complete([&] { done(nullptr); });
  });
}

void MonitorExchanges::Cancel() {
  timer_.stop();
  wait_ = Wait::None;
  pending_.reset();
  settled_ = nullptr;
  fail_ = nullptr;
  failure_ = nullptr;
}

void MonitorExchanges::Start(const TExchange& exchange, Step then) {
  try {
    monitor_.SendExchange(exchange);
  } catch (...) {
    FailSoon(std::current_exception());
    return;
  }
  pending_ = Pending{exchange,
                     {},
                     ReplyDeadline(*timing_.ReplyClock, exchange.LimitSeconds),
                     false,
                     std::move(then)};
  pending_->reply.reserve(exchange.ReplyLength);
  wait_ = Wait::Reply;
  // Bytes already held (an exchange that keeps the buffer) are looked at from the event
  // loop too, so that a completion never runs inside the call that started the exchange.
  if (monitor_.RxBuffer().Count() > 0)
    timer_.start(0);
  else
    ArmReplyTimer();
}

void MonitorExchanges::ArmReplyTimer() {
  const auto remaining = pending_->deadline - timing_.ReplyClock->Now();
  timer_.start(ReplyWaitSlice(std::max<std::chrono::nanoseconds>(remaining, {})));
}

void MonitorExchanges::Gather() {
  if (!pending_) return;
  Pending& p = *pending_;
  while (TakeReplyBytes(monitor_.RxBuffer(), p.reply, p.exchange.ReplyLength)) {
    if (p.exchange.Align && !p.aligned) {
      p.aligned = true;
      try {
        p.exchange.Align(p.reply);
      } catch (...) {
        Fail(std::current_exception());
        return;
      }
      if (p.reply.size() < p.exchange.ReplyLength) {
        // Stray bytes were dropped: the rest of the reply has a limit of its own.
        p.deadline = ReplyDeadline(*timing_.ReplyClock, p.exchange.LimitSeconds);
        continue;
      }
    }
    timer_.stop();
    wait_ = Wait::None;
    const Step then = std::move(p.then);
    const std::string reply = std::move(p.reply);
    pending_.reset();
    try {
      then(reply);
    } catch (...) {
      Fail(std::current_exception());
    }
    return;
  }
}

void MonitorExchanges::TimerFired() {
  switch (wait_) {
    case Wait::None:
      return;
    case Wait::Settle: {
      wait_ = Wait::None;
      const std::function<void()> next = std::move(settled_);
      settled_ = nullptr;
      next();
      return;
    }
    case Wait::Failure:
      Fail(failure_);
      return;
    case Wait::Reply: {
      Gather();
      if (wait_ != Wait::Reply || !pending_) return;
      // The same test as the blocking wait's: the limit has passed by the wall clock.
      if (timing_.ReplyClock->Now() > pending_->deadline)
        Fail(std::make_exception_ptr(EReplyTimeout("Timeout")));
      else
        ArmReplyTimer();
      return;
    }
  }
}

void MonitorExchanges::Complete(const std::function<void()>& done) {
  fail_ = nullptr;
  done();
}

void MonitorExchanges::FailSoon(std::exception_ptr failure) {
  pending_.reset();
  failure_ = std::move(failure);
  wait_ = Wait::Failure;
  timer_.start(0);
}

void MonitorExchanges::Fail(std::exception_ptr failure) {
  const Completion fail = std::move(fail_);
  Cancel();
  // Only a completion that raised can get here without an operation: a fault of its own.
  if (!fail) std::rethrow_exception(failure);
  fail(failure);
}

}  // namespace vemo

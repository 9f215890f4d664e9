#include "app/service/MonitorPoller.h"

#include "app/service/ServiceJson.h"
#include "app/service/ServiceLog.h"
#include "monitor/DateTime.h"
#include "serial/SerialErrors.h"
#include "station/AlarmLog.h"
#include "station/Readout.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>

namespace vemo::service {

namespace {

// Failures of readings in a row that pass before the port is closed, as in the program.
constexpr int kSilentFailures = 3;
constexpr int kSettleMs = 1000;
constexpr int kFirstBackoffMs = 1000;
constexpr int kMaxBackoffMs = 30'000;
// The monitor settles its relays before a reading shows the reset alarm.
constexpr int kAfterResetMs = 500;

// Every reading for the page's ten minutes and a little more, then one summary a minute
// for a day: the memory of many monitors stays bounded; Prometheus keeps the long term.
constexpr qint64 kRawWindowMs = 15 * 60 * 1000LL;
constexpr qint64 kArchiveWindowMs = 24 * 3600 * 1000LL;

constexpr int kMaxDeferMs = 5000;
constexpr int kDeferRetryMs = 10;

// Exchanges under way on this thread, nested in each other's waits.
int exchangesRunning = 0;

qint64 NowMs() {
  return QDateTime::currentMSecsSinceEpoch();
}

std::string Trimmed(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// The session raises "Timeout" (or a text that starts with it) when no reply came.
ErrorKind KindOf(const std::exception& e) {
  return std::string_view(e.what()).starts_with("Timeout") ? ErrorKind::Timeout
                                                           : ErrorKind::Protocol;
}

}  // namespace

const char* ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Timeout:
      return "timeout";
    case ErrorKind::Protocol:
      return "protocol";
    case ErrorKind::Port:
      return "port";
  }
  return "protocol";
}

int MonitorPoller::BackoffMs(int attempt) {
  int ms = kFirstBackoffMs;
  for (int i = 1; i < attempt && ms < kMaxBackoffMs; ++i) ms *= 2;
  return std::min(ms, kMaxBackoffMs);
}

MonitorPoller::MonitorPoller(MonitorConfig config, QObject* parent)
    : QObject(parent),
      config_(std::move(config)),
      history_(THistoryOptions{kRawWindowMs, kArchiveWindowMs}),
      alarms_(config_.Alarms) {
  if (!config_.HistoryDb.empty()) {
    store_ = std::make_unique<HistoryStore>(
        config_.HistoryDb, TStoreOptions{},
        // On the writer thread: the log takes whole lines from any thread.
        [name = config_.Name.toStdString()](bool failing, const std::string& message) {
          LogLine(failing ? "error" : "warning", "monitor=" + name + " history=\"" + message + '"');
        });
    store_->LoadInto(history_, NowMs());
  }
  port_.SetBaud(9600);
  port_.SetDataBits(8);
  port_.SetParity(pNone);
  port_.SetStopBits(1);
  port_.SetHWFlowOptions(0);
  port_.SetSWFlowOptions(swfNone);
  port_.SetPromptForPort(false);
  port_.SetComNumber(static_cast<uint16_t>(config_.ComNumber));
  port_.SetOnTriggerAvail(
      [this](TCustomComPort& cp, uint16_t count) { ComObjTriggerAvail(cp, count); });
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &MonitorPoller::Tick);
}

MonitorPoller::~MonitorPoller() {
  port_.SetOnTriggerAvail({});
  ClosePort();
}

void MonitorPoller::Log(const char* level, const std::string& text) const {
  LogLine(level, "monitor=" + config_.Name.toStdString() + " " + text);
}

void MonitorPoller::Start() {
  stopped_ = false;
  Publish(alarms_.SetPolling(true, NowMs()));
  Connect();
}

void MonitorPoller::Stop() {
  stopped_ = true;
  timer_.stop();
  if (!inExchange_) ClosePort();
}

void MonitorPoller::ClosePort() {
  try {
    port_.SetOpen(false);
  } catch (const std::exception&) {
    // A port whose device has gone is closed all the same.
  }
}

void MonitorPoller::Connect() {
  state_.Phase = "connecting";
  try {
    port_.SetOpen(true);
  } catch (const std::exception& e) {
    ReadingFailed(ErrorKind::Port, e.what(), true);
    return;
  }
  buffer_.Clear();
  // The monitor is identified after a second with events running, as the program does.
  timer_.start(kSettleMs);
}

void MonitorPoller::Identify() {
  try {
    monitor_.CommandI();
  } catch (const ESerialException& e) {
    ReadingFailed(ErrorKind::Port, e.message(), true);
    return;
  } catch (const std::exception& e) {
    ReadingFailed(port_.DeviceLost() ? ErrorKind::Port : KindOf(e), e.what(), true);
    return;
  }
  state_.Model = Trimmed(monitor_.ModelId());
  state_.Firmware = DateToIso(monitor_.FirmwareDate());
  state_.Phase = "polling";
  Log("info", "identified model=" + state_.Model + " firmware=" + state_.Firmware);
  timer_.start(0);
}

void MonitorPoller::Tick() {
  if (stopped_) return;
  // An exchange waits in a local event loop, and an exchange that starts during that wait
  // runs inside it: the outer one cannot end before the inner one. An exchange likely to
  // run into its time limit (an identification, a monitor that just failed) therefore
  // waits until no other exchange is under way, so that it never holds up a monitor that
  // answers; for at most kMaxDeferMs, so that a busy line cannot starve it.
  const bool suspect = state_.Phase == "connecting" || (state_.Phase == "polling" && !state_.Up);
  if (suspect && exchangesRunning > 0) {
    if (!deferredSince_.isValid()) deferredSince_.start();
    if (deferredSince_.elapsed() < kMaxDeferMs) {
      timer_.start(kDeferRetryMs);
      return;
    }
  }
  deferredSince_.invalidate();
  const bool exchange = state_.Phase != "waiting";
  inExchange_ = true;
  if (exchange) ++exchangesRunning;
  if (state_.Phase == "connecting")
    Identify();
  else if (state_.Phase == "waiting")
    Connect();
  else
    TakeReading();
  if (exchange) --exchangesRunning;
  inExchange_ = false;
  if (stopped_) ClosePort();
}

void MonitorPoller::TakeReading() {
  QElapsedTimer started;
  started.start();
  try {
    if (resetPending_) {
      resetPending_ = false;
      monitor_.CommandA();
      Log("info", "alarm reset");
      timer_.start(kAfterResetMs);
      return;
    }
    TMonitorReading reading;
    monitor_.GetReading(reading);
    if (reading.RawMode) {
      // Unscaled numbers: take the monitor out of raw mode and read again.
      monitor_.SetRawMode(false);
      monitor_.GetReading(reading);
    }
    const qint64 now = NowMs();
    failuresInARow_ = 0;
    attempts_ = 0;
    state_.FullScale = monitor_.FullScale();
    ++state_.ReadingsTotal;
    const Implausibility why = JudgeReading(reading);
    NoteImplausible(now, reading, why);
    if (why == Implausibility::None) {
      state_.Reading = reading;
      state_.ReadingTimeMs = now;
      history_.Append(now, HistoryReadingOf(reading));
      if (store_) store_->Add(now, reading, Keyed(config_.Alarms, reading.Forward));
    } else {
      history_.AppendGap(now);  // no measurement; the last good values stay with their time
      if (store_) store_->Add(now, reading, false);
    }
    SetUp(true);
    PublishReading();
    if (store_) {
      const TDriftBaseline& baseline = baseline_.At(*store_, now);
      if (!(baseline == alarms_.Baseline())) Publish(alarms_.SetBaseline(baseline, now));
    }
    Publish(why == Implausibility::None ? alarms_.Reading(now, reading)
                                        : alarms_.ReadingFailed(now));
  } catch (const ESerialException& e) {
    ReadingFailed(ErrorKind::Port, e.message(), true);
    return;
  } catch (const std::exception& e) {
    const bool lost = port_.DeviceLost();
    ReadingFailed(lost ? ErrorKind::Port : KindOf(e), e.what(),
                  lost || failuresInARow_ + 1 > kSilentFailures);
    if (state_.Phase != "polling") return;
  }
  if (stopped_) return;
  // The interval counts from the start of the reading, so the exchange does not stretch it.
  timer_.start(std::max<int>(0, config_.IntervalMs - static_cast<int>(started.elapsed())));
}

void MonitorPoller::ReadingFailed(ErrorKind kind, const std::string& message, bool giveUp) {
  const qint64 now = NowMs();
  ++state_.Errors[static_cast<size_t>(kind)];
  ++failuresInARow_;
  if (message != state_.LastError || giveUp)
    Log(giveUp ? "error" : "warning",
        std::string("error=") + ErrorKindName(kind) + " message=\"" + message + "\"");
  state_.LastError = message;
  state_.Reading.reset();
  state_.Implausible.reset();
  if (state_.Phase == "polling") {
    history_.AppendGap(now);
    if (store_) store_->AddGap(now);
  }
  SetUp(false);
  Publish(alarms_.ReadingFailed(now));
  if (giveUp) GiveUp();
}

void MonitorPoller::NoteImplausible(qint64 nowMs, const TMonitorReading& reading,
                                    Implausibility why) {
  if (why == Implausibility::None) {
    if (implausibleInARow_ > 0)
      Log("info",
          "plausible readings again after " + std::to_string(implausibleInARow_) + " implausible");
    implausibleInARow_ = 0;
    state_.Implausible.reset();
    return;
  }
  ++state_.ImplausibleTotal;
  state_.Implausible = reading;
  state_.ImplausibleTimeMs = nowMs;
  if (implausibleInARow_++ == 0)
    Log("warning", std::string("implausible reading (") + ImplausibilityText(why) +
                       ") forward_watts=" + FormatNumber("%.6g", reading.Forward) +
                       " reflected_watts=" + FormatNumber("%.6g", reading.Reflected) +
                       ": not published, the last good values stay");
}

void MonitorPoller::GiveUp() {
  ClosePort();
  failuresInARow_ = 0;
  ++attempts_;
  state_.Phase = "waiting";
  state_.RetryInMs = BackoffMs(attempts_);
  Log("info", "retry_in_ms=" + std::to_string(state_.RetryInMs));
  if (!stopped_) timer_.start(static_cast<int>(state_.RetryInMs));
}

void MonitorPoller::SetUp(bool up) {
  const bool changed = up != state_.Up;
  state_.Up = up;
  if (!changed) return;
  Log("info", up ? "up" : "down");
  for (MonitorObserver* o : observers_) o->OnAvailability(config_.Name, up);
  if (!up) PublishReading();  // the page shows the monitor down at once
}

void MonitorPoller::PublishReading() {
  if (observers_.empty()) return;
  const QByteArray json = MonitorJson(*this);
  for (MonitorObserver* o : observers_) o->OnReading(config_.Name, json);
}

void MonitorPoller::Publish(const std::vector<TAlarmEvent>& events) {
  for (const TAlarmEvent& e : events) {
    Log(e.Change == AlarmChange::Tripped ? "warning" : "info",
        std::string("alarm source=") + AlarmSourceName(e.Source) +
            " event=" + AlarmChangeName(e.Change) + " value=" + AlarmValueText(e.Source, e.Value));
    if (store_) store_->AddEvent(e);
    const QByteArray json = AlarmEventJson(e);
    for (MonitorObserver* o : observers_) o->OnAlarm(config_.Name, json);
  }
}

std::vector<TSummary> MonitorPoller::HistoryColumns(qint64 fromMs, qint64 toMs, int columns) const {
  std::vector<TSummary> out;
  if (store_ && (history_.Empty() || fromMs < history_.OldestMs()) &&
      store_->Read([&](SqliteDb& db) { DecimateStored(db, fromMs, toMs, columns, out); }))
    return out;
  history_.Decimate(fromMs, toMs, columns, out);
  return out;
}

bool MonitorPoller::RequestAlarmReset() {
  if (state_.Phase != "polling") return false;
  resetPending_ = true;
  return true;
}

void MonitorPoller::Acknowledge() {
  Publish(alarms_.Acknowledge(NowMs()));
}

void MonitorPoller::TickAlarms() {
  Publish(alarms_.Tick(NowMs()));
}

void MonitorPoller::ComObjTriggerAvail(TCustomComPort& cp, uint16_t count) {
  try {
    while (count > 0) {
      const auto n = static_cast<uint16_t>(std::min<size_t>(count, staging_.size()));
      cp.ReadBlock(staging_.data(), n);
      for (uint16_t i = 0; i < n; ++i) {
        // Nobody is reading: held bytes are stale noise; the next exchange starts clean.
        if (buffer_.Count() >= TBuffer::Capacity) buffer_.Clear();
        buffer_.Put(staging_[i]);
      }
      count = static_cast<uint16_t>(count - n);
    }
  } catch (const std::exception&) {
    // Bytes gone before they were asked for: the exchange that waits for them times out.
  }
}

}  // namespace vemo::service

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/MonitorPoller.h"

#include "app/service/ServiceLog.h"
#include "monitor/DateTime.h"
#include "platform/Escaped.h"
#include "station/AlarmLog.h"
#include "station/LinkMessages.h"
#include "station/Readout.h"
#include "store/Sqlite.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <algorithm>

namespace vemo::service {

namespace {

constexpr int kFirstBackoffMs = 1000;
constexpr int kMaxBackoffMs = 30'000;
// The monitor settles its relays before a reading shows the reset alarm.
constexpr int kAfterResetMs = 500;
// The link alarm trips while no reading comes; it is judged about once a second.
constexpr int kAlarmTickMs = 1000;

// Every reading for the page's ten minutes and a little more, then one summary a minute
// for a day: the memory of many monitors stays bounded; Prometheus keeps the long term.
constexpr qint64 kRawWindowMs = 15 * 60 * 1000LL;
constexpr qint64 kArchiveWindowMs = 24 * 3600 * 1000LL;

constexpr int kMaxDeferMs = 5000;
constexpr int kDeferRetryMs = 10;

// Exchanges under way on the polling thread, nested in each other's waits.
thread_local int exchangesRunning = 0;

qint64 NowMs() {
  return QDateTime::currentMSecsSinceEpoch();
}

std::string Trimmed(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

ErrorKind ErrorKindOf(LinkFailure failure) {
  switch (failure) {
    case LinkFailure::Timeout:
      return ErrorKind::Timeout;
    case LinkFailure::Protocol:
      return ErrorKind::Protocol;
    default:
      return ErrorKind::Port;
  }
}

}  // namespace

const char* PhaseName(MonitorPhase phase) {
  switch (phase) {
    case MonitorPhase::Starting:
      return "starting";
    case MonitorPhase::Connecting:
      return "connecting";
    case MonitorPhase::Polling:
      return "polling";
    case MonitorPhase::Waiting:
      return "waiting";
  }
  return "starting";
}

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

MonitorPoller::MonitorPoller(MonitorConfig config, LinkTiming timing, QObject* parent)
    : QObject(parent),
      config_(std::move(config)),
      link_(timing),
      history_(THistoryOptions{kRawWindowMs, kArchiveWindowMs}),
      alarms_(config_.Alarms),
      timer_(this),
      alarmTick_(this),
      observerContext_(QCoreApplication::instance()) {
  state_.Name = config_.Name;
  state_.Device = config_.Device;
  state_.IntervalMs = config_.IntervalMs;
  snapshot_ = std::make_shared<const MonitorSnapshot>(state_);
  link_.SetDevice(0, config_.DevicePath);
  if (!config_.HistoryDb.empty()) {
    store_ = std::make_unique<HistoryStore>(
        config_.HistoryDb, TStoreOptions{},
        // On the writer thread: the log takes whole lines from any thread.
        [name = config_.Name.toStdString()](bool failing, const std::string& message) {
          LogLine(failing ? "error" : "warning", "monitor=" + name + " history=\"" + message + '"');
        });
    store_->LoadInto(history_, NowMs());
  }
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &MonitorPoller::Tick);
  connect(&alarmTick_, &QTimer::timeout, this, [this] { Publish(alarms_.Tick(NowMs())); });
  if (!config_.Rig.Any()) return;
  state_.Rig = true;
  try {
    rig_ = std::make_unique<StationRig>(
        config_.Rig, config_.Bands,
        [this](const TRigState& rig, std::vector<TInterlockEvent> events) {
          // From the rig's poll thread to the poller's.
          QMetaObject::invokeMethod(this, [this, rig, events] {
            if (rig.Connected != state_.RigConnected)
              Log(rig.Connected ? "info" : "warning",
                  rig.Connected ? "rig connected" : "rig lost: " + rig.Error);
            state_.RigConnected = rig.Connected;
            Interlocked(events);
            PublishSnapshot();
          });
        });
    rig_->SetBandSettings({}, config_.Alarms);
    state_.InterlockEnabled = rig_->HasInterlock();
  } catch (const std::exception& e) {
    Log("error", std::string("rig: ") + e.what());
  }
  snapshot_ = std::make_shared<const MonitorSnapshot>(state_);
}

MonitorPoller::~MonitorPoller() = default;

void MonitorPoller::Log(const char* level, const std::string& text) const {
  LogLine(level, "monitor=" + config_.Name.toStdString() + " " + text);
}

template <typename F>
void MonitorPoller::Tell(F f) {
  if (observers_.empty() || !observerContext_) return;
  QMetaObject::invokeMethod(
      observerContext_.data(),
      [observers = observers_, f = std::move(f)] {
        for (MonitorObserver* o : observers) f(*o);
      },
      Qt::AutoConnection);
}

std::shared_ptr<const MonitorSnapshot> MonitorPoller::Snapshot() const {
  std::lock_guard lock(snapshotLock_);
  return snapshot_;
}

std::vector<TSummary> MonitorPoller::HistoryColumns(qint64 fromMs, qint64 toMs, int columns) const {
  std::vector<TSummary> out;
  {
    std::lock_guard lock(historyLock_);
    // Spans older than the history held come from the stored minutes.
    if (!store_ || (!history_.Empty() && fromMs >= history_.OldestMs())) {
      history_.Decimate(fromMs, toMs, columns, out);
      return out;
    }
  }
  try {
    if (store_->Read([&](SqliteDb& db) { DecimateStored(db, fromMs, toMs, columns, out); }))
      return out;
  } catch (const StoreError&) {
    // A file that cannot be read answers as if it held nothing older.
  }
  std::lock_guard lock(historyLock_);
  history_.Decimate(fromMs, toMs, columns, out);
  return out;
}

void MonitorPoller::PublishSnapshot() {
  for (AlarmSource source : kAlarmSources)
    state_.Alarms[static_cast<size_t>(source)] = alarms_.State(source);
  state_.Sounding = alarms_.Sounding();
  auto snapshot = std::make_shared<const MonitorSnapshot>(state_);
  {
    std::lock_guard lock(snapshotLock_);
    snapshot_ = snapshot;
  }
  Tell([snapshot](MonitorObserver& o) { o.OnReading(*snapshot); });
}

void MonitorPoller::Start() {
  stopped_ = false;
  stoppedForGood_ = false;
  Publish(alarms_.SetPolling(true, NowMs(), config_.IntervalMs));
  alarmTick_.start(kAlarmTickMs);
  Connect();
}

void MonitorPoller::Stop() {
  stopped_ = true;
  timer_.stop();
  alarmTick_.stop();
  if (inExchange_) return;
  link_.Close();
  stoppedForGood_ = true;
}

void MonitorPoller::Connect() {
  state_.Phase = MonitorPhase::Connecting;
  try {
    link_.Open();
  } catch (const std::exception& e) {
    ReadingFailed(e, true, true);
    return;
  }
  link_.Buffer().Clear();
  // The monitor is identified after its settle pause, with events running as the program
  // has them; the other monitors go on meanwhile.
  timer_.start(link_.Timing().Settle);
}

void MonitorPoller::Identify() {
  try {
    link_.Monitor().CommandI();
  } catch (const std::exception& e) {
    ReadingFailed(e, true);
    return;
  }
  // The identification comes off the line: whatever noise it holds stays readable.
  state_.Model = Escaped(Trimmed(link_.Monitor().ModelId()));
  state_.Firmware = DateToIso(link_.Monitor().FirmwareDate());
  state_.Phase = MonitorPhase::Polling;
  Log("info", "identified model=" + state_.Model + " firmware=" + state_.Firmware);
  PublishSnapshot();
  timer_.start(0);
}

void MonitorPoller::Tick() {
  if (stopped_) return;
  // An exchange waits in a local event loop, and an exchange that starts during that wait
  // runs inside it: the outer one cannot end before the inner one. An exchange likely to
  // run into its time limit (an identification, a monitor that just failed) therefore
  // waits until no other exchange is under way, so that it never holds up a monitor that
  // answers; for at most kMaxDeferMs, so that a busy line cannot starve it.
  const bool suspect = state_.Phase == MonitorPhase::Connecting ||
                       (state_.Phase == MonitorPhase::Polling && !state_.LatestSucceeded);
  if (suspect && exchangesRunning > 0) {
    if (!deferredSince_.isValid()) deferredSince_.start();
    if (deferredSince_.elapsed() < kMaxDeferMs) {
      timer_.start(kDeferRetryMs);
      return;
    }
  }
  deferredSince_.invalidate();
  const bool exchange = state_.Phase != MonitorPhase::Waiting;
  inExchange_ = true;
  if (exchange) ++exchangesRunning;
  if (state_.Phase == MonitorPhase::Connecting)
    Identify();
  else if (state_.Phase == MonitorPhase::Waiting)
    Connect();
  else
    TakeReading();
  if (exchange) --exchangesRunning;
  inExchange_ = false;
  if (stopped_) Stop();
}

void MonitorPoller::TakeReading() {
  QElapsedTimer started;
  started.start();
  try {
    if (resetPending_.exchange(false)) {
      link_.Monitor().CommandA();
      Log("info", "alarm reset");
      timer_.start(kAfterResetMs);
      return;
    }
    const TMonitorReading raw = link_.Read();
    const qint64 now = NowMs();
    std::vector<TAlarmEvent> events;
    const TMonitorReading reading = PlaceOnRig(now, raw, events);
    failuresInARow_ = 0;
    attempts_ = 0;
    state_.LastError.clear();
    state_.FullScale = link_.Monitor().FullScale();
    state_.AnsweredMs = now;
    ++state_.ReadingsTotal;
    const Implausibility why = JudgeReading(reading);
    NoteImplausible(now, reading, why);
    {
      std::lock_guard lock(historyLock_);
      if (why == Implausibility::None)
        history_.Append(now, HistoryReadingOf(reading));
      else
        history_.AppendGap(now);  // no measurement; the last good values stay with their time
    }
    if (why == Implausibility::None) {
      state_.Reading = reading;
      state_.ReadingTimeMs = now;
    }
    SetUp(true);
    if (store_) {
      const TDriftBaseline& baseline = baseline_.At(*store_, now);
      if (!(baseline == alarms_.Baseline())) Publish(alarms_.SetBaseline(baseline, now), false);
    }
    const std::vector<TAlarmEvent> judged = why == Implausibility::None
                                                ? alarms_.Reading(now, reading, state_.FullScale)
                                                : alarms_.ReadingFailed(now);
    events.insert(events.end(), judged.begin(), judged.end());
    // The unkey goes before anything is stored, published or logged.
    if (rig_) Interlocked(rig_->OnAlarms(events));
    // Stored as the window's log keeps it: with the alarms active then, and not keyed when
    // nothing in it can be judged.
    if (store_)
      store_->Add(now, reading,
                  {alarms_.ActiveSources(),
                   why == Implausibility::None &&
                       IsKeyed(alarms_.Levels(), reading.Forward, state_.FullScale)},
                  rig_ ? std::optional<TReadingPlace>({state_.FrequencyHz.value_or(0), state_.Band,
                                                       raw.Forward, raw.Reflected})
                       : std::nullopt);
    PublishSnapshot();
    Publish(events, false);
  } catch (const std::exception& e) {
    const LinkFailure kind = link_.Classify(e);
    ReadingFailed(e, IsPortFailure(kind) || failuresInARow_ + 1 > kSilentFailures);
    if (state_.Phase != MonitorPhase::Polling) return;
  }
  if (stopped_) return;
  // The interval counts from the start of the reading, so the exchange does not stretch it.
  timer_.start(std::max<int>(0, config_.IntervalMs - static_cast<int>(started.elapsed())));
}

void MonitorPoller::ReadingFailed(const std::exception& e, bool giveUp, bool opening) {
  const qint64 now = NowMs();
  const ErrorKind kind = ErrorKindOf(link_.Classify(e));
  bool byNumber = false;
  const int portNumber = config_.Device.toInt(&byNumber);
  const std::string path = link_.Port().EffectiveDevicePath();
  const std::string message = LinkFailureMessage(e, opening, link_.DeviceLost(),
                                                 LinkName(portNumber, path, byNumber), path);
  ++state_.Errors[static_cast<size_t>(kind)];
  ++failuresInARow_;
  if (message != state_.LastError || giveUp)
    Log(giveUp ? "error" : "warning",
        std::string("error=") + ErrorKindName(kind) + " message=\"" + message + "\"");
  state_.LastError = message;
  state_.Reading.reset();
  state_.Implausible.reset();
  if (state_.Phase == MonitorPhase::Polling) {
    std::lock_guard lock(historyLock_);
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
  link_.Close();
  failuresInARow_ = 0;
  ++attempts_;
  state_.Phase = MonitorPhase::Waiting;
  state_.RetryInMs = BackoffMs(attempts_);
  Log("info", "retry_in_ms=" + std::to_string(state_.RetryInMs));
  PublishSnapshot();
  if (!stopped_) timer_.start(static_cast<int>(state_.RetryInMs));
}

void MonitorPoller::SetUp(bool up) {
  const bool changed = up != state_.LatestSucceeded;
  state_.LatestSucceeded = up;
  if (!changed) return;
  Log("info", up ? "up" : "down");
  const QString name = config_.Name;
  Tell([name, up](MonitorObserver& o) { o.OnAvailability(name, up); });
  if (!up) PublishSnapshot();  // the page shows the monitor down at once
}

void MonitorPoller::Publish(const std::vector<TAlarmEvent>& events, bool withSnapshot) {
  for (const TAlarmEvent& e : events) {
    Log(e.Change == AlarmChange::Tripped ? "warning" : "info",
        std::string("alarm source=") + AlarmSourceName(e.Source) +
            " event=" + AlarmChangeName(e.Change) + " value=" + AlarmValueText(e.Source, e.Value));
    if (store_) store_->AddEvent(e);
    const QString name = config_.Name;
    Tell([name, e](MonitorObserver& o) { o.OnAlarm(name, e); });
  }
  // The snapshot carries the alarms' states.
  if (withSnapshot && !events.empty()) PublishSnapshot();
}

bool MonitorPoller::RequestAlarmReset() {
  if (Snapshot()->Phase != MonitorPhase::Polling) return false;
  resetPending_ = true;
  return true;
}

TMonitorReading MonitorPoller::PlaceOnRig(qint64 nowMs, const TMonitorReading& raw,
                                          std::vector<TAlarmEvent>& events) {
  if (!rig_) return raw;
  const StationRig::Placed placed = rig_->Place(nowMs, raw, alarms_, events);
  state_.FrequencyHz = placed.FrequencyHz;
  state_.Band = placed.Band;
  return placed.Corrected.Reading;
}

void MonitorPoller::Interlocked(const std::vector<TInterlockEvent>& events) {
  for (const TInterlockEvent& e : events)
    Log(e.Change == InterlockChange::Released ? "info" : "warning",
        std::string("interlock event=") + InterlockChangeName(e.Change) + " reason=\"" + e.Reason +
            '"');
  state_.InterlockLatched = rig_ && rig_->Latched();
}

void MonitorPoller::Acknowledge() {
  const auto acknowledge = [this] {
    if (rig_) Interlocked(rig_->Acknowledge(NowMs()));
    Publish(alarms_.Acknowledge(NowMs()));
    if (rig_) PublishSnapshot();  // the release, with or without alarms to acknowledge
  };
  if (QThread::currentThread() == thread())
    acknowledge();
  else
    QMetaObject::invokeMethod(this, acknowledge, Qt::BlockingQueuedConnection);
}

}  // namespace vemo::service

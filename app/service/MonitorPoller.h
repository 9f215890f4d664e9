// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One monitor of the service, polled as the program polls it: the line opened, one second
// to settle, the monitor identified, then one reading per interval. A failure of the port,
// or more than kSilentFailures failed readings in a row, closes the port; it is opened
// again after a back-off of 1 s doubling to 30 s, for as long as the service runs.
//
// A poller lives on the polling thread (it may be moved there before Start), so that
// polling never waits behind HTTP work. What other threads may call is marked; everything
// else runs on the poller's own thread. After each change the poller publishes an
// immutable snapshot; observers are told on the thread that created the poller.
//
// Exchanges wait in local event loops, so the pollers of one thread interleave; each
// poller starts its next exchange only from its own timer. An exchange likely to time out
// waits for the others to end first, so that a silent monitor does not hold up the rest.

#include "app/service/MonitorObserver.h"
#include "app/service/MonitorSnapshot.h"
#include "monitor/MonitorLink.h"
#include "station/AlarmEvaluator.h"
#include "station/Plausibility.h"
#include "station/ReadingHistory.h"
#include "station/StationRig.h"
#include "store/DriftBaseline.h"
#include "store/HistoryStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vemo::service {

struct MonitorConfig {
  QString Name;
  QString Device;          // as the user gave it: a port number or a device path
  std::string DevicePath;  // the device opened: a path as given, or a port number's device
  std::string HistoryDb;   // the database of its history; empty: none
  int IntervalMs = 500;
  TAlarmLevels Alarms;  // the program's own alarms for this monitor
  TRigSettings Rig;     // [Rig NAME]: the rig this monitor sits behind, if any
  BandPlan Bands;
};

class MonitorPoller : public QObject {
  Q_OBJECT

 public:
  MonitorPoller(MonitorConfig config, LinkTiming timing = {}, QObject* parent = nullptr);
  ~MonitorPoller() override;

  // Before Start, on the creating thread; observers are called on that thread.
  void AddObserver(MonitorObserver* observer) { observers_.push_back(observer); }
  // Starts connecting at once.
  void Start();
  // Stops the timers and closes the port, at once or as soon as a running exchange ends.
  void Stop();
  // Any thread.
  bool Stopped() const { return stoppedForGood_; }

  // Any thread.
  const MonitorConfig& Config() const { return config_; }
  std::shared_ptr<const MonitorSnapshot> Snapshot() const;
  // Summaries of the history in columns (see ReadingHistory::Decimate); any thread, and
  // cheap for polling: the history is locked only while the columns are summed.
  std::vector<TSummary> HistoryColumns(qint64 fromMs, qint64 toMs, int columns) const;

  // Resets the monitor's latched alarm before the next reading; false while the monitor
  // is not being polled. Any thread.
  bool RequestAlarmReset();
  // Acknowledges the program's active alarms, and releases the interlock. Any thread; done
  // when it returns.
  void Acknowledge();

  // The back-off before the n-th attempt in a row (n >= 1): 1 s doubling to 30 s.
  static int BackoffMs(int attempt);

 private:
  void Connect();
  void Identify();
  void Tick();
  void TakeReading();
  void ReadingFailed(const std::exception& e, bool giveUp, bool opening = false);
  void GiveUp();
  void SetUp(bool up);
  // Tells the observers of events; withSnapshot: and publishes the alarms' new states.
  void Publish(const std::vector<TAlarmEvent>& events, bool withSnapshot = true);
  void PublishSnapshot();
  // Counts an implausible reading, or ends a run of them; logs both once per run.
  void NoteImplausible(qint64 nowMs, const TMonitorReading& reading, Implausibility why);
  void Log(const char* level, const std::string& text) const;
  // On a rig: the reading placed on its band and corrected; band levels go to the alarms.
  TMonitorReading PlaceOnRig(qint64 nowMs, const TMonitorReading& raw,
                             std::vector<TAlarmEvent>& events);
  // Logs what the interlock did and keeps its state for the next snapshot.
  void Interlocked(const std::vector<TInterlockEvent>& events);
  // Runs f on the creating thread for each observer.
  template <typename F>
  void Tell(F f);

  const MonitorConfig config_;
  MonitorSnapshot state_;  // the poller's own working copy
  mutable std::mutex snapshotLock_;
  std::shared_ptr<const MonitorSnapshot> snapshot_;
  MonitorLink link_;
  mutable std::mutex historyLock_;
  ReadingHistory history_;
  std::unique_ptr<HistoryStore> store_;
  DriftBaselineCache baseline_;
  AlarmEvaluator alarms_;
  QTimer timer_;
  QTimer alarmTick_;
  QElapsedTimer deferredSince_;  // invalid unless a suspect exchange is waiting its turn
  QPointer<QObject> observerContext_;
  std::vector<MonitorObserver*> observers_;
  std::unique_ptr<StationRig> rig_;
  int attempts_ = 0;
  int failuresInARow_ = 0;
  long implausibleInARow_ = 0;
  std::atomic<bool> resetPending_ = false;
  bool inExchange_ = false;
  bool stopped_ = false;
  std::atomic<bool> stoppedForGood_ = false;
};

}  // namespace vemo::service

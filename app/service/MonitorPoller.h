#pragma once
// One monitor of the service, polled as the program polls it: the port at 9600 8N1 without
// flow control, opened, one second to settle, the monitor identified, then one reading per
// interval, a reading in raw mode switching raw mode off and reading again. A failure of
// the port, or more than three failed readings in a row, closes the port; it is opened
// again after a back-off of 1 s doubling to 30 s, for as long as the service runs.
//
// Exchanges wait in local event loops, so the pollers of one thread interleave; each
// poller starts its next exchange only from its own timer. An exchange likely to time out
// waits for the others to end first, so that a silent monitor does not hold up the rest.

#include "app/service/MonitorObserver.h"
#include "monitor/Buffer.h"
#include "monitor/VSWRMon.h"
#include "serial/ComPort.h"
#include "station/AlarmEvaluator.h"
#include "station/Plausibility.h"
#include "station/ReadingHistory.h"
#include "store/DriftBaseline.h"
#include "store/HistoryStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vemo::service {

struct MonitorConfig {
  QString Name;
  QString Device;         // as the user gave it: a port number or a device path
  int ComNumber = 0;      // the port number the port component opens
  std::string HistoryDb;  // the database of its history; empty: none
  int IntervalMs = 500;
  TAlarmLevels Alarms;  // the program's own alarms for this monitor
};

enum class ErrorKind { Timeout, Protocol, Port };
constexpr int kErrorKindCount = 3;
// "timeout", "protocol", "port": label values of the error counter.
const char* ErrorKindName(ErrorKind kind);

// What the HTTP side shows of a monitor.
struct MonitorState {
  bool Up = false;                 // the latest reading succeeded
  std::string Phase = "starting";  // "starting", "connecting", "polling", "waiting"
  std::string Model;               // trimmed identification, once identified
  std::string Firmware;            // ISO date
  double FullScale = 0;
  // The latest plausible reading, only while Up; implausible readings leave it in place.
  std::optional<TMonitorReading> Reading;
  qint64 ReadingTimeMs = 0;
  quint64 ReadingsTotal = 0;
  // The latest reading while they are implausible (JudgeReading); none once one is not.
  std::optional<TMonitorReading> Implausible;
  qint64 ImplausibleTimeMs = 0;
  quint64 ImplausibleTotal = 0;
  std::array<quint64, kErrorKindCount> Errors{};
  std::string LastError;
  qint64 RetryInMs = 0;  // while waiting
};

class MonitorPoller : public QObject {
  Q_OBJECT

 public:
  MonitorPoller(MonitorConfig config, QObject* parent = nullptr);
  ~MonitorPoller() override;

  void AddObserver(MonitorObserver* observer) { observers_.push_back(observer); }
  // Starts connecting at once.
  void Start();
  // Stops the timers and closes the port, at once or as soon as a running exchange ends.
  void Stop();
  bool Stopped() const { return stopped_ && !inExchange_; }

  const MonitorConfig& Config() const { return config_; }
  const MonitorState& State() const { return state_; }
  const ReadingHistory& History() const { return history_; }
  // Summaries of [fromMs, toMs) in columns (ReadingHistory::Decimate): from the history
  // held, or from the stored minutes where the span starts before it.
  std::vector<TSummary> HistoryColumns(qint64 fromMs, qint64 toMs, int columns) const;
  const AlarmEvaluator& Alarms() const { return alarms_; }

  // Resets the monitor's latched alarm before the next reading; false while the monitor
  // is not being polled.
  bool RequestAlarmReset();
  // Acknowledges the program's active alarms.
  void Acknowledge();
  // Lets the link alarm trip while no reading comes; about once a second.
  void TickAlarms();

  // The back-off before the n-th attempt in a row (n >= 1): 1 s doubling to 30 s.
  static int BackoffMs(int attempt);

 private:
  void Connect();
  void Identify();
  void Tick();
  void TakeReading();
  void ReadingFailed(ErrorKind kind, const std::string& message, bool giveUp);
  void GiveUp();
  void ClosePort();
  void SetUp(bool up);
  void Publish(const std::vector<TAlarmEvent>& events);
  void PublishReading();
  // Counts an implausible reading, or ends a run of them; logs both once per run.
  void NoteImplausible(qint64 nowMs, const TMonitorReading& reading, Implausibility why);
  void ComObjTriggerAvail(TCustomComPort& cp, uint16_t count);
  void Log(const char* level, const std::string& text) const;

  MonitorConfig config_;
  MonitorState state_;
  TComPort port_;
  TBuffer buffer_;
  TVSWR_Monitor monitor_{port_, buffer_};
  ReadingHistory history_;
  std::unique_ptr<HistoryStore> store_;
  DriftBaselineCache baseline_;
  AlarmEvaluator alarms_;
  QTimer timer_;
  QElapsedTimer deferredSince_;  // invalid unless a suspect exchange is waiting its turn
  std::vector<MonitorObserver*> observers_;
  std::array<uint8_t, 4096> staging_{};
  int attempts_ = 0;
  int failuresInARow_ = 0;
  long implausibleInARow_ = 0;
  bool resetPending_ = false;
  bool inExchange_ = false;
  bool stopped_ = false;
};

}  // namespace vemo::service

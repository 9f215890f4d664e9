// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Brings the program's alarms to the operator: judges every reading (and every failed or
// missing one) with the AlarmEvaluator and shows each alarm state so that nothing looks
// normal while an alarm needs attention:
//   active, unacknowledged: the panel flashes, "ALARM" leads the window title, the tone
//     pattern plays, the window asks for attention (urgency), and with the window
//     minimised or hidden a system tray message appears;
//   active, acknowledged: the panel stays steady red and the title still says ALARM;
//   cleared before anyone acknowledged it (latched): the panel stays steady amber with
//     "Cleared" until acknowledged.
// Every event goes to the alarm history, the alarm log and the hook.
//
// The panel keeps its own colour (the monitor's alarm flag, as the window sets it): the
// program's indication is a second label laid over it.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "station/AlarmEvaluator.h"
#include "station/AlarmSettings.h"
#include "ui/alarms/AlarmHistory.h"

class QLabel;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace vemo {

class AlarmHook;
class AlarmHistoryWindow;
class AlarmLog;
class AlarmPlayer;

enum class AlarmLook { FlashLit, Active, Latched };

class OperatorAlarms : public QObject {
  Q_OBJECT

 public:
  struct Host {
    QWidget* Window = nullptr;  // its title, and whether it is minimised or hidden
    QLabel* Panel = nullptr;    // the alarm panel: flashes, and a click acknowledges
    std::function<qint64()> Now;
    std::function<std::string()> Port;  // the port in use, for the hook
    // A message for the status area under a topic ("hook", "log", "audio"): a later one
    // replaces it, an empty one removes it. Passing messages go once they have been read
    // for a while; the others stay while they hold.
    std::function<void(const QString& topic, const QString& message, bool passing)> Note;
    // Colours the label laid over the panel: for the lit phase of the flashing (against
    // the panel as it is now), steady red, or steady amber for a latched alarm.
    std::function<void(QLabel* flash, AlarmLook look)> PaintFlash;
    // Sounding started or stopped, or the alarm text changed.
    std::function<void()> Changed;
    // Given every batch of events before anything else is done about them (history, log,
    // hook, sound, repaint): the transmit interlock unkeys here.
    std::function<void(const std::vector<TAlarmEvent>&)> First;
    // The operator acknowledged, whether or not an alarm was waiting for it.
    std::function<void()> Acknowledged;
    // Every event as it happens, after the log (optional: the stored history).
    std::function<void(const TAlarmEvent&)> Event;
  };

  explicit OperatorAlarms(Host host, QObject* parent = nullptr);
  ~OperatorAlarms() override;

  // New settings: levels, sound, hook and log (unless a log was named on the command line).
  void Configure(const TAlarmSettings& settings);
  const TAlarmSettings& Settings() const { return settings_; }
  // The alarm log for this run, whatever the settings say.
  void SetLogPathOverride(const std::string& path);

  // The levels of the band the next readings are taken on ([Alarms BAND]), until the next
  // call or Configure.
  void SetBandLevels(const TAlarmLevels& levels);
  // fullScaleW: the monitor's full scale, for the automatic keyed level.
  void Reading(const TMonitorReading& reading, double fullScaleW);
  void ReadingFailed();
  // The drift alarms' baseline (see AlarmEvaluator::SetBaseline).
  void SetBaseline(const TDriftBaseline& baseline);
  // Continuous polling on or off as the operator (or a suspension for calibration) sets
  // it, at intervalMs; polling that gave up after failures stays on: the link is lost.
  void SetPolling(bool on, int intervalMs);
  // Acknowledges the active alarms and releases the latched ones.
  void Acknowledge();
  // "Test alarm": the whole chain (panel, sound, tray, log, hook) with a test alarm.
  void TestAlarm();
  // Opens the history window, or brings it to the front.
  void ShowHistory();
  // The window is closing: silence and stop ticking.
  void Shutdown();

  bool Sounding() const { return evaluator_.Sounding(); }
  // Something is to be acknowledged: an active alarm not yet acknowledged, or a latched one.
  bool Unacknowledged() const;
  bool Flashing() const;
  bool FlashLit() const;
  // The state of every source that is not normal, for the panel's tooltip and the status
  // area: "ALARM: VSWR 3.20 > 2.00; Reflected power 150 W > 100 W." and what stays
  // latched; empty when all is normal.
  QString AlarmText() const;
  // The remark the alarm history window shows above its table.
  const QString& HistoryNote() const { return historyNote_; }
  const AlarmEvaluator& Evaluator() const { return evaluator_; }
  const AlarmHistory& History() const { return history_; }
  AlarmHistoryWindow* HistoryWindow() const { return historyWindow_; }
  const AlarmLog* Log() const { return log_.get(); }
  // Shown beside the status text while an alarm sounds.
  QPushButton* AcknowledgeButton() const { return acknowledgeButton_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Apply(const std::vector<TAlarmEvent>& events);
  void Present();
  void ShowTrayMessage();
  void Tell(const QString& topic, bool failing, const std::string& message);
  bool WindowOutOfSight() const;

  Host host_;
  QString baseTitle_;
  TAlarmSettings settings_;
  std::string logOverride_;
  AlarmEvaluator evaluator_;
  AlarmHistory history_;
  std::unique_ptr<AlarmLog> log_;
  std::unique_ptr<AlarmHook> hook_;
  std::unique_ptr<AlarmPlayer> player_;
  bool wasSounding_ = false;
  QString shownTitle_;
  std::optional<QString> panelTip_;  // the panel's own, kept while an alarm is up
  bool shutDown_ = false;            // the window closes: hiding it is no alarm news
  QString historyNote_;
  QLabel* flash_ = nullptr;
  QTimer* flashTimer_ = nullptr;
  QTimer* tickTimer_ = nullptr;
  QPushButton* acknowledgeButton_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  AlarmHistoryWindow* historyWindow_ = nullptr;
};

}  // namespace vemo

#pragma once
// Brings the program's alarms to the operator: judges every reading (and every failed or
// missing one) with the AlarmEvaluator and, while an alarm is active and unacknowledged,
// flashes the alarm panel, puts "ALARM" at the front of the window title, plays the tone
// pattern and, with the window minimised or hidden, shows a system tray message. Every
// event goes to the alarm history, the alarm log and the hook. Acknowledging silences all
// of that but keeps the record.
//
// The panel keeps its own colour (the monitor's alarm flag, as the window sets it): the
// flashing is a second label laid over it, lit every other half second.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
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

class OperatorAlarms : public QObject {
  Q_OBJECT

 public:
  struct Host {
    QWidget* Window = nullptr;  // its title, and whether it is minimised or hidden
    QLabel* Panel = nullptr;    // the alarm panel: flashes, and a click acknowledges
    std::function<qint64()> Now;
    std::function<std::string()> Port;  // the port in use, for the hook
    // A message for the status area; each is told once (see the callers' contracts).
    std::function<void(const QString&)> Note;
    // Colours the flashing label for its lit phase, against the panel as it is now.
    std::function<void(QLabel* flash)> PaintFlash;
    // Sounding started or stopped, or the alarm text changed.
    std::function<void()> Changed;
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

  void Reading(const TMonitorReading& reading);
  void ReadingFailed();
  // The drift alarms' baseline (see AlarmEvaluator::SetBaseline).
  void SetBaseline(const TDriftBaseline& baseline);
  // Continuous polling on or off as the operator (or a suspension for calibration) sets
  // it; polling that gave up after failures stays on: the link is lost.
  void SetPolling(bool on);
  void Acknowledge();
  // Opens the history window, or brings it to the front.
  void ShowHistory();
  // The window is closing: silence and stop ticking.
  void Shutdown();

  bool Sounding() const { return evaluator_.Sounding(); }
  bool Flashing() const;
  bool FlashLit() const;
  // What sounds, for the status area: "ALARM: VSWR 2.31 (level 2)"; empty when silent.
  QString AlarmText() const;
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
  void Tell(const QString& message);
  void TellOnce(const QString& message);
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
  TAlarmEvent lastTrip_;
  bool wasSounding_ = false;
  bool shutDown_ = false;  // the window closes: hiding it is no alarm news
  std::vector<QString> told_;
  QLabel* flash_ = nullptr;
  QTimer* flashTimer_ = nullptr;
  QTimer* tickTimer_ = nullptr;
  QPushButton* acknowledgeButton_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  AlarmHistoryWindow* historyWindow_ = nullptr;
};

}  // namespace vemo

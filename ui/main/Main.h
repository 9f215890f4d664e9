// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFormMain: the program's one main window. It owns the serial port, the receive buffer,
// the monitor session and the command queue for the whole run; shows the readings on the
// digital read-outs and the dial meter; and starts every exchange with the monitor from
// its polling tick, Timer1Timer, one queued command (or one continuous reading) per tick.

#include <QMainWindow>
#include <QMessageBox>
#include <QRect>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "monitor/MonitorLink.h"
#include "monitor/OperatorPrompt.h"
#include "platform/Clock.h"
#include "serial/PortProbe.h"
#include "station/AlarmSettings.h"
#include "station/PeakHold.h"
#include "station/Plausibility.h"
#include "station/PollingController.h"
#include "station/PollingIntervals.h"
#include "station/ReadingHistory.h"
#include "station/ReadingLog.h"
#include "station/Statistics.h"
#include "station/UnattendedLink.h"
#include "store/DriftBaseline.h"
#include "store/HistoryStore.h"
#include "ui/dialogs/SettingsForwarders.h"
#include "ui/main/CmdList.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolButton;

namespace vemo {

class HelpViewer;
class MainAccessibility;
class MainRig;
class OperatorAlarms;
class ProfileFile;
struct TReportPeriod;
class TComPort;
class TDCDial;
class TRealEdit;
class TVSWR_Monitor;
class TdlgAbout;
class TdlgCalWizard;
class TdlgComm;
class TdlgOptions;
class TdlgOptionsDualRelay;
class Clock;
class ProfileFile;
class TrendWindow;
struct TMonitorReading;

class TFormMain : public QMainWindow,
                  public ISettingsForwarders,
                  private IOperatorPrompt,
                  private PollingView {
  Q_OBJECT

 public:
  // Every message box of the window goes through one function: icon, text (lines broken
  // by CR or LF), buttons offered; it returns the button chosen. Tests install their own
  // (before creating the window, since start-up may already report) to record and answer.
  using MessageBoxFn = std::function<QMessageBox::StandardButton(
      QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons)>;
  static void SetMessageBoxHook(MessageBoxFn hook);
  // The file dialog of File, "Log Readings...": given the current file, the chosen one, or
  // an empty string when the user cancels. Tests install their own.
  using LogFileDialogFn = std::function<QString(QWidget* parent, const QString& current)>;
  static void SetLogFileDialogHook(LogFileDialogFn hook);
  // The settle pause and reply clock of windows created from now on; tests shorten the
  // pause and speed the clock up.
  static LinkTiming& LinkTimingHook();
  // Started to poll unattended (--continuous): set before the window is created. Until
  // the user takes over (Trigger, Comm Port), a port that cannot be opened or a monitor
  // that does not answer shows in the window, not in a box, and is tried again with a
  // back-off until the monitor answers; the link alarm trips meanwhile.
  static void SetUnattendedStart(bool on);

  // The dialogs that the program entry creates after the main window.
  struct Dialogs {
    TdlgComm* Comm = nullptr;
    TdlgAbout* About = nullptr;
    TdlgCalWizard* CalWizard = nullptr;
    TdlgOptions* Options = nullptr;
    TdlgOptionsDualRelay* OptionsDualRelay = nullptr;
  };

  // Runs FormCreate: reads the settings file, lays the window out, prepares the dial,
  // shows a reading of zeros and tries to connect to the monitor.
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  void SetDialogs(const Dialogs& dialogs);
  // The wall clock that stamps readings; tests substitute their own before opening the
  // trend window. Outlives the window.
  void SetClock(const Clock& clock) { clock_ = &clock; }

  // --- Start-up, connection and shutdown -------------------------------------------------
  // Fixes "." as decimal separator (and "," for thousands) for the whole process.
  static void SetRegionalFormats();
  // Opens the port set up for the monitor, waits its settle pause and identifies the
  // monitor; Connected is the result. A port whose device went away is closed and opened
  // again. Raises on failure (Connected is then false).
  void ConnectMonitor();
  // Switches to port n and opens it; false when n is the current port or it cannot be
  // opened (reported; the old number is put back). Does not identify the monitor.
  bool ChangeComPort(uint8_t n);
  void ClosePort();

  // --- Polling ----------------------------------------------------------------------------
  void Timer1Timer();
  // The port's data-available handler: moves count received bytes into the receive buffer
  // by the link's one rule.
  void ComObjTriggerAvail(uint16_t count);
  void mnuCommands_TClick();  // "&T - Trigger" and the Trigger button
  void mnuCommands_RClick();  // "&C - Continuous" and the Continuous button
  void mnuCommandsResetClick();
  void N0CalibrateZeroOffset1Click();
  void N1CalibrateForwardPower1Click();
  void N2CalibrateReflectedPower1Click();
  void mnuCommandsCalWizardClick();

  // --- Display ----------------------------------------------------------------------------
  // Computes and shows every read-out for forward and reflected power in watts and moves
  // the dial. The read-outs count as fresh again, unless the powers are implausible.
  void DisplayReading(double forward, double reflected);
  // The same for a reading from the monitor, judged with its full scale and fields.
  void DisplayReading(const TMonitorReading& reading);
  // What the read-outs show. All but the latest plausible reading are greyed.
  enum class ReadoutLook { Reading, Stale, Implausible, NoReading };
  ReadoutLook ReadoutsLook() const { return readoutLook_; }
  // True while the read-outs are greyed: no reading yet, a failed or implausible one.
  bool ReadoutsStale() const { return readoutLook_ != ReadoutLook::Reading; }
  void UpdateMeterPosition(int32_t p);
  void SetAlarmIndicator(bool alarm);
  void cmboRangeListChange();
  void dcMeterLabelPosition(TDCDial* sender, int position, QString& labelText, int labelSetId);
  void mnuViewMeterClick();
  // View, "Trend": opens the trend window, or closes it when open.
  void mnuViewTrendClick();

  // --- Peak hold, logging and the polling interval (MainStation.cpp) ----------------------
  void mnuViewPeakHoldClick();
  void SetPeakHoldTime(qint64 holdMs);  // one of PeakHold::kHoldTimesMs
  bool PeakHoldShown() const;
  const PeakHold& Peak() const { return Peak_; }
  // Shows the decaying peak on the PEP read-out and the dial.
  void tmrPeakTimer();
  // "Log Readings...": asks for the file, then logs to it; a second click stops logging.
  void mnuFileLogClick();
  void mnuFileLogDailyClick();
  // File, "Times in UTC": the log and the exports write UTC ("Z") or local time (offset).
  void mnuFileTimesUtcClick();
  // Starts (or restarts) logging every good reading to path; the path is kept.
  void StartLogging(const QString& path, bool daily);
  void StopLogging();
  const ReadingLog* Log() const { return Log_.get(); }
  bool LogDaily() const;
  // One of kPollingIntervalsMs; polling runs at it from the next tick.
  void SetPollingInterval(int ms);
  int PollingInterval() const { return pollingIntervalMs_; }
  // The status line, shown while logging or once a reading was implausible: what went wrong,
  // how many readings were lost, how many were implausible.
  QString StatusText() const;
  // Readings from the monitor with a negative power or more reflected than forward power.
  qint64 ImplausibleCount() const { return implausibleCount_; }

  // --- Unattended start (MainUnattended.cpp) ---------------------------------------------
  bool Unattended() const { return Polling_->Unattended(); }
  // Waiting for the next attempt to reach the monitor.
  bool Retrying() const { return Polling_->Retrying(); }
  // The waits between attempts (tests shorten them).
  void SetRetryBackoff(const RetryBackoff& backoff) { Polling_->SetRetryBackoff(backoff); }

  // --- Alarms of the program's own (MainAlarms.cpp) ---------------------------------------
  void mnuViewAlarmSettingsClick();
  void mnuViewAlarmHistoryClick();
  void mnuViewSetReferenceClick();
  // Silences the sounding alarms and releases the latched ones; the record stays.
  void mnuCommandsAcknowledgeClick();
  // Raises the test alarm: panel, sound, tray, log and hook, marked as a test.
  void mnuCommandsTestAlarmClick();
  // The alarm log for this run, whatever the settings say (--alarm-log).
  void SetAlarmLogPath(const QString& path);
  OperatorAlarms& Alarms() const { return *alarms_; }

  // --- Speech, tuning tone and screen readers (MainAccessibility.cpp) ---------------------
  MainAccessibility& Access() const { return *access_; }
  // A problem of speech or sound, for the status area.
  void ShowAccessNote(const QString& message) {
    AlarmNote(QStringLiteral("speech and sound"), message, true);
  }

  // --- The rig beside the monitor (MainRig.cpp) -------------------------------------------
  MainRig& RigControl() const { return *rig_; }

  // --- Menu -------------------------------------------------------------------------------
  void mnuFileExitClick();
  void mnuFileReportClick();  // MainReport.cpp
  // The report of period from the stored history, saved at path (PDF by a ".pdf" ending);
  // what fails is shown as a message.
  void SaveReportAs(const TReportPeriod& period, const QString& path);
  void mnuViewCommPortClick();
  void Options1Click();
  void mnuViewDiagnosticsClick();
  void mnuHelpClick();
  void mnuHelpAboutClick();

  // --- Test panel -------------------------------------------------------------------------
  void Button1Click();
  void Timer2Timer();
  void Button3Click();
  void Button4Click();
  void Button2Click();

  // --- Settings forwarders: the options dialogs write through these ------------------------
  void SetCheckOnZeroPower(bool on) override;
  void SetVSWRLevel(uint8_t levelIndex) override;
  void SetHighPowerAlarm(bool enable, int32_t level) override;
  void SetLowPowerAlarm(bool enable, int32_t level) override;
  void SetAlarmEnable(bool on) override;
  void SetRelaySense(bool on) override;
  void SetRelay2Sense(bool on) override;
  void SetLatchAlarm(bool on) override;
  void SetAlarmAtPowerUp(bool on) override;
  void SetPushToTalk(bool enable, float delaySeconds) override;

  // --- State ------------------------------------------------------------------------------
  bool Continuous() const { return Polling_->Continuous(); }
  bool Connected() const { return Polling_->Connected(); }
  // The device went away (while polling, or noticed while idle): the window watches for the
  // device to come back and then reconnects, and polls again if it was polling, by itself.
  bool WaitingForDevice() const;
  int32_t CommFailCount() const { return Polling_->CommFailCount(); }
  int32_t BufferEmptyCount() const { return Link_->BufferEmptyCount(); }
  double SimulationDrift() const { return SimulationDrift_; }
  const std::string& IniFileName() const { return IniFileName_; }
  TComPort& ComObj() const { return *ComObj_; }
  // The session and the queue exist from start-up until the window closes.
  TVSWR_Monitor* Monitor() const { return Monitor_; }
  TCmdList* CmdList() const { return CmdList_.get(); }
  // True while a tick runs: an exchange or a command's dialog is in progress.
  bool TickRunning() const { return Link_->InUse(); }
  bool MeterShown() const;
  bool DiagnosticsShown() const;
  const ReadingHistory& History() const { return History_; }
  // The trend window once it has been opened; it is hidden, not destroyed, when closed.
  TrendWindow* Trend() const { return trendWindow_; }
  // The client area (below the menu bar).
  int ClientWidth() const;
  int ClientHeight() const;

  // Sizes of the two panels and of the client area, fixed at start-up.
  static constexpr int PanelDisplayWidth = 297;
  static constexpr int PanelDisplayHeight = 229;
  static constexpr int Panel1Height = 182;
  static constexpr int TestPanelWidth = 150;
  static constexpr int PeakPanelWidth = 153;
  static constexpr int NormalTimer1Interval = 500;
  static constexpr int CalibratedTimer1Interval = 750;

  // --- Controls (named as the form designer named them) -----------------------------------
  QFrame* Panel_Display = nullptr;
  QFrame* Panel1 = nullptr;
  QLabel* Label1D = nullptr;
  QLabel* Label2D = nullptr;
  QLabel* Label3D = nullptr;
  QLabel* Label4D = nullptr;
  QLabel* Label5D = nullptr;
  QLabel* Label6D = nullptr;
  QLabel* lblDBM = nullptr;
  QLineEdit* Edit_Forward_Power = nullptr;
  QLineEdit* Edit_Reverse_Power = nullptr;
  QLineEdit* Edit_VSWR = nullptr;
  QLineEdit* Edit_Return_Loss = nullptr;
  QLineEdit* Edit_Rho = nullptr;
  QLineEdit* Edit_Transmited_Power = nullptr;
  QLineEdit* editDBm1 = nullptr;
  QLineEdit* editDBM = nullptr;  // lies over editDBm1
  QToolButton* spdbtnContinuous = nullptr;
  QToolButton* spdbtnTrigger = nullptr;
  QLabel* pnlRS232 = nullptr;
  QLabel* pnlAlarm = nullptr;
  QLabel* lblConnection = nullptr;  // port and model of the monitor
  TDCDial* dcMeter = nullptr;
  QLabel* lblMeter = nullptr;
  QLabel* lblMeterUnit = nullptr;
  QLabel* lblRangeList = nullptr;
  QComboBox* cmboRangeList = nullptr;
  QFrame* Panel_Peak = nullptr;  // beside the read-outs while peak hold is on
  QLabel* LabelPEP = nullptr;
  QLineEdit* Edit_PEP = nullptr;

  QGroupBox* TestPanel = nullptr;
  TRealEdit* RealEdit1 = nullptr;
  TRealEdit* RealEdit2 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button4 = nullptr;

  QAction* mnuFileLog = nullptr;
  QAction* mnuFileLogDaily = nullptr;
  QAction* mnuFileTimesUtc = nullptr;
  QAction* mnuFileExit = nullptr;
  QAction* mnuFileReport = nullptr;
  QAction* mnuViewPeakHold = nullptr;
  QActionGroup* mnuViewPeakHoldTime = nullptr;  // data: the hold time in ms
  QActionGroup* mnuViewInterval = nullptr;      // data: the interval in ms
  QAction* mnuViewMeter = nullptr;
  QAction* mnuViewCommPort = nullptr;
  QAction* mnuViewOptions = nullptr;
  QAction* mnuViewDiagnostics = nullptr;
  QAction* mnuViewTrend = nullptr;
  QAction* mnuViewAlarmSettings = nullptr;
  QAction* mnuViewAlarmHistory = nullptr;
  QAction* mnuViewSetReference = nullptr;
  QAction* mnuCommands_T = nullptr;
  QAction* mnuCommands_R = nullptr;
  QAction* mnuCommandsReset = nullptr;
  QAction* mnuCommandsAcknowledge = nullptr;
  QAction* mnuCommandsTestAlarm = nullptr;
  QAction* mnuCalZero = nullptr;
  QAction* mnuCalForward = nullptr;
  QAction* mnuCalReflected = nullptr;
  QAction* mnuCommandsCalWizard = nullptr;
  QAction* mnuHelpContents = nullptr;
  QAction* mnuHelpAbout = nullptr;

  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  QTimer* tmrDeviceWatch = nullptr;  // looks for a lost device once a second
  QTimer* tmrPeak = nullptr;         // lets the shown peak decay between readings

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class MainRig;

  // Start-up (Main.cpp, MainControls.cpp).
  void FormCreate();
  void CreateControls();
  void CreateReadouts();
  void CreateMeterPanel();
  void CreateTestPanel();
  void CreateMenu();
  void ReadSettings();
  void ApplyInitialRange();
  void SetClientSize(int width, int height);
  void PlacePanels(bool meterShown);
  void UpdateConnectionLabel();
  // A failed reading (or the link gone) greys what is shown; a good one shows in colour.
  void SetReadoutsStale(bool stale);
  // The read-outs' colour and tooltip; the one place that decides them.
  void SetReadoutLook(ReadoutLook look);
  void ShowReadout(double forward, double reflected, Implausibility why);
  double FullScale() const;
  void CreateLogMenu(QMenu* file);
  void CreatePeakHoldMenu(QMenu* view);
  void CreateIntervalMenu(QMenu* view);
  void CreatePeakPanel();
  void ReadStationSettings(const ProfileFile& ini);
  void WriteStationSettings(ProfileFile& ini) const;
  // Every good reading, once shown: to the history, peak hold and the log.
  void RecordReading(const TMonitorReading& reading);
  void ShowPeak();
  void LogNotify(bool failing, const std::string& message);
  // The stored history: opened and loaded into History_ at start (MainStation.cpp).
  void OpenHistoryStore();
  void UpdateStatusBar();
  // The status area's height in a window this wide; 0 while it is hidden.
  int StatusBarHeight(int width) const;
  // The polling period after a calibration step: slower at the customary interval only.
  int IntervalAfterCalibration() const;
  qint64 NowMs() const;

  // Shutdown (Main.cpp).
  void FormClose();
  void WriteSettings();
  // A close waits for the running tick to end.
  bool ClosePending() const { return Link_->WorkWaiting(); }

  // Polling (MainPolling.cpp).
  void RunCommand(uint8_t code);
  // What the polling controller shows.
  void ShowReading(const TMonitorReading& reading) override;
  void ShowStale() override;
  // Every failed reading goes to the history as a gap.
  void RecordGap() override;
  // A gap in what the window keeps (history, statistics, alarms), not in the stored history.
  void NoteGap(qint64 now);
  void ShowFailure(const std::string& text) override;
  void ShowLineActive(bool active) override;
  void ShowContinuous(bool on) override;
  void ShowConnection() override;
  void RunDeviceWatch(bool run) override;
  void TakeReading();
  void StartContinuous();
  void ResetAlarm();
  void RunCalibrationStep(uint8_t step);
  void ShowCalWizard();
  void SetRS232Active(bool active);
  void QueueCommand(uint8_t code);
  void tmrDeviceWatchTimer();
  bool AskOkCancel(const std::string& text) override;

  // Unattended start (MainUnattended.cpp).
  void ShowRetry(const std::string& cause, qint64 waitMs) override;
  void ShowRetrySucceeded() override;
  void RunRetryTimer(qint64 waitMs) override;
  // The user takes over: failures are shown in boxes again.
  void EndUnattended();
  static bool& UnattendedStartFlag();

  // Alarms (MainAlarms.cpp).
  void CreateAlarms();
  void LoadAlarmSettings(const ProfileFile& ini);
  // "Time above VSWR" counts above the VSWR alarm's level when one is set.
  void ApplyVSWRThreshold();
  // A message about the alarms for the status area under a topic: a later one replaces it,
  // an empty one removes it; a passing one goes after a while.
  void AlarmNote(const QString& topic, const QString& message, bool passing);
  // The alarm's part of the status area: what sounds, then the messages.
  QStringList AlarmStatus() const;
  // The status text of the reading log alone.
  QString LogStatusText() const;
  // ... and of the implausible readings.
  QString ImplausibleStatusText() const;

  // Trend window (MainTrend.cpp).
  void ReadTrendSettings(const ProfileFile& ini);
  void WriteTrendSettings(ProfileFile& ini) const;
  void ShowTrend();

  // Menu (MainMenu.cpp).
  void ShowMonitorOptions();
  void ShowCommPortDialog();

  // Messages (Main.cpp).
  QMessageBox::StandardButton MessageBox(QMessageBox::Icon icon, const QString& text,
                                         QMessageBox::StandardButtons buttons = QMessageBox::Ok);
  void ShowMessage(const QString& text);
  // What the user reads for a failure where the user acted: "Port is already open. Try
  // another port." for a port held elsewhere, the failure's own message for a port the user
  // may not open, "An IO exception occurred." for other port failures, the failure's own
  // message otherwise.
  void ShowFailureByClass(std::exception_ptr failure);
  // The application's error display for failures that no handler catches.
  void ShowApplicationError(std::exception_ptr failure);
  // Runs a user action or event; any failure reaches the application's error display
  // (nothing may escape into the event loop).
  void Guarded(const std::function<void()>& action);
  // Waits without busy-looping; user input waits until the end.
  static void Pause(int milliseconds);

  static MessageBoxFn& MessageBoxHook();
  static LogFileDialogFn& LogFileDialogHook();

  // The port, the receive buffer and the session. ComObj_ lives as long as the window;
  // Monitor_ from start-up until the window closes.
  std::unique_ptr<MonitorLink> Link_;
  TComPort* ComObj_ = nullptr;
  TVSWR_Monitor* Monitor_ = nullptr;
  // Connecting, continuous reading, its failure rule and the lost-device watch.
  std::unique_ptr<PollingController> Polling_;
  std::unique_ptr<TCmdList> CmdList_;
  Dialogs dialogs_;
  HelpViewer* helpViewer_ = nullptr;

  std::string IniFileName_;
  double SimulationDrift_ = 0;

  int clientWidth_ = 0;            // Panel_Display width + 4
  int clientHeightNoMeter_ = 0;    // Panel_Display height + 4
  int clientHeightWithMeter_ = 0;  // both panels + 6

  // A year of minutes, as long as the stored history keeps them, so that the trend can
  // show months after a restart.
  ReadingHistory History_{THistoryOptions{24 * 3600'000LL, TStoreOptions{}.SummaryKeepMs, 30'000}};
  RunningStatistics Stats_;
  TrendWindow* trendWindow_ = nullptr;
  QRect trendGeometry_;  // as stored; null when the settings hold none
  qint64 trendSpanMs_ = 600'000;

  ReadoutLook readoutLook_ = ReadoutLook::NoReading;
  Implausibility implausibility_ = Implausibility::None;  // of the reading shown
  qint64 implausibleCount_ = 0;
  const Clock* clock_ = &SystemClock();
  PeakHold Peak_;
  double peakFullScale_ = 625.0;  // the unit of the PEP read-out follows the read-outs'
  std::unique_ptr<ReadingLog> Log_;
  QString logPath_;  // kept while not logging, offered the next time
  QString logProblem_;
  std::unique_ptr<HistoryStore> Store_;
  QString storeProblem_;
  DriftBaselineCache baseline_;      // what the stored history last said; empty while all is well
  QStatusBar* statusBar_ = nullptr;  // once there is something to say
  QLabel* lblStatus_ = nullptr;      // its text, wrapped
  bool statusShown_ = false;
  int pollingIntervalMs_ = kDefaultPollingIntervalMs;
  QTimer* tmrRetry = nullptr;  // the wait before the next attempt of an unattended start
  std::unique_ptr<OperatorAlarms> alarms_;
  std::unique_ptr<MainAccessibility> access_;
  std::unique_ptr<MainRig> rig_;
  QMenu* commandsMenu_ = nullptr;  // the speech and tone commands join these
  QMenu* helpMenu_ = nullptr;
  struct AlarmNoteEntry {
    QString Topic, Text;
  };
  QList<AlarmNoteEntry> alarmNotes_;

  // Set when the monitor stored another push-to-talk delay than the options asked for.
  std::string pushToTalkNote_;
  bool formClosed_ = false;
};

}  // namespace vemo

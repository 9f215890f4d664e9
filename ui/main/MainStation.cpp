// SPDX-License-Identifier: GPL-3.0-or-later
// What the window keeps of its readings beyond the latest one: the peak (PEP read-out and
// the dial's peak marker), the CSV log of readings, and the polling interval.
#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "monitor/VSWRMon.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsPath.h"
#include "station/IsoTime.h"
#include "station/Plausibility.h"
#include "station/Readout.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/main/Main.h"
#include "ui/main/MainRig.h"
#include "ui/main/MainStyle.h"
#include "ui/meter/DCDial.h"
#include "ui/trend/TrendWindow.h"

namespace vemo {

namespace {
constexpr char kSection[] = "Station";
// Often enough for the decay to look smooth, rarely enough to cost nothing.
constexpr int kPeakRefreshMs = 100;

QString HoldTimeText(qint64 holdMs) {
  if (holdMs == PeakHold::kInfinite) return QObject::tr("&Infinite");
  // The last digit is the access key: "1&0 s" beside "&1 s".
  QString seconds = QString::number(holdMs / 1000);
  seconds.insert(seconds.size() - 1, u'&');
  return QObject::tr("%1 s").arg(seconds);
}

QString IntervalText(int ms) {
  return ms < 1000 ? QObject::tr("%1 ms").arg(ms) : QObject::tr("%1 s").arg(ms / 1000);
}
}  // namespace

qint64 TFormMain::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clock_->Now().time_since_epoch())
      .count();
}

void TFormMain::RecordReading(const TMonitorReading& reading) {
  const qint64 now = NowMs();
  const double fullScale = Monitor_->FullScale();
  if (JudgeReading(reading) != Implausibility::None) {
    // No measurement: the history, statistics, peak and alarms see no reading; only the
    // log and the stored history keep it, flagged (and not keyed: nothing in it can be
    // judged).
    NoteGap(now);
    const TReadingMarks marks{alarms_->Evaluator().ActiveSources(), false};
    if (Store_) Store_->Add(now, reading, marks, rig_->StoredPlace());
    if (Log_) {
      Log_->Write(now, reading, marks, rig_->LastPlace());
      UpdateStatusBar();
    }
    return;
  }
  // The alarms first: a trip reaches the operator before anything is recorded. The drift
  // alarms judge against what the stored history says of this hour.
  if (Store_) alarms_->SetBaseline(baseline_.At(*Store_, now));
  alarms_->Reading(reading, fullScale);
  THistoryReading kept = HistoryReadingOf(reading);
  kept.Keyed = IsKeyed(alarms_->Settings().Levels, reading.Forward, fullScale);
  kept.Sources = static_cast<quint16>(alarms_->Evaluator().ActiveSources());
  History_.Append(now, kept);
  if (const TReadingPlace* place = rig_->LastPlace())
    History_.AppendPlace(now, place->FrequencyHz, place->Band);
  if (Store_) Store_->Add(now, reading, {kept.Sources, kept.Keyed}, rig_->StoredPlace());
  Stats_.Add(now, kept);
  if (trendWindow_) {
    trendWindow_->SetFullScale(Monitor_->FullScale());
    trendWindow_->DataChanged();
  }
  Peak_.Add(now, reading.Forward);
  ShowPeak();
  if (Log_) {
    Log_->Write(now, reading, {kept.Sources, kept.Keyed}, rig_->LastPlace());
    UpdateStatusBar();
  }
}

// --- Menus ------------------------------------------------------------------------------

void TFormMain::CreateLogMenu(QMenu* file) {
  // Check items show the state; the handlers decide it, not the click.
  const auto checkItem = [this](QMenu* menu, const QString& text, void (TFormMain::*handler)()) {
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, action, handler] {
      action->setChecked(!action->isChecked());
      Guarded([this, handler] { (this->*handler)(); });
    });
    return action;
  };
  mnuFileLog = checkItem(file, tr("&Log Readings…"), &TFormMain::mnuFileLogClick);
  mnuFileLogDaily = checkItem(file, tr("&Daily Log Files"), &TFormMain::mnuFileLogDailyClick);
  mnuFileLogDaily->setToolTip(tr("One file a day: name-YYYY-MM-DD.csv"));
  mnuFileTimesUtc = checkItem(file, tr("Times in &UTC"), &TFormMain::mnuFileTimesUtcClick);
  mnuFileTimesUtc->setToolTip(
      tr("Log and export times in UTC (…Z) rather than local time with its UTC offset"));
}

void TFormMain::CreatePeakHoldMenu(QMenu* view) {
  mnuViewPeakHold = view->addAction(tr("Pea&k Hold"));
  mnuViewPeakHold->setCheckable(true);
  connect(mnuViewPeakHold, &QAction::triggered, this, [this] {
    mnuViewPeakHold->setChecked(!mnuViewPeakHold->isChecked());
    Guarded([this] { mnuViewPeakHoldClick(); });
  });
  QMenu* times = view->addMenu(tr("Peak Hold &Time"));
  mnuViewPeakHoldTime = new QActionGroup(this);
  for (const qint64 holdMs : PeakHold::kHoldTimesMs) {
    QAction* action = times->addAction(HoldTimeText(holdMs));
    action->setCheckable(true);
    action->setData(holdMs);
    action->setChecked(holdMs == Peak_.HoldMs());
    mnuViewPeakHoldTime->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, holdMs] { Guarded([this, holdMs] { SetPeakHoldTime(holdMs); }); });
  }
  tmrPeak = new QTimer(this);
  tmrPeak->setInterval(kPeakRefreshMs);
  connect(tmrPeak, &QTimer::timeout, this, [this] { Guarded([this] { tmrPeakTimer(); }); });
}

void TFormMain::CreateIntervalMenu(QMenu* view) {
  QMenu* intervals = view->addMenu(tr("Polling &Interval"));
  mnuViewInterval = new QActionGroup(this);
  for (const int ms : kPollingIntervalsMs) {
    QAction* action = intervals->addAction(IntervalText(ms));
    action->setCheckable(true);
    action->setData(ms);
    action->setChecked(ms == pollingIntervalMs_);
    mnuViewInterval->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, ms] { Guarded([this, ms] { SetPollingInterval(ms); }); });
  }
}

// --- Peak hold --------------------------------------------------------------------------

void TFormMain::CreatePeakPanel() {
  Panel_Peak = new QFrame(centralWidget());
  Panel_Peak->setObjectName(QStringLiteral("Panel_Peak"));
  Panel_Peak->setGeometry(PanelDisplayWidth + 4, 2, PeakPanelWidth, PanelDisplayHeight);
  Panel_Peak->setFrameStyle(QFrame::Panel | QFrame::Raised);
  StylePanel(Panel_Peak);
  LabelPEP = new QLabel(tr("PEP (W):"), Panel_Peak);
  LabelPEP->setGeometry(6, 5, PeakPanelWidth - 12, 16);
  QFont font = LabelPEP->font();
  font.setBold(true);
  font.setPixelSize(11);
  LabelPEP->setFont(font);
  // The same size and font as the forward power read-out beside it.
  Edit_PEP = new QLineEdit(Panel_Peak);
  Edit_PEP->setObjectName(QStringLiteral("Edit_PEP"));
  Edit_PEP->setGeometry(6, 22, PeakPanelWidth - 12, 29);
  Edit_PEP->setFont(ReadoutFont(24));
  Edit_PEP->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Edit_PEP->setStyleSheet(ReadoutStyleSheet(false));
  Edit_PEP->setReadOnly(true);
  Edit_PEP->setFocusPolicy(Qt::ClickFocus);
  Edit_PEP->setToolTip(tr("Peak forward power, held and then falling"));
  Panel_Peak->hide();
}

bool TFormMain::PeakHoldShown() const {
  return mnuViewPeakHold->isChecked();
}

void TFormMain::mnuViewPeakHoldClick() {
  const bool on = !PeakHoldShown();
  mnuViewPeakHold->setChecked(on);
  if (on) {
    tmrPeak->start();
    ShowPeak();
  } else {
    tmrPeak->stop();
    dcMeter->SetPeakPosition(TDCDial::kNoPeak);
  }
  PlacePanels(MeterShown());
}

void TFormMain::SetPeakHoldTime(qint64 holdMs) {
  Peak_.SetHoldMs(holdMs);
  for (QAction* action : mnuViewPeakHoldTime->actions())
    action->setChecked(action->data().toLongLong() == holdMs);
  ShowPeak();
}

void TFormMain::tmrPeakTimer() {
  ShowPeak();
}

void TFormMain::ShowPeak() {
  if (!PeakHoldShown()) return;
  const double peak = Peak_.Value(NowMs());
  const TDisplayUnit unit = DisplayUnitFor(FullScale());
  const QString label = tr("PEP (%1):").arg(QString::fromLatin1(unit.Unit));
  if (LabelPEP->text() != label) LabelPEP->setText(label);
  const QString text = QString::fromStdString(FormatNumber(unit.ForwardFormat, peak * unit.Scale));
  if (Edit_PEP->text() != text) Edit_PEP->setText(text);
  // Whole watts like the pointer; a peak beyond the scale stands at its end.
  const long position = std::lround(std::clamp(peak, 0.0, double(dcMeter->MaxValue())));
  dcMeter->SetPeakPosition(static_cast<int>(position));
}

// --- Logging ----------------------------------------------------------------------------

TFormMain::LogFileDialogFn& TFormMain::LogFileDialogHook() {
  static LogFileDialogFn hook;
  return hook;
}

void TFormMain::SetLogFileDialogHook(LogFileDialogFn hook) {
  LogFileDialogHook() = std::move(hook);
}

bool TFormMain::LogDaily() const {
  return mnuFileLogDaily->isChecked();
}

void TFormMain::mnuFileLogClick() {
  if (Log_) {
    StopLogging();
    return;
  }
  QString path;
  if (const LogFileDialogFn& hook = LogFileDialogHook()) {
    path = hook(this, logPath_);
  } else {
    // An existing log is appended to, not replaced: no overwrite question.
    path = QFileDialog::getSaveFileName(this, tr("Log Readings"), logPath_,
                                        tr("CSV files (*.csv);;All files (*)"), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  }
  if (path.isEmpty()) return;
  StartLogging(path, LogDaily());
}

void TFormMain::mnuFileLogDailyClick() {
  const bool daily = !LogDaily();
  mnuFileLogDaily->setChecked(daily);
  if (Log_) StartLogging(logPath_, daily);  // the next reading goes to the other file
}

void TFormMain::mnuFileTimesUtcClick() {
  SetIsoTimesInUtc(!IsoTimesInUtc());
  mnuFileTimesUtc->setChecked(IsoTimesInUtc());
}

void TFormMain::StartLogging(const QString& path, bool daily) {
  logPath_ = path;
  logProblem_.clear();
  Log_ = std::make_unique<ReadingLog>(
      path.toStdString(), daily,
      [this](bool failing, const std::string& message) { LogNotify(failing, message); },
      rig_->LogsPlace());
  mnuFileLog->setChecked(true);
  mnuFileLogDaily->setChecked(daily);
  UpdateStatusBar();
}

void TFormMain::StopLogging() {
  Log_.reset();
  logProblem_.clear();
  mnuFileLog->setChecked(false);
  UpdateStatusBar();
}

void TFormMain::OpenHistoryStore() {
  const std::string path = DataFolderPath() + "/VemoSWR.sqlite";
  // Told on the writer thread: the window takes it on its own.
  Store_ = std::make_unique<HistoryStore>(
      path, TStoreOptions{}, [this](bool failing, const std::string& message) {
        QMetaObject::invokeMethod(
            this,
            [this, failing, text = QString::fromStdString(message)] {
              storeProblem_ = failing || text.contains(QLatin1String("damaged")) ? text : QString();
              UpdateStatusBar();
            },
            Qt::QueuedConnection);
      });
  Store_->LoadInto(History_, NowMs());
}

void TFormMain::LogNotify(bool, const std::string& message) {
  // Either what went wrong or that logging goes on again, with how much was lost.
  logProblem_ = QString::fromStdString(message);
}

QString TFormMain::StatusText() const {
  QStringList parts = AlarmStatus();
  // What sounds comes first, then the log and the implausible readings, then the alarms'
  // messages.
  const bool alarmUp = alarms_ && !alarms_->AlarmText().isEmpty();
  qsizetype at = alarmUp ? std::min<qsizetype>(1, parts.size()) : 0;
  for (const QString& part : {LogStatusText(), storeProblem_, ImplausibleStatusText()})
    if (!part.isEmpty()) parts.insert(at++, part);
  return parts.join(QStringLiteral("  "));
}

QString TFormMain::ImplausibleStatusText() const {
  QString text;
  if (implausibility_ != Implausibility::None)
    text = tr("Implausible reading: %1.").arg(tr(ImplausibilityText(implausibility_)));
  if (implausibleCount_ > 0)
    text += (text.isEmpty() ? QString() : QStringLiteral(" ")) +
            tr("Implausible readings so far: %1.").arg(implausibleCount_);
  return text;
}

QString TFormMain::LogStatusText() const {
  if (!Log_) return {};
  if (Log_->Failing())
    return logProblem_ + tr(" Readings not logged so far: %1.").arg(Log_->NotLogged());
  if (!logProblem_.isEmpty()) return logProblem_;
  const QString name = QFileInfo(QString::fromStdString(Log_->FileFor(NowMs()))).fileName();
  return tr("Logging readings to %1.").arg(name);
}

int TFormMain::StatusBarHeight(int width) const {
  if (!statusBar_ || statusBar_->isHidden()) return 0;
  // The text wraps onto as many lines as it needs beside the button: the window grows by
  // them rather than cutting a message short or laying the bar over the panels.
  const QPushButton* button = alarms_->AcknowledgeButton();
  const bool withButton = !button->isHidden();
  const int margins = 16;
  const int textWidth =
      std::max(40, width - margins - (withButton ? button->sizeHint().width() + 8 : 0));
  const int text = lblStatus_->heightForWidth(textWidth);
  return std::max(text, withButton ? button->sizeHint().height() : 0) + 6;
}

void TFormMain::UpdateStatusBar() {
  const bool shown = Log_ != nullptr || implausibleCount_ > 0 || !storeProblem_.isEmpty() ||
                     implausibility_ != Implausibility::None || !AlarmStatus().isEmpty();
  if (!shown && !statusBar_) return;  // nothing to say yet: the window stays as designed
  if (!statusBar_) {
    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName(QStringLiteral("StatusBar"));
    statusBar_->setSizeGripEnabled(false);
    lblStatus_ = new QLabel(statusBar_);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    lblStatus_->setWordWrap(true);
    lblStatus_->setTextFormat(Qt::PlainText);
    statusBar_->addWidget(lblStatus_, 1);
    statusBar_->addPermanentWidget(alarms_->AcknowledgeButton());
    setStatusBar(statusBar_);
  }
  const QString text = StatusText();
  if (lblStatus_->text() != text) lblStatus_->setText(text);
  statusBar_->setVisible(shown);
  // The height follows the text and the button; the window grows or shrinks with it.
  if (StatusBarHeight(width()) != statusBar_->height() || shown != statusShown_) {
    statusShown_ = shown;
    PlacePanels(MeterShown());
  }
}

// --- Polling interval -------------------------------------------------------------------

void TFormMain::SetPollingInterval(int ms) {
  if (!IsPollingInterval(ms)) return;
  pollingIntervalMs_ = ms;
  Timer1->setInterval(ms);
  // The link alarm never trips between two readings that come on time.
  if (alarms_ && (Continuous() || Retrying())) alarms_->SetPolling(true, ms);
  for (QAction* action : mnuViewInterval->actions())
    action->setChecked(action->data().toInt() == ms);
}

int TFormMain::IntervalAfterCalibration() const {
  return pollingIntervalMs_ == NormalTimer1Interval ? CalibratedTimer1Interval : pollingIntervalMs_;
}

// --- Settings ---------------------------------------------------------------------------

void TFormMain::ReadStationSettings(const ProfileFile& ini) {
  SetPollingInterval(ini.ReadInteger(kSection, "PollingInterval", kDefaultPollingIntervalMs));
  const qint64 hold = ini.ReadInteger(kSection, "PeakHoldTime", PeakHold::kDefaultHoldMs);
  const auto& offered = PeakHold::kHoldTimesMs;
  SetPeakHoldTime(std::find(std::begin(offered), std::end(offered), hold) != std::end(offered)
                      ? hold
                      : PeakHold::kDefaultHoldMs);
  if (ini.ReadBool(kSection, "PeakHold", false)) mnuViewPeakHoldClick();
  logPath_ = QString::fromStdString(ini.ReadString(kSection, "LogFile", ""));
  mnuFileLogDaily->setChecked(ini.ReadBool(kSection, "LogDaily", false));
  SetIsoTimesInUtc(ini.ReadBool(kSection, "TimesInUTC", false));
  mnuFileTimesUtc->setChecked(IsoTimesInUtc());
  if (ini.ReadBool(kSection, "LogReadings", false) && !logPath_.isEmpty())
    StartLogging(logPath_, LogDaily());
}

void TFormMain::WriteStationSettings(ProfileFile& ini) const {
  ini.WriteInteger(kSection, "PollingInterval", pollingIntervalMs_);
  ini.WriteBool(kSection, "PeakHold", PeakHoldShown());
  ini.WriteInteger(kSection, "PeakHoldTime", static_cast<int>(Peak_.HoldMs()));
  ini.WriteBool(kSection, "LogReadings", Log_ != nullptr);
  ini.WriteString(kSection, "LogFile", logPath_.toStdString());
  ini.WriteBool(kSection, "LogDaily", LogDaily());
  ini.WriteBool(kSection, "TimesInUTC", IsoTimesInUtc());
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/MainRig.h"

#include <QMenu>
#include <QMenuBar>

#include <chrono>

#include "platform/ProfileFile.h"
#include "platform/SettingsPath.h"
#include "station/AlarmSettings.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/main/Main.h"
#include "ui/rig/RigDialog.h"
#include "ui/rig/SweepDialog.h"

namespace vemo {
namespace {

const QString kRigTopic = QStringLiteral("rig");
const QString kInterlockTopic = QStringLiteral("interlock");
const QString kInterlockFailureTopic = QStringLiteral("interlock failure");

}  // namespace

MainRig::MainRig(TFormMain& form) : form_(form) {}

MainRig::~MainRig() {
  Shutdown();
}

void MainRig::CreateMenu(QMenu* commands) {
  QMenu* edit = new QMenu(tr("&Edit"), &form_);
  QMenu* view = nullptr;
  for (QAction* a : form_.menuBar()->actions())
    if (a->menu() && a->text() == TFormMain::tr("&View")) view = a->menu();
  form_.menuBar()->insertMenu(view ? view->menuAction() : nullptr, edit);
  const auto item = [this](QMenu* menu, const QString& text, void (MainRig::*handler)()) {
    QAction* action = menu->addAction(text);
    connect(action, &QAction::triggered, this,
            [this, handler] { form_.Guarded([this, handler] { (this->*handler)(); }); });
    return action;
  };
  actRig = item(edit, tr("&Rig…"), &MainRig::ShowRigDialog);
  if (view) actSweep = item(view, tr("SWR S&weep…"), &MainRig::ShowSweep);
  // Beside "Test Alarm", which it resembles.
  actTestInterlock = item(commands, tr("Test &Interlock"), &MainRig::TestInterlock);
  const QList<QAction*> actions = commands->actions();
  const qsizetype at = actions.indexOf(form_.mnuCommandsTestAlarm);
  if (at >= 0 && at + 1 < actions.size()) {
    commands->removeAction(actTestInterlock);
    commands->insertAction(actions[at + 1], actTestInterlock);
  }
}

void MainRig::ReadSettings(const ProfileFile& ini) {
  std::vector<std::string> warnings;
  const TRigSettings settings = ReadRigSettings(ini, warnings);
  BandPlan bands = BandPlan::Read(ini, warnings);
  ReadBandSettings(ini, {}, warnings);  // only its warnings: the levels follow the alarms'
  for (const std::string& w : warnings)
    form_.AlarmNote(QStringLiteral("settings"), QString::fromStdString(w), false);
  Start(settings, std::move(bands));
}

TBandSettings MainRig::ReadBands() const {
  std::vector<std::string> warnings;  // said once at start-up
  return ReadBandSettings(ProgramSettings(form_.IniFileName()), form_.alarms_->Settings().Levels,
                          warnings);
}

void MainRig::AlarmLevelsChanged() {
  if (station_) station_->SetBandSettings(ReadBands(), form_.alarms_->Settings().Levels);
}

void MainRig::Start(const TRigSettings& settings, BandPlan bands) {
  if (sweep_) sweep_->Abort(tr("The rig settings changed"));
  delete sweep_;
  sweep_ = nullptr;
  station_.reset();
  interlockLog_.reset();
  place_ = {};
  corrected_ = false;
  rigState_ = {};
  form_.AlarmNote(kRigTopic, {}, false);
  form_.AlarmNote(kInterlockTopic, {}, false);
  if (!settings.Any()) return;
  try {
    station_ = std::make_unique<StationRig>(
        settings, std::move(bands),
        [this](const TRigState& state, std::vector<TInterlockEvent> events) {
          // On the poll thread; the window hears of it on its own.
          QMetaObject::invokeMethod(this, [this, state, events] {
            RigChanged(state);
            Interlocked(events);
          });
        });
  } catch (const std::exception& e) {
    form_.AlarmNote(kRigTopic, tr("Rig: %1").arg(QString::fromUtf8(e.what())), false);
    return;
  }
  station_->SetBandSettings(ReadBands(), form_.alarms_->Settings().Levels);
  const std::string alarmLog = form_.alarms_->Settings().Log;
  const std::string path =
      InterlockLogPath(alarmLog.empty() ? DefaultAlarmLogPath(form_.IniFileName()) : alarmLog);
  interlockLog_ = std::make_unique<AppendingFile>(
      kInterlockLogHeader, "interlock event", "interlock events",
      [this, path](bool failing, const std::string& message) {
        form_.AlarmNote(QStringLiteral("interlock log"),
                        failing ? QString::fromStdString(path + ": " + message) : QString(), false);
      });
  ShowStatus();
}

void MainRig::Shutdown() {
  if (sweep_) sweep_->Abort(tr("The window closed"));
  delete sweep_;  // waits until the rig is restored
  sweep_ = nullptr;
  station_.reset();
}

TMonitorReading MainRig::Place(const TMonitorReading& raw) {
  if (!station_) return raw;
  const StationRig::Placed p = station_->Place(form_.NowMs(), raw);
  if (p.BandChanged) form_.alarms_->SetBandLevels(p.Levels);
  place_ = {p.FrequencyHz.value_or(0), p.Band, p.Corrected.ForwardRaw, p.Corrected.ReflectedRaw};
  corrected_ = p.Corrected.Corrected;
  {
    std::lock_guard lock(readingMutex_);
    ++readingCount_;
    latest_ = {p.Corrected.Reading.Forward, p.Corrected.Reading.Reflected};
    readingLimitMs_ = std::max(3000, 4 * form_.PollingInterval());
  }
  readingCame_.notify_all();
  ShowStatus();
  return p.Corrected.Reading;
}

std::optional<TSweepReading> MainRig::NextReading(SweepControl& control) {
  std::unique_lock lock(readingMutex_);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(readingLimitMs_);
  const std::uint64_t before = readingCount_;
  while (readingCount_ == before) {
    if (control.Aborted() || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    // Short waits, so that an abort is seen at once.
    readingCame_.wait_for(lock, std::chrono::milliseconds(20));
  }
  return latest_;
}

void MainRig::AlarmEvents(const std::vector<TAlarmEvent>& events) {
  if (!station_) return;
  // The unkey goes first; telling of it comes after.
  const std::vector<TInterlockEvent> interlock = station_->OnAlarms(events);
  if (sweep_)
    for (const TAlarmEvent& e : events)
      if (e.Change == AlarmChange::Tripped)
        sweep_->Abort(tr("Alarm: %1").arg(QString::fromUtf8(AlarmSourceName(e.Source))));
  Interlocked(interlock);
}

void MainRig::Acknowledged() {
  if (station_) Interlocked(station_->Acknowledge(form_.NowMs()));
}

void MainRig::TestInterlock() {
  if (!station_ || !station_->HasInterlock()) {
    form_.ShowMessage(
        tr("There is no interlock to test. Set a rig and the alarms that unkey it first (Edit, "
           "Rig…)."));
    return;
  }
  Interlocked(station_->TestInterlock(form_.NowMs()));
}

void MainRig::Interlocked(const std::vector<TInterlockEvent>& events) {
  if (events.empty() || !station_) return;
  for (const TInterlockEvent& e : events) {
    if (e.Change == InterlockChange::Tripped && sweep_) sweep_->Abort(tr("The interlock tripped"));
    if (interlockLog_) {
      const std::string alarmLog = form_.alarms_->Settings().Log;
      interlockLog_->Write(
          InterlockLogPath(alarmLog.empty() ? DefaultAlarmLogPath(form_.IniFileName()) : alarmLog),
          InterlockLogRow(e));
    }
    if (e.Change == InterlockChange::UnkeyFailed || e.Change == InterlockChange::SafePowerFailed)
      form_.AlarmNote(kInterlockFailureTopic,
                      tr("The interlock could not %1: %2. Check the rig now.")
                          .arg(e.Change == InterlockChange::UnkeyFailed ? tr("unkey the rig")
                                                                        : tr("lower its power"),
                               QString::fromStdString(e.Reason)),
                      false);
    if (e.Change == InterlockChange::Released) form_.AlarmNote(kInterlockFailureTopic, {}, false);
  }
  form_.AlarmNote(kInterlockTopic,
                  station_->Latched() ? tr("TX INHIBITED – acknowledge to release") : QString(),
                  false);
}

void MainRig::RigChanged(const TRigState& state) {
  rigState_ = state;
  ShowStatus();
}

void MainRig::ShowStatus() {
  if (!station_) return;
  QString text;
  if (place_.FrequencyHz > 0) {
    text =
        tr("Rig: %1").arg(QString::fromStdString(FrequencyText(place_.FrequencyHz, place_.Band)));
    if (corrected_) text += tr(", corrected");
    text += '.';
  } else {
    const TRigState state = station_->State(form_.NowMs());
    text = state.Connected ? tr("Rig: %1.").arg(QString::fromStdString(station_->Description()))
                           : tr("Rig not reached (%1): %2.")
                                 .arg(QString::fromStdString(station_->Description()),
                                      QString::fromStdString(state.Error));
  }
  form_.AlarmNote(kRigTopic, text, false);
}

void MainRig::ShowRigDialog() {
  ProfileFile ini = ProgramSettings(form_.IniFileName());
  std::vector<std::string> warnings;
  RigDialog dialog(&form_);
  dialog.SetSettings(station_ ? station_->Settings() : ReadRigSettings(ini, warnings));
  if (dialog.exec() != QDialog::Accepted) return;
  const TRigSettings chosen = dialog.Settings();
  try {
    WriteRigSettings(ini, chosen);
  } catch (const std::exception& e) {
    form_.ShowMessage(tr("The rig settings apply until the program ends but could not be saved: %1")
                          .arg(QString::fromUtf8(e.what())));
  }
  Start(chosen, BandPlan::Read(ini, warnings));
}

void MainRig::ShowSweep() {
  std::shared_ptr<Rig> rig = station_ ? station_->CommandRig() : nullptr;
  if (!rig) {
    form_.ShowMessage(tr("A sweep needs a rig to step. Set one first (Edit, Rig…)."));
    return;
  }
  if (station_->Latched()) {
    form_.ShowMessage(tr("TX INHIBITED – acknowledge to release before a sweep."));
    return;
  }
  if (!sweep_) {
    SweepDialog::Host host;
    host.Commands = std::move(rig);
    host.Bands = station_->Bands();
    if (place_.FrequencyHz > 0) host.CurrentHz = place_.FrequencyHz;
    host.PowerLimitW = station_->Settings().SweepPowerLimitW;
    host.Monitor = QString::fromStdString(form_.Monitor() ? form_.Monitor()->ModelId() : "");
    host.Read = [this](SweepControl& control) { return NextReading(control); };
    host.Starting = [this] {
      if (!form_.Continuous()) form_.mnuCommands_RClick();
    };
    sweep_ = new SweepDialog(std::move(host), &form_);
  }
  sweep_->show();
  sweep_->raise();
  sweep_->activateWindow();
}

}  // namespace vemo

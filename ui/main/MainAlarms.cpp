// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own alarms in the main window: their settings, the history window, the
// acknowledgement, and the alarm's share of the status area.
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "platform/PortNames.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsPath.h"
#include "serial/ComPort.h"
#include "store/Sqlite.h"
#include "ui/alarms/AlarmSettingsDialog.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/main/Main.h"
#include "ui/main/MainAccessibility.h"
#include "ui/main/MainRig.h"
#include "ui/main/MainStyle.h"
#include "ui/trend/TrendWindow.h"

namespace vemo {

namespace {
// Enough for every warning about the settings at start-up; older messages make way.
constexpr qsizetype kAlarmNotesKept = 8;
// Long enough to be read by someone glancing at the station now and then.
constexpr int kPassingNoteMs = 60'000;
const QString kSettingsTopic = QStringLiteral("settings");

QColor LatchedAmber() {
  return QColor(255, 176, 0);
}
}  // namespace

void TFormMain::CreateAlarms() {
  OperatorAlarms::Host host;
  host.Window = this;
  host.Panel = pnlAlarm;
  host.Now = [this] { return NowMs(); };
  host.Port = [this] { return PortDevicePath(ComObj_->ComNumber()); };
  host.Note = [this](const QString& topic, const QString& message, bool passing) {
    AlarmNote(topic, message, passing);
  };
  // The flash shows the other colour than the panel's own: red on a quiet panel, and the
  // button face on a panel that the monitor's alarm has already made red.
  host.PaintFlash = [this](QLabel* flash, AlarmLook look) {
    QColor colour = AlarmRed();
    if (look == AlarmLook::Latched)
      colour = LatchedAmber();
    else if (look == AlarmLook::FlashLit && IndicatorColour(pnlAlarm) == AlarmRed())
      colour = ButtonFace();
    SetIndicatorColour(flash, colour);
  };
  host.Changed = [this] {
    UpdateStatusBar();
    if (trendWindow_) trendWindow_->SetUnacknowledged(alarms_->Unacknowledged());
    if (access_) access_->AlarmsChanged();
  };
  host.First = [this](const std::vector<TAlarmEvent>& events) {
    if (rig_) rig_->AlarmEvents(events);
  };
  host.Acknowledged = [this] {
    if (rig_) rig_->Acknowledged();
  };
  host.Event = [this](const TAlarmEvent& event) {
    if (Store_) Store_->AddEvent(event);
  };
  alarms_ = std::make_unique<OperatorAlarms>(host);
}

void TFormMain::LoadAlarmSettings(const ProfileFile& ini) {
  const TAlarmSettingsRead read = ReadAlarmSettings(ini);
  for (const std::string& warning : read.Warnings)
    AlarmNote(kSettingsTopic, QString::fromStdString(warning), false);
  alarms_->Configure(read.Settings);
  ApplyVSWRThreshold();
}

void TFormMain::ApplyVSWRThreshold() {
  // The time above the level that the operator's alarm watches says the most.
  const double level = alarms_->Settings().Levels.VSWRAbove;
  Stats_.SetThreshold(level > 0 ? static_cast<float>(level) : kTrendVSWRThreshold);
  if (trendWindow_) trendWindow_->DataChanged();
}

void TFormMain::SetAlarmLogPath(const QString& path) {
  alarms_->SetLogPathOverride(path.toStdString());
}

void TFormMain::mnuViewAlarmSettingsClick() {
  const TAlarmSettings shown = alarms_->Settings();
  AlarmSettingsDialog dialog(this);
  dialog.SetSettings(shown);
  if (dialog.exec() != QDialog::Accepted) return;
  const TAlarmSettings chosen = dialog.Settings();
  alarms_->Configure(chosen);
  rig_->AlarmLevelsChanged();
  ApplyVSWRThreshold();
  // The settings were looked at and confirmed: the warnings about the file no longer hold.
  alarmNotes_.removeIf([](const AlarmNoteEntry& n) { return n.Topic == kSettingsTopic; });
  UpdateStatusBar();
  try {
    ProfileFile ini = ProgramSettings(IniFileName_);
    WriteAlarmSettings(ini, shown, chosen);
  } catch (const std::exception& e) {
    ShowMessage(tr("The alarm settings apply until the program ends but could not be saved: %1")
                    .arg(QString::fromUtf8(e.what())));
  }
}

void TFormMain::mnuViewSetReferenceClick() {
  const qint64 now = NowMs();
  const TSummary last = History_.Statistics(now - 60'000, now + 1, 0).Summary;
  if (!Store_ || !last.HasData() || !(last.MeanForward() > 0)) {
    ShowMessage(
        tr("There is no reading with forward power in the last minute to take as the "
           "reference. Key the transmitter, poll for a minute and try again."));
    return;
  }
  const TDriftBaseline reference{last.MeanForward(), last.MeanReflected(), last.MeanVSWR()};
  try {
    if (!Store_->Read([&](SqliteDb& db) { StoreReference(db, reference); }))
      throw StoreError(0, Store_->Path() + " cannot be opened");
  } catch (const StoreError& e) {
    ShowMessage(tr("The reference could not be stored: %1").arg(QString::fromUtf8(e.what())));
    return;
  }
  baseline_.Invalidate();
  AlarmNote(QStringLiteral("drift reference"),
            tr("Drift reference set: forward %1 W, reflected %2 W, VSWR %3.")
                .arg(reference.Forward, 0, 'g', 4)
                .arg(reference.Reflected, 0, 'g', 4)
                .arg(reference.VSWR, 0, 'f', 2),
            true);
}

void TFormMain::mnuViewAlarmHistoryClick() {
  alarms_->ShowHistory();
}

void TFormMain::mnuCommandsAcknowledgeClick() {
  alarms_->Acknowledge();
}

void TFormMain::mnuCommandsTestAlarmClick() {
  alarms_->TestAlarm();
}

void TFormMain::AlarmNote(const QString& topic, const QString& message, bool passing) {
  // The settings' warnings are one per key; any other topic holds one message at a time.
  alarmNotes_.removeIf([&](const AlarmNoteEntry& n) {
    return n.Text == message || (topic != kSettingsTopic && n.Topic == topic);
  });
  if (!message.isEmpty()) alarmNotes_.append({topic, message});
  while (alarmNotes_.size() > kAlarmNotesKept) alarmNotes_.removeFirst();
  if (passing && !message.isEmpty())
    QTimer::singleShot(kPassingNoteMs, this, [this, message] {
      alarmNotes_.removeIf([&](const AlarmNoteEntry& n) { return n.Text == message; });
      UpdateStatusBar();
    });
  UpdateStatusBar();
}

QStringList TFormMain::AlarmStatus() const {
  QStringList parts;
  if (alarms_) parts.append(alarms_->AlarmText());
  parts.removeAll(QString());
  for (const AlarmNoteEntry& note : alarmNotes_) parts.append(note.Text);
  return parts;
}

}  // namespace vemo

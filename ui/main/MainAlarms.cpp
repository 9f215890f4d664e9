// The program's own alarms in the main window: their settings, the history window, the
// acknowledgement, and the alarm's share of the status area.
#include <QLabel>
#include <QStatusBar>

#include "platform/PortNames.h"
#include "platform/ProfileFile.h"
#include "serial/ComPort.h"
#include "store/Sqlite.h"
#include "ui/alarms/AlarmSettingsDialog.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/main/Main.h"
#include "ui/main/MainStyle.h"

namespace vemo {

namespace {
// Enough for every warning about the settings at start-up; older messages make way.
constexpr qsizetype kAlarmNotesKept = 8;
}  // namespace

void TFormMain::CreateAlarms() {
  OperatorAlarms::Host host;
  host.Window = this;
  host.Panel = pnlAlarm;
  host.Now = [this] { return NowMs(); };
  host.Port = [this] { return PortDevicePath(ComObj_->ComNumber()); };
  host.Note = [this](const QString& message) { AlarmNote(message); };
  // The flash shows the other colour than the panel's own: red on a quiet panel, and the
  // button face on a panel that the monitor's alarm has already made red.
  host.PaintFlash = [this](QLabel* flash) {
    SetIndicatorColour(flash, IndicatorColour(pnlAlarm) == AlarmRed() ? ButtonFace() : AlarmRed());
  };
  host.Changed = [this] { UpdateStatusBar(); };
  host.Event = [this](const TAlarmEvent& event) {
    if (Store_) Store_->AddEvent(event);
  };
  alarms_ = std::make_unique<OperatorAlarms>(host);
}

void TFormMain::LoadAlarmSettings(const ProfileFile& ini) {
  const TAlarmSettingsRead read = ReadAlarmSettings(ini);
  for (const std::string& warning : read.Warnings) AlarmNote(QString::fromStdString(warning));
  alarms_->Configure(read.Settings);
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
  try {
    ProfileFile ini(IniFileName_);
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
  AlarmNote(tr("Drift reference set: forward %1 W, reflected %2 W, VSWR %3.")
                .arg(reference.Forward, 0, 'g', 4)
                .arg(reference.Reflected, 0, 'g', 4)
                .arg(reference.VSWR, 0, 'f', 2));
}

void TFormMain::mnuViewAlarmHistoryClick() {
  alarms_->ShowHistory();
}

void TFormMain::mnuCommandsAcknowledgeClick() {
  alarms_->Acknowledge();
}

void TFormMain::AlarmNote(const QString& message) {
  alarmNotes_.removeAll(message);  // told again: it moves to the end
  alarmNotes_.append(message);
  while (alarmNotes_.size() > kAlarmNotesKept) alarmNotes_.removeFirst();
  UpdateStatusBar();
}

QStringList TFormMain::AlarmStatus() const {
  QStringList parts;
  if (alarms_ && alarms_->Sounding()) parts.append(alarms_->AlarmText());
  return parts + alarmNotes_;
}

}  // namespace vemo

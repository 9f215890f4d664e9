// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/MainAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <cmath>

#include "platform/ProfileFile.h"
#include "station/Readout.h"
#include "station/SpokenReading.h"
#include "ui/access/Speaker.h"
#include "ui/access/TuningTonePlayer.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/controls/NumEdit.h"
#include "ui/main/Main.h"
#include "ui/main/ShortcutTable.h"
#include "ui/meter/DCDial.h"
#include "ui/meter/DCDialAccessible.h"

namespace vemo {

namespace {
constexpr int kSpeakPeriods[] = {5, 10, 30, 60};
constexpr AlarmSource kSources[] = {AlarmSource::Monitor, AlarmSource::VSWRAbove,
                                    AlarmSource::ReflectedAbove, AlarmSource::ForwardBelow,
                                    AlarmSource::LinkLost};
constexpr char kSection[] = "Speech";

// The client area lists only the panels on show: the diagnostics panel (and the meter
// panel while the meter is off) would otherwise be read out with controls nobody can reach.
class ShownPanelsAccessible : public QAccessibleWidget {
 public:
  explicit ShownPanelsAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Client) {}
  int childCount() const override { return static_cast<int>(Shown().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> shown = Shown();
    return index >= 0 && index < shown.size() ? QAccessible::queryAccessibleInterface(shown[index])
                                              : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child ? static_cast<int>(Shown().indexOf(child->object())) : -1;
  }

 private:
  QList<QWidget*> Shown() const {
    QList<QWidget*> shown;
    for (QObject* o : widget()->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (w && !w->isWindow() && !w->isHidden()) shown.append(w);
    }
    return shown;
  }
};

// The alarm's announcement: a notification, which screen readers speak as soon as it shows.
class NoticeAccessible : public QAccessibleWidget {
 public:
  explicit NoticeAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Notification) {}
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? static_cast<QLabel*>(widget())->text()
                                  : QAccessibleWidget::text(t);
  }
};

constexpr char kNoticeName[] = "pnlAlarmNotice";

QAccessibleInterface* MainWindowFactory(const QString&, QObject* object) {
  if (!object || !object->isWidgetType()) return nullptr;
  if (object->objectName() == QLatin1String("ClientArea"))
    return new ShownPanelsAccessible(static_cast<QWidget*>(object));
  if (object->objectName() == QLatin1String(kNoticeName))
    return new NoticeAccessible(static_cast<QWidget*>(object));
  return nullptr;
}

}  // namespace

QString ReadoutAccessibleName(const QString& caption) {
  QString text = caption.trimmed();
  if (text.endsWith(u':')) text.chop(1);
  QString unit;
  const qsizetype open = text.lastIndexOf(u'(');
  if (open >= 0 && text.endsWith(u')')) {
    unit = text.mid(open + 1, text.size() - open - 2);
    text = text.left(open).trimmed();
  }
  if (text == QLatin1String("V.S.W.R."))
    text = QStringLiteral("VSWR");
  else if (text.size() > 1)
    text = text.left(1) + text.mid(1).toLower();
  static const QHash<QString, QString> kUnits = {
      {QStringLiteral("KW"), QStringLiteral("kilowatts")},
      {QStringLiteral("W"), QStringLiteral("watts")},
      {QStringLiteral("dB"), QStringLiteral("decibels")},
      {QStringLiteral("%"), QStringLiteral("percent")},
  };
  if (unit.isEmpty()) return text;
  return text + QStringLiteral(", ") + kUnits.value(unit, unit);
}

MainAccessibility::MainAccessibility(TFormMain& form)
    : form_(form),
      speaker_(std::make_unique<Speaker>([this](const QString& m) { Note(m); })),
      tone_(std::make_unique<TuningTonePlayer>([this](const QString& m) { Note(m); })),
      dialAnnouncer_(std::make_unique<DialAnnouncer>(*form.dcMeter)) {
  InstallDialAccessibility();
  static const bool installed = [] {
    QAccessible::installFactory(MainWindowFactory);
    return true;
  }();
  Q_UNUSED(installed);
  speakTimer_ = new QTimer(this);
  connect(speakTimer_, &QTimer::timeout, this, [this] {
    if (haveReading_) SpeakReading();
  });
  NameControls();
}

MainAccessibility::~MainAccessibility() = default;

void MainAccessibility::NameControls() {
  TFormMain& f = form_;
  f.dcMeter->setAccessibleName(tr("Forward power meter"));
  f.cmboRangeList->setAccessibleName(tr("Full scale range"));
  f.pnlRS232->setAccessibleName(tr("RS232 port active"));
  f.lblConnection->setAccessibleName(tr("Monitor"));
  f.pnlAlarm->setAccessibleName(tr("Alarm"));
  f.pnlAlarm->setAccessibleDescription(tr("No alarm"));
  // Nothing to see: it lies under the alarm panel and exists to be announced.
  notice_ = new QLabel(f.pnlAlarm->parentWidget());
  notice_->setObjectName(QLatin1String(kNoticeName));
  notice_->setGeometry(f.pnlAlarm->x(), f.pnlAlarm->y(), 1, 1);
  notice_->lower();
  notice_->hide();
  // The diagnostics panel's designer names say nothing to someone who cannot see them.
  f.RealEdit1->setAccessibleName(tr("Simulated forward power, watts"));
  f.RealEdit2->setAccessibleName(tr("Simulated reflected power, watts"));
  f.Edit1->setAccessibleName(tr("Simulated noise"));
  f.Button3->setAccessibleName(tr("Simulated power falls faster"));
  f.Button4->setAccessibleName(tr("Simulated power falls slower"));
  f.Button2->setAccessibleName(tr("Show diagnostic counters"));
  f.Label3D->setBuddy(f.Edit_Return_Loss);
  f.Label4D->setBuddy(f.Edit_VSWR);
  f.Label5D->setBuddy(f.Edit_Rho);
  f.Label6D->setBuddy(f.Edit_Transmited_Power);
  f.lblDBM->setBuddy(f.editDBM);
  f.LabelPEP->setBuddy(f.Edit_PEP);
  f.editDBm1->setAccessibleName(tr("Forward power, dBm"));
  f.editDBM->setAccessibleName(tr("Forward power, dBm"));
  NameReadouts();
}

void MainAccessibility::NameReadouts() {
  TFormMain& f = form_;
  const std::pair<QLabel*, QLineEdit*> pairs[] = {
      {f.Label1D, f.Edit_Forward_Power}, {f.Label2D, f.Edit_Reverse_Power},
      {f.Label3D, f.Edit_Return_Loss},   {f.Label4D, f.Edit_VSWR},
      {f.Label5D, f.Edit_Rho},           {f.Label6D, f.Edit_Transmited_Power},
      {f.LabelPEP, f.Edit_PEP}};
  for (const auto& [label, edit] : pairs) {
    label->setBuddy(edit);
    const QString name = ReadoutAccessibleName(label->text());
    // Unchanged names are not sent again: each change is an event for the screen reader.
    if (edit->accessibleName() != name) edit->setAccessibleName(name);
  }
}

void MainAccessibility::CreateMenu(QMenu* menu, QMenu* help) {
  const auto add = [this, menu](const QString& text, const QKeySequence& key, auto handler) {
    QAction* action = menu->addAction(text);
    action->setShortcut(key);
    // These work from every window of the program: the trend or alarm history included.
    action->setShortcutContext(Qt::ApplicationShortcut);
    connect(action, &QAction::triggered, this, handler);
    form_.addAction(action);
    return action;
  };
  menu->addSeparator();
  actSpeak = add(tr("&Speak"), QKeySequence(Qt::Key_F5), [this] { SpeakReading(); });
  QMenu* every = menu->addMenu(tr("Speak E&very"));
  actSpeakEvery = new QActionGroup(this);
  QAction* off = every->addAction(tr("&Off"));
  off->setData(0);
  actSpeakEvery->addAction(off);
  for (const int s : kSpeakPeriods) {
    QAction* a = every->addAction(tr("%1 Seconds").arg(s));
    a->setData(s);
    actSpeakEvery->addAction(a);
  }
  for (QAction* a : actSpeakEvery->actions()) a->setCheckable(true);
  actSpeakChanges = add(tr("Speak C&hanges"), {}, [this] { SaveChoices(); });
  actSpeakAlarms = add(tr("Speak Ala&rms"), {}, [this] { SaveChoices(); });
  actTuningTone = add(tr("T&uning Tone"), QKeySequence(Qt::Key_F6), [this] { ToggleTuningTone(); });
  actMorse = add(tr("VSWR in &Morse"), QKeySequence(Qt::Key_F7), [this] { SendMorse(); });
  for (QAction* a : {actSpeakChanges, actSpeakAlarms, actTuningTone}) a->setCheckable(true);

  connect(actSpeakEvery, &QActionGroup::triggered, this, [this](QAction* a) {
    const int s = a->data().toInt();
    if (s > 0)
      speakTimer_->start(s * 1000);
    else
      speakTimer_->stop();
    SaveChoices();
  });

  actShortcuts = help->addAction(tr("&Keyboard Shortcuts"));
  connect(actShortcuts, &QAction::triggered, this, [this] { ShowShortcuts(); });
}

void MainAccessibility::ReadChoices() {
  const ProfileFile ini(form_.IniFileName());
  const int period = ini.ReadInteger(kSection, "Every", 0);
  for (QAction* a : actSpeakEvery->actions())
    if (a->data().toInt() == period) a->setChecked(true);
  // A period the menu does not offer reads as off.
  if (!actSpeakEvery->checkedAction()) actSpeakEvery->actions().front()->setChecked(true);
  const int chosen = actSpeakEvery->checkedAction()->data().toInt();
  if (chosen > 0) speakTimer_->start(chosen * 1000);
  actSpeakChanges->setChecked(ini.ReadBool(kSection, "Changes", false));
  actSpeakAlarms->setChecked(ini.ReadBool(kSection, "Alarms", false));
}

void MainAccessibility::SaveChoices() {
  try {
    ProfileFile ini(form_.IniFileName());
    const QAction* every = actSpeakEvery->checkedAction();
    ini.WriteInteger(kSection, "Every", every ? every->data().toInt() : 0);
    ini.WriteBool(kSection, "Changes", actSpeakChanges->isChecked());
    ini.WriteBool(kSection, "Alarms", actSpeakAlarms->isChecked());
  } catch (const std::exception& e) {
    Note(tr("The speech choices apply until the program ends but could not be saved: %1")
             .arg(QString::fromUtf8(e.what())));
  }
}

void MainAccessibility::Shown(double forward, double reflected, const TReadout& readout,
                              bool plausible) {
  NameReadouts();
  if (!plausible) return;
  forward_ = forward;
  reflected_ = reflected;
  vswr_ = readout.VSWR;
  haveReading_ = true;
  dialAnnouncer_->Moved(QDateTime::currentMSecsSinceEpoch());
  const bool keyed = forward_ >= kTuneKeyedWatts;
  if (actSpeakChanges && actSpeakChanges->isChecked() && keyed &&
      std::fabs(vswr_ - lastSpokenVSWR_) > kSpokenVSWRStep)
    SpeakReading();
  if (tone_->Running()) {
    const TuningTracker::Tone tone = tracker_.Reading(forward_, vswr_);
    tone_->SetPitch(tone.Hz);
    if (tone.Beep) tone_->Beep();
  }
}

void MainAccessibility::SpeakReading() {
  if (!haveReading_) {
    Say(tr("No reading yet"));
    return;
  }
  const bool keyed = forward_ >= kTuneKeyedWatts;
  lastSpokenVSWR_ = keyed ? vswr_ : -1;
  Say(SpokenReading(forward_, reflected_, keyed ? vswr_ : std::nan(""), speaker_->Locale()));
}

void MainAccessibility::ToggleTuningTone() {
  if (tone_->Running()) {
    tone_->Stop();
  } else if (tone_->Start()) {
    tracker_ = TuningTracker();
    if (haveReading_) tone_->SetPitch(tracker_.Reading(forward_, vswr_).Hz);
  }
  actTuningTone->setChecked(tone_->Running());
}

void MainAccessibility::SendMorse() {
  if (!haveReading_ || forward_ < kTuneKeyedWatts) {
    Say(SpokenVSWR(std::nan(""), speaker_->Locale()));
    return;
  }
  // Without the tuning tone the output opens for the Morse alone and stays silent after.
  if (!tone_->Running() && !tone_->Start()) return;
  tone_->SendMorse(VSWRInMorse(vswr_));
}

void MainAccessibility::AlarmsChanged() {
  const OperatorAlarms& alarms = form_.Alarms();
  int active = 0, acknowledged = 0;
  for (const AlarmSource source : kSources) {
    const AlarmState state = alarms.Evaluator().State(source);
    active += state == AlarmState::Active;
    acknowledged += state == AlarmState::Acknowledged;
  }
  QString state;
  if (active > 0)
    state = tr("Alarm active, not acknowledged: %1").arg(alarms.AlarmText());
  else if (acknowledged > 0)
    state = tr("Alarm acknowledged, still active");
  else if (everAlarmed_)
    state = tr("Alarm cleared");
  else
    state = tr("No alarm");
  everAlarmed_ = everAlarmed_ || active + acknowledged > 0;
  if (form_.pnlAlarm->accessibleDescription() != state)
    form_.pnlAlarm->setAccessibleDescription(state);
  const bool newTrip = active > activeAlarms_;
  activeAlarms_ = active;
  if (active == 0) notice_->hide();
  if (!newTrip) return;
  // Screen readers speak an alert, and a notification that shows, at once, over whatever
  // they were saying; the alert event alone is not passed on by every bridge.
  notice_->hide();
  notice_->setText(alarms.AlarmText());
  notice_->show();
  QAccessibleEvent alert(form_.pnlAlarm, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
  if (actSpeakAlarms && actSpeakAlarms->isChecked()) Say(alarms.AlarmText());
}

void MainAccessibility::ShowShortcuts() {
  NewShortcutsDialog(&form_, ShortcutRows(*form_.menuBar()))->exec();
}

void MainAccessibility::Say(const QString& text) {
  speaker_->Say(text);
}

void MainAccessibility::Note(const QString& message) {
  form_.ShowAccessNote(message);
}

}  // namespace vemo

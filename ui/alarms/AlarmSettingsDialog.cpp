// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alarms/AlarmSettingsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "station/AlarmHook.h"
#include "ui/alarms/AlarmHistoryWindow.h"
#include "ui/controls/AccessibleWindow.h"

namespace vemo {

namespace {
QDoubleSpinBox* LevelBox(QWidget* parent, double max, int decimals, const QString& suffix,
                         const QString& tip, bool zeroIsOff = true) {
  auto* box = new QDoubleSpinBox(parent);
  box->setRange(0, max);
  box->setDecimals(decimals);
  box->setSuffix(suffix);
  if (zeroIsOff) box->setSpecialValueText(QObject::tr("Off"));
  box->setToolTip(tip);
  return box;
}
}  // namespace

AlarmSettingsDialog::AlarmSettingsDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AlarmSettingsDialog"));
  setWindowTitle(tr("Alarm Settings"));
  VSWRAbove = LevelBox(this, 99, 2, {}, tr("Alarm while keyed and the VSWR is above this"));
  VSWRAbove->setSingleStep(0.1);
  ReflectedAbove = LevelBox(this, 100000, 1, tr(" W"), tr("Alarm when reflected power is above"));
  ForwardBelow =
      LevelBox(this, 100000, 1, tr(" W"), tr("Alarm while keyed and forward power is below this"));
  OffAirBelow = LevelBox(this, 100000, 1, tr(" W"),
                         tr("Alarm when forward power stays below this, keyed or not: for "
                            "stations meant to be on the air"));
  KeyedAbove =
      LevelBox(this, 100000, 1, tr(" W"),
               tr("The transmitter counts as keyed while forward power is above this; below "
                  "it VSWR and forward power are not judged"),
               false);
  KeyedAbove->setMinimum(kKeyedAuto);
  KeyedAbove->setSpecialValueText(tr("Auto (1 % of full scale)"));
  const auto clearBox = [this](QDoubleSpinBox* level, const QString& suffix, bool below) {
    auto* box = LevelBox(this, level->maximum(), level->decimals(), suffix,
                         below ? tr("The alarm clears once the value is below this")
                               : tr("The alarm clears once the value is above this"),
                         false);
    box->setSingleStep(level->singleStep());
    box->setSpecialValueText(tr("5 % back"));
    return box;
  };
  VSWRClearBelow = clearBox(VSWRAbove, {}, true);
  ReflectedClearBelow = clearBox(ReflectedAbove, tr(" W"), true);
  ForwardClearAbove = clearBox(ForwardBelow, tr(" W"), false);
  OffAirClearAbove = clearBox(OffAirBelow, tr(" W"), false);
  LinkLostAfter = LevelBox(this, 3600, 0, tr(" s"),
                           tr("Alarm when continuous polling gets no reading for this long; "
                              "never less than two polling intervals"));
  TripReadings = new QSpinBox(this);
  TripReadings->setRange(0, kMaxPersistReadings);
  TripReadings->setSpecialValueText(tr("Off"));
  TripReadings->setToolTip(
      tr("A condition counts only once it held in this many of the last readings, so that "
         "one bad reading at key-up or unkey does not trip"));
  OfReadings = new QSpinBox(this);
  OfReadings->setRange(0, kMaxPersistReadings);
  OfReadings->setSpecialValueText(tr("as many"));
  auto* latchRow = new QHBoxLayout;
  for (const AlarmSource source : kAlarmSources) {
    auto* box = new QCheckBox(AlarmSourceCaption(source), this);
    box->setToolTip(
        tr("An alarm that clears before it is acknowledged stays shown (amber) until it is"));
    Latch[static_cast<int>(source)] = box;
    latchRow->addWidget(box);
  }
  latchRow->addStretch();
  Delay = LevelBox(this, 3600, 1, tr(" s"),
                   tr("A condition must last this long before its alarm trips"), false);
  Sound = new QCheckBox(tr("&Sound an alarm until it is acknowledged"), this);
  Hook = new QLineEdit(this);
  Hook->setPlaceholderText(tr("none"));
  Hook->setToolTip(
      tr("Command run when an alarm trips or clears, without a shell; details in the "
         "environment variables VEMOSWR_ALARM_SOURCE, _STATE, _VALUE, _TIME and _PORT"));
  Log = new QLineEdit(this);
  auto* browse = new QPushButton(tr("&Browse…"), this);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, tr("Alarm Log"), Log->text(),
                                                      tr("CSV files (*.csv);;All files (*)"),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) Log->setText(path);
  });
  auto* logRow = new QHBoxLayout;
  logRow->addWidget(Log, 1);
  logRow->addWidget(browse);

  const auto pair = [this](QWidget* level, const QString& clearCaption, QWidget* clear) {
    auto* row = new QHBoxLayout;
    row->addWidget(level, 1);
    row->addWidget(new QLabel(clearCaption, this));
    row->addWidget(clear, 1);
    return row;
  };
  auto* form = new QFormLayout;
  form->addRow(tr("&VSWR above:"), pair(VSWRAbove, tr("clears below"), VSWRClearBelow));
  form->addRow(tr("&Reflected power above:"),
               pair(ReflectedAbove, tr("clears below"), ReflectedClearBelow));
  form->addRow(tr("&Forward power below:"),
               pair(ForwardBelow, tr("clears above"), ForwardClearAbove));
  form->addRow(tr("Off the &air below:"), pair(OffAirBelow, tr("clears above"), OffAirClearAbove));
  form->addRow(tr("&Keyed above:"), KeyedAbove);
  form->addRow(tr("&No reading for:"), LinkLostAfter);
  form->addRow(tr("&Delay:"), Delay);
  form->addRow(tr("&Trip in:"), pair(TripReadings, tr("of the last"), OfReadings));
  form->addRow(tr("Latch:"), latchRow);
  form->addRow(QString(), Sound);
  form->addRow(tr("&Hook command:"), Hook);
  form->addRow(tr("Alarm &log:"), logRow);

  Problem = new QLabel(this);
  Problem->setWordWrap(true);
  Problem->setStyleSheet(QStringLiteral("color: #b00000"));
  Problem->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(
      new QLabel(tr("Levels at \"Off\" raise no alarm. The monitor's own alarm is set in "
                    "Monitor Options."),
                 this));
  layout->addLayout(form);
  layout->addWidget(Problem);
  layout->addWidget(buttons);
}

void AlarmSettingsDialog::SetSettings(const TAlarmSettings& settings) {
  shown_ = settings;
  const TAlarmLevels& l = settings.Levels;
  VSWRAbove->setValue(l.VSWRAbove);
  ReflectedAbove->setValue(l.ReflectedAbove);
  ForwardBelow->setValue(l.ForwardBelow);
  OffAirBelow->setValue(l.OffAirBelow);
  KeyedAbove->setValue(l.KeyedAbove < 0 ? kKeyedAuto : l.KeyedAbove);
  VSWRClearBelow->setValue(l.VSWRClearBelow);
  ReflectedClearBelow->setValue(l.ReflectedClearBelow);
  ForwardClearAbove->setValue(l.ForwardClearAbove);
  OffAirClearAbove->setValue(l.OffAirClearAbove);
  TripReadings->setValue(l.TripReadings);
  OfReadings->setValue(l.OfReadings);
  for (const AlarmSource source : kAlarmSources)
    Latch[static_cast<int>(source)]->setChecked(l.Latch & AlarmSourceBit(source));
  LinkLostAfter->setValue(l.LinkLostAfter);
  Delay->setValue(l.Delay);
  Sound->setChecked(settings.Sound);
  Hook->setText(QString::fromStdString(settings.Hook));
  Log->setText(QString::fromStdString(settings.Log));
  Problem->hide();
}

TAlarmSettings AlarmSettingsDialog::Settings() const {
  TAlarmSettings s = shown_;
  // A box rounds to its decimals: an unchanged value must stay exactly as read, or the
  // settings file would be written with a value nobody chose.
  const auto value = [](const QDoubleSpinBox* box, double was) {
    return box->value() == box->valueFromText(box->textFromValue(was)) ? was : box->value();
  };
  TAlarmLevels& l = s.Levels;
  l.VSWRAbove = value(VSWRAbove, l.VSWRAbove);
  l.ReflectedAbove = value(ReflectedAbove, l.ReflectedAbove);
  l.ForwardBelow = value(ForwardBelow, l.ForwardBelow);
  l.OffAirBelow = value(OffAirBelow, l.OffAirBelow);
  l.KeyedAbove = value(KeyedAbove, l.KeyedAbove);
  if (l.KeyedAbove < 0) l.KeyedAbove = kKeyedAuto;
  l.VSWRClearBelow = value(VSWRClearBelow, l.VSWRClearBelow);
  l.ReflectedClearBelow = value(ReflectedClearBelow, l.ReflectedClearBelow);
  l.ForwardClearAbove = value(ForwardClearAbove, l.ForwardClearAbove);
  l.OffAirClearAbove = value(OffAirClearAbove, l.OffAirClearAbove);
  l.TripReadings = TripReadings->value();
  l.OfReadings = OfReadings->value();
  for (const AlarmSource source : kAlarmSources) {
    const unsigned bit = AlarmSourceBit(source);
    l.Latch = Latch[static_cast<int>(source)]->isChecked() ? l.Latch | bit : l.Latch & ~bit;
  }
  l.LinkLostAfter = value(LinkLostAfter, l.LinkLostAfter);
  l.Delay = value(Delay, l.Delay);
  s.Sound = Sound->isChecked();
  s.Hook = Hook->text().trimmed().toStdString();
  s.Log = Log->text().trimmed().toStdString();
  if (s.Log.empty()) s.Log = shown_.Log;
  return s;
}

void AlarmSettingsDialog::accept() {
  QString problem;
  const TAlarmSettings s = Settings();
  std::vector<std::string> args;
  std::string error;
  const TAlarmLevels& l = s.Levels;
  const auto wrongSide = [](double level, double clear, bool below) {
    return level > 0 && clear > 0 && (below ? clear >= level : clear <= level);
  };
  if (l.VSWRAbove > 0 && l.VSWRAbove <= 1)
    problem = tr("A VSWR is never below 1: set the VSWR level above 1, or to Off.");
  else if (wrongSide(l.VSWRAbove, l.VSWRClearBelow, true) ||
           wrongSide(l.ReflectedAbove, l.ReflectedClearBelow, true))
    problem = tr("An alarm above a level must clear below that level: lower the clear level.");
  else if (wrongSide(l.ForwardBelow, l.ForwardClearAbove, false) ||
           wrongSide(l.OffAirBelow, l.OffAirClearAbove, false))
    problem = tr("An alarm below a level must clear above that level: raise the clear level.");
  else if (l.OfReadings > 0 && l.OfReadings < l.TripReadings)
    problem = tr("The readings looked at must be at least as many as those that must trip.");
  else if (!s.Hook.empty() && !SplitCommandLine(s.Hook, args, error))
    problem = tr("The hook command cannot be run: %1").arg(QString::fromStdString(error));
  if (!problem.isEmpty()) {
    Problem->setText(problem);
    Problem->show();
    return;
  }
  QDialog::accept();
}

void AlarmSettingsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MakeAccessible(this);
}

}  // namespace vemo

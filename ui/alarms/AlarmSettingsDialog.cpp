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
#include <QVBoxLayout>

#include "station/AlarmHook.h"

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
  KeyedAbove =
      LevelBox(this, 100000, 1, tr(" W"),
               tr("The transmitter counts as keyed while forward power is above this"), false);
  LinkLostAfter = LevelBox(this, 3600, 0, tr(" s"),
                           tr("Alarm when continuous polling gets no reading for this long"));
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

  auto* form = new QFormLayout;
  form->addRow(tr("&VSWR above:"), VSWRAbove);
  form->addRow(tr("&Reflected power above:"), ReflectedAbove);
  form->addRow(tr("&Forward power below:"), ForwardBelow);
  form->addRow(tr("&Keyed above:"), KeyedAbove);
  form->addRow(tr("No reading &for:"), LinkLostAfter);
  form->addRow(tr("&Delay:"), Delay);
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
  KeyedAbove->setValue(l.KeyedAbove);
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
  l.KeyedAbove = value(KeyedAbove, l.KeyedAbove);
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
  if (s.Levels.VSWRAbove > 0 && s.Levels.VSWRAbove <= 1)
    problem = tr("A VSWR is never below 1: set the VSWR level above 1, or to Off.");
  else if (!s.Hook.empty() && !SplitCommandLine(s.Hook, args, error))
    problem = tr("The hook command cannot be run: %1").arg(QString::fromStdString(error));
  if (!problem.isEmpty()) {
    Problem->setText(problem);
    Problem->show();
    return;
  }
  QDialog::accept();
}

}  // namespace vemo

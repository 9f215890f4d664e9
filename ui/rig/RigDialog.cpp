// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rig/RigDialog.h"

#include "rig/Rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>

namespace vemo {
namespace {

enum ConnectionKind { kNone, kRigctld, kSerial };

struct InterlockBox {
  QCheckBox* RigDialog::*Box;
  AlarmSource Source;
};
constexpr InterlockBox kInterlockBoxes[] = {
    {&RigDialog::InterlockVswr, AlarmSource::VSWRAbove},
    {&RigDialog::InterlockReflected, AlarmSource::ReflectedAbove},
    {&RigDialog::InterlockForward, AlarmSource::ForwardBelow},
    {&RigDialog::InterlockOffAir, AlarmSource::OffAir},
    {&RigDialog::InterlockMonitor, AlarmSource::Monitor},
};

}  // namespace

RigDialog::RigDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Rig"));
  auto* form = new QFormLayout(this);
  Connection = new QComboBox(this);
  Connection->addItems({tr("No rig"), tr("rigctld on the network"), tr("Rig on a serial port")});
  form->addRow(tr("&Connection:"), Connection);
  Host = new QLineEdit(this);
  Host->setPlaceholderText(QStringLiteral("127.0.0.1:4532"));
  form->addRow(tr("rigctld &address:"), Host);
  Model = new QComboBox(this);
  for (const TRigModel& m : RigModels())
    if (m.Model != kRigctldModel)
      Model->addItem(QStringLiteral("%1 %2 (%3)")
                         .arg(QString::fromStdString(m.Maker), QString::fromStdString(m.Name))
                         .arg(m.Model),
                     m.Model);
  form->addRow(tr("Rig &model:"), Model);
  Device = new QLineEdit(this);
  Device->setPlaceholderText(QStringLiteral("/dev/ttyUSB0"));
  form->addRow(tr("Serial &device:"), Device);
  Speed = new QSpinBox(this);
  Speed->setRange(0, 1'000'000);
  Speed->setSpecialValueText(tr("the model's default"));
  Speed->setSuffix(tr(" baud"));
  form->addRow(tr("&Speed:"), Speed);
  Interval = new QSpinBox(this);
  Interval->setRange(100, 10000);
  Interval->setSingleStep(100);
  Interval->setSuffix(tr(" ms"));
  form->addRow(tr("&Poll every:"), Interval);

  auto* boxes = new QHBoxLayout;
  const QString names[] = {tr("&VSWR"), tr("&Reflected"), tr("&Forward"), tr("&Off air"),
                           tr("Monitor's &own")};
  int n = 0;
  for (const InterlockBox& b : kInterlockBoxes) {
    this->*b.Box = new QCheckBox(names[n++], this);
    boxes->addWidget(this->*b.Box);
  }
  form->addRow(tr("Alarms that unkey:"), boxes);
  SafePower = new QDoubleSpinBox(this);
  SafePower->setRange(0, 100000);
  SafePower->setSpecialValueText(tr("leave the power"));
  SafePower->setSuffix(tr(" W"));
  form->addRow(tr("Safe po&wer on unkey:"), SafePower);
  SweepPowerLimit = new QDoubleSpinBox(this);
  SweepPowerLimit->setRange(0.1, 100000);
  SweepPowerLimit->setSuffix(tr(" W"));
  form->addRow(tr("S&weep power limit:"), SweepPowerLimit);
  Wsjtx = new QLineEdit(this);
  Wsjtx->setPlaceholderText(tr("2237, or 239.255.0.1:2237"));
  Wsjtx->setToolTip(tr("Without a rig, the frequency from WSJT-X's UDP messages"));
  form->addRow(tr("WSJT-&X messages at:"), Wsjtx);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &RigDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(Connection, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabled(); });
  SetSettings({});
}

void RigDialog::SetSettings(const TRigSettings& s) {
  Connection->setCurrentIndex(s.Model == 0 ? kNone : s.Model == kRigctldModel ? kRigctld : kSerial);
  Host->setText(QString::fromStdString(s.Host));
  const int model = Model->findData(s.Model);
  if (model >= 0) Model->setCurrentIndex(model);
  Device->setText(QString::fromStdString(s.Device));
  Speed->setValue(s.Speed);
  Interval->setValue(s.IntervalMs);
  for (const InterlockBox& b : kInterlockBoxes)
    (this->*b.Box)->setChecked(s.Interlock & AlarmSourceBit(b.Source));
  SafePower->setValue(s.SafePowerW);
  SweepPowerLimit->setValue(s.SweepPowerLimitW);
  Wsjtx->setText(QString::fromStdString(s.Wsjtx));
  UpdateEnabled();
}

TRigSettings RigDialog::Settings() const {
  TRigSettings s;
  const int kind = Connection->currentIndex();
  s.Model = kind == kNone ? 0 : kind == kRigctld ? kRigctldModel : Model->currentData().toInt();
  s.Host = Host->text().trimmed().toStdString();
  s.Device = Device->text().trimmed().toStdString();
  s.Speed = Speed->value();
  s.IntervalMs = Interval->value();
  for (const InterlockBox& b : kInterlockBoxes)
    if ((this->*b.Box)->isChecked()) s.Interlock |= AlarmSourceBit(b.Source);
  s.SafePowerW = SafePower->value();
  s.SweepPowerLimitW = SweepPowerLimit->value();
  s.Wsjtx = Wsjtx->text().trimmed().toStdString();
  return s;
}

void RigDialog::UpdateEnabled() {
  const int kind = Connection->currentIndex();
  Host->setEnabled(kind == kRigctld);
  Model->setEnabled(kind == kSerial);
  Device->setEnabled(kind == kSerial);
  Speed->setEnabled(kind == kSerial);
  for (QWidget* w : std::initializer_list<QWidget*>{Interval, InterlockVswr, InterlockReflected,
                                                    InterlockForward, InterlockOffAir,
                                                    InterlockMonitor, SafePower, SweepPowerLimit})
    w->setEnabled(kind != kNone);
  Wsjtx->setEnabled(kind == kNone);
}

void RigDialog::accept() {
  // What the rig would refuse at start-up is said here, while it can still be mended.
  const TRigSettings s = Settings();
  if (s.Model != 0) {
    try {
      RigTargetOf(s);
    } catch (const std::exception& e) {
      QMessageBox::warning(this, windowTitle(), QString::fromUtf8(e.what()));
      return;
    }
  }
  QDialog::accept();
}

}  // namespace vemo

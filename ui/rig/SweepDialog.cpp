// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rig/SweepDialog.h"

#include "ui/rig/SweepExport.h"
#include "ui/rig/SweepPlot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace vemo {
namespace {

QDoubleSpinBox* KhzBox(QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setRange(0, 300'000'000);  // to 300 GHz, in kHz
  box->setDecimals(3);
  box->setSuffix(QStringLiteral(" kHz"));
  return box;
}

std::int64_t Hz(const QDoubleSpinBox* khz) {
  return std::llround(khz->value() * 1000);
}

}  // namespace

SweepDialog::SweepDialog(Host host, QWidget* parent) : QDialog(parent), host_(std::move(host)) {
  setWindowTitle(tr("SWR Sweep"));
  resize(800, 720);  // room for the plot's legend
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  layout->addLayout(fields);
  FromKhz = KhzBox(this);
  ToKhz = KhzBox(this);
  StepKhz = KhzBox(this);
  fields->addRow(tr("&From:"), FromKhz);
  fields->addRow(tr("&To:"), ToKhz);
  fields->addRow(tr("&Step:"), StepKhz);
  DwellMs = new QSpinBox(this);
  DwellMs->setRange(kShortestDwellMs, kLongestDwellMs);
  DwellMs->setSingleStep(100);
  DwellMs->setValue(300);
  DwellMs->setSuffix(tr(" ms"));
  fields->addRow(tr("&Dwell per step:"), DwellMs);
  PowerW = new QDoubleSpinBox(this);
  PowerW->setRange(0, 100000);
  PowerW->setSpecialValueText(tr("as the rig is set"));
  PowerW->setValue(std::min(5.0, host_.PowerLimitW));
  PowerW->setSuffix(tr(" W"));
  PowerW->setToolTip(tr("Refused above %1 W (Edit, Rig…)").arg(host_.PowerLimitW));
  fields->addRow(tr("&Power:"), PowerW);
  Mode = new QComboBox(this);
  Mode->addItem(tr("as the rig is set"), QString());
  for (const char* mode : {"CW", "AM", "FM", "RTTY", "PKTUSB"}) Mode->addItem(mode, mode);
  fields->addRow(tr("&Mode:"), Mode);
  UnkeyBetween = new QCheckBox(tr("&Unkey between steps"), this);
  LogAxis = new QCheckBox(tr("&Logarithmic SWR axis"), this);
  fields->addRow(UnkeyBetween);
  fields->addRow(LogAxis);

  Plot = new SweepPlot(this);
  layout->addWidget(Plot, 1);
  Status = new QLabel(this);
  Status->setWordWrap(true);
  layout->addWidget(Status);
  auto* buttons = new QHBoxLayout;
  layout->addLayout(buttons);
  StartButton = new QPushButton(tr("St&art"), this);
  StopButton = new QPushButton(tr("St&op"), this);
  auto* keep = new QPushButton(tr("&Keep as Overlay"), this);
  auto* csv = new QPushButton(tr("Save &CSV…"), this);
  auto* png = new QPushButton(tr("Save P&NG…"), this);
  for (QPushButton* b : {StartButton, StopButton, keep, csv, png}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  StopButton->setEnabled(false);
  connect(StartButton, &QPushButton::clicked, this, [this] { Start(); });
  connect(StopButton, &QPushButton::clicked, this, [this] { Abort(tr("Stopped")); });
  connect(keep, &QPushButton::clicked, this, [this] { Plot->KeepAsOverlay(); });
  connect(LogAxis, &QCheckBox::toggled, Plot, &SweepPlot::SetLogScale);
  const auto save = [this](const QString& suffix, const QString& filter, auto write) {
    const QString name = SweepFileName(band_, QDate::currentDate(), suffix);
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Sweep"), name, filter);
    if (!path.isEmpty()) (this->*write)(path);
  };
  connect(csv, &QPushButton::clicked, this,
          [=] { save(QStringLiteral("csv"), tr("CSV (*.csv)"), &SweepDialog::ExportCsv); });
  connect(png, &QPushButton::clicked, this,
          [=] { save(QStringLiteral("png"), tr("PNG (*.png)"), &SweepDialog::ExportPng); });

  // The current band's edges, 50 steps across.
  const TBand* band = host_.CurrentHz ? host_.Bands.Find(std::llround(*host_.CurrentHz)) : nullptr;
  if (band) {
    FromKhz->setValue(static_cast<double>(band->LowHz) / 1000);
    ToKhz->setValue(static_cast<double>(band->HighHz) / 1000);
    StepKhz->setValue(std::max<double>(1, std::round((band->HighHz - band->LowHz) / 50e3)));
  }
}

SweepDialog::~SweepDialog() {
  Abort(tr("The window closed"));
  Join();
}

bool SweepDialog::Start() {
  if (Running()) return false;
  Join();
  TSweepPlan plan;
  plan.FromHz = Hz(FromKhz);
  plan.ToHz = Hz(ToKhz);
  plan.StepHz = Hz(StepKhz);
  plan.DwellMs = DwellMs->value();
  plan.Mode = Mode->currentData().toString().toStdString();
  plan.UnkeyBetweenSteps = UnkeyBetween->isChecked();
  const auto refuse = [this](const QString& why) {
    Status->setText(why);
    return false;
  };
  const TBand* band = host_.Bands.Find(plan.FromHz);
  if (!band || plan.ToHz > band->HighHz)
    return refuse(tr("The sweep must stay inside one band of the band plan%1.")
                      .arg(band ? tr(" (%1: %2–%3 kHz)")
                                      .arg(QString::fromStdString(band->Name))
                                      .arg(static_cast<double>(band->LowHz) / 1000, 0, 'f', 0)
                                      .arg(static_cast<double>(band->HighHz) / 1000, 0, 'f', 0)
                                : QString()));
  if (PowerW->value() > host_.PowerLimitW)
    return refuse(tr("%1 W is above the sweep power limit of %2 W (Edit, Rig…).")
                      .arg(PowerW->value())
                      .arg(host_.PowerLimitW));
  try {
    CheckSweepPlan(plan);
  } catch (const std::exception& e) {
    return refuse(QString::fromUtf8(e.what()));
  }
  band_ = QString::fromStdString(band->Name);
  if (host_.Starting) host_.Starting();
  Plot->SetPoints({});
  control_ = std::make_unique<SweepControl>();
  finished_ = false;
  result_.clear();
  StartButton->setEnabled(false);
  StopButton->setEnabled(true);
  Status->setText(tr("Sweeping %1…").arg(band_));
  const double watts = PowerW->value();
  worker_ = std::thread([this, plan, watts, control = control_.get()]() mutable {
    TSweepOutcome outcome;
    try {
      if (watts > 0) {
        plan.Power = host_.Commands->FractionForWatts(watts);
        if (!plan.Power)
          throw RigError("The " + host_.Commands->Description() +
                             " cannot set its power in watts; sweep with the power as the rig "
                             "is set, and set a low power on the rig",
                         false);
      }
      outcome = RunSweep(
          *host_.Commands, plan, [&] { return host_.Read(*control); }, *control,
          [this](const TSweepPoint& p) {
            QMetaObject::invokeMethod(this, [this, p] {
              std::vector<TSweepPoint> points = Plot->Points();
              points.push_back(p);
              Plot->SetPoints(std::move(points));
            });
          });
    } catch (const std::exception& e) {
      outcome.Stopped = e.what();
    }
    QMetaObject::invokeMethod(this, [this, outcome] { Finished(outcome); });
  });
  return true;
}

void SweepDialog::Abort(const QString& why) {
  if (control_) control_->Abort(why.toStdString());
}

void SweepDialog::reject() {
  Abort(tr("Stopped with Escape"));
  QDialog::reject();
}

void SweepDialog::Join() {
  if (worker_.joinable()) worker_.join();
}

void SweepDialog::Finished(const TSweepOutcome& outcome) {
  finished_ = true;
  Join();
  StartButton->setEnabled(true);
  StopButton->setEnabled(false);
  result_ = outcome.Completed ? tr("Completed") : QString::fromStdString(outcome.Stopped);
  QString text = outcome.Completed ? tr("Sweep of %1 completed.").arg(band_)
                                   : tr("Sweep stopped: %1.").arg(result_);
  if (!outcome.RestoreError.empty())
    text += ' ' + tr("The rig could not be restored as it was: %1. Check it now.")
                      .arg(QString::fromStdString(outcome.RestoreError));
  Status->setText(text);
}

QString SweepDialog::Result() const {
  return result_;
}

void SweepDialog::ExportCsv(const QString& path) {
  if (!WriteSweepCsv(path, Plot->Points()))
    Status->setText(tr("Cannot write %1: check the folder and the free space.").arg(path));
}

void SweepDialog::ExportPng(const QString& path) {
  if (!RenderSweep(*Plot, band_, QDateTime::currentDateTime(), host_.Monitor).save(path))
    Status->setText(tr("Cannot write %1: check the folder and the free space.").arg(path));
}

}  // namespace vemo

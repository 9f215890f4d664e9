// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// View, "SWR Sweep…": from–to (the current band's edges by default, never outside one band
// of the band plan), step, dwell, power (refused above the user's limit), mode; the plot
// with the minimum and the bandwidths at 1.5 and 2.0, overlays of earlier sweeps, CSV and
// PNG export. The sweep runs on a thread of its own; Escape, closing the dialog, a lost
// rig or meter, an alarm or the interlock (Abort) end it at once, unkeyed, and the rig is
// restored as it was.

#include "rig/BandPlan.h"
#include "rig/Sweep.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace vemo {

class SweepPlot;

class SweepDialog : public QDialog {
  Q_OBJECT

 public:
  struct Host {
    std::shared_ptr<Rig> Commands;  // the rig to step
    BandPlan Bands;
    std::optional<double> CurrentHz;  // for the default range
    double PowerLimitW = 10;
    QString Monitor;  // named on the PNG
    // One fresh reading; called on the sweep's thread.
    std::function<std::optional<TSweepReading>(SweepControl&)> Read;
    // Before the first step, on the window's thread: readings must come.
    std::function<void()> Starting;
  };

  SweepDialog(Host host, QWidget* parent = nullptr);
  ~SweepDialog() override;  // aborts and waits for the rig to be restored

  // Starts with the fields as they are; false (and says why) when they are refused.
  bool Start();
  void Abort(const QString& why);
  bool Running() const { return worker_.joinable() && !finished_; }
  // What the last sweep ended with ("Completed", or why it stopped).
  QString Result() const;

  void ExportCsv(const QString& path);
  void ExportPng(const QString& path);

  QDoubleSpinBox* FromKhz = nullptr;
  QDoubleSpinBox* ToKhz = nullptr;
  QDoubleSpinBox* StepKhz = nullptr;
  QSpinBox* DwellMs = nullptr;
  QDoubleSpinBox* PowerW = nullptr;
  QComboBox* Mode = nullptr;
  QCheckBox* UnkeyBetween = nullptr;
  QCheckBox* LogAxis = nullptr;
  SweepPlot* Plot = nullptr;
  QPushButton* StartButton = nullptr;
  QPushButton* StopButton = nullptr;
  QLabel* Status = nullptr;

 public:
  void reject() override;

 private:
  void Finished(const TSweepOutcome& outcome);
  void Join();

  Host host_;
  std::unique_ptr<SweepControl> control_;
  std::thread worker_;
  bool finished_ = false;
  QString result_;
  QString band_;
};

}  // namespace vemo

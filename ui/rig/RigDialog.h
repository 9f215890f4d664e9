// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Edit, "Rig…": where the rig is (a rigctld's HOST:PORT, or a Hamlib model on its own
// serial port), how often it is polled, which alarms unkey it, the power limits, and
// WSJT-X as the frequency's source where no rig is set.

#include "station/StationRig.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

namespace vemo {

class RigDialog : public QDialog {
  Q_OBJECT

 public:
  explicit RigDialog(QWidget* parent = nullptr);

  void SetSettings(const TRigSettings& settings);
  TRigSettings Settings() const;

  // What the dialog holds, for tests and the manual's pictures.
  QComboBox* Connection = nullptr;  // none, rigctld, serial rig
  QLineEdit* Host = nullptr;
  QComboBox* Model = nullptr;  // data: Hamlib's model number
  QLineEdit* Device = nullptr;
  QSpinBox* Speed = nullptr;
  QSpinBox* Interval = nullptr;
  QCheckBox* InterlockVswr = nullptr;
  QCheckBox* InterlockReflected = nullptr;
  QCheckBox* InterlockForward = nullptr;
  QCheckBox* InterlockOffAir = nullptr;
  QCheckBox* InterlockMonitor = nullptr;
  QDoubleSpinBox* SafePower = nullptr;
  QDoubleSpinBox* SweepPowerLimit = nullptr;
  QLineEdit* Wsjtx = nullptr;

 private:
  void UpdateEnabled();
  void accept() override;
};

}  // namespace vemo

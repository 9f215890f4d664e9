// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// View, "Alarm Settings…": the program's own alarm levels, the delay, the sound, the hook
// and the alarm log. The monitor's own alarm stays in Monitor Options.

#include <QDialog>

#include "station/AlarmSettings.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace vemo {

class AlarmSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AlarmSettingsDialog(QWidget* parent = nullptr);

  void SetSettings(const TAlarmSettings& settings);
  TAlarmSettings Settings() const;

  // Refuses a hook that cannot be split, a VSWR level that every reading exceeds and a
  // clear level on the wrong side of its level, with the reason shown in the dialog.
  // (What cannot be a number is refused as it is typed.)
  void accept() override;

  QDoubleSpinBox* VSWRAbove = nullptr;
  QDoubleSpinBox* ReflectedAbove = nullptr;
  QDoubleSpinBox* ForwardBelow = nullptr;
  QDoubleSpinBox* OffAirBelow = nullptr;
  QDoubleSpinBox* KeyedAbove = nullptr;  // at its minimum: automatic
  // Where each clears; 0 = 5 % back from its level.
  QDoubleSpinBox* VSWRClearBelow = nullptr;
  QDoubleSpinBox* ReflectedClearBelow = nullptr;
  QDoubleSpinBox* ForwardClearAbove = nullptr;
  QDoubleSpinBox* OffAirClearAbove = nullptr;
  QSpinBox* TripReadings = nullptr;
  QSpinBox* OfReadings = nullptr;
  QCheckBox* Latch[kAlarmSourceCount] = {};  // by AlarmSource; none for the test alarm
  QDoubleSpinBox* LinkLostAfter = nullptr;
  QDoubleSpinBox* Delay = nullptr;
  QCheckBox* Sound = nullptr;
  QLineEdit* Hook = nullptr;
  QLineEdit* Log = nullptr;
  QLabel* Problem = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TAlarmSettings shown_;  // keeps what the dialog does not edit (the monitor's flag)
};

}  // namespace vemo

#pragma once
// View, "Alarm Settings…": the program's own alarm levels, the delay, the sound, the hook
// and the alarm log. The monitor's own alarm stays in Monitor Options.

#include <QDialog>

#include "station/AlarmSettings.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

namespace vemo {

class AlarmSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AlarmSettingsDialog(QWidget* parent = nullptr);

  void SetSettings(const TAlarmSettings& settings);
  TAlarmSettings Settings() const;

  // Refuses a hook that cannot be split and a VSWR level that every reading exceeds,
  // with the reason shown in the dialog.
  void accept() override;

  QDoubleSpinBox* VSWRAbove = nullptr;
  QDoubleSpinBox* ReflectedAbove = nullptr;
  QDoubleSpinBox* ForwardBelow = nullptr;
  QDoubleSpinBox* KeyedAbove = nullptr;
  QDoubleSpinBox* LinkLostAfter = nullptr;
  QDoubleSpinBox* Delay = nullptr;
  QCheckBox* Sound = nullptr;
  QLineEdit* Hook = nullptr;
  QLineEdit* Log = nullptr;
  QLabel* Problem = nullptr;

 private:
  TAlarmSettings shown_;  // keeps what the dialog does not edit (the monitor's flag)
};

}  // namespace vemo

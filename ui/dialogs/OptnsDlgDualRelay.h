// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options dialog of the dual-relay monitor ("KRFMON04"): one relay for the VSWR alarm,
// a second one for the power alarms, and the gains of the two analog outputs. It sends
// nothing itself; the main window sends what it reads back (SendDualRelaySettings).
//
// Use: create once; before each showing call SetDeviceEnabled and Fill, then exec(). OK
// closes only when every control reads back (a gain text that is not a gain is reported
// and the dialog stays open with the user's edits); on QDialog::Accepted pass Confirmed()
// to SendDualRelaySettings.

#include <QDialog>

#include <string_view>

#include "monitor/DateTime.h"
#include "monitor/MonitorSettings.h"
#include "ui/dialogs/AlarmControls.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace vemo {

class TCardinalEdit;
class TRealEdit;

class TdlgOptionsDualRelay : public QDialog {
  Q_OBJECT

 public:
  explicit TdlgOptionsDualRelay(QWidget* parent = nullptr);

  // For the dual-relay model shows the settings and the analog output gains with the
  // thirteen VSWR levels; for any other model only OK and Cancel. connected is not used.
  void SetDeviceEnabled(bool connected, std::string_view modelId, TDateTime firmwareDate);

  void Fill(const MonitorSettings& settings);
  // The settings as the controls show them. A gain must be a whole number 0..9 (the
  // monitor takes one digit per gain; 1, 2, 4 and 8 are offered): otherwise EConvertError
  // "'<text>' is not a valid integer value" or "'<text>' is not a valid gain value". A VSWR
  // list with no entry selected keeps the level that was filled in.
  MonitorSettings ReadSettings();

  void OKBtnClick() { accept(); }
  // Reads the controls back: on success keeps the record as Confirmed() and closes with
  // OK; a conversion error is shown and the dialog stays open.
  void accept() override;
  // The settings as they were when OK closed the dialog.
  const MonitorSettings& Confirmed() const { return confirmed_; }

  QGroupBox* grpbxAlarmSettings;
  QCheckBox* chkbxLatchAlarm;
  QCheckBox* chkbxPwrUpAlarm;
  QGroupBox* grpbxVSWRAlarm;
  QCheckBox* chkbxRelaySense;
  QCheckBox* chkbxAlarmEnable;
  QComboBox* cmbobxVSWRLevel;
  QCheckBox* chkbxAlarmOnZero;
  QGroupBox* grpbxPowerAlarms;
  QCheckBox* chkbxRelay2Sense;
  QGroupBox* grpbxHiPwrAlarm;
  QCheckBox* chkbxEnableHiPwrAlarm;
  TCardinalEdit* cardedHiPower;
  QLabel* lblHiPercent;
  QGroupBox* grpbxLowPwrAlarm;
  QCheckBox* chkbxLowPower;
  TCardinalEdit* cardedLowPowerLevel;
  QLabel* lblLowPercent;
  QGroupBox* grpbxPushToTalk;
  QCheckBox* chkbxPushToTalkEnable;
  TRealEdit* realedPushToTalkDelay;
  QLabel* lblPushToTalk;
  QGroupBox* grpbxDACSettings;
  QComboBox* cmbobxFwdDACGain;
  QLabel* lblFwdDACGain;
  QComboBox* cmbobxRflDACGain;
  QLabel* lblRflDACGain;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TAlarmControls AlarmControls() const;
  void FormCreate();
  void RebuildVSWRList();

  MonitorSettings filled_;
  MonitorSettings confirmed_;
};

}  // namespace vemo
